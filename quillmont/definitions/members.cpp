#include "quillmont/definitions/members.h"

#include "quillmont/definitions/key_index.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <typeinfo>

#include "quillmont/platform/error.h"

namespace quillmont {
namespace detail {
void ThrowPositionOutOfRange(int position) {
  throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range: position " + std::to_string(position));
}

constexpr std::size_t kMaxKeys = std::size_t{1} << 29;

void KeyIndex::Reserve(std::size_t count) {
  if (count > kMaxKeys) throw std::length_error("too many keys for one index");
  index_.Reserve(count, [this](std::uint32_t p) { return storage::HashText(keys_[p]); });
}

std::size_t KeyIndex::Find(const std::string& key) const {
  if (pendingFrom_.load(std::memory_order_acquire) != keys_.size()) IndexPending();
  return FindIndexed(key, storage::HashText(key));
}

std::size_t KeyIndex::FindIndexed(const std::string& key, std::uint32_t hash) const {
  const std::uint32_t found = index_.Find(hash, [&](std::uint32_t p) { return keys_[p] == key; });
  return found == storage::KeyIndex::kNone ? npos : found;
}

// In the order pushed, so the first copy of a key is the one found.
void KeyIndex::IndexPending() const {
  const std::lock_guard<std::mutex> lock(pendingLock_);
  std::size_t next = pendingFrom_.load(std::memory_order_relaxed);
  const auto hashAt = [this](std::uint32_t p) { return storage::HashText(keys_[p]); };
  index_.Reserve(keys_.size(), hashAt);
  for (; next < keys_.size(); ++next) {
    const std::string& key = keys_[next];
    index_.Insert(
        storage::HashText(key), static_cast<std::uint32_t>(next), [&](std::uint32_t p) { return keys_[p] == key; },
        hashAt);
  }
  pendingFrom_.store(next, std::memory_order_release);
}

void KeyIndex::Push(std::string key) {
  if (keys_.size() >= kMaxKeys) throw std::length_error("too many keys for one index");
  keys_.push_back(std::move(key));  // indexed at the next lookup
}

bool KeyIndex::Insert(std::string key) {
  if (pendingFrom_.load(std::memory_order_acquire) != keys_.size()) IndexPending();
  const std::uint32_t hash = storage::HashText(key);
  if (FindIndexed(key, hash) != npos) return false;
  Push(std::move(key));
  const auto position = static_cast<std::uint32_t>(keys_.size() - 1);
  index_.Insert(
      hash, position, [](std::uint32_t) { return false; },
      [this](std::uint32_t p) { return storage::HashText(keys_[p]); });
  pendingFrom_.store(keys_.size(), std::memory_order_release);
  return true;
}
}  // namespace detail

// The items (kept in the storage layer's blocks, so a page that loads
// 100,000 rows, lets them go and loads them again reuses memory already
// touched) and the last item type checked: where its item part sits in the
// object and where its member part sits from there, so the next item of that
// very type needs no search of its bases. A list holds one kind of item.
template <class Base, class Member>
struct TypedItemList<Base, Member>::Items {
  detail::BlockList<std::shared_ptr<Member>> items;
  const std::type_info* checkedType = nullptr;
  std::ptrdiff_t checkedItemOffset = 0;
  std::ptrdiff_t checkedMemberDelta = 0;

