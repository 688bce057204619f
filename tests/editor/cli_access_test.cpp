// The real program's --list and --export on files they must only read, and
// --db paths that do not exist: exit codes, and every byte left as it was.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "store/definition_store.h"
#include "store/seed.h"
#include "tests/support/temp_dir.h"

namespace quillmont::editor {
namespace {

namespace fs = std::filesystem;
using quillmont::testing::ReadText;
using quillmont::testing::TempDir;

// Every file of a folder with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) files[entry.path().filename()] = ReadText(entry.path());
  return files;
}

// Runs the editor; as root it runs as nobody, for whom permissions count.
int RunEditor(const std::string& args, const std::string& output) {
  const std::string user = ::geteuid() == 0 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "";
  const int rc = std::system((user + QM_EDITOR_BINARY + " " + args + " >" + output + " 2>&1 </dev/null").c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

void MakeQuillmontDatabase(const std::string& path, bool rollbackJournal) {
  auto store = store::Store::Open(path);
  store::SeedDatabase(*store);
  if (rollbackJournal) store->Db().Exec("PRAGMA journal_mode = DELETE");
}

struct ReadOnlyCase {
  const char* name;
  std::function<void(const fs::path& folder, const std::string& db)> make;
  int exitCode;
  const char* says;  // in the output of --list
};

TEST(ReadOnlyModes, ListAndExportNeverWriteAndReadWhatTheyMay) {
  const ReadOnlyCase cases[] = {
      {"an empty file", [](const fs::path&, const std::string& db) { quillmont::testing::WriteText(db, ""); }, 4,
       "holds no Quillmont database"},
      {"a foreign SQLite file",
       [](const fs::path&, const std::string& db) {
         sqlite3* handle = nullptr;
         sqlite3_open(db.c_str(), &handle);
         sqlite3_exec(handle, "CREATE TABLE t(x); INSERT INTO t VALUES(1)", nullptr, nullptr, nullptr);
         sqlite3_close(handle);
       },
       4, "of another program"},
      {"a read-only rollback-journal database",
       [](const fs::path&, const std::string& db) {
         MakeQuillmontDatabase(db, true);
         fs::permissions(db, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
       },
       0, "Core network outage"},
      {"a write-ahead-log database in a read-only folder",
       [](const fs::path& folder, const std::string& db) {
         MakeQuillmontDatabase(db, false);
         fs::permissions(db, fs::perms(0644));  // new databases are the owner's alone
         fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
       },
       0, "Core network outage"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir scratch;
    const fs::path folder = scratch.File("data");
    fs::create_directory(folder);
    fs::permissions(scratch.File(""), fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
    const std::string db = (folder / "q.db").string();
    c.make(folder, db);
    const auto before = Snapshot(folder);
    EXPECT_EQ(RunEditor("--db " + db + " --list", scratch.File("list.txt")), c.exitCode);
    EXPECT_NE(ReadText(scratch.File("list.txt")).find(c.says), std::string::npos) << ReadText(scratch.File("list.txt"));
    EXPECT_EQ(RunEditor("--db " + db + " --export 1", scratch.File("export.txt")), c.exitCode);
    EXPECT_EQ(ReadText(scratch.File("export.txt")).find("\"name\"") != std::string::npos, c.exitCode == 0);
    EXPECT_EQ(Snapshot(folder), before) << "a file changed, appeared or went";
    fs::permissions(folder, fs::perms::owner_all);
  }
}

TEST(ExplicitPaths, AMissingFolderIsNamedAndNothingIsCreated) {
  TempDir scratch;
  const std::string missing = scratch.File("no-such-folder");
  EXPECT_EQ(RunEditor("--db " + missing + "/q.db", scratch.File("out.txt")), 2);
  EXPECT_NE(ReadText(scratch.File("out.txt")).find("the folder " + missing + " does not exist"), std::string::npos)
      << ReadText(scratch.File("out.txt"));
  EXPECT_FALSE(fs::exists(missing));
  // --list never creates either, and says the database is missing.
  EXPECT_EQ(RunEditor("--db " + scratch.File("q.db") + " --list", scratch.File("out.txt")), 4);
  EXPECT_FALSE(fs::exists(scratch.File("q.db")));
}

}  // namespace
}  // namespace quillmont::editor
