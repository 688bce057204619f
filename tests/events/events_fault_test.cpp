#include <gtest/gtest.h>

#include <algorithm>

#include "quillmont/platform/error.h"
#include "tests/events/events_fixture.h"
#include "tests/support/fault_injection.h"

namespace quillmont::testing {
namespace {

using Strings = std::vector<std::string>;

ErrorCode CodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.Code();
  }
  ADD_FAILURE() << "no error";
  return ErrorCode{};
}

TEST_F(EventsTabTest, FailedLoadsPassTheErrorOnAndLeaveThePanelListening) {
  auto plan = std::make_shared<FaultPlan>();
  SetThreadAppContext(std::make_shared<FaultyAppContext>(app, plan));
  auto definition = library->NewDefinition(7);

  // The group records cannot be read.
  plan->FailOnCall(1);
  EXPECT_EQ(CodeOf([&] { Load(definition); }), ErrorCode::Failed);
  EXPECT_FALSE(panel->Filling());
  EXPECT_EQ(panel->cdtnNotify(), host);  // kept before the failure

  // The catalogue cannot be read, after the groups were.
  plan->FailOnCall(2);
  EXPECT_EQ(CodeOf([&] { Load(definition); }), ErrorCode::Failed);
  EXPECT_FALSE(panel->Filling());
  EXPECT_EQ(panel->GroupTypes().size(), 7u);

  // The stored choice cannot be read.
  auto definitionPlan = std::make_shared<FaultPlan>();
  auto stored = std::make_shared<FaultyNotificationDefinition>(Stored(9, {"D1"}), definitionPlan);
  definitionPlan->FailOnCall(2);  // IsNew, then NotificationID
  EXPECT_EQ(CodeOf([&] { Load(stored); }), ErrorCode::Failed);
  EXPECT_FALSE(panel->Filling());

  // Something that is no definition.
  EXPECT_EQ(CodeOf([&] { panel->LoadData(Variant("not a definition"), "Events", host); }), ErrorCode::TypeMismatch);
  EXPECT_FALSE(panel->Filling());

  // The next load works, and the user's choices reach the host again.
  Load(definition);
  EXPECT_EQ(Available().size(), 7u);
  ChooseByUser({"Disk full"});
  EXPECT_EQ(host->markChanged, 1);
}

TEST_F(EventsTabTest, AGroupRecordThatCannotBeReadLeavesTheGroupsAsTheyWere) {
  Load(library->NewDefinition(7));
  ASSERT_EQ(panel->GroupTypes().size(), 7u);
  const auto before = panel->GroupTypes();

  app->SetEventGroups(std::vector<GroupRecord>{Group(8, "Fans", ""), {Variant("eight"), Variant("Bad"), Variant("")}});
  EXPECT_EQ(CodeOf([&] { Load(library->NewDefinition(7)); }), ErrorCode::TypeMismatch);
  EXPECT_EQ(panel->GroupTypes(), before);
  EXPECT_EQ(panel->GroupNameOf(1), "Disk");
  EXPECT_EQ(panel->GroupNameOf(8), "");
  EXPECT_FALSE(panel->Filling());
}

TEST_F(EventsTabTest, ASelectorFailureDuringAFilterChangeReachesTheUserActionAndTheNextOneWorks) {
  auto plan = std::make_shared<FaultPlan>();
  auto controls = std::make_shared<FaultyControlLibrary>(plan);
  SetThreadControlLibrary(controls);
  auto faultyPanel = XEventsTab::Create();
  ui::Driver faultyDriver(*faultyPanel);
  faultyPanel->LoadData(Variant(library->NewDefinition(7)), "Events", host);

  plan->FailOnCall(1);
  EXPECT_EQ(CodeOf([&] { faultyDriver.Choose(faultyPanel->cboGroupEvents(), "Disk"); }), ErrorCode::Failed);
  EXPECT_FALSE(faultyPanel->Filling());

  ASSERT_TRUE(faultyDriver.Choose(faultyPanel->cboGroupEvents(), "Network"));
  EXPECT_EQ(Keys(*faultyPanel->xEvents().AvailableItems()), (Strings{"N1", "N2"}));
  EXPECT_EQ(host->markChanged, 0);
}

TEST_F(EventsTabTest, TheTwoColumnsAreGivenOnceWhateverTheNumberOfLoads) {
  auto plan = std::make_shared<FaultPlan>();
  SetThreadControlLibrary(std::make_shared<FaultyControlLibrary>(plan));
  auto countingPanel = XEventsTab::Create();
  for (int i = 0; i < 3; ++i) countingPanel->LoadData(Variant(library->NewDefinition(7)), "Events", host);
  EXPECT_EQ(std::count(plan->Log().begin(), plan->Log().end(), "XSelector.AddColumn"), 2);
  EXPECT_EQ(countingPanel->xEvents().ColumnCount(), 2);
  EXPECT_EQ(countingPanel->xEvents().ColumnCaption(2), "Event Group");
}

TEST_F(EventsTabTest, SavingWithoutALoadedDefinitionIsRefused) {
  EXPECT_EQ(CodeOf([&] { panel->SaveData(); }), ErrorCode::ObjectRequired);
}

}  // namespace
}  // namespace quillmont::testing
