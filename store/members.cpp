#include "store/members.h"

#include <algorithm>

#include "quillmont/platform/error.h"

namespace quillmont::store {
namespace {

[[noreturn]] void ThrowOutOfRange() { throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range"); }

}  // namespace

std::string StoredSnmpManager::ColumnText(int columnId) const {
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

void StoredSnmpManager::Init(const std::string& ownerKey, const std::string& host, std::int32_t port,
                             const std::string& version, const std::string& timeFormat) {
  ownerKey_ = ownerKey;
  Update(host, port, version, timeFormat);
}

void StoredSnmpManager::Update(const std::string& host, std::int32_t port, const std::string& version,
                               const std::string& timeFormat) {
  host_ = host;
  port_ = port;
  version_ = version;
  timeFormat_ = timeFormat;
}

std::string StoredEmailRecipient::ColumnText(int columnId) const {
  return columnId == kAddressColumn ? address_ : std::string();
}

Variant StoredEmailRecipient::Init(const Variant& ownerKey, const std::string& address, const Variant&) {
  ownerKey_ = ownerKey.IsNull() ? std::string() : ownerKey.ToString();
  address_ = address;
  return Variant(true);
}

template <class Base, class Member>
void TypedItemList<Base, Member>::Add(std::shared_ptr<ListItem> item) {
  if (!item) throw Error(ErrorCode::ObjectRequired, "Object required");
  auto member = std::dynamic_pointer_cast<Member>(item);
  if (!member) throw Error(ErrorCode::TypeMismatch, "Type mismatch: this list cannot hold that item");
  items_.push_back(std::move(member));
}

template <class Base, class Member>
void TypedItemList<Base, Member>::RemoveAt(const std::vector<int>& positions) {
  std::vector<bool> drop(items_.size(), false);
  for (int p : positions) {
    if (p < 1 || p > Count()) ThrowOutOfRange();
    drop[static_cast<std::size_t>(p - 1)] = true;
  }
  std::size_t i = 0;
  std::erase_if(items_, [&](const auto&) { return drop[i++]; });
}

template <class Base, class Member>
std::shared_ptr<Member> TypedItemList<Base, Member>::At(int position) const {
  if (position < 1 || position > Count()) ThrowOutOfRange();
  return items_[static_cast<std::size_t>(position - 1)];
}

template class TypedItemList<SnmpManagerList, SnmpManager>;
template class TypedItemList<EmailRecipientList, EmailRecipient>;

void EventTypeList::Append(std::shared_ptr<EventType> eventType) {
  if (!eventType) throw Error(ErrorCode::ObjectRequired, "Object required");
  byKey_.emplace(eventType->Key(), items_.size());
  items_.push_back(std::move(eventType));
}

std::shared_ptr<EventType> EventTypeList::ItemAt(int position) const {
  if (position < 1 || position > Count()) ThrowOutOfRange();
  return items_[static_cast<std::size_t>(position - 1)];
}

std::shared_ptr<EventType> EventTypeList::Item(const std::string& key) const {
  const auto it = byKey_.find(key);
  return it == byKey_.end() ? nullptr : items_[it->second];
}

void KeyedEventTypeSet::Add(std::shared_ptr<EventType> eventType) {
  if (!eventType) throw Error(ErrorCode::ObjectRequired, "Object required");
  byKey_.emplace(eventType->Key(), std::move(eventType));
}

}  // namespace quillmont::store
