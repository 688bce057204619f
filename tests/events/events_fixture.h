#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "quillmont/definitions/definition_library.h"
#include "quillmont/definitions/notification_definition.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/services/app_context.h"
#include "quillmont/services/ui_services.h"
#include "tests/support/test_host.h"

namespace quillmont::testing {

struct TypeSpec {
  const char* key;
  const char* name;
  std::int32_t group;
};

inline std::shared_ptr<BasicEventTypeCollection> MakeCatalogue(const std::vector<TypeSpec>& specs) {
  auto catalogue = std::make_shared<BasicEventTypeCollection>();
  for (const auto& s : specs) catalogue->Add(std::make_shared<BasicEventType>(s.key, s.name, s.group));
  return catalogue;
}

inline GroupRecord Group(std::int32_t id, const char* name, const char* label) {
  return {Variant(id), Variant(name), Variant(label)};
}

// The panel on fresh default components, with a small catalogue:
// groups Disk(1), Network(2), Power(3), Legacy(-4), a second record with
// number 2, and Empty(5) that no event type belongs to; X1 belongs to no
// group at all.
class EventsTabTest : public ::testing::Test {
 protected:
  EventsTabTest() {
    app->SetEventTypes(MakeCatalogue({{"D1", "Disk full", 1},
                                      {"D2", "Disk slow", 1},
                                      {"N1", "Link down", 2},
                                      {"N2", "Link up", 2},
                                      {"L1", "Old trap", -4},
                                      {"X1", "Orphan", 99},
                                      {"P1", "Power lost", 3}}));
    app->SetEventGroups(std::vector<GroupRecord>{Group(1, "Disk", "disk label"), Group(2, "Network", "net label"),
                                                 Group(3, "Power", "power label"), Group(-4, "Legacy", "old"),
                                                 Group(2, "Network again", "dup"), Group(5, "Empty", "none")});
    ui->SetFocusHandler([this] { ++activations; });
  }

  // A stored definition with these event types (keys; unknown keys are
  // stored as bare event types).
  std::shared_ptr<BasicNotificationDefinition> Stored(std::int32_t id, const std::vector<std::string>& keys) {
    std::vector<std::shared_ptr<EventType>> types;
    for (const auto& k : keys) {
      auto known = app->EventTypes()->Item(k);
      types.push_back(known ? known : std::make_shared<BasicEventType>(k, "", 0));
    }
    library->Store()->Store(id, types);
    auto definition = library->NewDefinition(id);
    definition->SetIsNew(false);
    return definition;
  }

  void Load(const std::shared_ptr<NotificationDefinition>& definition, std::shared_ptr<TabHost> tabHost) {
    panel->LoadData(Variant(definition), "Events", std::move(tabHost));
  }
  void Load(const std::shared_ptr<NotificationDefinition>& definition) { Load(definition, host); }

  // Keys as added (without the selector's appended character), in order.
  static std::vector<std::string> Keys(const SelectorRows& rows) {
    std::vector<std::string> keys;
    for (int i = 1; i <= rows.Count(); ++i) keys.push_back(DropAppendedCharacter(rows.Item(i)->Key()));
    return keys;
  }
  std::vector<std::string> Available() const { return Keys(*panel->xEvents().AvailableItems()); }
  std::vector<std::string> Chosen() const { return Keys(*panel->xEvents().ChosenItems()); }

  // What the user sees in a view: the first cell of each row.
  static std::vector<std::string> Shown(ui::ListView& view) {
    std::vector<std::string> texts;
    for (int i = 0; i < view.ViewRowCount(); ++i) texts.push_back(view.RowCells(i).at(0));
    return texts;
  }
  static int RowOf(ui::ListView& view, const std::string& text) {
    for (int i = 0; i < view.ViewRowCount(); ++i)
      if (view.RowCells(i).at(0) == text) return i;
    ADD_FAILURE() << "no row \"" << text << "\" in " << view.Name();
    return -1;
  }

  // The user selects these rows of the available view and presses ">", or
  // of the chosen view and presses "<".
  void ChooseByUser(const std::vector<std::string>& texts) {
    MoveByUser(panel->xEvents().AvailableList(), panel->xEvents().ChooseButton(), texts);
  }
  void RemoveByUser(const std::vector<std::string>& texts) {
    MoveByUser(panel->xEvents().ChosenList(), panel->xEvents().RemoveButton(), texts);
  }
  void MoveByUser(ui::ListView& view, ui::Control& button, const std::vector<std::string>& texts) {
    std::vector<int> rows;
    for (const auto& t : texts) rows.push_back(RowOf(view, t));
    ASSERT_TRUE(driver.SelectRows(view, rows));
    ASSERT_TRUE(driver.Click(button));
  }
  void Filter(const std::string& entry) { ASSERT_TRUE(driver.Choose(panel->cboGroupEvents(), entry)); }

  bool FocusInSelector() const {
    const ui::Control* active = panel->ActiveControl();
    return active && active->Parent() == &panel->xEvents();
  }

  ServiceScope scope;
  std::shared_ptr<MemoryAppContext> app = std::dynamic_pointer_cast<MemoryAppContext>(GetAppContext());
  std::shared_ptr<BasicDefinitionLibrary> library =
      std::dynamic_pointer_cast<BasicDefinitionLibrary>(GetDefinitionLibrary());
  std::shared_ptr<DefaultUiServices> ui = std::dynamic_pointer_cast<DefaultUiServices>(GetUiServices());
  std::shared_ptr<RecordingTabHost> host = std::make_shared<RecordingTabHost>();
  std::shared_ptr<XEventsTab> panel = XEventsTab::Create();
  ui::Driver driver{*panel};
  int activations = 0;
};

}  // namespace quillmont::testing
