#include "store/definition_store.h"

#include <algorithm>
#include <limits>

#include "quillmont/definitions/members.h"
#include "quillmont/storage/utf8.h"
#include "store/catalogue.h"
#include "store/host_objects.h"
#include "store/pg_db.h"

namespace quillmont::store {
namespace {

[[noreturn]] void ThrowMissing(std::int32_t id) {
  throw Error(ErrorCode::NotFound, "Notification " + std::to_string(id) + " does not exist (any more).");
}

}  // namespace

namespace {

// What the reader would refuse is never written: a notification saved with a
// longer text could not be opened again.
void CheckFits(const std::string& text, std::size_t maxChars, const char* field) {
  const std::size_t chars = utf8::CharCount(text);
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
  auto store =
      std::make_shared<Store>(IsServerUri(path) ? OpenServerDatabase(path, options) : OpenDatabase(path, options));
  store->options_ = options;
  return store;
}

void Store::Reopen() {
  const std::string path = db_->DisplayName();
  db_->BeforeReplacing();
  OpenedDatabase opened = IsServerUri(path) ? OpenServerDatabase(path, options_) : OpenDatabase(path, options_);
  db_->AfterReplaced();
  db_ = std::move(opened.db);
  created_ = opened.created;
  readOnly_ = opened.readOnly;
  version_ = opened.version;
  untrusted_ = std::move(opened.untrusted);
  catalogue_.reset();
  if (waitHandler_) db_->SetWaitHandler(waitHandler_);
}

void Store::SetWaitHandler(Database::WaitHandler handler) {
  waitHandler_ = std::move(handler);
  db_->SetWaitHandler(waitHandler_);
}

Store::Store(OpenedDatabase opened)
    : db_(std::move(opened.db)),
      created_(opened.created),
      readOnly_(opened.readOnly),
      version_(opened.version),
      untrusted_(std::move(opened.untrusted)) {}

std::string Store::Differences(StoredDefinition& d) {
  const NotificationRecord theirs = ReadNotification(d.id_);
  std::vector<std::string> parts;
  if (theirs.name != d.name_) parts.push_back("the name (theirs: \"" + theirs.name + "\")");
  if (d.managersSet_) {
    std::vector<StoredManager> yours;
    for (int i = 1; d.managers_ && i <= d.managers_->Count(); ++i)
      if (auto m = d.managers_->Manager(i)) yours.push_back({m->Host(), m->Port(), m->Version(), m->TimeFormat()});
    const auto same = [](const StoredManager& a, const StoredManager& b) {
      return a.host == b.host && a.port == b.port && a.version == b.version && a.timeFormat == b.timeFormat;
    };
    if (!std::equal(yours.begin(), yours.end(), theirs.managers.begin(), theirs.managers.end(), same))
      parts.push_back("the SNMP managers (theirs: " + std::to_string(theirs.managers.size()) + ")");
  }
  if (d.recipientsSet_) {
    std::vector<std::string> yours;
    for (int i = 1; d.recipients_ && i <= d.recipients_->Count(); ++i)
      if (auto r = d.recipients_->Recipient(i)) yours.push_back(r->Address());
    if (yours != theirs.recipients)
      parts.push_back("the e-mail recipients (theirs: " + std::to_string(theirs.recipients.size()) + ")");
  }
  if ((d.subjectSet_ && d.subject_ != theirs.subject) || (d.messageSet_ && d.message_ != theirs.message))
    parts.emplace_back("the e-mail subject or message");
  if (d.chosenSet_ && d.chosenKeys_ != theirs.eventTypeKeys)
    parts.push_back("the events (theirs: " + std::to_string(theirs.eventTypeKeys.size()) + ")");
  if (parts.empty()) return " Theirs holds what yours does; Overwrite changes nothing of it.";
  std::string text = " Overwrite replaces theirs where it differs from yours: ";
  for (std::size_t i = 0; i < parts.size(); ++i) text += (i ? ", " : "") + parts[i];
  return text + ".";
}

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

NotificationRecord Store::ReadNotification(std::int32_t id) { return Reader().Read(id); }

std::shared_ptr<StoredDefinition> Store::OpenDefinition(std::int32_t id) {
  NotificationRecord row;
  if (!Reader().ReadRow(id, row)) ThrowMissing(id);
  auto d = std::make_shared<StoredDefinition>(shared_from_this(), id, row.name, row.eventGroupId);
  d->revision_ = row.revision;
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
  NotificationRecord row;
  row.name = checked;
  row.modified = UtcNow();
  if (!Writer().Update(id, row, std::nullopt, {false, false, false})) ThrowMissing(id);
  tx.Commit();
}

std::shared_ptr<StoredDefinition> Store::NewDefinition(const std::string& name) {
  return std::make_shared<StoredDefinition>(shared_from_this(), 0, rules::CheckedName(name), 0);
}

void Store::ReadSnmp(StoredDefinition& d) {
  auto list = std::make_shared<BasicSnmpManagerList>();
  const std::string owner = d.ManagerOwnerKey();
  for (const StoredManager& m : Reader().Managers(d.id_)) {
    auto manager = std::make_shared<BasicSnmpManager>();
    manager->Init(owner, m.host, m.port, m.version, m.timeFormat);
    list->Add(manager);
  }
  d.managers_ = std::move(list);
}

void Store::ReadEmail(StoredDefinition& d) {
  NotificationRecord row;
  if (!Reader().ReadRow(d.id_, row)) ThrowMissing(d.id_);
  auto list = std::make_shared<BasicEmailRecipientList>();
  const Variant owner(d.RecipientOwnerKey());
  for (const std::string& address : Reader().Recipients(d.id_)) {
    auto recipient = std::make_shared<BasicEmailRecipient>();
    recipient->Init(owner, address, Variant());
    list->Add(recipient);
  }
  // Only now that everything was read does the definition change.
  d.subject_ = std::move(row.subject);
  d.message_ = std::move(row.message);
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
      throw SaveRefused(SaveRefused::Reason::ChangedMeanwhile,
                        "Notification " + std::to_string(d.id_) +
                            " was changed by another program after you opened it. Nothing was saved." + Differences(d));
    revision = current.Int(0) + 1;
  }
  if (NameTaken(name, d.id_))
    throw SaveRefused(SaveRefused::Reason::NameTaken, "A notification named \"" + name + "\" already exists.");
  NotificationRecord row;
  row.name = name;
  row.subject = d.subject_;
  row.message = d.message_;
  row.eventGroupId = d.eventGroupId_;
  row.revision = revision;
  row.modified = UtcNow();
  NotificationWriter writer = Writer();
  std::int32_t id = d.id_;
  if (d.IsNew())
    id = writer.Insert(row, false);
  else if (!writer.Update(id, row, revision, {d.groupSet_, d.subjectSet_, d.messageSet_}))
    ThrowMissing(d.id_);
  Step("notification");

