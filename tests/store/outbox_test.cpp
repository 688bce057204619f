// The outbox on both backends: recording, leases that no two senders share,
// attempts, suppression, reclaiming, pruning and the log; and the step that
// adds it to an older database, which a read-only open never takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <set>

#include "store/definition_store.h"
#include "store/outbox.h"
#include "tests/store/backends.h"

namespace quillmont::store {
namespace {

class Outbox : public BackendTest {
 protected:
  std::shared_ptr<Store> Open() { return Store::Open(location); }
  std::vector<NewDelivery> Destinations(std::int32_t notification, int count) {
    std::vector<NewDelivery> out;
    for (int i = 0; i < count; ++i)  // mails and traps in turn
      out.push_back({notification, 3, "N" + std::to_string(notification),
                     i % 2 ? Destination{Destination::Kind::Trap, "nms.example", 1162, "SNMP v2c", "UTC"}
                           : Destination{Destination::Kind::Mail, "", 0, "", "",
                                         "a" + std::to_string(i) + "@example.net", "s", "m"}});
    return out;
  }
  // Every field of a row but its token and times.
  static auto Fields(const Delivery& d) {
    const Destination& t = d.destination;
    return std::tuple(d.event.key, d.event.name, d.event.node, d.event.message, d.event.time, d.notificationId,
                      d.revision, d.notification, t.kind, t.host, t.port, t.version, t.timeFormat, t.address, t.subject,
                      t.message, d.state, d.attempts, d.leaseOwner, d.leaseUntil, d.outcome);
  }
  const std::string location = NewLocation();
  const OutboxEvent event{"node.down", "Node Down", "core-sw1", "no answer", 1700000000000};
};

QM_ON_BOTH_BACKENDS(Outbox);

TEST_P(Outbox, EachDueDeliveryGoesToOneSenderAndEveryAttemptIsLogged) {
  auto store = Open();
  const auto recorded = RecordEvent(store->Db(), event, Destinations(1, 300));
  ASSERT_EQ(recorded.size(), 300u);
  EXPECT_NE(recorded[0].token, recorded[1].token);
  // Three senders on connections of their own claim at once.
  std::vector<std::future<std::vector<Delivery>>> claims;
  for (int i = 0; i < 3; ++i)
    claims.push_back(std::async(std::launch::async, [this, i] {
      auto own = Open();
      std::vector<Delivery> got;
      for (std::vector<Delivery> batch; !(batch = Claim(own->Db(), "s" + std::to_string(i), 60000, 7)).empty();)
        got.insert(got.end(), batch.begin(), batch.end());
      return got;
    }));
  std::set<std::int64_t> ids;
  std::size_t total = 0;
  std::vector<Delivery> first;
  for (auto& c : claims) {
    auto got = c.get();
    total += got.size();
    for (const Delivery& d : got) ids.insert(d.id);
    if (first.empty()) first = got;
  }
  EXPECT_EQ(total, 300u);
  EXPECT_EQ(ids.size(), 300u);
  ASSERT_GE(first.size(), 3u);
  const std::string owner = first[0].leaseOwner;
  // Another sender's results for these rows are not taken.
  EXPECT_EQ(RecordAttempts(store->Db(), "intruder", {{first[0].id, AttemptResult::What::Sent, "sent", 0}}), 0);
  const std::int64_t now = NowMs();
  EXPECT_EQ(RecordAttempts(store->Db(), owner,
                           {{first[0].id, AttemptResult::What::Sent, "sent", 0},
                            {first[1].id, AttemptResult::What::Retry, "connection refused", now + 3600000},
                            {first[2].id, AttemptResult::What::Failed, "550 no such mailbox", 0}},
                           now),
            3);
  // Each row as the log shows it.
  auto shown = [rows = ListDeliveries(store->Db(), {{}, {}, {}, 1000}), &first](std::size_t i) {
    const Delivery& d = *std::find_if(rows.begin(), rows.end(), [&](const Delivery& r) { return r.id == first[i].id; });
    return std::tuple(d.state, d.attempts, d.nextAttempt, d.leaseOwner, d.outcome, d.sent, d.updated);
  };
  EXPECT_EQ(shown(0), std::tuple(DeliveryState::Sent, 1, now, "", "sent", now, now));
  EXPECT_EQ(shown(1), std::tuple(DeliveryState::Queued, 1, now + 3600000, "", "connection refused", 0, now));
  EXPECT_EQ(shown(2), std::tuple(DeliveryState::Failed, 1, now, "", "550 no such mailbox", 0, now));
  EXPECT_EQ(ReleaseLeases(store->Db(), owner), static_cast<int>(first.size()) - 3);
  EXPECT_EQ(Claim(store->Db(), "late", 60000, 1000).size(), first.size() - 3);  // released: due again
  EXPECT_EQ(ListDeliveries(store->Db(), {1, std::nullopt, DeliveryState::Queued, 10}).size(), 1u);
  EXPECT_EQ(LastDeliveries(store->Db()).at(1).id, first[2].id);  // the failed one stands for the event
  // Leases that ran out come back; finished rows go once old enough.
  EXPECT_EQ(ReclaimExpired(store->Db(), now + 61000), 297);
  std::map<std::int64_t, std::string> results;
  for (const auto& a : ListAttempts(store->Db(), {{}, {}, {}, 1000}))
    results[a.delivery.id] += a.result + "/" + std::to_string(a.attempt) + " " + a.outcome + " by " + a.dispatcher;
  EXPECT_EQ(results[first[0].id], "sent/1 sent by " + owner);
  EXPECT_EQ(results[first[1].id], "retry/1 connection refused by " + owner);
  EXPECT_EQ(results[first[2].id], "failed/1 550 no such mailbox by " + owner);
  EXPECT_EQ(PruneBefore(store->Db(), now + 61001), 2);
}

TEST_P(Outbox, ARepeatWithinTheIntervalIsSuppressedPerNotificationAndLeasedRowsWaitForTheirSender) {
  auto store = Open();
  RecordEvent(store->Db(), event, Destinations(1, 2), 60000);
  OutboxEvent other = event;
  other.node = "core-sw2";
  const auto again = RecordEvent(store->Db(), event, Destinations(1, 2), 60000);
  RecordEvent(store->Db(), other, Destinations(1, 1), 60000);  // another node: no repeat
  const std::int64_t until = NowMs() + 60000;
  RecordEvent(store->Db(), event, Destinations(2, 2), 60000, "notify", until);
  EXPECT_EQ(again[0].state, DeliveryState::Suppressed);
  // Read back as recorded (the newest: the trap), leased to the sender that recorded it.
  EXPECT_EQ(
      Fields(ListDeliveries(store->Db(), LogFilter{2, {}, {}, 1}).at(0)),
      std::tuple("node.down", "Node Down", "core-sw1", "no answer", 1700000000000, 2, 3, "N2", Destination::Kind::Trap,
                 "nms.example", 1162, "SNMP v2c", "UTC", "", "", "", DeliveryState::Sending, 0, "notify", until, ""));
  EXPECT_EQ(RecordEvent(store->Db(), event, Destinations(1, 1))[0].state, DeliveryState::Queued);  // off
  // The first two, the other node's and the last: not the repeats, nor the ones notify is sending.
  EXPECT_EQ(Claim(store->Db(), "d", 1000, 100).size(), 4u);
}

TEST_P(Outbox, AnOlderDatabaseGainsTheOutboxOnlyWhenOpenedForWriting) {
  OpenOptions old;
  old.upToVersion = 4;
  Store::Open(location, old);
  OpenOptions readOnly;
  readOnly.access = Access::ReadOnly;
  auto reader = Store::Open(location, readOnly);
  EXPECT_EQ(reader->SchemaVersion(), 4);
  EXPECT_EQ(std::tuple(ListAttempts(reader->Db()).size(), LastDeliveries(reader->Db()).size(), HasOutbox(reader->Db())),
            std::tuple(0u, 0u, false));
  reader.reset();
  auto writer = Open();
  EXPECT_EQ(writer->SchemaVersion(), kSchemaVersion);
  EXPECT_EQ(RecordEvent(writer->Db(), event, Destinations(1, 1)).size(), 1u);
}

// Each wait lies between the first and the longest interval, grows until
// the longest and varies; the attempts and the age end the retries.
TEST(RetryPlan, BacksOffWithJitterWithinTheIntervalsUntilTheAttemptsOrTheAgeRunOut) {
  DeliverySettings s;  // 10 s to 10 min, 10 attempts, 24 h
  std::mt19937_64 random(7);
  const std::int64_t created = 1000000000, now = created + 1000;
  for (int attempts = 1; attempts < 10; ++attempts) {
    std::set<std::int64_t> waits;
    for (int i = 0; i < 20; ++i) {
      const RetryPlan plan = PlanRetry(s, attempts, created, now, random);
      ASSERT_TRUE(plan.retry) << attempts;
      waits.insert(plan.nextAttempt - now);
    }
    EXPECT_GE(*waits.begin(), std::min<std::int64_t>(600000 * 4 / 5, 10000LL << (attempts - 1))) << attempts;
    EXPECT_LE(*waits.rbegin(), 600000) << attempts;
    EXPECT_GT(waits.size(), 10u) << attempts;
  }
  EXPECT_EQ(PlanRetry(s, 10, created, now, random).why, "gave up after 10 attempts");
  // With one interval the wait is exactly it: the age holds to the millisecond.
  s.retryIntervalSeconds = s.retryMaxIntervalSeconds = 10;
  const RetryPlan last = PlanRetry(s, 9, created, created + 86390000, random);
  EXPECT_EQ(std::pair(last.retry, last.nextAttempt), std::pair(true, created + 86400000));
  EXPECT_FALSE(PlanRetry(s, 1, created, created + 86390001, random).retry);
}

// Each number's last value taken and first refused on both sides, so that a
// bound moved by one is seen; times in the log are written in UTC.
TEST(DeliverySettingsCheck, EachNumberHasExactlyItsBoundsAndLogTimesAreUtc) {
  using S = DeliverySettings;
  struct Bound {
    int S::*field;
    int low, high;
  };
  for (const Bound& b :
       {Bound{&S::smtpPort, 1, 65535}, Bound{&S::connectTimeoutSeconds, 1, 600}, Bound{&S::timeoutSeconds, 1, 3600},
        Bound{&S::retryIntervalSeconds, 1, 600}, Bound{&S::retryMaxIntervalSeconds, 10, 86400},
        Bound{&S::attempts, 1, 1000}, Bound{&S::retryMaxAgeSeconds, 1, 2592000},
        Bound{&S::repeatIntervalSeconds, 0, 2592000}, Bound{&S::keepDays, 1, 3650}}) {
    for (const auto& [value, taken] :
         {std::pair{b.low - 1, false}, {b.low, true}, {b.high, true}, {b.high + 1, false}}) {
      S s;
      s.*b.field = value;
      EXPECT_EQ(Failure([&] { CheckDeliverySettings(s); }) == "(done)", taken)
          << b.low << ".." << b.high << ": " << value;
    }
  }
  EXPECT_EQ(FormatMs(1700000000123), "2023-11-14T22:13:20.123Z");
  EXPECT_EQ(FormatMs(951782400000), "2000-02-29T00:00:00.000Z");
}

}  // namespace
}  // namespace quillmont::store
