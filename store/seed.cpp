#include "store/seed.h"

#include <cctype>
#include <string>
#include <vector>

#include "quillmont/rules/text.h"

namespace quillmont::store {
namespace {

struct SeedGroup {
  int id;
  const char* name;
  const char* label;
  std::vector<const char*> eventTypes;
};

// The catalogue. A key is the group label and the event name in lower case,
// e.g. "node.down".
const std::vector<SeedGroup>& Catalogue() {
  static const std::vector<SeedGroup> groups = {
      {1,
       "Node Status",
       "NODE",
       {"Down", "Up", "Unreachable", "Reachable Again", "Rebooted", "Added", "Removed", "Unmanaged", "Managed Again",
        "Flapping", "Response Time High", "Packet Loss High", "Warm Start", "Cold Start"}},
      {2,
       "Interfaces",
       "IF",
       {"Link Down", "Link Up", "Admin Down", "Speed Changed", "Duplex Mismatch", "Errors In High", "Errors Out High",
        "Discards In High", "Discards Out High", "Utilisation In High", "Utilisation Out High", "Added", "Removed",
        "Flapping"}},
      {3,
       "Routing",
       "ROUTING",
       {"BGP Peer Down", "BGP Peer Up", "BGP Prefix Limit Reached", "OSPF Neighbour Down", "OSPF Neighbour Up",
        "OSPF Area Changed", "EIGRP Neighbour Down", "EIGRP Neighbour Up", "Route Table Full", "Default Route Lost",
        "HSRP State Changed", "VRRP State Changed", "Routing Loop Detected"}},
      {4,
       "SNMP Agents",
       "SNMP",
       {"Agent Not Responding", "Agent Responding Again", "Authentication Failure", "Community Rejected",
        "Engine ID Changed", "Trap Storm", "Unknown Trap Received", "MIB Object Missing", "Poll Timeout",
        "Agent Restarted", "Counter Wrapped", "Version Mismatch", "Access Denied"}},
      {5,
       "Server Hardware",
       "HARDWARE",
       {"CPU Fault", "Memory Fault", "ECC Errors Corrected", "Fan Failed", "Fan Restored", "Power Supply Failed",
        "Power Supply Restored", "Temperature Warning", "Temperature Critical", "RAID Controller Fault",
        "Chassis Opened", "Firmware Out Of Date", "BMC Not Responding", "Voltage Out Of Range"}},
      {6,
       "Storage",
       "STORAGE",
       {"Volume Full", "Volume Almost Full", "Volume Space Recovered", "Disk Failed", "Disk Predictive Failure",
        "Array Degraded", "Array Rebuilding", "Array Rebuilt", "LUN Offline", "LUN Online", "Snapshot Failed",
        "Backup Failed", "Backup Completed", "Replication Lag High"}},
      {7,
       "Performance Thresholds",
       "PERF",
       {"CPU Load High", "CPU Load Normal", "Memory Usage High", "Memory Usage Normal", "Swap Usage High",
        "Disk IO Wait High", "Load Average High", "Process Count High", "Open Files High", "Latency High",
        "Jitter High", "Throughput Low", "Queue Depth High"}},
      {8,
       "Service Checks",
       "SERVICE",
       {"HTTP Down", "HTTP Up", "HTTP Slow", "HTTPS Certificate Expiring", "HTTPS Certificate Expired", "DNS Down",
        "DNS Wrong Answer", "SMTP Down", "SMTP Queue High", "Database Down", "Database Up", "LDAP Down",
        "NTP Offset High", "Process Not Running"}},
      {9,
       "Security",
       "SECURITY",
       {"Login Failures", "Brute Force Suspected", "Account Locked", "Privileged Login", "Port Scan Detected",
        "Intrusion Signature Matched", "Firewall Policy Changed", "Firewall Denied Burst", "VPN Tunnel Down",
        "VPN Tunnel Up", "Malware Detected", "New MAC Address On Port", "Rogue DHCP Server"}},
      {10,
       "Wireless",
       "WIRELESS",
       {"Access Point Down", "Access Point Up", "Access Point Rebooted", "Controller Down", "Controller Failover",
        "Channel Interference", "Client Count High", "Radio Disabled", "Rogue Access Point", "Noise Floor High",
        "Roaming Failures", "Mesh Link Down", "PoE Budget Exceeded"}},
      {11,
       "Power and Environment",
       "ENV",
       {"UPS On Battery", "UPS Back On Mains", "UPS Battery Low", "UPS Battery Replace", "UPS Overload",
        "Room Temperature High", "Room Temperature Normal", "Humidity High", "Humidity Low", "Water Leak Detected",
        "Smoke Detected", "Door Opened", "PDU Outlet Off", "Generator Running"}},
      {12,
       "Virtualisation",
       "VIRT",
       {"Host Disconnected", "Host Connected", "Host In Maintenance", "VM Powered Off", "VM Powered On", "VM Migrated",
        "VM Snapshot Too Old", "Datastore Full", "Cluster HA Failover", "Resource Pool Exhausted",
        "Container Restarting", "Pod Evicted", "Hypervisor Overcommitted"}},
      {13,
       "Configuration Changes",
       "CONFIG",
       {"Running Config Changed", "Startup Config Changed", "Config Saved", "Config Backup Failed",
        "Config Differs From Baseline", "Firmware Upgraded", "Firmware Downgraded", "VLAN Added", "VLAN Removed",
        "ACL Changed", "User Account Added", "SNMP Settings Changed", "Time Zone Changed"}},
      {14,
       "Licensing and Maintenance",
       "LICENSE",
       {"License Expiring", "License Expired", "License Limit Reached", "Support Contract Expiring",
        "Support Contract Expired", "Maintenance Window Started", "Maintenance Window Ended", "End Of Life Announced",
        "Asset Missing From Inventory", "Warranty Expiring", "Certificate Authority Expiring", "Node Limit Near",
        "Evaluation Ending"}},
      {15,
       "Monitoring System",
       "SYSTEM",
       {"Poller Down", "Poller Up", "Poller Overloaded", "Database Size High", "Database Maintenance Failed",
        "Event Queue Backlog", "Notification Failed", "Mail Server Unreachable", "Disk Space Low On Server",
        "Service Restarted", "Collector Clock Skew", "Discovery Completed", "Discovery Failed", "Report Failed"}},
  };
  return groups;
}

std::string KeyOf(const char* label, const std::string& name) {
  std::string key = rules::FoldedAscii(label) + '.';
  bool dash = false;
  for (unsigned char c : name) {
    if (std::isalnum(c)) {
      if (dash && key.back() != '.') key += '-';
      key += rules::FoldAscii(static_cast<char>(c));
      dash = false;
    } else {
      dash = true;
    }
  }
  return key;
}

struct SampleManager {
  const char* host;
  int port;
  const char* version;
  const char* timeFormat;
};

struct SampleNotification {
  const char* name;
  const char* subject;  // null: the default subject
  const char* message;  // null: the default message
  int eventGroupId;
  std::vector<SampleManager> managers;
  std::vector<const char*> recipients;
  std::vector<const char*> eventTypeKeys;
};

const std::vector<SampleNotification>& Samples() {
  static const std::vector<SampleNotification> samples = {
      {"Core network outage",
       nullptr,
       "A core network device or link has failed. Check the routing and node status views and call the network "
       "on-call engineer if it is not back within 10 minutes.",
       0,
       {{"nms1.ops.example", 162, "SNMP v2c", "UTC"}, {"192.0.2.15", 1162, "SNMP v1", "UNIX"}},
       {"noc@ops.example", "network-oncall@ops.example"},
       {"node.down", "node.unreachable", "if.link-down", "routing.bgp-peer-down", "routing.ospf-neighbour-down",
        "routing.default-route-lost"}},
      {"Server room environment",
       "Server room alarm",
       nullptr,
       11,
       {{"bms.ops.example", 162, "SNMP v2c", "UNIX"}},
       {"facilities@ops.example"},
       {"env.ups-on-battery", "env.ups-battery-low", "env.room-temperature-high", "env.humidity-high",
        "env.water-leak-detected", "env.smoke-detected"}},
  };
  return samples;
}

}  // namespace

void SeedDatabase(Store& store) {
  Database& db = store.Db();
  WriteTransaction tx(db);
  if (db.QueryInt("SELECT COUNT(*) FROM event_types") > 0) return;

  Statement group =
      db.Prepare("INSERT INTO event_groups(Group_id, Group_Name, Group_Label, sort_order) VALUES(?,?,?,?)");
  Statement type = db.Prepare("INSERT INTO event_types(type_key, name, group_id, sort_order) VALUES(?,?,?,?)");
  std::int64_t order = 0;
  for (const SeedGroup& g : Catalogue()) {
    group.Bind(1, std::int64_t{g.id}).Bind(2, g.name).Bind(3, g.label).Bind(4, std::int64_t{g.id}).Run();
    for (const char* eventName : g.eventTypes) {
      const std::string name = std::string(g.name) == "Node Status"  ? std::string("Node ") + eventName
                               : std::string(g.name) == "Interfaces" ? std::string("Interface ") + eventName
                                                                     : std::string(eventName);
      type.Bind(1, KeyOf(g.label, eventName)).Bind(2, name).Bind(3, std::int64_t{g.id}).Bind(4, ++order).Run();
    }
  }

  NotificationWriter writer = store.Writer();
  for (const SampleNotification& s : Samples()) {
    auto optional = [](const char* text) { return text ? std::optional<std::string>(text) : std::nullopt; };
    NotificationRecord r;
    r.name = s.name;
    r.subject = optional(s.subject);
    r.message = optional(s.message);
    r.eventGroupId = s.eventGroupId;
    r.modified = UtcNow();
    for (const SampleManager& m : s.managers) r.managers.push_back({m.host, m.port, m.version, m.timeFormat});
    r.recipients.assign(s.recipients.begin(), s.recipients.end());
    r.eventTypeKeys.assign(s.eventTypeKeys.begin(), s.eventTypeKeys.end());
    writer.WriteLists(writer.Insert(r, false), r, true);
  }
  tx.Commit();
}

}  // namespace quillmont::store
