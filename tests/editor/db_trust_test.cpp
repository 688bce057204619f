// Databases only the user can read, never made or edited through links or in
// another user's file, read defensively, and shown escaped on the terminal.
// Ownership cases give files to another user, which needs root.
#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include <gtest/gtest.h>

#include "apps/editor/cli.h"
#include "store/definition_store.h"
#include "store/seed.h"
#include "tests/support/temp_dir.h"

namespace quillmont::store {
namespace {

namespace fs = std::filesystem;
using quillmont::testing::ScopedEnv;
using quillmont::testing::TempDir;
using quillmont::testing::WriteText;

constexpr uid_t kOtherUser = 65534;

void Sql(const std::string& db, const std::string& sql) {
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &handle), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(handle);
  sqlite3_close(handle);
}

std::string Refusal(const std::string& path, const OpenOptions& options = {}) {
  try {
    Store::Open(path, options);
    return "";
  } catch (const Error& e) {
    return e.what();
  }
}

TEST(DatabaseTrust, NewDatabasesAndFoldersAreTheUsersAlone) {
  TempDir dir;
  const mode_t old = ::umask(022);
  CreateDatabaseFolders(dir.File("share/quillmont"));
  const std::string db = dir.File("share/quillmont/q.db");
  {
    auto store = Store::Open(db);
    SeedDatabase(*store);
    for (const char* file : {"", "-wal", "-shm"})
      EXPECT_EQ(fs::status(db + file).permissions(), fs::perms(0600)) << file;
  }
  ::umask(old);
  EXPECT_EQ(fs::status(dir.File("share")).permissions(), fs::perms(0700));
  EXPECT_EQ(fs::status(dir.File("share/quillmont")).permissions(), fs::perms(0700));
}

struct PlantedCase {
  const char* name;
  bool needsRoot;
  std::function<void(const TempDir&, const std::string& db)> plant;
  const char* refusal;
};

TEST(DatabaseTrust, NothingPlantedIsCreatedThroughOrEdited) {
  const PlantedCase cases[] = {
      {"empty file writable by all", false,
       [](auto&, auto& db) { WriteText(db, ""), fs::permissions(db, fs::perms(0666)); }, "writable by others"},
      {"empty file of another user", true,
       [](auto&, auto& db) {
         WriteText(db, "");
         EXPECT_EQ(::chown(db.c_str(), kOtherUser, kOtherUser), 0);
       },
       "belongs to"},
      {"link to a missing file", false, [](auto& d, auto& db) { fs::create_symlink(d.File("target"), db); },
       "symbolic link"},
      {"link to an empty file", false,
       [](auto& d, auto& db) { WriteText(d.File("target"), ""), fs::create_symlink(d.File("target"), db); },
       "symbolic link"},
      {"FIFO", false, [](auto&, auto& db) { ::mkfifo(db.c_str(), 0600); }, "not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsRoot && ::geteuid() != 0) {
      std::printf("[  SKIPPED ] %s: giving a file to another user needs root\n", c.name);
      continue;
    }
    TempDir dir;
    const std::string db = dir.File("q.db");
    c.plant(dir, db);
    EXPECT_NE(Refusal(db).find(c.refusal), std::string::npos) << Refusal(db);
    EXPECT_FALSE(fs::exists(dir.File("target")) && fs::file_size(dir.File("target")) > 0);
    if (fs::is_regular_file(fs::symlink_status(db))) {
      EXPECT_EQ(fs::file_size(db), 0u);
    }
    EXPECT_FALSE(fs::exists(db + "-wal"));
  }
}

TEST(DatabaseTrust, AnotherUsersDatabaseIsOnlyReadUnlessTheUserAgrees) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root (CI runs this as root)";
  TempDir dir;
  const std::string db = dir.File("q.db");
  SeedDatabase(*Store::Open(db));
  ASSERT_EQ(::chown(db.c_str(), kOtherUser, kOtherUser), 0);
  EXPECT_NE(Refusal(db).find("belongs to nobody (uid 65534)"), std::string::npos) << Refusal(db);
  OpenOptions readOnly;
  readOnly.access = Access::ReadOnly;
  EXPECT_NE(Store::Open(db, readOnly)->Untrusted().find("nobody"), std::string::npos);
  OpenOptions agreed;
  agreed.editUntrusted = true;
  EXPECT_FALSE(Store::Open(db, agreed)->ListNotifications().empty());

  std::ostringstream out, err;
  EXPECT_EQ(editor::RunProgram({"--db", db, "--list"}, out, err), 0);
  EXPECT_NE(err.str().find("belongs to nobody"), std::string::npos) << err.str();
  ScopedEnv data("XDG_DATA_HOME", dir.File("").c_str());
  fs::create_directory(dir.File("quillmont"));
  fs::rename(db, dir.File("quillmont/quillmont.db"));
  EXPECT_EQ(editor::RunProgram({}, out, err), editor::exit_code::DatabaseRefused);
  EXPECT_NE(err.str().find("name it with --db and confirm"), std::string::npos) << err.str();
}

TEST(DatabaseTrust, HostileContentIsRefusedOrShownEscaped) {
  TempDir dir;
  const std::string db = dir.File("q.db");
  SeedDatabase(*Store::Open(db));
  OpenOptions readOnly;
  readOnly.access = Access::ReadOnly;
  const std::int32_t id = Store::Open(db, readOnly)->ListNotifications().front().id;
  const std::string where = " WHERE id = " + std::to_string(id);

  Sql(db,
      "UPDATE notifications SET name = 'A' || char(27) || ']0;pwned' || char(7) || char(155), email_subject = "
      "'x' || char(8238) || 'y'" +
          where);
  std::ostringstream out, err;
  EXPECT_EQ(editor::RunProgram({"--db", db, "--list"}, out, err), 0);
  EXPECT_NE(out.str().find("A\\x1b]0;pwned\\x07\\u009b"), std::string::npos) << out.str();
  EXPECT_EQ(editor::RunProgram({"--db", db, "--export", std::to_string(id)}, out, err), 0);
  EXPECT_NE(out.str().find("x\\u202ey"), std::string::npos) << out.str();
  EXPECT_EQ(out.str().find('\x1b'), std::string::npos);

  // Values longer than their fields, and a view in place of a table.
  Sql(db, "UPDATE notifications SET email_subject = substr(hex(zeroblob(126)), 1, 251)" + where);
  EXPECT_THROW(Store::Open(db, readOnly)->ReadNotification(id), Error);
  Sql(db, "UPDATE notifications SET name = hex(zeroblob(5000000))" + where);
  EXPECT_THROW(Store::Open(db, readOnly)->ListNotifications(), Error);
  Sql(db,
      "PRAGMA foreign_keys = OFF; DROP TABLE notifications; CREATE VIEW notifications AS WITH RECURSIVE r(id) AS "
      "(SELECT 1 UNION ALL SELECT id + 1 FROM r) SELECT id, '' AS name FROM r");
  EXPECT_NE(Refusal(db, readOnly).find("notifications is not a table"), std::string::npos) << Refusal(db, readOnly);
}

}  // namespace
}  // namespace quillmont::store
