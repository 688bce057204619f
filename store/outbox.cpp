#include "store/outbox.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "store/sqlite_db.h"

namespace quillmont::store {
namespace {

constexpr const char* kStates[] = {"queued", "sending", "sent", "failed", "suppressed"};

constexpr const char* kColumns =
    "d.id, d.token, d.event_key, d.event_name, d.node, d.event_message, d.event_time, d.notification_id, "
    "d.notification_revision, d.notification_name, d.kind, d.host, d.port, d.version, d.time_format, d.address, "
    "d.subject, d.message, d.state, d.attempts, d.next_attempt, d.lease_owner, d.lease_until, d.outcome, d.created, "
    "d.sent, d.updated";
constexpr int kColumnCount = 27;

// The columns without their table's name (for RETURNING).
std::string Unaliased(std::string columns) {
  for (std::size_t at = columns.find("d."); at != std::string::npos; at = columns.find("d.", at)) columns.erase(at, 2);
  return columns;
}

Delivery ReadRow(const Statement& s) {
  Delivery d;
  d.id = s.Int(0);
  d.token = s.Text(1);
  d.event = {s.Text(2), s.Text(3), s.Text(4), s.Text(5), s.Int(6)};
  d.notificationId = ToInt32(s.Int(7), "notification number");
  d.revision = s.Int(8);
  d.notification = s.Text(9);
  d.destination.kind = s.Bytes(10) == "mail" ? Destination::Kind::Mail : Destination::Kind::Trap;
  d.destination.host = s.Text(11);
  d.destination.port = ToInt32(s.Int(12), "port");
  d.destination.version = s.Text(13);
  d.destination.timeFormat = s.Text(14);
  d.destination.address = s.Text(15);
  d.destination.subject = s.Text(16);
  d.destination.message = s.Text(17);
  d.state = StateFromName(s.Bytes(18)).value_or(DeliveryState::Failed);
  d.attempts = ToInt32(s.Int(19), "attempts");
  d.nextAttempt = s.Int(20);
  d.leaseOwner = s.IsNull(21) ? "" : s.Text(21);
  d.leaseUntil = s.IsNull(22) ? 0 : s.Int(22);
  d.outcome = s.Text(23);
  d.created = s.Int(24);
  d.sent = s.IsNull(25) ? 0 : s.Int(25);
  d.updated = s.Int(26);
  return d;
}

// A new delivery's token: random, so that no other delivery of any
// database has it.
std::string NewToken(std::mt19937_64& random) {
  char text[33];
  std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(random()),
                static_cast<unsigned long long>(random()));
  return text;
}

// The WHERE clause (starting " WHERE 1 = 1") of a log read, its values bound
// from `first` on; returns the next free parameter.
std::string Where(const LogFilter& f, const char* timeColumn) {
  std::string where = " WHERE 1 = 1";
  if (f.notification) where += " AND d.notification_id = ?";
  if (f.since) where += std::string(" AND ") + timeColumn + " >= ?";
  if (f.state) where += " AND d.state = ?";
  return where;
}
int BindWhere(Statement& s, const LogFilter& f, int at) {
  if (f.notification) s.Bind(at++, std::int64_t{*f.notification});
  if (f.since) s.Bind(at++, *f.since);
  if (f.state) s.Bind(at++, StateName(*f.state));
  return at;
}

}  // namespace

const char* StateName(DeliveryState state) noexcept { return kStates[static_cast<int>(state)]; }

std::optional<DeliveryState> StateFromName(std::string_view name) noexcept {
  for (int i = 0; i < 5; ++i)
    if (name == kStates[i]) return static_cast<DeliveryState>(i);
  return std::nullopt;
}

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string FormatMs(std::int64_t ms) {
  const auto seconds = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms % 1000));
  return text;
}

bool HasOutbox(Database& db) {
  return db.QueryInt(db.Kind() == Backend::Postgres
                         ? "SELECT COUNT(*) FROM pg_tables WHERE schemaname = current_schema() AND tablename = "
                           "'deliveries'"
                         : "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'deliveries'") > 0;
}

