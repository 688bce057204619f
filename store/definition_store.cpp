#include "store/definition_store.h"

#include <limits>

#include "quillmont/definitions/members.h"
#include "quillmont/platform/ui/utf8.h"
#include "store/catalogue.h"
#include "store/host_objects.h"
#include "store/pg_db.h"

namespace quillmont::store {
namespace {

std::int32_t ToInt32(std::int64_t value, const char* what) {
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
    throw Error(ErrorCode::Corrupt, std::string("The database holds an impossible ") + what + ".");
  return static_cast<std::int32_t>(value);
}

[[noreturn]] void ThrowMissing(std::int32_t id) {
  throw Error(ErrorCode::NotFound, "Notification " + std::to_string(id) + " does not exist (any more).");
}

}  // namespace

namespace {

// What the reader would refuse is never written: a notification saved with a
// longer text could not be opened again.
void CheckFits(const std::string& text, std::size_t maxChars, const char* field) {
  const std::size_t chars = ui::utf8::CharCount(text);
  if (chars > maxChars)
    throw Error(ErrorCode::InvalidPropertyValue, "The " + std::string(field) + " has " + std::to_string(chars) +
                                                     " characters; at most " + std::to_string(maxChars) +
                                                     " can be saved. Nothing was saved.");
}

void CheckFits(const std::optional<std::string>& text, std::size_t maxChars, const char* field) {
  if (text) CheckFits(*text, maxChars, field);
}

}  // namespace

std::shared_ptr<Store> Store::Open(const std::string& path, const OpenOptions& options) {
  return std::make_shared<Store>(IsServerUri(path) ? OpenServerDatabase(path, options) : OpenDatabase(path, options));
}

Store::Store(OpenedDatabase opened)
    : db_(std::move(opened.db)),
      created_(opened.created),
      readOnly_(opened.readOnly),
      version_(opened.version),
      untrusted_(std::move(opened.untrusted)) {}

void Store::RefuseIfReadOnly(const char* what) const {
  if (readOnly_)
    throw Error(ErrorCode::Failed, std::string("The database ") + db_->DisplayName() +
                                       " is open read-only (this user cannot write it or its folder), so " + what +
                                       " is not possible. Nothing was written.");
}

std::vector<NotificationSummary> Store::ListNotifications() {
  Statement s = db_->Prepare(
      "SELECT n.id, n.name,"
      " (SELECT COUNT(*) FROM snmp_managers m WHERE m.notification_id = n.id),"
      " (SELECT COUNT(*) FROM email_recipients r WHERE r.notification_id = n.id),"
      " (SELECT COUNT(*) FROM notification_event_types t WHERE t.notification_id = n.id)"
      " FROM notifications n ORDER BY " +
      db_->NoCase("n.name") + ", n.id");
  std::vector<NotificationSummary> out;
  while (s.Step())
    out.push_back({ToInt32(s.Int(0), "notification number"), s.Text(1, rules::kMaxNameLength, "a name"),
                   static_cast<int>(s.Int(2)), static_cast<int>(s.Int(3)), static_cast<int>(s.Int(4))});
  return out;
}

NotificationRecord Store::ReadNotification(std::int32_t id) {
  NotificationRecord r;
  {
    Statement s = db_->Prepare(
        version_ >= 3
            ? "SELECT name, email_subject, email_message, event_group_id, revision FROM notifications WHERE id = ?"
            : "SELECT name, email_subject, email_message, event_group_id, 0 FROM notifications WHERE id = ?");
    s.Bind(1, std::int64_t{id});
    if (!s.Step()) ThrowMissing(id);
    r.id = id;
    r.name = s.Text(0, rules::kMaxNameLength, "a name");
    r.subject = s.OptionalText(1, rules::kMaxSubjectLength, "a subject");
    r.message = s.OptionalText(2, rules::kMaxMessageLength, "a message");
    r.eventGroupId = ToInt32(s.Int(3), "group number");
    r.revision = s.Int(4);
  }
  Statement m = db_->Prepare(
      "SELECT host, port, version, time_format FROM snmp_managers WHERE notification_id = ? ORDER BY position");
  m.Bind(1, std::int64_t{id});
  while (m.Step())
    r.managers.push_back({m.Text(0, rules::kMaxHostLength, "a host"), ToInt32(m.Int(1), "port"),
                          m.Text(2, kMaxShortTextLength, "an SNMP version"),
                          m.Text(3, kMaxShortTextLength, "a time format")});
  Statement e = db_->Prepare("SELECT address FROM email_recipients WHERE notification_id = ? ORDER BY position");
  e.Bind(1, std::int64_t{id});
  while (e.Step()) r.recipients.push_back(e.Text(0, rules::kMaxAddressLength, "an address"));
  Statement t =
      db_->Prepare("SELECT type_key FROM notification_event_types WHERE notification_id = ? ORDER BY position");
  t.Bind(1, std::int64_t{id});
  while (t.Step()) r.eventTypeKeys.push_back(t.Text(0, kMaxCatalogueTextLength, "an event type key"));
  return r;
}

std::shared_ptr<StoredDefinition> Store::OpenDefinition(std::int32_t id) {
  // A database too old to have revisions is only ever read here.
  Statement s = db_->Prepare(version_ >= 3 ? "SELECT name, event_group_id, revision FROM notifications WHERE id = ?"
                                           : "SELECT name, event_group_id, 0 FROM notifications WHERE id = ?");
  s.Bind(1, std::int64_t{id});
  if (!s.Step()) ThrowMissing(id);
  auto d = std::make_shared<StoredDefinition>(shared_from_this(), id, s.Text(0, rules::kMaxNameLength, "a name"),
                                              ToInt32(s.Int(1), "group number"));
  d->revision_ = s.Int(2);
  return d;
}

bool Store::NameTaken(const std::string& name, std::int32_t exceptId) {
  Statement dup = db_->Prepare("SELECT 1 FROM notifications WHERE " + db_->NoCase("name") + " = " + db_->NoCase("?") +
                               " AND id <> ?");
  dup.Bind(1, rules::CheckedName(name)).Bind(2, std::int64_t{exceptId});
  return dup.Step();
}

void Store::RenameNotification(std::int32_t id, const std::string& name) {
  RefuseIfReadOnly("renaming");
  const std::string checked = rules::CheckedName(name);
  WriteTransaction tx(*db_);
  if (NameTaken(checked, id))
    throw SaveRefused(SaveRefused::Reason::NameTaken, "A notification named \"" + checked + "\" already exists.");
  const auto changed =
      db_->Prepare("UPDATE notifications SET name = ?, revision = revision + 1, modified = ? WHERE id = ?")
          .Bind(1, checked)
          .Bind(2, UtcNow())
          .Bind(3, std::int64_t{id})
          .Run();
  if (changed == 0) ThrowMissing(id);
  tx.Commit();
}

std::shared_ptr<StoredDefinition> Store::NewDefinition(const std::string& name) {
  return std::make_shared<StoredDefinition>(shared_from_this(), 0, rules::CheckedName(name), 0);
}

void Store::ReadSnmp(StoredDefinition& d) {
  auto list = std::make_shared<BasicSnmpManagerList>();
  Statement s = db_->Prepare(
      "SELECT host, port, version, time_format FROM snmp_managers WHERE notification_id = ? ORDER BY position");
  s.Bind(1, std::int64_t{d.id_});
  const std::string owner = d.ManagerOwnerKey();
  while (s.Step()) {
    auto manager = std::make_shared<BasicSnmpManager>();
    manager->Init(owner, s.Text(0, rules::kMaxHostLength, "a host"), ToInt32(s.Int(1), "port"),
                  s.Text(2, kMaxShortTextLength, "an SNMP version"), s.Text(3, kMaxShortTextLength, "a time format"));
    list->Add(manager);
  }
  d.managers_ = std::move(list);
}

void Store::ReadEmail(StoredDefinition& d) {
  Statement n = db_->Prepare("SELECT email_subject, email_message FROM notifications WHERE id = ?");
  n.Bind(1, std::int64_t{d.id_});
  if (!n.Step()) ThrowMissing(d.id_);
  auto list = std::make_shared<BasicEmailRecipientList>();
  Statement s = db_->Prepare("SELECT address FROM email_recipients WHERE notification_id = ? ORDER BY position");
  s.Bind(1, std::int64_t{d.id_});
  const Variant owner(d.RecipientOwnerKey());
  while (s.Step()) {
    auto recipient = std::make_shared<BasicEmailRecipient>();
    recipient->Init(owner, s.Text(0, rules::kMaxAddressLength, "an address"), Variant());
    list->Add(recipient);
  }
  // Only now that everything was read does the definition change.
  d.subject_ = n.OptionalText(0, rules::kMaxSubjectLength, "a subject");
  d.message_ = n.OptionalText(1, rules::kMaxMessageLength, "a message");
  d.recipients_ = std::move(list);
}

void Store::Save(StoredDefinition& d, bool overwrite) {
  if (d.store_.get() != this)
    throw Error(ErrorCode::InvalidProcedureCall, "The definition belongs to another database");
  RefuseIfReadOnly("saving");
  const std::string name = rules::CheckedName(d.name_);
  CheckFits(d.subject_, rules::kMaxSubjectLength, "subject");
  CheckFits(d.message_, rules::kMaxMessageLength, "message");
  if (d.managersSet_ && d.managers_)
    for (int i = 1; i <= d.managers_->Count(); ++i)
      if (auto m = d.managers_->Manager(i)) CheckFits(m->Host(), rules::kMaxHostLength, "SNMP host");
  if (d.recipientsSet_ && d.recipients_)
    for (int i = 1; i <= d.recipients_->Count(); ++i)
      if (auto r = d.recipients_->Recipient(i)) CheckFits(r->Address(), rules::kMaxAddressLength, "e-mail address");

  WriteTransaction tx(*db_);
  // Read inside the write transaction: no other save can come between this
  // check and the commit.
  std::int64_t revision = 1;
  if (!d.IsNew()) {
    Statement current = db_->Prepare(std::string("SELECT revision FROM notifications WHERE id = ?") + db_->ForUpdate());
    current.Bind(1, std::int64_t{d.id_});
    if (!current.Step())
      throw SaveRefused(SaveRefused::Reason::DeletedMeanwhile, "Notification " + std::to_string(d.id_) +
                                                                   " was deleted by another program after you "
                                                                   "opened it. Nothing was saved.");
    if (current.Int(0) != d.revision_ && !overwrite)
      throw SaveRefused(SaveRefused::Reason::ChangedMeanwhile, "Notification " + std::to_string(d.id_) +
                                                                   " was changed by another program after you "
                                                                   "opened it. Nothing was saved.");
    revision = current.Int(0) + 1;
  }
  if (NameTaken(name, d.id_))
    throw SaveRefused(SaveRefused::Reason::NameTaken, "A notification named \"" + name + "\" already exists.");
  std::int64_t id = d.id_;
  if (d.IsNew()) {
    Statement ins = db_->Prepare(
        "INSERT INTO notifications(name, email_subject, email_message, event_group_id, revision, modified) "
        "VALUES(?, ?, ?, ?, 1, ?) RETURNING id");
    ins.Bind(1, name).Bind(2, d.subject_).Bind(3, d.message_).Bind(4, std::int64_t{d.eventGroupId_}).Bind(5, UtcNow());
    if (!ins.Step()) throw Error(ErrorCode::Failed, "The database gave the new notification no number");
    id = ins.Int(0);
    ins.Reset();
    ToInt32(id, "notification number");
  } else {
    Statement up = db_->Prepare("UPDATE notifications SET name = ?, revision = ?, modified = ? WHERE id = ?");
    if (up.Bind(1, name).Bind(2, revision).Bind(3, UtcNow()).Bind(4, id).Run() == 0) ThrowMissing(d.id_);
    if (d.groupSet_)
      db_->Prepare("UPDATE notifications SET event_group_id = ? WHERE id = ?")
          .Bind(1, std::int64_t{d.eventGroupId_})
          .Bind(2, id)
          .Run();
    if (d.subjectSet_)
      db_->Prepare("UPDATE notifications SET email_subject = ? WHERE id = ?").Bind(1, d.subject_).Bind(2, id).Run();
    if (d.messageSet_)
      db_->Prepare("UPDATE notifications SET email_message = ? WHERE id = ?").Bind(1, d.message_).Bind(2, id).Run();
  }
  Step("notification");

  if (d.managersSet_) {
    db_->Prepare("DELETE FROM snmp_managers WHERE notification_id = ?").Bind(1, id).Run();
    Statement ins = db_->Prepare(
        "INSERT INTO snmp_managers(notification_id, position, host, port, version, time_format) "
        "VALUES(?, ?, ?, ?, ?, ?)");
    const int count = d.managers_ ? d.managers_->Count() : 0;
    for (int i = 1; i <= count; ++i) {
      auto m = d.managers_->Manager(i);
      if (!m) throw Error(ErrorCode::ObjectRequired, "An SNMP manager of the list is missing");
      ins.Bind(1, id).Bind(2, std::int64_t{i}).Bind(3, m->Host()).Bind(4, std::int64_t{m->Port()});
      ins.Bind(5, m->Version()).Bind(6, m->TimeFormat()).Queue();
    }
  }
  Step("snmp");

  if (d.recipientsSet_) {
    db_->Prepare("DELETE FROM email_recipients WHERE notification_id = ?").Bind(1, id).Run();
    Statement ins = db_->Prepare("INSERT INTO email_recipients(notification_id, position, address) VALUES(?, ?, ?)");
    const int count = d.recipients_ ? d.recipients_->Count() : 0;
    for (int i = 1; i <= count; ++i) {
      auto r = d.recipients_->Recipient(i);
      if (!r) throw Error(ErrorCode::ObjectRequired, "A recipient of the list is missing");
      ins.Bind(1, id).Bind(2, std::int64_t{i}).Bind(3, r->Address()).Queue();
    }
  }
  Step("email");

  if (d.chosenSet_) {
    db_->Prepare("DELETE FROM notification_event_types WHERE notification_id = ?").Bind(1, id).Run();
    Statement ins =
        db_->Prepare("INSERT INTO notification_event_types(notification_id, position, type_key) VALUES(?, ?, ?)");
    std::int64_t position = 0;
    for (const std::string& key : d.chosenKeys_) ins.Bind(1, id).Bind(2, ++position).Bind(3, key).Queue();
  }
  Step("events");
  tx.Commit();

  // Only a committed save changes what the definition says about itself.
  d.id_ = static_cast<std::int32_t>(id);
  d.revision_ = revision;
  d.name_ = name;
  if (d.managersSet_) d.snmpLoaded_ = true;
  d.nameSet_ = d.managersSet_ = d.subjectSet_ = d.messageSet_ = d.recipientsSet_ = d.groupSet_ = d.chosenSet_ = false;
}

void Store::DeleteNotification(std::int32_t id) {
  RefuseIfReadOnly("deleting");
  WriteTransaction tx(*db_);
  if (db_->Prepare("DELETE FROM notifications WHERE id = ?").Bind(1, std::int64_t{id}).Run() == 0) ThrowMissing(id);
  tx.Commit();
}

std::shared_ptr<EventTypeCollection> Store::EventTypes() {
  if (catalogue_) return catalogue_;
  auto list = std::make_shared<Catalogue>();
  Statement s = db_->Prepare(std::string("SELECT type_key, name, group_id FROM event_types ORDER BY sort_order, ") +
                             db_->InsertionOrder());
  while (s.Step())
    list->Append(s.TextView(0, kMaxCatalogueTextLength, "an event type key"),
                 s.TextView(1, kMaxCatalogueTextLength, "an event type name"), ToInt32(s.Int(2), "group number"));
  catalogue_ = std::move(list);
  return catalogue_;
}

std::shared_ptr<EventTypeCollection> Store::StoredEventTypes(std::int32_t notificationId) {
  auto list = std::make_shared<BasicEventTypeCollection>();
  if (catalogue_) {
    // The catalogue this session shows is here already: its entries name the
    // chosen types, so only their keys are read.
    Statement s =
        db_->Prepare("SELECT type_key FROM notification_event_types WHERE notification_id = ? ORDER BY position");
    s.Bind(1, std::int64_t{notificationId});
    while (s.Step()) {
      std::string key = s.Text(0, kMaxCatalogueTextLength, "an event type key");
      auto known = catalogue_->Item(key);
      list->Append(known ? std::move(known) : std::make_shared<BasicEventType>(std::move(key), std::string(), 0));
    }
    return list;
  }
  Statement s = db_->Prepare(
      "SELECT t.type_key, COALESCE(e.name, ''), COALESCE(e.group_id, 0) FROM notification_event_types t"
      " LEFT JOIN event_types e ON e.type_key = t.type_key WHERE t.notification_id = ? ORDER BY t.position");
  s.Bind(1, std::int64_t{notificationId});
  while (s.Step())
    list->Append(std::make_shared<BasicEventType>(s.Text(0, kMaxCatalogueTextLength, "an event type key"),
                                                  s.Text(1, kMaxCatalogueTextLength, "an event type name"),
                                                  ToInt32(s.Int(2), "group number")));
  return list;
}

std::shared_ptr<GroupRecordSet> Store::EventGroups() { return std::make_shared<GroupCursor>(db_); }

std::optional<std::string> Store::Setting(const std::string& key) {
  if (auto kept = sessionSettings_.find(key); kept != sessionSettings_.end()) return kept->second;
  Statement s = db_->Prepare("SELECT value FROM settings WHERE key = ?");
  s.Bind(1, key);
  if (!s.Step()) return std::nullopt;
  return s.OptionalText(0, kMaxSettingLength, "a setting");
}

void Store::SetSetting(const std::string& key, const std::optional<std::string>& value) {
  if (readOnly_) {
    sessionSettings_[key] = value;
    return;
  }
  db_->Prepare("INSERT INTO settings(key, value) VALUES(?, ?) ON CONFLICT(key) DO UPDATE SET value = excluded.value")
      .Bind(1, key)
      .Bind(2, value)
      .Run();
}

}  // namespace quillmont::store
