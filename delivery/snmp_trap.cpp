#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// Net-SNMP's configuration comes before any other header of it.
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "delivery/internal.h"
#include "quillmont/rules/fields.h"

namespace quillmont::delivery {
namespace {

// What the library said while building the current trap (it would otherwise
// write to stderr, under the editor's screen).
thread_local std::string libraryText;

int KeepLog(int, int, void*, void* message) {
  const auto* m = static_cast<const snmp_log_message*>(message);
  if (m && m->msg) libraryText += m->msg;
  return 1;
}

void InitOnce() {
  static std::once_flag once;
  // No MIBs parsed, no configuration or state files read or written, no
  // transport: the library only encodes. Its log lines are kept for the
  // outcome instead of reaching the terminal.
  std::call_once(once, [] {
    snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, KeepLog, nullptr);
    netsnmp_register_loghandler(NETSNMP_LOGHANDLER_CALLBACK, LOG_DEBUG);
  });
}

// How long a sent trap waits for its host to answer "port unreachable".
constexpr auto kRefusalWait = std::chrono::milliseconds(200);

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

void AddString(netsnmp_pdu* pdu, std::vector<oid> name, const std::string& value) {
  snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_OCTET_STR, value.data(), value.size());
}

// The trap as bytes, or why it could not be made. `local` is the socket's
// own address, the v1 trap's agent address.
std::string Encode(const DeliverySettings& settings, const Event& event, const Notification& notification,
                   const Manager& manager, const sockaddr_storage& local, std::string& error) {
  const bool v1 = manager.version == rules::kSnmpV1;
  const std::vector<oid> enterprise = ParseOid(settings.snmpEnterprise);
  const auto uptime = static_cast<u_long>(get_uptime());
  netsnmp_pdu* pdu = snmp_pdu_create(v1 ? SNMP_MSG_TRAP : SNMP_MSG_TRAP2);
  pdu->version = v1 ? SNMP_VERSION_1 : SNMP_VERSION_2c;
  pdu->community = static_cast<u_char*>(std::malloc(settings.snmpCommunity.size() + 1));
  std::memcpy(pdu->community, settings.snmpCommunity.c_str(), settings.snmpCommunity.size() + 1);
  pdu->community_len = settings.snmpCommunity.size();
  if (v1) {
    pdu->enterprise = static_cast<oid*>(std::malloc(enterprise.size() * sizeof(oid)));
    std::memcpy(pdu->enterprise, enterprise.data(), enterprise.size() * sizeof(oid));
    pdu->enterprise_length = enterprise.size();
    pdu->trap_type = SNMP_TRAP_ENTERPRISESPECIFIC;
    pdu->specific_type = 1;
    pdu->time = uptime;
    // Managers that tell v1 sources apart by this field see the sender.
    if (local.ss_family == AF_INET)
      std::memcpy(pdu->agent_addr, &reinterpret_cast<const sockaddr_in*>(&local)->sin_addr, 4);
  } else {
    pdu->reqid = snmp_get_next_reqid();
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
  // The bindings: enterprise.2.1 to .2.6, and .2.7 the delivery's id.
  const std::string values[] = {notification.name,
                                event.key,
                                event.name,
                                event.node,
                                event.message,
                                FormatTime(event.time, manager.timeFormat),
                                notification.deliveryId};
  for (std::size_t i = 0; i < std::size(values) - (notification.deliveryId.empty() ? 1 : 0); ++i) {
    std::vector<oid> name = enterprise;
    name.push_back(2);
    name.push_back(i + 1);
    AddString(pdu, name, values[i]);
  }
  netsnmp_session session;
  snmp_sess_init(&session);
  session.version = pdu->version;
  size_t size = 2048, length = 0;
  auto* buffer = static_cast<u_char*>(std::malloc(size));
  libraryText.clear();
  std::string packet;
  if (buffer && snmp_build(&buffer, &size, &length, &session, pdu) == 0) {
    // Encoded back to front unless asked otherwise: the packet is the end.
    const bool forward = (pdu->flags & UCD_MSG_FLAG_FORWARD_ENCODE) != 0;
    packet.assign(reinterpret_cast<const char*>(forward ? buffer : buffer + size - length), length);
  } else {
    error = libraryText.empty() ? snmp_api_errstring(snmp_errno) : libraryText;
    while (!error.empty() && (error.back() == '\n' || error.back() == ' ')) error.pop_back();
  }
  std::free(buffer);
  snmp_free_pdu(pdu);
  return packet;
}

}  // namespace

TrapSender::TrapSender(const DeliverySettings& settings) : settings_(settings) { InitOnce(); }

TrapSender::~TrapSender() {
  for (const Sent& s : sent_) close(s.fd);
}

void TrapSender::Start(std::size_t index, const Notification& notification, const Event& event, const Manager& manager,
                       const Address& address, const Finish& finish) {
  sockaddr_storage to = address.socket;
  if (to.ss_family == AF_INET6)
    reinterpret_cast<sockaddr_in6*>(&to)->sin6_port = htons(static_cast<std::uint16_t>(manager.port));
  else
    reinterpret_cast<sockaddr_in*>(&to)->sin_port = htons(static_cast<std::uint16_t>(manager.port));
  const std::string where = HostPort(manager.host, manager.port);
  // Connected, so that a "port unreachable" comes back as ECONNREFUSED and
  // the kernel picks the address the trap leaves from.
  const int fd = socket(to.ss_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&to), address.length) != 0) {
    const int error = errno;
    if (fd >= 0) close(fd);
    finish(index, false, "could not send to " + where + " (" + address.text + "): " + std::strerror(error),
           Failure::Transient);
    return;
  }
  sockaddr_storage local{};
  socklen_t localLength = sizeof local;
  getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength);
  std::string error;
  const std::string packet = Encode(settings_, event, notification, manager, local, error);
  if (packet.empty()) {
    close(fd);
    finish(index, false, "not sent: the trap could not be encoded: " + error, Failure::Permanent);
    return;
  }
  if (send(fd, packet.data(), packet.size(), 0) != static_cast<ssize_t>(packet.size())) {
    const int sendError = errno;
    close(fd);
    finish(index, false, "could not send to " + where + " (" + address.text + "): " + std::strerror(sendError),
           Failure::Transient);
    return;
  }
  sent_.push_back({index, fd, Clock::now(), where});
}

void TrapSender::Poll(const Finish& finish, bool end) {
  const auto now = Clock::now();
  std::erase_if(sent_, [&](const Sent& s) {
    // A trap gets no reply, but a host with nothing on the port answers with
    // an ICMP "port unreachable": the one failure after sending that can be
    // known.
    int error = 0;
    socklen_t length = sizeof error;
    const bool refused = getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == ECONNREFUSED;
    if (!refused && !end && now - s.at < kRefusalWait) return false;
    if (refused)
      finish(s.index, false,
             "refused: nothing receives traps on " + s.where + " (the host answered \"port unreachable\")",
             Failure::Transient);
    else
      finish(s.index, true, "sent", Failure::None);
    close(s.fd);
    return true;
  });
}

std::vector<int> TrapSender::Sockets() const {
  std::vector<int> out;
  for (const Sent& s : sent_) out.push_back(s.fd);
  return out;
}

}  // namespace quillmont::delivery
