#include "quillmont/controls/control_library.h"
#include "quillmont/definitions/definition_library.h"
#include "quillmont/framework/detail/fallback_factories.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/services/app_context.h"
#include "quillmont/services/message_service.h"
#include "quillmont/services/ui_services.h"

namespace quillmont::detail {
namespace {

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

// Registers the defaults when the library is loaded, so the framework below
// never names them.
const bool registered = (SetFallbackFactories(DefaultFactories()), true);

}  // namespace
}  // namespace quillmont::detail

// Referenced by the static library's link interface (-u), so that a program
// linking libquillmont.a keeps this object and with it the registration.
extern "C" const bool quillmont_default_factories = quillmont::detail::registered;
