#include "store/notification_rows.h"

#include <limits>
#include <map>

#include "quillmont/rules/fields.h"
#include "store/definition_store.h"

namespace quillmont::store {
namespace {

std::int32_t NotificationNumber(std::int64_t id) {
  if (id < 1) throw Error(ErrorCode::Corrupt, "The database holds an impossible notification number.");
  return ToInt32(id, "notification number");
}

// The columns of each list after notification_id, and how one is read.
constexpr const char* kManagerColumns = "host, port, version, time_format";
StoredManager ManagerAt(const Statement& s, int first) {
  return {s.Text(first, rules::kMaxHostLength, "a host"), ToInt32(s.Int(first + 1), "port"),
          s.Text(first + 2, kMaxShortTextLength, "an SNMP version"),
          s.Text(first + 3, kMaxShortTextLength, "a time format")};
}
std::string RecipientAt(const Statement& s, int column) {
  return s.Text(column, rules::kMaxAddressLength, "an address");
}
std::string EventTypeAt(const Statement& s, int column) {
  return s.Text(column, kMaxCatalogueTextLength, "an event type key");
}

// The row's columns, for a database of that version; every row (whole) adds
// its number and time of saving.
std::string RowSelect(int version, bool whole) {
  return std::string("SELECT name, email_subject, email_message, event_group_id, ") +
         (version >= 3 ? "revision" : "0") + (whole ? (version >= 2 ? ", modified, id" : ", NULL, id") : "") +
         " FROM notifications";
}

NotificationRecord RowAt(const Statement& s, bool whole) {
  NotificationRecord r;
  r.name = s.Text(0, rules::kMaxNameLength, "a name");
  r.subject = s.OptionalText(1, rules::kMaxSubjectLength, "a subject");
  r.message = s.OptionalText(2, rules::kMaxMessageLength, "a message");
  r.eventGroupId = ToInt32(s.Int(3), "group number");
  r.revision = s.Int(4);
  if (whole) {
    r.modified = s.OptionalText(5, kMaxShortTextLength, "a time");
    r.id = NotificationNumber(s.Int(6));
  }
  return r;
}

template <class Read>
auto ListOf(Database& db, const char* table, const char* columns, std::int32_t id, Read read) {
  Statement s =
      db.Prepare(std::string("SELECT ") + columns + " FROM " + table + " WHERE notification_id = ? ORDER BY position");
  s.Bind(1, std::int64_t{id});
  std::vector<decltype(read(s, 0))> out;
  while (s.Step()) out.push_back(read(s, 0));
  return out;
}

// Every notification's list at once, into the records (by number).
template <class Read, class Into>
void AllOf(Database& db, const char* table, const char* columns, std::map<std::int64_t, NotificationRecord*>& byId,
           Read read, Into into) {
  Statement s = db.Prepare(std::string("SELECT notification_id, ") + columns + " FROM " + table +
                           " ORDER BY notification_id, position");
  while (s.Step())
    if (auto it = byId.find(s.Int(0)); it != byId.end()) (it->second->*into).push_back(read(s, 1));
}

}  // namespace

std::vector<std::int32_t> NotificationReader::Numbers() {
  Statement s = db_.Prepare("SELECT id FROM notifications ORDER BY id");
  std::vector<std::int32_t> ids;
  while (s.Step()) ids.push_back(NotificationNumber(s.Int(0)));
  return ids;
}

bool NotificationReader::ReadRow(std::int32_t id, NotificationRecord& into) {
  Statement s = db_.Prepare(RowSelect(version_, false) + " WHERE id = ?");
  s.Bind(1, std::int64_t{id});
  if (!s.Step()) return false;
  into = RowAt(s, false);
  into.id = id;
  return true;
}

std::vector<StoredManager> NotificationReader::Managers(std::int32_t id) {
  return ListOf(db_, "snmp_managers", kManagerColumns, id, ManagerAt);
}

std::vector<std::string> NotificationReader::Recipients(std::int32_t id) {
  return ListOf(db_, "email_recipients", "address", id, RecipientAt);
}

std::vector<std::string> NotificationReader::EventTypeKeys(std::int32_t id) {
  return ListOf(db_, "notification_event_types", "type_key", id, EventTypeAt);
}

NotificationRecord NotificationReader::Read(std::int32_t id) {
  NotificationRecord r;
  if (!ReadRow(id, r))
    throw Error(ErrorCode::NotFound, "Notification " + std::to_string(id) + " does not exist (any more).");
  r.managers = Managers(id);
  r.recipients = Recipients(id);
  r.eventTypeKeys = EventTypeKeys(id);
  return r;
}

std::vector<NotificationRecord> NotificationReader::ReadAll() {
  std::vector<NotificationRecord> out;
  Statement s = db_.Prepare(RowSelect(version_, true) + " ORDER BY id");
  while (s.Step()) out.push_back(RowAt(s, true));
  std::map<std::int64_t, NotificationRecord*> byId;
  for (NotificationRecord& r : out) byId[r.id] = &r;
  AllOf(db_, "snmp_managers", kManagerColumns, byId, ManagerAt, &NotificationRecord::managers);
  AllOf(db_, "email_recipients", "address", byId, RecipientAt, &NotificationRecord::recipients);
  AllOf(db_, "notification_event_types", "type_key", byId, EventTypeAt, &NotificationRecord::eventTypeKeys);
  return out;
}

std::int32_t NotificationWriter::Insert(const NotificationRecord& r, bool ownNumber) {
  std::string columns = "name, email_subject, email_message, event_group_id", marks = "?, ?, ?, ?";
  for (const char* column : {"revision", "modified", "id"}) {
    const std::string name = column;
    if ((name == "revision" && version_ < 3) || (name == "modified" && version_ < 2) || (name == "id" && !ownNumber))
      continue;
    columns += ", " + name;
    marks += ", ?";
  }
  Statement ins = db_.Prepare("INSERT INTO notifications(" + columns + ") VALUES(" + marks + ") RETURNING id");
  int at = 4;
  ins.Bind(1, r.name).Bind(2, r.subject).Bind(3, r.message).Bind(4, std::int64_t{r.eventGroupId});
  if (version_ >= 3) ins.Bind(++at, r.revision);
  if (version_ >= 2) ins.Bind(++at, r.modified);
  if (ownNumber) ins.Bind(++at, std::int64_t{r.id});
  if (!ins.Step()) throw Error(ErrorCode::Failed, "The database gave the new notification no number");
  const std::int64_t id = ins.Int(0);
  ins.Reset();
  if (id < 1 || id > std::numeric_limits<std::int32_t>::max())
    throw Error(ErrorCode::Failed, "The database has no notification number left. Nothing was written.");
  return static_cast<std::int32_t>(id);
}

bool NotificationWriter::Update(std::int32_t id, const NotificationRecord& r, std::optional<std::int64_t> revision,
                                Fields fields) {
  std::string sql = "UPDATE notifications SET name = ?";
  if (version_ >= 3) sql += revision ? ", revision = ?" : ", revision = revision + 1";
  if (version_ >= 2) sql += ", modified = ?";
  if (fields.group) sql += ", event_group_id = ?";
  if (fields.subject) sql += ", email_subject = ?";
  if (fields.message) sql += ", email_message = ?";
  Statement up = db_.Prepare(sql + " WHERE id = ?");
  int at = 0;
  up.Bind(++at, r.name);
  if (version_ >= 3 && revision) up.Bind(++at, *revision);
  if (version_ >= 2) up.Bind(++at, r.modified);
  if (fields.group) up.Bind(++at, std::int64_t{r.eventGroupId});
  if (fields.subject) up.Bind(++at, r.subject);
  if (fields.message) up.Bind(++at, r.message);
  return up.Bind(++at, std::int64_t{id}).Run() != 0;
}

Statement& NotificationWriter::Prepared(std::optional<Statement>& slot, const char* sql) {
  if (!slot) slot.emplace(db_.Prepare(sql));
  return *slot;
}

void NotificationWriter::Clear(const char* table, std::int32_t id) {
  db_.Prepare(std::string("DELETE FROM ") + table + " WHERE notification_id = ?").Bind(1, std::int64_t{id}).Run();
}

void NotificationWriter::WriteManagers(std::int32_t id, const std::vector<StoredManager>& managers, bool fresh) {
  if (!fresh) Clear("snmp_managers", id);
  Statement& ins = Prepared(managers_,
                            "INSERT INTO snmp_managers(notification_id, position, host, port, version, time_format) "
                            "VALUES(?, ?, ?, ?, ?, ?)");
  std::int64_t position = 0;
  for (const StoredManager& m : managers) {
    ins.Bind(1, std::int64_t{id}).Bind(2, ++position).Bind(3, m.host).Bind(4, std::int64_t{m.port});
    ins.Bind(5, m.version).Bind(6, m.timeFormat).Queue();
  }
}

void NotificationWriter::WriteRecipients(std::int32_t id, const std::vector<std::string>& recipients, bool fresh) {
  if (!fresh) Clear("email_recipients", id);
  Statement& ins =
      Prepared(recipients_, "INSERT INTO email_recipients(notification_id, position, address) VALUES(?, ?, ?)");
  std::int64_t position = 0;
  for (const std::string& address : recipients)
    ins.Bind(1, std::int64_t{id}).Bind(2, ++position).Bind(3, address).Queue();
}

void NotificationWriter::WriteEventTypes(std::int32_t id, const std::vector<std::string>& keys, bool fresh) {
  if (!fresh) Clear("notification_event_types", id);
  Statement& ins = Prepared(
      eventTypes_, "INSERT INTO notification_event_types(notification_id, position, type_key) VALUES(?, ?, ?)");
  std::int64_t position = 0;
  for (const std::string& key : keys) ins.Bind(1, std::int64_t{id}).Bind(2, ++position).Bind(3, key).Queue();
}

void NotificationWriter::WriteLists(std::int32_t id, const NotificationRecord& r, bool fresh) {
  WriteManagers(id, r.managers, fresh);
  WriteRecipients(id, r.recipients, fresh);
  WriteEventTypes(id, r.eventTypeKeys, fresh);
}

bool NotificationWriter::Delete(std::int32_t id) {
  return db_.Prepare("DELETE FROM notifications WHERE id = ?").Bind(1, std::int64_t{id}).Run() != 0;
}

}  // namespace quillmont::store
