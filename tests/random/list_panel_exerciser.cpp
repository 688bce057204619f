// One exerciser for the two list panels (SNMP managers, e-mail recipients):
// the gestures, the list, the delete questions and the host calls are
// shared; each panel's traits add its fields, messages and entry rules.
// Reference answers come from the rules in tests/support/reference_rules.h.
#include <algorithm>
#include <set>

#include "quillmont/definitions/definition_library.h"
#include "quillmont/definitions/members.h"
#include "quillmont/definitions/notification_definition.h"
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/services/app_context.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"
#include "tests/random/exerciser.h"
#include "tests/support/reference_rules.h"

namespace quillmont::random_testing {
namespace {

using testing::IsPlainAddress;
using testing::PortOf;
using Items = std::vector<std::shared_ptr<ListItem>>;

Items ItemsOf(const ItemList& list) {
  Items items;
  for (int i = 1; i <= list.Count(); ++i) items.push_back(list.Item(i));
  return items;
}

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool StartsWith(const std::string& text, const std::string& head) { return text.rfind(head, 0) == 0; }

enum class Kind {
  None,
  Type,
  Edit,
  Extra,
  Enter,
  Button,
  Select,
  ContextMenu,
  DeleteKey,
  AccessKey,
  Tab,
  Resize,
  Host
};
enum class HostOp { Load, Save, Valid, SaveState, LoadState, Other };

template <class Traits>
class ListPanelExerciser final : public PanelRun<typename Traits::Panel> {
 public:
  using Panel = typename Traits::Panel;
  using Base = PanelRun<Panel>;
  using Base::choices, Base::messages, Base::panel, Base::user, Base::host, Base::markBefore, Base::tabValid,
      Base::loadFailed, Base::Marks, Base::SameHost, Base::Step, Base::PageCall, Base::action_;

  ListPanelExerciser(Choices& choices, std::shared_ptr<testing::FaultPlan> plan)
      : Base(choices, std::move(plan), std::make_shared<MemoryAppContext>(),
             std::make_shared<BasicDefinitionLibrary>()) {
    panel->SetSize(Traits::kWidth, Traits::kHeight);
    LoadRandomDefinition();
  }

  void Prepare() override {
    kind = Kind::None;
    edited = Edited::None;
    this->NoteHost();
    rowsBefore = ItemsOf(*stl().Items());
    selectedBefore = ItemsOf(*stl().SelectedItems());
    editModeBefore = panel->EditMode();
    selectTabsBefore = host ? host->selectedTabs.size() : 0;
    Traits::Snapshot(*this);
  }

  std::string Act() override {
    // Keep the list short enough that every step stays cheap.
    if (stl().ViewRowCount() > 24 && choices.Percent(30)) return DeleteMany();
    const std::uint32_t roll = choices.Below(100);
    if (roll < 22) return TypeText();
    if (roll < 30) return EditKeys();
    if (roll < 35) return Step(kind, Kind::Extra, "extra", [&] { return Traits::ExtraGesture(*this); });
    if (roll < 43) return PressEnter();
    if (roll < 55) return ClickButton();
    if (roll < 65)
      return Step(kind, Kind::Select, "select rows", [&] { return SelectRandomRows(user, choices, stl()); });
    if (roll < 69)
      return Step(kind, Kind::Select, "list keys", [&] { return PressRandomListKey(user, choices, stl()); });
    if (roll < 73) return ContextMenu();
    if (roll < 76) return DeleteKey();
    if (roll < 81)
      return Step(kind, Kind::AccessKey, "access key",
                  [&] { return PressRandomAccessKey(user, choices, Traits::kLetters); });
    if (roll < 83) return Step(kind, Kind::Tab, "Tab", [&] { return PressTab(user, choices); });
    if (roll < 85)
      return Step(kind, Kind::Resize, "resize",
                  [&] { return ResizeRandomly(user, choices, 9000, Traits::kHeight + 2500); });
    return HostCall();
  }

  std::string Recover() override {
    Prepare();
    // After a failed load the page saves nothing until a load succeeds.
    if (loadFailed)
      return Step(kind, Kind::Host, "recover", [&] {
        return "recover: " + PageCall(
                                 0, hostCall, *panel, [&] { LoadRandomDefinition(); }, tabValid, Traits::kTitle);
      });
    kind = Kind::Button;
    action_ = "recover";
    Require(user.Click(panel->cmdNew()), "New can be clicked after a failure");
    return "recover: New";
  }

  void Verify(bool strict) override {
    Require(!panel->Filling() && !Traits::Selecting(*panel), "Filling and Selecting are false between calls");
    Require(!panel->EnterPending(), "EnterPending is false between key strokes");
    if (!strict) staleRows = true;
    CheckListShowsItems();
    for (const auto& item : ItemsOf(*stl().Items())) Traits::CheckItem(*this, item);
    CheckMessages();
    if (!strict) return;
    CheckView();
    CheckStep();
  }

  // Shared with the traits.
  enum class Edited { None, Entry, Other };
  XStaticList& stl() const { return panel->stl(); }
  void NoteEdit(const ui::TextBox& box, const std::string& before) {
    if (box.Text() != before) edited = Traits::IsEntryField(*panel, box) ? Edited::Entry : Edited::Other;
  }

