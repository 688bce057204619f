#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/database.h"

struct pg_conn;
struct pg_result;

// The server backend: one PostgreSQL connection through libpq. Credentials
// and TLS are libpq's business (URI parameters, PGPASSFILE or ~/.pgpass,
// service files, sslmode); we never print, log or keep a password.
namespace quillmont::store {

// A server's database rather than a file path: a postgresql:// or
// postgres:// URI (the scheme in any case), or a libpq key-value string
// ("host=db.example.net dbname=quillmont").
bool IsServerUri(std::string_view location);
// The location without its password (a URI's user part or password=
// parameter, a key-value string's password), for every message that names it.
std::string RedactedUri(std::string_view uri);
// The location with each character of its password replaced by *.
std::string HiddenPassword(std::string_view location);
// Hides the password in a program argument (LOCATION or --option=LOCATION)
// in place, so that ps no longer shows it.
void HidePasswordInArgument(char* argument);

class PgDatabase final : public Database {
 public:
  // Connects, refusing with a message of its own a location libpq cannot
  // read, a server that cannot be reached, a login that fails and a database
  // that does not exist; no message quotes the password.
  // lockTimeoutMs bounds how long a write waits for another writer.
  PgDatabase(const std::string& uri, bool readOnly, int lockTimeoutMs, int connectTimeoutSeconds = 10);
  ~PgDatabase() override;

  Backend Kind() const noexcept override { return Backend::Postgres; }
  bool ReadOnly() const noexcept override { return readOnly_; }
  void Exec(const std::string& sql) override;

  // All writers take one transaction-level lock first, so that writes follow
  // one another as they do on a file: a save's revision check and name check
  // cannot race another save.
  void BeginWrite() override;
  void BeginRead() override;
  void BeginRowWrite() override;
  // A write also tells every listening editor (NOTIFY, sent on commit).
  void Commit() override;
  void Rollback() noexcept override;
  // Counts the change notices of other connections (LISTEN).
  std::int64_t DataVersion() override;

  std::string NoCase(std::string_view expr) const override;
  const char* ForUpdate() const noexcept override { return " FOR UPDATE"; }
  const char* InsertionOrder() const noexcept override { return "seq"; }
  void AfterExplicitNumbers() override;

  // The name of the server-side statement for sql (prepared on first use in
  // this session), and the connection, reconnecting a lost one between
  // transactions.
  const std::string& Prepared(const std::string& sql);
  pg_conn* Connection();
  // Sends a prepared statement without waiting for its answer (pipeline
  // mode); every other use of the connection first collects the answers.
  void Queue(const std::string& sql, const std::vector<std::optional<std::string>>& params);
  // Throws the Error for a failed result (which it frees).
  [[noreturn]] void Throw(pg_result* result, const char* what);

 protected:
  std::unique_ptr<StatementImpl> PrepareImpl(std::string_view sql) override;

 private:
  void Setup();
  // Collects the answers of queued statements; throws the first failure.
  void Flush();
  void Reconnect();

  pg_conn* conn_ = nullptr;
  bool readOnly_;
  int lockTimeoutMs_;
  bool writing_ = false;
  int queued_ = 0;
  std::int64_t dataVersion_ = 0;
  std::chrono::steady_clock::time_point lastAttempt_{};
  std::unordered_map<std::string, std::string> prepared_;
};

}  // namespace quillmont::store
