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
};

// Whether an enterprise OID goes out in a trap exactly as written.
bool IsEncodableOid(const std::string& text);

// The TLS mode's name as stored and shown ("none", "starttls", "tls").
const char* TlsName(DeliverySettings::Tls tls) noexcept;

// Error(InvalidPropertyValue) naming the first setting that cannot be used
// (a bad OID, port, address, timeout, or a line break in a text that goes
// into a header).
void CheckDeliverySettings(const DeliverySettings& settings);

// Missing keys keep their defaults; a stored value that cannot be used is an
// Error(InvalidPropertyValue) naming the key.
DeliverySettings LoadDeliverySettings(Store& store);
// Checks, then writes every key in one transaction (read-only: for this run).
void SaveDeliverySettings(Store& store, const DeliverySettings& settings);

}  // namespace quillmont::store
