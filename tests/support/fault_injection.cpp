#include "tests/support/fault_injection.h"

namespace quillmont::testing {

void FaultPlan::FailOnCall(int n, ErrorCode code) {
  failAt_ = n < 1 ? 0 : calls_ + n;
  code_ = code;
  fired_ = false;
}

void FaultPlan::Tick(const std::string& operation) {
  ++calls_;
  log_.push_back(operation);
  if (failAt_ == 0 || calls_ != failAt_) return;
  failAt_ = 0;
  fired_ = true;
  throw Error(code_, "Injected failure in " + operation);
}

// Each wrapper method: report the call, then do what the inner object does.
#define QM_FORWARD(object, call) \
  plan_->Tick(object "." #call); \
  return inner_->call

int FaultyMessageService::ShowMessage(const std::string& prompt, int buttons, const std::string& title,
                                      const std::string& helpFile, int helpContext) {
  QM_FORWARD("MessageService", ShowMessage)(prompt, buttons, title, helpFile, helpContext);
}

bool FaultyUiServices::TextEquals(const std::string& a, const std::string& b, bool ignoreCase) {
  QM_FORWARD("UiServices", TextEquals)(a, b, ignoreCase);
}
bool FaultyUiServices::IsWholeNumberInRange(const std::string& text, const Variant& minimum, const Variant& maximum,
                                            Variant& value, std::string& message) {
  QM_FORWARD("UiServices", IsWholeNumberInRange)(text, minimum, maximum, value, message);
}
std::shared_ptr<ListColumn> FaultyUiServices::NewListColumn(int columnId, const std::string& caption, float width,
                                                            int alignment, bool visible, int sortType) {
  QM_FORWARD("UiServices", NewListColumn)(columnId, caption, width, alignment, visible, sortType);
}
std::shared_ptr<TextBoxExtension> FaultyUiServices::AttachTextBox(ui::TextBox& textBox) {
  QM_FORWARD("UiServices", AttachTextBox)(textBox);
}
std::shared_ptr<FocusTarget> FaultyUiServices::GetFocusTarget() { QM_FORWARD("UiServices", GetFocusTarget)(); }

std::shared_ptr<SettingsCollection> FaultyAppContext::Settings() { QM_FORWARD("AppContext", Settings)(); }
bool FaultyAppContext::IsValidEmailAddress(const std::string& address) {
  QM_FORWARD("AppContext", IsValidEmailAddress)(address);
}
std::shared_ptr<EventTypeCollection> FaultyAppContext::EventTypes() { QM_FORWARD("AppContext", EventTypes)(); }
std::shared_ptr<GroupRecordSet> FaultyAppContext::GetEventGroups() { QM_FORWARD("AppContext", GetEventGroups)(); }

std::shared_ptr<SnmpManager> FaultyDefinitionLibrary::NewSnmpManager() {
  QM_FORWARD("DefinitionLibrary", NewSnmpManager)();
}
std::shared_ptr<SnmpManagerList> FaultyDefinitionLibrary::NewSnmpManagerList() {
  QM_FORWARD("DefinitionLibrary", NewSnmpManagerList)();
}
std::shared_ptr<EmailRecipient> FaultyDefinitionLibrary::NewEmailRecipient() {
  QM_FORWARD("DefinitionLibrary", NewEmailRecipient)();
}
std::shared_ptr<EmailRecipientList> FaultyDefinitionLibrary::NewEmailRecipientList() {
  QM_FORWARD("DefinitionLibrary", NewEmailRecipientList)();
}
std::shared_ptr<EventTypeSet> FaultyDefinitionLibrary::NewEventTypeSet() {
  QM_FORWARD("DefinitionLibrary", NewEventTypeSet)();
}
std::shared_ptr<EventTypeReader> FaultyDefinitionLibrary::NewEventTypeReader() {
  QM_FORWARD("DefinitionLibrary", NewEventTypeReader)();
}

void FaultyNotificationDefinition::LoadSnmpDetails() { QM_FORWARD("Definition", LoadSnmpDetails)(); }
void FaultyNotificationDefinition::LoadEmailDetails() { QM_FORWARD("Definition", LoadEmailDetails)(); }
bool FaultyNotificationDefinition::IsNew() const { QM_FORWARD("Definition", IsNew)(); }
bool FaultyNotificationDefinition::HasSnmp() const { QM_FORWARD("Definition", HasSnmp)(); }
bool FaultyNotificationDefinition::HasEmail() const { QM_FORWARD("Definition", HasEmail)(); }
std::shared_ptr<SnmpManagerList> FaultyNotificationDefinition::SnmpManagers() const {
  QM_FORWARD("Definition", SnmpManagers)();
}
void FaultyNotificationDefinition::SetSnmpManagers(std::shared_ptr<SnmpManagerList> managers) {
  QM_FORWARD("Definition", SetSnmpManagers)(std::move(managers));
}
std::shared_ptr<EmailRecipientList> FaultyNotificationDefinition::EmailRecipients() const {
  QM_FORWARD("Definition", EmailRecipients)();
}
void FaultyNotificationDefinition::SetEmailRecipients(std::shared_ptr<EmailRecipientList> recipients) {
  QM_FORWARD("Definition", SetEmailRecipients)(std::move(recipients));
}
std::string FaultyNotificationDefinition::ManagerOwnerKey() const { QM_FORWARD("Definition", ManagerOwnerKey)(); }
std::string FaultyNotificationDefinition::RecipientOwnerKey() const { QM_FORWARD("Definition", RecipientOwnerKey)(); }
std::string FaultyNotificationDefinition::EmailSubject() const { QM_FORWARD("Definition", EmailSubject)(); }
void FaultyNotificationDefinition::SetEmailSubject(const std::optional<std::string>& subject) {
  QM_FORWARD("Definition", SetEmailSubject)(subject);
}
std::string FaultyNotificationDefinition::EmailMessage() const { QM_FORWARD("Definition", EmailMessage)(); }
void FaultyNotificationDefinition::SetEmailMessage(const std::optional<std::string>& message) {
  QM_FORWARD("Definition", SetEmailMessage)(message);
}
std::int32_t FaultyNotificationDefinition::NotificationID() const { QM_FORWARD("Definition", NotificationID)(); }
void FaultyNotificationDefinition::SetEventGroupID(std::int32_t groupId) {
  QM_FORWARD("Definition", SetEventGroupID)(groupId);
}
void FaultyNotificationDefinition::SetChosenEventTypes(std::shared_ptr<SelectorRows> chosenRows) {
  QM_FORWARD("Definition", SetChosenEventTypes)(std::move(chosenRows));
}

void FaultyListColumnSet::Add(std::shared_ptr<ListColumn> column, const std::string& key, const std::string& before) {
  QM_FORWARD("ListColumnSet", Add)(std::move(column), key, before);
}
int FaultyListColumnSet::Count() const { QM_FORWARD("ListColumnSet", Count)(); }
std::shared_ptr<ListColumn> FaultyListColumnSet::Item(int position) const {
  QM_FORWARD("ListColumnSet", Item)(position);
}
void FaultyListColumnSet::MoveColumn(int columnId, int position) {
  QM_FORWARD("ListColumnSet", MoveColumn)(columnId, position);
}
std::string FaultyListColumnSet::LayoutState() const { QM_FORWARD("ListColumnSet", LayoutState)(); }
void FaultyListColumnSet::SetLayoutState(const std::string& state) {
  QM_FORWARD("ListColumnSet", SetLayoutState)(state);
}

#undef QM_FORWARD

// The controls call their base class instead of an inner object.
#define QM_BASE(object, base, call) \
  plan_->Tick(object "." #call);    \
  return base::call

std::shared_ptr<ListColumnSet> FaultyStaticList::Columns() const { QM_BASE("XStaticList", StaticList, Columns)(); }
void FaultyStaticList::SetColumns(std::shared_ptr<ListColumnSet> columns) {
  QM_BASE("XStaticList", StaticList, SetColumns)(std::move(columns));
}
bool FaultyStaticList::ConfigFlag1() const { QM_BASE("XStaticList", StaticList, ConfigFlag1)(); }
void FaultyStaticList::SetConfigFlag1(bool on) { QM_BASE("XStaticList", StaticList, SetConfigFlag1)(on); }
bool FaultyStaticList::ConfigFlag2() const { QM_BASE("XStaticList", StaticList, ConfigFlag2)(); }
void FaultyStaticList::SetConfigFlag2(bool on) { QM_BASE("XStaticList", StaticList, SetConfigFlag2)(on); }
bool FaultyStaticList::ConfigFlag3() const { QM_BASE("XStaticList", StaticList, ConfigFlag3)(); }
void FaultyStaticList::SetConfigFlag3(bool on) { QM_BASE("XStaticList", StaticList, SetConfigFlag3)(on); }
std::shared_ptr<ItemList> FaultyStaticList::Items() const { QM_BASE("XStaticList", StaticList, Items)(); }
void FaultyStaticList::SetItems(std::shared_ptr<ItemList> items) {
  QM_BASE("XStaticList", StaticList, SetItems)(std::move(items));
}
void FaultyStaticList::AddRow(std::shared_ptr<ListItem> item) {
  QM_BASE("XStaticList", StaticList, AddRow)(std::move(item));
}
void FaultyStaticList::UpdateRow(std::shared_ptr<ListItem> item) {
  QM_BASE("XStaticList", StaticList, UpdateRow)(std::move(item));
}
void FaultyStaticList::RemoveRow(std::shared_ptr<ItemList> items) {
  QM_BASE("XStaticList", StaticList, RemoveRow)(std::move(items));
}
void FaultyStaticList::RefreshRows() { QM_BASE("XStaticList", StaticList, RefreshRows)(); }
void FaultyStaticList::SelectRow(int position) { QM_BASE("XStaticList", StaticList, SelectRow)(position); }
void FaultyStaticList::ClearSelection() { QM_BASE("XStaticList", StaticList, ClearSelection)(); }
int FaultyStaticList::RowCount() const { QM_BASE("XStaticList", StaticList, RowCount)(); }
int FaultyStaticList::SelectedCount() const { QM_BASE("XStaticList", StaticList, SelectedCount)(); }
std::shared_ptr<ItemList> FaultyStaticList::SelectedItems() const {
  QM_BASE("XStaticList", StaticList, SelectedItems)();
}
void FaultyStaticList::ApplyColumnLayout() { QM_BASE("XStaticList", StaticList, ApplyColumnLayout)(); }
void FaultyStaticList::CaptureColumnLayout() { QM_BASE("XStaticList", StaticList, CaptureColumnLayout)(); }
void FaultyStaticList::SetFocus() { QM_BASE("XStaticList", StaticList, SetFocus)(); }

void FaultySelector::AddColumn(const std::string& caption) { QM_BASE("XSelector", Selector, AddColumn)(caption); }
int FaultySelector::ColumnCount() const { QM_BASE("XSelector", Selector, ColumnCount)(); }
std::string FaultySelector::ColumnCaption(int position) const {
  QM_BASE("XSelector", Selector, ColumnCaption)(position);
}
void FaultySelector::SetInitialized(bool on) { QM_BASE("XSelector", Selector, SetInitialized)(on); }
bool FaultySelector::Initialized() const { QM_BASE("XSelector", Selector, Initialized)(); }
void FaultySelector::SetFilterText(const std::string& text) { QM_BASE("XSelector", Selector, SetFilterText)(text); }
std::string FaultySelector::FilterText() const { QM_BASE("XSelector", Selector, FilterText)(); }
bool FaultySelector::FilterEnabled() const { QM_BASE("XSelector", Selector, FilterEnabled)(); }
void FaultySelector::SetFilterEnabled(bool on) { QM_BASE("XSelector", Selector, SetFilterEnabled)(on); }
int FaultySelector::FilterColumnIndex() const { QM_BASE("XSelector", Selector, FilterColumnIndex)(); }
void FaultySelector::SetFilterColumnIndex(int index) { QM_BASE("XSelector", Selector, SetFilterColumnIndex)(index); }
void FaultySelector::ClearAvailable() { QM_BASE("XSelector", Selector, ClearAvailable)(); }
std::shared_ptr<SelectorRow> FaultySelector::AddAvailable(const std::string& text, const std::string& key) {
  QM_BASE("XSelector", Selector, AddAvailable)(text, key);
}
void FaultySelector::EndFill() { QM_BASE("XSelector", Selector, EndFill)(); }
void FaultySelector::ChooseItem(const std::string& key) { QM_BASE("XSelector", Selector, ChooseItem)(key); }
void FaultySelector::FinishLoad(std::int32_t mode) { QM_BASE("XSelector", Selector, FinishLoad)(mode); }
std::shared_ptr<SelectorRows> FaultySelector::ChosenItems() const { QM_BASE("XSelector", Selector, ChosenItems)(); }
std::shared_ptr<SelectorRows> FaultySelector::AvailableItems() const {
  QM_BASE("XSelector", Selector, AvailableItems)();
}
bool FaultySelector::IsChosen(const std::string& key) const { QM_BASE("XSelector", Selector, IsChosen)(key); }
bool FaultySelector::IsAvailable(const std::string& key) const { QM_BASE("XSelector", Selector, IsAvailable)(key); }
void FaultySelector::SetFocus() { QM_BASE("XSelector", Selector, SetFocus)(); }

#undef QM_BASE

void FaultyControlLibrary::Tick(const std::string& operation) {
  if (libraryPlan_) libraryPlan_->Tick(operation);
}

std::shared_ptr<XStaticList> FaultyControlLibrary::NewStaticList(const std::string& name) {
  Tick("ControlLibrary.NewStaticList");
  auto list = std::make_shared<FaultyStaticList>(name, controlPlan_);
  lastList_ = list;
  return list;
}

std::shared_ptr<XSelector> FaultyControlLibrary::NewSelector(const std::string& name) {
  Tick("ControlLibrary.NewSelector");
  auto selector = std::make_shared<FaultySelector>(name, controlPlan_);
  lastSelector_ = selector;
  return selector;
}

std::shared_ptr<ListColumnSet> FaultyControlLibrary::NewListColumnSet() {
  Tick("ControlLibrary.NewListColumnSet");
  auto columns = std::make_shared<ColumnSet>();
  if (!columnSetPlan_) return columns;
  return std::make_shared<FaultyListColumnSet>(std::move(columns), columnSetPlan_);
}

}  // namespace quillmont::testing
