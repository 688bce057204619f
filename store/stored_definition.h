#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quillmont/framework/definition.h"

namespace quillmont::store {

class Store;

// A notification definition as the editor edits it: the row's name and group
// filter are read when it is opened, the SNMP and e-mail details only when a
// panel asks for them. Setters change this object only; Store::Save writes
// the parts that were set, all in one transaction.
class StoredDefinition final : public NotificationDefinition {
 public:
  // A definition not stored yet (id 0) or the stored row id.
  StoredDefinition(std::shared_ptr<Store> store, std::int32_t id, std::string name, std::int32_t eventGroupId);

  void LoadSnmpDetails() override;
  void LoadEmailDetails() override;
  bool IsNew() const override { return id_ == 0; }
  bool HasSnmp() const override { return snmpLoaded_; }
  bool HasEmail() const override { return emailLoaded_; }

  std::shared_ptr<SnmpManagerList> SnmpManagers() const override { return managers_; }
  void SetSnmpManagers(std::shared_ptr<SnmpManagerList> managers) override;
  std::shared_ptr<EmailRecipientList> EmailRecipients() const override { return recipients_; }
  void SetEmailRecipients(std::shared_ptr<EmailRecipientList> recipients) override;
  std::string ManagerOwnerKey() const override;
  std::string RecipientOwnerKey() const override;

  std::string EmailSubject() const override { return subject_.value_or(std::string()); }
  void SetEmailSubject(const std::optional<std::string>& subject) override;
  std::string EmailMessage() const override { return message_.value_or(std::string()); }
  void SetEmailMessage(const std::optional<std::string>& message) override;

  std::int32_t NotificationID() const override { return id_; }
  void SetEventGroupID(std::int32_t groupId) override;
  // Keeps the event type keys of the rows (each row key less its last
  // character) at once: the rows belong to the selector and change with it.
  void SetChosenEventTypes(std::shared_ptr<SelectorRows> chosenRows) override;

  // Host side.
  const std::string& Name() const noexcept { return name_; }
  void SetName(std::string name);
  std::int32_t EventGroupID() const noexcept { return eventGroupId_; }
  const std::optional<std::string>& StoredSubject() const noexcept { return subject_; }
  const std::optional<std::string>& StoredMessage() const noexcept { return message_; }
  // The chosen keys as last set (empty when never set).
  const std::vector<std::string>& ChosenKeys() const noexcept { return chosenKeys_; }
  // Whether anything was set since the last load or save.
  bool HasUnsavedParts() const noexcept;
  // The stored revision this definition was read at (or last saved as).
  std::int64_t Revision() const noexcept { return revision_; }
  // Turns the definition into a new one of that name holding everything it
  // holds now, for the next Save to insert (the stored row is left alone).
  void BecomeNew(const std::string& name);

 private:
  friend class Store;

  std::shared_ptr<Store> store_;
  std::int32_t id_;
  std::string name_;
  std::int32_t eventGroupId_;
  std::int64_t revision_ = 0;

  bool snmpLoaded_ = false;
  std::shared_ptr<SnmpManagerList> managers_;
  bool emailLoaded_ = false;
  std::optional<std::string> subject_, message_;
  std::shared_ptr<EmailRecipientList> recipients_;
  std::vector<std::string> chosenKeys_;

  // The parts Save writes.
  bool nameSet_ = false, managersSet_ = false, subjectSet_ = false, messageSet_ = false, recipientsSet_ = false,
       groupSet_ = false, chosenSet_ = false;
};

// Drops the one character the selector appends to a row key (a whole UTF-8
// character). Error(InvalidPropertyValue) for an empty key.
std::string EventTypeKeyOfRow(const std::string& rowKey);

}  // namespace quillmont::store
