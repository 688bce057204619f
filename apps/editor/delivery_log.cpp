#include "apps/editor/delivery_log.h"

#include <ctime>

#include <nlohmann/json.hpp>

#include "apps/editor/help.h"
#include "quillmont/platform/terminal_text.h"

namespace quillmont::editor {
namespace {

std::string LocalTime(std::int64_t ms, const char* format) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[64];
  return std::strftime(text, sizeof text, format, &local) ? text : "";
}

bool IsMail(const store::Destination& d) { return d.kind == store::Destination::Kind::Mail; }

}  // namespace

std::string DestinationText(const store::Destination& d) {
  if (IsMail(d)) return "e-mail to " + d.address;
  // An IPv6 address in brackets, so that the port stands apart.
  const std::string host = d.host.find(':') == std::string::npos ? d.host : "[" + d.host + "]";
  return d.version + " trap to " + host + ":" + std::to_string(d.port);
}

std::string LastDeliveryText(const store::Delivery& d, std::int64_t nowMs) {
  const char* format = "%b %Y";
  if (LocalTime(d.updated, "%Y-%m-%d") == LocalTime(nowMs, "%Y-%m-%d"))
    format = "%H:%M";
  else if (LocalTime(d.updated, "%Y") == LocalTime(nowMs, "%Y"))
    format = "%b %d";
  return std::string(store::StateName(d.state)) + " " + LocalTime(d.updated, format);
}

void ShowDeliveryLog(Screen& screen, store::Store& store, std::int32_t notification, const std::string& name) {
  std::vector<BoxEntry> entries;
  if (!store::HasOutbox(store.Db())) {
    entries.push_back({"",
                       "This database has no delivery log: an older version made it, and read-only it is not "
                       "brought up to date."});
  } else {
    store::LogFilter filter;
    filter.notification = notification;
    for (const store::AttemptEntry& e : store::ListAttempts(store.Db(), filter)) {
      std::string text = e.result + (e.attempt > 0 ? " (attempt " + std::to_string(e.attempt) + ")" : "") + ": " +
                         DestinationText(e.delivery.destination);
      if (!e.outcome.empty() && e.outcome != e.result) text += ": " + e.outcome;
      entries.push_back({LocalTime(e.at, "%Y-%m-%d %H:%M:%S"), text});
    }
    if (entries.empty()) entries.push_back({"", "Nothing was sent for this notification yet."});
  }
  ShowEntries(screen, "Deliveries of \"" + name + "\"", entries, "Newest first (the last 200). Esc closes.");
}

std::string AttemptLine(const store::AttemptEntry& e, bool json) {
  const store::Delivery& d = e.delivery;
  if (json) {
    nlohmann::ordered_json line = {
        {"time", store::FormatMs(e.at)},
        {"delivery", d.id},
        {"token", d.token},
        {"notification", {{"id", d.notificationId}, {"name", d.notification}, {"revision", d.revision}}},
        {"event", {{"key", d.event.key}, {"node", d.event.node}, {"time", store::FormatMs(d.event.time)}}},
        {"attempt", e.attempt},
        {"result", e.result},
        {"state", store::StateName(d.state)},
        {"destination", IsMail(d.destination)
                            ? nlohmann::ordered_json{{"kind", "mail"}, {"address", d.destination.address}}
                            : nlohmann::ordered_json{{"kind", "trap"},
                                                     {"host", d.destination.host},
                                                     {"port", d.destination.port},
                                                     {"version", d.destination.version}}},
        {"outcome", e.outcome},
        {"dispatcher", e.dispatcher},
    };
    return line.dump(-1, ' ', true, nlohmann::ordered_json::error_handler_t::replace);
  }
  std::string line = store::FormatMs(e.at) + '\t' + std::to_string(d.id) + '\t' + std::to_string(d.notificationId);
  for (const std::string* text : {&d.notification, &d.event.key, &d.event.node})
    line += '\t' + text::ForTerminal(*text);
  line += '\t' + std::to_string(e.attempt) + '\t' + text::ForTerminal(e.result);
  return line + '\t' + text::ForTerminal(DestinationText(d.destination)) + '\t' + text::ForTerminal(e.outcome);
}

}  // namespace quillmont::editor
