#pragma once

#include <functional>
#include <memory>

#include "quillmont/framework/components.h"
#include "quillmont/framework/definition.h"
#include "quillmont/framework/services.h"
#include "quillmont/platform/export.h"

// Per-thread access to the outside components.
//
// The factory contract:
// - Each thread gets its own set of service objects. A factory runs at most
//   once per thread for its member (again only after InstallFactories,
//   ResetFactories or ResetThreadServices), on the thread that first needs
//   the object; it must return a new object each time, or one that is safe to
//   use from several threads at once. Returning null is an error.
// - Factories may be installed at any time: every thread drops the objects the
//   previous factories made and asks the new ones on its next use. Objects a
//   host put in place with SetThread... stay until it replaces them.
// - A page belongs to the thread that created it: its operations on any
//   other thread raise an error (ErrorCode::InvalidProcedureCall) instead of silently
//   using that thread's services.
// - With nothing installed, the library's defaults are used (a console
//   message service, the default UI services and controls, a MemoryAppContext
//   (a host feeds its own through an appContext factory; see
//   MemoryAppContext), and the in-memory
//   definition library).
namespace quillmont {

struct ComponentFactories {
  std::function<std::shared_ptr<MessageService>()> messageService;
  std::function<std::shared_ptr<UiServices>()> uiServices;
  std::function<std::shared_ptr<AppContext>()> appContext;
  std::function<std::shared_ptr<DefinitionLibrary>()> definitionLibrary;
  std::function<std::shared_ptr<ControlLibrary>()> controlLibrary;
};

// Installs the factories a host wants, usually before it creates pages.
// Members left empty keep what was installed before (at first the library's
// defaults).
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

}  // namespace quillmont
