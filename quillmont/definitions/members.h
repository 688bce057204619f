#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <vector>

#include "quillmont/framework/definition.h"
#include "quillmont/platform/error.h"
#include "quillmont/platform/export.h"
#include "quillmont/storage/flat_storage.h"

// The in-memory member objects of a notification definition.
namespace quillmont {

// Columns: 256 host, 512 port (decimal), 768 version, 1024 time format.
class QUILLMONT_API BasicSnmpManager : public SnmpManager {
 public:
  std::string ColumnText(int columnId) const override;
  void Init(const std::string& ownerKey, const std::string& host, std::int32_t port, const std::string& version,
            const std::string& timeFormat) override;
  void Update(const std::string& host, std::int32_t port, const std::string& version,
              const std::string& timeFormat) override;
  std::string OwnerKey() const override { return ownerKey_; }
  std::string Host() const override { return host_; }
  std::int32_t Port() const override { return port_; }
  std::string Version() const override { return version_; }
  std::string TimeFormat() const override { return timeFormat_; }

 private:
  std::string ownerKey_;
  std::string host_;
  std::int32_t port_ = 0;
  std::string version_;
  std::string timeFormat_;
};

// Column 1: the address.
class QUILLMONT_API BasicEmailRecipient : public EmailRecipient {
 public:
  std::string ColumnText(int columnId) const override;
  // The owner key is read as text (a null one raises InvalidUseOfNull and
  // changes nothing). Returns True.
  Variant Init(const Variant& ownerKey, const std::string& address, const Variant& reserved) override;
  std::string OwnerKey() const override { return ownerKey_; }
  std::string Address() const override { return address_; }
  void SetAddress(const std::string& address) override { address_ = address; }

 private:
  std::string ownerKey_;
  std::string address_;
};

namespace detail {
[[noreturn]] QUILLMONT_API void ThrowPositionOutOfRange(int position);
}  // namespace detail

// Items in fixed-size blocks taken from the thread's spare blocks: a page
// that loads 100,000 rows, lets them go and loads them again reuses pages
// already touched instead of growing (and faulting in) one large array.
// Blocks of 4 KiB keep a short list small (a page's memory per row is
// counted from its first rows on).
template <class T>
class BlockList {
 public:
  static constexpr std::size_t kBlock = 4096 / sizeof(T) > 0 ? 4096 / sizeof(T) : 1;

  BlockList() = default;
  BlockList(const BlockList&) = delete;
  BlockList& operator=(const BlockList&) = delete;
  ~BlockList() { clear(); }

  std::size_t size() const noexcept { return size_; }
  const T& operator[](std::size_t i) const noexcept { return *At(i); }
  void push_back(T value) {
    if (size_ == blocks_.size() * kBlock) blocks_.emplace_back(kBlock * sizeof(T));
    ::new (static_cast<void*>(At(size_))) T(std::move(value));
    ++size_;
  }
  void clear() noexcept { Truncate(0); }
  // Keeps, in order, the items whose drop flag is false.
  void Keep(const std::vector<bool>& drop) noexcept {
    std::size_t write = 0;
    for (std::size_t read = 0; read < size_; ++read) {
      if (drop[read]) continue;
      if (write != read) *At(write) = std::move(*At(read));
      ++write;
    }
    Truncate(write);
  }

 private:
  static_assert(std::is_nothrow_move_constructible_v<T> && std::is_nothrow_move_assignable_v<T>);
  T* At(std::size_t i) const noexcept { return std::launder(static_cast<T*>(blocks_[i / kBlock].Data())) + i % kBlock; }
  void Truncate(std::size_t n) noexcept {
    while (size_ > n) At(--size_)->~T();
    while (blocks_.size() > (n + kBlock - 1) / kBlock) blocks_.pop_back();
  }

