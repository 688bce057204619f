// Opening and saving a notification with 10,000 managers, 10,000 recipients
// and 10,000 chosen event types, on a SQLite file and on a PostgreSQL server
// of the benchmark's own (started as the tests start theirs).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "quillmont/framework/definition.h"
#include "store/definition_store.h"
#include "store/seed.h"
#include "tests/support/pg/pg_cluster.h"

namespace quillmont::store {
namespace {

constexpr int kMembers = 10000;

std::string Key(int i) { return "bench.type-" + std::to_string(i); }

// The chosen rows as the selector hands them over, each key with its
// appended character.
class ChosenRows final : public SelectorRows {
  struct Row final : SelectorRow {
    explicit Row(std::string k) : key(std::move(k)) {}
    std::string Key() const override { return key; }
    std::string Text() const override { return key; }
    std::string SubItem(int) const override { return {}; }
    void SetSubItem(int, const std::string&) override {}
    bool Selected() const override { return true; }
    void SetSelected(bool) override {}
    std::string key;
  };

 public:
  int Count() const override { return kMembers; }
  std::shared_ptr<SelectorRow> Item(int position) const override {
    return std::make_shared<Row>(store::Key(position - 1) + "K");
  }
};

// A seeded store with the big catalogue part and the big notification.
struct BigStore {
  explicit BigStore(Backend backend) {
    if (backend == Backend::Sqlite) {
      char folderName[] = "/tmp/qm-store-bench-XXXXXX";
      if (!::mkdtemp(folderName)) std::abort();
      folder = folderName;
      location = folder + "/q.db";
    } else {
      location = quillmont::testing::PgCluster::Shared().NewDatabase();
    }
    auto store = Store::Open(location);
    SeedDatabase(*store);
    Database& db = store->Db();
    WriteTransaction tx(db);
    auto type = db.Prepare("INSERT INTO event_types(type_key, name, group_id, sort_order) VALUES(?,?,?,?)");
    for (int i = 0; i < kMembers; ++i)
      type.Bind(1, Key(i)).Bind(2, "Bench " + Key(i)).Bind(3, 1).Bind(4, 1000 + i).Run();
    auto big = db.Prepare("INSERT INTO notifications(name, event_group_id) VALUES('Big', 0) RETURNING id");
    id = big.Step() ? big.Int(0) : 0;
    big.Reset();
    auto manager = db.Prepare(
        "INSERT INTO snmp_managers(notification_id, position, host, port, version, time_format) VALUES(?,?,?,?,?,?)");
    auto recipient = db.Prepare("INSERT INTO email_recipients(notification_id, position, address) VALUES(?,?,?)");
    auto chosen = db.Prepare("INSERT INTO notification_event_types(notification_id, position, type_key) VALUES(?,?,?)");
    for (int i = 1; i <= kMembers; ++i) {
      manager.Bind(1, id).Bind(2, i).Bind(3, "host" + std::to_string(i) + ".example.net").Bind(4, 162);
      manager.Bind(5, "SNMP v2c").Bind(6, "UTC").Run();
      recipient.Bind(1, id).Bind(2, i).Bind(3, "user" + std::to_string(i) + "@example.net").Run();
      chosen.Bind(1, id).Bind(2, i).Bind(3, Key(i - 1)).Run();
    }
    tx.Commit();
  }
  ~BigStore() {
    if (!folder.empty()) std::filesystem::remove_all(folder);
  }

  std::string folder, location;
  std::int64_t id = 0;
};

const BigStore& Big(Backend backend) {
  static const BigStore file(Backend::Sqlite);
  if (backend == Backend::Sqlite) return file;
  static const BigStore server(Backend::Postgres);
  return server;
}

Backend BackendOf(const benchmark::State& state) { return state.range(0) == 0 ? Backend::Sqlite : Backend::Postgres; }

// What the editor reads when it opens the notification: its row, both lists
// and the chosen event types with their catalogue names.
void BM_OpenBigNotification(benchmark::State& state) {
  const BigStore& big = Big(BackendOf(state));
  auto store = Store::Open(big.location);
  const auto id = static_cast<std::int32_t>(big.id);
  for (auto _ : state) {
    auto d = store->OpenDefinition(id);
    d->LoadSnmpDetails();
    d->LoadEmailDetails();
    auto chosen = store->StoredEventTypes(id);
    if (d->SnmpManagers()->Count() != kMembers || chosen->Count() != kMembers) state.SkipWithError("short read");
  }
}

// A save that rewrites all three lists (and checks and advances the
// revision) in one transaction.
void BM_SaveBigNotification(benchmark::State& state) {
  const BigStore& big = Big(BackendOf(state));
  auto store = Store::Open(big.location);
  auto d = store->OpenDefinition(static_cast<std::int32_t>(big.id));
  d->LoadSnmpDetails();
  d->LoadEmailDetails();
  const auto rows = std::make_shared<ChosenRows>();
  for (auto _ : state) {
    d->SetSnmpManagers(d->SnmpManagers());
    d->SetEmailRecipients(d->EmailRecipients());
    d->SetChosenEventTypes(rows);
    store->Save(*d);
  }
}

BENCHMARK(BM_OpenBigNotification)->ArgName("postgres")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveBigNotification)->ArgName("postgres")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillmont::store
