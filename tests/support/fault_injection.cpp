#include "tests/support/fault_injection.h"

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

}  // namespace quillmont::testing
