#include "quillmont/events_panel/x_events_tab.h"

#include <algorithm>
#include <iterator>

#include "quillmont/framework/panel_support.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/framework/services.h"
#include "quillmont/platform/error.h"
#include "quillmont/storage/utf8.h"

namespace quillmont {

using namespace detail;  // the panels' shared helpers
namespace {

constexpr const char* kPage = "XEventsTab";
constexpr const char* kAllGroups = "<All Group Event Types>";
constexpr const char* kNothingChosen = "Please select event(s) for notification.";
constexpr const char* kItemNotFound = "Selected Item not found: ";
constexpr const char* kColumnCaptions[] = {"Event Type", "Event Group"};
// A record count is only a hint for the group table's capacity; a wrong or
// huge one must not make us allocate for it.
constexpr std::int32_t kMaxReservedGroups = 4096;

// The selector appends one character to every key; it may be a multi-byte one.
std::string WithoutLastCharacter(const std::string& key) {
  const std::size_t chars = utf8::CharCount(key);
  if (chars == 0) return key;
  return key.substr(0, utf8::ByteOffset(key, chars - 1));
}

// Group records come from a store where any field may be null: a null
// number reads as 0 and a null text as "", so one incomplete record does not
// make the whole page unusable.
std::int32_t NumberField(const GroupRecordSet& records, const std::string& name) {
  const Variant value = records.Fields(name);
  return value.IsNull() ? 0 : value.ToInt32();
}

std::string TextField(const GroupRecordSet& records, const std::string& name) {
  const Variant value = records.Fields(name);
  return value.IsNull() ? std::string() : value.ToString();
}

}  // namespace

std::shared_ptr<XEventsTab> XEventsTab::Create() { return std::make_shared<XEventsTab>(); }

XEventsTab::XEventsTab() : ui::UserControl("XEventsTab") {
  CreateControls();
  cboGroupEvents_->Click.Connect([this] { cboGroupEvents_Click(); });
  xEvents_->ChosenRowsChanged.Connect([this] { xEvents_ChosenRowsChanged(); });
  xEvents_->ChosenRowsRemoved.Connect([this] { xEvents_ChosenRowsRemoved(); });
  Resize.Connect([this] { UserControl_Resize(); });
  EnableEditing();  // closed until a definition is loaded
}

XEventsTab::~XEventsTab() { UserControl_Terminate(); }

void XEventsTab::UserControl_Terminate() noexcept {
  groupTypes_.clear();
  groupNames_.clear();
  reader_.reset();
}

// ---- Tab contract ----

bool XEventsTab::HandleTabProcess(const std::string&) {
  return AtBoundary(OwnerThread(), kPage, [] { return false; });
}

bool XEventsTab::IsTabValid(const std::string& sMsgBoxTitle) {
  return AtBoundary(OwnerThread(), kPage, [&] {
    if (xEvents_->ChosenItems()->Count() > 0) return true;
    ShowMessage(kNothingChosen, msgbox::Critical, sMsgBoxTitle);
    if (xEvents_->Visible()) xEvents_->SetFocus();
    if (auto target = GetUiServices()->GetFocusTarget()) target->Activate();
    return false;
  });
}

void XEventsTab::LoadState() {
  AtBoundary(OwnerThread(), kPage, [] {});
}

void XEventsTab::SaveState() {
  AtBoundary(OwnerThread(), kPage, [] {});
}

void XEventsTab::SaveData() {
  AtBoundary(OwnerThread(), kPage, [&] {
    if (loadFailed_)
      throw Error(ErrorCode::InvalidProcedureCall,
                  "The page holds no definition to save: its last LoadData failed. Load the definition again first");
    if (!definition_) throw Error(ErrorCode::ObjectRequired, "Object required: no definition has been loaded");
    const int index = cboGroupEvents_->ListIndex();
    definition_->SetEventGroupID(index >= 0 ? cboGroupEvents_->ItemData(index) : 0);
    definition_->SetChosenEventTypes(xEvents_->ChosenItems());
  });
}

void XEventsTab::LoadData(const Variant& v, const std::string&, std::shared_ptr<TabHost> dtN) {
  AtBoundary(OwnerThread(), kPage, [&] {
    FlagGuard filling(filling_, true);
    // Let go of the previous definition and its chosen event types before
    // anything can fail. The new definition's choice is read in full before
    // it is shown; a load that fails leaves nothing chosen and the page
    // closed for editing until a load succeeds.
    definition_.reset();
    cdtnNotify_ = dtN;
    LoadAllOrNothing(
        loadFailed_,
        [&] {
          ClearChosenRows();
          if (v.IsEmpty()) return;  // an empty Variant only unbinds the page
          auto definition = v.As<NotificationDefinition>();
          PrepareLists();
          if (!definition->IsNew()) ChooseEventTypes(StoredEventTypes(*definition));
          xEvents_->FinishLoad(1);
          definition_ = std::move(definition);
        },
        [&] { ShowNoDefinition(); });
    EnableEditing();
  });
}

void XEventsTab::ShowNoDefinition() noexcept {
  definition_.reset();
  LayoutStep([&] { ClearChosenRows(); });
  EnableEditing();
}

void XEventsTab::EnableEditing() noexcept {
  // Without a definition there is nothing to choose for.
  xEvents_->SetEnabled(definition_ != nullptr);
  cboGroupEvents_->SetEnabled(definition_ != nullptr);
}

// ---- Filling ----

void XEventsTab::PrepareLists() {
  reader_ = GetDefinitionLibrary()->NewEventTypeReader();
  LoadGroupTypes();
  FillGroupFilter();
  AddSelectorColumns();
  xEvents_->SetInitialized(true);
  ClearChosenRows();
  FillAvailable(0);
}

void XEventsTab::LoadGroupTypes() {
  const auto records = GetAppContext()->GetEventGroups();
  if (!records) return;  // no groups to read: keep the ones we have

  // Read into a table of our own so that a failure half way leaves the
  // groups as they were.
  std::vector<udt_EventGroupTypes> groups(1);  // record 0 stays empty
  const std::int32_t count = records->RecordCount();
  if (count > 0) groups.reserve(static_cast<std::size_t>(std::min(count, kMaxReservedGroups)) + 1);
  try {
    while (!records->Eof()) {
      udt_EventGroupTypes group;
      group.GroupID = NumberField(*records, "Group_id");
      group.GroupName = TextField(*records, "Group_Name");
      group.GroupLabel = TextField(*records, "Group_Label");
      groups.push_back(std::move(group));
      records->MoveNext();
    }
  } catch (...) {
    try {
      records->Close();
    } catch (...) {
      // The read error is the one worth reporting.
    }
    throw;
  }
  records->Close();

  std::unordered_map<std::int32_t, std::string> names;
  names.reserve(groups.size());
  for (const auto& group : groups) names.try_emplace(group.GroupID, group.GroupName);  // first record wins
  groupTypes_ = std::move(groups);
  groupNames_ = std::move(names);
}

void XEventsTab::FillGroupFilter() {
  auto& combo = *cboGroupEvents_;
  combo.Clear();
  combo.AddItem(kAllGroups);
  for (std::size_t i = 1; i < groupTypes_.size(); ++i) {
    combo.AddItem(groupTypes_[i].GroupName);
    combo.SetItemData(combo.NewIndex(), groupTypes_[i].GroupID);
  }
  combo.SetListIndex(0);
}

// The selector has no way to drop columns, so a later load adds only what an
// earlier one has not: the selector always shows exactly these two.
void XEventsTab::AddSelectorColumns() {
  const int wanted = static_cast<int>(std::size(kColumnCaptions));
  for (int i = xEvents_->ColumnCount(); i < wanted; ++i) xEvents_->AddColumn(kColumnCaptions[i]);
}

// A load shows the choice stored in the definition it was given, so what an
// earlier load or the user chose goes back first; otherwise it would be saved
// into this definition too. The selector takes rows back only as the user
// does, through its remove button; the event that raises is ignored while
// Filling.
void XEventsTab::ClearChosenRows() {
  const auto chosenRows = xEvents_->ChosenItems();
  const int count = chosenRows->Count();
  if (count == 0) return;
  for (int i = 1; i <= count; ++i) chosenRows->Item(i)->SetSelected(true);
  xEvents_->RemoveButton().Click();
}

const std::string& XEventsTab::GroupNameOf(std::int32_t groupId) const {
  static const std::string none;
  const auto found = groupNames_.find(groupId);
  return found == groupNames_.end() ? none : found->second;
}

void XEventsTab::FillAvailable(std::int32_t groupId) {
  XSelector& selector = *xEvents_;
  selector.SetFilterText("");
  const auto catalogue = GetAppContext()->EventTypes();

  std::shared_ptr<EventTypeSet> chosen;
  const auto chosenRows = selector.ChosenItems();
  const int chosenCount = chosenRows->Count();
  if (chosenCount > 0) {
    chosen = GetDefinitionLibrary()->NewEventTypeSet();
    for (int i = 1; i <= chosenCount; ++i) {
      const std::string key = WithoutLastCharacter(chosenRows->Item(i)->Key());
      if (auto eventType = catalogue ? catalogue->Item(key) : nullptr)
        chosen->Add(std::move(eventType));
      else
        ShowMessage(kItemNotFound + key, msgbox::OkOnly, "");
    }
  }

  if (groupId > 0) selector.SetFilterText(GroupNameOf(groupId));
  selector.ClearAvailable();
  const int count = catalogue ? catalogue->Count() : 0;
  for (int i = 1; i <= count; ++i) {
    const auto eventType = catalogue->ItemAt(i);
    const std::int32_t typeGroup = eventType->GroupID();
    if (groupId != 0 && typeGroup != groupId) continue;
    const std::string key = eventType->Key();
    if (chosen && chosen->Exists(key)) continue;
    if (const auto row = selector.AddAvailable(eventType->Name(), key)) row->SetSubItem(1, GroupNameOf(typeGroup));
  }
  selector.EndFill();
}

std::shared_ptr<EventTypeCollection> XEventsTab::StoredEventTypes(const NotificationDefinition& definition) {
  // A definition that carries its choice is read directly; the others
  // through the library's reader.
  if (auto own = definition.StoredEventTypes()) return own;
  const std::int32_t notificationId = definition.NotificationID();
  return reader_->GetEventTypes(notificationId);
}

void XEventsTab::ChooseEventTypes(const std::shared_ptr<EventTypeCollection>& eventTypes) {
  if (!eventTypes) return;  // nothing stored
  const int count = eventTypes->Count();
  for (int i = 1; i <= count; ++i) xEvents_->ChooseItem(eventTypes->ItemAt(i)->Key());
}

// ---- User actions ----

void XEventsTab::cboGroupEvents_Click() {
  if (filling_) return;
  const int index = cboGroupEvents_->ListIndex();
  FillAvailable(index >= 0 ? cboGroupEvents_->ItemData(index) : 0);
  const auto available = xEvents_->AvailableItems();
  if (available->Count() > 0) {
    available->Item(1)->SetSelected(true);
    xEvents_->SetFocus();
  }
}

void XEventsTab::xEvents_ChosenRowsChanged() {
  if (!filling_) NotifyHostChanged();
}

void XEventsTab::xEvents_ChosenRowsRemoved() {
  if (!filling_) NotifyHostChanged();
}

void XEventsTab::NotifyHostChanged() {
  // Held for the call: the host may load the page again from inside it.
  if (auto host = cdtnNotify_.lock()) host->MarkChanged();
}

}  // namespace quillmont
