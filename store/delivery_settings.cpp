#include "store/delivery_settings.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "quillmont/platform/error.h"
#include "quillmont/services/app_context.h"
#include "store/definition_store.h"

namespace quillmont::store {
namespace {

[[noreturn]] void Refuse(const std::string& message) { throw Error(ErrorCode::InvalidPropertyValue, message); }

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

}  // namespace

bool IsEncodableOid(const std::string& text) {
  // Dotted decimal that BER carries exactly: 2 to 126 arcs (the bindings
  // under it add two, and Net-SNMP takes 128), none empty or
  // with a leading zero, each at most 2^32 - 1; the first 0 to 2, the second
  // below 40 under 0 and 1 (the two share one subidentifier, 40 * first +
  // second, which must fit too).
  std::vector<std::uint64_t> arcs;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(text.find('.', start), text.size());
    const std::string_view arc(text.data() + start, end - start);
    std::uint64_t value = 0;
    const auto [last, ec] = std::from_chars(arc.data(), arc.data() + arc.size(), value);
    if (arc.empty() || ec != std::errc() || last != arc.data() + arc.size() || (arc.size() > 1 && arc[0] == '0') ||
        value > 0xFFFFFFFFull || arcs.size() == 126)
      return false;
    arcs.push_back(value);
    if (end == text.size()) break;
    start = end + 1;
  }
  return arcs.size() >= 2 && arcs[0] <= 2 && (arcs[0] == 2 || arcs[1] < 40) && 40 * arcs[0] + arcs[1] <= 0xFFFFFFFFull;
}

namespace {

int ParseInt(const std::string& key, const std::string& text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size())
    Refuse("The setting \"" + key + "\" must be a whole number, not \"" + text + "\".");
  return value;
}

DeliverySettings::Tls ParseTls(const std::string& text) {
  if (text == "none") return DeliverySettings::Tls::None;
  if (text == "starttls") return DeliverySettings::Tls::StartTls;
  if (text == "tls") return DeliverySettings::Tls::Implicit;
  Refuse(R"(The setting "Delivery.SmtpTls" must be none, starttls or tls, not ")" + text + "\".");
}

// Each key with how it is read from and written to its text.
struct Field {
  const char* key;
  std::function<void(DeliverySettings&, const std::string&)> read;
  std::function<std::string(const DeliverySettings&)> write;
};

const std::vector<Field>& Fields() {
  using S = DeliverySettings;
  static const std::vector<Field> fields = {
      {"Delivery.SnmpCommunity", [](S& s, const std::string& v) { s.snmpCommunity = v; },
       [](const S& s) { return s.snmpCommunity; }},
      {"Delivery.SnmpEnterprise", [](S& s, const std::string& v) { s.snmpEnterprise = v; },
       [](const S& s) { return s.snmpEnterprise; }},
      {"Delivery.SmtpServer", [](S& s, const std::string& v) { s.smtpServer = v; },
       [](const S& s) { return s.smtpServer; }},
      {"Delivery.SmtpPort", [](S& s, const std::string& v) { s.smtpPort = ParseInt("Delivery.SmtpPort", v); },
       [](const S& s) { return std::to_string(s.smtpPort); }},
      {"Delivery.SmtpTls", [](S& s, const std::string& v) { s.smtpTls = ParseTls(v); },
       [](const S& s) { return std::string(TlsName(s.smtpTls)); }},
      {"Delivery.MailFrom", [](S& s, const std::string& v) { s.mailFrom = v; }, [](const S& s) { return s.mailFrom; }},
      {"Delivery.SmtpUser", [](S& s, const std::string& v) { s.smtpUser = v; }, [](const S& s) { return s.smtpUser; }},
      {"Delivery.SmtpPasswordFile", [](S& s, const std::string& v) { s.smtpPasswordFile = v; },
       [](const S& s) { return s.smtpPasswordFile; }},
      {"Delivery.SmtpCaFile", [](S& s, const std::string& v) { s.smtpCaFile = v; },
       [](const S& s) { return s.smtpCaFile; }},
      {"Delivery.DefaultSubject", [](S& s, const std::string& v) { s.defaultSubject = v; },
       [](const S& s) { return s.defaultSubject; }},
      {"Delivery.DefaultMessage", [](S& s, const std::string& v) { s.defaultMessage = v; },
       [](const S& s) { return s.defaultMessage; }},
      {"Delivery.ConnectTimeout",
       [](S& s, const std::string& v) { s.connectTimeoutSeconds = ParseInt("Delivery.ConnectTimeout", v); },
       [](const S& s) { return std::to_string(s.connectTimeoutSeconds); }},
      {"Delivery.Timeout", [](S& s, const std::string& v) { s.timeoutSeconds = ParseInt("Delivery.Timeout", v); },
       [](const S& s) { return std::to_string(s.timeoutSeconds); }},
  };
  return fields;
}

}  // namespace

const char* TlsName(DeliverySettings::Tls tls) noexcept {
  switch (tls) {
    case DeliverySettings::Tls::StartTls:
      return "starttls";
    case DeliverySettings::Tls::Implicit:
      return "tls";
    default:
      return "none";
  }
}

void CheckDeliverySettings(const DeliverySettings& s) {
  if (s.snmpCommunity.empty() || HasLineBreak(s.snmpCommunity))
    Refuse("The SNMP community must be one line of text, not empty.");
  if (!IsEncodableOid(s.snmpEnterprise))
    Refuse("The SNMP enterprise OID \"" + s.snmpEnterprise +
           "\" cannot be sent: it must be a dotted number such as 1.3.6.1.4.1.32473.1 (first arc 0 to 2, "
           "second below 40 under 0 and 1, each arc at most 4294967295, at most 126 arcs).");
  if (s.smtpServer.empty() || s.smtpServer.find_first_of("\r\n /?#@") != std::string::npos)
    Refuse("The SMTP server must be a host name or address.");
  if (s.smtpPort < 1 || s.smtpPort > 65535) Refuse("The SMTP port must be from 1 to 65535.");
  if (!IsValidEmailAddressText(s.mailFrom) || HasLineBreak(s.mailFrom))
    Refuse("The sender address \"" + s.mailFrom + "\" is not a valid e-mail address.");
  if (HasLineBreak(s.smtpUser) || HasLineBreak(s.smtpPasswordFile) || HasLineBreak(s.smtpCaFile))
    Refuse("The SMTP user, password file and CA file must be one line each.");
  if (HasLineBreak(s.defaultSubject)) Refuse("The default subject must be one line.");
  if (s.connectTimeoutSeconds < 1 || s.connectTimeoutSeconds > 600 || s.timeoutSeconds < 1 || s.timeoutSeconds > 3600)
    Refuse("The timeouts must be from 1 to 600 seconds (connect) and 1 to 3600 seconds (in all).");
}

DeliverySettings LoadDeliverySettings(Store& store) {
  DeliverySettings settings;
  for (const Field& field : Fields())
    if (auto value = store.Setting(field.key)) field.read(settings, *value);
  return settings;
}

void SaveDeliverySettings(Store& store, const DeliverySettings& settings) {
  CheckDeliverySettings(settings);
  if (store.ReadOnly()) {
    for (const Field& field : Fields()) store.SetSetting(field.key, field.write(settings));
    return;
  }
  WriteTransaction tx(store.Db());
  for (const Field& field : Fields()) store.SetSetting(field.key, field.write(settings));
  tx.Commit();
}

}  // namespace quillmont::store
