#include "tests/support/fault_injection.h"

#include <gtest/gtest.h>

#include "quillmont/definitions/definition_library.h"
#include "quillmont/definitions/members.h"
#include "quillmont/services/app_context.h"

namespace quillmont {
namespace {

using testing::FaultPlan;

// The panels' fault tests count on this: wrappers sharing a plan share its
// count, the armed call throws once with its code and does nothing, and only
// the component's own operations count.
TEST(FaultInjection, TheArmedCallOfSharedWrappersThrowsOnceAndDoesNothing) {
  auto plan = std::make_shared<FaultPlan>();
  testing::FaultyControlLibrary controls(plan);
  testing::FaultyAppContext context(std::make_shared<MemoryAppContext>(), plan);
  testing::FaultyDefinitionLibrary library(std::make_shared<BasicDefinitionLibrary>(), plan);
  auto inner = std::make_shared<BasicNotificationDefinition>();
  testing::FaultyNotificationDefinition definition(inner, plan);
  auto list = controls.NewStaticList("stl");
  EXPECT_EQ(plan->Calls(), 0);  // making the list is not one of its calls

  plan->FailOnCall(5, ErrorCode::Busy);
  list->SetItems(library.NewSnmpManagerList());  // 1, 2
  EXPECT_TRUE(context.IsValidEmailAddress("a@b"));
  list->AddRow(std::make_shared<BasicSnmpManager>());
  try {
    definition.LoadSnmpDetails();  // 5
    ADD_FAILURE() << "the fifth call did not throw";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::Busy);
  }
  EXPECT_TRUE(plan->Fired());
  EXPECT_EQ(inner->SnmpDetailsLoads(), 0);
  definition.LoadSnmpDetails();  // later calls work again
  EXPECT_EQ(inner->SnmpDetailsLoads(), 1);
  EXPECT_EQ(plan->Log(), (std::vector<std::string>{"DefinitionLibrary.NewSnmpManagerList", "XStaticList.SetItems",
                                                   "AppContext.IsValidEmailAddress", "XStaticList.AddRow",
                                                   "Definition.LoadSnmpDetails", "Definition.LoadSnmpDetails"}));

  auto selector = controls.NewSelector("xEvents");
  const int before = plan->Calls();
  selector->AddAvailable("A", "a");
  selector->AvailableList();  // a view, not an operation
  plan->FailOnCall(1);
  EXPECT_THROW(selector->ChooseItem("a"), Error);
  EXPECT_FALSE(selector->IsChosen("a"));
  EXPECT_EQ(plan->Calls(), before + 3);
  selector->ChooseItem("a");
  EXPECT_TRUE(selector->IsChosen("a"));
}

}  // namespace
}  // namespace quillmont
