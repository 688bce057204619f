#include "store/stored_definition.h"

#include <unordered_set>

#include "quillmont/definitions/members.h"
#include "quillmont/framework/components.h"
#include "quillmont/platform/error.h"
#include "quillmont/storage/utf8.h"
#include "store/definition_store.h"

namespace quillmont::store {

std::string EventTypeKeyOfRow(const std::string& rowKey) {
  if (rowKey.empty()) throw Error(ErrorCode::InvalidPropertyValue, "A chosen row has no key");
  const std::size_t chars = utf8::CharCount(rowKey);
  return rowKey.substr(0, utf8::ByteOffset(rowKey, chars - 1));
}

StoredDefinition::StoredDefinition(std::shared_ptr<Store> store, std::int32_t id, std::string name,
                                   std::int32_t eventGroupId)
    : store_(std::move(store)), id_(id), name_(std::move(name)), eventGroupId_(eventGroupId) {}

void StoredDefinition::LoadSnmpDetails() {
  if (snmpLoaded_) return;
  if (IsNew() || !store_)
    managers_ = std::make_shared<BasicSnmpManagerList>();
  else
    store_->ReadSnmp(*this);
  snmpLoaded_ = true;
}

void StoredDefinition::LoadEmailDetails() {
  if (emailLoaded_) return;
  if (IsNew() || !store_)
    recipients_ = std::make_shared<BasicEmailRecipientList>();
  else
    store_->ReadEmail(*this);
  emailLoaded_ = true;
}

void StoredDefinition::SetSnmpManagers(std::shared_ptr<SnmpManagerList> managers) {
  managers_ = std::move(managers);
  managersSet_ = true;
}

void StoredDefinition::SetEmailRecipients(std::shared_ptr<EmailRecipientList> recipients) {
  recipients_ = std::move(recipients);
  recipientsSet_ = true;
}

std::string StoredDefinition::ManagerOwnerKey() const {
  return "Notification:" + (IsNew() ? std::string("new") : std::to_string(id_));
}

std::string StoredDefinition::RecipientOwnerKey() const { return ManagerOwnerKey(); }

void StoredDefinition::SetEmailSubject(const std::optional<std::string>& subject) {
  subject_ = subject;
  subjectSet_ = true;
}

void StoredDefinition::SetEmailMessage(const std::optional<std::string>& message) {
  message_ = message;
  messageSet_ = true;
}

void StoredDefinition::SetEventGroupID(std::int32_t groupId) {
  eventGroupId_ = groupId;
  groupSet_ = true;
}

void StoredDefinition::SetChosenEventTypes(std::shared_ptr<SelectorRows> chosenRows) {
  std::vector<std::string> keys;
  if (chosenRows) {
    std::unordered_set<std::string> seen;
    for (int i = 1; i <= chosenRows->Count(); ++i) {
      auto row = chosenRows->Item(i);
      if (!row) throw Error(ErrorCode::ObjectRequired, "A chosen row is missing");
      std::string key = EventTypeKeyOfRow(row->Key());
      if (seen.insert(key).second) keys.push_back(std::move(key));
    }
  }
  chosenKeys_ = std::move(keys);
  chosenSet_ = true;
}

void StoredDefinition::SetName(std::string name) {
  name_ = rules::CheckedName(name);
  nameSet_ = true;
}

void StoredDefinition::BecomeNew(const std::string& name) {
  const std::string checked = rules::CheckedName(name);
  // The details no panel asked for are read now, or the copy would lose
  // them; of a notification deleted meanwhile only what is here is left.
  try {
    if (!chosenSet_ && !IsNew() && store_) chosenKeys_ = store_->ReadNotification(id_).eventTypeKeys;
    LoadSnmpDetails();
    LoadEmailDetails();
  } catch (const Error& e) {
    if (e.Code() != ErrorCode::NotFound) throw;
  }
  if (!managers_) managers_ = std::make_shared<BasicSnmpManagerList>();
  if (!recipients_) recipients_ = std::make_shared<BasicEmailRecipientList>();
  snmpLoaded_ = emailLoaded_ = true;
  name_ = checked;
  id_ = 0;
  revision_ = 0;
  nameSet_ = managersSet_ = subjectSet_ = messageSet_ = recipientsSet_ = groupSet_ = chosenSet_ = true;
}

bool StoredDefinition::HasUnsavedParts() const noexcept {
  return nameSet_ || managersSet_ || subjectSet_ || messageSet_ || recipientsSet_ || groupSet_ || chosenSet_;
}

}  // namespace quillmont::store
