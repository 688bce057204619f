#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "quillmont/platform/error.h"

// A connection to the store's database and its prepared statements, the same
// for every backend: SQL is written once with ? placeholders and every value
// reaches it through a bound parameter, never through the text.
namespace quillmont::store {

enum class Backend { Sqlite, Postgres };

// The time now as the store keeps it ("2026-12-06T17:30:00Z", UTC): computed
// here, so both backends write the same text.
std::string UtcNow();

// A stored number that must fit 32 bits; Error(Corrupt) naming what ("port")
// when it does not.
std::int32_t ToInt32(std::int64_t value, const char* what);

// What a backend does for one prepared statement.
class StatementImpl {
 public:
  virtual ~StatementImpl() = default;
  // Parameters are 1-based, as in SQL.
  virtual void BindInt(int index, std::int64_t value) = 0;
  virtual void BindText(int index, std::string_view value) = 0;
  virtual void BindNull(int index) = 0;
  // Runs the statement on the first call after a reset; true while a row is
  // there to read.
  virtual bool Step() = 0;
  // Ready to run again, with no values bound.
  virtual void Reset() = 0;
  // Rows changed by the last run.
  virtual std::int64_t Changes() const = 0;
  // Runs it with the bound values and resets it; its answer may come later
  // (see Statement::Queue).
  virtual void Queue() {
    while (Step()) {
    }
    Reset();
  }
  virtual std::int64_t Int(int column) const = 0;
  virtual std::string_view Bytes(int column) const = 0;
  virtual bool IsNull(int column) const = 0;
};

class Statement {
 public:
  explicit Statement(std::unique_ptr<StatementImpl> impl) : impl_(std::move(impl)) {}

  Statement& Bind(int index, std::int64_t value) {
    impl_->BindInt(index, value);
    return *this;
  }
  Statement& Bind(int index, std::string_view value) {
    impl_->BindText(index, value);
    return *this;
  }
  Statement& Bind(int index, const std::string& value) { return Bind(index, std::string_view(value)); }
  Statement& Bind(int index, const char* value) { return Bind(index, std::string_view(value)); }
  Statement& Bind(int index, const std::optional<std::string>& value) {
    return value ? Bind(index, std::string_view(*value)) : BindNull(index);
  }
  Statement& BindNull(int index) {
    impl_->BindNull(index);
    return *this;
  }

  // True while a row is there to read.
  bool Step() { return impl_->Step(); }
  // Runs a statement that returns no rows; returns how many rows it changed.
  std::int64_t Run();
  // The same for a statement whose answer is not needed at once (a row of a
  // list being written): a server backend sends many before it waits for
  // their answers, and reports a failure by the transaction's commit at the
  // latest, so the transaction still writes all or nothing.
  void Queue() { impl_->Queue(); }
  void Reset() { impl_->Reset(); }

  // Rows changed by the last run.
  std::int64_t Changes() const { return impl_->Changes(); }
  std::int64_t Int(int column) const { return impl_->Int(column); }
  // The value as stored, valid until the next step or reset.
  std::string_view Bytes(int column) const { return impl_->Bytes(column); }
  std::string Text(int column) const { return std::string(impl_->Bytes(column)); }
  std::optional<std::string> OptionalText(int column) const;
  // The same for a field of at most maxChars characters: a longer stored
  // value is refused (Error(Corrupt) naming field, "a subject"), not loaded.
  std::string Text(int column, std::size_t maxChars, const char* field) const;
  // The same without a copy: valid until the next step or reset.
  std::string_view TextView(int column, std::size_t maxChars, const char* field) const;
  std::optional<std::string> OptionalText(int column, std::size_t maxChars, const char* field) const;
  bool IsNull(int column) const { return impl_->IsNull(column); }

 private:
  std::unique_ptr<StatementImpl> impl_;
};

class Database {
 public:
  virtual ~Database() = default;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  virtual Backend Kind() const noexcept = 0;
  // How messages and titles name it: the file's path, or the server's URI
  // without a password.
  const std::string& DisplayName() const noexcept { return path_; }
  // Every write on this connection is refused.
  virtual bool ReadOnly() const noexcept = 0;

