#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "quillmont/framework/services.h"
#include "quillmont/platform/export.h"

namespace quillmont {

// Whether text is one e-mail address: rules::IsValidEmailAddressText
// (quillmont/rules/fields.h), kept here for hosts that call it by this name.
QUILLMONT_API bool IsValidEmailAddressText(std::string_view address);

// Settings kept in memory. Keys compare without regard to ASCII case; a
// missing key gives a new empty entry, which is kept, so what is written to
// it can be read back. Safe to share between threads: the collection and its
// entries take one lock per call.
class QUILLMONT_API MemorySettings : public SettingsCollection {
 public:
  // A null key raises the Variant's error (InvalidUseOfNull).
  std::shared_ptr<SettingEntry> Item(const Variant& key) override;
  bool Contains(const std::string& key) const;
  std::size_t Size() const;

 private:
  std::shared_ptr<std::mutex> mutex_ = std::make_shared<std::mutex>();  // shared with the entries
  std::unordered_map<std::string, std::shared_ptr<SettingEntry>> entries_;
};

// One event group record; any field may be null.
struct GroupRecord {
  Variant groupId;
  Variant groupName;
  Variant groupLabel;
};

// A forward cursor over a copy of group records. Field names compare
// without regard to ASCII case.
class QUILLMONT_API MemoryGroupRecordSet : public GroupRecordSet {
 public:
  explicit MemoryGroupRecordSet(std::vector<GroupRecord> records);
  std::int32_t RecordCount() const override;
  bool Eof() const override;
  Variant Fields(const std::string& name) const override;
  // Error(InvalidProcedureCall) at the end or after Close.
  void MoveNext() override;
  void Close() override { closed_ = true; }

 private:
  std::vector<GroupRecord> records_;
  std::size_t current_ = 0;
  bool closed_ = false;
};

// The application context of a host that keeps everything in memory: the
// settings, the event-type catalogue and the event groups it was given. It is
// the default; a host feeds its own through the runtime's appContext factory
// (one context per thread), with no AppContext of its own to write:
//
//   ComponentFactories factories;
//   factories.appContext = [] {
//     auto context = std::make_shared<MemoryAppContext>();
//     context->SetEventTypes(catalogue);   // e.g. a BasicEventTypeCollection
//     context->SetEventGroups(groups);
//     context->SetSettings(settings);      // the host's SettingsCollection
//     return context;
//   };
//   InstallFactories(factories);
class QUILLMONT_API MemoryAppContext : public AppContext {
 public:
  MemoryAppContext();

  std::shared_ptr<SettingsCollection> Settings() override { return settings_; }
  bool IsValidEmailAddress(const std::string& address) override { return IsValidEmailAddressText(address); }
  // Never null: an empty catalogue until the host sets one.
  std::shared_ptr<EventTypeCollection> EventTypes() override { return eventTypes_; }
  // A fresh cursor over the records the host set; null when it set none.
  std::shared_ptr<GroupRecordSet> GetEventGroups() override;

  // Null sets the empty catalogue.
  void SetEventTypes(std::shared_ptr<EventTypeCollection> eventTypes);
  // nullopt: no group records at all (GetEventGroups gives null).
  void SetEventGroups(std::optional<std::vector<GroupRecord>> groups) { groups_ = std::move(groups); }
  // Where the pages keep their column layouts; null sets fresh in-memory
  // settings.
  void SetSettings(std::shared_ptr<SettingsCollection> settings);

 private:
  std::shared_ptr<SettingsCollection> settings_;
  std::shared_ptr<EventTypeCollection> eventTypes_;
  std::optional<std::vector<GroupRecord>> groups_;
};

}  // namespace quillmont
