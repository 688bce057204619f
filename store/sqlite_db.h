#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/database.h"

// SQLite's own header stays in the backend's sources.
struct sqlite3;

// The embedded backend: a SQLite file (or memory), one connection.
namespace quillmont::store {

// No value stored by anyone is read beyond this size (SQLite refuses it).
inline constexpr int kMaxValueBytes = 16 << 20;

// Turns a SQLite result into quillmont::Error with a message a user can act on.
[[noreturn]] void ThrowSqlite(sqlite3* db, int rc, const std::string& what);
ErrorCode CodeOf(int rc) noexcept;

// How a file is opened: only read (SQLite never writes it, nor creates a
// journal); read and written; created when missing; or read as a file nobody
// writes (no locks, no side files) for a write-ahead-log database in a folder
// this user cannot write.
enum class OpenMode { ReadOnly, ReadWrite, Create, Immutable };

// A file's device and inode; all zero for a path that names nothing.
struct FileIdentity {
  unsigned long long dev = 0, ino = 0;
  bool operator==(const FileIdentity&) const = default;
};
FileIdentity IdentityOf(const std::string& path);

class SqliteDatabase final : public Database {
 public:
  // Opens the file in that mode. The file is only read until the caller
  // writes.
  SqliteDatabase(const std::string& path, OpenMode mode);
  ~SqliteDatabase() override;

  sqlite3* Handle() const noexcept { return db_; }
  const std::string& FilePath() const noexcept { return DisplayName(); }
  Backend Kind() const noexcept override { return Backend::Sqlite; }
  // SQLite refuses every write on this connection.
  bool ReadOnly() const noexcept override;
  void Exec(const std::string& sql) override;
  void SetBusyTimeout(int milliseconds);
  void SetWaitHandler(WaitHandler handler) override;

  // BEGIN IMMEDIATE: a second writer waits (up to the busy timeout) before
  // anything is written.
  void BeginWrite() override;
  void BeginRead() override;
  void Commit() override;
  void Rollback() noexcept override;
  std::int64_t DataVersion() override { return QueryInt("PRAGMA data_version"); }
  bool Replaced() override;
  void BeforeReplacing() override;
  void AfterReplaced() noexcept override;

  std::string NoCase(std::string_view expr) const override { return std::string(expr) + " COLLATE NOCASE"; }
  const char* ForUpdate() const noexcept override { return ""; }
  const char* InsertionOrder() const noexcept override { return "rowid"; }

 protected:
  std::unique_ptr<StatementImpl> PrepareImpl(std::string_view sql) override;

 private:
  static int OnBusy(void* self, int count);
  sqlite3* db_ = nullptr;
  int busyTimeoutMs_ = 0;
  WaitHandler waitHandler_;
  std::chrono::steady_clock::time_point waitStart_;
  // Of the file opened and of its write-ahead log (none until first seen by
  // a write): what Replaced compares the path with.
  FileIdentity file_, log_;
};

}  // namespace quillmont::store
