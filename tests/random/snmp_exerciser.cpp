#include <algorithm>
#include <set>

#include "quillmont/definitions/definition_library.h"
#include "quillmont/definitions/members.h"
#include "quillmont/definitions/notification_definition.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/services/app_context.h"
#include "quillmont/services/ui_services.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"
#include "tests/random/exerciser.h"
#include "tests/random/list_panel_rules.h"

namespace quillmont::random_testing {
namespace {

const std::vector<std::string> kHosts = {"alpha", "Beta", "gamma.example", "10.0.0.1", "\xCE\xB4\xCE\xAD", "h"};
const std::vector<std::int32_t> kPorts = {1, 161, 162, 1024, 65535};
const std::set<std::string> kVersions = {"SNMP v1", "SNMP v2c", ""};
const std::set<std::string> kTimeFormats = {"UNIX", "UTC", ""};
const std::vector<int> kColumnIds = {snmp_columns::Host, snmp_columns::Port, snmp_columns::Version,
                                     snmp_columns::TimeFormat};

constexpr const char* kHostMissing = "A Host name must be entered.";
constexpr const char* kPortMissing = "A Port number must be entered.";
constexpr const char* kPortRange = "Port number must be an integer between 1 and 65535.";
constexpr const char* kDuplicate = "This Host/Port already exists in the list.";
constexpr const char* kDeleteOne = "Do you really want to delete this SNMP Manager (";
constexpr const char* kDeleteMany = "Do you really want to delete these ";

struct Fields {
  std::string host, port, version, timeFormat;
  bool operator==(const Fields&) const = default;
};

std::shared_ptr<SnmpManager> Manager(const std::shared_ptr<ListItem>& item) {
  auto manager = std::dynamic_pointer_cast<SnmpManager>(item);
  Require(manager != nullptr, "every row is an SNMP manager");
  return manager;
}

Fields ValuesOf(const std::shared_ptr<ListItem>& item) {
  const auto m = Manager(item);
  return {m->Host(), std::to_string(m->Port()), m->Version(), m->TimeFormat()};
}

class SnmpExerciser final : public PanelExerciser {
 public:
  SnmpExerciser(Choices& choices, std::shared_ptr<testing::FaultPlan> plan)
      : choices_(choices),
        messages_(std::make_shared<AnsweringMessages>(choices)),
        install_(messages_, std::make_shared<MemoryAppContext>(), std::make_shared<BasicDefinitionLibrary>(), plan),
        panel_(XEventSNMPTab::Create()),
        user_(*panel_) {
    panel_->SetSize(6720, 4980);
    LoadRandomDefinition();
  }

  void Prepare() override {
    kind_ = Kind::None;
    edited_ = false;
    messages_->shown.clear();
    rowsBefore_ = ItemsOf(*stl().Items());
    valuesBefore_.clear();
    for (const auto& item : rowsBefore_) valuesBefore_.push_back(ValuesOf(item));
    selectedBefore_ = ItemsOf(*stl().SelectedItems());
    before_ = Shown();
    editModeBefore_ = panel_->EditMode();
    markBefore_ = host_ ? host_->markChanged : 0;
    hostBefore_ = host_;
  }

  std::string Act() override {
    // Keep the list short enough that every step stays cheap.
    if (stl().ViewRowCount() > 24 && choices_.Percent(30)) return DeleteMany();
    const std::uint32_t roll = choices_.Below(100);
    if (roll < 22) return TypeText();
    if (roll < 30) return EditKeys();
    if (roll < 35) return ChooseItem();
    if (roll < 43) return PressEnter();
    if (roll < 55) return ClickButton();
    if (roll < 65) return SelectRows();
    if (roll < 69) return ListKeys();
    if (roll < 73) return ContextMenu();
    if (roll < 76) return DeleteKey();
    if (roll < 81) return AccessKey();
    if (roll < 83) return TabKey();
    if (roll < 85) return Resize();
    return HostCall();
  }

  std::string Recover() override {
    Prepare();
    if (loadFailed_) {
      // After a failed load the page saves nothing until a load succeeds.
      action_ = "recover";
      kind_ = Kind::Host;
      hostCall_ = HostOp::Load;
      LoadRandomDefinition();
      return "recover: LoadData";
    }
    kind_ = Kind::Button;
    action_ = "recover";
    const bool clicked = user_.Click(panel_->cmdNew());
    Require(clicked, "New can be clicked after a failure");
    return "recover: New";
  }

