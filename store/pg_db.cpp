#include "store/pg_db.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "quillmont/platform/terminal_text.h"

namespace quillmont::store {
namespace {

constexpr const char* kChannel = "quillmont_changes";
// The lock every writer takes (an arbitrary number of ours: "QMNT").
constexpr const char* kWriterLock = "SELECT pg_advisory_xact_lock(1364020820)";

std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  for (char& c : text)
    if (c == '\n' || c == '\t') c = ' ';
  return text::Shortened(text, 300);
}

// libpq's report of a lost connection runs over several lines of advice; its
// first line says what happened.
std::string FirstLine(const char* text) {
  std::string line(text ? text : "");
  line = line.substr(0, line.find('\n'));
  for (const char* prefix : {"FATAL:", "ERROR:"})
    if (line.rfind(prefix, 0) == 0) line.erase(0, std::char_traits<char>::length(prefix));
  line.erase(0, line.find_first_not_of(' '));
  while (!line.empty() && (line.back() == '.' || line.back() == ' ')) line.pop_back();
  return text::Shortened(line, 200);
}

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// ? placeholders become $1, $2, ... outside quoted text and names.
std::string Numbered(std::string_view sql) {
  std::string out;
  int n = 0;
  char quote = 0;
  for (char c : sql) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '?') {
      out += '$' + std::to_string(++n);
      continue;
    }
    out += c;
  }
  return out;
}

class PgStatement final : public StatementImpl {
 public:
  PgStatement(PgDatabase& db, std::string sql) : db_(db), sql_(std::move(sql)) {}
  ~PgStatement() override { PQclear(result_); }
  PgStatement(const PgStatement&) = delete;
  PgStatement& operator=(const PgStatement&) = delete;

  void BindInt(int index, std::int64_t value) override { Slot(index) = std::to_string(value); }
  void BindText(int index, std::string_view value) override { Slot(index) = std::string(value); }
  void BindNull(int index) override { Slot(index).reset(); }

  bool Step() override {
    if (!result_) {
      std::vector<const char*> values;
      values.reserve(params_.size());
      for (const auto& p : params_) values.push_back(p ? p->c_str() : nullptr);
      const std::string& name = db_.Prepared(sql_);
      PGresult* r = PQexecPrepared(db_.Connection(), name.c_str(), static_cast<int>(values.size()), values.data(),
                                   nullptr, nullptr, 0);
      const auto status = PQresultStatus(r);
      if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) db_.Throw(r, "running a statement");
      result_ = r;
      row_ = 0;
      const char* tuples = PQcmdTuples(r);
      changes_ = 0;
      std::from_chars(tuples, tuples + std::char_traits<char>::length(tuples), changes_);
    } else {
      ++row_;
    }
    return row_ < PQntuples(result_);
  }
  void Reset() override {
    PQclear(result_);
    result_ = nullptr;
    params_.clear();
  }
  std::int64_t Changes() const override { return changes_; }
  void Queue() override {
    db_.Queue(sql_, params_);
    params_.clear();
  }
  std::int64_t Int(int column) const override {
    const std::string_view text = Bytes(column);
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
  }
  std::string_view Bytes(int column) const override {
    return {PQgetvalue(result_, row_, column), static_cast<std::size_t>(PQgetlength(result_, row_, column))};
  }
  bool IsNull(int column) const override { return PQgetisnull(result_, row_, column) == 1; }

 private:
  std::optional<std::string>& Slot(int index) {
    if (static_cast<std::size_t>(index) > params_.size()) params_.resize(static_cast<std::size_t>(index));
    return params_[static_cast<std::size_t>(index - 1)];
  }

  PgDatabase& db_;
  std::string sql_;
  std::vector<std::optional<std::string>> params_;
  PGresult* result_ = nullptr;
  int row_ = 0;
  std::int64_t changes_ = 0;
};

// libpq's text with every copy of the password taken out.
std::string WithoutPassword(std::string text, const std::string& password) {
  if (password.empty()) return text;
  for (auto at = text.find(password); at != std::string::npos; at = text.find(password, at))
    text.replace(at, password.size(), "***");
  return text;
}

