// quillmont-notify: delivers a notification for an event to the SNMP managers
// and e-mail recipients of every stored notification that includes the
// event type. Meant to be called from another program's event handler: it
// needs no terminal and ends within --timeout. It records the deliveries in
// the database's outbox before it sends, so that what fails for a reason
// that may pass is retried by quillmont-dispatch.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "apps/session/command_line.h"
#include "apps/session/startup.h"
#include "delivery/delivery.h"
#include "delivery/outbox_sender.h"
#include "quillmont/platform/terminal_text.h"
#include "store/definition_store.h"
#include "store/delivery_settings.h"
#include "store/outbox.h"
#include "store/pg_db.h"

namespace {

namespace exit_code {
constexpr int Ok = 0;              // every send succeeded (or --dry-run listed them)
constexpr int SendFailed = 1;      // at least one destination is queued for a retry (--no-queue: was not reached)
constexpr int Usage = 2;           // bad arguments
constexpr int UnknownEvent = 3;    // the event type is not in the catalogue
constexpr int DatabaseFailed = 4;  // the database or its settings could not be read or written: nothing recorded
constexpr int FailedForGood = 5;   // at least one destination failed for a reason that will not pass
}  // namespace exit_code

constexpr const char* kExitCodes =
    "Exit codes:\n"
    "  0  every destination was sent to (or, with --dry-run, listed); also when no\n"
    "     notification includes the event, or a repeat was suppressed\n"
    "  1  at least one destination was not reached and is queued for a retry by\n"
    "     quillmont-dispatch (with --no-queue: at least one failed)\n"
    "  2  bad arguments\n"
    "  3  the event type is not in the database's catalogue\n"
    "  4  the database (or its delivery settings) could not be read or written:\n"
    "     nothing was recorded and nothing sent\n"
    "  5  at least one destination failed for good (a recipient the server rejects,\n"
    "     a header with a line break); it is not retried\n";

// How far the run got, for the backstop of the deadline.
enum Stage { Reading, Recording, Delivering };
std::atomic<int> stage{Reading};

std::string HostName() {
  char name[256] = {};
  return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

// Text from the database or the arguments goes out escaped.
std::string Escaped(const std::string& text) { return quillmont::text::ForTerminal(text); }

// Records the deliveries (durably, leased to this run until past its
// deadline, so that no dispatcher takes them meanwhile), tries them once
// within the deadline, and records each outcome: sent, queued for a retry,
// or failed for good. A run that dies before it records the outcomes
// leaves its leases to run out; a dispatcher then sends them.
int RecordAndSend(quillmont::store::Store& db, const quillmont::delivery::Event& event,
                  const std::vector<quillmont::store::NewDelivery>& toRecord,
                  const quillmont::store::DeliverySettings& settings, std::chrono::steady_clock::time_point deadline,
                  int timeout) {
  using namespace quillmont;
  using What = store::AttemptResult::What;
  const std::string me = delivery::SenderName("notify");
  std::vector<store::Delivery> recorded;
  stage = Recording;
  try {
    const store::OutboxEvent outboxEvent{
        event.key, event.name, event.node, event.message,
        std::chrono::duration_cast<std::chrono::milliseconds>(event.time.time_since_epoch()).count()};
    recorded = store::RecordEvent(db.Db(), outboxEvent, toRecord, std::int64_t{settings.repeatIntervalSeconds} * 1000,
                                  me, store::NowMs() + (timeout + 2) * 1000LL);
  } catch (const std::exception& e) {
    std::cerr << "quillmont-notify: " << Escaped(e.what()) << " Nothing was recorded or sent.\n";
    return exit_code::DatabaseFailed;
  }
  stage = Delivering;
  std::vector<store::Delivery> leased;
  for (const store::Delivery& d : recorded) {
    if (d.state == store::DeliveryState::Sending)
      leased.push_back(d);
    else
      std::cout << "suppressed: \"" << Escaped(d.notification)
                << "\": " << Escaped(delivery::Destinations(delivery::ItemOf(d).notification).front()) << ": "
                << Escaped(d.outcome) << "\n";
  }
  // The lines in the order of the destinations, whenever each ends.
  std::vector<std::string> lines(leased.size());
  std::vector<store::AttemptResult> results;
  bool queued = false, failed = false;
  delivery::Options options;
  options.deadline = deadline;
  std::size_t next = 0;
  delivery::Attempt(leased, settings, options,
                    [&](const store::Delivery& d, const delivery::Outcome& o, const store::AttemptResult& r) {
                      // (Nothing cancels these sends: a run that ran out of
                      // time made an attempt like any other.)
                      queued = queued || r.what == What::Retry;
                      failed = failed || r.what == What::Failed;
                      results.push_back(r);
                      lines[o.index] = delivery::AttemptLine(d, o, r, false);
                      for (; next < lines.size() && !lines[next].empty(); ++next) std::cout << lines[next] << "\n";
                    });
  std::cout.flush();
  try {
    store::RecordAttempts(db.Db(), me, results);
  } catch (const std::exception& e) {
    std::cerr << "quillmont-notify: the outcomes could not be recorded (" << Escaped(e.what())
              << "); quillmont-dispatch tries these deliveries again once this run's leases run out.\n";
    return exit_code::SendFailed;
  }
  return failed ? exit_code::FailedForGood : queued ? exit_code::SendFailed : exit_code::Ok;
}

int Run(int argc, char** argv) {
  quillmont::session::CommandLineParser parser(
      "quillmont-notify",
      "Delivers a notification for an event to the SNMP managers and e-mail recipients of every "
      "notification that includes the event type.");
  CLI::App& app = parser.App();
  std::string eventKey, node = HostName(), message;
  bool dryRun = false, noQueue = false;
  int timeout = 60;
  app.add_option("--event", eventKey, "event type key (as in the database's catalogue)")->required();
  app.add_option("--node", node, "the node the event is about (default: this host's name)");
  app.add_option("--message", message, "text of the event");
  parser.AddDatabase("the database: a file or a postgresql:// URI (default: $QUILLMONT_DB, else the editor's)");
  app.add_flag("--dry-run", dryRun, "list the destinations, send nothing");
  app.add_flag("--no-queue", noQueue,
               "try each destination once and record nothing (the database is only read; no retries)");
  app.add_option("--timeout", timeout, "seconds the whole run may take (default 60)")->check(CLI::Range(1, 3600));
  app.footer(kExitCodes);
  try {
    const bool run = parser.Parse(std::vector<std::string>(argv + 1, argv + argc));
    for (int i = 1; i < argc; ++i) quillmont::store::HidePasswordInArgument(argv[i]);  // out of ps
    if (!run) {
      std::cout << parser.Answer();
      return exit_code::Ok;
    }
  } catch (const std::invalid_argument& e) {
    std::cerr << e.what() << "\nRun with --help for more information.\n";
    return exit_code::Usage;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout);
  // The backstop of the deadline: a database server that answers the
  // connection and then nothing holds no bound of its own.
  std::thread([deadline] {
    std::this_thread::sleep_until(deadline + std::chrono::milliseconds(500));
    const int at = stage.load();
    const char* why = at == Reading     ? "quillmont-notify: the database did not answer in the time allowed\n"
                      : at == Recording ? "quillmont-notify: the database did not answer in the time allowed; the "
                                          "event may not have been recorded\n"
                                        : "quillmont-notify: the time allowed ran out\n";
    [[maybe_unused]] const auto written = write(STDERR_FILENO, why, std::strlen(why));
    _exit(at == Delivering ? exit_code::SendFailed : exit_code::DatabaseFailed);
  }).detach();

  using namespace quillmont;
  std::vector<delivery::Notification> notifications;
  std::vector<store::NewDelivery> toRecord;
  delivery::Event event;
  store::DeliverySettings settings;
  std::shared_ptr<store::Store> db;
  try {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const std::string path = session::FindDatabase(parser.Database()).path;
    const int busyMs = static_cast<int>(std::min<long long>(2000, left.count()));
    db = dryRun || noQueue ? session::OpenForReading(path, busyMs, timeout)
                           : session::OpenForSending(path, busyMs, timeout);
    if (!db->Untrusted().empty())
      std::cerr << "quillmont-notify: note: " << Escaped(db->Untrusted()) << " It was only read.\n";
    auto type = db->EventTypes()->Item(eventKey);
    if (!type) {
      std::cerr << "quillmont-notify: no event type \"" << Escaped(eventKey) << "\" in "
                << Escaped(db->Db().DisplayName()) << "\n";
      return exit_code::UnknownEvent;
    }
    event = {eventKey, type->Name(), node, message, std::chrono::system_clock::now()};
    settings = store::SettingsForDelivery(*db);
    for (const auto& summary : db->ListNotifications()) {
      store::NotificationRecord record = db->ReadNotification(summary.id);
      if (std::find(record.eventTypeKeys.begin(), record.eventTypeKeys.end(), eventKey) == record.eventTypeKeys.end())
        continue;
      delivery::Notification n{record.name, record.subject, record.message, {}, record.recipients};
      for (const auto& m : record.managers) {
        n.managers.push_back({m.host, m.port, m.version, m.timeFormat});
        toRecord.push_back({record.id, record.revision, record.name, {}});
        toRecord.back().destination = {store::Destination::Kind::Trap, m.host, m.port, m.version, m.timeFormat};
      }
      const auto [subject, text] = delivery::MailTexts(n, event, settings);
      for (const std::string& r : record.recipients) {
        toRecord.push_back({record.id, record.revision, record.name, {}});
        toRecord.back().destination = {store::Destination::Kind::Mail, "", 0, "", "", r, subject, text};
      }
      notifications.push_back(std::move(n));
    }
  } catch (const std::exception& e) {
    std::cerr << "quillmont-notify: " << Escaped(e.what()) << (dryRun ? "" : " Nothing was recorded or sent.") << "\n";
    return exit_code::DatabaseFailed;
  }
  if (notifications.empty())
    std::cerr << "quillmont-notify: no notification includes the event type \"" << Escaped(eventKey) << "\"\n";

  bool allSent = true;
  if (dryRun) {
    for (const auto& n : notifications)
      for (const std::string& d : delivery::Destinations(n))
        std::cout << "would send: \"" << Escaped(n.name) << "\": " << Escaped(d) << "\n";
    return exit_code::Ok;
  }
  if (noQueue) {
    stage = Delivering;
    // Every destination at once, the deadline kept; the lines in a fixed order.
    delivery::Options options;
    options.deadline = deadline;
    for (const delivery::Outcome& o : delivery::Deliver(notifications, event, settings, options)) {
      allSent = allSent && o.sent;
      std::cout << (o.sent ? "sent: \"" : "failed: \"") << Escaped(o.notification) << "\": " << Escaped(o.destination);
      if (!o.sent) std::cout << ": " << Escaped(o.detail);
      std::cout << "\n";
    }
    return allSent ? exit_code::Ok : exit_code::SendFailed;
  }
  return RecordAndSend(*db, event, toRecord, settings, deadline, timeout);
}

}  // namespace

int main(int argc, char** argv) {
  // A caller that stops reading our output must not kill us mid-delivery.
  signal(SIGPIPE, SIG_IGN);
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "quillmont-notify: " << Escaped(e.what()) << "\n";
    return exit_code::SendFailed;
  }
}
