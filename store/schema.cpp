#include "store/schema.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

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

}  // namespace

int SchemaVersionOf(Database& db) { return static_cast<int>(db.QueryInt("PRAGMA user_version")); }

OpenedDatabase OpenDatabase(const std::string& path, const OpenOptions& options) {
  if (options.upToVersion < 1 || options.upToVersion > kSchemaVersion)
    throw Error(ErrorCode::InvalidProcedureCall, "No such schema version");
  std::error_code ec;
  const bool existed = std::filesystem::exists(path, ec);
  if (!existed && !options.create) throw Error(ErrorCode::NotFound, "There is no database at " + path + ".");
  if (existed && std::filesystem::is_directory(path, ec))
    throw Error(ErrorCode::Failed, path + " is a folder, not a database file.");

  OpenedDatabase opened;
  opened.db = std::make_shared<Database>(path, options.create);
  Database& db = *opened.db;
  db.SetBusyTimeout(options.busyTimeoutMs);

  // Everything up to the version check only reads, so a refused file stays
  // exactly as it was.
  if (existed && !HasDatabaseHeader(path))
    throw Error(ErrorCode::Corrupt, path + " is not a database file. It was left unchanged.");
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
  if (version == 0) {
    Statement objects = db.Prepare("SELECT name FROM sqlite_master");
    while (objects.Step())
      if (!IsReservedName(objects.Text(0)))
        throw Error(ErrorCode::Failed,
                    path + " holds a database of another program, not Quillmont's. It was left unchanged.");
  }

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
  return opened;
}

}  // namespace quillmont::store