  std::shared_ptr<BasicNotificationDefinition> definition;
  typename Traits::State state;

  Kind kind = Kind::None;
  HostOp hostCall = HostOp::Other;
  Edited edited = Edited::None;
  // A list operation failed since the last load: a row may still show what
  // its item held before (a failed UpdateRow leaves the old text).
  bool staleRows = false;
  Items rowsBefore, selectedBefore;
  EditMode editModeBefore = EditMode::AddNew;
  std::size_t selectTabsBefore = 0;

 private:
  void LoadRandomDefinition() {
    auto def = std::make_shared<BasicNotificationDefinition>();
    const bool fresh = Traits::FillDefinition(*this, *def);
    definition = def;
    this->HostLoads(def, Traits::kTabKey);
    // Only a load that hands the list a new collection redraws every row.
    if (fresh) staleRows = false;
  }

  std::string TypeText() {
    action_ = "type";
    kind = Kind::Type;
    ui::TextBox& box = Traits::RandomTextBox(*this);
    const std::string before = box.Text();
    const std::string text = Traits::TextFor(*this, box);
    if (!user.TypeInto(box, text)) return "type into disabled " + box.Name();
    NoteEdit(box, before);
    return "type '" + text + "' into " + box.Name();
  }

  std::string EditKeys() {
    action_ = "edit keys";
    kind = Kind::Edit;
    ui::TextBox& box = Traits::RandomTextBox(*this);
    const std::string before = box.Text();
    if (!user.Focus(box)) return "edit disabled " + box.Name();
    static const std::vector<int> keys = {ui::keys::Back, ui::keys::Delete, ui::keys::Home,  ui::keys::End,
                                          ui::keys::Left, ui::keys::Right,  ui::keys::Escape};
    std::string done;
    if (choices.Percent(15)) {
      user.ClearText();
      done = "clear " + box.Name();
    } else {
      const int key = choices.Pick(keys);
      user.PressKey(key);
      done = "key " + std::to_string(key) + " in " + box.Name();
    }
    NoteEdit(box, before);
    return done;
  }

  std::string PressEnter() {
    action_ = "enter";
    kind = Kind::Enter;
    auto targets = Traits::EnterTargets(*panel);
    ui::Control& target = *choices.Pick(targets);
    const auto othersBefore = Traits::OtherTexts(*panel);
    if (!user.Focus(target)) return "enter: " + target.Name() + " disabled";
    user.PressKey(ui::keys::Return);
    if (Traits::OtherTexts(*panel) != othersBefore) edited = Edited::Other;
    return "enter in " + target.Name();
  }

  std::string ClickButton() {
    action_ = "click button";
    kind = Kind::Button;
    auto buttons = Traits::Buttons(*panel);
    ui::CommandButton& button = *choices.Pick(buttons);
    if (choices.Percent(20)) {
      // Space or Enter on the focused button.
      if (!user.Focus(button)) return "key on disabled " + button.Name();
      user.PressKey(choices.Percent(50) ? ui::keys::Space : ui::keys::Return);
      return "key on " + button.Name();
    }
    return (user.Click(button) ? "click " : "click disabled ") + button.Name();
  }

  std::string ContextMenu() {
    action_ = "context menu";
    kind = Kind::ContextMenu;
    const int rows = stl().ViewRowCount();
    std::optional<int> row;
    if (rows > 0 && choices.Percent(80)) row = static_cast<int>(choices.Below(static_cast<std::uint32_t>(rows)));
    user.ContextMenu(stl(), row);
    // A right-click on a row that is not selected selects it first.
    selectedBefore.clear();
    for (int r : stl().SelectedRows()) selectedBefore.push_back(rowsBefore.at(static_cast<std::size_t>(r)));
    const bool open = panel->OpenPopupMenu() != nullptr;
    Require(open == (stl().ViewSelectedCount() >= 1), "the context menu opens exactly when rows are selected");
    if (!open) return "context menu, none shown";
    if (choices.Percent(60)) {
      Require(user.ChooseMenuItem("Delete"), "the open menu offers Delete");
      return "context menu: Delete";
    }
    user.DismissMenu();
    return "context menu dismissed";
  }

  std::string DeleteKey() {
    action_ = "Delete key";
    kind = Kind::DeleteKey;
    user.Focus(stl());
    user.PressKey(ui::keys::Delete);
    return "Delete key on the list";
  }

  std::string DeleteMany() {
    action_ = "delete many";
    kind = Kind::Button;
    std::vector<int> all(static_cast<std::size_t>(stl().ViewRowCount()));
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
    user.SelectRows(stl(), all);
    // Every row is selected now; the question must count them all.
    selectedBefore = rowsBefore;
    user.Click(panel->cmdDelete());
    return "select all and Delete";
  }