// Why a connection could not be made, in words a user can act on.
Error ConnectFailure(pg_conn* conn, const std::string& uri, const std::string& password) {
  const std::string detail = WithoutPassword(OneLine(conn ? PQerrorMessage(conn) : "out of memory"), password);
  const std::string database = conn && PQdb(conn) ? PQdb(conn) : "";
  if (Has(detail, "password authentication failed") || Has(detail, "no password supplied") ||
      Has(detail, "authentication failed"))
    return Error(ErrorCode::Failed, "The database server at " + uri +
                                        " refused the login: wrong user name or password (libpq reads the password "
                                        "from PGPASSFILE or ~/.pgpass, a service file or the URI).");
  if (Has(detail, "database \"") && Has(detail, "does not exist"))
    return Error(ErrorCode::NotFound, "The database server at " + uri + " has no database \"" + database +
                                          "\"; create it first (createdb " + database + ").");
  if (Has(detail, "timeout expired"))
    return Error(ErrorCode::Failed, "The database server at " + uri + " did not answer in time (" + detail + ").");
  if (Has(detail, "Connection refused") || Has(detail, "No such file or directory") ||
      Has(detail, "could not translate host name") || Has(detail, "No route to host"))
    return Error(ErrorCode::Failed, "Cannot reach the database server at " + uri +
                                        ": it refused the connection or is not running (" + detail + ").");
  return Error(ErrorCode::Failed, "Cannot connect to the database server at " + uri + ": " + detail);
}

}  // namespace

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

bool HasServerScheme(std::string_view location) {
  return StartsWithNoCase(location, "postgresql://") || StartsWithNoCase(location, "postgres://");
}

// A libpq key-value string ("host=db.example.net dbname=q"): its first word
// is one of libpq's connection keywords, followed by =.
bool IsKeyValue(std::string_view location) {
  const auto start = location.find_first_not_of(" \t");
  if (start == std::string_view::npos) return false;
  const auto end = location.find_first_of(" \t=", start);
  if (end == std::string_view::npos || location.find_first_not_of(" \t", end) == std::string_view::npos ||
      location[location.find_first_not_of(" \t", end)] != '=')
    return false;
  const std::string word(location.substr(start, end - start));
  const std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> defaults(PQconndefaults(), PQconninfoFree);
  for (const PQconninfoOption* o = defaults.get(); o && o->keyword; ++o)
    if (word == o->keyword) return true;
  return false;
}

// Where the password lies in a location, as [begin, end) ranges: a URI's
// user part after its colon (up to the last @ before the query) and its
// password= parameters; a key-value string's password values.
std::vector<std::pair<std::size_t, std::size_t>> PasswordSpans(std::string_view s) {
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  if (HasServerScheme(s)) {
    const std::size_t hostStart = s.find("://") + 3;
    const std::size_t query = std::min(s.find('?', hostStart), s.size());
    const std::size_t at = s.substr(0, query).rfind('@');
    if (at != std::string_view::npos && at >= hostStart) {
      const std::size_t colon = s.find(':', hostStart);
      if (colon < at) spans.emplace_back(colon + 1, at);
    }
    for (std::size_t start = query + 1; start < s.size();) {
      const std::size_t end = std::min(s.find('&', start), s.size());
      if (s.substr(start, 9) == "password=") spans.emplace_back(start + 9, end);
      start = end + 1;
    }
    return spans;
  }
  // key = value, where a value in quotes may hold spaces and \' or \\.
  for (std::size_t i = 0; i < s.size();) {
    i = s.find_first_not_of(" \t", i);
    if (i == std::string_view::npos) break;
    const std::size_t keyEnd = std::min(s.find_first_of(" \t=", i), s.size());
    const bool password = s.substr(i, keyEnd - i) == "password";
    i = s.find_first_not_of(" \t", keyEnd);
    if (i == std::string_view::npos || s[i] != '=') break;
    i = s.find_first_not_of(" \t", i + 1);
    if (i == std::string_view::npos) break;
    const std::size_t valueStart = i;
    if (s[i] == '\'') {
      for (++i; i < s.size() && s[i] != '\''; ++i)
        if (s[i] == '\\') ++i;
      i = std::min(i + 1, s.size());
    } else {
      i = std::min(s.find_first_of(" \t", i), s.size());
    }
    if (password) spans.emplace_back(valueStart, i);
  }
  return spans;
}

