#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "store/database.h"
#include "store/delivery_settings.h"

// The outbox: one row per destination of each event (table deliveries), the
// destination kept as it was when the event came, and one row per attempt
// (delivery_attempts). quillmont-notify records into it, dispatchers claim
// due rows with a lease, send them and record each attempt; the editors read
// it as the delivery log. Times are milliseconds since the epoch (UTC).
namespace quillmont::store {

// queued: due at next_attempt; sending: leased to one sender until
// lease_until; sent, failed and suppressed are final.
enum class DeliveryState { Queued, Sending, Sent, Failed, Suppressed };
// "queued", "sending", "sent", "failed", "suppressed".
const char* StateName(DeliveryState state) noexcept;
// The state of that name, or nullopt.
std::optional<DeliveryState> StateFromName(std::string_view name) noexcept;

std::int64_t NowMs();
// "2026-12-06T17:30:00.123Z".
std::string FormatMs(std::int64_t ms);

struct OutboxEvent {
  std::string key, name, node, message;
  std::int64_t time = 0;
};

// Where a delivery goes, as it was when the event came.
struct Destination {
  enum class Kind { Trap, Mail };
  Kind kind = Kind::Trap;
  std::string host{};  // a trap's manager
  int port = 0;
  std::string version{}, timeFormat{};
  std::string address{};             // a mail's recipient
  std::string subject{}, message{};  // a mail's texts, expanded
};

// A delivery to record: a destination of a notification.
struct NewDelivery {
  std::int32_t notificationId = 0;
  std::int64_t revision = 0;
  std::string notification;
  Destination destination;
};

// A row of the outbox.
struct Delivery {
  std::int64_t id = 0;
  std::string token;  // sent with every attempt, so receivers can drop duplicates
  OutboxEvent event;
  std::int32_t notificationId = 0;
  std::int64_t revision = 0;
  std::string notification;
  Destination destination;
  DeliveryState state = DeliveryState::Queued;
  int attempts = 0;
  std::int64_t nextAttempt = 0;
  std::string leaseOwner;  // "" when not leased
  std::int64_t leaseUntil = 0;
  std::string outcome;                              // the last attempt's, or why it is in its state
  std::int64_t created = 0, sent = 0, updated = 0;  // sent: 0 until sent
};

// Whether the database has an outbox (an older one opened read-only has not).
bool HasOutbox(Database& db);

// Records an event's deliveries in one transaction that is durable when it
// returns (a file's commit synced to disk; a server's committed). With a
// lease owner they are recorded as being sent by it until leaseUntil (the
// caller tries them at once); else queued, due now. With repeatIntervalMs
// > 0, a notification that had a delivery (not itself suppressed) for the
// same event key and node within that interval gets its rows recorded as
// suppressed. Returns the rows as recorded, in the order given.
std::vector<Delivery> RecordEvent(Database& db, const OutboxEvent& event, const std::vector<NewDelivery>& deliveries,
                                  std::int64_t repeatIntervalMs = 0, const std::string& leaseOwner = "",
                                  std::int64_t leaseUntil = 0);

// Leases up to `limit` deliveries due by `now` to owner until now + leaseMs,
// oldest due first. Two senders never get the same row: on a server the
// claim skips rows another is claiming (FOR UPDATE SKIP LOCKED); on a file
// it holds the write lock.
std::vector<Delivery> Claim(Database& db, const std::string& owner, std::int64_t leaseMs, int limit,
                            std::int64_t now = NowMs());

// What became of an attempt.
struct AttemptResult {
  enum class What { Sent, Retry, Failed, Released };
  std::int64_t id = 0;
  What what = What::Retry;
  std::string outcome;
  std::int64_t nextAttempt = 0;  // for Retry
};
// Records attempts of deliveries leased to owner, in one transaction (each
// an attempt row, except Released: back to queued, uncounted, when the
// sender stops before trying). A row no longer leased to owner (its lease
// expired and another took it) is left alone. Returns how many were recorded.
int RecordAttempts(Database& db, const std::string& owner, const std::vector<AttemptResult>& results,
                   std::int64_t now = NowMs());

// Every delivery still leased to owner back to queued (a sender stopping).
int ReleaseLeases(Database& db, const std::string& owner);
// Deliveries whose lease expired before now (their sender died) back to
// queued, due at once, each with an attempt "lost" in the log (it may or
// may not have been sent).
int ReclaimExpired(Database& db, std::int64_t now = NowMs());
// Deletes finished deliveries (sent, failed, suppressed) last changed
// before `before`, with their attempts.
int PruneBefore(Database& db, std::int64_t before);

// What comes after a failed attempt that may pass: the next try, or failed
// for good when the attempts or the age are used up. `attempts` counts the
// one that failed.
struct RetryPlan {
  bool retry = false;
  std::int64_t nextAttempt = 0;
  std::string why;  // when not: "gave up after 10 attempts"
};
RetryPlan PlanRetry(const DeliverySettings& settings, int attempts, std::int64_t eventCreated, std::int64_t now,
                    std::mt19937_64& random);

// The delivery log, newest first.
struct LogFilter {
  std::optional<std::int32_t> notification;
  std::optional<std::int64_t> since;  // created (deliveries) or made (attempts) at or after
  std::optional<DeliveryState> state;
  int limit = 200;
};
std::vector<Delivery> ListDeliveries(Database& db, const LogFilter& filter = {});

// One attempt with its delivery; a delivery not yet tried (queued,
// suppressed) appears once with attempt 0, at its creation.
struct AttemptEntry {
  Delivery delivery;
  int attempt = 0;
  std::int64_t at = 0;
  std::string result;  // "sent", "retry", "failed", "lost", or the state when not tried
  std::string outcome, dispatcher;
};
std::vector<AttemptEntry> ListAttempts(Database& db, const LogFilter& filter = {});

// The last delivery of each notification that has one: of its newest
// event's destinations the least done (failed, then sending, queued, sent),
// so that one destination still waiting is not hidden by others sent.
std::map<std::int32_t, Delivery> LastDeliveries(Database& db);

}  // namespace quillmont::store
