#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/database.h"

// The one reader and the one writer of a notification's rows: its row in
// notifications and its three lists (SNMP managers, e-mail recipients, chosen
// event types, each in its order). Saving, importing, seeding and copying
// all read and write them here, so the rows are laid out one way.
namespace quillmont::store {

struct StoredManager {
  std::string host;
  std::int32_t port = 0;
  std::string version;
  std::string timeFormat;
};

// A whole stored notification.
struct NotificationRecord {
  std::int32_t id = 0;
  std::string name;
  std::int64_t revision = 0;  // 0 in a database too old to count them
  std::optional<std::string> subject, message;
  std::int32_t eventGroupId = 0;
  std::optional<std::string> modified;  // when it was last saved (UTC text)
  std::vector<StoredManager> managers;
  std::vector<std::string> recipients;
  std::vector<std::string> eventTypeKeys;
};

// Reads with the limits the pages take: a longer stored value is refused
// (Error(Corrupt)) rather than loaded. schemaVersion is the database's, for
// the columns an older file lacks.
class NotificationReader {
 public:
  NotificationReader(Database& db, int schemaVersion) : db_(db), version_(schemaVersion) {}

  // Every number, in order.
  std::vector<std::int32_t> Numbers();
  // The row alone (no lists, no time of saving); false when there is no
  // such notification.
  bool ReadRow(std::int32_t id, NotificationRecord& into);
  std::vector<StoredManager> Managers(std::int32_t id);
  std::vector<std::string> Recipients(std::int32_t id);
  std::vector<std::string> EventTypeKeys(std::int32_t id);
  // Row and lists; Error(NotFound) when there is no such notification.
  NotificationRecord Read(std::int32_t id);
  // Every notification whole, in number order, in four queries.
  std::vector<NotificationRecord> ReadAll();

 private:
  Database& db_;
  int version_;
};

// Writes inside the caller's write transaction; statements are prepared once
// per writer and reused. A database older than the revision (or time of
// saving) keeps none: the column is left out.
class NotificationWriter {
 public:
  NotificationWriter(Database& db, int schemaVersion) : db_(db), version_(schemaVersion) {}

  // A new row with the record's name, texts, group, revision and modified;
  // the record's number when ownNumber, else the database's choice. Returns
  // the number.
  std::int32_t Insert(const NotificationRecord& r, bool ownNumber);
  // Which fields of the row Update writes besides name, revision, modified.
  struct Fields {
    bool group = true, subject = true, message = true;
  };
  // The row's fields from the record; revision nullopt: one more than
  // stored. Returns whether the row was there.
  bool Update(std::int32_t id, const NotificationRecord& r, std::optional<std::int64_t> revision, Fields fields);
  bool Update(std::int32_t id, const NotificationRecord& r, std::optional<std::int64_t> revision) {
    return Update(id, r, revision, Fields{});
  }
  // A list in place of what the notification holds (fresh: it holds none).
  void WriteManagers(std::int32_t id, const std::vector<StoredManager>& managers, bool fresh = false);
  void WriteRecipients(std::int32_t id, const std::vector<std::string>& recipients, bool fresh = false);
  void WriteEventTypes(std::int32_t id, const std::vector<std::string>& keys, bool fresh = false);
  void WriteLists(std::int32_t id, const NotificationRecord& r, bool fresh = false);
  // The row and its lists; returns whether it was there.
  bool Delete(std::int32_t id);
  // After rows inserted with their own numbers: the database's later choices
  // follow the highest.
  void AfterOwnNumbers() { db_.AfterExplicitNumbers(); }

 private:
  Statement& Prepared(std::optional<Statement>& slot, const char* sql);
  void Clear(const char* table, std::int32_t id);

  Database& db_;
  int version_;
  std::optional<Statement> managers_, recipients_, eventTypes_;
};

}  // namespace quillmont::store