  std::string HostCall() {
    action_ = "host call";
    kind = Kind::Host;
    const std::uint32_t roll = choices.Below(10);
    if (roll < 8)
      return PageCall(
          roll, hostCall, *panel, [&] { LoadRandomDefinition(); }, tabValid, Traits::kTitle);
    if (roll < 9) {
      hostCall = HostOp::SaveState;
      panel->SaveState();
      return "host: SaveState";
    }
    hostCall = HostOp::LoadState;
    // The host's store may hold anything, also a damaged layout.
    auto entry = GetAppContext()->Settings()->Item(Variant(Traits::kStateKey));
    if (choices.Percent(30)) entry->SetValue(Variant(choices.Pick(RandomFragments())));
    panel->LoadState();
    Require(!panel->HandleTabProcess(choices.Pick(RandomFragments())), "HandleTabProcess answers false");
    return "host: LoadState";
  }

  // The list's rows are the working collection: one row per item, in order,
  // each cell the item's text for the column shown there.
  void CheckListShowsItems() const {
    const auto items = ItemsOf(*stl().Items());
    Require(stl().ViewRowCount() == static_cast<int>(items.size()) && stl().RowCount() == stl().ViewRowCount(),
            "the list shows one row per item of its collection");
    const auto& columns = stl().ViewColumns();
    const auto& ids = Traits::ColumnIds();
    Require(columns.size() == ids.size(), "the list keeps its columns");
    for (const auto& c : columns)
      Require(std::find(ids.begin(), ids.end(), c.id) != ids.end(), "the list's columns are its own");
    for (std::size_t r = 0; r < items.size() && !staleRows; ++r) {
      const auto& cells = stl().RowCells(static_cast<int>(r));
      Require(cells.size() == columns.size(), "each row has a cell per column");
      for (std::size_t c = 0; c < columns.size(); ++c)
        Require(cells[c] == items[r]->ColumnText(columns[c].id),
                "row " + std::to_string(r) + " shows its item: '" + cells[c] + "'");
    }
    Require(stl().SelectedCount() == stl().ViewSelectedCount() &&
                stl().SelectedItems()->Count() == stl().ViewSelectedCount(),
            "the selected items are the selected rows");
  }

  void CheckMessages() const {
    for (const ShownMessage& m : messages->shown) {
      Require(m.helpFile.empty() && m.helpContext == 0, "messages carry no help");
      const std::string& p = m.prompt;
      if (StartsWith(p, Traits::kDeleteOne)) {
        Require(m.buttons == msgbox::YesNoExclamation && m.title == Traits::kDeleteTitle, "the delete question's box");
        Require(selectedBefore.size() == 1 && p == Traits::kDeleteOne + Traits::NameOf(selectedBefore[0]) + ")?",
                "the delete question names the selected row: " + p);
      } else if (StartsWith(p, "Do you really want to delete these ")) {
        Require(m.buttons == msgbox::YesNoExclamation && m.title == Traits::kDeleteTitle, "the delete question's box");
        Require(
            p == "Do you really want to delete these " + std::to_string(selectedBefore.size()) + Traits::kDeleteMany,
            "the delete question counts the selected rows: " + p);
      } else {
        Require(Traits::KnownMessage(*this, m), "no such message: " + p);
      }
    }
  }

  void CheckView() const {
    const int selected = stl().ViewSelectedCount();
    Require((panel->EditMode() == EditMode::EditSelected) == (selected == 1),
            "EditMode is EditSelected exactly when one row is selected");
    if (panel->EditMode() == EditMode::EditSelected && !panel->Changed())
      Traits::CheckShowsSelected(*this, ItemsOf(*stl().SelectedItems()).at(0));
    Require(panel->cmdApply().Enabled() == (Traits::ApplyTextPresent(*panel) && panel->Changed()),
            "Apply is enabled exactly when the entry holds text and the user edited it");
    Require(panel->cmdDelete().Enabled() == (selected >= 1), "Delete is enabled exactly when rows are selected");
    Traits::CheckEntryFields(*panel, selected <= 1);
    Require(panel->OpenPopupMenu() == nullptr, "no menu stays open between steps");
  }

