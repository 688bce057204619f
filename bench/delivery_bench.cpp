// One event to 100 destinations on loopback: 50 traps to snmptrapd and 50
// mails to an SMTP receiver (children of this program). First with 10 black
// holes among them (names whose name server never answers, a UDP port that
// reads nothing, recipients the server never answers), where every working
// destination must be delivered and the run must end by its deadline plus
// one second; then to 100 working destinations, time per destination,
// beside the floor: 100 ready-built trap packets handed to sendto in a loop.
// A plain program (Google Benchmark's options are accepted and ignored): the
// figures are whole runs, not loops of one operation.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "delivery/delivery.h"
#include "tests/support/loopback_receivers.h"

namespace {

using namespace quillmont;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

struct Run {
  double ms = 0;
  int sent = 0;
};

// The event (its message is the run's mark) to 50 managers and 50 recipients,
// the last `holes` of each kind black holes.
Run Send(const std::string& mark, int trapPort, int smtpPort, int dropPort, int holes, int deadlineSeconds) {
  delivery::Notification n{"Bench", "<Default>", "<Default>", {}, {}};
  for (int i = 0; i < 50; ++i) {
    std::string host = "127.0.0.1";
    int port = trapPort;
    if (i >= 50 - holes) {
      if (i % 2 == 0) host = "hole-" + std::to_string(i) + ".example";  // its lookup never ends
      port = i % 2 == 0 ? trapPort : dropPort;
    }
    n.managers.push_back({host, port, i % 2 ? "SNMP v1" : "SNMP v2c", "UTC"});
    n.recipients.push_back((i >= 50 - holes ? "silent" : "r") + std::string("@") + std::to_string(i) + ".example");
  }
  store::DeliverySettings settings;
  settings.smtpServer = "127.0.0.1";
  settings.smtpPort = smtpPort;
  delivery::Options options;
  const auto start = Clock::now();
  options.deadline = start + std::chrono::seconds(deadlineSeconds);
  const delivery::Event event{"bench", "Bench", "node", mark};
  Run run;
  for (const auto& o : delivery::Deliver(n, event, settings, options)) run.sent += o.sent ? 1 : 0;
  run.ms = Ms(Clock::now() - start);
  return run;
}

// One real trap's bytes, caught on a socket of our own.
std::string TrapPacket() {
  int port = 0;
  const int fd = testing::BoundSocket(SOCK_DGRAM, port);
  delivery::Deliver({"Bench", {}, {}, {{"127.0.0.1", port, "SNMP v2c", "UTC"}}, {}},
                    {"bench", "Bench", "node", "floor"}, store::DeliverySettings{});
  char buffer[4096];
  const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
  close(fd);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

double SendtoFloor(const std::string& packet, int port) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{AF_INET, htons(static_cast<std::uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
  const auto start = Clock::now();
  for (int i = 0; i < 100; ++i)
    sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  const double ms = Ms(Clock::now() - start);
  close(fd);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  // Inside the name space whose name server never answers: the runs.
  if (argc == 5 && std::string(argv[1]) == "--run") {
    const int trapPort = std::atoi(argv[2]), smtpPort = std::atoi(argv[3]), dropPort = std::atoi(argv[4]);
    const Run holes = Send("with-holes", trapPort, smtpPort, dropPort, 5, 3);
    std::printf("holes %.0f %d\n", holes.ms, holes.sent);
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) times.push_back(Send("working-" + std::to_string(i), trapPort, smtpPort, 0, 0, 30).ms);
    std::sort(times.begin(), times.end());
    std::printf("working %.1f\n", times[2]);
    return 0;
  }
  testing::TempDir dir;
  testing::TrapReceiver traps(dir);
  testing::MailReceiver smtp(dir);
  testing::SilentNameServer names(dir);
  int dropPort = 0;
  const int drop = testing::BoundSocket(SOCK_DGRAM, dropPort);  // never read
  if (!traps.Ready() || !smtp.Ready()) {
    std::fprintf(stderr, "bench_delivery: the receivers did not start\n");
    return 1;
  }
  if (!names.Ready())
    std::fprintf(stderr, "bench_delivery: no silent name server (port 53, unshare -rm): names fail fast\n");
  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  const std::string command = self + " --run " + std::to_string(traps.Port()) + " " + std::to_string(smtp.Port()) +
                              " " + std::to_string(dropPort);
  const std::string out = testing::Output(names.Ready() ? names.Wrap(command) : command);
  double holesMs = 0, workingMs = 0;
  int holesSent = 0;
  if (std::sscanf(out.c_str(), "holes %lf %d\nworking %lf", &holesMs, &holesSent, &workingMs) != 3) {
    std::fprintf(stderr, "bench_delivery: the runs failed:\n%s", out.c_str());
    return 1;
  }
  // What arrived: each trap carries the mark once, each mail holds it.
  testing::WaitUntil([&] { return Count(traps.Log(), "working-4\"") >= 50; });
  const std::string log = traps.Log();
  std::string mails;
  for (const std::string& m : smtp.Mails()) mails += m;
  const int trapsIn = Count(log, "\"with-holes\""), mailsIn = Count(mails, "with-holes");
  const int workingIn = Count(log, "\"working-2\"") + Count(mails, "working-2");
  const double floorMs = SendtoFloor(TrapPacket(), traps.Port());
  close(drop);
  std::printf(
      "100 destinations, 10 black holes, deadline 3 s: %.0f ms; %d reported sent "
      "(45 traps + 3 to the port that reads nothing + 45 mails); arrived: %d traps, %d mails\n",
      holesMs, holesSent, trapsIn, mailsIn);
  std::printf("100 working destinations: %.1f ms (median of 5), %.2f ms per destination; %d of 100 arrived\n",
              workingMs, workingMs / 100, workingIn);
  std::printf("floor, 100 built trap packets to sendto: %.3f ms, %.4f ms per packet\n", floorMs, floorMs / 100);
  const bool kept = holesMs <= 4000 && holesSent == 93 && trapsIn == 45 && mailsIn == 45 && workingIn == 100;
  if (!kept) std::fprintf(stderr, "bench_delivery: a working destination was missed or the deadline was not kept\n");
  return kept ? 0 : 1;
}
