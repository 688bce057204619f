// Databases only the user can read, never made or edited through links or in
// another user's file, read defensively, and shown escaped on the terminal.
// Giving a file to another user needs root (CI runs these as root).
#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "apps/editor/cli.h"
#include "store/definition_store.h"
#include "store/seed.h"
#include "tests/support/temp_dir.h"

namespace quillmont::store {
namespace {

namespace fs = std::filesystem;
namespace testing = quillmont::testing;
using testing::ReadText, testing::ScopedEnv, testing::TempDir, testing::WriteText;

void Sql(const std::string& db, const std::string& sql) {
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &handle), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(handle);
  sqlite3_close(handle);
}

std::string Refusal(const std::string& path, Access access = Access::ReadWrite) {
  try {
    Store::Open(path, {.access = access});
    return "";
  } catch (const Error& e) {
    return e.what();
  }
}

TEST(DatabaseTrust, NewDatabasesAreTheUsersAloneAndNothingPlantedIsUsed) {
  TempDir dir;
  const mode_t old = ::umask(022);
  CreateDatabaseFolders(dir.File("share/quillmont"));
  {
    auto store = Store::Open(dir.File("share/quillmont/q.db"));
    SeedDatabase(*store);
    for (const char* file : {"q.db", "q.db-wal", "q.db-shm", ""})
      EXPECT_EQ(fs::status(dir.File("share/quillmont/") + file).permissions(), fs::perms(*file ? 0600 : 0700));
  }
  ::umask(old);
  EXPECT_EQ(fs::status(dir.File("share")).permissions(), fs::perms(0700));
  // Planted: an empty file open to all, another user's, links to a missing
  // and to an empty file, a FIFO.
  const char* refusals[] = {"writable by others", "belongs to", "symbolic link", "symbolic link", "not a regular"};
  for (int plant = 0; plant < 5; ++plant) {
    if (plant == 1 && ::geteuid() != 0) continue;
    const std::string path = dir.File("planted" + std::to_string(plant));
    const std::string target = path + ".target";
    if (plant != 2 && plant != 4) WriteText(plant == 3 ? target : path, "");
    if (plant == 0) fs::permissions(path, fs::perms(0666));
    ASSERT_TRUE(plant != 1 || ::chown(path.c_str(), 65534, 65534) == 0);
    if (plant == 2 || plant == 3) fs::create_symlink(target, path);
    ASSERT_TRUE(plant != 4 || ::mkfifo(path.c_str(), 0600) == 0);
    EXPECT_NE(Refusal(path).find(refusals[plant]), std::string::npos) << plant << ": " << Refusal(path);
    EXPECT_EQ(fs::exists(target) ? fs::file_size(target) : 0u, 0u);
    EXPECT_EQ(plant < 2 ? fs::file_size(path) : 0u, 0u);
  }
}

// A folder others may write lets them put a write-ahead log of their own
// beside the user's database, which SQLite would read as part of it.
TEST(DatabaseTrust, OnlyAFolderOfTheUsersOwnAndNothingPlantedBesideIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "planting as another user needs root (CI runs this as root)";
  TempDir dir;
  const std::string folder = dir.File("team"), db = folder + "/q.db", hers = dir.File("hers.db");
  fs::permissions(dir.File(""), fs::perms(0711));
  CreateDatabaseFolders(folder);
  SeedDatabase(*Store::Open(db));
  fs::copy_file(db, hers);
  const std::string before = ReadText(db);
  // Her log: the victim's rows renamed, taken while her database is open.
  sqlite3* her = nullptr;
  ASSERT_EQ(sqlite3_open(hers.c_str(), &her), SQLITE_OK);
  sqlite3_exec(her, "PRAGMA wal_autocheckpoint = 0; UPDATE notifications SET name = 'Her row'", nullptr, nullptr,
               nullptr);
  fs::copy_file(hers + "-wal", dir.File("planted-wal"));
  sqlite3_close(her);
  ASSERT_EQ(::chown(dir.File("planted-wal").c_str(), 65534, 65534), 0);
  struct Case {
    mode_t folderMode;
    uid_t folderOwner;
    const char* side;  // planted by nobody beside q.db
    const char* says;
  } const cases[] = {
      {01777, 0, "-wal", "writable by group or others (mode 1777)"},
      {0770, 0, nullptr, "writable by group or others (mode 0770)"},
      {0755, 65534, nullptr, "belongs to nobody"},
      {0700, 0, "-wal", "q.db-wal, which belongs to nobody"},
      {0700, 0, "-journal", "q.db-journal, which belongs to nobody"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    fs::permissions(folder, fs::perms(01777));
    if (c.side) {
      ASSERT_EQ(std::system((testing::AsNobody() + "cp " + dir.File("planted-wal") + " " + db + c.side).c_str()), 0);
    }
    fs::permissions(folder, fs::perms(c.folderMode));
    ASSERT_EQ(::chown(folder.c_str(), c.folderOwner, 0), 0);
    EXPECT_NE(Refusal(db, Access::WriteIfAllowed).find(c.says), std::string::npos) << Refusal(db);
    int code = 0;
    const std::string shown = testing::Output(std::string(QM_EDITOR_BINARY) + " --db " + db + " --list 2>&1", &code);
    EXPECT_EQ(code, editor::exit_code::DatabaseRefused) << shown;
    EXPECT_EQ(shown.find("Her row"), std::string::npos);
    EXPECT_TRUE(ReadText(db) == before) << "q.db changed";
    if (c.side) fs::remove(db + c.side);
    ASSERT_EQ(::chown(folder.c_str(), 0, 0), 0);
  }
  // Planted in a folder of her own, then moved in, her log is read: the
  // check above is what stands between her rows and the victim.
  fs::permissions(folder, fs::perms(0700));
  fs::copy_file(dir.File("planted-wal"), db + "-wal");
  EXPECT_EQ(Store::Open(db, {.access = Access::ReadOnly})->ListNotifications().front().name, "Her row");
  // On a read-only mount nobody can put anything beside it: a folder open to all is no threat there.
  const std::string ro = dir.File("ro");
  fs::create_directory(ro);
  if (std::system(("mount -t tmpfs -o mode=0777 tmpfs " + ro + " 2>/dev/null").c_str()) == 0) {
    fs::copy_file(hers, ro + "/q.db");
    EXPECT_NE(Refusal(ro + "/q.db", Access::ReadOnly).find("(mode 0777)"), std::string::npos);
    EXPECT_EQ(std::system(("mount -o remount,ro " + ro).c_str()), 0);
    EXPECT_EQ(Refusal(ro + "/q.db", Access::ReadOnly), "");
    EXPECT_EQ(std::system(("umount " + ro).c_str()), 0);
  }
  // Folders for a new database are not made inside one others may write.
  fs::permissions(dir.File(""), fs::perms(0777));
  EXPECT_THROW(CreateDatabaseFolders(dir.File("share/quillmont")), Error);
  EXPECT_FALSE(fs::exists(dir.File("share")));
}

TEST(DatabaseTrust, AnotherUsersDatabaseIsOnlyReadUnlessTheUserAgrees) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root (CI runs this as root)";
  TempDir dir;
  const std::string db = dir.File("quillmont/quillmont.db");
  CreateDatabaseFolders(dir.File("quillmont"));
  SeedDatabase(*Store::Open(db));
  ASSERT_EQ(::chown(db.c_str(), 65534, 65534), 0);
  EXPECT_NE(Refusal(db).find("belongs to nobody (uid 65534)"), std::string::npos) << Refusal(db);
  EXPECT_NE(Store::Open(db, {.access = Access::ReadOnly})->Untrusted().find("nobody"), std::string::npos);
  EXPECT_FALSE(Store::Open(db, {.editUntrusted = true})->ListNotifications().empty());
  std::ostringstream out, err;
  EXPECT_EQ(editor::RunProgram({"--db", db, "--list"}, out, err), 0);
  EXPECT_NE(err.str().find("belongs to nobody"), std::string::npos) << err.str();
  ScopedEnv data("XDG_DATA_HOME", dir.File("").c_str());
  EXPECT_EQ(editor::RunProgram({}, out, err), editor::exit_code::DatabaseRefused);
  EXPECT_NE(err.str().find("name it with --db and confirm"), std::string::npos) << err.str();
}

TEST(DatabaseTrust, HostileContentIsRefusedOrShownEscaped) {
  TempDir dir;
  const std::string db = dir.File("q.db");
  SeedDatabase(*Store::Open(db));
  const std::int32_t id = Store::Open(db)->ListNotifications().front().id;
  const std::string where = " WHERE id = " + std::to_string(id);
  Sql(db,
      "UPDATE notifications SET name = 'A' || char(27) || ']0;t' || char(7) || char(155), email_subject = 'x' || "
      "char(8238) || 'y'" +
          where);
  std::ostringstream out, err;
  EXPECT_EQ(editor::RunProgram({"--db", db, "--list"}, out, err), 0);
  EXPECT_EQ(editor::RunProgram({"--db", db, "--export", std::to_string(id)}, out, err), 0);
  EXPECT_NE(out.str().find("A\\x1b]0;t\\x07\\u009b"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("x\\u202ey"), std::string::npos) << out.str();
  EXPECT_EQ(out.str().find('\x1b'), std::string::npos);
  // Values longer than their fields, and a recursive view in place of a table.
  Sql(db, "UPDATE notifications SET email_subject = substr(hex(zeroblob(126)), 1, 251)" + where);
  EXPECT_THROW(Store::Open(db)->ReadNotification(id), Error);
  // Over its field's limit, and over what SQLite is let read at all: refused naming the field.
  for (const char* size : {"5000000", "9000000"}) {
    Sql(db, std::string("UPDATE notifications SET name = hex(zeroblob(") + size + "))" + where);
    EXPECT_EQ(editor::RunProgram({"--db", db, "--list"}, out, err), editor::exit_code::DatabaseRefused);
    EXPECT_EQ(editor::RunProgram({"--db", db, "--export", std::to_string(id)}, out, err),
              editor::exit_code::DatabaseRefused);
    EXPECT_NE(err.str().rfind(*size == '5' ? "holds a name of" : "notifications.name"), std::string::npos)
        << err.str().substr(err.str().size() - 300);
  }
  Sql(db,
      "PRAGMA foreign_keys = OFF; DROP TABLE notifications; CREATE VIEW notifications AS WITH RECURSIVE r(id) "
      "AS (SELECT 1 UNION ALL SELECT id + 1 FROM r) SELECT id, '' AS name FROM r");
  EXPECT_NE(Refusal(db, Access::ReadOnly).find("notifications is not a table"), std::string::npos);
}

}  // namespace
}  // namespace quillmont::store
