#include "quillmont/framework/runtime.h"
#include "tests/snmp/snmp_fixture.h"
#include "tests/support/fault_injection.h"

namespace snmp_test {
namespace {

using quillmont::testing::FaultPlan;
using quillmont::testing::FaultyControlLibrary;

// A selection change whose reaction fails leaves the fields as the earlier
// selection had them (disabled for several rows); New still starts over.
TEST_F(SnmpTest, NewStartsOverAfterASelectionChangeFailedHalfWay) {
  auto plan = std::make_shared<FaultPlan>();
  SetThreadControlLibrary(std::make_shared<FaultyControlLibrary>(plan));
  auto faulty = XEventSNMPTab::Create();
  ui::Driver driver(*faulty);
  faulty->LoadData(Variant(Stored({{"alpha", 161}, {"beta", 162}, {"gamma", 163}})), "SNMP", host);
  driver.SelectRows(faulty->stl(), {0, 2});
  ASSERT_FALSE(faulty->txtHost().Enabled());

  // Clicking the empty space: the list takes the focus (call 1), clears the
  // selection and the panel's reaction asks for the row count (call 2).
  plan->ClearLog();
  plan->FailOnCall(2);
  EXPECT_THROW(driver.SelectRows(faulty->stl(), {}), Error);
  ASSERT_TRUE(plan->Fired());
  ASSERT_EQ(plan->Log().back(), "XStaticList.RowCount");
  EXPECT_EQ(faulty->stl().SelectedCount(), 0);
  EXPECT_FALSE(faulty->txtHost().Enabled());

  const int marks = host->markChanged;
  EXPECT_NO_THROW(EXPECT_TRUE(driver.Click(faulty->cmdNew())));
  EXPECT_TRUE(faulty->txtHost().Enabled());
  EXPECT_TRUE(faulty->txtHost().HasFocus());
  EXPECT_EQ(faulty->EditMode(), EditMode::AddNew);
  EXPECT_EQ(host->markChanged, marks + 1);
  driver.Type("delta");
  driver.TypeInto(faulty->txtPort(), "164");
  driver.PressKey(ui::keys::Return);
  EXPECT_EQ(faulty->stl().RowCount(), 4);
}

}  // namespace
}  // namespace snmp_test
