#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "quillmont/framework/definition.h"

// The member objects of a stored definition: what the panels create through
// the definition library and what the store reads back.
namespace quillmont::store {

class StoredSnmpManager final : public SnmpManager {
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
  std::string ownerKey_, host_, version_, timeFormat_;
  std::int32_t port_ = 0;
};

class StoredEmailRecipient final : public EmailRecipient {
 public:
  std::string ColumnText(int columnId) const override;
  Variant Init(const Variant& ownerKey, const std::string& address, const Variant& reserved) override;
  std::string OwnerKey() const override { return ownerKey_; }
  std::string Address() const override { return address_; }
  void SetAddress(const std::string& address) override { address_ = address; }

 private:
  std::string ownerKey_, address_;
};

// An ordered list that holds only items of one member type.
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
  std::vector<std::shared_ptr<Member>> items_;
};

class StoredSnmpManagerList final : public TypedItemList<SnmpManagerList, SnmpManager> {
 public:
  std::shared_ptr<SnmpManager> Manager(int position) const override { return At(position); }
};

class StoredEmailRecipientList final : public TypedItemList<EmailRecipientList, EmailRecipient> {
 public:
  std::shared_ptr<EmailRecipient> Recipient(int position) const override { return At(position); }
};

class CatalogueEventType final : public EventType {
 public:
  CatalogueEventType(std::string key, std::string name, std::int32_t groupId)
      : key_(std::move(key)), name_(std::move(name)), groupId_(groupId) {}
  std::string Key() const override { return key_; }
  std::string Name() const override { return name_; }
  std::int32_t GroupID() const override { return groupId_; }

 private:
  std::string key_, name_;
  std::int32_t groupId_;
};

// Event types in order with lookup by key; a later duplicate key is listed
// but the lookup answers with the first.
class EventTypeList final : public EventTypeCollection {
 public:
  void Append(std::shared_ptr<EventType> eventType);
  int Count() const override { return static_cast<int>(items_.size()); }
  std::shared_ptr<EventType> ItemAt(int position) const override;
  std::shared_ptr<EventType> Item(const std::string& key) const override;

 private:
  std::vector<std::shared_ptr<EventType>> items_;
  std::unordered_map<std::string, std::size_t> byKey_;
};

class KeyedEventTypeSet final : public EventTypeSet {
 public:
  void Add(std::shared_ptr<EventType> eventType) override;
  bool Exists(const std::string& key) const override { return byKey_.count(key) != 0; }
  int Count() const override { return static_cast<int>(byKey_.size()); }

 private:
  std::unordered_map<std::string, std::shared_ptr<EventType>> byKey_;
};

}  // namespace quillmont::store