  QUILLMONT_LOCAL std::shared_ptr<Member> AsMember(std::shared_ptr<ListItem> item) {
    if (!item) return nullptr;
    const ListItem& object = *item;
    const std::type_info& type = typeid(object);
    auto* itemPart = reinterpret_cast<char*>(item.get());
    const std::ptrdiff_t itemOffset = itemPart - static_cast<char*>(dynamic_cast<void*>(item.get()));
    if (checkedType && *checkedType == type && checkedItemOffset == itemOffset) {
      auto* member = reinterpret_cast<Member*>(itemPart + checkedMemberDelta);
      return std::shared_ptr<Member>(std::move(item), member);
    }
    auto member = std::dynamic_pointer_cast<Member>(item);
    if (!member) return nullptr;
    checkedType = &type;
    checkedItemOffset = itemOffset;
    checkedMemberDelta = reinterpret_cast<char*>(member.get()) - itemPart;
    return member;
  }
};

template <class Base, class Member>
TypedItemList<Base, Member>::TypedItemList() : items_(std::make_unique<Items>()) {}

template <class Base, class Member>
TypedItemList<Base, Member>::~TypedItemList() = default;

template <class Base, class Member>
int TypedItemList<Base, Member>::Count() const {
  return static_cast<int>(items_->items.size());
}

template <class Base, class Member>
std::shared_ptr<ListItem> TypedItemList<Base, Member>::Item(int position) const {
  return At(position);
}

template <class Base, class Member>
std::shared_ptr<Member> TypedItemList<Base, Member>::At(int position) const {
  if (position < 1 || position > Count()) detail::ThrowPositionOutOfRange(position);
  return items_->items[static_cast<std::size_t>(position - 1)];
}

template <class Base, class Member>
void TypedItemList<Base, Member>::Add(std::shared_ptr<ListItem> item) {
  if (!item) throw Error(ErrorCode::ObjectRequired, "Object required: no item to add");
  auto member = items_->AsMember(std::move(item));
  if (!member) throw Error(ErrorCode::TypeMismatch, "Type mismatch: this list cannot hold that kind of item");
  items_->items.push_back(std::move(member));
}

template <class Base, class Member>
void TypedItemList<Base, Member>::RemoveAt(const std::vector<int>& positions) {
  std::vector<bool> drop(items_->items.size(), false);
  for (int p : positions) {
    if (p < 1 || p > Count()) detail::ThrowPositionOutOfRange(p);
    drop[static_cast<std::size_t>(p - 1)] = true;
  }
  items_->items.Keep(drop);
}

template <class Base, class Member>
void TypedItemList<Base, Member>::Clear() {
  items_->items.clear();
}

template class TypedItemList<SnmpManagerList, SnmpManager>;
template class TypedItemList<EmailRecipientList, EmailRecipient>;

// The key index, by a name of the classes' own: the index stays out of the
// installed header.
struct BasicEventTypeCollection::Keys : detail::KeyIndex {};
struct BasicEventTypeSet::Keys : detail::KeyIndex {};

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

BasicEventTypeCollection::BasicEventTypeCollection() : keys_(std::make_unique<Keys>()) {}

BasicEventTypeCollection::BasicEventTypeCollection(const std::vector<std::shared_ptr<EventType>>& eventTypes)
    : keys_(std::make_unique<Keys>()) {
  items_.reserve(eventTypes.size());
  keys_->Reserve(eventTypes.size());
  for (const auto& e : eventTypes) Add(e);
}

BasicEventTypeCollection::~BasicEventTypeCollection() = default;

std::shared_ptr<EventType> BasicEventTypeCollection::ItemAt(int position) const {
  if (position < 1 || position > Count()) detail::ThrowPositionOutOfRange(position);
  return items_[static_cast<std::size_t>(position - 1)];
}

std::shared_ptr<EventType> BasicEventTypeCollection::Item(const std::string& key) const {
  const std::size_t found = keys_->Find(key);
  return found == detail::KeyIndex::npos ? nullptr : items_[found];
}

void BasicEventTypeCollection::Add(std::shared_ptr<EventType> eventType) {
  if (!eventType) throw Error(ErrorCode::ObjectRequired, "Object required: no event type to add");
  std::string key = eventType->Key();
  if (keys_->Find(key) != detail::KeyIndex::npos)
    throw Error(ErrorCode::InvalidProcedureCall,
                "Invalid procedure call or argument: event type key \"" + key + "\" is already in the collection");
  items_.push_back(std::move(eventType));
  try {
    keys_->Push(std::move(key));
  } catch (...) {
    items_.pop_back();  // the key and the item go in together or not at all
    throw;
  }
}

void BasicEventTypeCollection::Append(std::shared_ptr<EventType> eventType) {
  if (!eventType) throw Error(ErrorCode::ObjectRequired, "Object required: no event type to add");
  std::string key = eventType->Key();
  items_.push_back(std::move(eventType));
  try {
    keys_->Push(std::move(key));  // a repeated key keeps the first
  } catch (...) {
    items_.pop_back();  // the key and the item go in together or not at all
    throw;
  }
}

BasicEventTypeSet::BasicEventTypeSet() : keys_(std::make_unique<Keys>()) {}

BasicEventTypeSet::~BasicEventTypeSet() = default;

bool BasicEventTypeSet::Exists(const std::string& key) const { return keys_->Find(key) != detail::KeyIndex::npos; }

int BasicEventTypeSet::Count() const { return static_cast<int>(keys_->Size()); }

void BasicEventTypeSet::Add(std::shared_ptr<EventType> eventType) {
  if (!eventType) throw Error(ErrorCode::ObjectRequired, "Object required: no event type to add");
  keys_->Insert(eventType->Key());
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
