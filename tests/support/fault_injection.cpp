#include "tests/support/fault_injection.h"

#include "quillmont/framework/runtime.h"

namespace quillmont::testing {

void FaultPlan::FailOnCall(int n, ErrorCode code) {
  failAt_ = n < 1 ? 0 : calls_ + n;
  code_ = code;
  fired_ = false;
}

void FaultPlan::Tick(const std::string& operation) {
  ++calls_;
  log_.push_back(operation);
  if (failAt_ == 0 || calls_ != failAt_) return;
  failAt_ = 0;
  fired_ = true;
  throw Error(code_, "Injected failure in " + operation);
}

ServiceInstall::ServiceInstall(std::shared_ptr<MessageService> messages, std::shared_ptr<AppContext> appContext,
                               std::shared_ptr<DefinitionLibrary> library, std::shared_ptr<FaultPlan> plan) {
  ResetThreadServices();
  // With the thread's objects dropped, these are the library's defaults.
  if (!messages) messages = GetMessageService();
  if (!appContext) appContext = GetAppContext();
  if (!library) library = GetDefinitionLibrary();
  std::shared_ptr<UiServices> ui = GetUiServices();
  std::shared_ptr<ControlLibrary> controls = GetControlLibrary();
  if (plan) {
    messages = std::make_shared<FaultyMessageService>(messages, plan);
    ui = std::make_shared<FaultyUiServices>(ui, plan);
    appContext = std::make_shared<FaultyAppContext>(appContext, plan);
    library = std::make_shared<FaultyDefinitionLibrary>(library, plan);
    controls = std::make_shared<FaultyControlLibrary>(plan);
  }
  SetThreadMessageService(std::move(messages));
  SetThreadUiServices(std::move(ui));
  SetThreadAppContext(std::move(appContext));
  SetThreadDefinitionLibrary(std::move(library));
  SetThreadControlLibrary(std::move(controls));
}

ServiceInstall::~ServiceInstall() { ResetThreadServices(); }

}  // namespace quillmont::testing
