#include "store/sqlite_db.h"

#include <cctype>
#include <limits>

#include "quillmont/platform/ui/utf8.h"

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

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
  if (sql.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    throw Error(ErrorCode::InvalidProcedureCall, "SQL text too long");
  const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    ThrowSqlite(db, rc, "preparing a statement");
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement::Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) { other.stmt_ = nullptr; }

Statement& Statement::Bind(int index, std::int64_t value) {
  const int rc = sqlite3_bind_int64(stmt_, index, value);
  if (rc != SQLITE_OK) ThrowSqlite(db_, rc, "binding a value");
  return *this;
}

Statement& Statement::Bind(int index, std::string_view value) {
  const int rc = sqlite3_bind_text64(stmt_, index, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  if (rc != SQLITE_OK) ThrowSqlite(db_, rc, "binding a text");
  return *this;
}

Statement& Statement::Bind(int index, const std::optional<std::string>& value) {
  return value ? Bind(index, std::string_view(*value)) : BindNull(index);
}

Statement& Statement::BindNull(int index) {
  const int rc = sqlite3_bind_null(stmt_, index);
  if (rc != SQLITE_OK) ThrowSqlite(db_, rc, "binding a null");
  return *this;
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(stmt_);
  ThrowSqlite(db_, rc, "running a statement");
}

void Statement::Run() {
  while (Step()) {
  }
  Reset();
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::Text(int column) const {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  if (!p) return {};
  return std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::string Statement::Text(int column, std::size_t maxChars, const char* field) const {
  const auto bytes = static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column));
  // Four bytes at most per character: longer is too long whatever it holds.
  std::string text = bytes > 4 * maxChars ? std::string() : Text(column);
  const std::size_t chars = bytes > 4 * maxChars ? bytes : ui::utf8::CharCount(text);
  if (chars > maxChars)
    throw Error(ErrorCode::Corrupt, "The database holds " + std::string(field) + " of " + std::to_string(chars) +
                                        (bytes > 4 * maxChars ? " bytes" : " characters") + ", more than the " +
                                        std::to_string(maxChars) + " allowed; it was not loaded.");
  return text;
}

std::optional<std::string> Statement::OptionalText(int column, std::size_t maxChars, const char* field) const {
  if (IsNull(column)) return std::nullopt;
  return Text(column, maxChars, field);
}

std::optional<std::string> Statement::OptionalText(int column) const {
  if (IsNull(column)) return std::nullopt;
  return Text(column);
}

bool Statement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

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

Database::Database(const std::string& path, OpenMode mode) : path_(path) {
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
}

Database::~Database() { sqlite3_close_v2(db_); }

void Database::Exec(const std::string& sql) {
  char* message = nullptr;
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    sqlite3_free(message);
    ThrowSqlite(db_, rc, "updating the database");
  }
}

std::int64_t Database::QueryInt(std::string_view sql) {
  Statement s = Prepare(sql);
  return s.Step() ? s.Int(0) : 0;
}

void Database::SetBusyTimeout(int milliseconds) { sqlite3_busy_timeout(db_, milliseconds); }

WriteTransaction::WriteTransaction(Database& db) : db_(db) {
  db_.Exec("BEGIN IMMEDIATE");
  open_ = true;
}

WriteTransaction::~WriteTransaction() {
  if (open_) sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void WriteTransaction::Commit() {
  db_.Exec("COMMIT");
  open_ = false;
}

}  // namespace quillmont::store
