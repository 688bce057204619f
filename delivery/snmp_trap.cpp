#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>

// Net-SNMP's configuration comes before any other header of it.
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
// The UDP transports, made directly.
#include <net-snmp/library/snmpIPBaseDomain.h>
#include <net-snmp/library/snmpUDPDomain.h>
#include <net-snmp/library/snmpUDPIPv6Domain.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "delivery/internal.h"
#include "quillmont/rules/fields.h"

namespace quillmont::delivery {
namespace {

void InitOnce() {
  static std::once_flag once;
  // No MIBs parsed, no configuration or state files read or written, no
  // transport registry (the UDP transport is made directly), and no log
  // lines on the terminal the editor draws on: everything a v1 or v2c trap
  // needs is passed with the session.
  std::call_once(once, [] { snmp_disable_log(); });
}

struct Address {
  std::string text;
  bool v6 = false;
  sockaddr_storage socket{};
  socklen_t length = 0;
};

// How long a sent trap waits for its host to answer "port unreachable".
constexpr long kRefusalWaitMs = 200;

// A trap gets no reply, but a host with nothing on the port answers with an
// ICMP "port unreachable", which a connected UDP socket reports as
// ECONNREFUSED: the one failure after sending that can be known.
bool RefusedAfterSend(int fd, long waitMs) {
  pollfd p{fd, 0, 0};
  poll(&p, 1, static_cast<int>(waitMs));
  int error = 0;
  socklen_t length = sizeof error;
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == ECONNREFUSED;
}

// A pending lookup lives on the heap: when it cannot be cancelled in time
// the resolver still writes to it, so it is then left to it.
struct Lookup {
  std::string name;
  addrinfo hints{};
  gaicb request{};
};

// Resolves the host within the bound, preferring IPv4 (a trap receiver
// listens there by default); throws a message for the outcome.
Address Resolve(const std::string& host, const Options& options, long boundMs) {
  auto* lookup = new Lookup;
  lookup->name = host;
  lookup->hints.ai_socktype = SOCK_DGRAM;
  lookup->request.ar_name = lookup->name.c_str();
  lookup->request.ar_request = &lookup->hints;
  gaicb* list[] = {&lookup->request};
  if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) {
    delete lookup;
    throw std::runtime_error("the name " + host + " could not be looked up");
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
  int rc;
  while ((rc = gai_error(&lookup->request)) == EAI_INPROGRESS) {
    if (StopRequested(options) || std::chrono::steady_clock::now() >= until) {
      if (gai_cancel(&lookup->request) != EAI_NOTCANCELED) {
        if (gai_error(&lookup->request) == 0) freeaddrinfo(lookup->request.ar_result);
        delete lookup;
      }
      if (StopRequested(options)) throw std::runtime_error(StopReason(options));
      throw std::runtime_error("timed out resolving the name " + host);
    }
    const timespec slice{0, 50'000'000};
    gai_suspend(list, 1, &slice);
  }
  if (rc != 0) {
    delete lookup;
    throw std::runtime_error("name not resolved: " + host + " (" + gai_strerror(rc) + ")");
  }
  const addrinfo* chosen = lookup->request.ar_result;
  if (!chosen) {  // success with no address: a resolver fault, not a crash
    delete lookup;
    throw std::runtime_error("name not resolved: " + host + " (no address)");
  }
  for (const addrinfo* a = chosen; a; a = a->ai_next)
    if (a->ai_family == AF_INET) {
      chosen = a;
      break;
    }
  Address out;
  char text[INET6_ADDRSTRLEN] = {};
  if (chosen->ai_family == AF_INET6) {
    out.v6 = true;
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(chosen->ai_addr)->sin6_addr, text, sizeof text);
  } else {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(chosen->ai_addr)->sin_addr, text, sizeof text);
  }
  out.text = text;
  std::memcpy(&out.socket, chosen->ai_addr, chosen->ai_addrlen);
  out.length = chosen->ai_addrlen;
  freeaddrinfo(lookup->request.ar_result);
  delete lookup;
  return out;
}

std::vector<oid> ParseOid(const std::string& text) {
  std::vector<oid> arcs;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t dot = text.find('.', i);
    arcs.push_back(std::strtoul(text.substr(i, dot - i).c_str(), nullptr, 10));
    if (dot == std::string::npos) break;
    i = dot + 1;
  }
  return arcs;
}

std::string LibraryError(netsnmp_session* session, void* handle) {
  int libError = 0, sysError = 0;
  char* text = nullptr;
  if (handle)
    snmp_sess_error(handle, &libError, &sysError, &text);
  else
    snmp_error(session, &libError, &sysError, &text);
  std::string out = text ? text : "unknown error";
  std::free(text);
  return out;
}

void AddString(netsnmp_pdu* pdu, std::vector<oid> name, const std::string& value) {
  snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_OCTET_STR, value.data(), value.size());
}

}  // namespace

