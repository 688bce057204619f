// The outbox: recording an event durably (a SQLite file, the PostgreSQL
// server the tests start), and draining queued deliveries (10,000, or
// QUILLMONT_BENCH_DELIVERIES) to loopback receivers with quillmont-dispatch:
// traps alone, and half traps, half mails; one dispatcher on each backend and
// three on PostgreSQL; beside the floor of the same number of ready-built
// trap packets handed to sendto in a loop. A plain program (Google
// Benchmark's options are accepted and ignored).
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "store/definition_store.h"
#include "store/outbox.h"
#include "tests/support/loopback_receivers.h"
#include "tests/support/pg/pg_cluster.h"

namespace {

using namespace quillmont;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

store::NewDelivery Trap(int port) {
  return {1, 1, "Bench", {store::Destination::Kind::Trap, "127.0.0.1", port, "SNMP v2c", "UTC"}};
}
store::NewDelivery Mail() {
  store::NewDelivery d{1, 1, "Bench", {}};
  d.destination = {store::Destination::Kind::Mail, "", 0, "", "", "r@example.net", "s", "m"};
  return d;
}

// Milliseconds per durable record of one event to two destinations.
double RecordMs(const std::string& location) {
  auto s = store::Store::Open(location);
  const int runs = 200;
  const auto start = Clock::now();
  for (int i = 0; i < runs; ++i)
    store::RecordEvent(s->Db(), {"bench", "Bench", "node", "m", store::NowMs()}, {Trap(9), Mail()});
  return Seconds(Clock::now() - start) * 1000 / runs;
}

// Deliveries per second that `dispatchers` drain from a new outbox at
// location holding `count` deliveries (every other one a mail when mails).
double Drain(const std::string& location, int count, bool mails, int dispatchers, int trapPort, int smtpPort) {
  auto s = store::Store::Open(location);
  store::DeliverySettings settings;
  settings.smtpServer = "127.0.0.1";
  settings.smtpPort = smtpPort;
  store::SaveDeliverySettings(*s, settings);
  for (int i = 0; i < count; i += 500) {
    std::vector<store::NewDelivery> batch;
    for (int j = i; j < std::min(count, i + 500); ++j) batch.push_back(mails && j % 2 ? Mail() : Trap(trapPort));
    store::RecordEvent(s->Db(), {"bench", "Bench", "node", "m", store::NowMs()}, batch);
  }
  testing::TempDir dir;
  const auto start = Clock::now();
  std::vector<std::unique_ptr<testing::Child>> running;
  for (int i = 0; i < dispatchers; ++i)
    running.push_back(std::make_unique<testing::Child>(std::vector<std::string>{QUILLMONT_DISPATCH, "--db", location},
                                                       dir.File(std::to_string(i))));
  while (s->Db().QueryInt("SELECT COUNT(*) FROM deliveries WHERE state = 'sent'") < count &&
         Clock::now() - start < std::chrono::minutes(5))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const double seconds = Seconds(Clock::now() - start);
  const bool all = s->Db().QueryInt("SELECT COUNT(*) FROM deliveries WHERE state = 'sent'") == count;
  return all ? count / seconds : 0;
}

// Packets per second of a loop of sendto with one ready-built trap.
double Floor(int count, int port) {
  std::string packet(120, 'x');
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{AF_INET, htons(static_cast<std::uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i)
    sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  const double seconds = Seconds(Clock::now() - start);
  close(fd);
  return count / seconds;
}

}  // namespace

int main() {
  const char* size = std::getenv("QUILLMONT_BENCH_DELIVERIES");
  const int count = size ? std::max(10, std::atoi(size)) : 10000;
  testing::TempDir dir;
  testing::UdpCounter traps;
  testing::MailReceiver smtp(dir);
  if (!smtp.Ready()) {
    std::fprintf(stderr, "bench_outbox: the mail receiver did not start\n");
    return 1;
  }
  auto& pg = testing::PgCluster::Shared();
  int file = 0;
  auto sqlite = [&] { return dir.File("q" + std::to_string(++file) + ".db"); };
  std::printf("record one event (2 destinations) durably: SQLite %.2f ms, PostgreSQL %.2f ms\n", RecordMs(sqlite()),
              RecordMs(pg.NewDatabase()));
  struct Case {
    const char* what;
    bool pg, mails;
    int dispatchers;
  };
  const Case cases[] = {{"SQLite, traps, 1 dispatcher", false, false, 1},
                        {"PostgreSQL, traps, 1 dispatcher", true, false, 1},
                        {"PostgreSQL, traps, 3 dispatchers", true, false, 3},
                        {"SQLite, half mails, 1 dispatcher", false, true, 1},
                        {"PostgreSQL, half mails, 3 dispatchers", true, true, 3}};
  bool drained = true;
  for (const Case& c : cases) {
    const double rate =
        Drain(c.pg ? pg.NewDatabase() : sqlite(), count, c.mails, c.dispatchers, traps.Port(), smtp.Port());
    drained = drained && rate > 0;
    std::printf("drain %d deliveries, %s: %.0f per second\n", count, c.what, rate);
  }
  std::printf("floor, %d built trap packets to sendto: %.0f per second\n", count, Floor(count, traps.Port()));
  if (!drained) std::fprintf(stderr, "bench_outbox: a run did not drain its outbox\n");
  return drained ? 0 : 1;
}
