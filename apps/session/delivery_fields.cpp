#include "apps/session/delivery_fields.h"

#include <charconv>

namespace quillmont::session {
namespace {

using Settings = store::DeliverySettings;

DeliveryField Text(const char* label, std::string Settings::*field, bool multiLine = false) {
  return {
      label,
      [field](const Settings& s) { return s.*field; },
      [field](Settings& s, const std::string& v) -> std::optional<std::string> { return s.*field = v, std::nullopt; },
      {},
      multiLine};
}

DeliveryField Number(const char* label, int Settings::*field) {
  return {label, [field](const Settings& s) { return std::to_string(s.*field); },
          [field](Settings& s, const std::string& v) -> std::optional<std::string> {
            int value = 0;
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
            if (ec != std::errc() || end != v.data() + v.size()) return std::string("Please enter a whole number.");
            s.*field = value;
            return std::nullopt;
          }};
}

// A number whose bounds depend on its neighbours (the retry schedule): checked
// with the store's rules against the settings as they stand.
DeliveryField Bounded(const char* label, int Settings::*field) {
  DeliveryField number = Number(label, field);
  number.set = [parse = number.set](Settings& s, const std::string& v) -> std::optional<std::string> {
    Settings tried = s;
    if (auto refused = parse(tried, v)) return refused;
    try {
      store::CheckDeliverySettings(tried);
    } catch (const std::exception& e) {
      return std::string(e.what());
    }
    s = tried;
    return std::nullopt;
  };
  return number;
}

// The store's check of one setting: the others at their defaults, so that
// only this one can be at fault.
std::optional<std::string> CheckedAlone(const std::function<void(Settings&)>& put) {
  Settings alone;
  put(alone);
  try {
    store::CheckDeliverySettings(alone);
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
  return std::nullopt;
}

}  // namespace

const std::vector<DeliveryField>& DeliveryFields() {
  static const std::vector<DeliveryField> fields = [] {
    std::vector<std::string> tls;
    for (auto mode : store::kTlsModes) tls.emplace_back(store::TlsName(mode));
    return std::vector<DeliveryField>{
        Text("SNMP community", &Settings::snmpCommunity),
        // Checked as it is entered: an OID that cannot go out exactly is refused.
        {"SNMP enterprise OID", [](const Settings& s) { return s.snmpEnterprise; },
         [](Settings& s, const std::string& v) {
           auto refused = CheckedAlone([&v](Settings& alone) { alone.snmpEnterprise = v; });
           if (!refused) s.snmpEnterprise = v;
           return refused;
         }},
        Text("SMTP server", &Settings::smtpServer),
        Number("SMTP port", &Settings::smtpPort),
        {"SMTP TLS", [](const Settings& s) { return std::string(store::TlsName(s.smtpTls)); },
         [](Settings& s, const std::string& v) -> std::optional<std::string> {
           try {
             s.smtpTls = store::TlsFromName(v);
           } catch (const std::exception& e) {
             return std::string(e.what());
           }
           return std::nullopt;
         },
         tls},
        Text("From address", &Settings::mailFrom),
        Text("SMTP user", &Settings::smtpUser),
        Text("Password file", &Settings::smtpPasswordFile),
        Text("SMTP CA file", &Settings::smtpCaFile),
        Text("Default subject", &Settings::defaultSubject),
        Text("Default message", &Settings::defaultMessage, true),
        Number("Connect timeout (s)", &Settings::connectTimeoutSeconds),
        Number("Timeout (s)", &Settings::timeoutSeconds),
        Bounded("Retry interval (s)", &Settings::retryIntervalSeconds),
        Bounded("Max retry interval (s)", &Settings::retryMaxIntervalSeconds),
        Bounded("Attempts", &Settings::attempts),
        Bounded("Give up after (s)", &Settings::retryMaxAgeSeconds),
        Bounded("Suppress repeats (s)", &Settings::repeatIntervalSeconds),
        Bounded("Keep deliveries (days)", &Settings::keepDays),
    };
  }();
  return fields;
}

}  // namespace quillmont::session