  void Verify(bool strict) override;

 private:
  bool loadFailed_ = false;  // the last LoadData failed
  enum class Kind {
    None,
    Type,
    Edit,
    Choose,
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

  XStaticList& stl() const { return panel_->stl(); }

  Fields Shown() const {
    return {panel_->txtHost().Text(), panel_->txtPort().Text(), panel_->cboVersion().Text(),
            panel_->cboTimeFormat().Text()};
  }

  void LoadRandomDefinition() {
    auto def = std::make_shared<BasicNotificationDefinition>();
    def->SetManagerOwnerKey("N-" + std::to_string(choices_.Below(100)));
    def->SetIsNew(choices_.Percent(25));
    def->SetHasSnmp(!choices_.Percent(10));
    if (!choices_.Percent(10)) {
      auto list = std::make_shared<BasicSnmpManagerList>();
      const std::uint32_t count = choices_.Below(8);
      std::set<std::pair<std::string, std::int32_t>> used;
      for (std::uint32_t i = 0; i < count; ++i) {
        const std::string& hostName = choices_.Pick(kHosts);
        const std::int32_t port = choices_.Pick(kPorts);
        if (!used.insert({AsciiLower(hostName), port}).second) continue;
        auto manager = std::make_shared<BasicSnmpManager>();
        manager->Init(def->ManagerOwnerKey(), hostName, port, choices_.Percent(50) ? "SNMP v1" : "SNMP v2c",
                      choices_.Percent(50) ? "UNIX" : "UTC");
        list->Add(manager);
      }
      def->SetSnmpManagers(list);
    }
    definition_ = def;
    host_ = choices_.Percent(90) ? std::make_shared<CountingTabHost>() : nullptr;
    loadFailed_ = true;
    panel_->LoadData(Variant(std::static_pointer_cast<NotificationDefinition>(def)), "SNMP", host_);
    loadFailed_ = false;
    staleRows_ = false;
  }

  ui::TextBox& RandomTextBox() { return choices_.Percent(50) ? panel_->txtHost() : panel_->txtPort(); }

  std::string TypeText() {
    action_ = "type";
    kind_ = Kind::Type;
    ui::TextBox& box = RandomTextBox();
    const std::string before = box.Text();
    const std::string& text = choices_.Pick(Fragments());
    if (!user_.TypeInto(box, text)) return "type into disabled " + box.Name();
    edited_ = box.Text() != before;
    return "type '" + text + "' into " + box.Name();
  }

  std::string EditKeys() {
    action_ = "edit keys";
    kind_ = Kind::Edit;
    ui::TextBox& box = RandomTextBox();
    const std::string before = box.Text();
    if (!user_.Focus(box)) return "edit disabled " + box.Name();
    static const std::vector<int> keys = {ui::keys::Back, ui::keys::Delete, ui::keys::Home,  ui::keys::End,
                                          ui::keys::Left, ui::keys::Right,  ui::keys::Escape};
    std::string done;
    if (choices_.Percent(15)) {
      user_.ClearText();
      done = "clear " + box.Name();
    } else {
      const int key = choices_.Pick(keys);
      user_.PressKey(key);
      done = "key " + std::to_string(key) + " in " + box.Name();
    }
    edited_ = box.Text() != before;
    return done;
  }

  std::string ChooseItem() {
    action_ = "choose item";
    kind_ = Kind::Choose;
    ui::ComboBox& combo = choices_.Percent(50) ? panel_->cboVersion() : panel_->cboTimeFormat();
    if (choices_.Percent(30)) {
      // A letter typed into the list picks an item by its first letter.
      const std::string letter = choices_.Percent(50) ? "s" : "u";
      if (!user_.TypeInto(combo, letter)) return "letter into disabled " + combo.Name();
      edited_ =
          combo.ListCount() > 0 && (letter == "s" ? combo.Name() == "cboVersion" : combo.Name() == "cboTimeFormat");
      return "letter '" + letter + "' in " + combo.Name();
    }
    const int index = static_cast<int>(choices_.Below(2));
    if (!user_.ChooseIndex(combo, index)) return "choose in disabled " + combo.Name();
    edited_ = true;
    return "choose " + std::to_string(index) + " in " + combo.Name();
  }

