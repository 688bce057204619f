#include "store/json_export.h"

#include <cstdio>

#include "quillmont/platform/terminal_text.h"
#include "quillmont/platform/ui/utf8.h"

namespace quillmont::store {
namespace {

std::string JsonOptional(const std::optional<std::string>& text) { return text ? JsonString(*text) : "null"; }

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (char32_t c : ui::utf8::Decode(text)) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        // Valid JSON either way, but the export is also read on terminals:
        // C1 and bidirectional controls go out escaped too.
        if (text::IsControl(c) || text::IsBidiControl(c) || c == 0x2028 || c == 0x2029) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
          out += buffer;
        } else {
          out += ui::utf8::Encode(c);
        }
    }
  }
  return out + "\"";
}

std::string ExportJson(Store& store, std::int32_t id) {
  const NotificationRecord r = store.ReadNotification(id);
  auto catalogue = store.EventTypes();
  std::string out = "{\n";
  out += "  \"number\": " + std::to_string(r.id) + ",\n";
  out += "  \"name\": " + JsonString(r.name) + ",\n";
  out += "  \"snmpManagers\": [";
  for (std::size_t i = 0; i < r.managers.size(); ++i) {
    const StoredManager& m = r.managers[i];
    out += i ? ",\n    " : "\n    ";
    out += "{\"host\": " + JsonString(m.host) + ", \"port\": " + std::to_string(m.port) +
           ", \"version\": " + JsonString(m.version) + ", \"timeFormat\": " + JsonString(m.timeFormat) + "}";
  }
  out += r.managers.empty() ? "],\n" : "\n  ],\n";
  out += "  \"emailRecipients\": [";
  for (std::size_t i = 0; i < r.recipients.size(); ++i) out += (i ? ", " : "") + JsonString(r.recipients[i]);
  out += "],\n";
  out += "  \"emailSubject\": " + JsonOptional(r.subject) + ",\n";
  out += "  \"emailMessage\": " + JsonOptional(r.message) + ",\n";
  out += "  \"eventGroupId\": " + std::to_string(r.eventGroupId) + ",\n";
  out += "  \"eventTypes\": [";
  for (std::size_t i = 0; i < r.eventTypeKeys.size(); ++i) {
    const std::string& key = r.eventTypeKeys[i];
    auto type = catalogue->Item(key);
    out += i ? ",\n    " : "\n    ";
    out += "{\"key\": " + JsonString(key) + ", \"name\": " + (type ? JsonString(type->Name()) : "null") +
           ", \"groupId\": " + (type ? std::to_string(type->GroupID()) : "null") + "}";
  }
  out += r.eventTypeKeys.empty() ? "]\n" : "\n  ]\n";
  return out + "}\n";
}

}  // namespace quillmont::store
