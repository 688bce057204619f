#include "delivery/outbox_sender.h"

#include <unistd.h>

#include "quillmont/platform/terminal_text.h"

namespace quillmont::delivery {

Item ItemOf(const store::Delivery& d) {
  Item item;
  Notification& n = item.notification;
  n.name = d.notification;
  n.deliveryId = d.token;
  n.expanded = true;
  if (d.destination.kind == store::Destination::Kind::Mail) {
    n.recipients.push_back(d.destination.address);
    n.subject = d.destination.subject;
    n.message = d.destination.message;
  } else {
    n.managers.push_back({d.destination.host, d.destination.port, d.destination.version, d.destination.timeFormat});
  }
  item.event = {d.event.key, d.event.name, d.event.node, d.event.message,
                std::chrono::system_clock::time_point(std::chrono::milliseconds(d.event.time))};
  return item;
}

store::AttemptResult ResultOf(const store::Delivery& d, const Outcome& o, const DeliverySettings& settings,
                              std::mt19937_64& random, std::int64_t now) {
  using What = store::AttemptResult::What;
  store::AttemptResult r{d.id, What::Sent, o.sent ? "sent" : o.detail, 0};
  if (o.sent) return r;
  if (o.failure == Outcome::Failure::Cancelled) {
    r.what = What::Released;
  } else if (o.failure == Outcome::Failure::Permanent) {
    r.what = What::Failed;
  } else {
    const store::RetryPlan plan = store::PlanRetry(settings, d.attempts + 1, d.created, now, random);
    r.what = plan.retry ? What::Retry : What::Failed;
    r.nextAttempt = plan.nextAttempt;
    if (!plan.retry) r.outcome += "; " + plan.why;
  }
  return r;
}

void Attempt(const std::vector<store::Delivery>& deliveries, const DeliverySettings& settings, Options options,
             const OnResult& onResult) {
  std::vector<Item> items;
  items.reserve(deliveries.size());
  for (const store::Delivery& d : deliveries) items.push_back(ItemOf(d));
  std::mt19937_64 random{std::random_device{}()};
  // Each row is one destination, so an outcome's index is its row's.
  options.onOutcome = [&](const Outcome& o) {
    const store::Delivery& d = deliveries[o.index];
    onResult(d, o, ResultOf(d, o, settings, random));
  };
  DeliverEach(items, settings, options);
}

std::string SenderName(const std::string& program) {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  return program + "@" + host + ":" + std::to_string(getpid());
}

std::string AttemptLine(const store::Delivery& d, const Outcome& o, const store::AttemptResult& r, bool numbered) {
  using What = store::AttemptResult::What;
  static const char* words[] = {"sent", "queued", "failed", "released"};
  std::string line = std::string(words[static_cast<int>(r.what)]) + ": \"" + text::ForTerminal(d.notification) +
                     "\": " + text::ForTerminal(o.destination);
  if (r.what != What::Sent) line += ": " + text::ForTerminal(r.outcome);
  if (r.what == What::Retry) line += "; next attempt at " + store::FormatMs(r.nextAttempt);
  if (numbered) line += " (delivery " + std::to_string(d.id) + ", attempt " + std::to_string(d.attempts + 1) + ")";
  return line;
}

}  // namespace quillmont::delivery