  void CheckStep() const {
    const auto rows = ItemsOf(*stl().Items());
    const auto selected = ItemsOf(*stl().SelectedItems());
    const int marks = Marks();

    if (edited == Edited::Entry) Traits::CheckEntryEdit(*this);
    if (SameHost()) {
      if (edited == Edited::Other) Require(marks > markBefore, "an edit of a page text marks the tab changed");
      const bool quiet = (kind == Kind::Type || kind == Kind::Edit || kind == Kind::Extra)
                             ? edited != Edited::Other
                             : (kind == Kind::Select || kind == Kind::Tab || kind == Kind::Resize ||
                                kind == Kind::Host || kind == Kind::None);
      if (quiet) Require(marks == markBefore, "entry typing, selections and host calls do not mark the tab changed");
    }
    if (kind == Kind::Select && selected != selectedBefore) Require(!panel->Changed(), "a new selection is no edit");

    if (kind == Kind::Host) {
      if (hostCall != HostOp::Load) Require(rows == rowsBefore, "host calls other than LoadData keep the rows");
      if (hostCall == HostOp::Save) {
        auto saved = Traits::SavedItems(*definition);
        Require(saved && ItemsOf(*saved) == rows, "after SaveData the definition holds exactly the rows");
      }
      if (hostCall == HostOp::SaveState) {
        const auto saved = GetAppContext()->Settings()->Item(Variant(Traits::kStateKey))->Value().ToString();
        Require(saved == stl().Columns()->LayoutState(), "SaveState stores the column layout");
      }
      if (hostCall == HostOp::Load)
        Require(panel->Definition() == definition && panel->cdtnNotify() == host, "LoadData binds definition and host");
      Traits::CheckHostCall(*this, rows, selected);
      return;
    }

    const ShownMessage* question = nullptr;
    for (const auto& m : messages->shown)
      if (StartsWith(m.prompt, "Do you really")) question = &m;
    if (question) {
      if (question->answer == msgbox::AnswerNo) {
        Require(rows == rowsBefore && selected == selectedBefore, "No to the delete question changes nothing");
        Require(stl().HasFocus(), "No to the delete question puts the focus on the list");
        if (SameHost()) Require(marks == markBefore, "No to the delete question does not mark the tab changed");
      } else {
        Items expected;
        for (const auto& r : rowsBefore)
          if (std::find(selectedBefore.begin(), selectedBefore.end(), r) == selectedBefore.end()) expected.push_back(r);
        Require(rows == expected, "a confirmed delete removes exactly the selected rows");
        if (SameHost()) Require(marks == markBefore + 1, "a confirmed delete marks the tab changed once");
        if (!rows.empty()) Require(selected.size() == 1 && selected[0] == rows[0], "after a delete row 1 is selected");
      }
      return;
    }

    if (rows.size() == rowsBefore.size() + 1) {
      Require(std::equal(rowsBefore.begin(), rowsBefore.end(), rows.begin()), "adding keeps the rows before");
      Require(editModeBefore == EditMode::AddNew, "only AddNew adds a row");
      Require(Traits::OwnerOf(rows.back()) == Traits::OwnerKey(*definition), "the new row belongs to the definition");
      Require(panel->EditMode() == EditMode::AddNew && !panel->Changed(), "after an add the panel is ready for more");
      Traits::CheckAdded(*this, rows.back());
      return;
    }
    Require(rows == rowsBefore, "only Apply, Delete and LoadData change the rows");
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (!Traits::ChangedSince(state, i, rows[i])) continue;
      Require(editModeBefore == EditMode::EditSelected && selectedBefore.size() == 1 && selectedBefore[0] == rows[i],
              "only the selected row is updated");
      Require(!panel->Changed(), "a successful update ends the edit");
      Traits::CheckUpdated(*this, rows[i]);
    }
  }
};

// --- SNMP managers --------------------------------------------------------

struct SnmpTraits {
  using Panel = XEventSNMPTab;
  static constexpr float kWidth = 6720, kHeight = 4980;
  static constexpr const char* kTabKey = "SNMP";
  static constexpr const char* kStateKey = "SNMPProperties";
  static constexpr const char* kTitle = "Title";
  static constexpr const char* kLetters = "HPVTNDAXQ";
  static constexpr const char* kDeleteTitle = "Delete SNMP Manager";
  static constexpr const char* kDeleteOne = "Do you really want to delete this SNMP Manager (";
  static constexpr const char* kDeleteMany = " SNMP Managers?";

  struct Fields {
    std::string host, port, version, timeFormat;
    bool operator==(const Fields&) const = default;
  };
  struct State {
    Fields before;
    std::vector<Fields> values;
  };
  using Run = ListPanelExerciser<SnmpTraits>;

  static const std::vector<int>& ColumnIds() {
    static const std::vector<int> ids = {snmp_columns::Host, snmp_columns::Port, snmp_columns::Version,
                                         snmp_columns::TimeFormat};
    return ids;
  }
  static std::shared_ptr<SnmpManager> Manager(const std::shared_ptr<ListItem>& item) {
    auto manager = std::dynamic_pointer_cast<SnmpManager>(item);
    Require(manager != nullptr, "every row is an SNMP manager");
    return manager;
  }
  static Fields ValuesOf(const std::shared_ptr<ListItem>& item) {
    const auto m = Manager(item);
    return {m->Host(), std::to_string(m->Port()), m->Version(), m->TimeFormat()};
  }
  static Fields Shown(const Panel& p) {
    return {p.txtHost().Text(), p.txtPort().Text(), p.cboVersion().Text(), p.cboTimeFormat().Text()};
  }
  static std::string NameOf(const std::shared_ptr<ListItem>& item) { return Manager(item)->Host(); }
  static std::string OwnerOf(const std::shared_ptr<ListItem>& item) { return Manager(item)->OwnerKey(); }
  static std::string OwnerKey(const BasicNotificationDefinition& d) { return d.ManagerOwnerKey(); }
  static std::shared_ptr<ItemList> SavedItems(const BasicNotificationDefinition& d) { return d.SnmpManagers(); }
  static bool Selecting(const Panel&) { return false; }
  static bool IsEntryField(const Panel&, const ui::TextBox&) { return true; }
  static std::vector<std::string> OtherTexts(const Panel&) { return {}; }

