#include <algorithm>
#include <set>
#include <unordered_set>

#include "quillmont/definitions/definition_library.h"
#include "quillmont/definitions/members.h"
#include "quillmont/definitions/notification_definition.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/services/app_context.h"
#include "tests/random/exerciser.h"

namespace quillmont::random_testing {
namespace {

constexpr const char* kAllGroups = "<All Group Event Types>";
constexpr const char* kNothingChosen = "Please select event(s) for notification.";
constexpr const char* kNotFound = "Selected Item not found: ";
constexpr const char* kTitle = "Check Events";
constexpr int kTypes = 24;

struct Group {
  std::int32_t id;
  std::string name;
};

// Two records share number 3 (the first name wins), one has a negative
// number and one a null number (read as 0).
std::vector<GroupRecord> GroupRecords() {
  return {{Variant(std::int32_t{1}), Variant("Network"), Variant("net")},
          {Variant(std::int32_t{2}), Variant("Disk"), Variant("disk")},
          {Variant(std::int32_t{3}), Variant("Power"), Variant("pw")},
          {Variant(std::int32_t{3}), Variant("Power again"), Variant("pw2")},
          {Variant(std::int32_t{-1}), Variant("Negative"), Variant()},
          {Variant::Null(), Variant("Nameless"), Variant("none")}};
}

std::vector<Group> GroupsOf(const std::vector<GroupRecord>& records) {
  std::vector<Group> groups = {{0, ""}};  // record 0 stays empty
  for (const auto& r : records)
    groups.push_back(
        {r.groupId.IsNull() ? 0 : r.groupId.ToInt32(), r.groupName.IsNull() ? "" : r.groupName.ToString()});
  return groups;
}

std::string NameOf(const std::vector<Group>& groups, std::int32_t id) {
  for (const auto& g : groups)
    if (g.id == id) return g.name;
  return "";
}

std::string WithoutSuffix(const std::string& key) { return key.empty() ? key : key.substr(0, key.size() - 1); }

struct Row {
  std::string key, text, group;
  bool operator==(const Row&) const = default;
};

std::vector<Row> RowsOf(const SelectorRows& rows) {
  std::vector<Row> out;
  const int count = rows.Count();
  for (int i = 1; i <= count; ++i) {
    const auto r = rows.Item(i);
    out.push_back({WithoutSuffix(r->Key()), r->Text(), r->SubItem(1)});
  }
  return out;
}

class EventsExerciser final : public PanelRun<XEventsTab> {
 public:
  EventsExerciser(Choices& choices, std::shared_ptr<testing::FaultPlan> plan)
      : EventsExerciser(choices, std::move(plan), std::make_shared<MemoryAppContext>(),
                        std::make_shared<BasicDefinitionLibrary>()) {}
  EventsExerciser(Choices& choices, std::shared_ptr<testing::FaultPlan> plan, std::shared_ptr<MemoryAppContext> context,
                  std::shared_ptr<BasicDefinitionLibrary> library)
      : PanelRun(choices, std::move(plan), context, library), context_(context), library_(library) {
    context_->SetEventGroups(GroupRecords());
    NewCatalogue(false);
    panel->SetSize(5685, 4710);
    LoadRandomDefinition();
  }

  void Prepare() override {
    kind_ = Kind::None;
    filterChosen_ = false;
    typedAfterFilter_ = false;
    NoteHost();
    chosenBefore_ = RowsOf(*selector().ChosenItems());
  }

  std::string Act() override {
    const std::uint32_t roll = choices.Below(100);
    if (roll < 18) return SelectRows(true);
    if (roll < 26) return SelectRows(false);
    if (roll < 40) return MoveButton();
    if (roll < 46) return EnterInView();
    if (roll < 62) return ChooseFilter();
    if (roll < 68) return FilterKeys();
    if (roll < 72)
      return Step(kind_, Kind::AccessKey, "access key", [&] { return PressRandomAccessKey(user, choices, "GEXQ"); });
    if (roll < 75) return Step(kind_, Kind::Tab, "Tab", [&] { return PressTab(user, choices); });
    if (roll < 78)
      return Step(kind_, Kind::Resize, "resize", [&] { return ResizeRandomly(user, choices, 9000, 7000); });
    return HostCall();
  }