  std::vector<storage::detail::Block> blocks_;
  std::size_t size_ = 0;
};

namespace detail {
// Keys in the order added, found through the storage layer's index of
// positions by hash (the first copy of a key is the one found).
//
// Keys pushed are indexed when a key is next looked up, in one pass into a
// table sized for all of them: a catalogue read from a store is often shown
// before anyone looks a key up in it. Lookups may run on several threads at
// once.
class QUILLMONT_API KeyIndex {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  std::size_t Size() const noexcept { return keys_.size(); }
  void Reserve(std::size_t count);
  // The position of the first key equal to this one, or npos.
  std::size_t Find(const std::string& key) const;
  // Adds the key at the end; only its first copy is found.
  void Push(std::string key);
  // Adds the key unless it is there; true when added.
  bool Insert(std::string key);

 private:
  std::size_t FindIndexed(const std::string& key, std::uint32_t hash) const;
  void IndexPending() const;

  BlockList<std::string> keys_;  // blocks, so a fresh index reuses touched pages
  mutable storage::KeyIndex index_;
  // Keys from this position on are not in the index yet.
  mutable std::atomic<std::size_t> pendingFrom_{0};
  mutable std::mutex pendingLock_;
};
}  // namespace detail

// An ordered list that holds only items of one member type; Add refuses
// others with Error(TypeMismatch). RemoveAt checks every position before it
// removes anything.
template <class Base, class Member>
class TypedItemList : public Base {
 public:
  int Count() const override { return static_cast<int>(items_.size()); }
  std::shared_ptr<ListItem> Item(int position) const override { return At(position); }
  void Add(std::shared_ptr<ListItem> item) override;
  void RemoveAt(const std::vector<int>& positions) override;
  void Clear() override { items_.clear(); }

 protected:
  std::shared_ptr<Member> At(int position) const;

 private:
  std::shared_ptr<Member> AsMember(std::shared_ptr<ListItem> item);

  BlockList<std::shared_ptr<Member>> items_;
  // A list holds one kind of item: the last type checked, where its item
  // part sits in the object and where its member part sits from there, so
  // the next item of that very type needs no search of its bases.
  const std::type_info* checkedType_ = nullptr;
  std::ptrdiff_t checkedItemOffset_ = 0;
  std::ptrdiff_t checkedMemberDelta_ = 0;
};

template <class Base, class Member>
inline std::shared_ptr<Member> TypedItemList<Base, Member>::AsMember(std::shared_ptr<ListItem> item) {
  if (!item) return nullptr;
  const ListItem& object = *item;
  const std::type_info& type = typeid(object);
  auto* itemPart = reinterpret_cast<char*>(item.get());
  const std::ptrdiff_t itemOffset = itemPart - static_cast<char*>(dynamic_cast<void*>(item.get()));
  if (checkedType_ && *checkedType_ == type && checkedItemOffset_ == itemOffset) {
    auto* member = reinterpret_cast<Member*>(itemPart + checkedMemberDelta_);
    return std::shared_ptr<Member>(std::move(item), member);
  }
  auto member = std::dynamic_pointer_cast<Member>(item);
  if (!member) return nullptr;
  checkedType_ = &type;
  checkedItemOffset_ = itemOffset;
  checkedMemberDelta_ = reinterpret_cast<char*>(member.get()) - itemPart;
  return member;
}

template <class Base, class Member>
inline std::shared_ptr<Member> TypedItemList<Base, Member>::At(int position) const {
  if (position < 1 || position > Count()) detail::ThrowPositionOutOfRange(position);
  return items_[static_cast<std::size_t>(position - 1)];
}

template <class Base, class Member>
inline void TypedItemList<Base, Member>::Add(std::shared_ptr<ListItem> item) {
  if (!item) throw Error(ErrorCode::ObjectRequired, "Object required: no item to add");
  auto member = AsMember(std::move(item));
  if (!member) throw Error(ErrorCode::TypeMismatch, "Type mismatch: this list cannot hold that kind of item");
  items_.push_back(std::move(member));
}

template <class Base, class Member>
inline void TypedItemList<Base, Member>::RemoveAt(const std::vector<int>& positions) {
  std::vector<bool> drop(items_.size(), false);
  for (int p : positions) {
    if (p < 1 || p > Count()) detail::ThrowPositionOutOfRange(p);
    drop[static_cast<std::size_t>(p - 1)] = true;
  }
  items_.Keep(drop);
}

class QUILLMONT_API BasicSnmpManagerList : public TypedItemList<SnmpManagerList, SnmpManager> {
 public:
  std::shared_ptr<SnmpManager> Manager(int position) const override { return At(position); }
};

class QUILLMONT_API BasicEmailRecipientList : public TypedItemList<EmailRecipientList, EmailRecipient> {
 public:
  std::shared_ptr<EmailRecipient> Recipient(int position) const override { return At(position); }
};

class QUILLMONT_API BasicEventType : public EventType {
 public:
  BasicEventType(std::string key, std::string name, std::int32_t groupId)
      : key_(std::move(key)), name_(std::move(name)), groupId_(groupId) {}
  std::string Key() const override { return key_; }
  std::string Name() const override { return name_; }
  std::int32_t GroupID() const override { return groupId_; }

