#include "quillmont/definitions/members.h"

#include <algorithm>
#include <stdexcept>

#include "quillmont/platform/error.h"

namespace quillmont {
namespace detail {
void ThrowPositionOutOfRange(int position) {
  throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range: position " + std::to_string(position));
}

std::uint32_t KeyIndex::Hash(const std::string& key) noexcept { return storage::HashText(key); }

constexpr std::size_t kMaxKeys = std::size_t{1} << 29;

void KeyIndex::Reserve(std::size_t count) { Grow(count); }

std::size_t KeyIndex::Find(const std::string& key) const {
  if (pendingFrom_.load(std::memory_order_acquire) != keys_.size()) IndexPending();
  return slots_.empty() ? npos : Find(key, Hash(key));
}

std::size_t KeyIndex::Find(const std::string& key, std::uint32_t hash) const noexcept {
  const std::uint32_t bit = (hash * 0x85EBCA6Bu) >> (shift_ - 2);
  if ((filter_[bit >> 6] >> (bit & 63) & 1) == 0) return npos;
  const std::size_t mask = slots_.size() - 1;
  // Fibonacci hashing spreads hashes that differ only in their high bits.
  for (std::size_t i = (hash * 0x9E3779B9u) >> shift_;; i = (i + 1) & mask) {
    const std::uint64_t slot = slots_[i];
    if (slot == 0) return npos;
    if (static_cast<std::uint32_t>(slot >> 32) == hash) {
      const std::size_t position = static_cast<std::uint32_t>(slot) - 1;
      if (keys_[position] == key) return position;
    }
  }
}

void KeyIndex::Index(std::uint32_t hash, std::size_t position) const noexcept {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = (hash * 0x9E3779B9u) >> shift_;
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = static_cast<std::uint64_t>(hash) << 32 | static_cast<std::uint64_t>(position + 1);
  const std::uint32_t bit = (hash * 0x85EBCA6Bu) >> (shift_ - 2);
  filter_[bit >> 6] |= std::uint64_t{1} << (bit & 63);
  ++indexed_;
}

// In the order pushed, so the first copy of a key is the one found.
void KeyIndex::IndexPending() const {
  const std::lock_guard<std::mutex> lock(pendingLock_);
  std::size_t next = pendingFrom_.load(std::memory_order_relaxed);
  Grow(keys_.size());
  for (; next < keys_.size(); ++next) {
    const std::uint32_t hash = Hash(keys_[next]);
    if (Find(keys_[next], hash) == npos) Index(hash, next);
  }
  pendingFrom_.store(next, std::memory_order_release);
}

// Makes room for count keys, moving the slots already filled; their hashes
// are in the slots, so no key is read again.
void KeyIndex::Grow(std::size_t count) const {
  if (count > kMaxKeys) throw std::length_error("too many keys for one index");
  std::size_t size = 16;
  unsigned bits = 4;
  while (size < count * 2) {
    size *= 2;
    ++bits;
  }
  if (size <= slots_.size()) return;
  std::vector<std::uint64_t> old(size, 0);
  std::vector<std::uint64_t> filter(size / 16, 0);  // size * 4 bits
  old.swap(slots_);
  filter_.swap(filter);
  shift_ = 32 - bits;
  indexed_ = 0;
  for (const std::uint64_t slot : old)
    if (slot != 0) Index(static_cast<std::uint32_t>(slot >> 32), static_cast<std::uint32_t>(slot) - 1);
}

void KeyIndex::Push(std::string key) {
  if (keys_.size() >= kMaxKeys) throw std::length_error("too many keys for one index");
  keys_.push_back(std::move(key));  // indexed at the next lookup
}

bool KeyIndex::Insert(std::string key) {
  if (pendingFrom_.load(std::memory_order_acquire) != keys_.size()) IndexPending();
  const std::uint32_t hash = Hash(key);
  if (!slots_.empty() && Find(key, hash) != npos) return false;
  if ((keys_.size() + 1) * 2 > slots_.size()) Grow(std::max<std::size_t>(keys_.size() + 1, keys_.size() * 2));
  keys_.push_back(std::move(key));
  Index(hash, keys_.size() - 1);
  pendingFrom_.store(keys_.size(), std::memory_order_release);
  return true;
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
  keys_.Reserve(eventTypes.size());
  for (const auto& e : eventTypes) Add(e);
}

std::shared_ptr<EventType> BasicEventTypeCollection::ItemAt(int position) const {
  if (position < 1 || position > Count()) detail::ThrowPositionOutOfRange(position);
  return items_[static_cast<std::size_t>(position - 1)];
}

std::shared_ptr<EventType> BasicEventTypeCollection::Item(const std::string& key) const {
  const std::size_t found = keys_.Find(key);
  return found == detail::KeyIndex::npos ? nullptr : items_[found];
}

void BasicEventTypeCollection::Add(std::shared_ptr<EventType> eventType) {
  if (!eventType) throw Error(ErrorCode::ObjectRequired, "Object required: no event type to add");
  std::string key = eventType->Key();
  if (keys_.Find(key) != detail::KeyIndex::npos)
    throw Error(ErrorCode::InvalidProcedureCall,
                "Invalid procedure call or argument: event type key \"" + key + "\" is already in the collection");
  items_.push_back(std::move(eventType));
  try {
    keys_.Push(std::move(key));
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
    keys_.Push(std::move(key));  // a repeated key keeps the first
  } catch (...) {
    items_.pop_back();  // the key and the item go in together or not at all
    throw;
  }
}

void BasicEventTypeSet::Add(std::shared_ptr<EventType> eventType) {
  if (!eventType) throw Error(ErrorCode::ObjectRequired, "Object required: no event type to add");
  keys_.Insert(eventType->Key());
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
