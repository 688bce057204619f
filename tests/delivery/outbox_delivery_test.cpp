// Reliable delivery with real processes, receivers and crashes: receivers
// that come back, dispatchers killed with SIGKILL, several dispatchers on one
// outbox (a file, the tests' own PostgreSQL server), quillmont-notify killed
// mid-run. Receivers count by delivery id. QUILLMONT_OUTBOX_DEEP=1 runs the
// long versions (.ci/deep).
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <map>
#include <random>
#include <set>

#include "delivery/outbox_sender.h"
#include "store/definition_store.h"
#include "store/outbox.h"
#include "store/seed.h"
#include "tests/support/loopback_receivers.h"
#include "tests/support/pg/pg_cluster.h"

namespace quillmont::delivery {
namespace {

using store::DeliveryState;
using testing::TempDir;
using Clock = std::chrono::steady_clock;

bool Deep() { return std::getenv("QUILLMONT_OUTBOX_DEEP") != nullptr; }

// How often each delivery id arrived: traps counted, mails by Message-ID.
std::map<std::string, int> Arrived(std::map<std::string, int> seen, const testing::MailReceiver& mails) {
  for (const std::string& mail : mails.Mails())
    if (const auto at = mail.find("Message-ID: <delivery."); at != std::string::npos) ++seen[mail.substr(at + 22, 32)];
  return seen;
}
std::map<std::string, int> Arrived(const testing::TrapReceiver& traps, const testing::MailReceiver& mails) {
  std::map<std::string, int> seen;
  const std::string log = traps.Log(), mark = ".1.3.6.1.4.1.32473.1.2.7 = STRING: \"";
  for (auto at = log.find(mark); at != std::string::npos; at = log.find(mark, at + 1))
    ++seen[log.substr(at + mark.size(), 32)];
  return Arrived(seen, mails);
}

std::vector<store::Delivery> Rows(const std::string& db) {
  return store::ListDeliveries(store::Store::Open(db)->Db(), {std::nullopt, std::nullopt, std::nullopt, 1 << 30});
}
int Count(const std::string& db, DeliveryState state) {
  auto s = store::Store::Open(db);
  return static_cast<int>(
      s->Db().QueryInt(std::string("SELECT COUNT(*) FROM deliveries WHERE state = '") + store::StateName(state) + "'"));
}

// Waits up to `seconds` for the condition.
bool WaitFor(int seconds, const std::function<bool()>& condition) {
  const auto until = Clock::now() + std::chrono::seconds(seconds);
  while (!condition() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return condition();
}

testing::Child Dispatcher(const std::string& db, const std::string& out, std::vector<std::string> more = {}) {
  std::vector<std::string> args{QUILLMONT_DISPATCH, "--db", db};
  args.insert(args.end(), more.begin(), more.end());
  return testing::Child(args, out);
}

// An outbox of `events` events, each to a trap and a mail, recorded a
// hundred deliveries to a transaction; settings for quick retries.
std::string Outbox(const std::string& location, int events, int trapPort, int smtpPort) {
  auto s = store::Store::Open(location);
  store::DeliverySettings settings;
  settings.smtpServer = "127.0.0.1";
  settings.smtpPort = smtpPort;
  settings.connectTimeoutSeconds = settings.timeoutSeconds = 2;
  settings.retryIntervalSeconds = 1;
  settings.retryMaxIntervalSeconds = 2;
  store::SaveDeliverySettings(*s, settings);
  for (int i = 0; i < events; i += 50) {
    std::vector<store::NewDelivery> batch;
    for (int j = i; j < std::min(events, i + 50); ++j) {
      batch.push_back({1, 1, "N", {store::Destination::Kind::Trap, "127.0.0.1", trapPort, "SNMP v2c", "UTC"}});
      batch.push_back({1, 1, "N", {}});
      batch.back().destination = {store::Destination::Kind::Mail, "", 0, "", "", "r@example.net", "s", "m"};
    }
    store::RecordEvent(s->Db(), {"node.down", "Node Down", "n", "m", store::NowMs()}, batch);
  }
  return location;
}

TEST(Outbox, ReceiversThatComeBackGetEveryDeliveryOnceWithinTheBackoffAndSigtermEndsTheDispatcher) {
  TempDir dir;
  const int trapPort = testing::FreePort(SOCK_DGRAM), smtpPort = testing::FreePort(SOCK_STREAM);
  const std::string db = dir.File("q.db");
  store::SeedDatabase(*store::Store::Open(db));
  testing::Output("sqlite3 " + db +
                  " \"UPDATE snmp_managers SET host = '127.0.0.1', port = " + std::to_string(trapPort) +
                  "; INSERT INTO settings VALUES('Delivery.SmtpServer', '127.0.0.1'), ('Delivery.SmtpPort', '" +
                  std::to_string(smtpPort) +
                  "'), ('Delivery.RetryInterval', '1'), ('Delivery.RetryMaxInterval', '2'), "
                  "('Delivery.ConnectTimeout', '1'), ('Delivery.Attempts', '100')\"");
  int code = -1;
  const std::string notify = std::string(QUILLMONT_NOTIFY) + " --event node.down --timeout 5 --db " + db;
  const std::string once = testing::Output(notify + " --no-queue", &code);
  EXPECT_EQ(code, 1) << once;
  EXPECT_NE(once.find("failed: \""), std::string::npos) << once;
  EXPECT_TRUE(Rows(db).empty()) << "--no-queue recorded something";
  const std::string said = testing::Output(notify, &code);
  EXPECT_EQ(code, 1) << said;
  EXPECT_NE(said.find("queued: \""), std::string::npos) << said;
  const int recorded = static_cast<int>(Rows(db).size());
  ASSERT_GE(recorded, 3);
  ASSERT_EQ(Count(db, DeliveryState::Queued), recorded);
  auto dispatcher = Dispatcher(db, dir.File("dispatch.out"));
  std::this_thread::sleep_for(std::chrono::seconds(Deep() ? 30 : 3));
  testing::TrapReceiver traps(dir, trapPort);
  testing::MailReceiver mails(dir, {}, smtpPort);
  ASSERT_TRUE(traps.Ready() && mails.Ready());
  const auto up = Clock::now();
  ASSERT_TRUE(WaitFor(20, [&] { return Count(db, DeliveryState::Sent) == recorded; }))
      << testing::ReadText(dir.File("dispatch.out"));
  // The longest wait between attempts is 2 s; the rest is sending and
  // looking (a bound with room for a loaded machine).
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - up).count(), 8.0);
  const auto stopping = Clock::now();
  const int status = dispatcher.Stop(SIGTERM);
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - stopping).count(), 5.0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  std::map<std::int64_t, int> logged;
  for (const auto& a :
       store::ListAttempts(store::Store::Open(db)->Db(), {std::nullopt, std::nullopt, std::nullopt, 10000}))
    ++logged[a.delivery.id];
  for (const store::Delivery& d : Rows(db)) {
    EXPECT_GE(d.attempts, 2) << d.token;
    EXPECT_EQ(logged[d.id], d.attempts) << d.token;
  }
  ASSERT_TRUE(WaitFor(5, [&] { return static_cast<int>(Arrived(traps, mails).size()) == recorded; }));
  for (const auto& [token, times] : Arrived(traps, mails)) EXPECT_EQ(times, 1) << token;
  // A recipient the server rejects fails for good at once; a repeat within
  // Delivery.RepeatInterval is recorded and not sent.
  testing::Output("sqlite3 " + db +
                  " \"INSERT INTO email_recipients SELECT notification_id, 99, 'refuse@example.net' "
                  "FROM notification_event_types WHERE type_key = 'node.down'\"");
  EXPECT_NE(testing::Output(notify, &code).find("failed: \""), std::string::npos);
  EXPECT_EQ(code, 5);
  testing::Output("sqlite3 " + db + " \"INSERT INTO settings VALUES('Delivery.RepeatInterval', '3600')\"");
  const std::string repeated = testing::Output(notify, &code);
  EXPECT_EQ(code, 0) << repeated;
  EXPECT_EQ(std::count(repeated.begin(), repeated.end(), '\n'), Count(db, DeliveryState::Suppressed)) << repeated;
  EXPECT_EQ(repeated.find("suppressed: \""), 0u) << repeated;
}