  if (d.managersSet_) {
    std::vector<StoredManager> managers;
    const int count = d.managers_ ? d.managers_->Count() : 0;
    for (int i = 1; i <= count; ++i) {
      auto m = d.managers_->Manager(i);
      if (!m) throw Error(ErrorCode::ObjectRequired, "An SNMP manager of the list is missing");
      managers.push_back({m->Host(), m->Port(), m->Version(), m->TimeFormat()});
    }
    writer.WriteManagers(id, managers);
  }
  Step("snmp");

  if (d.recipientsSet_) {
    std::vector<std::string> recipients;
    const int count = d.recipients_ ? d.recipients_->Count() : 0;
    for (int i = 1; i <= count; ++i) {
      auto r = d.recipients_->Recipient(i);
      if (!r) throw Error(ErrorCode::ObjectRequired, "A recipient of the list is missing");
      recipients.push_back(r->Address());
    }
    writer.WriteRecipients(id, recipients);
  }
  Step("email");

  if (d.chosenSet_) writer.WriteEventTypes(id, d.chosenKeys_);
  Step("events");
  tx.Commit();

  // Only a committed save changes what the definition says about itself.
  d.id_ = id;
  d.revision_ = revision;
  d.name_ = name;
  if (d.managersSet_) d.snmpLoaded_ = true;
  d.nameSet_ = d.managersSet_ = d.subjectSet_ = d.messageSet_ = d.recipientsSet_ = d.groupSet_ = d.chosenSet_ = false;
}

void Store::DeleteNotification(std::int32_t id) {
  RefuseIfReadOnly("deleting");
  WriteTransaction tx(*db_);
  if (!Writer().Delete(id)) ThrowMissing(id);
  tx.Commit();
}

std::shared_ptr<EventTypeCollection> Store::EventTypes() {
  if (catalogue_) return catalogue_;
  auto list = std::make_shared<Catalogue>();
  Statement s = db_->Prepare(std::string("SELECT type_key, name, group_id FROM "
                                         "event_types ORDER BY sort_order, ") +
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
    for (std::string& key : Reader().EventTypeKeys(notificationId)) {
      auto known = catalogue_->Item(key);
      list->Append(known ? std::move(known) : std::make_shared<BasicEventType>(std::move(key), std::string(), 0));
    }
    return list;
  }
  Statement s = db_->Prepare(
      "SELECT t.type_key, COALESCE(e.name, ''), "
      "COALESCE(e.group_id, 0) FROM notification_event_types t"
      " LEFT JOIN event_types e ON e.type_key = t.type_key WHERE "
      "t.notification_id = ? ORDER BY t.position");
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
  db_->Prepare(
         "INSERT INTO settings(key, value) VALUES(?, ?) ON CONFLICT(key) "
         "DO UPDATE SET value = excluded.value")
      .Bind(1, key)
      .Bind(2, value)
      .Run();
}

}  // namespace quillmont::store
