#pragma once

#include <memory>
#include <string>

#include "quillmont/framework/definition.h"
#include "quillmont/framework/services.h"
#include "store/definition_store.h"

// The outside components a host supplies to the panels, over the store.
namespace quillmont::store {

// A forward cursor over the event groups, in their catalogue order. It keeps
// its statement (and the connection) until Close or its end of life.
class GroupCursor final : public GroupRecordSet {
 public:
  explicit GroupCursor(std::shared_ptr<Database> db);
  std::int32_t RecordCount() const override { return count_; }
  bool Eof() const override { return !hasRow_; }
  Variant Fields(const std::string& name) const override;
  void MoveNext() override;
  void Close() override;

 private:
  std::shared_ptr<Database> db_;
  std::unique_ptr<Statement> rows_;
  std::int32_t count_ = 0;
  bool hasRow_ = false;
};

// A setting kept in the settings table: read and written at each use, so two
// panels (or two runs) always see the same value.
class StoredSettingEntry final : public SettingEntry {
 public:
  StoredSettingEntry(std::shared_ptr<Store> store, std::string key) : store_(std::move(store)), key_(std::move(key)) {}
  Variant Value() const override;
  // Empty or null removes the value; anything else is stored as its text.
  void SetValue(const Variant& value) override;

 private:
  std::shared_ptr<Store> store_;
  std::string key_;
};

class StoredSettings final : public SettingsCollection {
 public:
  explicit StoredSettings(std::shared_ptr<Store> store) : store_(std::move(store)) {}
  std::shared_ptr<SettingEntry> Item(const Variant& key) override;

 private:
  std::shared_ptr<Store> store_;
};

class StoreAppContext final : public AppContext {
 public:
  explicit StoreAppContext(std::shared_ptr<Store> store) : store_(std::move(store)) {}
  std::shared_ptr<SettingsCollection> Settings() override;
  bool IsValidEmailAddress(const std::string& address) override;
  std::shared_ptr<EventTypeCollection> EventTypes() override { return store_->EventTypes(); }
  std::shared_ptr<GroupRecordSet> GetEventGroups() override { return store_->EventGroups(); }

 private:
  std::shared_ptr<Store> store_;
};

class StoreEventTypeReader final : public EventTypeReader {
 public:
  explicit StoreEventTypeReader(std::shared_ptr<Store> store) : store_(std::move(store)) {}
  std::shared_ptr<EventTypeCollection> GetEventTypes(std::int32_t notificationId) override {
    return store_->StoredEventTypes(notificationId);
  }

 private:
  std::shared_ptr<Store> store_;
};

class StoreDefinitionLibrary final : public DefinitionLibrary {
 public:
  explicit StoreDefinitionLibrary(std::shared_ptr<Store> store) : store_(std::move(store)) {}
  std::shared_ptr<SnmpManager> NewSnmpManager() override;
  std::shared_ptr<SnmpManagerList> NewSnmpManagerList() override;
  std::shared_ptr<EmailRecipient> NewEmailRecipient() override;
  std::shared_ptr<EmailRecipientList> NewEmailRecipientList() override;
  std::shared_ptr<EventTypeSet> NewEventTypeSet() override;
  std::shared_ptr<EventTypeReader> NewEventTypeReader() override;

 private:
  std::shared_ptr<Store> store_;
};

}  // namespace quillmont::store
