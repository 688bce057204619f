#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "quillmont/framework/definition.h"
#include "store/notification_json.h"

// The import's checker: a parsed document checked as the pages check a
// notification, with every problem named by its place in the document.
namespace quillmont::store {

// One notification of a document, checked and as it would be stored.
struct Incoming {
  std::string path;  // "notifications[3]"
  std::optional<std::int32_t> number;
  std::optional<std::int64_t> revision;
  NotificationRecord record;
};

// The document's notifications, checked, in document order; each problem
// ("notifications[2].snmpManagers[0].port: ...") is added to problems.
// groupIds are the catalogue's event groups.
std::vector<Incoming> CheckDocument(const json::InJson& doc, std::shared_ptr<EventTypeCollection> catalogue,
                                    std::set<std::int64_t> groupIds, std::vector<std::string>& problems);

}  // namespace quillmont::store