// The location as libpq takes it (the scheme in lower case), or an Error
// saying what is wrong without quoting it: libpq's own texts about a
// location it cannot read quote the part it choked on, which may be the
// password. password receives the password given in the location.
std::string CheckedLocation(const std::string& location, std::string& password) {
  std::string conninfo = location;
  const bool uri = HasServerScheme(location);
  std::string why;
  if (uri) {
    for (std::size_t i = 0; i < conninfo.find("://"); ++i)
      conninfo[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(conninfo[i])));
    const std::size_t hostStart = conninfo.find("://") + 3;
    const std::string authority = conninfo.substr(hostStart, conninfo.find_first_of("/?", hostStart) - hostStart);
    for (std::size_t p = conninfo.find('%'); p != std::string::npos && why.empty(); p = conninfo.find('%', p + 1))
      if (p + 2 >= conninfo.size() || !std::isxdigit(static_cast<unsigned char>(conninfo[p + 1])) ||
          !std::isxdigit(static_cast<unsigned char>(conninfo[p + 2])))
        why = "a % is not followed by two hexadecimal digits (write a % in a name or password as %25)";
    if (std::count(authority.begin(), authority.end(), '@') > 1)
      why = "it has more than one @ before the host (write an @ in a name or password as %40)";
    else if (std::count(authority.begin(), authority.end(), '[') != std::count(authority.begin(), authority.end(), ']'))
      why = "the brackets around its IPv6 address do not match";
  }
  char* error = nullptr;
  PQconninfoOption* options = why.empty() ? PQconninfoParse(conninfo.c_str(), &error) : nullptr;
  PQfreemem(error);
  if (!options) {
    if (why.empty())
      why = uri ? "libpq cannot read it (write any of @ : / ? # [ ] % in a name or password %-encoded)"
                : "libpq cannot read it (quote a value that holds spaces: password='a b')";
    throw Error(ErrorCode::Failed, std::string(uri ? "The database URI " : "The connection string ") +
                                       "given cannot be used: " + why +
                                       ". It is not shown here, for it may hold a password.");
  }
  for (const PQconninfoOption* o = options; o->keyword; ++o)
    if (std::string_view(o->keyword) == "password" && o->val) password = o->val;
  PQconninfoFree(options);
  return conninfo;
}

}  // namespace

bool IsServerUri(std::string_view location) { return HasServerScheme(location) || IsKeyValue(location); }

std::string HiddenPassword(std::string_view location) {
  std::string out(location);
  if (!IsServerUri(location)) return out;
  for (const auto& [begin, end] : PasswordSpans(location)) out.replace(begin, end - begin, end - begin, '*');
  return out;
}

void HidePasswordInArgument(char* argument) {
  // --db=LOCATION as well as LOCATION alone.
  char* location = argument;
  if (argument[0] == '-' && argument[1] == '-')
    if (char* equals = std::strchr(argument, '=')) location = equals + 1;
  const std::string hidden = HiddenPassword(location);
  std::copy(hidden.begin(), hidden.end(), location);
}

std::string RedactedUri(std::string_view uri) {
  if (!HasServerScheme(uri)) {
    if (!IsKeyValue(uri)) return std::string(uri);
    // The key-value pairs without the password's.
    std::string out(uri);
    const auto spans = PasswordSpans(uri);
    for (std::size_t i = spans.size(); i-- > 0;) {
      const std::size_t key = out.rfind("password", spans[i].first);
      out.erase(key, spans[i].second - key);
    }
    return out;
  }
  std::string out(uri);
  const auto hostStart = out.find("://") + 3;
  const auto query = std::min(out.find('?', hostStart), out.size());
  const auto at = out.substr(0, query).rfind('@');
  if (at != std::string::npos && at >= hostStart) {
    const auto colon = out.find(':', hostStart);
    if (colon != std::string::npos && colon < at) out.erase(colon, at - colon);
  }
  const auto kept = out.find('?');
  if (kept == std::string::npos) return out;
  std::string params;
  std::size_t start = kept + 1;
  while (start <= out.size()) {
    const auto end = std::min(out.find('&', start), out.size());
    const std::string param = out.substr(start, end - start);
    if (param.rfind("password=", 0) != 0 && !param.empty()) params += (params.empty() ? "" : "&") + param;
    start = end + 1;
  }
  return out.substr(0, kept) + (params.empty() ? "" : "?" + params);
}

