// The events panel: the group filter over the host's catalogue, choosing and
// taking back event types, and what reaches the definition and the host.
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/error.h"
#include "quillmont/services/app_context.h"
#include "quillmont/services/ui_services.h"
#include "tests/support/fault_injection.h"
#include "tests/support/panel_fixture.h"

namespace quillmont::testing {
namespace {

using Strings = std::vector<std::string>;

GroupRecord Group(std::int32_t id, const char* name, const char* label) {
  return {Variant(id), Variant(name), Variant(label)};
}

// Groups Disk(1), Network(2), Power(3), Legacy(-4), a second record numbered
// 2, and Empty(5) that no type belongs to; X1 belongs to no group at all.
void FillCatalogue(MemoryAppContext& app) {
  auto catalogue = std::make_shared<BasicEventTypeCollection>();
  const std::tuple<const char*, const char*, std::int32_t> types[] = {
      {"D1", "Disk full", 1}, {"D2", "Disk slow", 1}, {"N1", "Link down", 2}, {"N2", "Link up", 2},
      {"L1", "Old trap", -4}, {"X1", "Orphan", 99},   {"P1", "Power lost", 3}};
  for (const auto& [key, name, group] : types) catalogue->Add(std::make_shared<BasicEventType>(key, name, group));
  app.SetEventTypes(catalogue);
  app.SetEventGroups(std::vector<GroupRecord>{Group(1, "Disk", "disk label"), Group(2, "Network", "net label"),
                                              Group(3, "Power", "power label"), Group(-4, "Legacy", "old"),
                                              Group(2, "Network again", "dup"), Group(5, "Empty", "none")});
}

// A stored definition choosing these types (the catalogue's, or bare ones).
std::shared_ptr<BasicNotificationDefinition> Stored(BasicDefinitionLibrary& library, MemoryAppContext& app,
                                                    std::int32_t id, const Strings& keys) {
  std::vector<std::shared_ptr<EventType>> types;
  for (const auto& k : keys) {
    auto known = app.EventTypes()->Item(k);
    types.push_back(known ? known : std::make_shared<BasicEventType>(k, "", 0));
  }
  library.Store()->Store(id, types);
  auto definition = library.NewDefinition(id);
  definition->SetIsNew(false);
  return definition;
}

Strings Keys(const SelectorRows& rows) {
  Strings keys;
  for (int i = 1; i <= rows.Count(); ++i) keys.push_back(DropAppendedCharacter(rows.Item(i)->Key()));
  return keys;
}

Strings Shown(ui::ListView& view) {
  Strings texts;
  for (int i = 0; i < view.ViewRowCount(); ++i) texts.push_back(view.RowCells(i).at(0));
  return texts;
}

class EventsPanel : public PanelTest<XEventsTab> {
 protected:
  EventsPanel() {
    FillCatalogue(*app);
    ui->SetFocusHandler([this] { ++activations; });
  }
  void Load(const std::shared_ptr<NotificationDefinition>& def) { panel->LoadData(Variant(def), "Events", host); }
  Strings Available() const { return Keys(*panel->xEvents().AvailableItems()); }
  Strings Chosen() const { return Keys(*panel->xEvents().ChosenItems()); }
  // The user selects rows of one view by their text and presses > or <.
  void Move(bool choose, const Strings& texts) {
    ui::ListView& view = choose ? panel->xEvents().AvailableList() : panel->xEvents().ChosenList();
    const Strings shown = Shown(view);
    std::vector<int> rows;
    for (const auto& t : texts)
      rows.push_back(static_cast<int>(std::find(shown.begin(), shown.end(), t) - shown.begin()));
    ASSERT_TRUE(user.SelectRows(view, rows));
    ASSERT_TRUE(user.Click(choose ? panel->xEvents().ChooseButton() : panel->xEvents().RemoveButton()));
  }
  void Filter(const std::string& entry) { ASSERT_TRUE(user.Choose(panel->cboGroupEvents(), entry)); }
  bool FocusInSelector() const {
    const ui::Control* active = panel->ActiveControl();
    return active && active->Parent() == &panel->xEvents();
  }

