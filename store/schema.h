#pragma once

#include <memory>
#include <string>

#include "store/sqlite_db.h"

namespace quillmont::store {

// The schema version this program writes; kept in PRAGMA user_version.
inline constexpr int kSchemaVersion = 3;

// Whether the program may write the file.
enum class Access {
  ReadWrite,       // lays out, migrates and switches to WAL as needed
  ReadOnly,        // never writes: the file must hold our schema already
  WriteIfAllowed,  // read-write when this user may write the file and its folder, else read-only
};

struct OpenOptions {
  // How long a write waits for another writer before giving up.
  int busyTimeoutMs = 5000;
  // Create (and lay out) the file when it does not exist.
  bool create = true;
  // Migrate only this far (tests lay down old databases with it).
  int upToVersion = kSchemaVersion;
  Access access = Access::ReadWrite;
};

struct OpenedDatabase {
  std::shared_ptr<Database> db;
  bool created = false;   // the file was new: the caller may seed it
  bool readOnly = false;  // opened without write access
  int version = 0;        // the schema version found (after any migration)
};

// Opens a database file, refusing (with quillmont::Error and without writing
// a byte) a file that is not a database, a damaged one, one of another program
// and one made by a newer version; then, when it may write, switches on
// foreign keys and WAL and brings the schema up to date, one transaction per
// step. Read-only, it also refuses an empty file or one without our schema,
// and changes nothing at all.
OpenedDatabase OpenDatabase(const std::string& path, const OpenOptions& options = {});

int SchemaVersionOf(Database& db);

}  // namespace quillmont::store
