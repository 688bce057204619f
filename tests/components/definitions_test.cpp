#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillmont/definitions/definition_library.h"
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
  EXPECT_THROW(recipients->Add(manager), Error);
  EXPECT_THROW(managers->Add(nullptr), Error);
  recipients->Add(recipient);
  EXPECT_EQ(managers->Count(), 1);
  EXPECT_EQ(recipients->Count(), 1);

  std::vector<std::string> cells;
  for (int id : {snmp_columns::Host, snmp_columns::Port, snmp_columns::Version, snmp_columns::TimeFormat, 1})
    cells.push_back(manager->ColumnText(id));
  EXPECT_EQ(cells, (std::vector<std::string>{"nms.example", "162", "SNMP v2c", "UTC", ""}));
  EXPECT_EQ(manager->OwnerKey(), "owner-1");
  EXPECT_EQ(recipient->ColumnText(kAddressColumn), "ops@example.com");
  EXPECT_EQ(recipient->OwnerKey(), "owner-2");
  EXPECT_THROW(recipient->Init(Variant::Null(), "x@y", Variant()), Error);
  EXPECT_EQ(recipient->Address(), "ops@example.com");

  EXPECT_EQ(managers->Manager(1), manager);
  EXPECT_THROW(managers->Item(0), Error);
  EXPECT_THROW(managers->Item(2), Error);
  // A bad position removes nothing.
  managers->Add(library.NewSnmpManager());
  EXPECT_THROW(managers->RemoveAt({1, 3}), Error);
  EXPECT_EQ(managers->Count(), 2);
  managers->RemoveAt({1});
  EXPECT_EQ(managers->Count(), 1);
  EXPECT_NE(managers->Manager(1), manager);
}

}  // namespace
}  // namespace quillmont
