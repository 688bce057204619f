#pragma once

#include <memory>
#include <string>

#include "quillmont/framework/components.h"
#include "quillmont/framework/definition.h"
#include "quillmont/framework/edit_mode.h"
#include "quillmont/framework/services.h"
#include "quillmont/framework/tab_contract.h"
#include "quillmont/platform/export.h"
#include "quillmont/platform/ui/controls.h"
#include "quillmont/rules/fields.h"

namespace quillmont {

// The e-mail page of the notification editor: the recipients of a
// notification (one address per row), and the subject and message text of
// the e-mail. The list holds a working copy that SaveData hands to the
// definition.
class QUILLMONT_API XEventEmailTab : public ui::UserControl, public IFolioControl {
 public:
  // What the subject and message fields show when the definition has no text
  // of its own; saved back as a null text.
  static constexpr const char* kDefaultText = rules::kDefaultText;

  // Design size and minimum (see IFolioControl): 426 x 410 px and 194 x 268 px.
  static constexpr float kDesignWidth = 6390;
  static constexpr float kDesignHeight = 6150;
  static constexpr float kMinimumWidth = 2910;
  static constexpr float kMinimumHeight = 4020;

  static std::shared_ptr<XEventEmailTab> Create();
  XEventEmailTab();
  ~XEventEmailTab() override;

  // The tab contract.
  bool HandleTabProcess(const std::string& sProcess) override;
  bool IsTabValid(const std::string& sMsgBoxTitle) override;
  void LoadState() override;
  void SaveData() override;
  void LoadData(const Variant& v, const std::string& sName, std::shared_ptr<TabHost> dtN) override;
  void SaveState() override;

  // True when a row other than addrNew holds the address now in the address
  // field (trimmed).
  bool AddressExists(std::shared_ptr<EmailRecipient> addrNew = nullptr);

  // Whether the address field holds an edit not applied to the list: an
  // address typed but not added, or a change to the selected one not
  // applied. Not part of the tab contract: a host asks it before it saves or
  // closes.
  bool HasUnappliedEntry() const;

  // Arranges the children for the panel's present size.
  void LayoutControls();

  // The designed controls.
  ui::Label& lblSubject() { return *lblSubject_; }
  ui::TextBox& txtSubject() { return *txtSubject_; }
  ui::CommandButton& cmdResetSubject() { return *cmdResetSubject_; }
  ui::Label& lblMessage() { return *lblMessage_; }
  ui::TextBox& txtMessage() { return *txtMessage_; }
  ui::CommandButton& cmdResetMessage() { return *cmdResetMessage_; }
  ui::Frame& fraRecipients() { return *fraRecipients_; }
  XStaticList& stl() { return *stl_; }
  ui::Label& lblAddress() { return *lblAddress_; }
  ui::TextBox& txtAddress() { return *txtAddress_; }
  ui::CommandButton& cmdNew() { return *cmdNew_; }
  ui::CommandButton& cmdDelete() { return *cmdDelete_; }
  ui::CommandButton& cmdApply() { return *cmdApply_; }
  ui::PopupMenu& mnuPopup() { return *mnuPopup_; }
  ui::MenuItem& mnuPopupDelete() { return *mnuPopupDelete_; }

  // Panel state, read-only.
  const std::shared_ptr<NotificationDefinition>& Definition() const noexcept { return definition_; }
  // The tab container of the latest LoadData while the host keeps it alive.
  std::shared_ptr<TabHost> cdtnNotify() const noexcept { return cdtnNotify_.lock(); }
  const std::string& TabKey() const noexcept { return tabKey_; }
  quillmont::EditMode EditMode() const noexcept { return editMode_; }
  bool Filling() const noexcept { return filling_; }
  bool Changed() const noexcept { return changed_; }
  bool Selecting() const noexcept { return selecting_; }
  bool EnterPending() const noexcept { return enterPending_; }

 private:
  // Layout file: the designed controls and the pop-up menu.
  QUILLMONT_LOCAL void CreateControls();
  QUILLMONT_LOCAL void UserControl_Resize();

