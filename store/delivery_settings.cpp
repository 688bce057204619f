#include "store/delivery_settings.h"

#include <charconv>
#include <functional>
#include <vector>

#include "quillmont/platform/error.h"
#include "quillmont/rules/fields.h"
#include "store/definition_store.h"

namespace quillmont::store {
namespace {

[[noreturn]] void Refuse(const std::string& message) { throw Error(ErrorCode::InvalidPropertyValue, message); }

using rules::HasLineBreak;

int ParseInt(const std::string& key, const std::string& text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size())
    Refuse("The setting \"" + key + "\" must be a whole number, not \"" + text + "\".");
  return value;
}

// Each key with how it is read from and written to its text.
struct Field {
  const char* key;
  std::function<void(DeliverySettings&, const std::string&)> read;
  std::function<std::string(const DeliverySettings&)> write;
  // The value names a file on this machine that a delivery reads.
  bool localFile = false;
};

// A whole number kept in a member.
Field Number(const char* key, int DeliverySettings::*member) {
  return {key, [key, member](DeliverySettings& s, const std::string& v) { s.*member = ParseInt(key, v); },
          [member](const DeliverySettings& s) { return std::to_string(s.*member); }};
}

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
      {"Delivery.SmtpTls", [](S& s, const std::string& v) { s.smtpTls = TlsFromName(v); },
       [](const S& s) { return std::string(TlsName(s.smtpTls)); }},
      {"Delivery.MailFrom", [](S& s, const std::string& v) { s.mailFrom = v; }, [](const S& s) { return s.mailFrom; }},
      {"Delivery.SmtpUser", [](S& s, const std::string& v) { s.smtpUser = v; }, [](const S& s) { return s.smtpUser; }},
      {"Delivery.SmtpPasswordFile", [](S& s, const std::string& v) { s.smtpPasswordFile = v; },
       [](const S& s) { return s.smtpPasswordFile; }, true},
      {"Delivery.SmtpCaFile", [](S& s, const std::string& v) { s.smtpCaFile = v; },
       [](const S& s) { return s.smtpCaFile; }, true},
      {"Delivery.DefaultSubject", [](S& s, const std::string& v) { s.defaultSubject = v; },
       [](const S& s) { return s.defaultSubject; }},
      {"Delivery.DefaultMessage", [](S& s, const std::string& v) { s.defaultMessage = v; },
       [](const S& s) { return s.defaultMessage; }},
      {"Delivery.ConnectTimeout",
       [](S& s, const std::string& v) { s.connectTimeoutSeconds = ParseInt("Delivery.ConnectTimeout", v); },
       [](const S& s) { return std::to_string(s.connectTimeoutSeconds); }},
      {"Delivery.Timeout", [](S& s, const std::string& v) { s.timeoutSeconds = ParseInt("Delivery.Timeout", v); },
       [](const S& s) { return std::to_string(s.timeoutSeconds); }},
      Number("Delivery.RetryInterval", &S::retryIntervalSeconds),
      Number("Delivery.RetryMaxInterval", &S::retryMaxIntervalSeconds),
      Number("Delivery.Attempts", &S::attempts),
      Number("Delivery.RetryMaxAge", &S::retryMaxAgeSeconds),
      Number("Delivery.RepeatInterval", &S::repeatIntervalSeconds),
      Number("Delivery.KeepDays", &S::keepDays),
  };
  return fields;
}

}  // namespace

DeliverySettings::Tls TlsFromName(const std::string& name) {
  for (auto tls : kTlsModes)
    if (name == TlsName(tls)) return tls;
  Refuse(R"(The setting "Delivery.SmtpTls" must be none, starttls or tls, not ")" + name + "\".");
}

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
  if (!rules::IsOid(s.snmpEnterprise))
    Refuse("The SNMP enterprise OID \"" + s.snmpEnterprise +
           "\" cannot be sent: it must be a dotted number such as 1.3.6.1.4.1.32473.1 (first arc 0 to 2, "
           "second below 40 under 0 and 1, each arc at most 4294967295, at most " +
           std::to_string(rules::kMaxOidArcs) + " arcs).");
  if (s.smtpServer.empty() || s.smtpServer.find_first_of("\r\n /?#@") != std::string::npos)
    Refuse("The SMTP server must be a host name or address.");
  if (!rules::IsPort(s.smtpPort))
    Refuse("The SMTP port must be from " + std::to_string(rules::kPortMin) + " to " + std::to_string(rules::kPortMax) +
           ".");
  if (!rules::IsValidEmailAddressText(s.mailFrom) || HasLineBreak(s.mailFrom))
    Refuse("The sender address \"" + s.mailFrom + "\" is not a valid e-mail address.");
  if (HasLineBreak(s.smtpUser) || HasLineBreak(s.smtpPasswordFile) || HasLineBreak(s.smtpCaFile))
    Refuse("The SMTP user, password file and CA file must be one line each.");
  if (HasLineBreak(s.defaultSubject)) Refuse("The default subject must be one line.");
  if (s.connectTimeoutSeconds < 1 || s.connectTimeoutSeconds > 600 || s.timeoutSeconds < 1 || s.timeoutSeconds > 3600)
    Refuse("The timeouts must be from 1 to 600 seconds (connect) and 1 to 3600 seconds (in all).");
  if (s.retryIntervalSeconds < 1 || s.retryMaxIntervalSeconds < s.retryIntervalSeconds ||
      s.retryMaxIntervalSeconds > 86400)
    Refuse("The retry interval must be at least 1 second and at most the longest retry interval (at most 86400).");
  if (s.attempts < 1 || s.attempts > 1000 || s.retryMaxAgeSeconds < 1 || s.retryMaxAgeSeconds > 30 * 86400)
    Refuse("A delivery is tried from 1 to 1000 times, for at most 30 days (2592000 seconds).");
  if (s.repeatIntervalSeconds < 0 || s.repeatIntervalSeconds > 30 * 86400 || s.keepDays < 1 || s.keepDays > 3650)
    Refuse("The repeat interval must be from 0 to 2592000 seconds and deliveries kept from 1 to 3650 days.");
}

DeliverySettings LoadDeliverySettings(Store& store) {
  DeliverySettings settings;
  for (const Field& field : Fields())
    if (auto value = store.Setting(field.key)) field.read(settings, *value);
  return settings;
}

DeliverySettings SettingsForDelivery(Store& store) {
  DeliverySettings settings = LoadDeliverySettings(store);
  const std::string whose = store.Db().Kind() == Backend::Postgres ? "The database " + store.Db().DisplayName() +
                                                                         " is on a server, where others may write it."
                                                                   : store.Untrusted();
  if (whose.empty()) return settings;
  auto refuse = [&whose](const std::string& key, const std::string& value) {
    throw Error(ErrorCode::Failed,
                "The setting \"" + key + "\" names the file " + value +
                    " on this machine, which is read only when the setting comes from a database file of yours or "
                    "root's. " +
                    whose + " Remove the setting" +
                    (key == "Delivery.SmtpPasswordFile" ? ", or give the password in QUILLMONT_SMTP_PASSWORD." : "."));
  };
  for (const Field& field : Fields())
    if (const std::string value = field.write(settings); field.localFile && !value.empty()) refuse(field.key, value);
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
