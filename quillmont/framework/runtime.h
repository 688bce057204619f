#pragma once

#include <functional>
#include <memory>

#include "quillmont/framework/components.h"
#include "quillmont/framework/definition.h"
#include "quillmont/framework/services.h"
#include "quillmont/platform/export.h"

// Per-thread access to the outside components. Each thread that creates
// panels gets its own set of service objects, made on first use from the
// installed factories; panels of different threads share nothing.
namespace quillmont {

struct ComponentFactories {
  std::function<std::shared_ptr<MessageService>()> messageService;
  std::function<std::shared_ptr<UiServices>()> uiServices;
  std::function<std::shared_ptr<AppContext>()> appContext;
  std::function<std::shared_ptr<DefinitionLibrary>()> definitionLibrary;
  std::function<std::shared_ptr<ControlLibrary>()> controlLibrary;
};

// Installs the factories a host wants (before it creates panels). Members
// left empty keep the library's defaults. Threads that already made a
// service object keep it until ResetThreadServices.
QUILLMONT_API void InstallFactories(const ComponentFactories& factories);
// Back to the library's default components for every member.
QUILLMONT_API void ResetFactories();

// This thread's objects, made on first use.
QUILLMONT_API std::shared_ptr<MessageService> GetMessageService();
QUILLMONT_API std::shared_ptr<UiServices> GetUiServices();
QUILLMONT_API std::shared_ptr<AppContext> GetAppContext();
QUILLMONT_API std::shared_ptr<DefinitionLibrary> GetDefinitionLibrary();
QUILLMONT_API std::shared_ptr<ControlLibrary> GetControlLibrary();

// Puts a given object in place of this thread's one (tests, hosts that
// build their services themselves). Null drops it; the next use makes one.
QUILLMONT_API void SetThreadMessageService(std::shared_ptr<MessageService> service);
QUILLMONT_API void SetThreadUiServices(std::shared_ptr<UiServices> service);
QUILLMONT_API void SetThreadAppContext(std::shared_ptr<AppContext> context);
QUILLMONT_API void SetThreadDefinitionLibrary(std::shared_ptr<DefinitionLibrary> library);
QUILLMONT_API void SetThreadControlLibrary(std::shared_ptr<ControlLibrary> library);
// Drops all of this thread's objects.
QUILLMONT_API void ResetThreadServices();

namespace detail {
// The library's default components; defined by the defaults module.
ComponentFactories DefaultFactories();
}  // namespace detail

}  // namespace quillmont
