#include "quillmont/framework/runtime.h"

#include <cstdint>
#include <mutex>
#include <string>

#include "quillmont/framework/detail/fallback_factories.h"
#include "quillmont/platform/error.h"

namespace quillmont {
namespace {

struct Factories {
  std::mutex mutex;
  ComponentFactories installed;
  // What the defaults module registered; empty when it is not linked in.
  ComponentFactories fallback;
  // Raised by every InstallFactories/ResetFactories, so that a thread sees
  // new factories on its next use instead of keeping what the old ones made.
  std::uint64_t generation = 0;
};

Factories& Shared() {
  static Factories f;
  return f;
}

// One service object of this thread, and whether a factory made it (new
// factories replace it) or the host put it there (it stays).
template <class T>
struct Held {
  std::shared_ptr<T> object;
  bool fromFactory = false;
  void DropIfMade() {
    if (fromFactory) *this = {};
  }
};

struct ThreadSet {
  Held<MessageService> messages;
  Held<UiServices> ui;
  Held<AppContext> app;
  Held<DefinitionLibrary> definitions;
  Held<ControlLibrary> controls;
  std::uint64_t generation = 0;
};

ThreadSet& ThisThread() {
  thread_local ThreadSet set;
  return set;
}

template <class T>
using Factory = std::function<std::shared_ptr<T>()>;

template <class T>
std::shared_ptr<T> Get(Held<T> ThreadSet::*slot, Factory<T> ComponentFactories::*member, const char* what) {
  auto& set = ThisThread();
  Factory<T> factory;
  {
    auto& shared = Shared();
    std::lock_guard lock(shared.mutex);
    if (set.generation != shared.generation) {
      set.generation = shared.generation;
      set.messages.DropIfMade();
      set.ui.DropIfMade();
      set.app.DropIfMade();
      set.definitions.DropIfMade();
      set.controls.DropIfMade();
    }
    if ((set.*slot).object) return (set.*slot).object;
    factory = shared.installed.*member ? shared.installed.*member : shared.fallback.*member;
  }
  if (!factory)
    throw Error(ErrorCode::ObjectRequired, std::string("No factory for the ") + what +
                                               ": install one with InstallFactories, or link the library's defaults");
  auto made = factory();
  if (!made) throw Error(ErrorCode::ObjectRequired, std::string("The factory for the ") + what + " returned nothing");
  set.*slot = {made, true};
  return made;
}

template <class T>
void Put(Held<T> ThreadSet::*slot, std::shared_ptr<T> object) {
  ThisThread().*slot = {std::move(object), false};
}

}  // namespace

namespace detail {
void SetFallbackFactories(const ComponentFactories& factories) {
  auto& shared = Shared();
  std::lock_guard lock(shared.mutex);
  shared.fallback = factories;
  ++shared.generation;
}
}  // namespace detail

void InstallFactories(const ComponentFactories& factories) {
  auto& shared = Shared();
  std::lock_guard lock(shared.mutex);
  auto& f = shared.installed;
  if (factories.messageService) f.messageService = factories.messageService;
  if (factories.uiServices) f.uiServices = factories.uiServices;
  if (factories.appContext) f.appContext = factories.appContext;
  if (factories.definitionLibrary) f.definitionLibrary = factories.definitionLibrary;
  if (factories.controlLibrary) f.controlLibrary = factories.controlLibrary;
  ++shared.generation;
}

void ResetFactories() {
  auto& shared = Shared();
  std::lock_guard lock(shared.mutex);
  shared.installed = ComponentFactories{};
  ++shared.generation;
}

std::shared_ptr<MessageService> GetMessageService() {
  return Get(&ThreadSet::messages, &ComponentFactories::messageService, "message service");
}
std::shared_ptr<UiServices> GetUiServices() {
  return Get(&ThreadSet::ui, &ComponentFactories::uiServices, "UI services");
}
std::shared_ptr<AppContext> GetAppContext() {
  return Get(&ThreadSet::app, &ComponentFactories::appContext, "application context");
}
std::shared_ptr<DefinitionLibrary> GetDefinitionLibrary() {
  return Get(&ThreadSet::definitions, &ComponentFactories::definitionLibrary, "definition library");
}
std::shared_ptr<ControlLibrary> GetControlLibrary() {
  return Get(&ThreadSet::controls, &ComponentFactories::controlLibrary, "control library");
}

void SetThreadMessageService(std::shared_ptr<MessageService> s) { Put(&ThreadSet::messages, std::move(s)); }
void SetThreadUiServices(std::shared_ptr<UiServices> s) { Put(&ThreadSet::ui, std::move(s)); }
void SetThreadAppContext(std::shared_ptr<AppContext> c) { Put(&ThreadSet::app, std::move(c)); }
void SetThreadDefinitionLibrary(std::shared_ptr<DefinitionLibrary> l) { Put(&ThreadSet::definitions, std::move(l)); }
void SetThreadControlLibrary(std::shared_ptr<ControlLibrary> l) { Put(&ThreadSet::controls, std::move(l)); }
void ResetThreadServices() {
  auto& set = ThisThread();
  const auto generation = set.generation;
  set = ThreadSet{};
  set.generation = generation;
}

}  // namespace quillmont
