#include <gtest/gtest.h>

#include "tests/support/fault_injection.h"

namespace quillmont::testing {

int FailEachCallInTurn(FaultPlan& plan, const std::function<void()>& arrange, const std::function<void()>& operation,
                       const std::function<void(int call)>& afterFailure) {
  for (int call = 1; call <= 500; ++call) {
    arrange();
    plan.ClearLog();
    plan.FailOnCall(call);
    bool reached = false;
    try {
      operation();
    } catch (const Error&) {
      reached = true;
    }
    const bool fired = plan.Fired();
    plan.Disarm();
    if (!fired) {
      EXPECT_FALSE(reached) << "an error without a failing call";
      return call - 1;
    }
    EXPECT_TRUE(reached) << "the failure of call " << call << " (" << plan.Log().back() << ") did not reach the caller";
    SCOPED_TRACE("call " + std::to_string(call) + " failing: " + plan.Log().back());
    afterFailure(call);
    if (::testing::Test::HasFailure()) return call;
  }
  ADD_FAILURE() << "the operation never completed";
  return 0;
}

}  // namespace quillmont::testing
