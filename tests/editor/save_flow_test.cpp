// The editor's save and close flow against a second program on the same
// file: stale and refused saves ask, unapplied entries are settled, names
// stay unique, a read-only database is shown and never written.
#include <algorithm>

#include "apps/editor/editor_window.h"
#include "apps/editor/notification_list.h"
#include "quillmont/definitions/members.h"
#include "tests/editor/editor_test_support.h"

namespace quillmont::editor {
namespace {

namespace keys = ui::keys;
namespace shift = ui::shift;
using testing::Shows;

class SaveFlow : public testing::EditorFixture {
 protected:
  // The other program: its own connection to the same file.
  std::shared_ptr<store::Store> Theirs(store::Access access = store::Access::ReadWrite) {
    store::OpenOptions options;
    options.access = access;
    return store::Store::Open(dir.File("q.db"), options);
  }
  static void AddRecipient(store::Store& store, std::int32_t id, const std::string& address) {
    auto d = store.OpenDefinition(id);
    d->LoadEmailDetails();
    auto list = std::make_shared<BasicEmailRecipientList>();
    for (int i = 1; i <= d->EmailRecipients()->Count(); ++i) list->Add(d->EmailRecipients()->Recipient(i));
    auto recipient = std::make_shared<BasicEmailRecipient>();
    recipient->Init(Variant(d->RecipientOwnerKey()), address, Variant());
    list->Add(recipient);
    d->SetEmailRecipients(list);
    store.Save(*d);
  }
  bool Stored(std::int32_t id, const std::string& address) {
    const auto r = store->ReadNotification(id).recipients;
    return std::find(r.begin(), r.end(), address) != r.end();
  }
  // The user adds an address on the e-mail page.
  testing::ScriptedTerminal& TypeAddress(const std::string& address) {
    return terminal.Alt('3').Alt('n').Alt('e').Type(address).Key(keys::Return);
  }
};

TEST_F(SaveFlow, AStaleSaveWritesNothingAndDoesWhatTheUserChooses) {
  struct Case {
    char answer;
    bool theirsKept, mineAtOne, mineAsNew, stillChanged;
  };
  const Case cases[] = {
      {'r', true, false, false, false},  // reload theirs
      {'o', false, true, false, false},  // overwrite with mine
      {'s', true, false, true, false},   // save mine as new
      {'c', true, false, false, true},   // cancel: keep editing
  };
  auto theirs = Theirs();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    const std::string mine = std::string("mine-") + c.answer + "@example.org";
    const std::string their = std::string("their-") + c.answer + "@example.org";
    EditorWindow window(screen, *store, store->OpenDefinition(1), StandardPages());
    ASSERT_TRUE(window.Open());
    AddRecipient(*theirs, 1, their);
    TypeAddress(mine).Key('S', shift::Ctrl).ExpectText("was changed by another program").Type(std::string(1, c.answer));
    if (c.mineAsNew) terminal.ExpectText("Core network outage (copy)").Key(keys::Return);
    terminal.Then([&] {
      EXPECT_EQ(window.Changed(), c.stillChanged);
      EXPECT_EQ(Stored(1, their), c.theirsKept);
      EXPECT_EQ(Stored(1, mine), c.mineAtOne);
      EXPECT_EQ(window.Definition().NotificationID() != 1, c.mineAsNew);
      EXPECT_EQ(Stored(window.Definition().NotificationID(), mine), c.mineAsNew || c.mineAtOne);
    });
    window.Run();  // the script ends here
  }
}

TEST_F(SaveFlow, UnappliedEntriesCountAsChangesAndAreAppliedDiscardedOrGoneBackTo) {
  EditorWindow window(screen, *store, store->OpenDefinition(1), StandardPages());
  ASSERT_TRUE(window.Open());
  terminal.Alt('2')
      .Alt('n')
      .Alt('h')
      .Type("pending.example")
      .Alt('p')
      .Type("7777")
      .ExpectText("[changed]")
      .Key('S', shift::Ctrl)
      .ExpectText("\"pending.example:7777\", not applied")
      .Type("a")  // through the page's own Apply
      .Then([&] {
        const auto managers = store->ReadNotification(1).managers;
        ASSERT_EQ(managers.size(), 3u);
        EXPECT_EQ(managers[2].host, "pending.example");
        EXPECT_EQ(managers[2].port, 7777);
        EXPECT_FALSE(window.Changed());
      })
      .Type("x")  // typed alone, not applied: a change
      .ExpectText("[changed]")
      .Key(keys::Back)
      .Check([](const Canvas& c) { EXPECT_FALSE(Shows(c, "[changed]")) << c.AllText(); })
      .Alt('3')
      .Alt('n')
      .Alt('e')
      .Type("not-an-address")
      .Key(keys::Escape)
      .ExpectText("holds the address \"not-an-address\", not")
      .Type("a")  // the page refuses it with its own message
      .ExpectText("Invalid Email Address: not-an-address")
      .Key(keys::Return)
      .Then([&] { EXPECT_FALSE(window.Closed()); })
      .Key(keys::Escape)
      .Type("g")  // go back to it
      .Then([&] {
        EXPECT_FALSE(window.Closed());
        EXPECT_TRUE(window.Changed());
        EXPECT_EQ(window.ActiveKey(), "Email");
      })
      .Key(keys::Escape)
      .Type("d")
      .ExpectText("Save the changes to")
      .Type("n");
  window.Run();
  EXPECT_TRUE(window.Closed());
  EXPECT_EQ(store->ReadNotification(1).recipients.size(), 2u);
}

TEST_F(SaveFlow, NamesStayUniqueThroughNewRenameAndARefusedSave) {
  auto theirs = Theirs();
  NotificationListScreen list(screen, store, StandardPages(), "q.db");
  terminal.Type("n")
      .Type("core NETWORK outage")
      .Key(keys::Return)
      .ExpectText("A notification named \"core NETWORK outage\" already exists.")
      .Key(keys::Return)
      .Key(keys::Escape)
      .Key(FunctionKey(2))  // rename the chosen row (the list is by name)
      .ExpectText("New name of the notification:")
      .Key(keys::Return)  // unchanged: nothing happens
      .Then([&] { theirs->RenameNotification(2, "Server room"); })
      .Key(keys::Down)  // the list catches up with the other program
      .Check([](const Canvas& c) { EXPECT_FALSE(Shows(c, "Server room environment")) << c.AllText(); })
      .Key(keys::Home)
      .Key(keys::Return)
      .Key(FunctionKey(2))
      .Type(" renamed")
      .Key(keys::Return)
      .ExpectText("Core network outage renamed  [changed]")
      .Then([&] { theirs->RenameNotification(2, "CORE network outage renamed"); })
      .Key('S', shift::Ctrl)
      .ExpectText("Give this notification another name?")
      .Type("y")
      .Type(" again")
      .Key(keys::Return)
      .Then([&] { EXPECT_EQ(store->ReadNotification(1).name, "Core network outage renamed again"); })
      .Key(keys::Escape)
      .Type("q");
  list.Run();
  EXPECT_TRUE(list.Done());
}

TEST_F(SaveFlow, ADeletedNotificationIsSavedAsNewAndAReadOnlyOneIsNeverWritten) {
  auto theirs = Theirs();
  EditorWindow window(screen, *store, store->OpenDefinition(1), StandardPages());
  ASSERT_TRUE(window.Open());
  TypeAddress("kept@example.org")
      .Then([&] { theirs->DeleteNotification(1); })
      .Key('S', shift::Ctrl)
      .ExpectText("was deleted by another program")
      .Type("s")
      .ExpectText("Name of the new notification:")
      .Key(keys::Return)
      .Then([&] {
        EXPECT_FALSE(window.Changed());
        EXPECT_EQ(window.Definition().NotificationID(), 3);
        EXPECT_TRUE(Stored(3, "kept@example.org"));
        EXPECT_EQ(store->ReadNotification(3).managers.size(), 2u);
      });
  window.Run();

  auto readOnly = Theirs(store::Access::ReadOnly);
  EditorWindow viewer(screen, *readOnly, readOnly->OpenDefinition(2), StandardPages());
  ASSERT_TRUE(viewer.Open());
  TypeAddress("never@example.org")
      .ExpectText("[read-only]")
      .Key('S', shift::Ctrl)
      .ExpectText("open read-only")
      .Key(keys::Return)
      .Then([&] { EXPECT_FALSE(Stored(2, "never@example.org")); });
  viewer.Run();
}

}  // namespace
}  // namespace quillmont::editor
