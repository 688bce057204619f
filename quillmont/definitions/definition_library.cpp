#include "quillmont/definitions/definition_library.h"

#include "quillmont/platform/error.h"

namespace quillmont {

BasicDefinitionLibrary::BasicDefinitionLibrary(std::shared_ptr<EventTypeStore> store) : store_(std::move(store)) {
  if (!store_) throw Error(ErrorCode::ObjectRequired, "Object required: no event type store");
}

std::shared_ptr<BasicNotificationDefinition> BasicDefinitionLibrary::NewDefinition(std::int32_t notificationId) {
  auto definition = std::make_shared<BasicNotificationDefinition>(store_);
  definition->SetNotificationID(notificationId);
  return definition;
}

}  // namespace quillmont
