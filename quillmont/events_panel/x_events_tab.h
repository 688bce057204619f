#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "quillmont/events_panel/udt_event_group_types.h"
#include "quillmont/framework/components.h"
#include "quillmont/framework/definition.h"
#include "quillmont/framework/tab_contract.h"
#include "quillmont/platform/export.h"
#include "quillmont/platform/ui/controls.h"

namespace quillmont {

// The page on which the user chooses the event types that trigger a
// notification: a selector of available and chosen event types, and a group
// filter over the available ones. Chosen rows survive every filter change.
class QUILLMONT_API XEventsTab : public ui::UserControl, public IFolioControl {
 public:
  // Design size and minimum (see IFolioControl): 379 x 314 px and 189 x 68 px.
  static constexpr float kDesignWidth = 5685;
  static constexpr float kDesignHeight = 4710;
  static constexpr float kMinimumWidth = 2835;
  static constexpr float kMinimumHeight = 1020;

  static std::shared_ptr<XEventsTab> Create();

  // Hosts use Create.
  XEventsTab();
  ~XEventsTab() override;

  // IFolioControl, in the contract's order.
  bool HandleTabProcess(const std::string& sProcess) override;
  bool IsTabValid(const std::string& sMsgBoxTitle) override;
  void LoadState() override;
  void SaveData() override;
  void LoadData(const Variant& v, const std::string& sName, std::shared_ptr<TabHost> dtN) override;
  void SaveState() override;

  // The designed controls.
  ui::Frame& fraEvents() const noexcept { return *fraEvents_; }
  ui::Label& lblEvent() const noexcept { return *lblEvent_; }
  ui::ComboBox& cboGroupEvents() const noexcept { return *cboGroupEvents_; }
  XSelector& xEvents() const noexcept { return *xEvents_; }

  // Panel state, read-only.
  const std::shared_ptr<NotificationDefinition>& Definition() const noexcept { return definition_; }
  // The tab container of the latest LoadData while the host keeps it alive.
  std::shared_ptr<TabHost> cdtnNotify() const noexcept { return cdtnNotify_.lock(); }
  bool Filling() const noexcept { return filling_; }
  // Index 0 is the empty record; 1..n the groups in record order. Empty
  // until groups were read.
  const std::vector<udt_EventGroupTypes>& GroupTypes() const noexcept { return groupTypes_; }
  // The name of the first group (from index 0 up) with this number; "" when
  // none has it.
  const std::string& GroupNameOf(std::int32_t groupId) const;

  // Arranges the children for the panel's present size; raised by Resize.
  void UserControl_Resize();

 private:
  QUILLMONT_LOCAL void CreateControls();

  QUILLMONT_LOCAL void PrepareLists();
  QUILLMONT_LOCAL void LoadGroupTypes();
  QUILLMONT_LOCAL void FillGroupFilter();
  QUILLMONT_LOCAL void AddSelectorColumns();
  QUILLMONT_LOCAL void ClearChosenRows();
  QUILLMONT_LOCAL void FillAvailable(std::int32_t groupId);
  QUILLMONT_LOCAL std::shared_ptr<EventTypeCollection> StoredEventTypes(const NotificationDefinition& definition);
  QUILLMONT_LOCAL void ShowNoDefinition() noexcept;
  QUILLMONT_LOCAL void EnableEditing() noexcept;
  QUILLMONT_LOCAL void ChooseEventTypes(const std::shared_ptr<EventTypeCollection>& eventTypes);
  QUILLMONT_LOCAL void NotifyHostChanged();

  QUILLMONT_LOCAL void cboGroupEvents_Click();
  QUILLMONT_LOCAL void xEvents_ChosenRowsChanged();
  QUILLMONT_LOCAL void xEvents_ChosenRowsRemoved();
  QUILLMONT_LOCAL void UserControl_Terminate() noexcept;

  std::shared_ptr<ui::Frame> fraEvents_;
  std::shared_ptr<ui::Label> lblEvent_;
  std::shared_ptr<ui::ComboBox> cboGroupEvents_;
  std::shared_ptr<XSelector> xEvents_;

  std::shared_ptr<NotificationDefinition> definition_;
  // Not owned: the host owns its container, which may own this page.
  std::weak_ptr<TabHost> cdtnNotify_;
  std::shared_ptr<EventTypeReader> reader_;
  bool filling_ = false;
  // The last LoadData failed: the page shows no definition's data and
  // SaveData refuses until a load succeeds.
  bool loadFailed_ = false;
  std::vector<udt_EventGroupTypes> groupTypes_;
  // Group number -> name of its first record, so the filter stays linear.
  std::unordered_map<std::int32_t, std::string> groupNames_;
};

}  // namespace quillmont
