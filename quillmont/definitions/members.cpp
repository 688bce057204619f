#include "quillmont/definitions/members.h"

#include "quillmont/platform/error.h"

namespace quillmont {
namespace detail {
void ThrowPositionOutOfRange(int position) {
  throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range: position " + std::to_string(position));
}
}  // namespace detail

std::string BasicSnmpManager::ColumnText(int columnId) const {
  switch (columnId) {
    case snmp_columns::Host:
      return host_;
    case snmp_columns::Port:
      return std::to_string(port_);
    case snmp_columns::Version:
      return version_;
    case snmp_columns::TimeFormat:
      return timeFormat_;
    default:
      return {};
  }
}

void BasicSnmpManager::Init(const std::string& ownerKey, const std::string& host, std::int32_t port,
                            const std::string& version, const std::string& timeFormat) {
  ownerKey_ = ownerKey;
  Update(host, port, version, timeFormat);
}

void BasicSnmpManager::Update(const std::string& host, std::int32_t port, const std::string& version,
                              const std::string& timeFormat) {
  host_ = host;
  port_ = port;
  version_ = version;
  timeFormat_ = timeFormat;
}

std::string BasicEmailRecipient::ColumnText(int columnId) const {
  return columnId == kAddressColumn ? address_ : std::string();
}

Variant BasicEmailRecipient::Init(const Variant& ownerKey, const std::string& address, const Variant& /*reserved*/) {
  std::string key = ownerKey.ToString();
  ownerKey_ = std::move(key);
  address_ = address;
  return Variant(true);
}

BasicEventTypeCollection::BasicEventTypeCollection(const std::vector<std::shared_ptr<EventType>>& eventTypes) {
  items_.reserve(eventTypes.size());
  for (const auto& e : eventTypes) Add(e);
}

std::shared_ptr<EventType> BasicEventTypeCollection::ItemAt(int position) const {
  if (position < 1 || position > Count()) detail::ThrowPositionOutOfRange(position);
  return items_[static_cast<std::size_t>(position - 1)];
}

std::shared_ptr<EventType> BasicEventTypeCollection::Item(const std::string& key) const {
  auto found = byKey_.find(key);
  return found == byKey_.end() ? nullptr : found->second;
}

void BasicEventTypeCollection::Add(std::shared_ptr<EventType> eventType) {
  if (!eventType) throw Error(ErrorCode::ObjectRequired, "Object required: no event type to add");
  const std::string key = eventType->Key();
  if (byKey_.count(key))
    throw Error(ErrorCode::InvalidProcedureCall,
                "Invalid procedure call or argument: event type key \"" + key + "\" is already in the collection");
  items_.push_back(eventType);
  byKey_.emplace(key, std::move(eventType));
}

void BasicEventTypeCollection::Append(std::shared_ptr<EventType> eventType) {
  if (!eventType) throw Error(ErrorCode::ObjectRequired, "Object required: no event type to add");
  std::string key = eventType->Key();
  items_.push_back(eventType);
  byKey_.emplace(std::move(key), std::move(eventType));  // a repeated key keeps the first
}

void BasicEventTypeSet::Add(std::shared_ptr<EventType> eventType) {
  if (!eventType) throw Error(ErrorCode::ObjectRequired, "Object required: no event type to add");
  keys_.insert(eventType->Key());
}

void EventTypeStore::Store(std::int32_t notificationId, std::vector<std::shared_ptr<EventType>> eventTypes) {
  // Checked first, so a bad list leaves what was stored.
  BasicEventTypeCollection check(eventTypes);
  stored_[notificationId] = std::move(eventTypes);
}

std::shared_ptr<BasicEventTypeCollection> EventTypeStore::Read(std::int32_t notificationId) const {
  auto found = stored_.find(notificationId);
  if (found == stored_.end()) return std::make_shared<BasicEventTypeCollection>();
  return std::make_shared<BasicEventTypeCollection>(found->second);
}

std::shared_ptr<EventTypeCollection> BasicEventTypeReader::GetEventTypes(std::int32_t notificationId) {
  if (!store_) return std::make_shared<BasicEventTypeCollection>();
  return store_->Read(notificationId);
}

}  // namespace quillmont
