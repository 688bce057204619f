#pragma once

#include <cstdint>
#include <memory>

#include "quillmont/definitions/members.h"
#include "quillmont/definitions/notification_definition.h"
#include "quillmont/framework/definition.h"
#include "quillmont/platform/export.h"

namespace quillmont {

// Makes the in-memory definition objects. Its readers read, and the
// definitions it makes store into, one EventTypeStore.
class QUILLMONT_API BasicDefinitionLibrary : public DefinitionLibrary {
 public:
  BasicDefinitionLibrary() : store_(std::make_shared<EventTypeStore>()) {}
  explicit BasicDefinitionLibrary(std::shared_ptr<EventTypeStore> store);

  std::shared_ptr<SnmpManager> NewSnmpManager() override { return std::make_shared<BasicSnmpManager>(); }
  std::shared_ptr<SnmpManagerList> NewSnmpManagerList() override { return std::make_shared<BasicSnmpManagerList>(); }
  std::shared_ptr<EmailRecipient> NewEmailRecipient() override { return std::make_shared<BasicEmailRecipient>(); }
  std::shared_ptr<EmailRecipientList> NewEmailRecipientList() override {
    return std::make_shared<BasicEmailRecipientList>();
  }
  std::shared_ptr<EventTypeSet> NewEventTypeSet() override { return std::make_shared<BasicEventTypeSet>(); }
  std::shared_ptr<EventTypeReader> NewEventTypeReader() override {
    return std::make_shared<BasicEventTypeReader>(store_);
  }

  // A new definition (IsNew true) tied to this library's store.
  std::shared_ptr<BasicNotificationDefinition> NewDefinition(std::int32_t notificationId);
  const std::shared_ptr<EventTypeStore>& Store() const noexcept { return store_; }

 private:
  std::shared_ptr<EventTypeStore> store_;
};

}  // namespace quillmont
