#include <algorithm>

#include "quillmont/framework/runtime.h"
#include "tests/snmp/snmp_fixture.h"
#include "tests/support/fault_injection.h"
#include "tests/support/list_panel_recovery.h"

namespace snmp_test {
namespace {

using quillmont::testing::FaultPlan;
using quillmont::testing::FaultyControlLibrary;
using quillmont::testing::FaultyNotificationDefinition;

// A manager whose version cannot be read while `broken` is set.
class BrittleManager : public BasicSnmpManager {
 public:
  std::string Version() const override {
    if (broken) throw Error(ErrorCode::Failed, "version unreadable");
    return BasicSnmpManager::Version();
  }
  bool broken = false;
};

// The position, counted from 1, of the first logged call naming operation.
int CallOf(const FaultPlan& plan, const std::string& operation) {
  const auto& log = plan.Log();
  const auto it = std::find_if(log.begin(), log.end(),
                               [&](const std::string& entry) { return entry.find(operation) != std::string::npos; });
  return it == log.end() ? 0 : static_cast<int>(it - log.begin()) + 1;
}

TEST_F(SnmpTest, ApplyFailingHalfWayLeavesNothingPending) {
  auto plan = std::make_shared<FaultPlan>();
  SetThreadControlLibrary(std::make_shared<FaultyControlLibrary>(plan));
  auto faulty = XEventSNMPTab::Create();
  ui::Driver driver(*faulty);
  faulty->LoadData(Variant(Fresh()), "SNMP", host);
  auto enter = [&](const char* hostText) {
    driver.TypeInto(faulty->txtHost(), hostText);
    driver.TypeInto(faulty->txtPort(), "162");
    plan->ClearLog();
    driver.PressKey(ui::keys::Return);
  };
  enter("first");
  const int addRow = CallOf(*plan, "AddRow");
  ASSERT_GT(addRow, 0);

  driver.TypeInto(faulty->txtHost(), "second");
  driver.TypeInto(faulty->txtPort(), "162");
  plan->ClearLog();
  plan->FailOnCall(addRow);
  EXPECT_THROW(driver.PressKey(ui::keys::Return), Error);
  EXPECT_TRUE(plan->Fired());
  EXPECT_FALSE(faulty->EnterPending());
  EXPECT_EQ(faulty->stl().RowCount(), 1);
  EXPECT_EQ(faulty->txtHost().Text(), "second");
  EXPECT_EQ(host->markChanged, 1);

  // A later key release is only a key release, and edits still count.
  driver.TypeInto(faulty->txtHost(), "x");
  EXPECT_EQ(faulty->stl().RowCount(), 1);
  EXPECT_TRUE(faulty->Changed());
  driver.Click(faulty->cmdApply());
  EXPECT_EQ(faulty->stl().RowCount(), 2);
  EXPECT_EQ(faulty->stl().RowCells(1)[0], "secondx");
}

TEST_F(SnmpTest, FillFailingHalfWayLeavesThePanelListening) {
  auto def = Stored({{"alpha", 162}});
  auto brittle = std::make_shared<BrittleManager>();
  brittle->Init("N-42", "beta", 200, "SNMP v1", "UTC");
  def->SnmpManagers()->Add(brittle);
  Load(def);
  brittle->broken = true;
  EXPECT_THROW(user.ClickRow(panel->stl(), 1), Error);
  EXPECT_FALSE(panel->Filling());
  EXPECT_EQ(panel->txtHost().Text(), "beta");  // what was done stays done

  brittle->broken = false;
  user.TypeInto(panel->txtHost(), "2");
  EXPECT_TRUE(panel->Changed());
  EXPECT_TRUE(panel->cmdApply().Enabled());
}

TEST_F(SnmpTest, LoadFailingHalfWayThenLoadingAgain) {
  auto plan = std::make_shared<FaultPlan>();
  auto def = std::make_shared<FaultyNotificationDefinition>(Stored({{"alpha", 162}}), plan);
  plan->FailOnCall(4);  // LoadSnmpDetails, IsNew, HasSnmp, then SnmpManagers
  EXPECT_THROW(Load(def), Error);
  EXPECT_EQ(plan->Log().back(), "Definition.SnmpManagers");
  EXPECT_EQ(panel->cdtnNotify(), host);
  EXPECT_FALSE(panel->Filling());

  Load(def);
  EXPECT_EQ(panel->stl().RowCount(), 1);
  EXPECT_EQ(panel->txtHost().Text(), "alpha");
  EXPECT_EQ(panel->cboVersion().ListCount(), 2);
}

TEST_F(SnmpTest, NewStartsOverAfterASelectionChangeFailedHalfWay) {
  quillmont::testing::ExpectNewStartsOverAfterASelectionChangeFailedHalfWay<XEventSNMPTab>(
      Variant(Stored({{"alpha", 161}, {"beta", 162}, {"gamma", 163}})), "SNMP", &XEventSNMPTab::txtHost,
      [](ui::Driver& driver, XEventSNMPTab& panel) {
        driver.Type("delta");
        driver.TypeInto(panel.txtPort(), "164");
      });
}

}  // namespace
}  // namespace snmp_test
