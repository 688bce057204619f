// quillmont-notify: delivers a notification for an event to the SNMP managers
// and e-mail recipients of every stored notification that includes the
// event type. Meant to be called from another program's event handler: it
// needs no terminal, only reads the database, and ends within --timeout.
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
#include "quillmont/platform/terminal_text.h"
#include "store/definition_store.h"
#include "store/delivery_settings.h"
#include "store/pg_db.h"

namespace {

namespace exit_code {
constexpr int Ok = 0;              // every send succeeded (or --dry-run listed them)
constexpr int SendFailed = 1;      // at least one destination was not reached
constexpr int Usage = 2;           // bad arguments
constexpr int UnknownEvent = 3;    // the event type is not in the catalogue
constexpr int DatabaseFailed = 4;  // the database or its settings could not be read
}  // namespace exit_code

constexpr const char* kExitCodes =
    "Exit codes:\n"
    "  0  every destination was sent to (or, with --dry-run, listed); also when no\n"
    "     notification includes the event\n"
    "  1  at least one destination failed (each failure has its line)\n"
    "  2  bad arguments\n"
    "  3  the event type is not in the database's catalogue\n"
    "  4  the database (or its delivery settings) could not be read\n";

// Set once the database has been read.
std::atomic<bool> delivering{false};

std::string HostName() {
  char name[256] = {};
  return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

// Text from the database or the arguments goes out escaped.
std::string Escaped(const std::string& text) { return quillmont::text::ForTerminal(text); }

int Run(int argc, char** argv) {
  quillmont::session::CommandLineParser parser(
      "quillmont-notify",
      "Delivers a notification for an event to the SNMP managers and e-mail recipients of every "
      "notification that includes the event type.");
  CLI::App& app = parser.App();
  std::string eventKey, node = HostName(), message;
  bool dryRun = false;
  int timeout = 60;
  app.add_option("--event", eventKey, "event type key (as in the database's catalogue)")->required();
  app.add_option("--node", node, "the node the event is about (default: this host's name)");
  app.add_option("--message", message, "text of the event");
  parser.AddDatabase("the database: a file or a postgresql:// URI (default: $QUILLMONT_DB, else the editor's)");
  app.add_flag("--dry-run", dryRun, "list the destinations, send nothing");
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
    const bool reading = !delivering.load();
    const char* why = reading ? "quillmont-notify: the database did not answer in the time allowed\n"
                              : "quillmont-notify: the time allowed ran out\n";
    [[maybe_unused]] const auto written = write(STDERR_FILENO, why, std::strlen(why));
    _exit(reading ? exit_code::DatabaseFailed : exit_code::SendFailed);
  }).detach();

  using namespace quillmont;
  std::vector<delivery::Notification> notifications;
  delivery::Event event;
  store::DeliverySettings settings;
  try {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    auto db = session::OpenForReading(session::FindDatabase(parser.Database()).path,
                                      static_cast<int>(std::min<long long>(2000, left.count())), timeout);
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
      for (const auto& m : record.managers) n.managers.push_back({m.host, m.port, m.version, m.timeFormat});
      notifications.push_back(std::move(n));
    }
  } catch (const std::exception& e) {
    std::cerr << "quillmont-notify: " << Escaped(e.what()) << "\n";
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
  delivering = true;
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
