#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quillmont/framework/definition.h"
#include "quillmont/framework/services.h"
#include "store/schema.h"
#include "store/stored_definition.h"

namespace quillmont::store {

struct NotificationSummary {
  std::int32_t id = 0;
  std::string name;
  int managers = 0;
  int recipients = 0;
  int eventTypes = 0;
};

struct StoredManager {
  std::string host;
  std::int32_t port = 0;
  std::string version;
  std::string timeFormat;
};

// A whole stored definition read in one go (for export and checks).
struct NotificationRecord {
  std::int32_t id = 0;
  std::string name;
  std::optional<std::string> subject, message;
  std::int32_t eventGroupId = 0;
  std::vector<StoredManager> managers;
  std::vector<std::string> recipients;
  std::vector<std::string> eventTypeKeys;
};

// The editor's database: definitions, the event catalogue and settings.
// One connection, used from one thread.
class Store : public std::enable_shared_from_this<Store> {
 public:
  static std::shared_ptr<Store> Open(const std::string& path, const OpenOptions& options = {});
  explicit Store(OpenedDatabase opened);

  Database& Db() noexcept { return *db_; }
  // The file was created by Open (and is empty until seeded).
  bool WasCreated() const noexcept { return created_; }

  std::vector<NotificationSummary> ListNotifications();
  // Error(NotFound) when there is no such notification.
  NotificationRecord ReadNotification(std::int32_t id);
  std::shared_ptr<StoredDefinition> OpenDefinition(std::int32_t id);
  std::shared_ptr<StoredDefinition> NewDefinition(const std::string& name);
  // Writes every part of the definition that was set, in one BEGIN IMMEDIATE
  // transaction: all of it or nothing. On failure the definition keeps its
  // edits, so the user can try again.
  void Save(StoredDefinition& definition);
  void DeleteNotification(std::int32_t id);

  // The event catalogue, read once.
  std::shared_ptr<EventTypeCollection> EventTypes();
  // The event types stored for a notification, in their saved order; a key
  // the catalogue no longer has comes back with an empty name and group 0.
  std::shared_ptr<EventTypeCollection> StoredEventTypes(std::int32_t notificationId);
  std::shared_ptr<GroupRecordSet> EventGroups();
  std::optional<std::string> Setting(const std::string& key);
  void SetSetting(const std::string& key, const std::optional<std::string>& value);

  // Called between the steps of a save, before the commit ("notification",
  // "snmp", "email", "events"). For fault-injection tests.
  std::function<void(const char* step)> onSaveStep;

 private:
  friend class StoredDefinition;
  void ReadSnmp(StoredDefinition& definition);
  void ReadEmail(StoredDefinition& definition);
  void Step(const char* name) {
    if (onSaveStep) onSaveStep(name);
  }

  std::shared_ptr<Database> db_;
  bool created_ = false;
  std::shared_ptr<EventTypeCollection> catalogue_;
};

// Longest notification name accepted, in characters.
inline constexpr std::size_t kMaxNameLength = 100;
// The name trimmed; Error(InvalidPropertyValue) with a message for the user
// when it is empty or too long.
std::string CheckedName(const std::string& name);

}  // namespace quillmont::store
