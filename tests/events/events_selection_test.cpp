#include <gtest/gtest.h>

#include "quillmont/platform/error.h"
#include "tests/events/events_fixture.h"

namespace quillmont::testing {
namespace {

using Strings = std::vector<std::string>;

TEST_F(EventsTabTest, LoadFillsTheFilterAndTheSelectorWithoutReportingAChange) {
  auto definition = library->NewDefinition(7);
  Load(definition);

  EXPECT_EQ(panel->Definition(), definition);
  EXPECT_EQ(panel->cdtnNotify(), host);
  EXPECT_FALSE(panel->Filling());

  auto& combo = panel->cboGroupEvents();
  const Strings entries{"<All Group Event Types>", "Disk", "Network", "Power", "Legacy", "Network again", "Empty"};
  const std::vector<std::int32_t> data{0, 1, 2, 3, -4, 2, 5};
  ASSERT_EQ(combo.ListCount(), 7);
  for (int i = 0; i < combo.ListCount(); ++i) {
    EXPECT_EQ(combo.List(i), entries[static_cast<std::size_t>(i)]);
    EXPECT_EQ(combo.ItemData(i), data[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(combo.ListIndex(), 0);

  const auto& groups = panel->GroupTypes();
  ASSERT_EQ(groups.size(), 7u);
  EXPECT_EQ(groups[0], udt_EventGroupTypes{});
  EXPECT_EQ(groups[1], (udt_EventGroupTypes{1, "Disk", "disk label"}));
  EXPECT_EQ(groups[4], (udt_EventGroupTypes{-4, "Legacy", "old"}));

  auto& x = panel->xEvents();
  EXPECT_TRUE(x.Initialized());
  EXPECT_EQ(x.FilterText(), "");
  EXPECT_EQ(Available(), (Strings{"D1", "D2", "N1", "N2", "L1", "X1", "P1"}));
  EXPECT_TRUE(Chosen().empty());
  auto rows = x.AvailableItems();
  EXPECT_EQ(rows->Item(1)->Text(), "Disk full");
  EXPECT_EQ(rows->Item(1)->SubItem(1), "Disk");
  EXPECT_EQ(rows->Item(3)->SubItem(1), "Network");  // the first of the two records numbered 2
  EXPECT_EQ(rows->Item(5)->SubItem(1), "Legacy");
  EXPECT_EQ(rows->Item(6)->SubItem(1), "");  // no group has number 99
  EXPECT_EQ(Shown(x.AvailableList()).size(), 7u);

  // Saving straight away writes "all groups" and no choice.
  definition->SetEventGroupID(42);
  panel->SaveData();
  EXPECT_EQ(definition->EventGroupID(), 0);
  EXPECT_TRUE(definition->ChosenEventTypes().empty());

  // Loading again, any number of times, never doubles columns or entries.
  Load(definition);
  Load(definition);
  ASSERT_EQ(x.ColumnCount(), 2);
  EXPECT_EQ(x.ColumnCaption(1), "Event Type");
  EXPECT_EQ(x.ColumnCaption(2), "Event Group");
  ASSERT_EQ(x.AvailableList().ViewColumns().size(), 2u);
  EXPECT_EQ(combo.ListCount(), 7);
  EXPECT_EQ(Available().size(), 7u);
  EXPECT_EQ(host->markChanged, 0);
  EXPECT_EQ(panel->GroupNameOf(2), "Network");
  EXPECT_EQ(panel->GroupNameOf(0), "");
  EXPECT_EQ(panel->GroupNameOf(-4), "Legacy");
  EXPECT_EQ(panel->GroupNameOf(99), "");
}

TEST_F(EventsTabTest, StoredChoiceIsChosenAndAReloadShowsOnlyTheNewDefinitionsChoice) {
  // "GONE" is stored but no longer in the catalogue: nothing to choose for it.
  auto stored = Stored(7, {"N1", "D2", "GONE"});
  Load(stored);
  EXPECT_EQ(Chosen(), (Strings{"N1", "D2"}));
  EXPECT_EQ(Available(), (Strings{"D1", "N2", "L1", "X1", "P1"}));
  EXPECT_EQ(Shown(panel->xEvents().ChosenList()), (Strings{"Link down", "Disk slow"}));
  EXPECT_EQ(host->markChanged, 0);

  // The user adds one more, then the host loads a new definition into the
  // same panel: it starts with nothing chosen, and saving it writes nothing
  // of the earlier definition.
  ChooseByUser({"Power lost"});
  EXPECT_EQ(host->markChanged, 1);
  auto fresh = library->NewDefinition(8);
  Load(fresh);
  EXPECT_TRUE(Chosen().empty());
  EXPECT_EQ(Available().size(), 7u);
  EXPECT_TRUE(panel->xEvents().ChosenList().ViewRowCount() == 0);
  EXPECT_EQ(host->markChanged, 1);
  panel->SaveData();
  EXPECT_TRUE(fresh->ChosenEventTypes().empty());

  // Reloading the stored one shows its stored choice again.
  Load(stored);
  EXPECT_EQ(Chosen(), (Strings{"N1", "D2"}));
  EXPECT_EQ(host->markChanged, 1);
}

TEST_F(EventsTabTest, ChoosingAndTakingBackReportToTheHostAndSaveWritesTheRows) {
  auto definition = library->NewDefinition(7);
  Load(definition);

  ChooseByUser({"Disk full", "Link down"});
  EXPECT_EQ(host->markChanged, 1);
  EXPECT_EQ(Chosen(), (Strings{"D1", "N1"}));
  EXPECT_EQ(Shown(panel->xEvents().AvailableList()),
            (Strings{"Disk slow", "Link up", "Old trap", "Orphan", "Power lost"}));

  RemoveByUser({"Disk full"});
  EXPECT_EQ(host->markChanged, 2);
  EXPECT_EQ(Chosen(), (Strings{"N1"}));

  // A filter change alone is no change of the page.
  Filter("Legacy");
  EXPECT_EQ(host->markChanged, 2);

  panel->SaveData();
  EXPECT_EQ(definition->EventGroupID(), -4);
  ASSERT_EQ(definition->ChosenEventTypes().size(), 1u);
  EXPECT_EQ(definition->ChosenEventTypes()[0].key, "N1");
  ASSERT_TRUE(definition->ChosenEventTypes()[0].eventType);
  EXPECT_EQ(definition->ChosenEventTypes()[0].eventType->Name(), "Link down");

  // Without a tab container the page still works and tells no one.
  Load(definition, nullptr);
  EXPECT_EQ(panel->cdtnNotify(), nullptr);
  ChooseByUser({"Orphan"});
  EXPECT_EQ(Chosen(), (Strings{"X1"}));
  EXPECT_EQ(host->markChanged, 2);
}

TEST_F(EventsTabTest, GroupFilterKeepsChoicesAndListsOnlyThatGroupsOtherTypes) {
  Load(library->NewDefinition(7));
  auto& x = panel->xEvents();
  ChooseByUser({"Disk full", "Link down"});

  Filter("Disk");
  EXPECT_EQ(x.FilterText(), "Disk");
  EXPECT_EQ(Available(), (Strings{"D2"}));
  EXPECT_EQ(Shown(x.AvailableList()), (Strings{"Disk slow"}));
  EXPECT_EQ(Chosen(), (Strings{"D1", "N1"}));
  EXPECT_TRUE(x.AvailableItems()->Item(1)->Selected());
  EXPECT_TRUE(x.AvailableList().HasFocus());

  Filter("Network");
  EXPECT_EQ(x.FilterText(), "Network");
  EXPECT_EQ(Available(), (Strings{"N2"}));
  EXPECT_EQ(x.AvailableItems()->Item(1)->SubItem(1), "Network");

  // A second record with number 2: the filter shows the first one's name.
  Filter("Network again");
  EXPECT_EQ(x.FilterText(), "Network");
  EXPECT_EQ(Shown(x.AvailableList()), (Strings{"Link up"}));

  // A negative number filters by number but leaves the filter text empty.
  Filter("Legacy");
  EXPECT_EQ(x.FilterText(), "");
  EXPECT_EQ(Shown(x.AvailableList()), (Strings{"Old trap"}));

  // A group with no unchosen event type: nothing listed, nothing selected,
  // the focus stays on the filter.
  Filter("Empty");
  EXPECT_TRUE(Available().empty());
  EXPECT_TRUE(panel->cboGroupEvents().HasFocus());
  EXPECT_FALSE(FocusInSelector());

  // Back to all groups: every unchosen type, the one of no group included,
  // and the choice as it was.
  Filter("<All Group Event Types>");
  EXPECT_EQ(x.FilterText(), "");
  EXPECT_EQ(Available(), (Strings{"D2", "N2", "L1", "X1", "P1"}));
  EXPECT_EQ(Shown(x.AvailableList()).size(), 5u);
  EXPECT_EQ(Chosen(), (Strings{"D1", "N1"}));
  EXPECT_TRUE(x.AvailableList().IsRowSelected(0));
  EXPECT_EQ(x.AvailableList().ViewSelectedCount(), 1);

  // Choosing the last of a group empties its filtered list.
  Filter("Power");
  ChooseByUser({"Power lost"});
  Filter("Disk");
  Filter("Power");
  EXPECT_TRUE(Available().empty());
  EXPECT_EQ(Chosen(), (Strings{"D1", "N1", "P1"}));
  EXPECT_EQ(host->markChanged, 2);  // the two choices, no filter change
}

TEST_F(EventsTabTest, AChosenTypeGoneFromTheCatalogueIsReportedAndStaysChosen) {
  Load(library->NewDefinition(7));
  ChooseByUser({"Disk full", "Link down"});

  app->SetEventTypes(MakeCatalogue({{"D2", "Disk slow", 1}, {"N1", "Link down", 2}, {"N2", "Link up", 2}}));
  scope.Messages().Expect("Selected Item not found: D1", msgbox::OkOnly, "");
  Filter("Network");
  EXPECT_EQ(Chosen(), (Strings{"D1", "N1"}));
  EXPECT_EQ(Available(), (Strings{"N2"}));

  // Every rebuild says it again, and still lists the rest.
  scope.Messages().Expect("Selected Item not found: D1", msgbox::OkOnly, "");
  Filter("<All Group Event Types>");
  EXPECT_EQ(Available(), (Strings{"D2", "N2"}));
  scope.Messages().Verify();
  EXPECT_EQ(host->markChanged, 1);
}

TEST_F(EventsTabTest, IsTabValidRefusesAnEmptyChoiceOnceAndAcceptsOne) {
  EXPECT_FALSE(panel->HandleTabProcess(""));
  EXPECT_FALSE(panel->HandleTabProcess("Refresh"));
  auto definition = library->NewDefinition(7);
  Load(definition);
  panel->LoadState();
  panel->SaveState();

  ASSERT_TRUE(driver.Focus(panel->cboGroupEvents()));
  scope.Messages().Expect("Please select event(s) for notification.", msgbox::Critical, "Save Notification");
  EXPECT_FALSE(panel->IsTabValid("Save Notification"));
  scope.Messages().Verify();
  ASSERT_EQ(scope.Messages().shown.size(), 1u);
  EXPECT_TRUE(FocusInSelector());
  EXPECT_EQ(activations, 1);
  EXPECT_TRUE(host->selectedTabs.empty());

  // A hidden selector is not given the focus, the rest still happens.
  panel->xEvents().SetVisible(false);
  ASSERT_TRUE(driver.Focus(panel->cboGroupEvents()));
  scope.Messages().Expect("Please select event(s) for notification.", msgbox::Critical, "");
  EXPECT_FALSE(panel->IsTabValid(""));
  scope.Messages().Verify();
  EXPECT_TRUE(panel->cboGroupEvents().HasFocus());
  EXPECT_EQ(activations, 2);
  panel->xEvents().SetVisible(true);

  ChooseByUser({"Orphan"});
  EXPECT_TRUE(panel->IsTabValid("Save Notification"));
  EXPECT_EQ(scope.Messages().shown.size(), 2u);
  EXPECT_EQ(activations, 2);

  // A stored definition's choice is valid as loaded.
  Load(Stored(9, {"L1"}));
  EXPECT_TRUE(panel->IsTabValid("Save Notification"));
}

TEST_F(EventsTabTest, GroupRecordsWithNullFieldsAndMissingGroups) {
  app->SetEventGroups(std::vector<GroupRecord>{
      {Variant::Null(), Variant("Unnumbered"), Variant("l")},
      {Variant(std::int32_t{1}), Variant::Null(), Variant::Null()},
      {Variant(std::int32_t{2}), Variant("Network"), Variant::Null()},
  });
  Load(library->NewDefinition(7));
  const auto& groups = panel->GroupTypes();
  ASSERT_EQ(groups.size(), 4u);
  EXPECT_EQ(groups[1], (udt_EventGroupTypes{0, "Unnumbered", "l"}));
  EXPECT_EQ(groups[2], (udt_EventGroupTypes{1, "", ""}));
  EXPECT_EQ(groups[3], (udt_EventGroupTypes{2, "Network", ""}));
  EXPECT_EQ(panel->cboGroupEvents().ListCount(), 4);
  EXPECT_EQ(panel->cboGroupEvents().List(2), "");
  EXPECT_EQ(Available().size(), 7u);
  // Record 0 comes first, so number 0 never names the unnumbered group.
  EXPECT_EQ(panel->GroupNameOf(0), "");
  Filter("Network");
  EXPECT_EQ(Available(), (Strings{"N1", "N2"}));

  // No group records at all: the groups read before stay.
  app->SetEventGroups(std::nullopt);
  Load(library->NewDefinition(7));
  EXPECT_EQ(panel->GroupTypes().size(), 4u);
  EXPECT_EQ(panel->cboGroupEvents().ListCount(), 4);
}

TEST_F(EventsTabTest, AFreshPanelWithoutGroupsOffersOnlyAllGroups) {
  app->SetEventGroups(std::nullopt);
  Load(library->NewDefinition(7));
  EXPECT_TRUE(panel->GroupTypes().empty());
  ASSERT_EQ(panel->cboGroupEvents().ListCount(), 1);
  EXPECT_EQ(panel->cboGroupEvents().List(0), "<All Group Event Types>");
  EXPECT_EQ(panel->xEvents().AvailableItems()->Item(1)->SubItem(1), "");
  Filter("<All Group Event Types>");
  EXPECT_EQ(Available().size(), 7u);
}

}  // namespace
}  // namespace quillmont::testing
