#include "quillmont/framework/runtime.h"
#include "tests/email/email_fixture.h"
#include "tests/support/fault_injection.h"

namespace quillmont::email_test {
namespace {

using testing::FaultPlan;
using testing::FaultyControlLibrary;

// A selection change whose reaction fails leaves the address field as the
// earlier selection had it (disabled for several rows); New still starts
// over.
TEST_F(EmailPanelTest, NewStartsOverAfterASelectionChangeFailedHalfWay) {
  auto plan = std::make_shared<FaultPlan>();
  SetThreadControlLibrary(std::make_shared<FaultyControlLibrary>(plan));
  auto faulty = XEventEmailTab::Create();
  ui::Driver driver(*faulty);
  faulty->LoadData(Variant(StoredDefinition("S", "M", {"a@x.org", "b@x.org", "c@x.org"})), kTabKey, host_);
  driver.SelectRows(faulty->stl(), {0, 2});
  ASSERT_FALSE(faulty->txtAddress().Enabled());

  // Clicking the empty space: the list takes the focus (call 1), clears the
  // selection and the panel's reaction asks for the row count (call 2).
  plan->ClearLog();
  plan->FailOnCall(2);
  EXPECT_THROW(driver.SelectRows(faulty->stl(), {}), Error);
  ASSERT_TRUE(plan->Fired());
  ASSERT_EQ(plan->Log().back(), "XStaticList.RowCount");
  EXPECT_EQ(faulty->stl().SelectedCount(), 0);
  EXPECT_FALSE(faulty->txtAddress().Enabled());

  const int marks = host_->markChanged;
  EXPECT_NO_THROW(EXPECT_TRUE(driver.Click(faulty->cmdNew())));
  EXPECT_TRUE(faulty->txtAddress().Enabled());
  EXPECT_TRUE(faulty->txtAddress().HasFocus());
  EXPECT_EQ(faulty->EditMode(), EditMode::AddNew);
  EXPECT_EQ(host_->markChanged, marks + 1);
  driver.Type("d@x.org");
  driver.PressKey(ui::keys::Return);
  EXPECT_EQ(faulty->stl().RowCount(), 4);
}

}  // namespace
}  // namespace quillmont::email_test
