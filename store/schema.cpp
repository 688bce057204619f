#include "store/schema.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "quillmont/platform/owned_file.h"

namespace quillmont::store {
namespace {

// Each step takes the schema from version i to i + 1. Steps are never edited
// once released: a change is a new step.
const std::vector<const char*>& Migrations() {
  static const std::vector<const char*> steps = {
      // 0 -> 1: the first layout.
      R"sql(
CREATE TABLE event_groups(
  Group_id INTEGER PRIMARY KEY,
  Group_Name TEXT NOT NULL,
  Group_Label TEXT NOT NULL DEFAULT '',
  sort_order INTEGER NOT NULL DEFAULT 0);
CREATE TABLE event_types(
  type_key TEXT PRIMARY KEY NOT NULL,
  name TEXT NOT NULL,
  group_id INTEGER NOT NULL DEFAULT 0,
  sort_order INTEGER NOT NULL DEFAULT 0);
CREATE TABLE notifications(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  email_subject TEXT,
  email_message TEXT,
  event_group_id INTEGER NOT NULL DEFAULT 0);
CREATE TABLE snmp_managers(
  notification_id INTEGER NOT NULL REFERENCES notifications(id) ON DELETE CASCADE,
  position INTEGER NOT NULL,
  host TEXT NOT NULL,
  port INTEGER NOT NULL,
  version TEXT NOT NULL,
  time_format TEXT NOT NULL,
  PRIMARY KEY(notification_id, position));
CREATE TABLE email_recipients(
  notification_id INTEGER NOT NULL REFERENCES notifications(id) ON DELETE CASCADE,
  position INTEGER NOT NULL,
  address TEXT NOT NULL,
  PRIMARY KEY(notification_id, position));
CREATE TABLE notification_event_types(
  notification_id INTEGER NOT NULL REFERENCES notifications(id) ON DELETE CASCADE,
  position INTEGER NOT NULL,
  type_key TEXT NOT NULL,
  PRIMARY KEY(notification_id, type_key));
CREATE TABLE settings(
  key TEXT PRIMARY KEY NOT NULL,
  value TEXT);
)sql",
      // 1 -> 2: when each notification was last saved, and the catalogue's
      // group lookups.
      R"sql(
ALTER TABLE notifications ADD COLUMN modified TEXT;
CREATE INDEX event_types_group ON event_types(group_id);
)sql",
      // 2 -> 3: a revision each save increments, so that a save can tell
      // whether another program saved the notification after it was opened.
      R"sql(
ALTER TABLE notifications ADD COLUMN revision INTEGER NOT NULL DEFAULT 0;
)sql",
  };
  return steps;
}

// An empty file is a new database; anything else must start with SQLite's
// header.
bool HasDatabaseHeader(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return true;  // unreadable: let SQLite report why
  char header[16] = {};
  in.read(header, sizeof header);
  if (in.gcount() == 0) return true;
  return in.gcount() == sizeof header && std::memcmp(header, "SQLite format 3", 16) == 0;
}

bool IsReservedName(const std::string& name) { return name.rfind("sqlite_", 0) == 0; }

// Whether this user may write the file and create its journal beside it.
bool MayWrite(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  return ::access(path.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK) == 0;
}

// A write-ahead-log database in a folder this user cannot write has no
// shared-memory index to read through. With no log beside it, the file
// alone is the whole database and no writer is at work (a writer keeps its
// log there), so it is read as an immutable file.
bool NeedsImmutableRead(Database& db) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db.Handle(), "PRAGMA user_version", -1, &stmt, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  std::error_code ec;
  // (SQLite says it cannot set up the index, or cannot write the folder.)
  return (rc & 0xFF) == SQLITE_READONLY && !std::filesystem::exists(db.Path() + "-wal", ec);
}

// What makes an existing file untrustworthy (another owner than the user or
// root, or write access for others), or "".
std::string UntrustedBecause(const struct stat& st, const std::string& path) {
  const bool foreign = !files::OwnedByUserOrRoot(st);
  const bool open = (st.st_mode & S_IWOTH) != 0;
  if (!foreign && !open) return {};
  std::string text = "The database " + path + " belongs to " + files::DescribeUser(st.st_uid);
  if (open)
    text += std::string(foreign ? " and" : ", and it") + " is writable by others (mode " + files::ModeText(st.st_mode) +
            ")";
  return text + ": whoever can write it decides what it holds.";
}

// A new database starts as an empty file made where nothing was (not at the
// end of a link), readable and writable by the user alone.
void CreatePrivateFile(const std::string& path) {
  files::Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600));
  if (fd.Get() < 0)
    throw Error(ErrorCode::Failed, "Cannot create the database " + path + ": " + std::strerror(errno) + ".");
}

constexpr const char* kOurTables =
    "('event_groups', 'event_types', 'notifications', 'snmp_managers', 'email_recipients', "
    "'notification_event_types', 'settings')";

}  // namespace

void CreateDatabaseFolders(const std::string& folder) {
  std::filesystem::path sofar;
  for (const auto& part : std::filesystem::path(folder)) {
    sofar /= part;
    if (::mkdir(sofar.c_str(), 0700) != 0 && errno != EEXIST)
      throw Error(ErrorCode::Failed, "Cannot create the folder " + sofar.string() + ": " + std::strerror(errno));
  }
}

