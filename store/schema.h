#pragma once

#include <memory>
#include <string>

#include "store/database.h"

namespace quillmont::store {

// The schema version this program writes: the highest row of the
// schema_version table (and, in a SQLite file, also PRAGMA user_version,
// which earlier releases read).
inline constexpr int kSchemaVersion = 5;

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
  // The user agreed to edit a database that another user owns or that
  // others may write; without it such a file is only ever read.
  bool editUntrusted = false;
  // How long a database server may take to accept the connection (libpq
  // counts whole seconds, at least 2).
  int connectTimeoutSeconds = 10;
};

// An existing database refused for editing because someone other than the
// user (or root) owns it or may write it.
class UntrustedDatabase : public Error {
 public:
  explicit UntrustedDatabase(const std::string& message) : Error(ErrorCode::Failed, message) {}
};

struct OpenedDatabase {
  std::shared_ptr<Database> db;
  bool created = false;   // the file was new: the caller may seed it
  bool readOnly = false;  // opened without write access
  int version = 0;        // the schema version found (after any migration)
  std::string untrusted;  // whose file it is, when not the user's own (else "")
};

// Opens a database file, refusing (with quillmont::Error and without writing
// a byte) a file that is not a database, a damaged one, one of another program
// and one made by a newer version; then, when it may write, switches on
// foreign keys and WAL and brings the schema up to date, one transaction per
// step. Read-only, it also refuses an empty file or one without our schema,
// and changes nothing at all.
OpenedDatabase OpenDatabase(const std::string& path, const OpenOptions& options = {});

// The same for a database on a PostgreSQL server (a postgresql:// URI):
// refuses one that holds tables of another program or of a newer version;
// with write access lays out or migrates the schema in one transaction
// (created is then true when it was empty); read-only, the server refuses
// every write of the session. A file's trust and journal questions do not
// arise.
OpenedDatabase OpenServerDatabase(const std::string& uri, const OpenOptions& options = {});

// Drops every table of ours from a server database, in one transaction: a
// database that was empty before OpenServerDatabase laid it out is empty
// again (a copy that failed leaves its target as it found it).
void RemoveServerLayout(Database& db);

// A new database in memory, laid out and with foreign keys on (for tests
// and fuzzing: nothing touches a file).
OpenedDatabase OpenMemoryDatabase();

// Creates the missing folders on the way to a database, each 0700: they
// hold the e-mail addresses of the notifications.
void CreateDatabaseFolders(const std::string& folder);

// Why an existing database file is not to be edited without asking (see
// UntrustedDatabase), or "" for the user's own file or no file.
std::string UntrustedReason(const std::string& path);

}  // namespace quillmont::store