std::vector<Delivery> RecordEvent(Database& db, const OutboxEvent& event, const std::vector<NewDelivery>& deliveries,
                                  std::int64_t repeatIntervalMs, const std::string& leaseOwner,
                                  std::int64_t leaseUntil) {
  // Durable on return: the commit waits for the disk.
  if (db.Kind() == Backend::Sqlite && !db.InTransaction()) db.Exec("PRAGMA synchronous = FULL");
  static thread_local std::mt19937_64 random{std::random_device{}()};
  const std::int64_t now = NowMs();
  std::vector<Delivery> out;
  WriteTransaction tx(db, WriteTransaction::Scope::Rows);
  Statement repeated = db.Prepare(
      "SELECT 1 FROM deliveries WHERE notification_id = ? AND event_key = ? AND node = ? AND state <> 'suppressed' "
      "AND created >= ? LIMIT 1");
  Statement insert = db.Prepare(
      "INSERT INTO deliveries(token, event_key, event_name, node, event_message, event_time, notification_id, "
      "notification_revision, notification_name, kind, host, port, version, time_format, address, subject, message, "
      "state, attempts, next_attempt, lease_owner, lease_until, outcome, created, updated) VALUES(?, ?, ?, ?, ?, ?, "
      "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?) RETURNING " +
      Unaliased(kColumns));
  std::map<std::int32_t, bool> suppressed;  // by notification, asked once
  for (const NewDelivery& n : deliveries) {
    auto known = suppressed.find(n.notificationId);
    if (known == suppressed.end()) {
      bool repeat = false;
      if (repeatIntervalMs > 0) {
        repeated.Bind(1, std::int64_t{n.notificationId})
            .Bind(2, event.key)
            .Bind(3, event.node)
            .Bind(4, now - repeatIntervalMs);
        repeat = repeated.Step();
        repeated.Reset();
      }
      known = suppressed.emplace(n.notificationId, repeat).first;
    }
    const bool suppress = known->second;
    const Destination& d = n.destination;
    const bool leased = !suppress && !leaseOwner.empty();
    const DeliveryState state =
        suppress ? DeliveryState::Suppressed : (leased ? DeliveryState::Sending : DeliveryState::Queued);
    insert.Bind(1, NewToken(random))
        .Bind(2, event.key)
        .Bind(3, event.name)
        .Bind(4, event.node)
        .Bind(5, event.message)
        .Bind(6, event.time)
        .Bind(7, std::int64_t{n.notificationId})
        .Bind(8, n.revision)
        .Bind(9, n.notification)
        .Bind(10, d.kind == Destination::Kind::Mail ? "mail" : "trap")
        .Bind(11, d.host)
        .Bind(12, std::int64_t{d.port})
        .Bind(13, d.version)
        .Bind(14, d.timeFormat)
        .Bind(15, d.address)
        .Bind(16, d.subject)
        .Bind(17, d.message)
        .Bind(18, StateName(state))
        .Bind(19, now);
    if (leased)
      insert.Bind(20, leaseOwner).Bind(21, leaseUntil);
    else
      insert.BindNull(20).BindNull(21);
    insert.Bind(22, suppress ? "the same event was notified within Delivery.RepeatInterval" : "")
        .Bind(23, now)
        .Bind(24, now);
    if (!insert.Step()) throw Error(ErrorCode::Failed, "The outbox did not take the delivery.");
    out.push_back(ReadRow(insert));
    insert.Reset();
  }
  tx.Commit();
  return out;
}

std::vector<Delivery> Claim(Database& db, const std::string& owner, std::int64_t leaseMs, int limit, std::int64_t now) {
  const bool pg = db.Kind() == Backend::Postgres;
  std::vector<Delivery> out;
  WriteTransaction tx(db, WriteTransaction::Scope::Rows);
  Statement claim = db.Prepare(
      "UPDATE deliveries SET state = 'sending', lease_owner = ?, lease_until = ?, updated = ? WHERE id IN (SELECT id "
      "FROM deliveries WHERE state = 'queued' AND next_attempt <= ? ORDER BY next_attempt, id LIMIT ?" +
      std::string(pg ? " FOR UPDATE SKIP LOCKED" : "") + ") RETURNING " + Unaliased(kColumns));
  claim.Bind(1, owner).Bind(2, now + leaseMs).Bind(3, now).Bind(4, now).Bind(5, std::int64_t{limit});
  while (claim.Step()) out.push_back(ReadRow(claim));
  claim.Reset();
  tx.Commit();
  std::sort(out.begin(), out.end(), [](const Delivery& a, const Delivery& b) {
    return a.nextAttempt != b.nextAttempt ? a.nextAttempt < b.nextAttempt : a.id < b.id;
  });
  return out;
}