  std::shared_ptr<MemoryAppContext> app = std::dynamic_pointer_cast<MemoryAppContext>(GetAppContext());
  std::shared_ptr<BasicDefinitionLibrary> library =
      std::dynamic_pointer_cast<BasicDefinitionLibrary>(GetDefinitionLibrary());
  std::shared_ptr<DefaultUiServices> ui = std::dynamic_pointer_cast<DefaultUiServices>(GetUiServices());
  int activations = 0;
};

TEST_F(EventsPanel, LoadFillsFilterAndSelectorWithoutReportingAChange) {
  EXPECT_EQ(panel->xEvents().ColumnCount(), 0);  // nothing until loaded
  auto definition = library->NewDefinition(7);
  Load(definition);
  Load(definition);  // any number of loads, never doubled columns or entries
  EXPECT_EQ(panel->Definition(), definition);
  auto& combo = panel->cboGroupEvents();
  const Strings entries{"<All Group Event Types>", "Disk", "Network", "Power", "Legacy", "Network again", "Empty"};
  const std::int32_t data[] = {0, 1, 2, 3, -4, 2, 5};
  ASSERT_EQ(combo.ListCount(), 7);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(combo.List(i), entries[static_cast<std::size_t>(i)]);
    EXPECT_EQ(combo.ItemData(i), data[i]);
  }
  EXPECT_EQ(combo.ListIndex(), 0);
  EXPECT_EQ(panel->GroupTypes()[0], udt_EventGroupTypes{});
  EXPECT_EQ(panel->GroupTypes()[4], (udt_EventGroupTypes{-4, "Legacy", "old"}));
  auto& x = panel->xEvents();
  ASSERT_EQ(std::pair(x.ColumnCount(), x.AvailableList().ViewColumns().size()), std::pair(2, std::size_t{2}));
  EXPECT_EQ(x.ColumnCaption(1) + "|" + x.AvailableList().ViewColumns()[1].caption, "Event Type|Event Group");