  std::string Recover() override {
    // After a failed load the page saves nothing until a load succeeds.
    if (loadFailed)
      return Step(kind_, Kind::Host, "recover", [&] {
        return "recover: " + PageCall(
                                 0, hostCall_, *panel, [&] { LoadRandomDefinition(); }, tabValid, kTitle);
      });
    kind_ = Kind::Filter;
    action_ = "recover";
    filterChosen_ = user.ChooseIndex(panel->cboGroupEvents(), 0);
    Require(filterChosen_, "the group filter can be chosen after a failure");
    return "recover: choose all groups";
  }

  void Verify(bool strict) override;

 private:
  enum class Kind { None, Select, Move, Filter, AccessKey, Tab, Resize, Host };
  enum class HostOp { Load, Save, Valid, State, Catalogue, Other };

  XSelector& selector() const { return panel->xEvents(); }

  // The host's catalogue: kTypes event types over the groups (some in no
  // group), or, when shrinking, the same without every third one.
  void NewCatalogue(bool shrink) {
    static const std::int32_t kGroupOf[] = {1, 2, 3, -1, 7, 0, 1, 2};
    auto catalogue = std::make_shared<BasicEventTypeCollection>();
    for (int i = 0; i < kTypes; ++i) {
      if (shrink && i % 3 == static_cast<int>(choices.Below(3))) continue;
      catalogue->Add(
          std::make_shared<BasicEventType>("K" + std::to_string(i), "Event " + std::to_string(i), kGroupOf[i % 8]));
    }
    context_->SetEventTypes(catalogue);
    catalogue_ = catalogue;
  }

  void LoadRandomDefinition() {
    const std::int32_t id = static_cast<std::int32_t>(1 + choices.Below(5));
    auto def = library_->NewDefinition(id);
    def->SetIsNew(choices.Percent(30));
    std::vector<std::shared_ptr<EventType>> stored;
    const std::uint32_t count = choices.Below(8);
    std::unordered_set<std::string> keys;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::string key = "K" + std::to_string(choices.Below(kTypes + 4));  // some no longer exist
      if (keys.insert(key).second) stored.push_back(std::make_shared<BasicEventType>(key, "stored " + key, 1));
    }
    library_->Store()->Store(id, stored);
    definition_ = def;
    groups_ = GroupsOf(GroupRecords());
    HostLoads(def, "Events");
    // What LoadData must have chosen: the stored types the catalogue has, once each.
    expectedChosen_.clear();
    if (!def->IsNew())
      for (const auto& t : stored)
        if (catalogue_->Item(t->Key())) expectedChosen_.push_back(t->Key());
  }

  std::string SelectRows(bool available) {
    action_ = available ? "select available" : "select chosen";
    kind_ = Kind::Select;
    ui::ListView& view = available ? selector().AvailableList() : selector().ChosenList();
    return (available ? "available: " : "chosen: ") + SelectRandomRows(user, choices, view);
  }

  std::string MoveButton() {
    action_ = "move button";
    kind_ = Kind::Move;
    const bool choose = choices.Percent(65);
    ui::CommandButton& button = choose ? selector().ChooseButton() : selector().RemoveButton();
    user.Click(button);
    return choose ? "click >" : "click <";
  }

  std::string EnterInView() {
    action_ = "enter in view";
    kind_ = Kind::Move;
    const bool available = choices.Percent(60);
    ui::ListView& view = available ? selector().AvailableList() : selector().ChosenList();
    if (!user.Focus(view)) return "enter: view cannot take the focus";
    user.PressKey(choices.Percent(80) ? ui::keys::Return : ui::keys::Space);
    return available ? "key in the available view" : "key in the chosen view";
  }

  std::string ChooseFilter() {
    action_ = "choose filter";
    kind_ = Kind::Filter;
    ui::ComboBox& combo = panel->cboGroupEvents();
    const int index = static_cast<int>(choices.Below(static_cast<std::uint32_t>(std::max(1, combo.ListCount()))));
    filterChosen_ = user.ChooseIndex(combo, index);
    return "filter entry " + std::to_string(index);
  }

