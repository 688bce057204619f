#include "store/sqlite_db.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cctype>
#include <limits>

#include "quillmont/storage/utf8.h"

namespace quillmont::store {

ErrorCode CodeOf(int rc) noexcept {
  switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ErrorCode::Busy;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return ErrorCode::Corrupt;
    case SQLITE_NOMEM:
      return ErrorCode::OutOfMemory;
    case SQLITE_CANTOPEN:
    case SQLITE_NOTFOUND:
      return ErrorCode::NotFound;
    default:
      return ErrorCode::Failed;
  }
}

void ThrowSqlite(sqlite3* db, int rc, const std::string& what) {
  const std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      throw Error(ErrorCode::Busy,
                  "The database is in use by another program (" + what + "). Nothing was written; please try again.");
    case SQLITE_NOTADB:
      throw Error(ErrorCode::Corrupt, "The file is not a database (" + what + ").");
    case SQLITE_CORRUPT:
      throw Error(ErrorCode::Corrupt, "The database is damaged (" + what + "): " + detail);
    default:
      throw Error(CodeOf(rc), "Database error (" + what + "): " + detail);
  }
}

namespace {

class SqliteStatement final : public StatementImpl {
 public:
  SqliteStatement(sqlite3* db, std::string_view sql) : db_(db) {
    if (sql.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
      throw Error(ErrorCode::InvalidProcedureCall, "SQL text too long");
    const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(stmt_);
      ThrowSqlite(db, rc, "preparing a statement");
    }
  }
  ~SqliteStatement() override { sqlite3_finalize(stmt_); }
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  void BindInt(int index, std::int64_t value) override {
    Check(sqlite3_bind_int64(stmt_, index, value), "binding a value");
  }
  void BindText(int index, std::string_view value) override {
    Check(sqlite3_bind_text64(stmt_, index, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
          "binding a text");
  }
  void BindNull(int index) override { Check(sqlite3_bind_null(stmt_, index), "binding a null"); }

  bool Step() override {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) {
      changes_ = sqlite3_changes64(db_);
      return false;
    }
    sqlite3_reset(stmt_);
    if (rc == SQLITE_TOOBIG)
      throw Error(ErrorCode::Corrupt, "The database holds a value longer than " + std::to_string(kMaxValueBytes >> 20) +
                                          " MiB in " + Columns() + "; it was not loaded.");
    ThrowSqlite(db_, rc, "running a statement");
  }
  void Reset() override {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  std::int64_t Changes() const override { return changes_; }
  std::int64_t Int(int column) const override { return sqlite3_column_int64(stmt_, column); }
  std::string_view Bytes(int column) const override {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (!p) return {};
    return {p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
  }
  bool IsNull(int column) const override { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

 private:
  // The stored text columns the statement reads ("notifications.name or ...").
  std::string Columns() const {
    std::string out;
    for (int i = 0; i < sqlite3_column_count(stmt_); ++i) {
      // Only a text (or blob) can grow that long.
      const char* type = sqlite3_column_decltype(stmt_, i);
      const char* table = sqlite3_column_table_name(stmt_, i);
      const char* column = sqlite3_column_origin_name(stmt_, i);
      if (table && column && type && std::string_view(type) != "INTEGER")
        out += (out.empty() ? "" : " or ") + std::string(table) + "." + column;
    }
    return out.empty() ? "a value it computes" : out;
  }
  void Check(int rc, const char* what) {
    if (rc != SQLITE_OK) ThrowSqlite(db_, rc, what);
  }

  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  std::int64_t changes_ = 0;
};

}  // namespace

namespace {

// A file: URI for the path, so that no character of the name is read as a
// URI parameter.
std::string FileUri(const std::string& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string uri = "file:";
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~' || c >= 0x80) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += hex[c >> 4];
      uri += hex[c & 0xF];
    }
  }
  return uri + "?immutable=1";
}

int FlagsOf(OpenMode mode) {
  switch (mode) {
    case OpenMode::ReadOnly:
      return SQLITE_OPEN_READONLY;
    case OpenMode::Immutable:
      return SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
    case OpenMode::ReadWrite:
      return SQLITE_OPEN_READWRITE;
    case OpenMode::Create:
      return SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  }
  return SQLITE_OPEN_READONLY;
}

}  // namespace

FileIdentity IdentityOf(const std::string& path) {
  struct stat st {};
  if (path.empty() || path == ":memory:" || ::stat(path.c_str(), &st) != 0) return {};
  return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
}

SqliteDatabase::SqliteDatabase(const std::string& path, OpenMode mode) : Database(path) {
  const std::string name = mode == OpenMode::Immutable ? FileUri(path) : path;
  // A link at the database's place is refused, never followed.
  const int rc =
      sqlite3_open_v2(name.c_str(), &db_, FlagsOf(mode) | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW, nullptr);
  if (rc != SQLITE_OK) {
    const std::string detail = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw Error(CodeOf(rc), "Cannot open the database " + path + ": " + detail);
  }
  sqlite3_extended_result_codes(db_, 1);
  // The file may come from someone else: its schema gets no power beyond
  // holding our rows. No writes to the schema or pages by hand, no views or
  // triggers to run, no functions with side effects, no attachments, and
  // statements and values of a bounded size.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
  sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
  sqlite3_limit(db_, SQLITE_LIMIT_SQL_LENGTH, 100000);
  sqlite3_limit(db_, SQLITE_LIMIT_COLUMN, 100);
  sqlite3_limit(db_, SQLITE_LIMIT_EXPR_DEPTH, 100);
  sqlite3_limit(db_, SQLITE_LIMIT_COMPOUND_SELECT, 10);
  sqlite3_limit(db_, SQLITE_LIMIT_FUNCTION_ARG, 8);
  sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, 0);
  sqlite3_limit(db_, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 100);
  sqlite3_limit(db_, SQLITE_LIMIT_VARIABLE_NUMBER, 100);
  sqlite3_limit(db_, SQLITE_LIMIT_TRIGGER_DEPTH, 10);
  file_ = IdentityOf(path);
}

