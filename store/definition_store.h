#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quillmont/framework/definition.h"
#include "quillmont/framework/services.h"
#include "quillmont/rules/fields.h"
#include "store/notification_rows.h"
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

// A save that wrote nothing because the user has to decide: the stored
// notification changed or went since it was opened, or its name is taken.
class SaveRefused : public Error {
 public:
  enum class Reason { ChangedMeanwhile, DeletedMeanwhile, NameTaken };
  SaveRefused(Reason reason, const std::string& message)
      : Error(reason == Reason::NameTaken ? ErrorCode::InvalidPropertyValue : ErrorCode::Failed, message),
        reason_(reason) {}
  Reason Why() const noexcept { return reason_; }

 private:
  Reason reason_;
};

// The editor's database: definitions, the event catalogue and settings.
// One connection, used from one thread.
class Store : public std::enable_shared_from_this<Store> {
 public:
  // A file path, or a postgresql:// URI for a database on a server.
  static std::shared_ptr<Store> Open(const std::string& path, const OpenOptions& options = {});
  explicit Store(OpenedDatabase opened);

  Database& Db() noexcept { return *db_; }
  // The file was created, or the server database laid out, by Open (and is
  // empty until seeded).
  bool WasCreated() const noexcept { return created_; }
  // Opened without write access: saves and deletions are refused, settings
  // last for this run only.
  bool ReadOnly() const noexcept { return readOnly_; }
  // Whose file this is when it is not the user's own (or root's) or others
  // may write it; "" for a file of the user's.
  const std::string& Untrusted() const noexcept { return untrusted_; }

  // Saves and deletions are refused, naming what (e.g. "importing").
  void RefuseIfReadOnly(const char* what) const;
  // What of a notification another program saved differs from the user's
  // version about to be saved: the words the Overwrite question adds.
  std::string Differences(StoredDefinition& d);
  // The one reader and writer of a notification's rows on this database.
  NotificationReader Reader() { return NotificationReader(*db_, version_); }
  NotificationWriter Writer() { return NotificationWriter(*db_, version_); }

  std::vector<NotificationSummary> ListNotifications();
  // Error(NotFound) when there is no such notification.
  NotificationRecord ReadNotification(std::int32_t id);
  std::shared_ptr<StoredDefinition> OpenDefinition(std::int32_t id);
  std::shared_ptr<StoredDefinition> NewDefinition(const std::string& name);
  // Writes every part of the definition that was set, in one write
  // transaction that also increments the notification's revision: all of it
  // or nothing. It throws SaveRefused, writing nothing, when the stored
  // notification is at another revision than the one the definition was read
  // at (unless overwrite is set), when it was deleted, and when another
  // notification has the name. On failure the definition keeps its edits,
  // so the user can try again.
  void Save(StoredDefinition& definition, bool overwrite = false);
  void DeleteNotification(std::int32_t id);
  // Whether a notification other than exceptId has that name, compared as
  // the store compares names (trimmed, ASCII letters in either case).
  bool NameTaken(const std::string& name, std::int32_t exceptId = 0);
  // Renames a stored notification (a save of its name alone).
  void RenameNotification(std::int32_t id, const std::string& name);
  // Changes whenever another connection commits a write.
  std::int64_t DataVersion() { return db_->DataVersion(); }
  // The path no longer names the file opened: writes are refused
  // (FileReplaced) until Reopen.
  bool Replaced() { return db_->Replaced(); }
  // Opens what is now at the path, as Open did; the old connection goes.
  // Definitions read before keep their revisions, so a save of one asks
  // the usual questions against the new file.
  void Reopen();
  // What a write does while it waits for another program's (see
  // Database::SetWaitHandler); kept across Reopen.
  void SetWaitHandler(Database::WaitHandler handler);
  // The schema version of the database as opened (older only read-only).
  int SchemaVersion() const noexcept { return version_; }

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
  OpenOptions options_;
  Database::WaitHandler waitHandler_;
  bool created_ = false;
  bool readOnly_ = false;
  int version_ = 0;
  std::string untrusted_;
  std::map<std::string, std::optional<std::string>> sessionSettings_;
  std::shared_ptr<EventTypeCollection> catalogue_;
};

// The longest values read back from the file, in characters: a longer
// stored value is refused rather than loaded. The fields the pages edit are
// read with the pages' own limits (quillmont/rules/fields.h).
inline constexpr std::size_t kMaxShortTextLength = 64;  // SNMP version, time format
inline constexpr std::size_t kMaxCatalogueTextLength = 255;
inline constexpr std::size_t kMaxSettingLength = 65536;

}  // namespace quillmont::store