  std::string FilterKeys() {
    action_ = "filter keys";
    kind_ = Kind::Filter;
    ui::ComboBox& combo = panel->cboGroupEvents();
    if (!user.Focus(combo)) return "filter cannot take the focus";
    const int before = combo.ListIndex();
    if (choices.Percent(30)) {
      const std::string& text = choices.Pick(RandomFragments());
      user.Type(text);
      filterChosen_ = combo.ListIndex() != before;
      // Letters after the one that changed the filter go to the selector,
      // which has the focus by then.
      typedAfterFilter_ = true;
      return "type '" + text + "' in the filter";
    }
    static const std::vector<int> keys = {ui::keys::Up, ui::keys::Down, ui::keys::Home, ui::keys::End};
    user.PressKey(choices.Pick(keys));
    filterChosen_ = combo.ListIndex() != before;
    return "key in the filter";
  }

  std::string HostCall() {
    action_ = "host call";
    kind_ = Kind::Host;
    const std::uint32_t roll = choices.Below(10);
    if (roll < 8)
      return PageCall(
          roll, hostCall_, *panel, [&] { LoadRandomDefinition(); }, tabValid, kTitle);
    if (roll < 9) {
      // The catalogue changes under the panel: chosen rows may name types
      // that are gone.
      hostCall_ = HostOp::Catalogue;
      NewCatalogue(choices.Percent(50));
      return "host: new catalogue";
    }
    hostCall_ = HostOp::State;
    panel->SaveState();
    panel->LoadState();
    Require(!panel->HandleTabProcess(""), "HandleTabProcess answers false");
    return "host: SaveState, LoadState";
  }

  void CheckSides() const;
  void CheckMessages() const;
  void CheckFilter() const;
  void CheckStep() const;

  std::shared_ptr<MemoryAppContext> context_;
  std::shared_ptr<BasicDefinitionLibrary> library_;
  std::shared_ptr<EventTypeCollection> catalogue_;
  std::shared_ptr<BasicNotificationDefinition> definition_;
  std::vector<Group> groups_;
  std::vector<std::string> expectedChosen_;

