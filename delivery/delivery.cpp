#include "delivery/delivery.h"

#include <ctime>

#include "delivery/internal.h"
#include "quillmont/rules/fields.h"

namespace quillmont::delivery {

std::string FormatTime(std::chrono::system_clock::time_point time, const std::string& timeFormat) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  if (timeFormat == rules::kTimeUnix) return std::to_string(static_cast<long long>(seconds));
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string Expand(const std::string& text, const std::string& notification, const Event& event) {
  const std::pair<const char*, std::string> fields[] = {
      {"{notification}", notification}, {"{event}", event.name},
      {"{event_key}", event.key},       {"{node}", event.node},
      {"{message}", event.message},     {"{time}", FormatTime(event.time, rules::kTimeUtc)},
  };
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '{') {
      for (const auto& [name, value] : fields) {
        if (text.compare(i, std::char_traits<char>::length(name), name) == 0) {
          out += value;
          i += std::char_traits<char>::length(name);
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

std::string TrapDestination(const Manager& manager) {
  return manager.version + " trap to " + HostPort(manager.host, manager.port);
}

std::string MailDestination(const std::string& recipient) { return "e-mail to " + recipient; }

std::string HostPort(const std::string& host, int port) {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::vector<std::string> Destinations(const Notification& notification) {
  std::vector<std::string> out;
  for (const Manager& m : notification.managers) out.push_back(TrapDestination(m));
  for (const std::string& r : notification.recipients) out.push_back(MailDestination(r));
  return out;
}

bool StopRequested(const Options& options) {
  return (options.cancel && options.cancel->load()) || std::chrono::steady_clock::now() >= options.deadline;
}

std::string StopReason(const Options& options) {
  return options.cancel && options.cancel->load() ? "cancelled" : "not sent: the time allowed ran out";
}

std::vector<Outcome> Deliver(const Notification& notification, const Event& event, const DeliverySettings& settings,
                             const Options& options) {
  std::vector<Outcome> outcomes;
  auto report = [&](Outcome outcome) {
    if (options.onOutcome) options.onOutcome(outcome);
    outcomes.push_back(std::move(outcome));
  };
  std::string unusable;
  try {
    store::CheckDeliverySettings(settings);
  } catch (const std::exception& e) {
    unusable = std::string("not sent: ") + e.what();
  }
  auto skipped = [&](std::string destination) -> std::optional<Outcome> {
    if (!unusable.empty()) return Outcome{notification.name, std::move(destination), false, unusable};
    if (StopRequested(options)) return Outcome{notification.name, std::move(destination), false, StopReason(options)};
    return std::nullopt;
  };
  for (const Manager& m : notification.managers) {
    auto skip = skipped(TrapDestination(m));
    report(skip ? *skip : SendTrap(notification.name, m, event, settings, options));
  }
  for (const std::string& r : notification.recipients) {
    auto skip = skipped(MailDestination(r));
    report(skip ? *skip : SendMail(notification, r, event, settings, options));
  }
  return outcomes;
}

}  // namespace quillmont::delivery