  static bool FillDefinition(Run& r, BasicNotificationDefinition& def) {
    static const std::vector<std::string> hosts = {"alpha", "Beta", "gamma.example", "192.0.2.1", "\xCE\xB4\xCE\xAD",
                                                   "h"};
    static const std::vector<std::int32_t> ports = {1, 161, 162, 1024, 65535};
    def.SetManagerOwnerKey("N-" + std::to_string(r.choices.Below(100)));
    def.SetIsNew(r.choices.Percent(25));
    def.SetHasSnmp(!r.choices.Percent(10));
    if (r.choices.Percent(10)) return true;
    auto list = std::make_shared<BasicSnmpManagerList>();
    const std::uint32_t count = r.choices.Below(8);
    std::set<std::pair<std::string, std::int32_t>> used;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::string& hostName = r.choices.Pick(hosts);
      const std::int32_t port = r.choices.Pick(ports);
      if (!used.insert({AsciiLower(hostName), port}).second) continue;
      auto manager = std::make_shared<BasicSnmpManager>();
      manager->Init(def.ManagerOwnerKey(), hostName, port, r.choices.Percent(50) ? "SNMP v1" : "SNMP v2c",
                    r.choices.Percent(50) ? "UNIX" : "UTC");
      list->Add(manager);
    }
    def.SetSnmpManagers(list);
    return true;
  }

  static void Snapshot(Run& r) {
    r.state.before = Shown(*r.panel);
    r.state.values.clear();
    for (const auto& item : r.rowsBefore) r.state.values.push_back(ValuesOf(item));
  }
  static bool ChangedSince(const State& s, std::size_t i, const std::shared_ptr<ListItem>& item) {
    return ValuesOf(item) != s.values.at(i);
  }

  static ui::TextBox& RandomTextBox(Run& r) { return r.choices.Percent(50) ? r.panel->txtHost() : r.panel->txtPort(); }
  static std::string TextFor(Run& r, ui::TextBox&) { return r.choices.Pick(RandomFragments()); }
  static std::vector<ui::Control*> EnterTargets(Panel& p) {
    return {&p.txtHost(), &p.txtPort(), &p.cboVersion(), &p.cboTimeFormat(), &p.stl()};
  }
  static std::vector<ui::CommandButton*> Buttons(Panel& p) {
    return {&p.cmdNew(), &p.cmdApply(), &p.cmdApply(), &p.cmdDelete()};
  }

  // Choosing a version or time format, by the list or by a first letter.
  static std::string ExtraGesture(Run& r) {
    ui::ComboBox& combo = r.choices.Percent(50) ? r.panel->cboVersion() : r.panel->cboTimeFormat();
    if (r.choices.Percent(30)) {
      const std::string letter = r.choices.Percent(50) ? "s" : "u";
      if (!r.user.TypeInto(combo, letter)) return "letter into disabled " + combo.Name();
      if (letter == (combo.Name() == "cboVersion" ? "s" : "u")) r.edited = Run::Edited::Entry;
      return "letter '" + letter + "' in " + combo.Name();
    }
    const int index = static_cast<int>(r.choices.Below(2));
    if (!r.user.ChooseIndex(combo, index)) return "choose in disabled " + combo.Name();
    r.edited = Run::Edited::Entry;
    return "choose " + std::to_string(index) + " in " + combo.Name();
  }

  static void CheckItem(const Run&, const std::shared_ptr<ListItem>& item) {
    const auto m = Manager(item);
    Require(!m->Host().empty() && m->Host() == testing::TrimBlanks(m->Host()),
            "a manager's host is trimmed and not empty: '" + m->Host() + "'");
    Require(m->Port() >= 1 && m->Port() <= 65535, "a manager's port is 1..65535: " + std::to_string(m->Port()));
    Require(m->Version() == "SNMP v1" || m->Version() == "SNMP v2c" || m->Version().empty(),
            "a manager's version is a choice text: " + m->Version());
    Require(m->TimeFormat() == "UNIX" || m->TimeFormat() == "UTC" || m->TimeFormat().empty(),
            "a manager's time format is a choice text");
  }

  static bool KnownMessage(const Run& r, const ShownMessage& m) {
    const std::string& p = m.prompt;
    const Fields& before = r.state.before;
    if (p == "This Host/Port already exists in the list.") {
      Require(m.buttons == msgbox::Critical && m.title == "Add SNMP Manager", "the duplicate message's box and title");
      const auto port = PortOf(before.port);
      bool exists = false;
      for (const auto& item : r.rowsBefore) {
        const auto other = Manager(item);
        const bool self =
            r.editModeBefore == EditMode::EditSelected && r.selectedBefore.size() == 1 && r.selectedBefore[0] == item;
        exists |= !self && port && other->Port() == *port &&
                  AsciiLower(other->Host()) == AsciiLower(testing::TrimBlanks(before.host));
      }
      Require(exists, "the duplicate message only for another manager's host and port");
      return true;
    }
    const bool field = p == "A Host name must be entered." || p == "A Port number must be entered." ||
                       p == "Port number must be an integer between 1 and 65535.";
    if (!field) return false;
    Require(m.buttons == msgbox::Critical && m.title.empty(), "a field message is a stop box without title");
    if (p == "A Host name must be entered.") {
      Require(testing::TrimBlanks(before.host).empty(), "'" + p + "' only for a blank host");
      Require(r.panel->txtHost().HasFocus(), "the host field has the focus after '" + p + "'");
      return true;
    }
    Require(!testing::TrimBlanks(before.host).empty(), "the host is checked first");
    Require(r.panel->txtPort().HasFocus(), "the port field has the focus after '" + p + "'");
    if (p == "A Port number must be entered.")
      Require(testing::TrimBlanks(before.port).empty(), "'" + p + "' only for a blank port");
    else
      Require(!testing::TrimBlanks(before.port).empty() && !PortOf(before.port),
              "'" + p + "' only for a port out of range: " + before.port);
    return true;
  }