  std::string PressEnter() {
    action_ = "enter";
    kind_ = Kind::Enter;
    std::vector<ui::Control*> targets = {&panel_->txtHost(), &panel_->txtPort(), &panel_->cboVersion(),
                                         &panel_->cboTimeFormat(), &stl()};
    ui::Control& target = *choices_.Pick(targets);
    if (!user_.Focus(target)) return "enter: " + target.Name() + " disabled";
    user_.PressKey(ui::keys::Return);
    return "enter in " + target.Name();
  }

  std::string ClickButton() {
    action_ = "click button";
    kind_ = Kind::Button;
    std::vector<ui::CommandButton*> buttons = {&panel_->cmdNew(), &panel_->cmdApply(), &panel_->cmdApply(),
                                               &panel_->cmdDelete()};
    ui::CommandButton& button = *choices_.Pick(buttons);
    if (choices_.Percent(20)) {
      // Space or Enter on the focused button.
      if (!user_.Focus(button)) return "key on disabled " + button.Name();
      user_.PressKey(choices_.Percent(50) ? ui::keys::Space : ui::keys::Return);
      return "key on " + button.Name();
    }
    return (user_.Click(button) ? "click " : "click disabled ") + button.Name();
  }

  std::string SelectRows() {
    action_ = "select rows";
    kind_ = Kind::Select;
    return SelectRandomRows(user_, choices_, stl());
  }

  std::string ListKeys() {
    action_ = "list keys";
    kind_ = Kind::Select;
    return PressRandomListKey(user_, choices_, stl());
  }

  std::string ContextMenu() {
    action_ = "context menu";
    kind_ = Kind::ContextMenu;
    const int rows = stl().ViewRowCount();
    std::optional<int> row;
    if (rows > 0 && choices_.Percent(80)) row = static_cast<int>(choices_.Below(static_cast<std::uint32_t>(rows)));
    user_.ContextMenu(stl(), row);
    // A right-click on a row that is not selected selects it first.
    selectedBefore_.clear();
    for (int r : stl().SelectedRows()) selectedBefore_.push_back(rowsBefore_.at(static_cast<std::size_t>(r)));
    const bool open = panel_->OpenPopupMenu() != nullptr;
    Require(open == (stl().ViewSelectedCount() >= 1), "the context menu opens exactly when rows are selected");
    if (!open) return "context menu, none shown";
    if (choices_.Percent(60)) {
      user_.ChooseMenuItem("Delete");
      return "context menu: Delete";
    }
    user_.DismissMenu();
    return "context menu dismissed";
  }

  std::string DeleteKey() {
    action_ = "Delete key";
    kind_ = Kind::DeleteKey;
    user_.Focus(stl());
    user_.PressKey(ui::keys::Delete);
    return "Delete key on the list";
  }

  std::string DeleteMany() {
    action_ = "delete many";
    kind_ = Kind::Button;
    std::vector<int> all(static_cast<std::size_t>(stl().ViewRowCount()));
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
    user_.SelectRows(stl(), all);
    // Every row is selected now; the question must count them all.
    selectedBefore_ = rowsBefore_;
    user_.Click(panel_->cmdDelete());
    return "select all and Delete";
  }

  std::string AccessKey() {
    action_ = "access key";
    kind_ = Kind::AccessKey;
    return PressRandomAccessKey(user_, choices_, "HPVTNDAXQ");
  }

  std::string TabKey() {
    action_ = "Tab";
    kind_ = Kind::Tab;
    return PressTab(user_, choices_);
  }

  std::string Resize() {
    action_ = "resize";
    kind_ = Kind::Resize;
    return ResizeRandomly(user_, choices_, 9000, 7000);
  }

  std::string HostCall() {
    action_ = "host call";
    kind_ = Kind::Host;
    const std::uint32_t roll = choices_.Below(10);
    if (roll < 3) {
      hostCall_ = HostOp::Load;
      LoadRandomDefinition();
      return "host: LoadData";
    }
    if (roll < 6) {
      panel_->SaveData();
      hostCall_ = HostOp::Save;
      return "host: SaveData";
    }
    if (roll < 7) {
      tabValid_ = panel_->IsTabValid("Title");
      hostCall_ = HostOp::Valid;
      return "host: IsTabValid";
    }
    if (roll < 8) {
      panel_->SaveState();
      hostCall_ = HostOp::SaveState;
      return "host: SaveState";
    }
    if (roll < 9) {
      // The host's store may hold anything, also a damaged layout.
      auto entry = GetAppContext()->Settings()->Item(Variant("SNMPProperties"));
      if (choices_.Percent(30)) entry->SetValue(Variant(choices_.Pick(Fragments())));
      panel_->LoadState();
      hostCall_ = HostOp::LoadState;
      return "host: LoadState";
    }
    hostCall_ = HostOp::Other;
    Require(!panel_->HandleTabProcess(choices_.Pick(Fragments())), "HandleTabProcess answers false");
    return "host: HandleTabProcess";
  }

