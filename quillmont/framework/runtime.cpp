#include "quillmont/framework/runtime.h"

#include <mutex>

#include "quillmont/platform/error.h"

namespace quillmont {
namespace {

std::mutex& FactoryMutex() {
  static std::mutex m;
  return m;
}

ComponentFactories& Installed() {
  static ComponentFactories f;
  return f;
}

struct ThreadSet {
  std::shared_ptr<MessageService> messages;
  std::shared_ptr<UiServices> ui;
  std::shared_ptr<AppContext> app;
  std::shared_ptr<DefinitionLibrary> definitions;
  std::shared_ptr<ControlLibrary> controls;
};

ThreadSet& ThisThread() {
  thread_local ThreadSet set;
  return set;
}

// The factory to use for one member: the host's, else the default.
template <class T>
std::shared_ptr<T> Make(std::function<std::shared_ptr<T>()> ComponentFactories::*member) {
  std::function<std::shared_ptr<T>()> factory;
  {
    std::lock_guard lock(FactoryMutex());
    factory = Installed().*member;
  }
  if (!factory) factory = detail::DefaultFactories().*member;
  if (!factory) throw Error(ErrorCode::ObjectRequired, "No factory for an outside component");
  auto made = factory();
  if (!made) throw Error(ErrorCode::ObjectRequired, "A component factory returned nothing");
  return made;
}

template <class T>
std::shared_ptr<T> Get(std::shared_ptr<T> ThreadSet::*slot,
                       std::function<std::shared_ptr<T>()> ComponentFactories::*member) {
  auto& held = ThisThread().*slot;
  if (!held) held = Make(member);
  return held;
}

}  // namespace

void InstallFactories(const ComponentFactories& factories) {
  std::lock_guard lock(FactoryMutex());
  auto& f = Installed();
  if (factories.messageService) f.messageService = factories.messageService;
  if (factories.uiServices) f.uiServices = factories.uiServices;
  if (factories.appContext) f.appContext = factories.appContext;
  if (factories.definitionLibrary) f.definitionLibrary = factories.definitionLibrary;
  if (factories.controlLibrary) f.controlLibrary = factories.controlLibrary;
}

void ResetFactories() {
  std::lock_guard lock(FactoryMutex());
  Installed() = ComponentFactories{};
}

std::shared_ptr<MessageService> GetMessageService() {
  return Get(&ThreadSet::messages, &ComponentFactories::messageService);
}
std::shared_ptr<UiServices> GetUiServices() { return Get(&ThreadSet::ui, &ComponentFactories::uiServices); }
std::shared_ptr<AppContext> GetAppContext() { return Get(&ThreadSet::app, &ComponentFactories::appContext); }
std::shared_ptr<DefinitionLibrary> GetDefinitionLibrary() {
  return Get(&ThreadSet::definitions, &ComponentFactories::definitionLibrary);
}
std::shared_ptr<ControlLibrary> GetControlLibrary() {
  return Get(&ThreadSet::controls, &ComponentFactories::controlLibrary);
}

void SetThreadMessageService(std::shared_ptr<MessageService> s) { ThisThread().messages = std::move(s); }
void SetThreadUiServices(std::shared_ptr<UiServices> s) { ThisThread().ui = std::move(s); }
void SetThreadAppContext(std::shared_ptr<AppContext> c) { ThisThread().app = std::move(c); }
void SetThreadDefinitionLibrary(std::shared_ptr<DefinitionLibrary> l) { ThisThread().definitions = std::move(l); }
void SetThreadControlLibrary(std::shared_ptr<ControlLibrary> l) { ThisThread().controls = std::move(l); }
void ResetThreadServices() { ThisThread() = ThreadSet{}; }

}  // namespace quillmont
