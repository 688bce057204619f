// How the three programs find and open their store (apps/session/startup).
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "apps/session/startup.h"
#include "quillmont/framework/services.h"
#include "store/seed.h"
#include "tests/support/scripted_front_end.h"
#include "tests/support/temp_dir.h"

namespace quillmont::session {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv, testing::ScriptedFrontEnd, testing::TempDir;

TEST(Startup, TheDefaultTheNamedAndSomeoneElsesDatabase) {
  const bool root = ::geteuid() == 0;
  struct Case {
    const char* what;
    bool named;
    bool othersFile;  // the file exists and belongs to another user (needs root)
    int answer;       // to the trust question, when asked
    int refused;      // the StartRefused code, or 0 when opened
  } cases[] = {
      {"default, first run: folders made, seeded", false, false, 0, 0},
      {"named, in a missing folder", true, false, 0, StartRefused::Usage},
      {"default, another user's: refused unasked", false, true, 0, StartRefused::Refused},
      {"named, another user's, declined", true, true, msgbox::AnswerNo, StartRefused::Refused},
      {"named, another user's, agreed", true, true, msgbox::AnswerYes, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.othersFile && !root) continue;
    TempDir dir;
    const std::string db = dir.File("data/quillmont/quillmont.db");
    if (c.othersFile) {
      store::CreateDatabaseFolders(dir.File("data/quillmont"));
      store::SeedDatabase(*store::Store::Open(db));
      ASSERT_EQ(::chown(db.c_str(), 65534, 65534), 0);
    }
    ScopedEnv data("XDG_DATA_HOME", dir.File("data").c_str());
    ScopedEnv named("QUILLMONT_DB", nullptr);
    const Location location = FindDatabase(c.named ? std::optional<std::string>(db) : std::nullopt);
    EXPECT_EQ(location.path, db);
    ScriptedFrontEnd ui;
    ui.Answer(c.answer);
    try {
      const auto store = OpenForEditing(location, ui);
      EXPECT_TRUE(c.refused == 0 && !store->ReadOnly() && !store->ListNotifications().empty());
    } catch (const StartRefused& e) {
      EXPECT_EQ(e.Code(), c.refused) << e.what();
      EXPECT_TRUE(c.refused != StartRefused::Usage ||
                  std::string(e.what()).find("the folder " + dir.File("data/quillmont") + " does not exist") !=
                      std::string::npos);
    }
    // Only a named file of another user's is asked about.
    EXPECT_EQ(ui.Asked().size(), c.named && c.othersFile ? 1u : 0u);
    EXPECT_EQ(fs::exists(dir.File("data/quillmont")), !c.named || c.othersFile);
    EXPECT_TRUE(c.othersFile || c.named || fs::status(dir.File("data")).permissions() == fs::perms(0700));
  }
}

TEST(Startup, ARelativeDataFolderAndTheEnvironmentsDatabase) {
  TempDir dir;
  ScopedEnv home("HOME", dir.File("home").c_str());
  ScopedEnv data("XDG_DATA_HOME", "relative/data");
  ScopedEnv named("QUILLMONT_DB", nullptr);
  EXPECT_EQ(FindDatabase(std::nullopt).path, dir.File("home/.local/share/quillmont/quillmont.db"));
  EXPECT_FALSE(FindDatabase(std::nullopt).named);
  ScopedEnv fromEnvironment("QUILLMONT_DB", "/elsewhere/q.db");
  EXPECT_EQ(FindDatabase(std::nullopt).path, "/elsewhere/q.db");
  EXPECT_TRUE(FindDatabase(std::nullopt).named);
  EXPECT_EQ(FindDatabase(std::string("/given.db")).path, "/given.db");
}

}  // namespace
}  // namespace quillmont::session
