// The editor's save and close flow with a second program on the same file,
// by its keys: names stay unique, a read-only database is never written.
// (The questions of a refused save and of entries not applied are the
// session's: tests/session.)
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "apps/editor/editor_window.h"
#include "apps/editor/notification_list.h"
#include "store/sqlite_db.h"
#include "tests/editor/editor_test_support.h"

namespace quillmont::editor {
namespace {

namespace keys = ui::keys;

class SaveFlow : public testing::EditorFixture {
 protected:
  std::shared_ptr<store::Store> theirs = store::Store::Open(dir.File("q.db"));
  // The user adds an address on the e-mail page, and saves.
  testing::ScriptedTerminal& AddAndSave(const std::string& address) {
    terminal.Alt('3').Alt('n').Alt('e').Type(address).Key(keys::Return).ExpectText("\u2502" + address);
    return terminal.Key('S', ui::shift::Ctrl);
  }
};

// Enter in the revision question keeps the user's edits (Cancel), and the
// question says what Overwrite would replace.
TEST_F(SaveFlow, EnterInTheRevisionQuestionLosesNothing) {
  EditorWindow window(screen, *store, store->OpenDefinition(2), session::StandardPages());
  ASSERT_TRUE(window.Open());
  theirs->RenameNotification(2, "Their name");
  AddAndSave("mine@example.org").ExpectText("the name (theirs: \"Their").Key(keys::Return);
  terminal.ExpectText("[changed]").Then([&] { EXPECT_EQ(store->ReadNotification(2).recipients.size(), 1u); });
  terminal.Key(keys::Escape).Type("n");
  window.Run();
  EXPECT_TRUE(window.Closed());
}

TEST_F(SaveFlow, NamesStayUniqueThroughNewRenameAndARefusedSave) {
  NotificationListScreen list(screen, store, session::StandardPages(), "q.db");
  terminal.Type("n").Type("core NETWORK outage").Key(keys::Return);
  terminal.ExpectText("A notification named \"core NETWORK outage\" already exists.").Key(keys::Return);
  terminal.Key(keys::Escape).Then([&] { theirs->RenameNotification(2, "Server room"); });
  terminal.Key(keys::Down);  // the list catches up with the other program
  terminal.Check([](const Canvas& c) { EXPECT_FALSE(testing::Shows(c, "Server room environment")) << c.AllText(); });
  terminal.Key(keys::Home).Key(keys::Return).Key(FunctionKey(2)).Key(keys::End).Type(" renamed").Key(keys::Return);
  terminal.ExpectText("Core network outage renamed  [changed]").Then([&] {
    theirs->RenameNotification(2, "CORE network outage renamed");
  });
  terminal.Key('S', ui::shift::Ctrl).ExpectText("Give this notification another name?");
  // The name asked for again is checked as typed: Enter keeps the taken one.
  terminal.Type("y").Key(keys::Return).ExpectText("\"Core network outage renamed\" already");
  terminal.Key(keys::Return).Key(keys::End).Type(" again").Key(keys::Return).Then([&] {
    EXPECT_EQ(store->ReadNotification(1).name, "Core network outage renamed again");
  });
  list.Run();
}

// A database this user may not write (as root: one on a read-only mount)
// opens read-only through the editor's start-up, marked in both titles.
TEST_F(SaveFlow, AReadOnlyDatabaseIsShownAndNeverWritten) {
  store->Db().Exec("PRAGMA wal_checkpoint(TRUNCATE)");
  const std::string ro = dir.File("ro"), db = ro + "/q.db";
  std::filesystem::create_directory(ro);
  const bool root = ::geteuid() == 0;
  if (root && std::system(("mount -t tmpfs -o mode=0755 tmpfs " + ro + " 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "no mount";
  std::filesystem::copy_file(dir.File("q.db"), db);
  std::filesystem::permissions(db, std::filesystem::perms::owner_read);
  ASSERT_TRUE(!root || std::system(("mount -o remount,ro " + ro).c_str()) == 0);
  {
    TerminalFrontEnd questions(screen);
    auto viewerStore = session::OpenForEditing({db, true}, questions);
    services.emplace(std::make_shared<TerminalMessageService>(screen), viewerStore);
    NotificationListScreen list(screen, viewerStore, session::StandardPages(), "q.db");
    // The address added shows, scrolled into view below the two rows.
    terminal.ExpectText("notifications - q.db  [read-only]").Key(keys::Return);
    AddAndSave("never@example.org").ExpectText("[read-only]").ExpectText("open read-only").Key(keys::Return);
    terminal.Key(keys::Escape).Type("n").Type("q");
    list.Run();
    EXPECT_EQ(viewerStore->ReadNotification(1).recipients.size(), 2u);
    services.reset();
  }
  EXPECT_TRUE(!root || std::system(("umount " + ro).c_str()) == 0);
}

// Closing with unsaved changes: Cancel keeps the window; Yes tries to save,
// and a refused save keeps the window and the changes; the next Yes saves,
// closes and keeps the view state.
TEST_F(SaveFlow, ClosingAfterAFailedSaveKeepsTheWindowAndTheChanges) {
  store::SqliteDatabase other(dir.File("q.db"), store::OpenMode::ReadWrite);
  EditorWindow window(screen, *store, store->OpenDefinition(2), session::StandardPages());
  ASSERT_TRUE(window.Open());
  terminal.Key(FunctionKey(6)).Alt('n').Alt('h').Type("late.example.org").Alt('p').Type("162").Key(keys::Return);
  terminal.Then([&] { other.Exec("BEGIN IMMEDIATE"); }).Key(keys::Escape).ExpectText("Save the changes to");
  terminal.Type("c").Then([&] { EXPECT_FALSE(window.Closed()); });
  terminal.Key(keys::Escape).Type("y").ExpectText("not saved").Key(keys::Return).Then([&] {
    EXPECT_FALSE(window.Closed());
    EXPECT_TRUE(window.Changed());
    other.Exec("ROLLBACK");
  });
  terminal.Key(keys::Escape).Type("y");
  window.Run();
  EXPECT_TRUE(window.Closed());
  EXPECT_EQ(store->ReadNotification(2).managers.size(), 2u);
  const auto layout = store->Setting("SNMPProperties");
  ASSERT_TRUE(layout.has_value());
  EXPECT_FALSE(layout->empty());
}

}  // namespace
}  // namespace quillmont::editor