  Statement Prepare(std::string_view sql) { return Statement(PrepareImpl(sql)); }
  // Runs one or more statements without parameters (schema, settings).
  virtual void Exec(const std::string& sql) = 0;
  std::int64_t QueryInt(std::string_view sql);

  // A write transaction waits for (and then keeps out) every other writer;
  // a read transaction sees one state of the data. Used through
  // WriteTransaction and ReadTransaction.
  virtual void BeginWrite() = 0;
  virtual void BeginRead() = 0;
  // A write of rows that writers take one by one (the outbox's): on a server
  // it takes neither the writers' lock nor tells the editors, so that
  // several senders work at once; on a file it is a write transaction.
  virtual void BeginRowWrite() { BeginWrite(); }
  virtual void Commit() = 0;
  virtual void Rollback() noexcept = 0;
  bool InTransaction() const noexcept { return inTransaction_; }

  // Changes whenever another connection has committed a write (cheap: the
  // notification list asks it several times a second).
  virtual std::int64_t DataVersion() = 0;
  // The path no longer names the file this connection opened (it was
  // replaced, say by a restored backup, or removed): a write would go into a
  // file nobody finds, so every write transaction refuses to begin.
  virtual bool Replaced() { return false; }
  // Before and after the file now at the path is opened in this one's place:
  // what this connection shares with it by name (SQLite's log) is emptied
  // first and left to the new one when this connection closes.
  virtual void BeforeReplacing() {}
  virtual void AfterReplaced() noexcept {}
  // Called, again and again, while another program holds the lock a write
  // waits for (within the busy timeout): false stops the wait, and the
  // write fails as when the timeout runs out. A backend that waits
  // elsewhere (a server) never calls it.
  using WaitHandler = std::function<bool()>;
  virtual void SetWaitHandler(WaitHandler) {}

  // Where the SQL of the two backends differs.
  // expr compared and sorted as the store compares names: ASCII letters in
  // either case alike, everything else byte by byte.
  virtual std::string NoCase(std::string_view expr) const = 0;
  // Appended to a SELECT of the row a write transaction is about to change.
  virtual const char* ForUpdate() const noexcept = 0;
  // The catalogue's own order among event types of one sort_order.
  virtual const char* InsertionOrder() const noexcept = 0;
  // After notifications were inserted with numbers of their own: numbers
  // chosen later by the database follow the highest.
  virtual void AfterExplicitNumbers() {}

 protected:
  explicit Database(std::string path) : path_(std::move(path)) {}
  virtual std::unique_ptr<StatementImpl> PrepareImpl(std::string_view sql) = 0;

  std::string path_;
  bool inTransaction_ = false;
};

// A write refused because the database's path no longer names the file
// that was opened (see Database::Replaced).
class FileReplaced : public Error {
 public:
  explicit FileReplaced(const std::string& path)
      : Error(ErrorCode::Failed, "The database file " + path +
                                     " was replaced or removed since it was opened, so nothing was written to it.") {}
};

// One write transaction; it rolls back unless Commit ran.
class WriteTransaction {
 public:
  enum class Scope { Writers, Rows };  // see Database::BeginRowWrite
  explicit WriteTransaction(Database& db, Scope scope = Scope::Writers) : db_(db) {
    if (scope == Scope::Rows)
      db_.BeginRowWrite();
    else
      db_.BeginWrite();
    open_ = true;
  }
  ~WriteTransaction() {
    if (open_) db_.Rollback();
  }
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  void Commit() {
    db_.Commit();
    open_ = false;
  }

 private:
  Database& db_;
  bool open_ = false;
};

// A read of several statements that sees one state of the data; inside a
// transaction already open it adds nothing.
class ReadTransaction {
 public:
  explicit ReadTransaction(Database& db) : db_(db), own_(!db.InTransaction()) {
    if (own_) db_.BeginRead();
  }
  ~ReadTransaction() {
    if (own_) db_.Rollback();
  }
  ReadTransaction(const ReadTransaction&) = delete;
  ReadTransaction& operator=(const ReadTransaction&) = delete;

 private:
  Database& db_;
  bool own_;
};

}  // namespace quillmont::store
