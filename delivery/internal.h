#pragma once

#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "delivery/delivery.h"

// Shared by the two channels and the loop in Deliver that drives them.
namespace quillmont::delivery {

using Clock = std::chrono::steady_clock;

std::string TrapDestination(const Manager& manager);
std::string MailDestination(const std::string& recipient);
// "host:port", "[v6]:port".
std::string HostPort(const std::string& host, int port);
bool StopRequested(const Options& options);
// "cancelled" or "not sent: the time allowed ran out".
std::string StopReason(const Options& options);
// "2.0 s": a time spent, as messages give it.
std::string Seconds(Clock::duration spent);

// Milliseconds a step may take: the settings' bound, cut to what is left
// before the deadline (at least 1).
long BoundMs(const Options& options, int seconds);

// The text of a regular file of the user's own (or, unless secret, root's)
// that nobody else may write (nor, when secret, read), of at most maxBytes: opened without following a
// link or waiting on a FIFO; Error(Failed) saying why not. `what` names it
// ("password file").
std::string ReadOwnFile(const std::string& path, const std::string& what, bool secret, std::size_t maxBytes);

// One resolved address of a host.
struct Address {
  std::string text;  // numeric, without brackets
  sockaddr_storage socket{};
  socklen_t length = 0;
};

// Tells the outcome of destination `index` once it is known.
using Failure = Outcome::Failure;
using Finish = std::function<void(std::size_t index, bool sent, const std::string& detail, Failure failure)>;

// Every host name of a run looked up at once (getaddrinfo_a); a lookup that
// outlives the run is left to the resolver's thread, never waited for.
class Resolver {
 public:
  explicit Resolver(const std::vector<std::string>& hosts);
  ~Resolver();
  Resolver(const Resolver&) = delete;
  Resolver& operator=(const Resolver&) = delete;
  // Whether the host's lookup has ended; then its addresses (IPv4 first), or
  // none and why in `error`.
  bool Done(const std::string& host, std::vector<Address>& addresses, std::string& error);

 private:
  struct Lookup;
  std::vector<Lookup*> lookups_;
};

// Traps in flight: each built with Net-SNMP and handed to a connected UDP
// socket of its own, then watched for a "port unreachable" a short while.
class TrapSender {
 public:
  explicit TrapSender(const DeliverySettings& settings);
  ~TrapSender();
  TrapSender(const TrapSender&) = delete;
  TrapSender& operator=(const TrapSender&) = delete;
  void Start(std::size_t index, const Notification& notification, const Event& event, const Manager& manager,
             const Address& address, const Finish& finish);
  // Ends the watches that are over (all of them when `end`).
  void Poll(const Finish& finish, bool end);
  bool Idle() const { return sent_.empty(); }
  std::vector<int> Sockets() const;

 private:
  struct Sent {
    std::size_t index;
    int fd;
    Clock::time_point at;
    std::string where;
  };
  const DeliverySettings& settings_;
  std::vector<Sent> sent_;
};

// Mails in flight, each on its own SMTP connection through libcurl, on a
// small pool of threads: libcurl's SMTP waits for the answer to a message's
// end inside its multi interface, where it would hold up all the others.
class MailSender {
 public:
  // `authorities`: PEM certificates to check the server's against, or empty
  // for the system's.
  MailSender(const DeliverySettings& settings, const Options& options, std::string password, std::string authorities);
  ~MailSender();
  MailSender(const MailSender&) = delete;
  MailSender& operator=(const MailSender&) = delete;
  void Start(std::size_t index, std::string mail, const std::string& recipient, const std::vector<Address>& addresses,
             const Finish& finish);
  // Moves the transfers on and reports the ones that ended.
  void Perform(const Finish& finish);
  // Waits for news of a transfer or for `extra`, at most waitMs.
  void Wait(const std::vector<int>& extra, int waitMs);
  // Whether every mail started has been reported (their connections may
  // still be closing).
  bool Reported() const;
  // Stops what is still in flight (the run ran out or was cancelled) and
  // reports it, then closes every connection; nothing it does waits past
  // `hardStop` (a server's silence after QUIT included).
  void Close(const Finish& finish, Clock::time_point hardStop);
  struct State;  // libcurl's socket callbacks see it

 private:
  std::unique_ptr<State> state_;
};

}  // namespace quillmont::delivery