std::string UntrustedReason(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return UntrustedBecause(st, path);
}

int SchemaVersionOf(Database& db) { return static_cast<int>(db.QueryInt("PRAGMA user_version")); }

OpenedDatabase OpenDatabase(const std::string& path, const OpenOptions& options) {
  if (options.upToVersion < 1 || options.upToVersion > kSchemaVersion)
    throw Error(ErrorCode::InvalidProcedureCall, "No such schema version");
  // lstat: a link, even one leading nowhere, is something that exists here.
  struct stat st {};
  const bool existed = ::lstat(path.c_str(), &st) == 0;
  if (existed && S_ISLNK(st.st_mode))
    throw Error(ErrorCode::Failed,
                "The database " + path + " is a symbolic link; name the file it leads to instead. Nothing was opened.");
  if (existed && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
    throw Error(ErrorCode::Failed, path + " is not a regular file, so it is no database. It was left unchanged.");
  const std::string untrusted = existed ? UntrustedBecause(st, path) : std::string();
  if (!untrusted.empty() && options.access != Access::ReadOnly && !options.editUntrusted)
    throw UntrustedDatabase(untrusted + " It was not opened for editing.");
  const bool readOnly =
      options.access == Access::ReadOnly || (options.access == Access::WriteIfAllowed && existed && !MayWrite(path));
  if (!existed && (readOnly || !options.create))
    throw Error(ErrorCode::NotFound, "There is no database at " + path + ".");
  if (existed && S_ISDIR(st.st_mode)) throw Error(ErrorCode::Failed, path + " is a folder, not a database file.");
  // Everything up to the version check only reads, so a refused file stays
  // exactly as it was.
  if (existed && !HasDatabaseHeader(path))
    throw Error(ErrorCode::Corrupt, path + " is not a database file. It was left unchanged.");

  if (!existed) CreatePrivateFile(path);

  OpenedDatabase opened;
  opened.untrusted = untrusted;
  opened.db = std::make_shared<Database>(path, readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite);
  if (readOnly && NeedsImmutableRead(*opened.db)) {
    opened.db.reset();  // first: connections of one process share a file's state
    opened.db = std::make_shared<Database>(path, OpenMode::Immutable);
  }
  Database& db = *opened.db;
  db.SetBusyTimeout(options.busyTimeoutMs);
  // SQLite opens a file it may not write read-only even when asked for more.
  opened.readOnly = readOnly || db.ReadOnly();
  if (opened.readOnly && options.access == Access::ReadWrite)
    throw Error(ErrorCode::Failed, "The database " + path + " cannot be written. It was left unchanged.");

  int version = 0;
  try {
    version = SchemaVersionOf(db);
    Statement check = db.Prepare("PRAGMA quick_check");
    const std::string verdict = check.Step() ? check.Text(0) : std::string("no answer");
    if (verdict != "ok") throw Error(ErrorCode::Corrupt, "The database " + path + " is damaged: " + verdict + ".");
  } catch (const Error& e) {
    if (e.Code() == ErrorCode::Corrupt) {
      // SQLite's own texts ("database disk image is malformed") end without
      // a full stop: the next sentence must not run on from them.
      std::string text = e.what();
      if (!text.empty() && text.back() != '.') text += '.';
      throw Error(ErrorCode::Corrupt, text + " It was left unchanged.");
    }
    throw;
  }
  if (version > kSchemaVersion)
    throw Error(ErrorCode::Failed, "The database " + path + " was written by a newer version of Quillmont (schema " +
                                       std::to_string(version) + "; this program knows up to " +
                                       std::to_string(kSchemaVersion) + "). It was left unchanged.");
  if (version > 0) {
    // Ours are plain tables: a view or anything else in their place (a
    // recursive view can keep a reader busy forever) is refused.
    Statement kinds =
        db.Prepare(std::string("SELECT name FROM sqlite_master WHERE type <> 'table' AND name IN ") + kOurTables);
    if (kinds.Step())
      throw Error(ErrorCode::Corrupt, "The database " + path + " is not laid out by Quillmont: " + kinds.Text(0) +
                                          " is not a table. It was left unchanged.");
  }
  if (version == 0) {
    Statement objects = db.Prepare("SELECT name FROM sqlite_master");
    while (objects.Step())
      if (!IsReservedName(objects.Text(0)))
        throw Error(ErrorCode::Failed,
                    path + " holds a database of another program, not Quillmont's. It was left unchanged.");
    if (opened.readOnly)
      throw Error(ErrorCode::NotFound, path + " holds no Quillmont database (it is empty). It was left unchanged.");
  }
  opened.version = version;
  if (opened.readOnly) return opened;

  db.Exec("PRAGMA foreign_keys = ON");
  {
    Statement wal = db.Prepare("PRAGMA journal_mode = WAL");
    wal.Step();
  }
  opened.created = version == 0;
  const auto& steps = Migrations();
  for (int next = version + 1; next <= options.upToVersion; ++next) {
    WriteTransaction tx(db);
    // A second program may have migrated while this one waited for the lock.
    if (SchemaVersionOf(db) >= next) continue;
    db.Exec(steps[static_cast<std::size_t>(next - 1)]);
    db.Exec("PRAGMA user_version = " + std::to_string(next));
    tx.Commit();
  }
  opened.version = std::max(version, options.upToVersion);
  return opened;
}

}  // namespace quillmont::store
