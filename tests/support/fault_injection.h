#pragma once

#include <memory>
#include <string>
#include <vector>

#include "quillmont/controls/column_set.h"
#include "quillmont/controls/selector.h"
#include "quillmont/controls/static_list.h"
#include "quillmont/framework/components.h"
#include "quillmont/framework/definition.h"
#include "quillmont/framework/services.h"
#include "quillmont/platform/error.h"

// Outside components that fail on a chosen call, for tests of what a panel
// does when a component throws. Every wrapper reports each call of its
// methods to a FaultPlan, which throws quillmont::Error on the armed call.
// Wrappers sharing a plan share its count.
namespace quillmont::testing {

class FaultPlan {
 public:
  // The n-th call from now (1 = the next one) throws an Error with this
  // code, once. n < 1 disarms.
  void FailOnCall(int n, ErrorCode code = ErrorCode::Failed);
  void Disarm() noexcept { failAt_ = 0; }
  // Counts one call; throws when it is the armed one.
  void Tick(const std::string& operation);

  int Calls() const noexcept { return calls_; }
  bool Fired() const noexcept { return fired_; }
  // "Object.Operation" of every call, in order (for finding the n to arm).
  const std::vector<std::string>& Log() const noexcept { return log_; }
  void ClearLog() { log_.clear(); }

 private:
  int calls_ = 0;
  int failAt_ = 0;
  ErrorCode code_ = ErrorCode::Failed;
  bool fired_ = false;
  std::vector<std::string> log_;
};

class FaultyMessageService : public MessageService {
 public:
  FaultyMessageService(std::shared_ptr<MessageService> inner, std::shared_ptr<FaultPlan> plan)
      : inner_(std::move(inner)), plan_(std::move(plan)) {}
  int ShowMessage(const std::string& prompt, int buttons, const std::string& title, const std::string& helpFile,
                  int helpContext) override;

 private:
  std::shared_ptr<MessageService> inner_;
  std::shared_ptr<FaultPlan> plan_;
};

class FaultyUiServices : public UiServices {
 public:
  FaultyUiServices(std::shared_ptr<UiServices> inner, std::shared_ptr<FaultPlan> plan)
      : inner_(std::move(inner)), plan_(std::move(plan)) {}
  bool TextEquals(const std::string& a, const std::string& b, bool ignoreCase) override;
  bool IsWholeNumberInRange(const std::string& text, const Variant& minimum, const Variant& maximum, Variant& value,
                            std::string& message) override;
  std::shared_ptr<ListColumn> NewListColumn(int columnId, const std::string& caption, float width, int alignment,
                                            bool visible, int sortType) override;
  std::shared_ptr<TextBoxExtension> AttachTextBox(ui::TextBox& textBox) override;
  std::shared_ptr<FocusTarget> GetFocusTarget() override;

 private:
  std::shared_ptr<UiServices> inner_;
  std::shared_ptr<FaultPlan> plan_;
};

class FaultyAppContext : public AppContext {
 public:
  FaultyAppContext(std::shared_ptr<AppContext> inner, std::shared_ptr<FaultPlan> plan)
      : inner_(std::move(inner)), plan_(std::move(plan)) {}
  std::shared_ptr<SettingsCollection> Settings() override;
  bool IsValidEmailAddress(const std::string& address) override;
  std::shared_ptr<EventTypeCollection> EventTypes() override;
  std::shared_ptr<GroupRecordSet> GetEventGroups() override;

 private:
  std::shared_ptr<AppContext> inner_;
  std::shared_ptr<FaultPlan> plan_;
};

class FaultyDefinitionLibrary : public DefinitionLibrary {
 public:
  FaultyDefinitionLibrary(std::shared_ptr<DefinitionLibrary> inner, std::shared_ptr<FaultPlan> plan)
      : inner_(std::move(inner)), plan_(std::move(plan)) {}
  std::shared_ptr<SnmpManager> NewSnmpManager() override;
  std::shared_ptr<SnmpManagerList> NewSnmpManagerList() override;
  std::shared_ptr<EmailRecipient> NewEmailRecipient() override;
  std::shared_ptr<EmailRecipientList> NewEmailRecipientList() override;
  std::shared_ptr<EventTypeSet> NewEventTypeSet() override;
  std::shared_ptr<EventTypeReader> NewEventTypeReader() override;

 private:
  std::shared_ptr<DefinitionLibrary> inner_;
  std::shared_ptr<FaultPlan> plan_;
};

// A definition whose every operation reports to the plan first.
class FaultyNotificationDefinition : public NotificationDefinition {
 public:
  FaultyNotificationDefinition(std::shared_ptr<NotificationDefinition> inner, std::shared_ptr<FaultPlan> plan)
      : inner_(std::move(inner)), plan_(std::move(plan)) {}
  void LoadSnmpDetails() override;
  void LoadEmailDetails() override;
  bool IsNew() const override;
  bool HasSnmp() const override;
  bool HasEmail() const override;
  std::shared_ptr<SnmpManagerList> SnmpManagers() const override;
  void SetSnmpManagers(std::shared_ptr<SnmpManagerList> managers) override;
  std::shared_ptr<EmailRecipientList> EmailRecipients() const override;
  void SetEmailRecipients(std::shared_ptr<EmailRecipientList> recipients) override;
  std::string ManagerOwnerKey() const override;
  std::string RecipientOwnerKey() const override;
  std::string EmailSubject() const override;
  void SetEmailSubject(const std::optional<std::string>& subject) override;
  std::string EmailMessage() const override;
  void SetEmailMessage(const std::optional<std::string>& message) override;
  std::int32_t NotificationID() const override;
  void SetEventGroupID(std::int32_t groupId) override;
  void SetChosenEventTypes(std::shared_ptr<SelectorRows> chosenRows) override;

