#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quillmont/platform/error.h"

// A thin owner of a SQLite connection and its prepared statements. Every
// value reaches SQL through a bound parameter, never through the text.
namespace quillmont::store {

// No value stored by anyone is read beyond this size (SQLite refuses it).
inline constexpr int kMaxValueBytes = 16 << 20;

// Turns a SQLite result into quillmont::Error with a message a user can act on.
[[noreturn]] void ThrowSqlite(sqlite3* db, int rc, const std::string& what);
ErrorCode CodeOf(int rc) noexcept;

class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&&) = delete;

  // Parameters are 1-based, as in SQL.
  Statement& Bind(int index, std::int64_t value);
  Statement& Bind(int index, std::string_view value);
  Statement& Bind(int index, const std::string& value) { return Bind(index, std::string_view(value)); }
  Statement& Bind(int index, const char* value) { return Bind(index, std::string_view(value)); }
  Statement& Bind(int index, const std::optional<std::string>& value);
  Statement& BindNull(int index);

  // True while a row is there to read.
  bool Step();
  // Runs a statement that returns no rows.
  void Run();
  void Reset();

  std::int64_t Int(int column) const;
  std::string Text(int column) const;
  std::optional<std::string> OptionalText(int column) const;
  // The same for a field of at most maxChars characters: a longer stored
  // value is refused (Error(Corrupt) naming field, "a subject"), not loaded.
  std::string Text(int column, std::size_t maxChars, const char* field) const;
  std::optional<std::string> OptionalText(int column, std::size_t maxChars, const char* field) const;
  bool IsNull(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// How a file is opened: only read (SQLite never writes it, nor creates a
// journal); read and written; created when missing; or read as a file nobody
// writes (no locks, no side files) for a write-ahead-log database in a folder
// this user cannot write.
enum class OpenMode { ReadOnly, ReadWrite, Create, Immutable };

class Database {
 public:
  // Opens the file in that mode. The file is only read until the caller
  // writes.
  Database(const std::string& path, OpenMode mode);
  Database(const std::string& path, bool create) : Database(path, create ? OpenMode::Create : OpenMode::ReadWrite) {}
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  sqlite3* Handle() const noexcept { return db_; }
  const std::string& Path() const noexcept { return path_; }
  // SQLite refuses every write on this connection.
  bool ReadOnly() const noexcept { return sqlite3_db_readonly(db_, "main") == 1; }

  Statement Prepare(std::string_view sql) { return Statement(db_, sql); }
  // Runs one or more statements without parameters (schema, pragmas).
  void Exec(const std::string& sql);
  std::int64_t QueryInt(std::string_view sql);
  void SetBusyTimeout(int milliseconds);

 private:
  sqlite3* db_ = nullptr;
  std::string path_;
};

// One write transaction, taken with BEGIN IMMEDIATE so that a second writer
// waits (up to the busy timeout) before anything is written. It rolls back
// unless Commit ran.
class WriteTransaction {
 public:
  explicit WriteTransaction(Database& db);
  ~WriteTransaction();
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  void Commit();

 private:
  Database& db_;
  bool open_ = false;
};

}  // namespace quillmont::store