  Kind kind_ = Kind::None;
  HostOp hostCall_ = HostOp::Other;
  bool filterChosen_ = false;
  bool typedAfterFilter_ = false;
  std::vector<Row> chosenBefore_;
};

void EventsExerciser::Verify(bool strict) {
  Require(!panel->Filling(), "Filling is false between calls");
  CheckSides();
  CheckMessages();
  if (!strict) return;
  CheckFilter();
  CheckStep();
}

void EventsExerciser::CheckSides() const {
  const auto chosen = RowsOf(*selector().ChosenItems());
  const auto available = RowsOf(*selector().AvailableItems());
  std::unordered_set<std::string> chosenKeys;
  for (const auto& r : chosen) Require(chosenKeys.insert(r.key).second, "no event type is chosen twice: " + r.key);
  std::unordered_set<std::string> availableKeys;
  for (const auto& r : available) {
    Require(availableKeys.insert(r.key).second, "no event type is available twice: " + r.key);
    Require(chosenKeys.count(r.key) == 0, "a chosen event type is never among the available rows: " + r.key);
  }
  // The views show the rows: all chosen ones, the available ones the filter lets through.
  auto& self = const_cast<EventsExerciser&>(*this);
  ui::ListView& chosenView = self.selector().ChosenList();
  Require(chosenView.ViewRowCount() == static_cast<int>(chosen.size()), "the chosen view shows every chosen row");
  const std::string filter = selector().FilterText();
  int shown = 0;
  for (const auto& r : available) shown += filter.empty() || !selector().FilterEnabled() || r.group == filter ? 1 : 0;
  Require(self.selector().AvailableList().ViewRowCount() == shown, "the available view shows the rows of the filter");
}

void EventsExerciser::CheckMessages() const {
  for (const ShownMessage& m : messages->shown) {
    Require(m.helpFile.empty() && m.helpContext == 0, "messages carry no help");
    if (m.prompt.rfind(kNotFound, 0) == 0) {
      Require(m.buttons == msgbox::OkOnly && m.title.empty(), "the not-found message is a plain box");
      const std::string key = m.prompt.substr(std::string(kNotFound).size());
      Require(!catalogue_->Item(key), "only a key the catalogue lacks is reported missing: " + key);
    } else if (m.prompt == kNothingChosen) {
      Require(m.buttons == msgbox::Critical && m.title == kTitle, "the nothing-chosen message's box and title");
    } else {
      Require(false, "no such message: " + m.prompt);
    }
  }
}

// Right after the available rows were rebuilt for a filter entry they are
// exactly the catalogue's types of that group not chosen, in its order.
void EventsExerciser::CheckFilter() const {
  const bool rebuilt = (kind_ == Kind::Filter && filterChosen_) || (kind_ == Kind::Host && hostCall_ == HostOp::Load);
  if (!rebuilt) return;
  ui::ComboBox& combo = panel->cboGroupEvents();
  Require(combo.ListCount() == static_cast<int>(groups_.size()) && combo.List(0) == kAllGroups,
          "the filter lists all groups after \"<All Group Event Types>\"");
  const std::int32_t group = combo.ListIndex() >= 0 ? combo.ItemData(combo.ListIndex()) : 0;
  const auto chosen = RowsOf(*selector().ChosenItems());
  std::unordered_set<std::string> chosenKeys;
  for (const auto& r : chosen) chosenKeys.insert(r.key);
  std::vector<Row> expected;
  for (int i = 1; i <= catalogue_->Count(); ++i) {
    const auto t = catalogue_->ItemAt(i);
    if (chosenKeys.count(t->Key()) || (group != 0 && t->GroupID() != group)) continue;
    expected.push_back({t->Key(), t->Name(), NameOf(groups_, t->GroupID())});
  }
  Require(RowsOf(*selector().AvailableItems()) == expected,
          "the available rows are the filtered group's types not chosen, group " + std::to_string(group));
  Require(selector().FilterText() == (group > 0 ? NameOf(groups_, group) : ""), "the filter text names the group");
  std::set<std::string> missing;
  for (const auto& r : chosen)
    if (!catalogue_->Item(r.key)) missing.insert(kNotFound + r.key);
  std::set<std::string> reported;
  for (const auto& m : messages->shown) reported.insert(m.prompt);
  Require(missing == reported, "each chosen type the catalogue lost is reported");
  if (kind_ == Kind::Filter && !typedAfterFilter_ && !expected.empty()) {
    const auto first = selector().AvailableItems()->Item(1);
    Require(first->Selected(), "after a filter change the first available row is selected");
    Require(selector().AvailableList().HasFocus(), "after a filter change the selector has the focus");
  }
}

void EventsExerciser::CheckStep() const {
  const auto chosen = RowsOf(*selector().ChosenItems());
  const int marks = Marks();
  if (kind_ == Kind::Host) {
    if (hostCall_ != HostOp::Load) Require(chosen == chosenBefore_, "host calls keep the chosen rows");
    if (host == hostBefore) Require(marks == markBefore, "host calls do not mark the tab changed");
    if (hostCall_ == HostOp::Load) {
      std::vector<std::string> keys;
      for (const auto& r : chosen) keys.push_back(r.key);
      Require(keys == expectedChosen_, "LoadData chooses the stored event types the catalogue has");
      Require(panel->cboGroupEvents().ListIndex() == 0, "after LoadData the filter shows all groups");
    }
    if (hostCall_ == HostOp::Save) {
      const auto& saved = definition_->ChosenEventTypes();
      Require(saved.size() == chosen.size(), "SaveData hands over every chosen row");
      for (std::size_t i = 0; i < saved.size(); ++i)
        Require(saved[i].key == chosen[i].key, "the definition gets each chosen type's key");
      ui::ComboBox& combo = panel->cboGroupEvents();
      const std::int32_t group = combo.ListIndex() >= 0 ? combo.ItemData(combo.ListIndex()) : 0;
      Require(definition_->EventGroupID() == group, "SaveData stores the filter's group");
    }
    if (hostCall_ == HostOp::Valid) {
      Require(tabValid == !chosen.empty(), "IsTabValid is true exactly when something is chosen");
      Require(messages->shown.size() == (chosen.empty() ? 1u : 0u), "a refusal shows its message once");
    }
    return;
  }
  if (host == hostBefore && host)
    Require((marks != markBefore) == (chosen != chosenBefore_),
            "the tab is marked changed exactly when the user changed the chosen rows");
}

}  // namespace

std::unique_ptr<PanelExerciser> MakeEventsExerciser(Choices& choices, std::shared_ptr<testing::FaultPlan> plan) {
  return std::make_unique<EventsExerciser>(choices, std::move(plan));
}

}  // namespace quillmont::random_testing