 private:
  std::string key_;
  std::string name_;
  std::int32_t groupId_;
};

// Event types in the order added, found by key (exact, case-sensitive).
class QUILLMONT_API BasicEventTypeCollection : public EventTypeCollection {
 public:
  BasicEventTypeCollection() = default;
  // Error(InvalidProcedureCall) on a repeated key.
  explicit BasicEventTypeCollection(const std::vector<std::shared_ptr<EventType>>& eventTypes);

  int Count() const override { return static_cast<int>(items_.size()); }
  std::shared_ptr<EventType> ItemAt(int position) const override;
  std::shared_ptr<EventType> Item(const std::string& key) const override;

  // Error(ObjectRequired) for none, Error(InvalidProcedureCall) for a key
  // already there; the collection is then unchanged.
  void Add(std::shared_ptr<EventType> eventType);
  // Lists the event type even when its key is already there; the lookup by
  // key keeps answering with the first. For readers of sources that do not
  // promise unique keys. Error(ObjectRequired) for none.
  void Append(std::shared_ptr<EventType> eventType);

 private:
  std::vector<std::shared_ptr<EventType>> items_;
  detail::KeyIndex keys_;  // the items' keys, position for position
};

// Adding a key already there keeps the first one.
class QUILLMONT_API BasicEventTypeSet : public EventTypeSet {
 public:
  void Add(std::shared_ptr<EventType> eventType) override;
  bool Exists(const std::string& key) const override { return keys_.Find(key) != detail::KeyIndex::npos; }
  int Count() const override { return static_cast<int>(keys_.Size()); }

 private:
  detail::KeyIndex keys_;
};

// The event types stored for each notification, filled by the host (and by
// definitions tied to it when they are given chosen event types).
class QUILLMONT_API EventTypeStore : public Object {
 public:
  // Replaces what is stored for the notification.
  void Store(std::int32_t notificationId, std::vector<std::shared_ptr<EventType>> eventTypes);
  // A new collection of what is stored (empty when nothing is).
  std::shared_ptr<BasicEventTypeCollection> Read(std::int32_t notificationId) const;

 private:
  std::unordered_map<std::int32_t, std::vector<std::shared_ptr<EventType>>> stored_;
};

class QUILLMONT_API BasicEventTypeReader : public EventTypeReader {
 public:
  explicit BasicEventTypeReader(std::shared_ptr<const EventTypeStore> store) : store_(std::move(store)) {}
  std::shared_ptr<EventTypeCollection> GetEventTypes(std::int32_t notificationId) override;

 private:
  std::shared_ptr<const EventTypeStore> store_;
};

}  // namespace quillmont
