#include <gtest/gtest.h>

#include <string>

#include "quillmont/controls/selector.h"
#include "quillmont/definitions/definition_library.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/error.h"
#include "quillmont/services/app_context.h"
#include "tests/support/test_host.h"

namespace quillmont {
namespace {

std::shared_ptr<BasicEventTypeCollection> Catalogue() {
  auto c = std::make_shared<BasicEventTypeCollection>();
  c->Add(std::make_shared<BasicEventType>("1001", "Disk full", 3));
  c->Add(std::make_shared<BasicEventType>("1002", "Link down", 4));
  c->Add(std::make_shared<BasicEventType>("Ä", "Umlaut", 4));
  return c;
}

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

TEST(Definitions, ChosenEventTypesComeFromTheSelectorRows) {
  testing::ServiceScope scope;
  auto context = std::dynamic_pointer_cast<MemoryAppContext>(GetAppContext());
  ASSERT_NE(context, nullptr);
  context->SetEventTypes(Catalogue());

  BasicDefinitionLibrary library;
  auto definition = library.NewDefinition(42);
  Selector x("xEvents");
  for (const char* key : {"1001", "1002", "Ä", "gone"}) x.AddAvailable(key, key);
  x.ChooseItem("Ä");
  x.ChooseItem("gone");
  x.ChooseItem("1001");
  definition->SetEventGroupID(4);
  definition->SetChosenEventTypes(x.ChosenItems());

  const auto& chosen = definition->ChosenEventTypes();
  ASSERT_EQ(chosen.size(), 3u);
  EXPECT_EQ(chosen[0].key, "Ä");
  ASSERT_NE(chosen[0].eventType, nullptr);
  EXPECT_EQ(chosen[0].eventType->Name(), "Umlaut");
  EXPECT_EQ(chosen[1].key, "gone");  // unknown to the catalogue, kept
  EXPECT_EQ(chosen[1].eventType, nullptr);
  EXPECT_EQ(chosen[2].eventType->GroupID(), 3);
  EXPECT_EQ(definition->EventGroupID(), 4);

  // The library's readers see what the definition stored.
  auto stored = library.NewEventTypeReader()->GetEventTypes(42);
  ASSERT_EQ(stored->Count(), 3);
  EXPECT_EQ(stored->ItemAt(1)->Key(), "Ä");
  EXPECT_EQ(stored->Item("gone")->Key(), "gone");
  EXPECT_EQ(library.NewEventTypeReader()->GetEventTypes(7)->Count(), 0);

  // A row collection failing half-way leaves the earlier choice in place,
  // in the definition and in the store.
  class FailingRows : public SelectorRows {
   public:
    explicit FailingRows(std::shared_ptr<SelectorRows> inner) : inner_(std::move(inner)) {}
    int Count() const override { return 2; }
    std::shared_ptr<SelectorRow> Item(int position) const override {
      if (position == 2) throw Error(ErrorCode::Failed, "row unreadable");
      return inner_->Item(position);
    }

   private:
    std::shared_ptr<SelectorRows> inner_;
  };
  EXPECT_THROW(definition->SetChosenEventTypes(std::make_shared<FailingRows>(x.ChosenItems())), Error);
  EXPECT_THROW(definition->SetChosenEventTypes(nullptr), Error);
  EXPECT_EQ(definition->ChosenEventTypes().size(), 3u);
  EXPECT_EQ(library.NewEventTypeReader()->GetEventTypes(42)->Count(), 3);
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
  EXPECT_THROW(managers->Add(recipient), Error);
  EXPECT_THROW(recipients->Add(manager), Error);
  EXPECT_THROW(managers->Add(nullptr), Error);
  recipients->Add(recipient);
  EXPECT_EQ(managers->Count(), 1);
  EXPECT_EQ(recipients->Count(), 1);
  try {
    managers->Add(recipient);
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::TypeMismatch);
  }

