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
  QUILLMONT_LOCAL void CreateControls();
  QUILLMONT_LOCAL void ConnectHandlers();
  QUILLMONT_LOCAL void BuildListColumns();

  // Loading.
  QUILLMONT_LOCAL void Fill(const Variant& v);
  QUILLMONT_LOCAL void FillChoiceLists();
  QUILLMONT_LOCAL static std::vector<std::shared_ptr<SnmpManager>> StoredManagers(NotificationDefinition& definition);
  QUILLMONT_LOCAL void ShowManagers(const std::vector<std::shared_ptr<SnmpManager>>& managers);
  QUILLMONT_LOCAL void ShowNoDefinition() noexcept;

  // View state.
  QUILLMONT_LOCAL void ResetFields();
  QUILLMONT_LOCAL void ShowManager(const std::shared_ptr<SnmpManager>& manager);
  QUILLMONT_LOCAL void UpdateCommandStates();
  QUILLMONT_LOCAL void EnableEntryFields(bool enabled);
  QUILLMONT_LOCAL void NotifyHostChanged();
  QUILLMONT_LOCAL void OnFieldChanged();

  // User actions.
  QUILLMONT_LOCAL void OnListSelectionChanged();
  QUILLMONT_LOCAL void StartNewManager();
  QUILLMONT_LOCAL void ApplyFields();
  QUILLMONT_LOCAL void AddManager();
  QUILLMONT_LOCAL void UpdateSelectedManager();
  QUILLMONT_LOCAL bool ValidateFields(const std::shared_ptr<SnmpManager>& excluded);
  QUILLMONT_LOCAL bool CheckHostPortUnique(const std::shared_ptr<SnmpManager>& excluded);
  QUILLMONT_LOCAL void DeleteSelectedManagers();

  // Handlers.
  QUILLMONT_LOCAL void cmdNew_Click();
  QUILLMONT_LOCAL void cmdApply_Click();
  QUILLMONT_LOCAL void cmdDelete_Click();
  QUILLMONT_LOCAL void mnuPopupDelete_Click();
  QUILLMONT_LOCAL void stl_ContextMenu(float x, float y);
  QUILLMONT_LOCAL void EntryField_KeyPress(ui::KeyPressArgs& e);
  QUILLMONT_LOCAL void EntryField_KeyUp(ui::KeyEventArgs& e);
  QUILLMONT_LOCAL void UserControl_KeyUp(ui::KeyEventArgs& e);

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