  static void CheckShowsSelected(const Run& r, const std::shared_ptr<ListItem>& item) {
    const Fields now = Shown(*r.panel);
    const auto m = Manager(item);
    Require(
        testing::TrimBlanks(now.host) == m->Host() && now.version == m->Version() && now.timeFormat == m->TimeFormat(),
        "the fields show the selected manager: " + now.host + " / " + m->Host());
    Require(PortOf(now.port) == m->Port(), "the port field shows the selected manager's port: " + now.port);
  }
  static bool ApplyTextPresent(const Panel& p) { return !p.txtHost().Text().empty() && !p.txtPort().Text().empty(); }
  static void CheckEntryFields(const Panel& p, bool entry) {
    Require(p.txtHost().Enabled() == entry && p.txtPort().Enabled() == entry && p.cboVersion().Enabled() == entry &&
                p.cboTimeFormat().Enabled() == entry,
            "the entry fields are disabled exactly when several rows are selected");
    if (!entry)
      Require(p.txtHost().Text().empty() && p.txtPort().Text().empty() && p.cboVersion().ListIndex() == -1 &&
                  p.cboTimeFormat().ListIndex() == -1,
              "with several rows selected the fields show nothing");
    Require(p.cboVersion().ListCount() == 2 && p.cboTimeFormat().ListCount() == 2,
            "each choice list holds its two items");
  }
  static void CheckEntryEdit(const Run& r) { Require(r.panel->Changed(), "a user edit of a field marks it changed"); }

  static void CheckHostCall(const Run& r, const Items& rows, const Items& selected) {
    if (r.hostCall == HostOp::Valid) Require(r.tabValid && r.messages->shown.empty(), "IsTabValid is always true");
    if (r.hostCall == HostOp::Load) {
      if (r.definition->IsNew()) Require(rows.empty(), "a new definition starts with no rows");
      if (!rows.empty()) Require(selected.size() == 1 && selected[0] == rows[0], "after loading row 1 is selected");
    }
  }

  static void CheckAdded(const Run& r, const std::shared_ptr<ListItem>& item) {
    const Fields& b = r.state.before;
    const auto m = Manager(item);
    Require(m->Host() == testing::TrimBlanks(b.host) && PortOf(b.port) == m->Port() && m->Version() == b.version &&
                m->TimeFormat() == b.timeFormat,
            "the new manager holds the fields");
    Require(r.messages->shown.empty(), "a successful add shows no message");
    Require(Shown(*r.panel) == Fields{"", "", "SNMP v2c", "UTC"}, "after an add the fields are back to their defaults");
    Require(r.panel->txtHost().HasFocus(), "after an add the focus is in the host field");
    if (r.SameHost()) Require(r.Marks() == r.markBefore + 1, "an add marks the tab changed once");
  }

  static void CheckUpdated(const Run& r, const std::shared_ptr<ListItem>& item) {
    const Fields& b = r.state.before;
    const auto port = PortOf(b.port);
    Require(ValuesOf(item) ==
                Fields{testing::TrimBlanks(b.host), port ? std::to_string(*port) : "?", b.version, b.timeFormat},
            "the updated manager holds the fields");
    Require(r.messages->shown.empty(), "a successful update shows nothing");
    if (r.SameHost()) Require(r.Marks() == r.markBefore + 1, "an update marks the tab changed once");
  }
};

// --- E-mail recipients ----------------------------------------------------

struct EmailTraits {
  using Panel = XEventEmailTab;
  static constexpr float kWidth = 6390, kHeight = 6150;
  static constexpr const char* kTabKey = "Email";
  static constexpr const char* kStateKey = "EmailProperties";
  static constexpr const char* kTitle = "Check E-mail";
  static constexpr const char* kLetters = "SMERTNDAXQ";
  static constexpr const char* kDeleteTitle = "Delete Email Address";
  static constexpr const char* kDeleteOne = "Do you really want to delete this Email Address (";
  static constexpr const char* kDeleteMany = " Email Addresses?";
  static constexpr const char* kDefault = "<Default>";
  static constexpr const char* kDuplicateHead = "This Email (";
  static constexpr const char* kNoSubject = "Please enter a Subject for the E-mail.";
  static constexpr const char* kNoMessage = "Please enter a Message for the E-Mail.";
  static constexpr const char* kNoAddress =
      "You have specified a Subject and/or Message.  Please enter an E-mail Address.";

  struct State {
    std::string address;
    std::vector<std::string> addresses;
  };
  using Run = ListPanelExerciser<EmailTraits>;

