// The editor's save and close flow with a second program on the same file:
// refused saves ask, unapplied entries are settled, names stay unique, a
// read-only database is never written.
#include <algorithm>

#include "apps/editor/editor_window.h"
#include "apps/editor/notification_list.h"
#include "tests/editor/editor_test_support.h"

namespace quillmont::editor {
namespace {

namespace keys = ui::keys;
using testing::Shows;

class SaveFlow : public testing::EditorFixture {
 protected:
  std::shared_ptr<store::Store> theirs = store::Store::Open(dir.File("q.db"));
  bool Stored(std::int32_t id, const std::string& address) {
    const auto r = store->ReadNotification(id).recipients;
    return std::find(r.begin(), r.end(), address) != r.end();
  }
  // The user adds an address on the e-mail page, and saves.
  testing::ScriptedTerminal& AddAndSave(const std::string& address) {
    return terminal.Alt('3').Alt('n').Alt('e').Type(address).Key(keys::Return).Key('S', ui::shift::Ctrl);
  }
};

TEST_F(SaveFlow, ASaveOverAnotherProgramsChangeOrDeletionAsksAndDoesWhatTheUserChooses) {
  struct Case {
    bool deleted;
    char answer;
    bool mineAtOne, mineAsNew;
  };
  const Case cases[] = {
      {false, 'r', false, false},  // reload theirs
      {false, 'o', true, false},   // overwrite with mine
      {false, 's', false, true},   // save mine as new
      {false, 'c', false, false},  // cancel: keep editing
      {true, 's', false, true},    // deleted: save as new
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    const std::string mine = std::string("mine-") + c.answer + "@example.org";
    EditorWindow window(screen, *store, store->OpenDefinition(1), session::StandardPages());
    ASSERT_TRUE(window.Open());
    auto other = theirs->OpenDefinition(1);
    other->SetName("Core network outage");  // a save of theirs in between
    c.deleted ? theirs->DeleteNotification(1) : theirs->Save(*other);
    AddAndSave(mine).ExpectText(c.deleted ? "was deleted by another program" : "was changed by another program");
    terminal.Type(std::string(1, c.answer));
    if (c.mineAsNew)
      terminal.ExpectText(c.deleted ? "Core network outage" : "Core network outage (copy)").Key(keys::Return);
    terminal.Then([&] {
      EXPECT_EQ(window.Changed(), c.answer == 'c');
      EXPECT_EQ(window.Definition().NotificationID() != 1, c.mineAsNew);
      EXPECT_EQ(Stored(window.Definition().NotificationID(), mine), c.mineAtOne || c.mineAsNew);
    });
    window.Run();  // the script ends here
  }
}

TEST_F(SaveFlow, UnappliedEntriesCountAsChangesAndAreAppliedDiscardedOrGoneBackTo) {
  EditorWindow window(screen, *store, store->OpenDefinition(1), session::StandardPages());
  ASSERT_TRUE(window.Open());
  terminal.Alt('2').Alt('n').Alt('h').Type("pending.example").Alt('p').Type("7777").Key('S', ui::shift::Ctrl);
  terminal.ExpectText("\"pending.example:7777\", not applied").Type("a");  // through the page's own Apply
  terminal.Then([&] {
    EXPECT_EQ(store->ReadNotification(1).managers.at(2).host, "pending.example");
    EXPECT_FALSE(window.Changed());
  });
  terminal.Type("x").ExpectText("[changed]").Key(keys::Back);  // typed alone, not applied: a change
  terminal.Check([](const Canvas& c) { EXPECT_FALSE(Shows(c, "[changed]")) << c.AllText(); });
  terminal.Alt('3').Alt('n').Alt('e').Type("not-an-address").Key(keys::Escape);
  terminal.ExpectText("holds the address \"not-an-address\", not").Type("a");  // the page refuses it
  terminal.ExpectText("Invalid Email Address: not-an-address").Key(keys::Return);
  terminal.Key(keys::Escape).Type("g").Then([&] { EXPECT_FALSE(window.Closed()); });  // go back to it
  // Discarded, the pages hold what was saved (New alone is no change): it closes unasked.
  terminal.Key(keys::Escape).Type("d");
  window.Run();
  EXPECT_TRUE(window.Closed());
  EXPECT_EQ(store->ReadNotification(1).recipients.size(), 2u);
}

TEST_F(SaveFlow, NamesStayUniqueThroughNewRenameAndARefusedSave) {
  NotificationListScreen list(screen, store, session::StandardPages(), "q.db");
  terminal.Type("n").Type("core NETWORK outage").Key(keys::Return);
  terminal.ExpectText("A notification named \"core NETWORK outage\" already exists.").Key(keys::Return);
  terminal.Key(keys::Escape).Then([&] { theirs->RenameNotification(2, "Server room"); });
  terminal.Key(keys::Down);  // the list catches up with the other program
  terminal.Check([](const Canvas& c) { EXPECT_FALSE(Shows(c, "Server room environment")) << c.AllText(); });
  terminal.Key(keys::Home).Key(keys::Return).Key(FunctionKey(2)).Key(keys::End).Type(" renamed").Key(keys::Return);
  terminal.ExpectText("Core network outage renamed  [changed]").Then([&] {
    theirs->RenameNotification(2, "CORE network outage renamed");
  });
  terminal.Key('S', ui::shift::Ctrl).ExpectText("Give this notification another name?");
  terminal.Type("y").Key(keys::End).Type(" again").Key(keys::Return).Then([&] {
    EXPECT_EQ(store->ReadNotification(1).name, "Core network outage renamed again");
  });
  list.Run();
}

TEST_F(SaveFlow, AReadOnlyDatabaseIsShownAndNeverWritten) {
  store::OpenOptions readOnly;
  readOnly.access = store::Access::ReadOnly;
  auto viewerStore = store::Store::Open(dir.File("q.db"), readOnly);
  EditorWindow viewer(screen, *viewerStore, viewerStore->OpenDefinition(2), session::StandardPages());
  ASSERT_TRUE(viewer.Open());
  AddAndSave("never@example.org").ExpectText("[read-only]").ExpectText("open read-only").Key(keys::Return);
  viewer.Run();
  EXPECT_FALSE(Stored(2, "never@example.org"));
}

}  // namespace
}  // namespace quillmont::editor
