// The save flow's questions with another program on the same store, asked
// through a scripted front end: what both editors ask, answered once here.
#include <gtest/gtest.h>

#include <filesystem>

#include "apps/session/notification_session.h"
#include "apps/session/startup.h"
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/services/message_service.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"
#include "store/seed.h"
#include "tests/support/scripted_front_end.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_host.h"

namespace quillmont::session {
namespace {

using testing::ScriptedFrontEnd;

TEST(SessionSave, ASaveOverAnotherProgramsChangeOrDeletionDoesWhatTheUserChooses) {
  quillmont::testing::TempDir dir;
  struct Case {
    const char* what;
    bool deleted;
    int choice;
    bool saved, changed;
    const char* storedAtOne;  // the name notification 1 has after it ("" when gone)
  } cases[] = {
      {"reload theirs", false, 0, false, false, "Theirs"}, {"overwrite", false, 1, true, false, "Mine"},
      {"save as new", false, 2, true, false, "Theirs"},    {"cancel", false, 3, false, true, "Theirs"},
      {"deleted: save as new", true, 0, true, false, ""},  {"deleted: cancel", true, 1, false, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A seeded store, another program's connection to it, and the services the pages use.
    const std::string path = dir.File(std::string(c.what) + ".db");
    store::SeedDatabase(*store::Store::Open(path));
    auto store = store::Store::Open(path), theirs = store::Store::Open(path);
    StoreServices services{std::make_shared<ConsoleMessageService>(nullptr), store};
    ScriptedFrontEnd ui;
    NotificationSession session(ui, *store, store->OpenDefinition(1), StandardPages());
    ASSERT_TRUE(session.Open());
    ui.Type("Mine");
    ASSERT_TRUE(session.Rename());
    if (c.deleted)
      theirs->DeleteNotification(1);
    else
      theirs->RenameNotification(1, "Theirs");
    ui.Answer(c.choice).Type("Mine as new");
    EXPECT_EQ(session.Save(), c.saved);
    EXPECT_EQ(session.Changed(), c.changed);
    const bool asNew = std::string(c.what).find("as new") != std::string::npos;
    EXPECT_TRUE(ui.Finished() == asNew && (session.Definition().NotificationID() != 1) == asNew);
    EXPECT_EQ(c.deleted ? "" : store->ReadNotification(1).name, std::string(c.storedAtOne));
    EXPECT_EQ(session.Definition().Name(), asNew ? "Mine as new" : c.choice == 0 && !c.deleted ? "Theirs" : "Mine");
  }
}

// An entry typed on a page and not applied counts as a change; a save or a
// close asks about it first: Apply goes through the page's own button (which
// may refuse), Discard starts the page over, Go back stops.
TEST(SessionSave, EntriesNotAppliedAreAppliedDiscardedOrGoneBackTo) {
  quillmont::testing::TempDir dir;
  auto store = store::Store::Open(dir.File("q.db"));
  store::SeedDatabase(*store);
  auto messages = std::make_shared<quillmont::testing::ScriptedMessages>();
  StoreServices services{messages, store};
  ScriptedFrontEnd ui;
  NotificationSession session(ui, *store, store->OpenDefinition(1), StandardPages());
  ASSERT_TRUE(session.Open());
  auto& snmp = dynamic_cast<XEventSNMPTab&>(*session.Pages()[1]->view);
  auto& email = dynamic_cast<XEventEmailTab&>(*session.Pages()[2]->view);
  ui::Driver onSnmp(snmp), onEmail(email);

  onSnmp.Click(snmp.cmdNew());
  onSnmp.TypeInto(snmp.txtPort(), "7777");
  EXPECT_TRUE(session.Changed());  // typed alone, not applied: a change
  ui.Answer(0);                    // Apply, which a manager without a host cannot
  EXPECT_FALSE(session.Save());
  ASSERT_EQ(ui.Asked().size(), 2u);
  EXPECT_NE(ui.Asked()[1].find("cannot be applied as it stands"), std::string::npos) << ui.Asked()[1];
  onSnmp.TypeInto(snmp.txtHost(), "pending.example");
  ui.Answer(0);
  EXPECT_TRUE(session.Save());
  EXPECT_NE(ui.Asked()[2].find("\"pending.example:7777\", not applied"), std::string::npos) << ui.Asked()[2];
  EXPECT_EQ(store->ReadNotification(1).managers.at(2).host, "pending.example");
  EXPECT_FALSE(session.Changed());
  // A host typed and then dropped by New leaves the pages as loaded.
  onSnmp.TypeInto(snmp.txtHost(), "gone.example");
  onSnmp.Click(snmp.cmdNew());
  EXPECT_FALSE(session.Changed());

  onEmail.Click(email.cmdNew());
  onEmail.TypeInto(email.txtAddress(), "not-an-address");
  messages->Expect("Invalid Email Address: not-an-address", msgbox::OkOnly, "");
  ui.Answer(0).Answer(2);  // Apply (the page refuses it), then Go back
  EXPECT_FALSE(session.Close());
  EXPECT_FALSE(session.Close());
  EXPECT_EQ(session.Active(), 2u);
  // Discarded, the pages hold what was saved: it closes unasked.
  const std::size_t asked = ui.Asked().size();
  ui.Answer(1);
  EXPECT_TRUE(session.Close());
  EXPECT_EQ(ui.Asked().size(), asked + 1);
  EXPECT_EQ(store->ReadNotification(1).recipients.size(), 2u);
  // A row changed in place is a change, as much as one added or removed.
  onSnmp.ClickRow(snmp.stl(), 0);
  onSnmp.TypeInto(snmp.txtHost(), "x");
  onSnmp.Click(snmp.cmdApply());
  EXPECT_TRUE(session.Changed());
  ui.Answer(msgbox::AnswerYes);  // to saving it before the close
  EXPECT_TRUE(session.Close() && !session.Changed());
  EXPECT_EQ(store->ReadNotification(1).managers.at(0).host, "nms1.ops.examplex");
}

// The list catches up with another program's writes; a database file
// replaced under it is offered for reopening, again after each reopen (which
// shows the new file's rows) and only once when declined. Replaced by
// something that cannot be opened, the reopen a save (before a close) offers
// says why, and the save stops there with the edits kept and the window open.
TEST(SessionSave, AReplacedDatabaseIsOfferedForReopening) {
  quillmont::testing::TempDir dir;
  const std::string path = dir.File("q.db"), other = dir.File("other.db");
  const auto replace = [&](const char* name) {
    store::SeedDatabase(*store::Store::Open(other));
    store::Store::Open(other)->RenameNotification(1, name);
    std::filesystem::rename(other, path);
  };
  replace("Mine");
  auto store = store::Store::Open(path);
  StoreServices services{std::make_shared<ConsoleMessageService>(nullptr), store};
  ScriptedFrontEnd ui;
  NotificationIndex index(ui, store);
  const auto shows = [&](const std::string& name) { return index.Rows().at(index.RowOf(1)).name == name; };
  // Another program's write is still in the old file's log when it is
  // replaced: the reopened file is read as it is, without that log over it.
  store::Store::Open(path)->RenameNotification(1, "Theirs");
  EXPECT_TRUE(index.CatchUp() && shows("Theirs"));
  for (const char* name : {"Reopened", "Again"}) {
    replace(name);
    ui.Answer(0);
    EXPECT_TRUE(index.CatchUp() && !index.CatchUp() && shows(name)) << name;
  }
  replace("Declined");
  ui.Answer(1);
  EXPECT_FALSE(index.CatchUp() || index.CatchUp() || !shows("Again"));  // told once

  NotificationSession session(ui, *store, store->OpenDefinition(1), StandardPages());
  ASSERT_TRUE(session.Open());
  ui.Type("Mine");
  ASSERT_TRUE(session.Rename());
  ASSERT_TRUE(std::filesystem::remove(path) && std::filesystem::create_directory(path));
  ui.Answer(msgbox::AnswerYes).Answer(0).Answer(msgbox::AnswerOk);  // Save first, Reopen, the failure read
  EXPECT_FALSE(session.Close());
  EXPECT_TRUE(ui.Finished() && session.Changed());
  ASSERT_EQ(ui.Asked().size(), 7u);  // three above, the rename's, the close's, the reopen's and why it failed
  EXPECT_NE(ui.Asked()[6].find("could not be reopened.\n\n" + path + " is a folder"), std::string::npos);
}

}  // namespace
}  // namespace quillmont::session
