#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quillmont/framework/components.h"
#include "quillmont/framework/definition.h"
#include "quillmont/framework/edit_mode.h"
#include "quillmont/framework/services.h"
#include "quillmont/framework/tab_contract.h"
#include "quillmont/platform/export.h"
#include "quillmont/platform/ui/controls.h"

namespace quillmont {

// The SNMP managers page of the notification editor: a list of managers
// (host, port, version, time format) with entry fields to add, change and
// delete them. The list works on a collection of the panel's own; the
// definition receives it as a whole on SaveData.
class QUILLMONT_API XEventSNMPTab : public ui::UserControl, public IFolioControl {
 public:
  // Design size and minimum (see IFolioControl): 448 x 332 px and 195 x 149 px.
  static constexpr float kDesignWidth = 6720;
  static constexpr float kDesignHeight = 4980;
  static constexpr float kMinimumWidth = 2925;
  static constexpr float kMinimumHeight = 2235;

  static std::shared_ptr<XEventSNMPTab> Create();
  XEventSNMPTab();
  ~XEventSNMPTab() override;

  // IFolioControl
  bool HandleTabProcess(const std::string& sProcess) override;
  bool IsTabValid(const std::string& sMsgBoxTitle) override;
  void LoadState() override;
  void SaveData() override;
  void LoadData(const Variant& v, const std::string& sName, std::shared_ptr<TabHost> dtN) override;
  void SaveState() override;

  // Whether a manager of the list other than selectedManager has the host and
  // port now in the entry fields. A port field that holds no whole number
  // matches nothing.
  bool HostPortExists(std::shared_ptr<SnmpManager> selectedManager = nullptr);

  // Whether the entry fields hold an edit not applied to the list: a manager
  // typed but not added, or a change to the selected one not applied. Not
  // part of the tab contract: a host asks it before it saves or closes.
  bool HasUnappliedEntry() const;

  // The designed controls.
  ui::Frame& fraSNMP() const noexcept { return *fraSNMP_; }
  ui::Label& lblHost() const noexcept { return *lblHost_; }
  ui::TextBox& txtHost() const noexcept { return *txtHost_; }
  ui::Label& lblPort() const noexcept { return *lblPort_; }
  ui::TextBox& txtPort() const noexcept { return *txtPort_; }
  ui::Label& lblVersion() const noexcept { return *lblVersion_; }
  ui::ComboBox& cboVersion() const noexcept { return *cboVersion_; }
  ui::Label& lblTimeFormat() const noexcept { return *lblTimeFormat_; }
  ui::ComboBox& cboTimeFormat() const noexcept { return *cboTimeFormat_; }
  ui::CommandButton& cmdNew() const noexcept { return *cmdNew_; }
  ui::CommandButton& cmdDelete() const noexcept { return *cmdDelete_; }
  ui::CommandButton& cmdApply() const noexcept { return *cmdApply_; }
  XStaticList& stl() const noexcept { return *stl_; }
  ui::PopupMenu& mnuPopup() const noexcept { return *mnuPopup_; }
  ui::MenuItem& mnuPopupDelete() const noexcept { return *mnuPopupDelete_; }

  // Panel state, read-only.
  const std::shared_ptr<NotificationDefinition>& Definition() const noexcept { return definition_; }
  // The tab container of the latest LoadData while the host keeps it alive.
  std::shared_ptr<TabHost> cdtnNotify() const noexcept { return cdtnNotify_.lock(); }
  const std::string& TabKey() const noexcept { return tabKey_; }
  quillmont::EditMode EditMode() const noexcept { return editMode_; }
  bool Changed() const noexcept { return changed_; }
  bool Filling() const noexcept { return filling_; }
  bool EnterPending() const noexcept { return enterPending_; }

  // Arranges the controls for the panel's present size (run on every
  // Resize); refusals of single controls are ignored.
  void LayoutControls();
  void UserControl_Resize();

 private:
  // Creation (x_event_snmp_tab_layout.cpp).
  void CreateControls();
  void ConnectHandlers();
  void BuildListColumns();

