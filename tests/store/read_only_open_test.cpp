// Opening a database read-only, over every kind of file it may meet: it
// never creates, lays out or migrates, and leaves every byte beside it too.
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "store/definition_store.h"
#include "store/schema.h"
#include "store/seed.h"
#include "tests/support/temp_dir.h"

namespace quillmont::store {
namespace {

namespace fs = std::filesystem;
using quillmont::testing::ReadText, quillmont::testing::TempDir, quillmont::testing::WriteText;

std::map<std::string, std::string> FilesIn(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder))
    files[entry.path().filename()] =
        ReadText(entry.path()) + std::to_string(static_cast<int>(entry.status().permissions()));
  return files;
}

// As root, permissions count for nothing: the body runs in a child process as nobody.
void AsNobody(const std::function<void()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const uid_t nobody = 65534;
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0 ||
                             ::setresuid(nobody, nobody, nobody) != 0))
      ::_exit(2);
    const auto* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    const int earlier = result->total_part_count();
    body();
    for (int i = earlier; i < result->total_part_count(); ++i)
      if (result->GetTestPartResult(i).failed()) ::_exit(1);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the cases run as nobody failed";
}

TEST(ReadOnlyOpen, NeverCreatesLaysOutOrMigratesWhateverItFinds) {
  struct Case {
    const char* name;
    const char* file;  // in a folder whose name holds a space, a '%', a '?', a '#' and non-ASCII letters
    int schema;        // -1 nothing, 0 an empty file, 1..: a database of that version; 99 text; 98 a foreign database
    bool link, readOnlyFile, readOnlyFolder;
    const char* refusal;  // "" when it opens
  } const cases[] = {
      {"missing", "q.db", -1, false, false, false, "There is no database"},
      {"empty", "q.db", 0, false, false, false, "holds no Quillmont database"},
      {"text", "q.db", 99, false, false, false, "is not a database file"},
      {"foreign", "q.db", 98, false, false, false, "of another program"},
      {"old schema", "q.db", 2, false, false, false, ""},
      {"current schema", "q.db", kSchemaVersion, false, false, false, ""},
      {"read-only file", "q.db", 3, false, true, false, ""},
      {"WAL database in a read-only folder", "q #1?mode=rwc%41.db", kSchemaVersion, false, false, true, ""},
      {"link to a database", "q.db", kSchemaVersion, true, false, false, "symbolic link"},
  };
  TempDir scratch;
  fs::permissions(scratch.File(""), fs::perms::others_exec, fs::perm_options::add);
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path folder = scratch.File("d\xC3\xA9p\xC3\xB4t %3F?#" + std::to_string(++number));
    fs::create_directory(folder);
    const std::string db = (folder / c.file).string();
    const std::string made = c.link ? db + ".target" : db;
    if (c.schema == 0) WriteText(made, "");
    if (c.schema == 99) WriteText(made, "not a database, though long enough to have a header");
    if (c.schema == 98) {
      sqlite3* foreign = nullptr;
      ASSERT_EQ(sqlite3_open(made.c_str(), &foreign), SQLITE_OK);
      sqlite3_exec(foreign, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
      sqlite3_close(foreign);
    }
    if (c.schema > 0 && c.schema <= kSchemaVersion) {
      auto store = Store::Open(made, {.upToVersion = c.schema});
      SeedDatabase(*store);
      if (!c.readOnlyFolder) store->Db().Exec("PRAGMA journal_mode = DELETE");
    }
    if (c.link) fs::create_symlink(made, db);
    if (c.readOnlyFile) fs::permissions(db, fs::perms::owner_read);
    if (::geteuid() == 0) {
      EXPECT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
      for (const auto& entry : fs::directory_iterator(folder))
        EXPECT_EQ(::lchown(entry.path().c_str(), 65534, 65534), 0);
    }
    if (c.readOnlyFolder) fs::permissions(folder, fs::perms(0500));
    const auto before = FilesIn(folder);

    AsNobody([&] {
      std::string refusal;
      try {
        const OpenedDatabase opened = OpenDatabase(db, {.access = Access::ReadOnly});
        EXPECT_TRUE(opened.readOnly);
        EXPECT_FALSE(opened.created);
        EXPECT_EQ(opened.version, c.schema);
        Statement rows = opened.db->Prepare("SELECT count(*) FROM notifications");
        ASSERT_TRUE(rows.Step());
        EXPECT_GT(rows.Int(0), 0);
        EXPECT_THROW(opened.db->Exec("DELETE FROM notifications"), Error);
      } catch (const Error& e) {
        refusal = e.what();
      }
      if (*c.refusal == 0)
        EXPECT_EQ(refusal, "");
      else
        EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
    });
    EXPECT_EQ(FilesIn(folder), before) << "a file changed, appeared or went";
    fs::permissions(folder, fs::perms::owner_all);
  }
}

}  // namespace
}  // namespace quillmont::store
