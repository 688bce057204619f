#include <gtest/gtest.h>

#include "quillmont/definitions/definition_library.h"
#include "quillmont/definitions/members.h"
#include "quillmont/services/app_context.h"
#include "tests/support/fault_injection.h"

namespace quillmont {
namespace {

using testing::FaultPlan;

TEST(FaultInjection, TheArmedCallOfAWrappedObjectThrowsOnce) {
  auto plan = std::make_shared<FaultPlan>();
  testing::FaultyControlLibrary library(plan);
  auto list = library.NewStaticList("stl");
  EXPECT_EQ(library.LastList(), list);
  EXPECT_EQ(plan->Calls(), 0);  // making the list is not one of its calls

  list->SetItems(std::make_shared<BasicSnmpManagerList>());
  plan->FailOnCall(3, ErrorCode::Busy);
  auto m = std::make_shared<BasicSnmpManager>();
  list->AddRow(m);                 // 1
  EXPECT_EQ(list->RowCount(), 1);  // 2
  try {
    list->SelectRow(1);  // 3
    ADD_FAILURE() << "the third call did not throw";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::Busy);
  }
  EXPECT_TRUE(plan->Fired());
  EXPECT_EQ(list->SelectedCount(), 0);  // the failed call did nothing
  list->SelectRow(1);                   // later calls work again
  EXPECT_EQ(list->SelectedCount(), 1);
  EXPECT_EQ(plan->Log()[1], "XStaticList.AddRow");
  EXPECT_EQ(plan->Log()[3], "XStaticList.SelectRow");
}

TEST(FaultInjection, WrappersShareOnePlan) {
  auto plan = std::make_shared<FaultPlan>();
  testing::FaultyAppContext context(std::make_shared<MemoryAppContext>(), plan);
  testing::FaultyDefinitionLibrary library(std::make_shared<BasicDefinitionLibrary>(), plan);
  auto definition =
      std::make_shared<testing::FaultyNotificationDefinition>(std::make_shared<BasicNotificationDefinition>(), plan);

  plan->FailOnCall(4);
  EXPECT_TRUE(context.IsValidEmailAddress("a@b"));
  EXPECT_NE(library.NewSnmpManagerList(), nullptr);
  EXPECT_TRUE(definition->IsNew());
  EXPECT_THROW(definition->LoadSnmpDetails(), Error);
  EXPECT_EQ(std::dynamic_pointer_cast<BasicNotificationDefinition>(definition->Inner())->SnmpDetailsLoads(), 0);
  definition->LoadSnmpDetails();
  EXPECT_EQ(plan->Calls(), 5);

  // The selector counts its own operations; the user's parts do not count.
  testing::FaultyControlLibrary controls(plan);
  auto selector = controls.NewSelector("xEvents");
  const int before = plan->Calls();
  selector->AddAvailable("A", "a");
  selector->AvailableList();
  plan->FailOnCall(1);
  EXPECT_THROW(selector->ChooseItem("a"), Error);
  EXPECT_FALSE(selector->IsChosen("a"));
  EXPECT_EQ(plan->Calls(), before + 3);
  plan->FailOnCall(0);
  selector->ChooseItem("a");
  EXPECT_TRUE(selector->IsChosen("a"));
}

}  // namespace
}  // namespace quillmont