Outcome SendTrap(const std::string& notification, const Manager& manager, const Event& event,
                 const DeliverySettings& settings, const Options& options) {
  Outcome outcome{notification, TrapDestination(manager), false, {}};
  const bool v1 = manager.version == rules::kSnmpV1;
  if (!rules::IsSnmpVersion(manager.version)) {
    outcome.detail = "not sent: unknown SNMP version \"" + manager.version + "\"";
    return outcome;
  }
  if (!rules::IsPort(manager.port)) {
    outcome.detail = "not sent: the port " + std::to_string(manager.port) + " is not from " +
                     std::to_string(rules::kPortMin) + " to " + std::to_string(rules::kPortMax);
    return outcome;
  }
  Address address;
  try {
    address = Resolve(manager.host, options, BoundMs(options, settings.connectTimeoutSeconds));
  } catch (const std::exception& e) {
    outcome.detail = e.what();
    return outcome;
  }
  InitOnce();
  // The manager's address and port, for the transport and for connect.
  netsnmp_ep endpoint{};
  std::memcpy(&endpoint.a, &address.socket, std::min<std::size_t>(address.length, sizeof endpoint.a));
  if (address.v6)
    endpoint.a.sin6.sin6_port = htons(static_cast<std::uint16_t>(manager.port));
  else
    endpoint.a.sin.sin_port = htons(static_cast<std::uint16_t>(manager.port));
  netsnmp_transport* transport =
      address.v6 ? netsnmp_udp6_transport(&endpoint, 0) : netsnmp_udp_transport(&endpoint, 0);
  std::string community = settings.snmpCommunity;
  netsnmp_session session;
  snmp_sess_init(&session);
  session.version = v1 ? SNMP_VERSION_1 : SNMP_VERSION_2c;
  session.community = reinterpret_cast<u_char*>(community.data());
  session.community_len = community.size();
  // The session owns the transport from here, also when it fails.
  void* handle = transport ? snmp_sess_add(&session, transport, nullptr, nullptr) : nullptr;
  if (!handle) {
    outcome.detail =
        "could not open a UDP socket for " + TrapDestination(manager) + ": " + LibraryError(&session, nullptr);
    return outcome;
  }
  const int fd = transport->sock;
  const bool connected = fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&endpoint.a),
                                            address.v6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in)) == 0;

  const std::vector<oid> enterprise = ParseOid(settings.snmpEnterprise);
  const auto uptime = static_cast<u_long>(get_uptime());
  netsnmp_pdu* pdu = snmp_pdu_create(v1 ? SNMP_MSG_TRAP : SNMP_MSG_TRAP2);
  if (v1) {
    pdu->enterprise = static_cast<oid*>(std::malloc(enterprise.size() * sizeof(oid)));
    std::memcpy(pdu->enterprise, enterprise.data(), enterprise.size() * sizeof(oid));
    pdu->enterprise_length = enterprise.size();
    pdu->trap_type = SNMP_TRAP_ENTERPRISESPECIFIC;
    pdu->specific_type = 1;
    pdu->time = uptime;
  } else {
    // sysUpTime.0 and snmpTrapOID.0 lead every v2 notification; the trap
    // OID is the v1 enterprise, 0 and the specific number.
    const oid sysUpTime[] = {1, 3, 6, 1, 2, 1, 1, 3, 0};
    const oid trapOidName[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
    snmp_pdu_add_variable(pdu, sysUpTime, std::size(sysUpTime), ASN_TIMETICKS, &uptime, sizeof uptime);
    std::vector<oid> trapOid = enterprise;
    trapOid.push_back(0);
    trapOid.push_back(1);
    snmp_pdu_add_variable(pdu, trapOidName, std::size(trapOidName), ASN_OBJECT_ID, trapOid.data(),
                          trapOid.size() * sizeof(oid));
  }
  // The bindings: enterprise.2.1 to .2.6.
  const std::string values[] = {notification, event.key,     event.name,
                                event.node,   event.message, FormatTime(event.time, manager.timeFormat)};
  for (std::size_t i = 0; i < std::size(values); ++i) {
    std::vector<oid> name = enterprise;
    name.push_back(2);
    name.push_back(i + 1);
    AddString(pdu, name, values[i]);
  }
  if (snmp_sess_send(handle, pdu) == 0) {
    outcome.detail = "not sent: " + LibraryError(&session, handle);
    snmp_free_pdu(pdu);
  } else if (connected && RefusedAfterSend(fd, std::min(kRefusalWaitMs, BoundMs(options, 1)))) {
    outcome.detail = "refused: nothing receives traps on " + HostPort(manager.host, manager.port) +
                     " (the host answered \"port unreachable\")";
  } else {
    outcome.sent = true;
    outcome.detail = "sent";
  }
  snmp_sess_close(handle);
  return outcome;
}

}  // namespace quillmont::delivery
