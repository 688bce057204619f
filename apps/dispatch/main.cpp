// quillmont-dispatch: claims the outbox's due deliveries with a lease, sends
// them all at once with the deadline-bound engine, and records each attempt:
// sent, queued again on the retry schedule, or failed. Any number of them
// may share an outbox; each due delivery goes to one.
#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <string>
#include <thread>

#include "apps/session/command_line.h"
#include "apps/session/startup.h"
#include "delivery/outbox_sender.h"
#include "quillmont/platform/terminal_text.h"
#include "store/definition_store.h"
#include "store/delivery_settings.h"
#include "store/outbox.h"
#include "store/pg_db.h"

namespace {

using namespace quillmont;
using Clock = std::chrono::steady_clock;

namespace exit_code {
constexpr int Ok = 0;              // drained (--once) or stopped by SIGTERM or SIGINT
constexpr int Failed = 1;          // the database failed during an --once run
constexpr int Usage = 2;           // bad arguments
constexpr int DatabaseFailed = 4;  // the database could not be opened for writing
}  // namespace exit_code

constexpr const char* kExitCodes =
    "Exit codes:\n"
    "  0  --once: every due delivery was tried; else stopped by SIGTERM or SIGINT\n"
    "     (what was in flight finished or was put back within 5 seconds)\n"
    "  1  --once: the database failed during the run\n"
    "  2  bad arguments\n"
    "  4  the database could not be opened for writing\n";

std::atomic<bool> stopping{false}, finished{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnStop(int) { stopping = true; }

std::string Escaped(const std::string& text) { return text::ForTerminal(text); }

// Sleeps up to `ms`, waking early when asked to stop.
void Nap(int ms) {
  for (int i = 0; i < ms / 20 && !stopping; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

class Dispatcher {
 public:
  Dispatcher(std::shared_ptr<store::Store> store, int batch, int leaseSeconds)
      : store_(std::move(store)),
        me_(delivery::SenderName("dispatch")),
        batch_(batch),
        leaseMs_(leaseSeconds * 1000LL) {}

  // One round: the housekeeping when due, then one claimed batch sent and
  // recorded. False when nothing was due.
  bool Round() {
    const auto now = Clock::now();
    if (now >= nextHousekeeping_) {
      settings_ = store::SettingsForDelivery(*store_);
      store::ReclaimExpired(store_->Db());
      if (now >= nextPrune_) {
        store::PruneBefore(store_->Db(), store::NowMs() - settings_.keepDays * 86400000LL);
        nextPrune_ = now + std::chrono::hours(1);
      }
      nextHousekeeping_ = now + std::chrono::seconds(1);
    }
    const std::vector<store::Delivery> claimed = store::Claim(store_->Db(), me_, leaseMs_, batch_);
    if (claimed.empty()) return false;
    // Every send ends, and is recorded, before the lease does.
    delivery::Options options;
    options.deadline = now + std::chrono::milliseconds(std::max<std::int64_t>(1000, leaseMs_ - 5000));
    options.cancel = &cancel_;
    // Recorded in groups, one commit for many attempts, and none waits long.
    auto lastFlush = Clock::now();
    options.onTick = [&] {
      if (pending_.size() >= 200 || (!pending_.empty() && Clock::now() - lastFlush > std::chrono::milliseconds(50))) {
        Flush();
        lastFlush = Clock::now();
      }
    };
    delivery::Attempt(claimed, settings_, options,
                      [&](const store::Delivery& d, const delivery::Outcome& o, const store::AttemptResult& r) {
                        pending_.push_back(r);
                        lines_.push_back(delivery::AttemptLine(d, o, r, true));
                      });
    Flush();
    return true;
  }

  // What is still leased to this dispatcher goes back to the queue.
  void Release() {
    Flush();
    store::ReleaseLeases(store_->Db(), me_);
  }

  // Sends stop at once (what is left is put back).
  void Cancel() { cancel_ = true; }

 private:
  void Flush() {
    if (pending_.empty()) return;
    store::RecordAttempts(store_->Db(), me_, pending_);
    pending_.clear();
    for (const std::string& line : lines_) std::cout << line << "\n";
    std::cout.flush();
    lines_.clear();
  }

  std::shared_ptr<store::Store> store_;
  std::string me_;
  int batch_;
  std::int64_t leaseMs_;
  store::DeliverySettings settings_;
  std::atomic<bool> cancel_{false};
  Clock::time_point nextHousekeeping_{}, nextPrune_{};
  std::vector<store::AttemptResult> pending_;
  std::vector<std::string> lines_;
};

int Run(int argc, char** argv) {
  session::CommandLineParser parser(
      "quillmont-dispatch",
      "Sends the deliveries that quillmont-notify queued in the database's outbox, retrying each until it is "
      "delivered or given up; one line per attempt on standard output. Runs until SIGTERM unless --once.");
  CLI::App& app = parser.App();
  bool once = false;
  int batch = 500, lease = 60;
  parser.AddDatabase("the database: a file or a postgresql:// URI (default: $QUILLMONT_DB, else the editor's)");
  app.add_flag("--once", once, "send what is due now, then exit (for cron and tests)");
  app.add_option("--batch", batch, "deliveries claimed and sent at once (default 500)")->check(CLI::Range(1, 1000));
  app.add_option("--lease", lease,
                 "seconds a claimed delivery stays this dispatcher's; another takes it after that when this one "
                 "died (default 60)")
      ->check(CLI::Range(3, 3600));
  app.footer(kExitCodes);
  try {
    const bool run = parser.Parse(std::vector<std::string>(argv + 1, argv + argc));
    for (int i = 1; i < argc; ++i) store::HidePasswordInArgument(argv[i]);  // out of ps
    if (!run) {
      std::cout << parser.Answer();
      return exit_code::Ok;
    }
  } catch (const std::invalid_argument& e) {
    std::cerr << e.what() << "\nRun with --help for more information.\n";
    return exit_code::Usage;
  }
  struct sigaction action {};
  action.sa_handler = OnStop;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  std::shared_ptr<store::Store> store;
  try {
    store = session::OpenForSending(session::FindDatabase(parser.Database()).path);
  } catch (const std::exception& e) {
    std::cerr << "quillmont-dispatch: " << Escaped(e.what()) << "\n";
    return exit_code::DatabaseFailed;
  }
  Dispatcher dispatcher(store, batch, lease);
  // After a stop, what is in flight has 4 seconds to end; then it is cut
  // short and put back, all within 5.
  std::thread watch([&dispatcher] {
    while (!stopping) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto until = Clock::now() + std::chrono::seconds(4);
    while (Clock::now() < until && !finished) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    dispatcher.Cancel();
  });
  int code = exit_code::Ok;
  while (!stopping) {
    try {
      if (!dispatcher.Round()) {
        if (once) break;
        Nap(250);
      }
    } catch (const std::exception& e) {
      std::cerr << "quillmont-dispatch: " << Escaped(e.what()) << "\n";
      if (once) {
        code = exit_code::Failed;
        break;
      }
      Nap(1000);  // a server away for a while: try again
    }
  }
  try {
    dispatcher.Release();
  } catch (const std::exception& e) {
    // Their leases run out instead.
    std::cerr << "quillmont-dispatch: " << Escaped(e.what()) << "\n";
  }
  finished = true;
  stopping = true;
  watch.join();
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "quillmont-dispatch: " << Escaped(e.what()) << "\n";
    return exit_code::Failed;
  }
}
