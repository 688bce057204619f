#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmont/definitions/members.h"
#include "quillmont/framework/definition.h"
#include "quillmont/platform/export.h"

namespace quillmont {

// A row key without the one character a selector appends to it (the last
// UTF-8 character; a malformed tail loses one byte). Empty stays empty.
QUILLMONT_API std::string DropAppendedCharacter(std::string_view rowKey);

// One chosen event type: the key from the selector row, and the event type
// of the catalogue with that key, or null when the catalogue has none.
struct ChosenEventType {
  std::string key;
  std::shared_ptr<EventType> eventType;
};

// A notification definition kept in memory. Everything the panels read can
// be set by the host; what the panels write can be read back.
class QUILLMONT_API BasicNotificationDefinition : public NotificationDefinition {
 public:
  BasicNotificationDefinition() = default;
  // Tied to a store: chosen event types given to the definition are also
  // stored there under its NotificationID, where a reader finds them.
  explicit BasicNotificationDefinition(std::shared_ptr<EventTypeStore> store) : store_(std::move(store)) {}

  void LoadSnmpDetails() override { ++snmpLoads_; }
  void LoadEmailDetails() override { ++emailLoads_; }
  bool IsNew() const override { return isNew_; }
  bool HasSnmp() const override { return hasSnmp_; }
  bool HasEmail() const override { return hasEmail_; }

  std::shared_ptr<SnmpManagerList> SnmpManagers() const override { return managers_; }
  void SetSnmpManagers(std::shared_ptr<SnmpManagerList> managers) override { managers_ = std::move(managers); }
  std::shared_ptr<EmailRecipientList> EmailRecipients() const override { return recipients_; }
  void SetEmailRecipients(std::shared_ptr<EmailRecipientList> recipients) override {
    recipients_ = std::move(recipients);
  }
  std::string ManagerOwnerKey() const override { return managerOwnerKey_; }
  std::string RecipientOwnerKey() const override { return recipientOwnerKey_; }

  std::string EmailSubject() const override { return subject_.value_or(std::string()); }
  void SetEmailSubject(const std::optional<std::string>& subject) override { subject_ = subject; }
  std::string EmailMessage() const override { return message_.value_or(std::string()); }
  void SetEmailMessage(const std::optional<std::string>& message) override { message_ = message; }

  std::int32_t NotificationID() const override { return notificationId_; }
  void SetEventGroupID(std::int32_t groupId) override { eventGroupId_ = groupId; }
  // Reads every row first; Error(ObjectRequired) for no rows, and any error
  // of the rows or the catalogue leaves the earlier choice in place. Keys
  // the catalogue does not know are kept; a repeated key counts once.
  void SetChosenEventTypes(std::shared_ptr<SelectorRows> chosenRows) override;
  // The choice last given (keys the catalogue did not know as event types
  // of that key with no name), so a page loading this definition again
  // shows it. Null when tied to a store (the reader reads the store) or
  // before any choice was given.
  std::shared_ptr<EventTypeCollection> StoredEventTypes() const override;

  // Host side.
  void SetIsNew(bool on) noexcept { isNew_ = on; }
  void SetHasSnmp(bool on) noexcept { hasSnmp_ = on; }
  void SetHasEmail(bool on) noexcept { hasEmail_ = on; }
  void SetNotificationID(std::int32_t id) noexcept { notificationId_ = id; }
  void SetManagerOwnerKey(std::string key) { managerOwnerKey_ = std::move(key); }
  void SetRecipientOwnerKey(std::string key) { recipientOwnerKey_ = std::move(key); }
  // The catalogue chosen rows are looked up in; by default the calling
  // thread's AppContext::EventTypes at the time of the call.
  void SetCatalogue(std::shared_ptr<EventTypeCollection> catalogue) { catalogue_ = std::move(catalogue); }

  const std::optional<std::string>& Subject() const noexcept { return subject_; }
  const std::optional<std::string>& Message() const noexcept { return message_; }
  std::int32_t EventGroupID() const noexcept { return eventGroupId_; }
  const std::vector<ChosenEventType>& ChosenEventTypes() const noexcept { return chosen_; }
  int SnmpDetailsLoads() const noexcept { return snmpLoads_; }
  int EmailDetailsLoads() const noexcept { return emailLoads_; }

 private:
  std::shared_ptr<EventTypeStore> store_;
  std::shared_ptr<EventTypeCollection> catalogue_;
  bool isNew_ = true;
  bool hasSnmp_ = false;
  bool hasEmail_ = false;
  std::shared_ptr<SnmpManagerList> managers_;
  std::shared_ptr<EmailRecipientList> recipients_;
  std::string managerOwnerKey_;
  std::string recipientOwnerKey_;
  std::optional<std::string> subject_;
  std::optional<std::string> message_;
  std::int32_t notificationId_ = 0;
  std::int32_t eventGroupId_ = 0;
  std::vector<ChosenEventType> chosen_;
  bool choiceGiven_ = false;
  int snmpLoads_ = 0;
  int emailLoads_ = 0;
};

}  // namespace quillmont
