// The definition layer's members and lists: what a list accepts, where a
// repeated key is found, and the key suffix of chosen rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillmont/definitions/definition_library.h"
#include "quillmont/definitions/members.h"
#include "quillmont/definitions/notification_definition.h"
#include "quillmont/platform/error.h"

namespace quillmont {
namespace {

TEST(Definitions, DropAppendedCharacterIsUtf8Aware) {
  EXPECT_EQ(DropAppendedCharacter("1001_"), "1001");
  EXPECT_EQ(DropAppendedCharacter("_"), "");
  EXPECT_EQ(DropAppendedCharacter(""), "");
  EXPECT_EQ(DropAppendedCharacter("abcé"), "abc");  // two-byte character
  EXPECT_EQ(DropAppendedCharacter("ab€"), "ab");    // three bytes
  EXPECT_EQ(DropAppendedCharacter("a😀"), "a");      // four bytes
  EXPECT_EQ(DropAppendedCharacter("Ä_"), "Ä");
  EXPECT_EQ(DropAppendedCharacter("ab\x80"), "ab");        // a stray continuation byte is one byte
  EXPECT_EQ(DropAppendedCharacter("a\xE2\x82"), "a\xE2");  // a cut sequence loses one byte
}

struct Tag {
  virtual ~Tag() = default;
};
struct TaggedRecipient : Tag, BasicEmailRecipient {};  // the recipient part not first

// A typed list takes its own members (also where that part does not sit
// first in the object) and refuses any other item.
TEST(Definitions, ListsHoldOnlyTheirOwnMembers) {
  BasicDefinitionLibrary library;
  auto managers = library.NewSnmpManagerList();
  auto recipients = library.NewEmailRecipientList();
  auto manager = library.NewSnmpManager();
  manager->Init("owner-1", "nms.example", 162, "SNMP v2c", "UTC");
  auto recipient = library.NewEmailRecipient();
  recipient->Init(Variant("owner-2"), "ops@example.com", Variant());

  managers->Add(manager);
  try {
    managers->Add(recipient);
    ADD_FAILURE() << "a recipient went into the managers";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::TypeMismatch);
  }
  EXPECT_THROW(managers->Add(nullptr), Error);
  recipients->Add(recipient);
  auto tagged = std::make_shared<TaggedRecipient>(), tagged2 = std::make_shared<TaggedRecipient>();
  tagged2->SetAddress("b@x");
  recipients->Add(tagged);
  recipients->Add(tagged2);
  EXPECT_EQ(recipients->Recipient(3)->Address(), "b@x");
  EXPECT_THROW(recipients->Add(manager), Error);  // still, after them
  EXPECT_EQ(std::pair(managers->Count(), recipients->Count()), std::pair(1, 3));

  std::vector<std::string> cells;
  for (int id : {snmp_columns::Host, snmp_columns::Port, snmp_columns::Version, snmp_columns::TimeFormat, 1})
    cells.push_back(manager->ColumnText(id));
  EXPECT_EQ(cells, (std::vector<std::string>{"nms.example", "162", "SNMP v2c", "UTC", ""}));
  EXPECT_EQ(recipient->ColumnText(kAddressColumn), "ops@example.com");
  EXPECT_EQ(manager->OwnerKey() + " " + recipient->OwnerKey(), "owner-1 owner-2");
  EXPECT_THROW(recipient->Init(Variant::Null(), "x@y", Variant()), Error);
  EXPECT_EQ(recipient->Address(), "ops@example.com");

  EXPECT_EQ(managers->Manager(1), manager);
  for (int past : {0, 2}) EXPECT_THROW(managers->Item(past), Error);
  // A bad position removes nothing.
  managers->Add(library.NewSnmpManager());
  EXPECT_THROW(managers->RemoveAt({1, 3}), Error);
  EXPECT_EQ(managers->Count(), 2);
  managers->RemoveAt({1});
  recipients->Clear();
  EXPECT_EQ(std::pair(managers->Count(), recipients->Count()), std::pair(1, 0));
  EXPECT_NE(managers->Manager(1), manager);
}

// Keys appended are found once anybody looks, the first copy of a repeated
// key answering, and an Add after them still refuses a key already there.
TEST(Definitions, AppendedCatalogueKeysAreFoundFirstCopyFirst) {
  BasicEventTypeCollection catalogue;
  for (int i = 0; i < 3000; ++i)
    catalogue.Append(std::make_shared<BasicEventType>("K" + std::to_string(i % 2000), "N" + std::to_string(i), 1));
  EXPECT_EQ(catalogue.Item("K5")->Name(), "N5");
  EXPECT_THROW(catalogue.Add(std::make_shared<BasicEventType>("K7", "again", 1)), Error);
}

}  // namespace
}  // namespace quillmont