  // Loading.
  void Fill(const Variant& v);
  void FillChoiceLists();
  static std::vector<std::shared_ptr<SnmpManager>> StoredManagers(NotificationDefinition& definition);
  void ShowManagers(const std::vector<std::shared_ptr<SnmpManager>>& managers);
  void ShowNoDefinition() noexcept;

  // View state.
  void ResetFields();
  void ShowManager(const std::shared_ptr<SnmpManager>& manager);
  void UpdateCommandStates();
  void EnableEntryFields(bool enabled);
  void NotifyHostChanged();
  void OnFieldChanged();

  // User actions.
  void OnListSelectionChanged();
  void StartNewManager();
  void ApplyFields();
  void AddManager();
  void UpdateSelectedManager();
  bool ValidateFields(const std::shared_ptr<SnmpManager>& excluded);
  bool CheckHostPortUnique(const std::shared_ptr<SnmpManager>& excluded);
  void DeleteSelectedManagers();

  // Handlers.
  void cmdNew_Click();
  void cmdApply_Click();
  void cmdDelete_Click();
  void mnuPopupDelete_Click();
  void stl_ContextMenu(float x, float y);
  void txtHost_Change() { OnFieldChanged(); }
  void txtPort_Change() { OnFieldChanged(); }
  void cboVersion_Click() { OnFieldChanged(); }
  void cboTimeFormat_Click() { OnFieldChanged(); }
  void txtHost_KeyPress(ui::KeyPressArgs& e) { EntryField_KeyPress(e); }
  void txtPort_KeyPress(ui::KeyPressArgs& e) { EntryField_KeyPress(e); }
  void cboVersion_KeyPress(ui::KeyPressArgs& e) { EntryField_KeyPress(e); }
  void cboTimeFormat_KeyPress(ui::KeyPressArgs& e) { EntryField_KeyPress(e); }
  void txtHost_KeyUp(ui::KeyEventArgs& e) { EntryField_KeyUp(e); }
  void txtPort_KeyUp(ui::KeyEventArgs& e) { EntryField_KeyUp(e); }
  void cboVersion_KeyUp(ui::KeyEventArgs& e) { EntryField_KeyUp(e); }
  void cboTimeFormat_KeyUp(ui::KeyEventArgs& e) { EntryField_KeyUp(e); }
  void EntryField_KeyPress(ui::KeyPressArgs& e);
  void EntryField_KeyUp(ui::KeyEventArgs& e);
  void UserControl_KeyUp(ui::KeyEventArgs& e);

  std::shared_ptr<ui::Frame> fraSNMP_;
  std::shared_ptr<ui::Label> lblHost_;
  std::shared_ptr<ui::TextBox> txtHost_;
  std::shared_ptr<ui::Label> lblPort_;
  std::shared_ptr<ui::TextBox> txtPort_;
  std::shared_ptr<ui::Label> lblVersion_;
  std::shared_ptr<ui::ComboBox> cboVersion_;
  std::shared_ptr<ui::Label> lblTimeFormat_;
  std::shared_ptr<ui::ComboBox> cboTimeFormat_;
  std::shared_ptr<ui::CommandButton> cmdNew_;
  std::shared_ptr<ui::CommandButton> cmdDelete_;
  std::shared_ptr<ui::CommandButton> cmdApply_;
  std::shared_ptr<XStaticList> stl_;
  std::shared_ptr<ui::PopupMenu> mnuPopup_;
  std::shared_ptr<ui::MenuItem> mnuPopupDelete_;

  std::shared_ptr<NotificationDefinition> definition_;
  // Not owned: the host owns its container, which may own this page.
  std::weak_ptr<TabHost> cdtnNotify_;
  std::string tabKey_;
  quillmont::EditMode editMode_ = quillmont::EditMode::AddNew;
  bool changed_ = false;
  bool filling_ = false;
  // The last LoadData failed: the page shows no definition's data and
  // SaveData refuses until a load succeeds.
  bool loadFailed_ = false;
  bool enterPending_ = false;
  std::shared_ptr<TextBoxExtension> txtHostExtension_;
  std::shared_ptr<TextBoxExtension> txtPortExtension_;
};

}  // namespace quillmont
