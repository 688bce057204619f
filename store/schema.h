#pragma once

#include <memory>
#include <string>

#include "store/sqlite_db.h"

namespace quillmont::store {

// The schema version this program writes; kept in PRAGMA user_version.
inline constexpr int kSchemaVersion = 2;

struct OpenOptions {
  // How long a write waits for another writer before giving up.
  int busyTimeoutMs = 5000;
  // Create (and lay out) the file when it does not exist.
  bool create = true;
  // Migrate only this far (tests lay down old databases with it).
  int upToVersion = kSchemaVersion;
};

struct OpenedDatabase {
  std::shared_ptr<Database> db;
  bool created = false;  // the file was new: the caller may seed it
};

// Opens a database file, refusing (with quillmont::Error and without writing
// a byte) a file that is not a database, a damaged one, one of another program
// and one made by a newer version; then switches on foreign keys and WAL and
// brings the schema up to date, one transaction per step.
OpenedDatabase OpenDatabase(const std::string& path, const OpenOptions& options = {});

int SchemaVersionOf(Database& db);

}  // namespace quillmont::store