// SIGKILL at random moments while the outbox drains: every delivery
// arrives; one arrives twice only when a lease of it ran out (its dispatcher
// died between sending and recording); none is left sending.
TEST(Outbox, DispatchersKilledAtRandomLoseNothingAndRepeatOnlyWhatWasInFlight) {
  TempDir dir;
  testing::UdpCounter traps;
  testing::MailReceiver mails(dir);
  ASSERT_TRUE(mails.Ready());
  const int events = Deep() ? 500 : 100;
  const std::string db = Outbox(dir.File("q.db"), events, traps.Port(), mails.Port());
  std::mt19937 random(std::random_device{}());
  for (int kill = 0; kill < 20; ++kill) {
    auto d = Dispatcher(db, dir.File("d.out"), {"--lease", "3", "--batch", "20"});
    std::this_thread::sleep_for(std::chrono::milliseconds(50 + random() % 300));
    d.Stop(SIGKILL);
  }
  ASSERT_TRUE(WaitFor(60, [&] {
    testing::Output(std::string(QUILLMONT_DISPATCH) + " --once --lease 3 --db " + db);
    return Count(db, DeliveryState::Sent) == 2 * events;
  })) << Count(db, DeliveryState::Sending);
  std::set<std::string> lost;
  for (const auto& a :
       store::ListAttempts(store::Store::Open(db)->Db(), {std::nullopt, std::nullopt, std::nullopt, 1 << 30}))
    if (a.result == "lost") lost.insert(a.delivery.token);
  EXPECT_FALSE(lost.empty()) << "no kill found a delivery in flight";
  const auto arrived = Arrived(traps.Ids(), mails);
  for (const store::Delivery& d : Rows(db)) {
    const auto at = arrived.find(d.token);
    ASSERT_NE(at, arrived.end()) << d.token << " never arrived";
    EXPECT_TRUE(at->second == 1 || lost.count(d.token)) << d.token << " arrived twice, though never lost";
  }
}

