// The command line on a server: --copy-to between the backends, the modes
// for scripts on a postgresql:// URI (named by --db or QUILLMONT_DB), and a
// refused login.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <sstream>

#include "apps/editor/cli.h"
#include "store/definition_store.h"
#include "store/seed.h"
#include "store/sqlite_db.h"
#include "tests/support/pg/pg_cluster.h"
#include "tests/support/temp_dir.h"

namespace quillmont {
namespace {

using quillmont::testing::PgCluster;

struct Outcome {
  int code;
  std::string out, err;
};

Outcome Editor(const std::vector<std::string>& args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int code = editor::RunProgram(args, in, out, err);
  return {code, out.str(), err.str()};
}

TEST(CopyTo, FileToServerToFileIsByteIdenticalAndTheScriptModesWorkOnTheServer) {
  quillmont::testing::TempDir dir;
  const std::string source = dir.File("source.db"), back = dir.File("back.db");
  {
    auto store = store::Store::Open(source);
    store::SeedDatabase(*store);
    store->DeleteNotification(1);  // numbers are kept, gaps too
    store->SetSetting("Delivery.smtpServer", "mail.example.net");
  }
  const std::string server = PgCluster::Shared().NewDatabase();
  const std::string first = Editor({"--db", source, "--export-all"}).out;

  const Outcome there = Editor({"--db", source, "--copy-to", server});
  EXPECT_EQ(there.code, 0) << there.err;
  EXPECT_NE(there.out.find("copied 1 notifications, 202 event types and 1 settings"), std::string::npos) << there.out;
  ASSERT_EQ(Editor({"--db", server, "--copy-to", back}).code, 0);
  EXPECT_EQ(Editor({"--db", back, "--export-all"}).out, first);
  EXPECT_EQ(Editor({"--db", back, "--list"}).out, "2\tServer room environment\n");
  {
    // A number the server chooses later follows the copied ones.
    auto onServer = store::Store::Open(server);
    auto fresh = onServer->NewDefinition("After the copy");
    onServer->Save(*fresh);
    EXPECT_EQ(fresh->NotificationID(), 3);
    onServer->DeleteNotification(3);
  }

  // A store that is not empty is never copied into.
  const Outcome full = Editor({"--db", back, "--copy-to", server});
  EXPECT_EQ(full.code, editor::exit_code::DatabaseRefused);
  EXPECT_NE(full.err.find("is not empty"), std::string::npos) << full.err;

  // A copy that fails (a name longer than the pages allow) leaves an empty server empty.
  store::SqliteDatabase(source, store::OpenMode::ReadWrite).Exec("UPDATE notifications SET name = hex(zeroblob(300))");
  const std::string empty = PgCluster::Shared().NewDatabase();
  EXPECT_EQ(Editor({"--db", source, "--copy-to", empty}).code, editor::exit_code::DatabaseRefused);
  const Outcome after = Editor({"--db", empty, "--list"});
  EXPECT_NE(after.err.find("holds no Quillmont database"), std::string::npos) << after.err;

  ::setenv("QUILLMONT_DB", server.c_str(), 1);
  EXPECT_EQ(Editor({"--export-all"}).out, first);
  EXPECT_EQ(Editor({"--export", "2"}).code, 0);
  const Outcome imported = Editor({"--import", "-"}, first);
  ::unsetenv("QUILLMONT_DB");
  EXPECT_EQ(imported.code, 0) << imported.err;
  EXPECT_NE(imported.out.find("0 created, 0 replaced, 1 unchanged"), std::string::npos) << imported.out;

  const Outcome refused = Editor({"--db", PgCluster::Shared().Uri("postgres", "guarded") + "&password=nope", "--list"});
  EXPECT_EQ(refused.code, editor::exit_code::DatabaseRefused);
  EXPECT_NE(refused.err.find("refused the login"), std::string::npos) << refused.err;
  EXPECT_EQ(refused.err.find("nope"), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace quillmont