bool SqliteDatabase::Replaced() {
  // A database in memory or a temporary one has no path to lose.
  if (file_ == FileIdentity{}) return false;
  if (IdentityOf(path_) != file_) return true;
  // The log is there while this connection is, from its first write on; a
  // log of another file beside this one would overlay it.
  const FileIdentity log = IdentityOf(path_ + "-wal");
  if (log_ == FileIdentity{}) {
    log_ = log;
    return false;
  }
  return log != log_;
}

void SqliteDatabase::BeforeReplacing() {
  // The log is found by the path's name, so the new file would be read with
  // this file's last commits over its own pages: they go into this file now.
  const int rc = sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
  if (rc != SQLITE_OK && rc != SQLITE_READONLY) ThrowSqlite(db_, rc, "emptying the replaced file's log");
}

void SqliteDatabase::AfterReplaced() noexcept {
  // Closing must neither write this file's pages through the shared log nor
  // delete the log the new connection now reads.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

bool SqliteDatabase::ReadOnly() const noexcept { return sqlite3_db_readonly(db_, "main") == 1; }

SqliteDatabase::~SqliteDatabase() { sqlite3_close_v2(db_); }

std::unique_ptr<StatementImpl> SqliteDatabase::PrepareImpl(std::string_view sql) {
  return std::make_unique<SqliteStatement>(db_, sql);
}

void SqliteDatabase::Exec(const std::string& sql) {
  char* message = nullptr;
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    sqlite3_free(message);
    ThrowSqlite(db_, rc, "updating the database");
  }
}

void SqliteDatabase::SetBusyTimeout(int milliseconds) {
  busyTimeoutMs_ = milliseconds;
  if (waitHandler_)
    sqlite3_busy_handler(db_, &SqliteDatabase::OnBusy, this);
  else
    sqlite3_busy_timeout(db_, milliseconds);
}

void SqliteDatabase::SetWaitHandler(WaitHandler handler) {
  waitHandler_ = std::move(handler);
  SetBusyTimeout(busyTimeoutMs_);
}

int SqliteDatabase::OnBusy(void* self, int count) {
  auto& db = *static_cast<SqliteDatabase*>(self);
  const auto now = std::chrono::steady_clock::now();
  if (count == 0) db.waitStart_ = now;
  if (now - db.waitStart_ >= std::chrono::milliseconds(db.busyTimeoutMs_)) return 0;
  // The handler shows the wait and reads keys; it also paces the retries.
  return db.waitHandler_() ? 1 : 0;
}

void SqliteDatabase::BeginWrite() {
  Exec("BEGIN IMMEDIATE");
  inTransaction_ = true;
  // Asked with the write lock held: nothing is written into a file no
  // longer at its path.
  if (Replaced()) {
    Rollback();
    throw FileReplaced(path_);
  }
}

void SqliteDatabase::BeginRead() {
  Exec("BEGIN");
  inTransaction_ = true;
}

void SqliteDatabase::Commit() {
  Exec("COMMIT");
  inTransaction_ = false;
}

void SqliteDatabase::Rollback() noexcept {
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  inTransaction_ = false;
}

}  // namespace quillmont::store