  // A stored choice: the types the catalogue still has are chosen.
  auto stored = Stored(*library, *app, 9, {"N1", "D2", "GONE"});
  Load(stored);
  EXPECT_EQ(Chosen(), (Strings{"N1", "D2"}));
  EXPECT_EQ(Shown(x.ChosenList()), (Strings{"Link down", "Disk slow"}));
  Move(true, {"Power lost"});
  Load(library->NewDefinition(8));  // a new definition starts with nothing chosen
  EXPECT_TRUE(Chosen().empty());
  EXPECT_EQ(x.ChosenList().ViewRowCount(), 0);
  Load(stored);
  EXPECT_EQ(Chosen(), (Strings{"N1", "D2"}));
  EXPECT_EQ(host->markChanged, 1);
}

TEST_F(EventsPanel, IsTabValidRefusesAnEmptyChoice) {
  Load(library->NewDefinition(7));
  ASSERT_TRUE(user.Focus(panel->cboGroupEvents()));
  Messages().Expect("Please select event(s) for notification.", msgbox::Critical, "Save Notification");
  EXPECT_FALSE(panel->IsTabValid("Save Notification"));
  Messages().Verify();
  EXPECT_TRUE(FocusInSelector());
  EXPECT_EQ(activations, 1);
  EXPECT_TRUE(host->selectedTabs.empty());
  // A hidden selector is not given the focus; the rest still happens.
  panel->xEvents().SetVisible(false);
  ASSERT_TRUE(user.Focus(panel->cboGroupEvents()));
  Messages().Expect("Please select event(s) for notification.", msgbox::Critical, "");
  EXPECT_FALSE(panel->IsTabValid(""));
  Messages().Verify();
  EXPECT_TRUE(panel->cboGroupEvents().HasFocus());
  EXPECT_EQ(activations, 2);
  panel->xEvents().SetVisible(true);
  Move(true, {"Orphan"});
  EXPECT_TRUE(panel->IsTabValid("Save Notification"));
  EXPECT_FALSE(panel->HandleTabProcess("Refresh"));
}

TEST_F(EventsPanel, GroupRecordsThatCannotBeReadLeaveTheGroupsAsTheyWere) {
  Load(library->NewDefinition(7));
  const auto before = panel->GroupTypes();
  app->SetEventGroups(std::nullopt);  // no records at all
  Load(library->NewDefinition(7));
  EXPECT_EQ(panel->GroupTypes(), before);
  app->SetEventGroups(std::vector<GroupRecord>{Group(8, "Fans", ""), {Variant("eight"), Variant("Bad"), Variant("")}});
  EXPECT_THROW(Load(library->NewDefinition(7)), Error);
  EXPECT_EQ(panel->GroupTypes(), before);
  EXPECT_EQ(panel->GroupNameOf(8), "");
  EXPECT_FALSE(panel->Filling());
}

// Every outside call of each operation fails in turn; the error reaches the
// caller, Filling is down, no type is both chosen and available, and the
// user can choose again and save.
TEST_F(EventsPanel, EachFailingOutsideCallLeavesThePanelUsable) {
  auto plan = std::make_shared<FaultPlan>();
  std::unique_ptr<ServiceInstall> install;
  std::shared_ptr<XEventsTab> faulty;
  std::unique_ptr<ui::Driver> driver;
  std::shared_ptr<BasicNotificationDefinition> def;
  std::shared_ptr<NotificationDefinition> wrapped;  // the definition's calls fail in turn too
  std::shared_ptr<BasicDefinitionLibrary> lib;
  auto load = [&] { faulty->LoadData(Variant(wrapped), "Events", host); };
  auto choose = [&](ui::ListView& view, ui::Control& button) {
    driver->SelectRows(view, {0});
    driver->Click(button);
  };
  const std::vector<std::pair<std::string, std::function<void()>>> operations = {
      {"LoadData", load},
      {"filter", [&] { driver->Choose(faulty->cboGroupEvents(), "Network"); }},
      {"SaveData", [&] { faulty->SaveData(); }},
      {"IsTabValid", [&] { faulty->IsTabValid("t"); }},
  };
  for (const auto& [name, operation] : operations) {
    SCOPED_TRACE(name);
    const std::string op = name;  // lambdas below cannot capture a structured binding
    auto arrange = [&] {
      driver.reset();
      faulty.reset();
      install.reset();
      auto context = std::make_shared<MemoryAppContext>();
      FillCatalogue(*context);
      lib = std::make_shared<BasicDefinitionLibrary>();
      install = std::make_unique<ServiceInstall>(std::make_shared<YesToAll>(), context, lib, plan);
      faulty = XEventsTab::Create();
      driver = std::make_unique<ui::Driver>(*faulty);
      def = Stored(*lib, *context, 3, {"D1", "N2"});
      wrapped = std::make_shared<FaultyNotificationDefinition>(def, plan);
      if (op == "LoadData") return;
      load();
    };
    const int calls = FailEachCallInTurn(*plan, arrange, operation, [&](int) {
      EXPECT_FALSE(faulty->Filling());
      const Strings chosen = Keys(*faulty->xEvents().ChosenItems());
      for (const auto& key : Keys(*faulty->xEvents().AvailableItems()))
        EXPECT_EQ(std::count(chosen.begin(), chosen.end(), key), 0) << key;
      if (op == "LoadData") load();
      ASSERT_TRUE(driver->ChooseIndex(faulty->cboGroupEvents(), 0));
      const std::size_t before = Keys(*faulty->xEvents().ChosenItems()).size();
      choose(faulty->xEvents().AvailableList(), faulty->xEvents().ChooseButton());
      ASSERT_EQ(Keys(*faulty->xEvents().ChosenItems()).size(), before + 1);
      faulty->SaveData();
      EXPECT_EQ(def->ChosenEventTypes().size(), before + 1);
    });
    EXPECT_GT(calls, 0);
  }
  driver.reset();
  faulty.reset();
  install.reset();
}

}  // namespace
}  // namespace quillmont::testing