  // Contract steps.
  struct StoredEmail;
  QUILLMONT_LOCAL void Fill(const Variant& v);
  // The subject, message and address fields emptied, as the page's own change.
  QUILLMONT_LOCAL void BlankFields();
  QUILLMONT_LOCAL static StoredEmail ReadStoredEmail(NotificationDefinition& definition);
  QUILLMONT_LOCAL void LoadEmailData(bool isNew, const StoredEmail& stored);
  QUILLMONT_LOCAL void LoadEmailDefaults();
  QUILLMONT_LOCAL void ReadEmailDefinition(const StoredEmail& stored);
  QUILLMONT_LOCAL void ShowNoDefinition() noexcept;
  QUILLMONT_LOCAL void SaveEmailData();
  QUILLMONT_LOCAL bool ValidateEmailTab(const std::string& sMsgBoxTitle);
  QUILLMONT_LOCAL void LoadEmailViewState();
  QUILLMONT_LOCAL void SaveEmailViewState();
  QUILLMONT_LOCAL std::shared_ptr<ListColumnSet> BuildListColumns();
  QUILLMONT_LOCAL NotificationDefinition& BoundDefinition() const;

  // Event handlers.
  QUILLMONT_LOCAL void txtSubject_Change();
  QUILLMONT_LOCAL void txtMessage_Change();
  QUILLMONT_LOCAL void txtAddress_Change();
  QUILLMONT_LOCAL void txtAddress_KeyPress(ui::KeyPressArgs& e);
  QUILLMONT_LOCAL void txtAddress_KeyUp(ui::KeyEventArgs& e);
  QUILLMONT_LOCAL void UserControl_KeyUp(ui::KeyEventArgs& e);
  QUILLMONT_LOCAL void cmdResetSubject_Click();
  QUILLMONT_LOCAL void cmdResetMessage_Click();
  QUILLMONT_LOCAL void cmdNew_Click();
  QUILLMONT_LOCAL void cmdApply_Click();
  QUILLMONT_LOCAL void cmdDelete_Click();
  QUILLMONT_LOCAL void mnuPopupDelete_Click();
  QUILLMONT_LOCAL void stl_SelectionChanged();
  QUILLMONT_LOCAL void stl_ContextMenu(float x, float y);

  // Recipient editing.
  QUILLMONT_LOCAL void ShowSelection();
  QUILLMONT_LOCAL void NewRecipient();
  QUILLMONT_LOCAL void ApplyAddress();
  QUILLMONT_LOCAL void AddRecipient();
  QUILLMONT_LOCAL void UpdateRecipient();
  QUILLMONT_LOCAL bool CheckAddress(const std::shared_ptr<EmailRecipient>& addrNew);
  QUILLMONT_LOCAL bool ConfirmDuplicate(const std::shared_ptr<EmailRecipient>& addrNew);
  QUILLMONT_LOCAL void DeleteRecipients();
  QUILLMONT_LOCAL std::shared_ptr<EmailRecipient> SelectedRecipient() const;
  QUILLMONT_LOCAL std::string TrimmedAddress() const;

  QUILLMONT_LOCAL void UpdateCommandStates();
  QUILLMONT_LOCAL void NotifyHostChanged();

  std::shared_ptr<ui::Label> lblSubject_;
  std::shared_ptr<ui::TextBox> txtSubject_;
  std::shared_ptr<ui::CommandButton> cmdResetSubject_;
  std::shared_ptr<ui::Label> lblMessage_;
  std::shared_ptr<ui::TextBox> txtMessage_;
  std::shared_ptr<ui::CommandButton> cmdResetMessage_;
  std::shared_ptr<ui::Frame> fraRecipients_;
  std::shared_ptr<XStaticList> stl_;
  std::shared_ptr<ui::Label> lblAddress_;
  std::shared_ptr<ui::TextBox> txtAddress_;
  std::shared_ptr<ui::CommandButton> cmdNew_;
  std::shared_ptr<ui::CommandButton> cmdDelete_;
  std::shared_ptr<ui::CommandButton> cmdApply_;
  std::shared_ptr<ui::PopupMenu> mnuPopup_;
  std::shared_ptr<ui::MenuItem> mnuPopupDelete_;

  std::shared_ptr<TextBoxExtension> addressExtension_;
  std::shared_ptr<TextBoxExtension> messageExtension_;
  std::shared_ptr<TextBoxExtension> subjectExtension_;

  std::shared_ptr<NotificationDefinition> definition_;
  // Not owned: the host owns its container, which may own this page.
  std::weak_ptr<TabHost> cdtnNotify_;
  std::string tabKey_;
  quillmont::EditMode editMode_ = quillmont::EditMode::AddNew;
  bool filling_ = false;
  // The last LoadData failed: the page shows no definition's data and
  // SaveData refuses until a load succeeds.
  bool loadFailed_ = false;
  bool changed_ = false;
  bool selecting_ = false;
  bool enterPending_ = false;
};

}  // namespace quillmont