// SIGTERM while a mail server keeps a send waiting: the dispatcher puts it
// back, uncounted, and ends within 5 seconds.
TEST(Outbox, SigtermPutsBackWhatIsInFlightWithinFiveSeconds) {
  TempDir dir;
  testing::UdpCounter traps;
  testing::SilentServer silent;
  const std::string db = Outbox(dir.File("q.db"), 1, traps.Port(), silent.Port());
  testing::Output("sqlite3 " + db + " \"UPDATE settings SET value = '30' WHERE key LIKE 'Delivery.%Timeout'\"");
  auto dispatcher = Dispatcher(db, dir.File("d.out"));
  ASSERT_TRUE(WaitFor(10, [&] { return Count(db, DeliveryState::Sent) == 1; }));
  const auto stopping = Clock::now();
  EXPECT_EQ(dispatcher.Stop(SIGTERM), 0);
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - stopping).count(), 5.0);
  const auto rows = Rows(db);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].state, DeliveryState::Queued);  // the mail (recorded last)
  EXPECT_EQ(rows[0].attempts, 0);
}

// Several dispatchers on one outbox: each delivery exactly once, and each
// dispatcher did its share.
class ScaleOut : public ::testing::TestWithParam<store::Backend> {};
INSTANTIATE_TEST_SUITE_P(Backends, ScaleOut, ::testing::Values(store::Backend::Sqlite, store::Backend::Postgres),
                         [](const auto& info) { return info.param == store::Backend::Sqlite ? "Sqlite" : "Postgres"; });

TEST_P(ScaleOut, EachDeliveryGoesOutExactlyOnce) {
  TempDir dir;
  testing::UdpCounter traps;
  testing::MailReceiver mails(dir);
  ASSERT_TRUE(mails.Ready());
  const bool pg = GetParam() == store::Backend::Postgres;
  const int events = Deep() ? 10000 : 300;
  const std::string db =
      Outbox(pg ? testing::PgCluster::Shared().NewDatabase() : dir.File("q.db"), events, traps.Port(), mails.Port());
  std::vector<std::unique_ptr<testing::Child>> dispatchers;
  for (int i = 0; i < (pg ? 3 : 2); ++i)
    dispatchers.push_back(std::make_unique<testing::Child>(
        std::vector<std::string>{QUILLMONT_DISPATCH, "--db", db, "--batch", "50"}, dir.File(std::to_string(i))));
  EXPECT_TRUE(WaitFor(Deep() ? 600 : 60, [&] { return Count(db, DeliveryState::Sent) == 2 * events; }));
  for (std::size_t i = 0; i < dispatchers.size(); ++i) {
    EXPECT_EQ(dispatchers[i]->Stop(SIGTERM), 0);
    EXPECT_NE(testing::ReadText(dir.File(std::to_string(i))).find("sent: "), std::string::npos) << i;
  }
  ASSERT_TRUE(WaitFor(10, [&] { return static_cast<int>(Arrived(traps.Ids(), mails).size()) == 2 * events; }));
  for (const auto& [token, times] : Arrived(traps.Ids(), mails)) ASSERT_EQ(times, 1) << token;
}