  static const std::vector<std::string>& Typed() {
    static const std::vector<std::string> typed = {"a@example.com", "b@x",        " b@x ",    "A@example.com",
                                                   "new@one.net",   "bad@",       "x@y, z@w", "  ",
                                                   "c@d.org",       "o'k+1@a-b.c"};
    return typed;
  }
  static const std::vector<int>& ColumnIds() {
    static const std::vector<int> ids = {kAddressColumn};
    return ids;
  }
  static std::shared_ptr<EmailRecipient> Recipient(const std::shared_ptr<ListItem>& item) {
    auto recipient = std::dynamic_pointer_cast<EmailRecipient>(item);
    Require(recipient != nullptr, "every row is a recipient");
    return recipient;
  }
  static std::string NameOf(const std::shared_ptr<ListItem>& item) { return Recipient(item)->Address(); }
  static std::string OwnerOf(const std::shared_ptr<ListItem>& item) { return Recipient(item)->OwnerKey(); }
  static std::string OwnerKey(const BasicNotificationDefinition& d) { return d.RecipientOwnerKey(); }
  static std::shared_ptr<ItemList> SavedItems(const BasicNotificationDefinition& d) { return d.EmailRecipients(); }
  static bool Selecting(Panel& p) { return p.Selecting(); }
  static bool IsEntryField(Panel& p, const ui::TextBox& box) { return &box == &p.txtAddress(); }
  static std::vector<std::string> OtherTexts(Panel& p) { return {p.txtSubject().Text(), p.txtMessage().Text()}; }
  static int Count(const std::vector<std::string>& list, const std::string& a) {
    return static_cast<int>(std::count(list.begin(), list.end(), a));
  }

  static bool FillDefinition(Run& r, BasicNotificationDefinition& def) {
    static const std::vector<std::string> stored = {"a@example.com", "ops@site.org", "b@x", "boss@h", "A@example.com"};
    static const std::vector<std::string> texts = {"", "Alert", "<Default>", " ", "<default>", "Line\r\nTwo"};
    def.SetRecipientOwnerKey("R-" + std::to_string(r.choices.Below(100)));
    def.SetIsNew(r.choices.Percent(25));
    def.SetHasEmail(!r.choices.Percent(10));
    def.SetEmailSubject(r.choices.Percent(30) ? std::nullopt : std::optional<std::string>(r.choices.Pick(texts)));
    def.SetEmailMessage(r.choices.Percent(30) ? std::nullopt : std::optional<std::string>(r.choices.Pick(texts)));
    if (!r.choices.Percent(10)) {
      auto list = std::make_shared<BasicEmailRecipientList>();
      const std::uint32_t count = r.choices.Below(6);
      std::set<std::string> used;
      for (std::uint32_t i = 0; i < count; ++i) {
        const std::string& address = r.choices.Pick(stored);
        if (!used.insert(address).second) continue;
        auto recipient = std::make_shared<BasicEmailRecipient>();
        recipient->Init(Variant(def.RecipientOwnerKey()), address, Variant());
        list->Add(recipient);
      }
      def.SetEmailRecipients(list);
    }
    return def.IsNew() || (def.HasEmail() && def.EmailRecipients());
  }

  static void Snapshot(Run& r) {
    r.state.address = r.panel->txtAddress().Text();
    r.state.addresses.clear();
    for (const auto& item : r.rowsBefore) r.state.addresses.push_back(NameOf(item));
  }
  static bool ChangedSince(const State& s, std::size_t i, const std::shared_ptr<ListItem>& item) {
    return NameOf(item) != s.addresses.at(i);
  }

  static ui::TextBox& RandomTextBox(Run& r) {
    const std::uint32_t roll = r.choices.Below(10);
    if (roll < 7) return r.panel->txtAddress();
    return roll < 9 ? r.panel->txtSubject() : r.panel->txtMessage();
  }
  static std::string TextFor(Run& r, ui::TextBox& box) {
    return IsEntryField(*r.panel, box) && r.choices.Percent(50) ? r.choices.Pick(Typed())
                                                                : r.choices.Pick(RandomFragments());
  }
  static std::vector<ui::Control*> EnterTargets(Panel& p) {
    return {&p.txtAddress(), &p.txtAddress(), &p.txtSubject(), &p.txtMessage(), &p.stl()};
  }
  static std::vector<ui::CommandButton*> Buttons(Panel& p) {
    return {&p.cmdNew(), &p.cmdApply(), &p.cmdApply(), &p.cmdDelete(), &p.cmdResetSubject(), &p.cmdResetMessage()};
  }

  // Pasting an address.
  static std::string ExtraGesture(Run& r) {
    ui::TextBox& box = RandomTextBox(r);
    const std::string before = box.Text();
    if (!r.user.Focus(box)) return "paste into disabled " + box.Name();
    r.user.Paste(r.choices.Pick(Typed()));
    r.NoteEdit(box, before);
    return "paste into " + box.Name();
  }

  static void CheckItem(const Run&, const std::shared_ptr<ListItem>& item) {
    const std::string a = NameOf(item);
    Require(a == testing::TrimBlanks(a) && IsPlainAddress(a), "every recipient's address is trimmed and valid: " + a);
  }