  EXPECT_EQ(manager->ColumnText(snmp_columns::Host), "nms.example");
  EXPECT_EQ(manager->ColumnText(snmp_columns::Port), "162");
  EXPECT_EQ(manager->ColumnText(snmp_columns::Version), "SNMP v2c");
  EXPECT_EQ(manager->ColumnText(snmp_columns::TimeFormat), "UTC");
  EXPECT_EQ(manager->ColumnText(1), "");
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

TEST(Definitions, EventTypeCollectionsAndSets) {
  auto catalogue = Catalogue();
  EXPECT_EQ(catalogue->Count(), 3);
  EXPECT_EQ(catalogue->ItemAt(2)->Name(), "Link down");
  EXPECT_EQ(catalogue->Item("1002")->GroupID(), 4);
  EXPECT_EQ(catalogue->Item("1003"), nullptr);
  EXPECT_THROW(catalogue->Add(std::make_shared<BasicEventType>("1001", "Again", 1)), Error);
  EXPECT_EQ(catalogue->Count(), 3);
  EXPECT_EQ(catalogue->Item("1001")->Name(), "Disk full");
  // Append lists a repeated key too, but the lookup keeps the first.
  catalogue->Append(std::make_shared<BasicEventType>("1001", "Again", 1));
  EXPECT_EQ(catalogue->Count(), 4);
  EXPECT_EQ(catalogue->ItemAt(4)->Name(), "Again");
  EXPECT_EQ(catalogue->Item("1001")->Name(), "Disk full");
  EXPECT_THROW(catalogue->Append(nullptr), Error);
  EXPECT_EQ(catalogue->Count(), 4);

  BasicDefinitionLibrary library;
  auto set = library.NewEventTypeSet();
  set->Add(catalogue->Item("1001"));
  set->Add(catalogue->Item("1001"));
  EXPECT_TRUE(set->Exists("1001"));
  EXPECT_FALSE(set->Exists("1002"));
  EXPECT_EQ(set->Count(), 1);
  EXPECT_THROW(set->Add(nullptr), Error);

  // A store refuses a list with a repeated key and keeps what it had.
  auto store = library.Store();
  store->Store(1, {catalogue->Item("1001")});
  EXPECT_THROW(store->Store(1, {catalogue->Item("1002"), catalogue->Item("1002")}), Error);
  EXPECT_EQ(store->Read(1)->ItemAt(1)->Key(), "1001");
}

TEST(Definitions, DefinitionKeepsWhatThePanelsWrite) {
  BasicNotificationDefinition d;
  EXPECT_TRUE(d.IsNew());
  EXPECT_EQ(d.SnmpManagers(), nullptr);
  d.SetEmailSubject(std::nullopt);
  EXPECT_EQ(d.EmailSubject(), "");
  EXPECT_FALSE(d.Subject().has_value());
  d.SetEmailSubject(std::string());
  EXPECT_TRUE(d.Subject().has_value());
  d.SetEmailMessage("Disk is full");
  EXPECT_EQ(d.EmailMessage(), "Disk is full");
  d.LoadSnmpDetails();
  d.LoadEmailDetails();
  d.LoadEmailDetails();
  EXPECT_EQ(d.SnmpDetailsLoads(), 1);
  EXPECT_EQ(d.EmailDetailsLoads(), 2);
  // Without a store or a catalogue of its own, the thread's catalogue is used.
  testing::ServiceScope scope;
  Selector x("x");
  x.AddAvailable("a", "1001");
  x.ChooseItem("1001");
  d.SetChosenEventTypes(x.ChosenItems());
  ASSERT_EQ(d.ChosenEventTypes().size(), 1u);
  EXPECT_EQ(d.ChosenEventTypes()[0].eventType, nullptr);
  d.SetCatalogue(Catalogue());
  d.SetChosenEventTypes(x.ChosenItems());
  EXPECT_EQ(d.ChosenEventTypes()[0].eventType->Name(), "Disk full");
}

}  // namespace
}  // namespace quillmont
