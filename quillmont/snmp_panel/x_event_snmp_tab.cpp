#include "quillmont/snmp_panel/x_event_snmp_tab.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "quillmont/framework/panel_support.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/keys.h"
#include "quillmont/rules/fields.h"

namespace quillmont {

using namespace detail;  // the panels' shared helpers
namespace {

constexpr const char* kPage = "XEventSNMPTab";
constexpr const char* kLoadFailed =
    "The page holds no definition to save: its last LoadData failed. Load the definition again first";
constexpr const char* kSettingsKey = "SNMPProperties";
constexpr const char* kAddTitle = "Add SNMP Manager";
constexpr const char* kDeleteTitle = "Delete SNMP Manager";

struct ColumnDesign {
  int id;
  const char* caption;
  float width;
};
constexpr ColumnDesign kColumns[] = {
    {snmp_columns::Host, "Host", 2000},
    {snmp_columns::Port, "Port", 1000},
    {snmp_columns::Version, "Version", 1000},
    {snmp_columns::TimeFormat, "Time Format", 1200},
};

// The port as a number when the text holds a whole number that fits 32 bits.
std::optional<std::int32_t> WholeNumber(const std::string& text) {
  double value = 0;
  try {
    value = Variant(text).ToDouble();
  } catch (const Error&) {
    return std::nullopt;
  }
  if (!std::isfinite(value) || value != std::trunc(value) ||
      value < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
      value > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::shared_ptr<SnmpManager> AsManager(const std::shared_ptr<ListItem>& item) {
  auto manager = std::dynamic_pointer_cast<SnmpManager>(item);
  if (!manager) throw Error(ErrorCode::TypeMismatch, "Type mismatch: the row holds no SNMP manager");
  return manager;
}

}  // namespace

std::shared_ptr<XEventSNMPTab> XEventSNMPTab::Create() { return std::make_shared<XEventSNMPTab>(); }

XEventSNMPTab::XEventSNMPTab() : ui::UserControl("XEventSNMPTab") {
  CreateControls();
  ConnectHandlers();
  // The panel sees key releases before its controls, so the Delete key
  // works while the list has the focus.
  SetKeyPreview(true);

  auto services = GetUiServices();
  txtHostExtension_ = services->AttachTextBox(*txtHost_);
  txtPortExtension_ = services->AttachTextBox(*txtPort_);
  BuildListColumns();
  editMode_ = quillmont::EditMode::AddNew;
  UpdateCommandStates();  // closed for editing until a definition is loaded
}

XEventSNMPTab::~XEventSNMPTab() = default;

void XEventSNMPTab::ConnectHandlers() {
  txtHost_->Change.Connect([this] { OnFieldChanged(); });
  txtPort_->Change.Connect([this] { OnFieldChanged(); });
  cboVersion_->Click.Connect([this] { OnFieldChanged(); });
  cboTimeFormat_->Click.Connect([this] { OnFieldChanged(); });
  txtHost_->KeyPress.Connect([this](ui::KeyPressArgs& e) { EntryField_KeyPress(e); });
  txtPort_->KeyPress.Connect([this](ui::KeyPressArgs& e) { EntryField_KeyPress(e); });
  cboVersion_->KeyPress.Connect([this](ui::KeyPressArgs& e) { EntryField_KeyPress(e); });
  cboTimeFormat_->KeyPress.Connect([this](ui::KeyPressArgs& e) { EntryField_KeyPress(e); });
  txtHost_->KeyUp.Connect([this](ui::KeyEventArgs& e) { EntryField_KeyUp(e); });
  txtPort_->KeyUp.Connect([this](ui::KeyEventArgs& e) { EntryField_KeyUp(e); });
  cboVersion_->KeyUp.Connect([this](ui::KeyEventArgs& e) { EntryField_KeyUp(e); });
  cboTimeFormat_->KeyUp.Connect([this](ui::KeyEventArgs& e) { EntryField_KeyUp(e); });
  cmdNew_->Click.Connect([this] { cmdNew_Click(); });
  cmdApply_->Click.Connect([this] { cmdApply_Click(); });
  cmdDelete_->Click.Connect([this] { cmdDelete_Click(); });
  mnuPopupDelete_->Click.Connect([this] { mnuPopupDelete_Click(); });
  stl_->SelectionChanged.Connect([this] { OnListSelectionChanged(); });
  stl_->ContextMenu.Connect([this](float x, float y) { stl_ContextMenu(x, y); });
  KeyUp.Connect([this](ui::KeyEventArgs& e) { UserControl_KeyUp(e); });
  Resize.Connect([this] { UserControl_Resize(); });
}

void XEventSNMPTab::BuildListColumns() {
  auto services = GetUiServices();
  auto columns = GetControlLibrary()->NewListColumnSet();
  for (const ColumnDesign& c : kColumns)
    columns->Add(services->NewListColumn(c.id, c.caption, c.width, 0, true, 0), "", "");
  stl_->SetColumns(columns);
}

// ---- IFolioControl ----

bool XEventSNMPTab::HandleTabProcess(const std::string&) {
  return AtBoundary(OwnerThread(), kPage, [] { return false; });
}

// Every manager is checked when it is applied, so there is nothing left to
// refuse here.
bool XEventSNMPTab::IsTabValid(const std::string&) {
  return AtBoundary(OwnerThread(), kPage, [] { return true; });
}

void XEventSNMPTab::LoadState() {
  AtBoundary(OwnerThread(), kPage, [&] {
    // A store that holds nothing (empty or null) means no remembered layout.
    const Variant value = GetAppContext()->Settings()->Item(Variant(kSettingsKey))->Value();
    stl_->Columns()->SetLayoutState(value.IsNull() ? std::string() : value.ToString());
    stl_->ApplyColumnLayout();
  });
}

void XEventSNMPTab::SaveState() {
  AtBoundary(OwnerThread(), kPage, [&] {
    stl_->CaptureColumnLayout();
    const std::string layout = stl_->Columns()->LayoutState();
    GetAppContext()->Settings()->Item(Variant(kSettingsKey))->SetValue(Variant(layout));
  });
}

void XEventSNMPTab::SaveData() {
  AtBoundary(OwnerThread(), kPage, [&] {
    if (loadFailed_) throw Error(ErrorCode::InvalidProcedureCall, kLoadFailed);
    if (!definition_) throw Error(ErrorCode::ObjectRequired, "Object required: no definition was loaded");
    auto managers = std::dynamic_pointer_cast<SnmpManagerList>(stl_->Items());
    if (!managers) throw Error(ErrorCode::TypeMismatch, "Type mismatch: the list holds no SNMP manager collection");
    definition_->SetSnmpManagers(managers);
  });
}

void XEventSNMPTab::LoadData(const Variant& v, const std::string& sName, std::shared_ptr<TabHost> dtN) {
  AtBoundary(OwnerThread(), kPage, [&] {
    // Let go of the previous definition before anything can fail. The new
    // one is read in full before the page shows any of it; a load that fails
    // leaves the page empty and closed for editing until a load succeeds.
    definition_.reset();
    cdtnNotify_ = dtN;
    tabKey_ = sName;
    LoadAllOrNothing(
        loadFailed_, [&] { Fill(v); }, [&] { ShowNoDefinition(); });
  });
}

// ---- Loading ----

void XEventSNMPTab::Fill(const Variant& v) {
  editMode_ = quillmont::EditMode::AddNew;
  changed_ = false;
  FillChoiceLists();  // no version or time format chosen
  {
    FlagGuard filling(filling_, true);
    txtHost_->SetText("");
    txtPort_->SetText("");
  }
  stl_->SetItems(GetDefinitionLibrary()->NewSnmpManagerList());
  if (v.IsEmpty()) {
    // Nothing to load: the page is unbound and holds nothing of the host.
    UpdateCommandStates();
    return;
  }
  auto definition = v.As<NotificationDefinition>();
  definition->LoadSnmpDetails();
  stl_->SetConfigFlag1(false);
  stl_->SetConfigFlag2(false);
  stl_->SetConfigFlag3(true);
  const bool isNew = definition->IsNew();
  const auto stored = isNew ? std::vector<std::shared_ptr<SnmpManager>>() : StoredManagers(*definition);
  definition_ = std::move(definition);
  if (isNew)
    ResetFields();
  else
    ShowManagers(stored);
  UpdateCommandStates();
}

std::vector<std::shared_ptr<SnmpManager>> XEventSNMPTab::StoredManagers(NotificationDefinition& definition) {
  std::vector<std::shared_ptr<SnmpManager>> managers;
  std::shared_ptr<SnmpManagerList> stored;
  if (definition.HasSnmp()) stored = definition.SnmpManagers();
  if (!stored) return managers;
  const int count = stored->Count();
  managers.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int i = 1; i <= count; ++i) managers.push_back(stored->Manager(i));
  return managers;
}

void XEventSNMPTab::ShowNoDefinition() noexcept {
  definition_.reset();
  // Each step on its own: the rows go even when blanking a field fails.
  LayoutStep([&] { stl_->SetItems(std::make_shared<GenericItemList>()); });
  LayoutStep([&] {
    FlagGuard filling(filling_, true);
    txtHost_->SetText("");
    txtPort_->SetText("");
  });
  editMode_ = quillmont::EditMode::AddNew;
  changed_ = false;
  LayoutStep([&] { UpdateCommandStates(); });
}

void XEventSNMPTab::FillChoiceLists() {
  // A later load must not add the items a second time.
  cboVersion_->Clear();
  cboVersion_->AddItem(rules::kSnmpV1);
  cboVersion_->AddItem(rules::kSnmpV2c);
  cboTimeFormat_->Clear();
  cboTimeFormat_->AddItem(rules::kTimeUnix);
  cboTimeFormat_->AddItem(rules::kTimeUtc);
}

void XEventSNMPTab::ShowManagers(const std::vector<std::shared_ptr<SnmpManager>>& managers) {
  // The list has a fresh collection of this panel's; the stored managers are
  // added to it.
  for (const auto& manager : managers) stl_->AddRow(manager);
  if (stl_->RowCount() >= 1) {
    stl_->RefreshRows();
    stl_->SelectRow(1);
    ShowManager(AsManager(stl_->Items()->Item(1)));
    editMode_ = quillmont::EditMode::EditSelected;
  }
}

bool XEventSNMPTab::HasUnappliedEntry() const {
  if (!changed_) return false;
  const std::string host = Trimmed(txtHost_->Text()), port = Trimmed(txtPort_->Text());
  if (editMode_ == quillmont::EditMode::AddNew) return !host.empty() || !port.empty();
  auto selected = stl_->SelectedItems();
  if (selected->Count() != 1) return false;
  auto manager = AsManager(selected->Item(1));
  return manager && (host != manager->Host() || port != std::to_string(manager->Port()) ||
                     cboVersion_->Text() != manager->Version() || cboTimeFormat_->Text() != manager->TimeFormat());
}

// ---- View state ----

void XEventSNMPTab::ResetFields() {
  FlagGuard filling(filling_, true);
  txtHost_->SetText("");
  txtPort_->SetText("");
  cboVersion_->SetText(rules::kSnmpV2c);
  cboTimeFormat_->SetText(rules::kTimeUtc);
}

void XEventSNMPTab::ShowManager(const std::shared_ptr<SnmpManager>& manager) {
  if (!manager) return;
  FlagGuard filling(filling_, true);
  txtHost_->SetText(manager->Host());
  txtPort_->SetText(std::to_string(manager->Port()));
  cboVersion_->SetText(manager->Version());
  cboTimeFormat_->SetText(manager->TimeFormat());
}

void XEventSNMPTab::OnFieldChanged() {
  if (filling_) return;
  changed_ = true;
  UpdateCommandStates();
}

void XEventSNMPTab::UpdateCommandStates() {
  // Without a definition there is nothing to edit.
  const bool bound = definition_ != nullptr;
  cmdNew_->SetEnabled(bound);
  // Blanks count here: whether they make a host or port is for Apply to say.
  cmdApply_->SetEnabled(bound && !txtHost_->Text().empty() && !txtPort_->Text().empty() && changed_);
  const int selected = stl_->SelectedCount();
  cmdDelete_->SetEnabled(bound && selected >= 1);
  EnableEntryFields(bound && selected <= 1);
}

void XEventSNMPTab::EnableEntryFields(bool enabled) {
  txtHost_->SetEnabled(enabled);
  txtPort_->SetEnabled(enabled);
  if (!enabled) {
    cboVersion_->SetListIndex(-1);
    cboTimeFormat_->SetListIndex(-1);
  }
  cboVersion_->SetEnabled(enabled);
  cboTimeFormat_->SetEnabled(enabled);
}

void XEventSNMPTab::NotifyHostChanged() {
  // Held for the call: the host may load the page again from inside it.
  if (auto host = cdtnNotify_.lock()) host->MarkChanged();
}

// ---- User actions ----

void XEventSNMPTab::OnListSelectionChanged() {
  if (stl_->RowCount() >= 1) {
    auto selected = stl_->SelectedItems();
    if (selected->Count() == 1) {
      ShowManager(AsManager(selected->Item(1)));
      editMode_ = quillmont::EditMode::EditSelected;
      changed_ = false;
      UpdateCommandStates();
      return;
    }
  }
  ResetFields();
  editMode_ = quillmont::EditMode::AddNew;
  changed_ = false;
  UpdateCommandStates();
}

void XEventSNMPTab::StartNewManager() {
  ResetFields();
  stl_->ClearSelection();
  editMode_ = quillmont::EditMode::AddNew;
  // Enable the fields before focusing one: a selection change that failed
  // half way may have left them disabled with no row selected, and New is
  // how the user starts over.
  UpdateCommandStates();
  txtHost_->SetFocus();
  NotifyHostChanged();
}

void XEventSNMPTab::ApplyFields() {
  if (editMode_ == quillmont::EditMode::AddNew)
    AddManager();
  else
    UpdateSelectedManager();
  UpdateCommandStates();
}

namespace {

// The port of an entry that passed the checks.
std::int32_t CheckedPort(const std::string& portText) {
  const auto port = WholeNumber(Trimmed(portText));
  if (!port) throw Error(ErrorCode::TypeMismatch, "Type mismatch: the port is no whole number");
  return *port;
}

}  // namespace

void XEventSNMPTab::AddManager() {
  if (!ValidateFields(nullptr)) return;
  if (!definition_) return;  // no definition: nothing to add to (the fields are closed anyway)
  auto manager = GetDefinitionLibrary()->NewSnmpManager();
  manager->Init(definition_->ManagerOwnerKey(), Trimmed(txtHost_->Text()), CheckedPort(txtPort_->Text()),
                cboVersion_->Text(), cboTimeFormat_->Text());
  stl_->AddRow(manager);
  stl_->ShowRow(stl_->RowCount() - 1);  // the new row in view
  ResetFields();
  changed_ = false;
  txtHost_->SetFocus();
  NotifyHostChanged();
}

void XEventSNMPTab::UpdateSelectedManager() {
  auto selected = stl_->SelectedItems();
  if (selected->Count() != 1) return;
  auto manager = AsManager(selected->Item(1));
  if (!ValidateFields(manager)) return;
  manager->Update(Trimmed(txtHost_->Text()), CheckedPort(txtPort_->Text()), cboVersion_->Text(),
                  cboTimeFormat_->Text());
  stl_->UpdateRow(manager);
  changed_ = false;
  stl_->SetFocus();
  NotifyHostChanged();
}

bool XEventSNMPTab::ValidateFields(const std::shared_ptr<SnmpManager>& excluded) {
  if (Trimmed(txtHost_->Text()).empty()) {
    ShowMessage("A Host name must be entered.", msgbox::Critical, "");
    txtHost_->SetFocus();
    return false;
  }
  if (Trimmed(txtPort_->Text()).empty()) {
    ShowMessage("A Port number must be entered.", msgbox::Critical, "");
    txtPort_->SetFocus();
    return false;
  }
  Variant value(std::int32_t{0});
  std::string reason;
  if (!GetUiServices()->IsWholeNumberInRange(txtPort_->Text(), Variant(static_cast<std::int16_t>(rules::kPortMin)),
                                             Variant(rules::kPortMax), value, reason)) {
    ShowMessage("Port number must be an integer between " + std::to_string(rules::kPortMin) + " and " +
                    std::to_string(rules::kPortMax) + ".",
                msgbox::Critical, "");
    txtPort_->SetFocus();
    return false;
  }
  return CheckHostPortUnique(excluded);
}

bool XEventSNMPTab::CheckHostPortUnique(const std::shared_ptr<SnmpManager>& excluded) {
  if (!HostPortExists(excluded)) return true;
  ShowMessage("This Host/Port already exists in the list.", msgbox::Critical, kAddTitle);
  return false;
}

bool XEventSNMPTab::HostPortExists(std::shared_ptr<SnmpManager> selectedManager) {
  // A port field without a whole number cannot duplicate any manager.
  const auto port = WholeNumber(Trimmed(txtPort_->Text()));
  if (!port) return false;
  const std::string host = Trimmed(txtHost_->Text());
  auto services = GetUiServices();
  auto items = stl_->Items();
  const int count = items->Count();
  for (int i = 1; i <= count; ++i) {
    auto manager = std::dynamic_pointer_cast<SnmpManager>(items->Item(i));
    // The port test is the cheap one; the host comparison is the service's.
    if (!manager || manager->Port() != *port) continue;
    if (manager == selectedManager) continue;
    if (services->TextEquals(manager->Host(), host, true)) return true;
  }
  return false;
}

void XEventSNMPTab::DeleteSelectedManagers() {
  const int n = stl_->SelectedCount();
  std::string prompt;
  if (n == 1) {
    // Name the manager that goes, not what the host field may hold by now.
    prompt =
        "Do you really want to delete this SNMP Manager (" + AsManager(stl_->SelectedItems()->Item(1))->Host() + ")?";
  } else {
    prompt = "Do you really want to delete these " + std::to_string(n) + " SNMP Managers?";
  }
  if (!RemoveSelectedRowsIfConfirmed(*stl_, prompt, kDeleteTitle)) return;
  UpdateCommandStates();
  NotifyHostChanged();
}

// ---- Handlers ----

void XEventSNMPTab::cmdNew_Click() { StartNewManager(); }
void XEventSNMPTab::cmdApply_Click() { ApplyFields(); }
void XEventSNMPTab::cmdDelete_Click() { DeleteSelectedManagers(); }
void XEventSNMPTab::mnuPopupDelete_Click() { DeleteSelectedManagers(); }

void XEventSNMPTab::stl_ContextMenu(float x, float y) {
  if (stl_->SelectedCount() >= 1) ShowPopupMenu(*mnuPopup_, x, y);
}

void XEventSNMPTab::EntryField_KeyPress(ui::KeyPressArgs& e) {
  // Enter applies the entry when the key is released.
  TakeEnterForApply(e, *cmdApply_, enterPending_);
}

void XEventSNMPTab::EntryField_KeyUp(ui::KeyEventArgs&) {
  if (!enterPending_) return;
  // Pending while Apply runs, cleared however Apply ends.
  enterPending_ = false;
  FlagGuard pending(enterPending_, true);
  ApplyFields();
}

void XEventSNMPTab::UserControl_KeyUp(ui::KeyEventArgs& e) {
  if (e.KeyCode == ui::keys::Delete && ActiveControl() == stl_.get() && stl_->SelectedCount() > 0)
    DeleteSelectedManagers();
}

}  // namespace quillmont