// What a sender records and prints of each outcome: its kind decides; a
// retry says when, the last try why it was the last.
TEST(Outbox, EachOutcomeIsRecordedAndShownAsWhatBecameOfIt) {
  store::Delivery d;
  d.id = 7, d.notification = "N";
  DeliverySettings s;
  s.attempts = 3, s.retryIntervalSeconds = s.retryMaxIntervalSeconds = 10;  // a wait of exactly 10 s
  std::mt19937_64 random(1);
  using F = Outcome::Failure;
  for (const auto& [tried, failure, line] : std::initializer_list<std::tuple<int, F, std::string>>{
           {2, F::None, "sent: \"N\": to x (delivery 7, attempt 3)"},
           {2, F::Cancelled, "released: \"N\": to x: why (delivery 7, attempt 3)"},
           {2, F::Permanent, "failed: \"N\": to x: why (delivery 7, attempt 3)"},
           {2, F::Transient, "failed: \"N\": to x: why; gave up after 3 attempts (delivery 7, attempt 3)"},
           {1, F::Transient,
            "queued: \"N\": to x: why; next attempt at 1970-01-01T00:00:10.000Z (delivery 7, attempt 2)"},
       }) {
    d.attempts = tried;
    const Outcome o{"N", "to x", failure == F::None, "why", failure};
    EXPECT_EQ(AttemptLine(d, o, ResultOf(d, o, s, random, 0), true), line);
  }
}

// quillmont-notify killed at random points: a run either recorded all of
// its event's deliveries, which are then all delivered, or none.
TEST(Outbox, NotifyKilledAnywhereRecordsAllOrNothingAndWhatIsRecordedArrives) {
  TempDir dir;
  testing::UdpCounter traps;
  testing::MailReceiver mails(dir);
  ASSERT_TRUE(mails.Ready());
  const std::string db = dir.File("q.db");
  store::SeedDatabase(*store::Store::Open(db));
  testing::Output("sqlite3 " + db + " \"UPDATE snmp_managers SET host = '127.0.0.1', port = " +
                  std::to_string(traps.Port()) + "; INSERT INTO settings VALUES('Delivery.SmtpServer', '127.0.0.1'), " +
                  "('Delivery.SmtpPort', '" + std::to_string(mails.Port()) + "')\"");
  const std::string notify = std::string(QUILLMONT_NOTIFY) + " --event node.down --timeout 1 --db " + db;
  const std::string listed = testing::Output(notify + " --dry-run");
  const auto destinations = std::count(listed.begin(), listed.end(), '\n');
  std::mt19937 random(std::random_device{}());
  for (int run = 0; run < 12; ++run) {
    testing::Child child({"sh", "-c", "exec " + notify + " --message run" + std::to_string(run)}, dir.File("n.out"));
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 60));
    child.Stop(SIGKILL);
  }
  std::map<std::string, int> perRun;
  for (const store::Delivery& d : Rows(db)) ++perRun[d.event.message];
  EXPECT_FALSE(perRun.empty()) << "no run got as far as recording";
  for (const auto& [run, rows] : perRun) EXPECT_EQ(rows, destinations) << run;
  // Once the killed runs' leases run out, a dispatcher sends what they left.
  ASSERT_TRUE(WaitFor(30, [&] {
    testing::Output(std::string(QUILLMONT_DISPATCH) + " --once --db " + db);
    return Count(db, DeliveryState::Sent) == static_cast<int>(Rows(db).size());
  }));
  const auto arrived = Arrived(traps.Ids(), mails);
  for (const store::Delivery& d : Rows(db)) EXPECT_TRUE(arrived.count(d.token)) << d.token << " never arrived";
}

}  // namespace
}  // namespace quillmont::delivery
