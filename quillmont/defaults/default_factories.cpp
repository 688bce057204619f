#include "quillmont/controls/control_library.h"
#include "quillmont/definitions/definition_library.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/services/app_context.h"
#include "quillmont/services/message_service.h"
#include "quillmont/services/ui_services.h"

namespace quillmont::detail {

// What a host gets when it installs nothing of its own: a headless message
// service, the default services, an in-memory context and definition
// library, and the default list and selector.
ComponentFactories DefaultFactories() {
  ComponentFactories f;
  f.messageService = [] { return std::make_shared<ConsoleMessageService>(); };
  f.uiServices = [] { return std::make_shared<DefaultUiServices>(); };
  f.appContext = [] { return std::make_shared<MemoryAppContext>(); };
  f.definitionLibrary = [] { return std::make_shared<BasicDefinitionLibrary>(); };
  f.controlLibrary = [] { return std::make_shared<DefaultControlLibrary>(); };
  return f;
}

}  // namespace quillmont::detail