int RecordAttempts(Database& db, const std::string& owner, const std::vector<AttemptResult>& results,
                   std::int64_t now) {
  if (results.empty()) return 0;
  int recorded = 0;
  WriteTransaction tx(db, WriteTransaction::Scope::Rows);
  Statement release = db.Prepare(
      "UPDATE deliveries SET state = 'queued', lease_owner = NULL, lease_until = NULL, updated = ? WHERE id = ? AND "
      "state = 'sending' AND lease_owner = ?");
  Statement update = db.Prepare(
      "UPDATE deliveries SET state = ?, attempts = attempts + 1, next_attempt = ?, lease_owner = NULL, lease_until = "
      "NULL, outcome = ?, sent = ?, updated = ? WHERE id = ? AND state = 'sending' AND lease_owner = ? RETURNING "
      "attempts");
  Statement attempt = db.Prepare(
      "INSERT INTO delivery_attempts(delivery_id, attempt, at, result, outcome, dispatcher) VALUES(?, ?, ?, ?, ?, ?)");
  for (const AttemptResult& r : results) {
    if (r.what == AttemptResult::What::Released) {
      recorded += static_cast<int>(release.Bind(1, now).Bind(2, r.id).Bind(3, owner).Run());
      continue;
    }
    const char* state = r.what == AttemptResult::What::Sent     ? "sent"
                        : r.what == AttemptResult::What::Failed ? "failed"
                                                                : "queued";
    update.Bind(1, state).Bind(2, r.what == AttemptResult::What::Retry ? r.nextAttempt : now).Bind(3, r.outcome);
    if (r.what == AttemptResult::What::Sent)
      update.Bind(4, now);
    else
      update.BindNull(4);
    update.Bind(5, now).Bind(6, r.id).Bind(7, owner);
    const bool mine = update.Step();
    const std::int64_t number = mine ? update.Int(0) : 0;
    update.Reset();
    if (!mine) continue;
    const char* result = r.what == AttemptResult::What::Retry ? "retry" : state;
    attempt.Bind(1, r.id).Bind(2, number).Bind(3, now).Bind(4, result).Bind(5, r.outcome).Bind(6, owner).Run();
    ++recorded;
  }
  tx.Commit();
  return recorded;
}

int ReleaseLeases(Database& db, const std::string& owner) {
  WriteTransaction tx(db, WriteTransaction::Scope::Rows);
  const auto n = db.Prepare(
                       "UPDATE deliveries SET state = 'queued', lease_owner = NULL, lease_until = NULL, updated = ? "
                       "WHERE state = 'sending' AND lease_owner = ?")
                     .Bind(1, NowMs())
                     .Bind(2, owner)
                     .Run();
  tx.Commit();
  return static_cast<int>(n);
}

int ReclaimExpired(Database& db, std::int64_t now) {
  WriteTransaction tx(db, WriteTransaction::Scope::Rows);
  std::vector<std::pair<std::int64_t, std::string>> expired;
  {
    Statement pick = db.Prepare(std::string("SELECT id, lease_owner FROM deliveries WHERE state = 'sending' AND "
                                            "lease_until < ?") +
                                (db.Kind() == Backend::Postgres ? " FOR UPDATE SKIP LOCKED" : ""));
    pick.Bind(1, now);
    while (pick.Step()) expired.emplace_back(pick.Int(0), pick.IsNull(1) ? "" : pick.Text(1));
  }
  // Whether its sender sent it before it died is not known: an attempt
  // like any other, so that one that kills its sender is not tried forever.
  Statement requeue = db.Prepare(
      "UPDATE deliveries SET state = 'queued', attempts = attempts + 1, next_attempt = ?, outcome = ?, lease_owner = "
      "NULL, lease_until = NULL, updated = ? WHERE id = ? AND state = 'sending' AND lease_until < ? RETURNING "
      "attempts");
  Statement attempt = db.Prepare(
      "INSERT INTO delivery_attempts(delivery_id, attempt, at, result, outcome, dispatcher) VALUES(?, ?, ?, 'lost', "
      "?, ?)");
  int reclaimed = 0;
  for (const auto& [id, owner] : expired) {
    const std::string outcome = "not known: the lease of " + owner + " ran out before it recorded the attempt";
    requeue.Bind(1, now).Bind(2, outcome).Bind(3, now).Bind(4, id).Bind(5, now);
    const bool taken = requeue.Step();
    const std::int64_t number = taken ? requeue.Int(0) : 0;
    requeue.Reset();
    if (!taken) continue;
    attempt.Bind(1, id).Bind(2, number).Bind(3, now).Bind(4, outcome).Bind(5, owner).Run();
    ++reclaimed;
  }
  tx.Commit();
  return reclaimed;
}

int PruneBefore(Database& db, std::int64_t before) {
  WriteTransaction tx(db, WriteTransaction::Scope::Rows);
  const char* finished = "state IN ('sent', 'failed', 'suppressed') AND updated < ?";
  db.Prepare(std::string("DELETE FROM delivery_attempts WHERE delivery_id IN (SELECT id FROM deliveries WHERE ") +
             finished + ")")
      .Bind(1, before)
      .Run();
  const auto n = db.Prepare(std::string("DELETE FROM deliveries WHERE ") + finished).Bind(1, before).Run();
  tx.Commit();
  return static_cast<int>(n);
}