  const std::shared_ptr<NotificationDefinition>& Inner() const noexcept { return inner_; }

 private:
  std::shared_ptr<NotificationDefinition> inner_;
  std::shared_ptr<FaultPlan> plan_;
};

// The default list whose every list operation (the XStaticList members)
// reports to the plan first. The user's actions on the view do not count.
class FaultyStaticList : public StaticList {
 public:
  FaultyStaticList(std::string name, std::shared_ptr<FaultPlan> plan)
      : StaticList(std::move(name)), plan_(std::move(plan)) {}
  std::shared_ptr<ListColumnSet> Columns() const override;
  void SetColumns(std::shared_ptr<ListColumnSet> columns) override;
  bool ConfigFlag1() const override;
  void SetConfigFlag1(bool on) override;
  bool ConfigFlag2() const override;
  void SetConfigFlag2(bool on) override;
  bool ConfigFlag3() const override;
  void SetConfigFlag3(bool on) override;
  std::shared_ptr<ItemList> Items() const override;
  void SetItems(std::shared_ptr<ItemList> items) override;
  void AddRow(std::shared_ptr<ListItem> item) override;
  void UpdateRow(std::shared_ptr<ListItem> item) override;
  void RemoveRow(std::shared_ptr<ItemList> items) override;
  void RefreshRows() override;
  void SelectRow(int position) override;
  void ClearSelection() override;
  int RowCount() const override;
  int SelectedCount() const override;
  std::shared_ptr<ItemList> SelectedItems() const override;
  void ApplyColumnLayout() override;
  void CaptureColumnLayout() override;
  void SetFocus() override;

 private:
  std::shared_ptr<FaultPlan> plan_;
};

// The default selector whose every selector operation reports to the plan
// first (the accessors of its views and buttons do not count).
class FaultySelector : public Selector {
 public:
  FaultySelector(std::string name, std::shared_ptr<FaultPlan> plan)
      : Selector(std::move(name)), plan_(std::move(plan)) {}
  void AddColumn(const std::string& caption) override;
  int ColumnCount() const override;
  std::string ColumnCaption(int position) const override;
  void SetInitialized(bool on) override;
  bool Initialized() const override;
  void SetFilterText(const std::string& text) override;
  std::string FilterText() const override;
  bool FilterEnabled() const override;
  void SetFilterEnabled(bool on) override;
  int FilterColumnIndex() const override;
  void SetFilterColumnIndex(int index) override;
  void ClearAvailable() override;
  std::shared_ptr<SelectorRow> AddAvailable(const std::string& text, const std::string& key) override;
  void EndFill() override;
  void ChooseItem(const std::string& key) override;
  void FinishLoad(std::int32_t mode) override;
  std::shared_ptr<SelectorRows> ChosenItems() const override;
  std::shared_ptr<SelectorRows> AvailableItems() const override;
  bool IsChosen(const std::string& key) const override;
  bool IsAvailable(const std::string& key) const override;
  void SetFocus() override;

 private:
  std::shared_ptr<FaultPlan> plan_;
};

class FaultyListColumnSet : public ListColumnSet {
 public:
  FaultyListColumnSet(std::shared_ptr<ListColumnSet> inner, std::shared_ptr<FaultPlan> plan)
      : inner_(std::move(inner)), plan_(std::move(plan)) {}
  void Add(std::shared_ptr<ListColumn> column, const std::string& key, const std::string& before) override;
  int Count() const override;
  std::shared_ptr<ListColumn> Item(int position) const override;
  void MoveColumn(int columnId, int position) override;
  std::string LayoutState() const override;
  void SetLayoutState(const std::string& state) override;

 private:
  std::shared_ptr<ListColumnSet> inner_;
  std::shared_ptr<FaultPlan> plan_;
};

// Makes lists and selectors that report to controlPlan. The library's own
// New* calls report to libraryPlan, and its column sets to columnSetPlan,
// when those are given (a list reads its column set often, so sharing the
// list's plan would blur its count); otherwise they count nowhere.
class FaultyControlLibrary : public ControlLibrary {
 public:
  explicit FaultyControlLibrary(std::shared_ptr<FaultPlan> controlPlan, std::shared_ptr<FaultPlan> libraryPlan = {},
                                std::shared_ptr<FaultPlan> columnSetPlan = {})
      : controlPlan_(std::move(controlPlan)),
        libraryPlan_(std::move(libraryPlan)),
        columnSetPlan_(std::move(columnSetPlan)) {}
  std::shared_ptr<XStaticList> NewStaticList(const std::string& name) override;
  std::shared_ptr<XSelector> NewSelector(const std::string& name) override;
  std::shared_ptr<ListColumnSet> NewListColumnSet() override;

  // The controls made last (null when none yet or already released).
  std::shared_ptr<FaultyStaticList> LastList() const { return lastList_.lock(); }
  std::shared_ptr<FaultySelector> LastSelector() const { return lastSelector_.lock(); }

 private:
  void Tick(const std::string& operation);
  std::shared_ptr<FaultPlan> controlPlan_;
  std::shared_ptr<FaultPlan> libraryPlan_;
  std::shared_ptr<FaultPlan> columnSetPlan_;
  std::weak_ptr<FaultyStaticList> lastList_;
  std::weak_ptr<FaultySelector> lastSelector_;
};

}  // namespace quillmont::testing
