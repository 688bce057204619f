#include "delivery/delivery.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "delivery/internal.h"
#include "quillmont/rules/fields.h"

namespace quillmont::delivery {

std::string FormatTime(std::chrono::system_clock::time_point time, const std::string& timeFormat) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  if (timeFormat == rules::kTimeUnix) return std::to_string(static_cast<long long>(seconds));
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string Expand(const std::string& text, const std::string& notification, const Event& event) {
  const std::pair<const char*, std::string> fields[] = {
      {"{notification}", notification}, {"{event}", event.name},
      {"{event_key}", event.key},       {"{node}", event.node},
      {"{message}", event.message},     {"{time}", FormatTime(event.time, rules::kTimeUtc)},
  };
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '{') {
      for (const auto& [name, value] : fields) {
        if (text.compare(i, std::char_traits<char>::length(name), name) == 0) {
          out += value;
          i += std::char_traits<char>::length(name);
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

std::string TrapDestination(const Manager& manager) {
  return manager.version + " trap to " + HostPort(manager.host, manager.port);
}

std::string MailDestination(const std::string& recipient) { return "e-mail to " + recipient; }

std::string HostPort(const std::string& host, int port) {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::vector<std::string> Destinations(const Notification& notification) {
  std::vector<std::string> out;
  for (const Manager& m : notification.managers) out.push_back(TrapDestination(m));
  for (const std::string& r : notification.recipients) out.push_back(MailDestination(r));
  return out;
}

bool StopRequested(const Options& options) {
  return (options.cancel && options.cancel->load()) || Clock::now() >= options.deadline;
}

std::string StopReason(const Options& options) {
  return options.cancel && options.cancel->load() ? "cancelled" : "not sent: the time allowed ran out";
}

std::string Seconds(Clock::duration spent) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", std::chrono::duration<double>(spent).count());
  return text;
}

long BoundMs(const Options& options, int seconds) {
  long ms = static_cast<long>(seconds) * 1000;
  if (options.deadline != Clock::time_point::max()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(options.deadline - Clock::now()).count();
    if (left < ms) ms = static_cast<long>(left);
  }
  return ms < 1 ? 1 : ms;
}

namespace {

// A notification with the event it is sent for.
using Work = std::vector<std::pair<const Notification*, const Event*>>;

std::vector<Outcome> Run(const Work& work, const DeliverySettings& settings, const Options& options);

}  // namespace

std::vector<Outcome> Deliver(const Notification& notification, const Event& event, const DeliverySettings& settings,
                             const Options& options) {
  return Run({{&notification, &event}}, settings, options);
}

std::vector<Outcome> Deliver(const std::vector<Notification>& notifications, const Event& event,
                             const DeliverySettings& settings, const Options& options) {
  Work work;
  for (const Notification& n : notifications) work.emplace_back(&n, &event);
  return Run(work, settings, options);
}

std::vector<Outcome> DeliverEach(const std::vector<Item>& items, const DeliverySettings& settings,
                                 const Options& options) {
  Work work;
  for (const Item& item : items) work.emplace_back(&item.notification, &item.event);
  return Run(work, settings, options);
}

namespace {

std::vector<Outcome> Run(const Work& work, const DeliverySettings& settings, const Options& options) {
  // One slot per destination, in the order of the outcomes.
  struct Slot {
    const Notification* notification;
    const Event* event;
    const Manager* manager;      // a trap, or
    const std::string* address;  // a mail
    const std::string* host;
    bool done = false, resolving = false;
    std::string mail;
  };
  std::vector<Slot> slots;
  std::vector<Outcome> outcomes;
  for (const auto& [notification, event] : work) {
    const Notification& n = *notification;
    for (const Manager& m : n.managers) {
      slots.push_back({&n, event, &m, nullptr, &m.host, false, false, {}});
      outcomes.push_back({n.name, TrapDestination(m), false, {}});
    }
    for (const std::string& r : n.recipients) {
      slots.push_back({&n, event, nullptr, &r, &settings.smtpServer, false, false, {}});
      outcomes.push_back({n.name, MailDestination(r), false, {}});
    }
  }
  std::size_t left = slots.size();
  const Finish finish = [&](std::size_t i, bool sent, const std::string& detail, Failure failure) {
    if (slots[i].done) return;
    slots[i].done = true;
    --left;
    outcomes[i].sent = sent;
    outcomes[i].detail = detail;
    outcomes[i].failure = sent ? Failure::None : failure;
    outcomes[i].index = i;
    if (options.onOutcome) options.onOutcome(outcomes[i]);
  };
  // What fails before any lookup or connection.
  std::string unusable, mailUnusable, password, authorities;
  try {
    store::CheckDeliverySettings(settings);
  } catch (const std::exception& e) {
    unusable = std::string("not sent: ") + e.what();
  }
  try {
    const bool mails = std::any_of(slots.begin(), slots.end(), [](const Slot& s) { return s.address; });
    if (mails && !settings.smtpUser.empty()) password = options.password ? *options.password : ReadPassword(settings);
    if (mails && !settings.smtpCaFile.empty())
      authorities = ReadOwnFile(settings.smtpCaFile, "CA file", false, 1 << 20);
  } catch (const std::exception& e) {
    mailUnusable = std::string("not sent: ") + e.what();
  }
  std::vector<std::string> hosts;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    Slot& s = slots[i];
    if (!unusable.empty()) {
      finish(i, false, unusable, Failure::Transient);  // a setting to mend
    } else if (s.address && !mailUnusable.empty()) {
      finish(i, false, mailUnusable, Failure::Transient);
    } else if (s.manager && !rules::IsSnmpVersion(s.manager->version)) {
      finish(i, false, "not sent: unknown SNMP version \"" + s.manager->version + "\"", Failure::Permanent);
    } else if (s.manager && !rules::IsPort(s.manager->port)) {
      finish(i, false,
             "not sent: the port " + std::to_string(s.manager->port) + " is not from " +
                 std::to_string(rules::kPortMin) + " to " + std::to_string(rules::kPortMax),
             Failure::Permanent);
    } else {
      if (s.address) {
        try {
          s.mail = ComposeMail(*s.notification, *s.address, *s.event, settings);
        } catch (const std::exception& e) {
          finish(i, false, std::string("not sent: ") + e.what(), Failure::Permanent);
          continue;
        }
      }
      s.resolving = true;
      if (std::find(hosts.begin(), hosts.end(), *s.host) == hosts.end()) hosts.push_back(*s.host);
    }
  }
  if (left == 0) return outcomes;

  // Every name at once; each destination starts as soon as its name is
  // known, and a lookup may take the connect timeout.
  Resolver resolver(hosts);
  TrapSender traps(settings);
  MailSender mails(settings, options, std::move(password), std::move(authorities));
  const auto started = Clock::now();
  const auto lookupUntil = started + std::chrono::seconds(settings.connectTimeoutSeconds);
  for (;;) {
    const bool stop = StopRequested(options);
    bool resolving = false;
    for (std::size_t i = 0; i < slots.size() && !stop; ++i) {
      Slot& s = slots[i];
      if (!s.resolving) continue;
      std::vector<Address> addresses;
      std::string error;
      if (resolver.Done(*s.host, addresses, error)) {
        s.resolving = false;
        if (addresses.empty())
          finish(i, false, error, Failure::Transient);
        else if (s.manager)
          traps.Start(i, *s.notification, *s.event, *s.manager, addresses.front(), finish);
        else
          mails.Start(i, std::move(s.mail), *s.address, addresses, finish);
      } else if (Clock::now() >= lookupUntil) {
        s.resolving = false;
        finish(i, false, "timed out after " + Seconds(Clock::now() - started) + " resolving the name " + *s.host,
               Failure::Transient);
      }
      resolving = resolving || s.resolving;
    }
    traps.Poll(finish, stop);
    mails.Perform(finish);
    if (options.onTick) options.onTick();
    if (stop || (!resolving && traps.Idle() && mails.Reported())) break;
    // Lookups are asked after often; sockets wake the wait.
    mails.Wait(traps.Sockets(), resolving ? 10 : 100);
  }
  const bool cancelled = options.cancel && options.cancel->load();
  mails.Close(finish, cancelled ? Clock::now() : std::min(options.deadline, Clock::now() + std::chrono::seconds(1)));
  for (std::size_t i = 0; i < slots.size(); ++i)
    if (slots[i].resolving)
      finish(i, false, StopReason(options) + (cancelled ? "" : " while resolving the name " + *slots[i].host),
             cancelled ? Failure::Cancelled : Failure::Transient);
  return outcomes;
}

}  // namespace

}  // namespace quillmont::delivery
