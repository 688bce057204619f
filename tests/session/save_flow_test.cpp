// The save flow's questions with another program on the same store, asked
// through a scripted front end: what both editors ask, answered once here.
#include <gtest/gtest.h>

#include "apps/session/notification_session.h"
#include "apps/session/startup.h"
#include "quillmont/services/message_service.h"
#include "store/seed.h"
#include "tests/support/scripted_front_end.h"
#include "tests/support/temp_dir.h"

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
    EXPECT_EQ(ui.Finished(), asNew);
    EXPECT_EQ(session.Definition().NotificationID() != 1, asNew);
    EXPECT_EQ(c.deleted ? "" : store->ReadNotification(1).name, std::string(c.storedAtOne));
    if (asNew)
      EXPECT_EQ(store->ReadNotification(session.Definition().NotificationID()).name, "Mine as new");
    else
      EXPECT_EQ(session.Definition().Name(), c.choice == 0 && !c.deleted ? "Theirs" : "Mine");
  }
}

}  // namespace
}  // namespace quillmont::session