PgDatabase::PgDatabase(const std::string& uri, bool readOnly, int lockTimeoutMs, int connectTimeoutSeconds)
    : Database(RedactedUri(uri)), readOnly_(readOnly), lockTimeoutMs_(lockTimeoutMs) {
  // A server that does not answer is given up after the timeout, unless the
  // URI says otherwise (its values come later and win).
  const std::string timeout = std::to_string(std::max(2, connectTimeoutSeconds));
  const char* keys[] = {"connect_timeout", "dbname", nullptr};
  std::string password;
  const std::string conninfo = CheckedLocation(uri, password);
  const char* values[] = {timeout.c_str(), conninfo.c_str(), nullptr};
  conn_ = PQconnectdbParams(keys, values, 1);
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
    // The message reads the failed connection, which goes after it.
    const std::unique_ptr<pg_conn, void (*)(pg_conn*)> failed(conn_, PQfinish);
    conn_ = nullptr;
    throw ConnectFailure(failed.get(), path_, password);
  }
  Setup();
}

PgDatabase::~PgDatabase() { PQfinish(conn_); }

void PgDatabase::Setup() {
  prepared_.clear();
  Exec("SET client_encoding = 'UTF8'; SET lock_timeout = " + std::to_string(lockTimeoutMs_) +
       (readOnly_ ? "; SET default_transaction_read_only = on" : "") + "; LISTEN " + kChannel);
}

void PgDatabase::Reconnect() {
  lastAttempt_ = std::chrono::steady_clock::now();
  PQreset(conn_);
  if (PQstatus(conn_) != CONNECTION_OK) throw ConnectFailure(conn_, path_, PQpass(conn_) ? PQpass(conn_) : "");
  Setup();
  // Whatever others saved while we were away has to be read again.
  ++dataVersion_;
}

pg_conn* PgDatabase::Connection() {
  if (queued_ > 0) Flush();
  if (PQstatus(conn_) != CONNECTION_OK && !inTransaction_) Reconnect();
  return conn_;
}

void PgDatabase::Queue(const std::string& sql, const std::vector<std::optional<std::string>>& params) {
  const auto known = prepared_.find(sql);
  const std::string name = known != prepared_.end() ? known->second : Prepared(sql);
  if (queued_ == 0 && !PQenterPipelineMode(conn_)) Throw(nullptr, "writing a list");
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
  if (!PQsendQueryPrepared(conn_, name.c_str(), static_cast<int>(values.size()), values.data(), nullptr, nullptr, 0)) {
    queued_ = std::max(queued_, 1);
    Flush();
    Throw(nullptr, "writing a list");
  }
  // The answers are collected often enough that neither side's socket
  // buffer fills while the other waits.
  if (++queued_ >= 1000) Flush();
}

void PgDatabase::Flush() {
  queued_ = 0;
  PGresult* failure = nullptr;
  if (PQpipelineSync(conn_)) {
    for (;;) {
      PGresult* r = PQgetResult(conn_);
      if (!r) {
        if (PQstatus(conn_) != CONNECTION_OK) break;
        continue;  // the end of one statement's answer
      }
      const auto status = PQresultStatus(r);
      if (status == PGRES_PIPELINE_SYNC) {
        PQclear(r);
        break;
      }
      if (status == PGRES_FATAL_ERROR && !failure)
        failure = r;
      else
        PQclear(r);
    }
  }
  PQexitPipelineMode(conn_);
  if (failure || PQstatus(conn_) != CONNECTION_OK) Throw(failure, "writing a list");
}

