#include "quillmont/email_panel/x_event_email_tab.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "quillmont/framework/panel_support.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/error.h"

namespace quillmont {

using namespace detail;  // the panels' shared helpers
namespace {

constexpr const char* kPage = "XEventEmailTab";
constexpr const char* kViewStateKey = "EmailProperties";
constexpr const char* kAddTitle = "Add Email Address";
constexpr const char* kDeleteTitle = "Delete Email Address";

// Focus moves after a validity message may fail (the page may not be shown);
// the message has been given, so the check goes on regardless.
void TryFocus(ui::Control& control) {
  try {
    control.SetFocus();
  } catch (const std::exception&) {
  }
}

std::optional<std::string> StoredText(const std::string& fieldText) {
  if (fieldText == XEventEmailTab::kDefaultText) return std::nullopt;
  return fieldText;
}

std::string ShownText(const std::string& storedText) {
  return storedText.empty() ? std::string(XEventEmailTab::kDefaultText) : storedText;
}

}  // namespace

std::shared_ptr<XEventEmailTab> XEventEmailTab::Create() { return std::make_shared<XEventEmailTab>(); }

XEventEmailTab::XEventEmailTab() : ui::UserControl("XEventEmailTab") {
  CreateControls();

  auto ui = GetUiServices();
  addressExtension_ = ui->AttachTextBox(*txtAddress_);
  messageExtension_ = ui->AttachTextBox(*txtMessage_);
  subjectExtension_ = ui->AttachTextBox(*txtSubject_);
  stl_->SetColumns(BuildListColumns());
  editMode_ = quillmont::EditMode::AddNew;

  // The panel must see the Delete key's release whichever child has it.
  SetKeyPreview(true);
  Resize.Connect([this] { UserControl_Resize(); });
  KeyUp.Connect([this](ui::KeyEventArgs& e) { UserControl_KeyUp(e); });
  txtSubject_->Change.Connect([this] { txtSubject_Change(); });
  txtMessage_->Change.Connect([this] { txtMessage_Change(); });
  txtAddress_->Change.Connect([this] { txtAddress_Change(); });
  txtAddress_->KeyPress.Connect([this](ui::KeyPressArgs& e) { txtAddress_KeyPress(e); });
  txtAddress_->KeyUp.Connect([this](ui::KeyEventArgs& e) { txtAddress_KeyUp(e); });
  cmdResetSubject_->Click.Connect([this] { cmdResetSubject_Click(); });
  cmdResetMessage_->Click.Connect([this] { cmdResetMessage_Click(); });
  cmdNew_->Click.Connect([this] { cmdNew_Click(); });
  cmdApply_->Click.Connect([this] { cmdApply_Click(); });
  cmdDelete_->Click.Connect([this] { cmdDelete_Click(); });
  mnuPopupDelete_->Click.Connect([this] { mnuPopupDelete_Click(); });
  stl_->SelectionChanged.Connect([this] { stl_SelectionChanged(); });
  stl_->ContextMenu.Connect([this](float x, float y) { stl_ContextMenu(x, y); });

  // Apply and Delete wait for an address or a selection even before a load.
  UpdateCommandStates();
}

XEventEmailTab::~XEventEmailTab() = default;

// ---------------------------------------------------------------------------
// Tab contract

bool XEventEmailTab::HandleTabProcess(const std::string&) {
  return AtBoundary(OwnerThread(), kPage, [] { return false; });
}

bool XEventEmailTab::IsTabValid(const std::string& sMsgBoxTitle) {
  return AtBoundary(OwnerThread(), kPage, [&] {
    if (ValidateEmailTab(sMsgBoxTitle)) return true;
    // Without a tab container there is nobody to bring the page forward.
    // Held for the call: the host may load the page again from inside it.
    if (auto host = cdtnNotify_.lock()) host->SelectTab(tabKey_);
    return false;
  });
}

void XEventEmailTab::LoadState() {
  AtBoundary(OwnerThread(), kPage, [&] { LoadEmailViewState(); });
}

void XEventEmailTab::SaveData() {
  AtBoundary(OwnerThread(), kPage, [&] { SaveEmailData(); });
}

void XEventEmailTab::LoadData(const Variant& v, const std::string& sName, std::shared_ptr<TabHost> dtN) {
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

void XEventEmailTab::SaveState() {
  AtBoundary(OwnerThread(), kPage, [&] { SaveEmailViewState(); });
}

NotificationDefinition& XEventEmailTab::BoundDefinition() const {
  if (loadFailed_)
    throw Error(ErrorCode::InvalidProcedureCall,
                "The page holds no definition to save: its last LoadData failed. Load the definition again first");
  if (!definition_) throw Error(ErrorCode::ObjectRequired, "Object required: no notification definition is loaded");
  return *definition_;
}

// ---------------------------------------------------------------------------
// Loading and saving

// What the page shows of a stored definition, read before any of it is shown.
struct XEventEmailTab::StoredEmail {
  bool hasEmail = false;
  std::string subject;
  std::string message;
  std::vector<std::shared_ptr<ListItem>> recipients;
};

void XEventEmailTab::BlankFields() {
  FlagGuard filling(filling_, true);
  txtSubject_->SetText("");
  txtMessage_->SetText("");
  txtAddress_->SetText("");
}

void XEventEmailTab::Fill(const Variant& v) {
  BlankFields();
  changed_ = false;
  editMode_ = quillmont::EditMode::AddNew;
  stl_->SetItems(GetDefinitionLibrary()->NewEmailRecipientList());
  if (v.IsEmpty()) {
    UpdateCommandStates();  // nothing to load: the page is unbound
    return;
  }
  auto definition = v.As<NotificationDefinition>();
  definition->LoadEmailDetails();
  const bool isNew = definition->IsNew();
  const StoredEmail stored = isNew ? StoredEmail() : ReadStoredEmail(*definition);
  definition_ = std::move(definition);
  LoadEmailData(isNew, stored);
}

XEventEmailTab::StoredEmail XEventEmailTab::ReadStoredEmail(NotificationDefinition& definition) {
  StoredEmail stored;
  stored.hasEmail = definition.HasEmail();
  if (!stored.hasEmail) return stored;
  stored.subject = definition.EmailSubject();
  stored.message = definition.EmailMessage();
  if (auto recipients = definition.EmailRecipients()) {
    const int count = recipients->Count();
    stored.recipients.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 1; i <= count; ++i) stored.recipients.push_back(recipients->Item(i));
  }
  return stored;
}

void XEventEmailTab::ShowNoDefinition() noexcept {
  definition_.reset();
  // Each step on its own: the rows go even when blanking a field fails.
  LayoutStep([&] { stl_->SetItems(std::make_shared<GenericItemList>()); });
  LayoutStep([&] { BlankFields(); });
  changed_ = false;
  editMode_ = quillmont::EditMode::AddNew;
  LayoutStep([&] { UpdateCommandStates(); });
}

void XEventEmailTab::LoadEmailData(bool isNew, const StoredEmail& stored) {
  FlagGuard filling(filling_, true);
  stl_->SetConfigFlag1(false);
  stl_->SetConfigFlag2(false);
  stl_->SetConfigFlag3(true);
  // Fill has cleared the fields and given the list a fresh collection.
  if (isNew)
    LoadEmailDefaults();
  else
    ReadEmailDefinition(stored);
  UpdateCommandStates();
}

void XEventEmailTab::LoadEmailDefaults() {
  txtSubject_->SetText(kDefaultText);
  txtMessage_->SetText(kDefaultText);
  txtAddress_->SetText("");
  changed_ = false;
}

void XEventEmailTab::ReadEmailDefinition(const StoredEmail& stored) {
  if (!stored.hasEmail) return;
  txtSubject_->SetText(ShownText(stored.subject));
  txtMessage_->SetText(ShownText(stored.message));
  for (const auto& recipient : stored.recipients) stl_->AddRow(recipient);
  if (stl_->RowCount() >= 1) {
    stl_->RefreshRows();
    stl_->SelectRow(1);
    auto first = std::dynamic_pointer_cast<EmailRecipient>(stl_->Items()->Item(1));
    if (!first) throw Error(ErrorCode::TypeMismatch, "Type mismatch: the list holds an item that is no recipient");
    txtAddress_->SetText(first->Address());
    // Filled by the panel, not edited by the user.
    changed_ = false;
    editMode_ = quillmont::EditMode::EditSelected;
  }
}

void XEventEmailTab::SaveEmailData() {
  NotificationDefinition& definition = BoundDefinition();
  definition.SetEmailSubject(StoredText(txtSubject_->Text()));
  definition.SetEmailMessage(StoredText(txtMessage_->Text()));

  const auto items = stl_->Items();
  auto recipients = std::dynamic_pointer_cast<EmailRecipientList>(items);
  if (!recipients) {
    // The list still holds its own collection (the definition had no e-mail
    // part to read): hand the definition a recipient list with the same
    // recipients rather than lose them.
    recipients = GetDefinitionLibrary()->NewEmailRecipientList();
    const int count = items->Count();
    for (int i = 1; i <= count; ++i) recipients->Add(items->Item(i));
  }
  definition.SetEmailRecipients(std::move(recipients));
}

bool XEventEmailTab::ValidateEmailTab(const std::string& sMsgBoxTitle) {
  const bool hasRecipients = stl_->RowCount() > 0;
  const std::string& subject = txtSubject_->Text();
  const std::string& message = txtMessage_->Text();
  auto fail = [&](const char* prompt, ui::Control& focus) {
    ShowMessage(prompt, msgbox::Critical, sMsgBoxTitle);
    TryFocus(focus);
    return false;
  };

  const rules::EmailTextProblems problems = rules::CheckEmailTexts(hasRecipients, subject, message);
  if (problems.subjectEmpty) return fail("Please enter a Subject for the E-mail.", *txtSubject_);
  if (problems.messageEmpty) return fail("Please enter a Message for the E-Mail.", *txtMessage_);
  if (problems.textWithoutRecipient)
    return fail("You have specified a Subject and/or Message.  Please enter an E-mail Address.", *txtAddress_);
  return true;
}

void XEventEmailTab::LoadEmailViewState() {
  auto entry = GetAppContext()->Settings()->Item(Variant(kViewStateKey));
  const Variant value = entry->Value();
  // A store that holds nothing (empty or null) means no remembered layout.
  stl_->Columns()->SetLayoutState(value.IsNull() ? std::string() : value.ToString());
  stl_->ApplyColumnLayout();
}

void XEventEmailTab::SaveEmailViewState() {
  stl_->CaptureColumnLayout();
  auto entry = GetAppContext()->Settings()->Item(Variant(kViewStateKey));
  entry->SetValue(Variant(stl_->Columns()->LayoutState()));
}

std::shared_ptr<ListColumnSet> XEventEmailTab::BuildListColumns() {
  auto columns = GetControlLibrary()->NewListColumnSet();
  columns->Add(GetUiServices()->NewListColumn(kAddressColumn, "E-Mail Address", 5000.0f, 0, true, 0), "", "");
  return columns;
}

// ---------------------------------------------------------------------------
// Subject, message and the reset buttons

void XEventEmailTab::txtSubject_Change() {
  if (!filling_) NotifyHostChanged();
}

void XEventEmailTab::txtMessage_Change() {
  if (!filling_) NotifyHostChanged();
}

void XEventEmailTab::cmdResetSubject_Click() {
  txtSubject_->SetText(kDefaultText);
  txtSubject_->SetFocus();
  UpdateCommandStates();
  NotifyHostChanged();
}

void XEventEmailTab::cmdResetMessage_Click() {
  txtMessage_->SetText(kDefaultText);
  txtMessage_->SetFocus();
  UpdateCommandStates();
  NotifyHostChanged();
}

// ---------------------------------------------------------------------------
// Recipient editing

void XEventEmailTab::txtAddress_Change() {
  if (filling_) return;
  changed_ = !Trimmed(txtAddress_->Text()).empty() && !selecting_;
  UpdateCommandStates();
}

void XEventEmailTab::txtAddress_KeyPress(ui::KeyPressArgs& e) { TakeEnterForApply(e, *cmdApply_, enterPending_); }

void XEventEmailTab::txtAddress_KeyUp(ui::KeyEventArgs&) {
  // Any release ends a pending Enter, before Apply runs: a refused or
  // skipped Apply must not fire again on some later key.
  const bool pending = std::exchange(enterPending_, false);
  if (pending && !txtAddress_->Text().empty()) ApplyAddress();
}

void XEventEmailTab::UserControl_KeyUp(ui::KeyEventArgs& e) {
  // Enter pressed in the address field but released elsewhere runs nothing.
  if (ActiveControl() != txtAddress_.get()) enterPending_ = false;
  if (e.KeyCode == ui::keys::Delete && ActiveControl() == stl_.get() && stl_->SelectedCount() > 0) DeleteRecipients();
}

void XEventEmailTab::cmdNew_Click() { NewRecipient(); }
void XEventEmailTab::cmdApply_Click() { ApplyAddress(); }
void XEventEmailTab::cmdDelete_Click() { DeleteRecipients(); }
void XEventEmailTab::mnuPopupDelete_Click() { DeleteRecipients(); }
void XEventEmailTab::stl_SelectionChanged() { ShowSelection(); }

void XEventEmailTab::stl_ContextMenu(float x, float y) {
  if (stl_->SelectedCount() >= 1) ShowPopupMenu(*mnuPopup_, x, y);
}

std::shared_ptr<EmailRecipient> XEventEmailTab::SelectedRecipient() const {
  auto recipient = std::dynamic_pointer_cast<EmailRecipient>(stl_->SelectedItems()->Item(1));
  if (!recipient) throw Error(ErrorCode::TypeMismatch, "Type mismatch: the selected row is no recipient");
  return recipient;
}

std::string XEventEmailTab::TrimmedAddress() const { return Trimmed(txtAddress_->Text()); }

bool XEventEmailTab::HasUnappliedEntry() const {
  const std::string address = TrimmedAddress();
  if (!changed_ || address.empty()) return false;
  if (editMode_ == quillmont::EditMode::AddNew) return true;
  return stl_->SelectedItems()->Count() == 1 && SelectedRecipient()->Address() != address;
}

void XEventEmailTab::ShowSelection() {
  {
    FlagGuard selecting(selecting_, true);
    if (stl_->RowCount() >= 1 && stl_->SelectedItems()->Count() == 1) {
      txtAddress_->SetText(SelectedRecipient()->Address());
      editMode_ = quillmont::EditMode::EditSelected;
    } else {
      txtAddress_->SetText("");
      editMode_ = quillmont::EditMode::AddNew;
    }
    // Also when the field already held that text and raised no change.
    changed_ = false;
  }
  UpdateCommandStates();
}

void XEventEmailTab::NewRecipient() {
  stl_->ClearSelection();
  txtAddress_->SetText("");
  changed_ = false;
  editMode_ = quillmont::EditMode::AddNew;
  // Enable the field before focusing it: a selection change that failed half
  // way may have left it disabled with no row selected, and New is how the
  // user starts over.
  UpdateCommandStates();
  txtAddress_->SetFocus();
  NotifyHostChanged();
}

void XEventEmailTab::ApplyAddress() {
  if (editMode_ == quillmont::EditMode::AddNew)
    AddRecipient();
  else
    UpdateRecipient();
  UpdateCommandStates();
  NotifyHostChanged();
}

void XEventEmailTab::AddRecipient() {
  const std::string address = TrimmedAddress();
  if (!definition_) return;  // no definition: nothing to add to (the fields are closed anyway)
  if (CheckAddress(nullptr)) {
    const std::string ownerKey = definition_->RecipientOwnerKey();
    auto recipient = GetDefinitionLibrary()->NewEmailRecipient();
    recipient->Init(Variant(ownerKey), address, Variant());
    stl_->AddRow(recipient);
    stl_->ShowRow(stl_->RowCount() - 1);  // the new row in view
    txtAddress_->SetText("");
    changed_ = false;
  }
  txtAddress_->SetFocus();
}

void XEventEmailTab::UpdateRecipient() {
  const std::string address = TrimmedAddress();
  if (stl_->SelectedItems()->Count() != 1) return;
  auto recipient = SelectedRecipient();
  if (CheckAddress(recipient)) {
    recipient->SetAddress(address);
    stl_->UpdateRow(recipient);
    changed_ = false;
    stl_->SetFocus();
  } else {
    txtAddress_->SetFocus();
  }
}

bool XEventEmailTab::CheckAddress(const std::shared_ptr<EmailRecipient>& addrNew) {
  const std::string address = TrimmedAddress();
  if (GetAppContext()->IsValidEmailAddress(address)) return ConfirmDuplicate(addrNew);
  ShowMessage("Invalid Email Address: " + address, msgbox::OkOnly, "");
  return false;
}

bool XEventEmailTab::ConfirmDuplicate(const std::shared_ptr<EmailRecipient>& addrNew) {
  if (AddressExists(addrNew)) {
    const std::string prompt = "This Email (" + TrimmedAddress() +
                               ") already exists in the list.\r\nWould you like to add the address anyway?";
    if (ShowMessage(prompt, msgbox::YesNoExclamation, kAddTitle) == msgbox::AnswerNo) return false;
  }
  return true;
}

bool XEventEmailTab::AddressExists(std::shared_ptr<EmailRecipient> addrNew) {
  const std::string address = TrimmedAddress();
  auto ui = GetUiServices();
  const auto items = stl_->Items();
  const int count = items->Count();
  for (int i = 1; i <= count; ++i) {
    const auto item = items->Item(i);
    auto recipient = std::dynamic_pointer_cast<EmailRecipient>(item);
    if (!recipient) continue;
    if (ui->TextEquals(recipient->Address(), address, false) && recipient != addrNew) return true;
  }
  return false;
}

void XEventEmailTab::DeleteRecipients() {
  const int count = stl_->SelectedCount();
  // Every entry point offers deletion only with a selection.
  if (count < 1) return;
  // One row: name the recipient that goes, not whatever the field now holds.
  const std::string prompt =
      count == 1 ? "Do you really want to delete this Email Address (" + SelectedRecipient()->Address() + ")?"
                 : "Do you really want to delete these " + std::to_string(count) + " Email Addresses?";
  if (!RemoveSelectedRowsIfConfirmed(*stl_, prompt, kDeleteTitle)) return;
  UpdateCommandStates();
  NotifyHostChanged();
}

void XEventEmailTab::UpdateCommandStates() {
  // Without a definition there is nothing to edit.
  const bool bound = definition_ != nullptr;
  ui::Control* const closed[] = {txtSubject_.get(), txtMessage_.get(), cmdResetSubject_.get(), cmdResetMessage_.get(),
                                 cmdNew_.get()};
  for (ui::Control* control : closed) control->SetEnabled(bound);
  const int selected = stl_->SelectedCount();
  cmdApply_->SetEnabled(bound && !txtAddress_->Text().empty() && changed_);
  cmdDelete_->SetEnabled(bound && selected > 0);
  txtAddress_->SetEnabled(bound && selected <= 1);
}

void XEventEmailTab::NotifyHostChanged() {
  // Held for the call: the host may load the page again from inside it.
  if (auto host = cdtnNotify_.lock()) host->MarkChanged();
}

}  // namespace quillmont
