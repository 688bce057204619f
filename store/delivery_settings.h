#pragma once

#include <string>

namespace quillmont::store {

class Store;

// How the editor's test and quillmont-notify deliver: kept in the settings
// table under "Delivery.*". The SMTP password is never among them: it comes
// from the environment or from a file only its owner may read.
struct DeliverySettings {
  enum class Tls { None, StartTls, Implicit };

  std::string snmpCommunity = "public";
  // The enterprise of v1 traps; v2c traps are this OID followed by 0 and the
  // specific trap number, as v1 traps are translated.
  std::string snmpEnterprise = "1.3.6.1.4.1.32473.1";

  std::string smtpServer = "localhost";
  int smtpPort = 25;
  Tls smtpTls = Tls::None;
  std::string mailFrom = "quillmont@localhost";
  std::string smtpUser;  // empty: no login
  // A file holding the password, used when the environment has none.
  std::string smtpPasswordFile;
  // Certificates (PEM) of the authorities that may sign the SMTP server's
  // certificate, instead of the system's; empty: the system's.
  std::string smtpCaFile;

  // Used where a notification's own subject or message is "<Default>".
  // {notification}, {event}, {event_key}, {node}, {message} and {time} are
  // replaced when a message is made.
  std::string defaultSubject = "Quillmont: {event} on {node}";
  std::string defaultMessage =
      "Notification: {notification}\nEvent: {event} ({event_key})\nNode: {node}\nTime: {time}\n\n{message}\n";

  // Each send's bound in seconds: connecting, and the whole exchange.
  int connectTimeoutSeconds = 5;
  int timeoutSeconds = 15;

  // The outbox's retries: the first after retryIntervalSeconds, each next
  // one twice as late (with jitter) up to retryMaxIntervalSeconds; a
  // delivery is failed after `attempts` tries or once retryMaxAgeSeconds
  // passed since its event came.
  int retryIntervalSeconds = 10;
  int retryMaxIntervalSeconds = 600;
  int attempts = 10;
  int retryMaxAgeSeconds = 86400;
  // The same notification for the same event key and node again within
  // this many seconds is recorded as suppressed, not sent; 0: never.
  int repeatIntervalSeconds = 0;
  // Finished deliveries and their attempts are kept this long.
  int keepDays = 30;
};

// The TLS modes in the order they are offered.
inline constexpr DeliverySettings::Tls kTlsModes[] = {DeliverySettings::Tls::None, DeliverySettings::Tls::StartTls,
                                                      DeliverySettings::Tls::Implicit};
// The TLS mode's name as stored and shown ("none", "starttls", "tls").
const char* TlsName(DeliverySettings::Tls tls) noexcept;
// The mode of that name; Error(InvalidPropertyValue) for another name.
DeliverySettings::Tls TlsFromName(const std::string& name);

// Error(InvalidPropertyValue) naming the first setting that cannot be used
// (a bad OID, port, address, timeout, or a line break in a text that goes
// into a header).
void CheckDeliverySettings(const DeliverySettings& settings);

// Missing keys keep their defaults; a stored value that cannot be used is an
// Error(InvalidPropertyValue) naming the key.
DeliverySettings LoadDeliverySettings(Store& store);
// The settings as a delivery uses them. A setting that names a file on this
// machine (the password file) is honoured only from a database file of the
// user's or root's that others may not write: whoever may write the settings
// could otherwise have one of the user's files read and sent away. From any
// other database (another user's file, a server's) such a setting is an
// Error(Failed) naming whose database it is.
DeliverySettings SettingsForDelivery(Store& store);
// Checks, then writes every key in one transaction (read-only: for this run).
void SaveDeliverySettings(Store& store, const DeliverySettings& settings);

}  // namespace quillmont::store
