#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "quillmont/framework/definition.h"
#include "store/notification_io.h"
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
// groupIds are the catalogue's event groups. Besides the pages' rules, no
// text may hold a character rules::ForbiddenCharacter names.
std::vector<Incoming> CheckDocument(const json::InJson& doc, std::shared_ptr<EventTypeCollection> catalogue,
                                    std::set<std::int64_t> groupIds, ProblemList& problems);

// Adds a problem for each name of incoming that only invisible or look-alike
// characters (a Cyrillic о, a zero-width space) tell apart from a name of
// stored (name key -> record) or an earlier one of incoming: a reader takes
// the two for one.
void CheckLookAlikes(const std::map<std::string, NotificationRecord>& stored, const std::vector<Incoming>& incoming,
                     ProblemList& problems);

}  // namespace quillmont::store
