#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "quillmont/framework/panel_support.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/driver.h"
#include "tests/support/fault_injection.h"
#include "tests/support/test_host.h"

namespace quillmont::testing {

// For the SNMP and e-mail panels alike: a selection change whose reaction
// fails half way leaves the entry field as the earlier selection had it
// (disabled for several rows), and New must still start over. The loaded
// definition must hold three rows; addNew fills the fields for a fourth.
template <class Panel, class Field>
void ExpectNewStartsOverAfterASelectionChangeFailedHalfWay(const Variant& threeRows, const std::string& tabKey,
                                                           Field field,
                                                           const std::function<void(ui::Driver&, Panel&)>& addNew) {
  auto plan = std::make_shared<FaultPlan>();
  SetThreadControlLibrary(std::make_shared<FaultyControlLibrary>(plan));
  auto panel = Panel::Create();
  auto host = std::make_shared<RecordingTabHost>();
  ui::Driver driver(*panel);
  panel->LoadData(threeRows, tabKey, host);
  driver.SelectRows(panel->stl(), {0, 2});
  ASSERT_FALSE(std::invoke(field, *panel).Enabled());

  // Clicking the empty space: the list takes the focus (call 1), clears the
  // selection and the panel's reaction asks for the row count (call 2).
  plan->ClearLog();
  plan->FailOnCall(2);
  EXPECT_THROW(driver.SelectRows(panel->stl(), {}), Error);
  ASSERT_TRUE(plan->Fired());
  ASSERT_EQ(plan->Log().back(), "XStaticList.RowCount");
  EXPECT_EQ(panel->stl().SelectedCount(), 0);
  EXPECT_FALSE(std::invoke(field, *panel).Enabled());

  const int marks = host->markChanged;
  EXPECT_NO_THROW(EXPECT_TRUE(driver.Click(panel->cmdNew())));
  EXPECT_TRUE(std::invoke(field, *panel).Enabled());
  EXPECT_TRUE(std::invoke(field, *panel).HasFocus());
  EXPECT_EQ(panel->EditMode(), EditMode::AddNew);
  EXPECT_EQ(host->markChanged, marks + 1);
  addNew(driver, *panel);
  driver.PressKey(ui::keys::Return);
  EXPECT_EQ(panel->stl().RowCount(), 4);
}

}  // namespace quillmont::testing