RetryPlan PlanRetry(const DeliverySettings& s, int attempts, std::int64_t eventCreated, std::int64_t now,
                    std::mt19937_64& random) {
  RetryPlan plan;
  if (attempts >= s.attempts) {
    plan.why = "gave up after " + std::to_string(attempts) + (attempts == 1 ? " attempt" : " attempts");
    return plan;
  }
  // Twice as long after each attempt, up to the longest interval, and a
  // random part on top (or, at the longest, below it), so that what failed
  // together does not come back together.
  const double first = s.retryIntervalSeconds * 1000.0, longest = s.retryMaxIntervalSeconds * 1000.0;
  double wait = std::min(longest, first * std::pow(2.0, std::min(attempts - 1, 30))) *
                std::uniform_real_distribution<double>(1.0, 1.25)(random);
  if (wait > longest) wait = longest * std::uniform_real_distribution<double>(0.8, 1.0)(random);
  wait = std::max(wait, first);
  plan.nextAttempt = now + static_cast<std::int64_t>(wait);
  if (plan.nextAttempt > eventCreated + std::int64_t{s.retryMaxAgeSeconds} * 1000) {
    plan.why = "gave up: the next attempt would be more than Delivery.RetryMaxAge (" +
               std::to_string(s.retryMaxAgeSeconds) + " s) after the event";
    return plan;
  }
  plan.retry = true;
  return plan;
}

std::vector<Delivery> ListDeliveries(Database& db, const LogFilter& filter) {
  std::vector<Delivery> out;
  if (!HasOutbox(db)) return out;
  ReadTransaction read(db);
  Statement s = db.Prepare(std::string("SELECT ") + kColumns + " FROM deliveries d" + Where(filter, "d.created") +
                           " ORDER BY d.created DESC, d.id DESC LIMIT ?");
  s.Bind(BindWhere(s, filter, 1), std::int64_t{filter.limit});
  while (s.Step()) out.push_back(ReadRow(s));
  return out;
}

std::vector<AttemptEntry> ListAttempts(Database& db, const LogFilter& filter) {
  std::vector<AttemptEntry> out;
  if (!HasOutbox(db)) return out;
  ReadTransaction read(db);
  Statement s = db.Prepare(std::string("SELECT ") + kColumns +
                           ", COALESCE(a.attempt, 0), COALESCE(a.at, d.created), COALESCE(a.result, d.state), "
                           "COALESCE(a.outcome, d.outcome), COALESCE(a.dispatcher, '') FROM deliveries d LEFT JOIN "
                           "delivery_attempts a ON a.delivery_id = d.id" +
                           Where(filter, "COALESCE(a.at, d.created)") +
                           " AND (a.attempt IS NOT NULL OR d.attempts = 0) ORDER BY COALESCE(a.at, d.created) DESC, "
                           "d.id DESC, COALESCE(a.attempt, 0) DESC LIMIT ?");
  s.Bind(BindWhere(s, filter, 1), std::int64_t{filter.limit});
  while (s.Step()) {
    AttemptEntry e;
    e.delivery = ReadRow(s);
    e.attempt = ToInt32(s.Int(kColumnCount), "attempt");
    e.at = s.Int(kColumnCount + 1);
    e.result = s.Text(kColumnCount + 2);
    e.outcome = s.Text(kColumnCount + 3);
    e.dispatcher = s.Text(kColumnCount + 4);
    out.push_back(std::move(e));
  }
  return out;
}

std::map<std::int32_t, Delivery> LastDeliveries(Database& db) {
  std::map<std::int32_t, Delivery> out;
  if (!HasOutbox(db)) return out;
  ReadTransaction read(db);
  Statement s = db.Prepare(std::string("SELECT ") + kColumns +
                           " FROM deliveries d WHERE d.id IN (SELECT (SELECT e.id FROM deliveries e WHERE "
                           "e.notification_id = m.notification_id AND e.created = m.created ORDER BY CASE e.state "
                           "WHEN 'failed' THEN 0 WHEN 'sending' THEN 1 WHEN 'queued' THEN 2 WHEN 'sent' THEN 3 ELSE 4 "
                           "END, e.id DESC LIMIT 1) FROM (SELECT notification_id, MAX(created) AS created FROM "
                           "deliveries GROUP BY notification_id) m)");
  while (s.Step()) {
    Delivery d = ReadRow(s);
    out[d.notificationId] = std::move(d);
  }
  return out;
}

}  // namespace quillmont::store