  void CheckData() const;
  void CheckMessages() const;
  void CheckView() const;
  void CheckStep() const;

  enum class HostOp { Load, Save, Valid, SaveState, LoadState, Other };

  Choices& choices_;
  std::shared_ptr<AnsweringMessages> messages_;
  ServiceInstall install_;
  std::shared_ptr<XEventSNMPTab> panel_;
  ui::Driver user_;
  std::shared_ptr<BasicNotificationDefinition> definition_;
  std::shared_ptr<CountingTabHost> host_;
  DefaultUiServices oracleUi_;

  Kind kind_ = Kind::None;
  HostOp hostCall_ = HostOp::Other;
  bool tabValid_ = true;
  bool edited_ = false;
  // A list operation failed since the last load: a row may still show what
  // its item held before (a failed UpdateRow leaves the old text).
  bool staleRows_ = false;
  std::vector<std::shared_ptr<ListItem>> rowsBefore_;
  std::vector<std::shared_ptr<ListItem>> selectedBefore_;
  std::vector<Fields> valuesBefore_;
  Fields before_;
  EditMode editModeBefore_ = EditMode::AddNew;
  int markBefore_ = 0;
  std::shared_ptr<CountingTabHost> hostBefore_;
};

void SnmpExerciser::Verify(bool strict) {
  Require(!panel_->Filling(), "Filling is false between calls");
  Require(!panel_->EnterPending(), "EnterPending is false between key strokes");
  if (!strict) staleRows_ = true;
  CheckListShowsItems(stl(), kColumnIds, !staleRows_);
  CheckData();
  CheckMessages();
  Require(panel_->cboVersion().ListCount() == 2 && panel_->cboTimeFormat().ListCount() == 2,
          "each choice list holds its two items");
  if (!strict) return;
  CheckView();
  CheckStep();
}

void SnmpExerciser::CheckData() const {
  const auto items = ItemsOf(*stl().Items());
  for (std::size_t i = 0; i < items.size(); ++i) {
    const auto m = Manager(items[i]);
    const std::string hostName = m->Host();
    Require(!hostName.empty() && hostName == Trim(hostName),
            "a manager's host is trimmed and not empty: '" + hostName + "'");
    Require(m->Port() >= 1 && m->Port() <= 65535, "a manager's port is 1..65535: " + std::to_string(m->Port()));
    Require(kVersions.count(m->Version()) == 1, "a manager's version is a choice text: " + m->Version());
    Require(kTimeFormats.count(m->TimeFormat()) == 1, "a manager's time format is a choice text");
    for (std::size_t k = 0; k < i; ++k) {
      const auto other = Manager(items[k]);
      Require(!(other->Port() == m->Port() && AsciiLower(other->Host()) == AsciiLower(hostName)),
              "no two managers share host and port: " + hostName + ":" + std::to_string(m->Port()));
    }
  }
}

void SnmpExerciser::CheckMessages() const {
  for (const ShownMessage& m : messages_->shown) {
    Require(m.helpFile.empty() && m.helpContext == 0, "messages carry no help");
    const std::string& p = m.prompt;
    if (p == kHostMissing || p == kPortMissing || p == kPortRange) {
      Require(m.buttons == msgbox::Critical && m.title.empty(), "a field message is a stop box without title");
      if (p == kHostMissing) {
        Require(Trim(before_.host).empty(), "'" + p + "' only for a blank host");
        Require(panel_->txtHost().HasFocus(), "the host field has the focus after '" + p + "'");
      } else {
        Require(!Trim(before_.host).empty(), "the host is checked first");
        Require(panel_->txtPort().HasFocus(), "the port field has the focus after '" + p + "'");
        if (p == kPortMissing) {
          Require(Trim(before_.port).empty(), "'" + p + "' only for a blank port");
        } else {
          Variant value;
          std::string reason;
          const bool valid = const_cast<DefaultUiServices&>(oracleUi_).IsWholeNumberInRange(
              before_.port, Variant(std::int16_t{1}), Variant(std::int32_t{65535}), value, reason);
          Require(!Trim(before_.port).empty() && !valid, "'" + p + "' only for a port out of range: " + before_.port);
        }
      }
    } else if (p == kDuplicate) {
      Require(m.buttons == msgbox::Critical && m.title == "Add SNMP Manager", "the duplicate message's box and title");
    } else if (p.rfind(kDeleteOne, 0) == 0) {
      Require(m.buttons == msgbox::YesNoExclamation && m.title == "Delete SNMP Manager", "the delete question's box");
      Require(selectedBefore_.size() == 1, "the one-row delete question with one row selected");
      Require(p == kDeleteOne + Manager(selectedBefore_[0])->Host() + ")?",
              "the delete question names the selected manager: " + p);
    } else if (p.rfind(kDeleteMany, 0) == 0) {
      Require(m.buttons == msgbox::YesNoExclamation && m.title == "Delete SNMP Manager", "the delete question's box");
      Require(p == kDeleteMany + std::to_string(selectedBefore_.size()) + " SNMP Managers?",
              "the delete question counts the selected rows: " + p);
    } else {
      Require(false, "no such message: " + p);
    }
  }
  Require(messages_->shown.size() <= 1, "one step shows at most one message");
}

void SnmpExerciser::CheckView() const {
  const int selected = stl().ViewSelectedCount();
  const Fields now = Shown();
  Require((panel_->EditMode() == EditMode::EditSelected) == (selected == 1),
          "EditMode is EditSelected exactly when one row is selected");
  if (panel_->EditMode() == EditMode::EditSelected && !panel_->Changed()) {
    const auto m = Manager(ItemsOf(*stl().SelectedItems()).at(0));
    Require(Trim(now.host) == m->Host() && now.version == m->Version() && now.timeFormat == m->TimeFormat(),
            "the fields show the selected manager: " + now.host + " / " + m->Host());
    Variant value;
    std::string reason;
    const bool number = const_cast<DefaultUiServices&>(oracleUi_).IsWholeNumberInRange(
        now.port, Variant(std::int16_t{1}), Variant(std::int32_t{65535}), value, reason);
    Require(number && value.ToInt32() == m->Port(), "the port field shows the selected manager's port: " + now.port);
  }
  Require(panel_->cmdApply().Enabled() == (!now.host.empty() && !now.port.empty() && panel_->Changed()),
          "Apply is enabled exactly when host and port hold text and the fields were edited");
  Require(panel_->cmdDelete().Enabled() == (selected >= 1), "Delete is enabled exactly when rows are selected");
  const bool entry = selected <= 1;
  Require(panel_->txtHost().Enabled() == entry && panel_->txtPort().Enabled() == entry &&
              panel_->cboVersion().Enabled() == entry && panel_->cboTimeFormat().Enabled() == entry,
          "the entry fields are disabled exactly when several rows are selected");
  if (!entry)
    Require(now.host.empty() && now.port.empty() && panel_->cboVersion().ListIndex() == -1 &&
                panel_->cboTimeFormat().ListIndex() == -1,
            "with several rows selected the fields show nothing");
  Require(panel_->OpenPopupMenu() == nullptr, "no menu stays open between steps");
}

void SnmpExerciser::CheckStep() const {
  const auto rows = ItemsOf(*stl().Items());
  const auto selected = ItemsOf(*stl().SelectedItems());
  const int marks = host_ ? host_->markChanged : 0;
  const bool sameHost = host_ == hostBefore_;

  // Steps that are no user change never tell the host.
  const bool quiet = kind_ == Kind::Type || kind_ == Kind::Edit || kind_ == Kind::Choose || kind_ == Kind::Select ||
                     kind_ == Kind::Tab || kind_ == Kind::Resize || kind_ == Kind::Host || kind_ == Kind::None;
  if (quiet && sameHost) Require(marks == markBefore_, "typing, selecting and host calls do not mark the tab changed");

  if (edited_) Require(panel_->Changed(), "a user edit of a field marks the fields changed");
  if (kind_ == Kind::Select && selected != selectedBefore_) Require(!panel_->Changed(), "a new selection is no edit");

  const ShownMessage* question = nullptr;
  for (const auto& m : messages_->shown)
    if (m.buttons == msgbox::YesNoExclamation) question = &m;

  if (kind_ == Kind::Host) {
    if (hostCall_ == HostOp::Save) {
      auto saved = definition_->SnmpManagers();
      Require(saved && ItemsOf(*saved) == rows, "after SaveData the definition holds exactly the rows");
    }
    if (hostCall_ == HostOp::Valid) Require(tabValid_ && messages_->shown.empty(), "IsTabValid is always true");
    if (hostCall_ == HostOp::SaveState) {
      const auto saved = GetAppContext()->Settings()->Item(Variant("SNMPProperties"))->Value().ToString();
      Require(saved == stl().Columns()->LayoutState(), "SaveState stores the column layout");
    }
    if (hostCall_ == HostOp::Load) {
      Require(panel_->Definition() == definition_ && panel_->cdtnNotify() == host_,
              "LoadData binds definition and host");
      if (definition_->IsNew()) Require(rows.empty(), "a new definition starts with no rows");
      if (!rows.empty()) Require(selected.size() == 1 && selected[0] == rows[0], "after loading row 1 is selected");
    }
    if (hostCall_ != HostOp::Load) Require(rows == rowsBefore_, "host calls other than LoadData keep the rows");
    return;
  }

  if (question) {
    if (question->answer == msgbox::AnswerNo) {
      Require(rows == rowsBefore_ && selected == selectedBefore_, "No to the delete question changes nothing");
      Require(stl().HasFocus(), "No to the delete question puts the focus on the list");
      if (sameHost) Require(marks == markBefore_, "No to the delete question does not mark the tab changed");
    } else {
      std::vector<std::shared_ptr<ListItem>> expected;
      for (const auto& r : rowsBefore_)
        if (std::find(selectedBefore_.begin(), selectedBefore_.end(), r) == selectedBefore_.end())
          expected.push_back(r);
      Require(rows == expected, "a confirmed delete removes exactly the selected rows");
      if (sameHost && host_) Require(marks == markBefore_ + 1, "a confirmed delete marks the tab changed once");
      if (!rows.empty()) Require(selected.size() == 1 && selected[0] == rows[0], "after a delete row 1 is selected");
    }
    return;
  }

  if (rows.size() == rowsBefore_.size() + 1) {
    // An entry was added: the fields as they stood, trimmed, at the end.
    Require(std::equal(rowsBefore_.begin(), rowsBefore_.end(), rows.begin()), "adding keeps the rows before");
    Require(editModeBefore_ == EditMode::AddNew, "only AddNew adds a row");
    const auto m = Manager(rows.back());
    Require(m->Host() == Trim(before_.host) && m->Version() == before_.version && m->TimeFormat() == before_.timeFormat,
            "the new manager holds the fields");
    Require(m->OwnerKey() == definition_->ManagerOwnerKey(), "the new manager belongs to the definition");
    Require(messages_->shown.empty(), "a successful add shows no message");
    Require(Shown().host.empty() && Shown().port.empty() && Shown().version == "SNMP v2c" &&
                Shown().timeFormat == "UTC" && panel_->EditMode() == EditMode::AddNew && !panel_->Changed(),
            "after an add the fields are back to their defaults");
    Require(panel_->txtHost().HasFocus(), "after an add the focus is in the host field");
    if (sameHost && host_) Require(marks == markBefore_ + 1, "an add marks the tab changed once");
    return;
  }
  Require(rows == rowsBefore_, "only Apply, Delete and LoadData change the rows");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Fields now = ValuesOf(rows[i]);
    if (now == valuesBefore_[i]) continue;
    // An update: the one selected manager takes the fields as they stood.
    Require(editModeBefore_ == EditMode::EditSelected && selectedBefore_.size() == 1 && selectedBefore_[0] == rows[i],
            "only the selected manager is updated");
    Variant port;
    std::string reason;
    const_cast<DefaultUiServices&>(oracleUi_).IsWholeNumberInRange(before_.port, Variant(std::int16_t{1}),
                                                                   Variant(std::int32_t{65535}), port, reason);
    Require(now == Fields{Trim(before_.host), port.IsEmpty() ? "?" : std::to_string(port.ToInt32()), before_.version,
                          before_.timeFormat},
            "the updated manager holds the fields");
    Require(messages_->shown.empty() && !panel_->Changed(), "a successful update shows nothing and ends the edit");
    if (sameHost && host_) Require(marks == markBefore_ + 1, "an update marks the tab changed once");
  }
}

}  // namespace

std::unique_ptr<PanelExerciser> MakeSnmpExerciser(Choices& choices, std::shared_ptr<testing::FaultPlan> plan) {
  return std::make_unique<SnmpExerciser>(choices, std::move(plan));
}

}  // namespace quillmont::random_testing
