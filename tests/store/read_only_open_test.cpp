// Opening a database read-only, over every kind of file it may meet: it
// never creates, lays out or migrates, and leaves every byte beside it too.
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "store/definition_store.h"
#include "store/seed.h"
#include "tests/support/temp_dir.h"

namespace quillmont::store {
namespace {

namespace fs = std::filesystem;
using quillmont::testing::ReadText, quillmont::testing::TempDir, quillmont::testing::WriteText;

// What a read-only open says, as nobody (as root, permissions count for
// nothing): the refusal, or the version found and the rows it can read.
std::string OpenAsNobody(const std::string& db) {
  int out[2];
  if (::pipe(out) != 0) return "no pipe";
  if (::fork() == 0) {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                             ::setresuid(65534, 65534, 65534) != 0))
      ::_exit(2);
    std::string said;
    try {
      const OpenedDatabase opened = OpenDatabase(db, {.access = Access::ReadOnly});
      Statement rows = opened.db->Prepare("SELECT count(*) FROM notifications");
      said = "version " + std::to_string(opened.version) + (opened.readOnly ? " read-only" : "") +
             (opened.created ? " created" : "") + ", rows " + (rows.Step() ? std::to_string(rows.Int(0)) : "none");
      opened.db->Exec("DELETE FROM notifications");
      said = "a write went through";
    } catch (const Error& e) {
      if (said.empty()) said = e.what();
    }
    ::_exit(::write(out[1], said.data(), said.size()) == static_cast<ssize_t>(said.size()) ? 0 : 1);
  }
  ::close(out[1]);
  std::string said;
  char buffer[512];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<std::size_t>(n));
  ::close(out[0]);
  ::wait(nullptr);
  return said;
}

TEST(ReadOnlyOpen, NeverCreatesLaysOutOrMigratesWhateverItFinds) {
  const struct {
    int schema;  // -1 nothing, 0 an empty file, 1..: a database of that version; 98 text; 99 a foreign database
    bool readOnlyFile, readOnlyFolder;
    std::string says;
  } cases[] = {
      {-1, false, false, "There is no database"},
      {0, false, false, "holds no Quillmont database"},
      {98, false, false, "is not a database file"},
      {99, false, false, "of another program"},
      {2, false, false, "version 2 read-only, rows 2"},
      {3, true, false, "version 3 read-only, rows 2"},
      {kSchemaVersion, false, true, "version " + std::to_string(kSchemaVersion) + " read-only, rows 2"},
  };
  TempDir scratch;
  fs::permissions(scratch.File(""), fs::perms::others_exec, fs::perm_options::add);
  for (const auto& c : cases) {
    // Names a URI would misread: a WAL database in a read-only folder is read through one.
    const fs::path folder = scratch.File("d\xC3\xA9p\xC3\xB4t %3F?#" + std::to_string(c.schema));
    const std::string db = (folder / "q #1?mode=rwc%41.db").string();
    fs::create_directory(folder);
    if (c.schema == 0 || c.schema == 98) WriteText(db, c.schema ? "not a database, though long enough for one" : "");
    sqlite3* foreign = nullptr;
    if (c.schema == 99 && sqlite3_open(db.c_str(), &foreign) == SQLITE_OK)
      sqlite3_exec(foreign, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
    sqlite3_close(foreign);
    if (c.schema > 0 && c.schema <= kSchemaVersion) {
      auto store = Store::Open(db, {.upToVersion = c.schema});
      SeedDatabase(*store);
      if (!c.readOnlyFolder) store->Db().Exec("PRAGMA journal_mode = DELETE");
    }
    if (c.readOnlyFile) fs::permissions(db, fs::perms::owner_read);
    if (::geteuid() == 0) {
      for (const auto& entry : fs::directory_iterator(folder)) EXPECT_EQ(::lchown(entry.path().c_str(), 65534, 0), 0);
      EXPECT_EQ(::chown(folder.c_str(), 65534, 0), 0);
    }
    if (c.readOnlyFolder) fs::permissions(folder, fs::perms(0500));
    const auto files = [&folder] {
      std::map<std::string, std::string> texts;
      for (const auto& entry : fs::directory_iterator(folder)) texts[entry.path().filename()] = ReadText(entry.path());
      return texts;
    };
    const auto before = files();
    EXPECT_NE(OpenAsNobody(db).find(c.says), std::string::npos) << OpenAsNobody(db);
    EXPECT_EQ(files(), before) << "a file changed, appeared or went";
  }
}

}  // namespace
}  // namespace quillmont::store
