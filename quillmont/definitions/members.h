#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
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

// An ordered list that holds only items of one member type; Add refuses
// others with Error(TypeMismatch). RemoveAt checks every position before it
// removes anything. Built inside the library for the two lists below.
template <class Base, class Member>
class TypedItemList : public Base {
 public:
  TypedItemList();
  ~TypedItemList() override;
  TypedItemList(const TypedItemList&) = delete;
  TypedItemList& operator=(const TypedItemList&) = delete;

  int Count() const override;
  std::shared_ptr<ListItem> Item(int position) const override;
  void Add(std::shared_ptr<ListItem> item) override;
  void RemoveAt(const std::vector<int>& positions) override;
  void Clear() override;

 protected:
  std::shared_ptr<Member> At(int position) const;

 private:
  struct Items;
  std::unique_ptr<Items> items_;
};

extern template class QUILLMONT_API TypedItemList<SnmpManagerList, SnmpManager>;
extern template class QUILLMONT_API TypedItemList<EmailRecipientList, EmailRecipient>;

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
  struct Keys;
  std::unique_ptr<Keys> keys_;  // the items' keys, position for position
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
  struct Keys;
  std::unique_ptr<Keys> keys_;
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