void PgDatabase::Throw(PGresult* result, const char* what) {
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
  const std::string code = state ? state : "";
  const std::string detail = OneLine(primary ? primary : PQerrorMessage(conn_));
  PQclear(result);
  if (PQstatus(conn_) != CONNECTION_OK || code.rfind("08", 0) == 0 || code == "57P01")
    throw Error(ErrorCode::Failed, "The connection to the database server " + path_ + " was lost (" +
                                       FirstLine(PQerrorMessage(conn_)) +
                                       "). Nothing more was written; please try again once the server is back.");
  if (code == "40001" || code == "40P01" || code == "55P03")
    throw Error(ErrorCode::Busy, "The database is in use by another program (" + std::string(what) +
                                     "). Nothing was written; please "
                                     "try again.");
  if (code == "25006")
    throw Error(ErrorCode::Failed, "The database " + path_ + " is open read-only, so nothing was written.");
  throw Error(ErrorCode::Failed, "Database error (" + std::string(what) + "): " + detail);
}

const std::string& PgDatabase::Prepared(const std::string& sql) {
  pg_conn* conn = Connection();
  auto found = prepared_.find(sql);
  if (found != prepared_.end()) return found->second;
  std::string name = "qm" + std::to_string(prepared_.size() + 1);
  PGresult* r = PQprepare(conn, name.c_str(), sql.c_str(), 0, nullptr);
  if (PQresultStatus(r) != PGRES_COMMAND_OK) Throw(r, "preparing a statement");
  PQclear(r);
  return prepared_.emplace(sql, std::move(name)).first->second;
}

std::unique_ptr<StatementImpl> PgDatabase::PrepareImpl(std::string_view sql) {
  return std::make_unique<PgStatement>(*this, Numbered(sql));
}

void PgDatabase::Exec(const std::string& sql) {
  PGresult* r = PQexec(Connection(), sql.c_str());
  const auto status = PQresultStatus(r);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) Throw(r, "updating the database");
  PQclear(r);
}

void PgDatabase::BeginWrite() {
  Exec("BEGIN");
  inTransaction_ = writing_ = true;
  try {
    Exec(kWriterLock);
  } catch (...) {
    // No transaction object exists yet to roll this back.
    Rollback();
    throw;
  }
}

void PgDatabase::BeginRowWrite() {
  Exec("BEGIN");
  inTransaction_ = true;
  writing_ = false;
}

void PgDatabase::BeginRead() {
  Exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
  inTransaction_ = true;
  writing_ = false;
}

void PgDatabase::Commit() {
  if (writing_) Exec(std::string("NOTIFY ") + kChannel);
  Exec("COMMIT");
  inTransaction_ = writing_ = false;
}

void PgDatabase::Rollback() noexcept {
  if (queued_ > 0) {
    try {
      Flush();
    } catch (const Error&) {
    }
  }
  if (PQstatus(conn_) == CONNECTION_OK) PQclear(PQexec(conn_, "ROLLBACK"));
  inTransaction_ = writing_ = false;
}

std::int64_t PgDatabase::DataVersion() {
  if (inTransaction_) return dataVersion_;
  if (PQstatus(conn_) != CONNECTION_OK) {
    // Asked several times a second: a server that is away is tried again
    // every few seconds, not at each question.
    if (std::chrono::steady_clock::now() - lastAttempt_ > std::chrono::seconds(3)) {
      try {
        Reconnect();
      } catch (const Error&) {
      }
    }
    return dataVersion_;
  }
  if (!PQconsumeInput(conn_)) return dataVersion_;
  while (PGnotify* notice = PQnotifies(conn_)) {
    if (notice->be_pid != PQbackendPID(conn_)) ++dataVersion_;
    PQfreemem(notice);
  }
  return dataVersion_;
}

std::string PgDatabase::NoCase(std::string_view expr) const {
  return "translate(" + std::string(expr) +
         ", 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz') COLLATE \"C\"";
}

void PgDatabase::AfterExplicitNumbers() {
  Exec(
      "SELECT setval(pg_get_serial_sequence('notifications', 'id'), "
      "COALESCE((SELECT MAX(id) FROM notifications), 0) + 1, false)");
}

}  // namespace quillmont::store