  static bool KnownMessage(const Run& r, const ShownMessage& m) {
    const std::string typed = testing::TrimBlanks(r.state.address);
    const std::string& p = m.prompt;
    if (StartsWith(p, "Invalid Email Address: ")) {
      Require(m.buttons == msgbox::OkOnly && m.title.empty(), "the invalid-address message is a plain box");
      Require(p == "Invalid Email Address: " + typed && !IsPlainAddress(typed), "only a bad address is refused: " + p);
    } else if (StartsWith(p, kDuplicateHead)) {
      Require(m.buttons == msgbox::YesNoExclamation && m.title == "Add Email Address", "the duplicate question's box");
      Require(
          p == kDuplicateHead + typed + ") already exists in the list.\r\nWould you like to add the address anyway?",
          "the duplicate question names the address: " + p);
      Require(Count(r.state.addresses, typed) >= 1, "the duplicate question only for an address in the list");
    } else if (p == kNoSubject || p == kNoMessage || p == kNoAddress) {
      Require(m.buttons == msgbox::Critical && m.title == kTitle, "validity messages carry the host's title");
    } else {
      return false;
    }
    return true;
  }

  static void CheckShowsSelected(const Run& r, const std::shared_ptr<ListItem>& item) {
    const std::string field = testing::TrimBlanks(r.panel->txtAddress().Text());
    if (!field.empty())
      Require(field == NameOf(item), "the address field shows the selected recipient: '" + field + "'");
  }
  static bool ApplyTextPresent(Panel& p) { return !p.txtAddress().Text().empty(); }
  static void CheckEntryFields(Panel& p, bool entry) {
    Require(p.txtAddress().Enabled() == entry, "the address field is disabled exactly when several rows are selected");
    if (!entry) Require(p.txtAddress().Text().empty(), "with several rows selected the address field is empty");
  }
  static void CheckEntryEdit(const Run& r) {
    Require(r.panel->Changed() == !testing::TrimBlanks(r.panel->txtAddress().Text()).empty(),
            "an edit of the address counts exactly when it leaves more than blanks");
  }

  static void CheckHostCall(const Run& r, const Items& rows, const Items&) {
    Panel& p = *r.panel;
    const auto& def = *r.definition;
    if (r.hostCall == HostOp::Save) {
      const auto stored = [](const std::string& field) {
        return field == kDefault ? std::nullopt : std::optional<std::string>(field);
      };
      Require(def.Subject() == stored(p.txtSubject().Text()) && def.Message() == stored(p.txtMessage().Text()),
              "SaveData stores subject and message, \"<Default>\" as null");
    }
    if (r.hostCall == HostOp::Valid) {
      const std::string& subject = p.txtSubject().Text();
      const std::string& message = p.txtMessage().Text();
      const auto own = [](const std::string& t) { return !t.empty() && t != kDefault; };
      std::string expected;
      if (!rows.empty() && subject.empty())
        expected = kNoSubject;
      else if (!rows.empty() && message.empty())
        expected = kNoMessage;
      else if (rows.empty() && (own(subject) || own(message)))
        expected = kNoAddress;
      Require(r.tabValid == expected.empty(), "IsTabValid follows its three rules");
      Require(expected.empty() ? r.messages->shown.empty()
                               : r.messages->shown.size() == 1 && r.messages->shown[0].prompt == expected,
              "IsTabValid shows the first rule that fails, once");
      if (r.host)
        Require(r.host->selectedTabs.size() == r.selectTabsBefore + (r.tabValid ? 0 : 1) &&
                    (r.tabValid || r.host->selectedTabs.back() == kTabKey),
                "a refusal brings the page forward by its key");
    }
    if (r.hostCall == HostOp::Load && def.IsNew())
      Require(rows.empty() && p.txtSubject().Text() == kDefault && p.txtMessage().Text() == kDefault,
              "a new definition starts empty with default subject and message");
  }

  static void CheckAdded(const Run& r, const std::shared_ptr<ListItem>& item) {
    Require(NameOf(item) == testing::TrimBlanks(r.state.address), "the new recipient holds the trimmed field");
    Require(r.panel->txtAddress().Text().empty() && r.panel->txtAddress().HasFocus(),
            "after an add the field is empty and has the focus");
    CheckDuplicates(r);
  }

  static void CheckUpdated(const Run& r, const std::shared_ptr<ListItem>& item) {
    Require(NameOf(item) == testing::TrimBlanks(r.state.address), "the updated recipient holds the trimmed field");
    Require(r.stl().HasFocus(), "after an update the focus is on the list");
    CheckDuplicates(r);
  }

  // An address already in the list only comes in when the user said so.
  static void CheckDuplicates(const Run& r) {
    const std::string typed = testing::TrimBlanks(r.state.address);
    bool saidYes = false;
    for (const auto& m : r.messages->shown)
      saidYes |= StartsWith(m.prompt, kDuplicateHead) && m.answer != msgbox::AnswerNo;
    if (Count(r.state.addresses, typed) > 0) Require(saidYes, "a duplicate is only taken after Yes to the question");
  }
};

}  // namespace

std::unique_ptr<PanelExerciser> MakeSnmpExerciser(Choices& choices, std::shared_ptr<testing::FaultPlan> plan) {
  return std::make_unique<ListPanelExerciser<SnmpTraits>>(choices, std::move(plan));
}

std::unique_ptr<PanelExerciser> MakeEmailExerciser(Choices& choices, std::shared_ptr<testing::FaultPlan> plan) {
  return std::make_unique<ListPanelExerciser<EmailTraits>>(choices, std::move(plan));
}

}  // namespace quillmont::random_testing
