#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store/delivery_settings.h"

// Sending a notification to its SNMP managers (traps through Net-SNMP) and
// its e-mail recipients (libcurl's SMTP). Host side: the pages never send.
namespace quillmont::delivery {

using store::DeliverySettings;

struct Manager {
  std::string host;
  int port = 162;
  std::string version;     // "SNMP v1" or "SNMP v2c"
  std::string timeFormat;  // "UNIX" or "UTC"
};

// What is delivered: a notification's destinations and texts (nullopt or
// "<Default>" for the defaults of the settings).
struct Notification {
  std::string name;
  std::optional<std::string> subject, message;
  std::vector<Manager> managers;
  std::vector<std::string> recipients;
  // The outbox's id of this delivery, the same on every attempt: a mail's
  // Message-ID and a trap's binding .2.7 carry it, so that receivers can
  // drop a duplicate. Empty: a Message-ID of its own, no binding.
  std::string deliveryId{};
  // The subject and message were expanded when the event was recorded:
  // sent as they are.
  bool expanded = false;
};

// The event it is delivered for.
struct Event {
  std::string key, name, node, message;
  std::chrono::system_clock::time_point time = std::chrono::system_clock::now();
};

// One destination's result.
struct Outcome {
  // Why it was not sent: a reason that may pass (refused, timed out, not
  // resolved, a 4xx reply, the time allowed ran out, a setting to mend), one
  // that never will (a 5xx rejection of the recipient or the message, a
  // header with CR or LF, an unknown version), or a cancel.
  enum class Failure { None, Transient, Permanent, Cancelled };
  std::string notification;
  std::string destination;  // "SNMP v2c trap to host:port", "e-mail to address"
  bool sent = false;
  std::string detail;                    // "sent", or why not
  Failure failure = Failure::Transient;  // None when sent
  std::size_t index = 0;                 // its place among the outcomes of the call
};

struct Options {
  // Nothing is started after it, a send in progress stops at it, and the
  // call returns by it.
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
  // Set from another thread to stop; what is left is reported "cancelled".
  const std::atomic<bool>* cancel = nullptr;
  // Told of each outcome as it is known (from the calling thread).
  std::function<void(const Outcome&)> onOutcome;
  // Called from the calling thread at least every 100 ms while sends are in
  // flight (a caller records what onOutcome told it in groups).
  std::function<void()> onTick;
  // The SMTP password; when unset and the settings name a user, it is read
  // from QUILLMONT_SMTP_PASSWORD or the settings' password file.
  std::optional<std::string> password;
};

// The time as a manager of that time format shows it: "UNIX" seconds since
// the epoch, else ISO 8601 in UTC with "Z".
std::string FormatTime(std::chrono::system_clock::time_point time, const std::string& timeFormat);

// The text with {notification}, {event}, {event_key}, {node}, {message} and
// {time} (ISO 8601) replaced; other braces stay.
std::string Expand(const std::string& text, const std::string& notification, const Event& event);

// A mail's subject and message: the notification's own or the settings'
// defaults, expanded for the event (as they are when expanded is set).
std::pair<std::string, std::string> MailTexts(const Notification& notification, const Event& event,
                                              const DeliverySettings& settings);

// The destinations Deliver would send to, in its order, without sending.
std::vector<std::string> Destinations(const Notification& notification);

// Sends to every manager and recipient of the notifications at once: names
// are looked up together, traps go out on sockets of their own and mails on
// concurrent SMTP connections, each bounded by the settings' timeouts and
// all by the deadline, which the whole call keeps (closing included, however
// the servers behave). One outcome per destination, in the order of the
// notifications, each's managers before its recipients. Never throws for a
// destination's failure.
std::vector<Outcome> Deliver(const std::vector<Notification>& notifications, const Event& event,
                             const DeliverySettings& settings, const Options& options = {});
std::vector<Outcome> Deliver(const Notification& notification, const Event& event, const DeliverySettings& settings,
                             const Options& options = {});
// The same for notifications each of an event of its own (the outbox's
// deliveries): one outcome per destination, in their order.
struct Item {
  Notification notification;
  Event event;
};
std::vector<Outcome> DeliverEach(const std::vector<Item>& items, const DeliverySettings& settings,
                                 const Options& options = {});

// The password for an SMTP login: QUILLMONT_SMTP_PASSWORD, else the first
// line of the settings' password file, which must belong to this user and be
// readable by nobody else; Error(Failed) saying why otherwise.
std::string ReadPassword(const DeliverySettings& settings);

// The whole mail as sent (headers and body, CRLF line ends), or
// Error(InvalidPropertyValue) when a header value holds CR or LF or an
// address fails the address rule.
std::string ComposeMail(const Notification& notification, const std::string& recipient, const Event& event,
                        const DeliverySettings& settings);

}  // namespace quillmont::delivery
