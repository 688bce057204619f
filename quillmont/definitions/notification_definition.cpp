#include "quillmont/definitions/notification_definition.h"

#include <unordered_set>

#include "quillmont/framework/components.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/error.h"

namespace quillmont {

std::string DropAppendedCharacter(std::string_view rowKey) {
  if (rowKey.empty()) return {};
  std::size_t start = rowKey.size() - 1;
  while (start > 0 && rowKey.size() - start < 4 && (static_cast<unsigned char>(rowKey[start]) & 0xC0) == 0x80) --start;
  const auto lead = static_cast<unsigned char>(rowKey[start]);
  const std::size_t length = lead < 0x80             ? 1
                             : (lead & 0xE0) == 0xC0 ? 2
                             : (lead & 0xF0) == 0xE0 ? 3
                             : (lead & 0xF8) == 0xF0 ? 4
                                                     : 0;
  if (length != rowKey.size() - start) start = rowKey.size() - 1;  // malformed: drop one byte
  return std::string(rowKey.substr(0, start));
}

void BasicNotificationDefinition::SetChosenEventTypes(std::shared_ptr<SelectorRows> chosenRows) {
  if (!chosenRows) throw Error(ErrorCode::ObjectRequired, "Object required: no chosen rows");
  auto catalogue = catalogue_ ? catalogue_ : GetAppContext()->EventTypes();
  std::vector<ChosenEventType> chosen;
  std::unordered_set<std::string> seen;
  const int count = chosenRows->Count();
  for (int i = 1; i <= count; ++i) {
    auto row = chosenRows->Item(i);
    if (!row) continue;
    std::string key = DropAppendedCharacter(row->Key());
    if (key.empty() || !seen.insert(key).second) continue;  // a row without a key names no event type
    auto eventType = catalogue ? catalogue->Item(key) : nullptr;
    chosen.push_back({std::move(key), std::move(eventType)});
  }
  if (store_) {
    std::vector<std::shared_ptr<EventType>> stored;
    stored.reserve(chosen.size());
    for (const auto& c : chosen)
      stored.push_back(c.eventType ? c.eventType : std::make_shared<BasicEventType>(c.key, std::string(), 0));
    store_->Store(notificationId_, std::move(stored));
  }
  chosen_ = std::move(chosen);
  choiceGiven_ = true;
}

std::shared_ptr<EventTypeCollection> BasicNotificationDefinition::StoredEventTypes() const {
  if (store_ || !choiceGiven_) return nullptr;
  auto stored = std::make_shared<BasicEventTypeCollection>();
  for (const auto& c : chosen_)  // the keys are unique already
    stored->Add(c.eventType ? c.eventType : std::make_shared<BasicEventType>(c.key, std::string(), 0));
  return stored;
}

}  // namespace quillmont
