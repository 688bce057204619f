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

// Keys in the order added, found by hash (definitions/key_index.h).
class KeyIndex;

// The items of a typed list (pointers to their member part), kept in the
// storage layer's blocks: a page that loads 100,000 rows, lets them go and
// loads them again reuses memory already touched.
class QUILLMONT_API ItemBlocks {
 public:
  ItemBlocks();
  ~ItemBlocks();
  ItemBlocks(const ItemBlocks&) = delete;
  ItemBlocks& operator=(const ItemBlocks&) = delete;

  std::size_t Size() const noexcept;
  const std::shared_ptr<void>& At(std::size_t i) const noexcept;
  void Push(std::shared_ptr<void> item);
  void Clear() noexcept;
  // Keeps, in order, the items whose drop flag is false.
  void Keep(const std::vector<bool>& drop) noexcept;

 private:
  struct Blocks;
  std::unique_ptr<Blocks> blocks_;
};
}  // namespace detail

// An ordered list that holds only items of one member type; Add refuses
// others with Error(TypeMismatch). RemoveAt checks every position before it
// removes anything.
template <class Base, class Member>
class TypedItemList : public Base {
 public:
  int Count() const override { return static_cast<int>(items_.Size()); }
  std::shared_ptr<ListItem> Item(int position) const override { return At(position); }
  void Add(std::shared_ptr<ListItem> item) override;
  void RemoveAt(const std::vector<int>& positions) override;
  void Clear() override { items_.Clear(); }

 protected:
  std::shared_ptr<Member> At(int position) const;

 private:
  std::shared_ptr<Member> AsMember(std::shared_ptr<ListItem> item);

  detail::ItemBlocks items_;
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
  return std::static_pointer_cast<Member>(items_.At(static_cast<std::size_t>(position - 1)));
}

template <class Base, class Member>
inline void TypedItemList<Base, Member>::Add(std::shared_ptr<ListItem> item) {
  if (!item) throw Error(ErrorCode::ObjectRequired, "Object required: no item to add");
  auto member = AsMember(std::move(item));
  if (!member) throw Error(ErrorCode::TypeMismatch, "Type mismatch: this list cannot hold that kind of item");
  items_.Push(std::move(member));
}

template <class Base, class Member>
inline void TypedItemList<Base, Member>::RemoveAt(const std::vector<int>& positions) {
  std::vector<bool> drop(items_.Size(), false);
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
  BasicEventTypeCollection();
  // Error(InvalidProcedureCall) on a repeated key.
  explicit BasicEventTypeCollection(const std::vector<std::shared_ptr<EventType>>& eventTypes);
  ~BasicEventTypeCollection() override;

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
  std::unique_ptr<detail::KeyIndex> keys_;  // the items' keys, position for position
};

// Adding a key already there keeps the first one.
class QUILLMONT_API BasicEventTypeSet : public EventTypeSet {
 public:
  BasicEventTypeSet();
  ~BasicEventTypeSet() override;
  void Add(std::shared_ptr<EventType> eventType) override;
  bool Exists(const std::string& key) const override;
  int Count() const override;

 private:
  std::unique_ptr<detail::KeyIndex> keys_;
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
