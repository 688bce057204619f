#pragma once

#include <functional>
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

// Each wrapper method reports the call, then does what the wrapped object
// (or, for the controls, the default base class) does.
#define QM_FORWARD(object, call) \
  plan_->Tick(object "." #call); \
  return inner_->call
#define QM_BASE(object, base, call) \
  plan_->Tick(object "." #call);    \
  return base::call

// The members every wrapper of an inner object holds.
template <class Interface>
class Wrapper : public Interface {
 public:
  Wrapper(std::shared_ptr<Interface> inner, std::shared_ptr<FaultPlan> plan)
      : inner_(std::move(inner)), plan_(std::move(plan)) {}

 protected:
  std::shared_ptr<Interface> inner_;
  std::shared_ptr<FaultPlan> plan_;
};

class FaultyMessageService : public Wrapper<MessageService> {
 public:
  using Wrapper::Wrapper;
  int ShowMessage(const std::string& prompt, int buttons, const std::string& title, const std::string& helpFile,
                  int helpContext) override {
    QM_FORWARD("MessageService", ShowMessage)(prompt, buttons, title, helpFile, helpContext);
  }
};

class FaultyUiServices : public Wrapper<UiServices> {
 public:
  using Wrapper::Wrapper;
  bool TextEquals(const std::string& a, const std::string& b, bool ignoreCase) override {
    QM_FORWARD("UiServices", TextEquals)(a, b, ignoreCase);
  }
  bool IsWholeNumberInRange(const std::string& text, const Variant& minimum, const Variant& maximum, Variant& value,
                            std::string& message) override {
    QM_FORWARD("UiServices", IsWholeNumberInRange)(text, minimum, maximum, value, message);
  }
  std::shared_ptr<ListColumn> NewListColumn(int columnId, const std::string& caption, float width, int alignment,
                                            bool visible, int sortType) override {
    QM_FORWARD("UiServices", NewListColumn)(columnId, caption, width, alignment, visible, sortType);
  }
  std::shared_ptr<TextBoxExtension> AttachTextBox(ui::TextBox& textBox) override {
    QM_FORWARD("UiServices", AttachTextBox)(textBox);
  }
  std::shared_ptr<FocusTarget> GetFocusTarget() override { QM_FORWARD("UiServices", GetFocusTarget)(); }
};

class FaultyAppContext : public Wrapper<AppContext> {
 public:
  using Wrapper::Wrapper;
  std::shared_ptr<SettingsCollection> Settings() override { QM_FORWARD("AppContext", Settings)(); }
  bool IsValidEmailAddress(const std::string& address) override {
    QM_FORWARD("AppContext", IsValidEmailAddress)(address);
  }
  std::shared_ptr<EventTypeCollection> EventTypes() override { QM_FORWARD("AppContext", EventTypes)(); }
  std::shared_ptr<GroupRecordSet> GetEventGroups() override { QM_FORWARD("AppContext", GetEventGroups)(); }
};

class FaultyDefinitionLibrary : public Wrapper<DefinitionLibrary> {
 public:
  using Wrapper::Wrapper;
  std::shared_ptr<SnmpManager> NewSnmpManager() override { QM_FORWARD("DefinitionLibrary", NewSnmpManager)(); }
  std::shared_ptr<SnmpManagerList> NewSnmpManagerList() override {
    QM_FORWARD("DefinitionLibrary", NewSnmpManagerList)();
  }
  std::shared_ptr<EmailRecipient> NewEmailRecipient() override { QM_FORWARD("DefinitionLibrary", NewEmailRecipient)(); }
  std::shared_ptr<EmailRecipientList> NewEmailRecipientList() override {
    QM_FORWARD("DefinitionLibrary", NewEmailRecipientList)();
  }
  std::shared_ptr<EventTypeSet> NewEventTypeSet() override { QM_FORWARD("DefinitionLibrary", NewEventTypeSet)(); }
  std::shared_ptr<EventTypeReader> NewEventTypeReader() override {
    QM_FORWARD("DefinitionLibrary", NewEventTypeReader)();
  }
};

// A definition whose every operation reports to the plan first.
class FaultyNotificationDefinition : public Wrapper<NotificationDefinition> {
 public:
  using Wrapper::Wrapper;
  void LoadSnmpDetails() override { QM_FORWARD("Definition", LoadSnmpDetails)(); }
  void LoadEmailDetails() override { QM_FORWARD("Definition", LoadEmailDetails)(); }
  bool IsNew() const override { QM_FORWARD("Definition", IsNew)(); }
  bool HasSnmp() const override { QM_FORWARD("Definition", HasSnmp)(); }
  bool HasEmail() const override { QM_FORWARD("Definition", HasEmail)(); }
  std::shared_ptr<SnmpManagerList> SnmpManagers() const override { QM_FORWARD("Definition", SnmpManagers)(); }
  void SetSnmpManagers(std::shared_ptr<SnmpManagerList> managers) override {
    QM_FORWARD("Definition", SetSnmpManagers)(std::move(managers));
  }
  std::shared_ptr<EmailRecipientList> EmailRecipients() const override { QM_FORWARD("Definition", EmailRecipients)(); }
  void SetEmailRecipients(std::shared_ptr<EmailRecipientList> recipients) override {
    QM_FORWARD("Definition", SetEmailRecipients)(std::move(recipients));
  }
  std::string ManagerOwnerKey() const override { QM_FORWARD("Definition", ManagerOwnerKey)(); }
  std::string RecipientOwnerKey() const override { QM_FORWARD("Definition", RecipientOwnerKey)(); }
  std::string EmailSubject() const override { QM_FORWARD("Definition", EmailSubject)(); }
  void SetEmailSubject(const std::optional<std::string>& subject) override {
    QM_FORWARD("Definition", SetEmailSubject)(subject);
  }
  std::string EmailMessage() const override { QM_FORWARD("Definition", EmailMessage)(); }
  void SetEmailMessage(const std::optional<std::string>& message) override {
    QM_FORWARD("Definition", SetEmailMessage)(message);
  }
  std::int32_t NotificationID() const override { QM_FORWARD("Definition", NotificationID)(); }
  void SetEventGroupID(std::int32_t groupId) override { QM_FORWARD("Definition", SetEventGroupID)(groupId); }
  void SetChosenEventTypes(std::shared_ptr<SelectorRows> chosenRows) override {
    QM_FORWARD("Definition", SetChosenEventTypes)(std::move(chosenRows));
  }
  std::shared_ptr<EventTypeCollection> StoredEventTypes() const override {
    QM_FORWARD("Definition", StoredEventTypes)();
  }
};

// The default list whose every list operation (the XStaticList members)
// reports to the plan first. The user's actions on the view do not count.
class FaultyStaticList : public StaticList {
 public:
  FaultyStaticList(std::string name, std::shared_ptr<FaultPlan> plan)
      : StaticList(std::move(name)), plan_(std::move(plan)) {}
  std::shared_ptr<ListColumnSet> Columns() const override { QM_BASE("XStaticList", StaticList, Columns)(); }
  void SetColumns(std::shared_ptr<ListColumnSet> columns) override {
    QM_BASE("XStaticList", StaticList, SetColumns)(std::move(columns));
  }
  bool ConfigFlag1() const override { QM_BASE("XStaticList", StaticList, ConfigFlag1)(); }
  void SetConfigFlag1(bool on) override { QM_BASE("XStaticList", StaticList, SetConfigFlag1)(on); }
  bool ConfigFlag2() const override { QM_BASE("XStaticList", StaticList, ConfigFlag2)(); }
  void SetConfigFlag2(bool on) override { QM_BASE("XStaticList", StaticList, SetConfigFlag2)(on); }
  bool ConfigFlag3() const override { QM_BASE("XStaticList", StaticList, ConfigFlag3)(); }
  void SetConfigFlag3(bool on) override { QM_BASE("XStaticList", StaticList, SetConfigFlag3)(on); }
  std::shared_ptr<ItemList> Items() const override { QM_BASE("XStaticList", StaticList, Items)(); }
  void SetItems(std::shared_ptr<ItemList> items) override {
    QM_BASE("XStaticList", StaticList, SetItems)(std::move(items));
  }
  void AddRow(std::shared_ptr<ListItem> item) override { QM_BASE("XStaticList", StaticList, AddRow)(std::move(item)); }
  void UpdateRow(std::shared_ptr<ListItem> item) override {
    QM_BASE("XStaticList", StaticList, UpdateRow)(std::move(item));
  }
  void RemoveRow(std::shared_ptr<ItemList> items) override {
    QM_BASE("XStaticList", StaticList, RemoveRow)(std::move(items));
  }
  void RefreshRows() override { QM_BASE("XStaticList", StaticList, RefreshRows)(); }
  void SelectRow(int position) override { QM_BASE("XStaticList", StaticList, SelectRow)(position); }
  void ClearSelection() override { QM_BASE("XStaticList", StaticList, ClearSelection)(); }
  int RowCount() const override { QM_BASE("XStaticList", StaticList, RowCount)(); }
  int SelectedCount() const override { QM_BASE("XStaticList", StaticList, SelectedCount)(); }
  std::shared_ptr<ItemList> SelectedItems() const override { QM_BASE("XStaticList", StaticList, SelectedItems)(); }
  void ApplyColumnLayout() override { QM_BASE("XStaticList", StaticList, ApplyColumnLayout)(); }
  void CaptureColumnLayout() override { QM_BASE("XStaticList", StaticList, CaptureColumnLayout)(); }
  void SetFocus() override { QM_BASE("XStaticList", StaticList, SetFocus)(); }

 private:
  std::shared_ptr<FaultPlan> plan_;
};

// The default selector whose every selector operation reports to the plan
// first (the accessors of its views and buttons do not count).
class FaultySelector : public Selector {
 public:
  FaultySelector(std::string name, std::shared_ptr<FaultPlan> plan)
      : Selector(std::move(name)), plan_(std::move(plan)) {}
  void AddColumn(const std::string& caption) override { QM_BASE("XSelector", Selector, AddColumn)(caption); }
  int ColumnCount() const override { QM_BASE("XSelector", Selector, ColumnCount)(); }
  std::string ColumnCaption(int position) const override { QM_BASE("XSelector", Selector, ColumnCaption)(position); }
  void SetInitialized(bool on) override { QM_BASE("XSelector", Selector, SetInitialized)(on); }
  bool Initialized() const override { QM_BASE("XSelector", Selector, Initialized)(); }
  void SetFilterText(const std::string& text) override { QM_BASE("XSelector", Selector, SetFilterText)(text); }
  std::string FilterText() const override { QM_BASE("XSelector", Selector, FilterText)(); }
  bool FilterEnabled() const override { QM_BASE("XSelector", Selector, FilterEnabled)(); }
  void SetFilterEnabled(bool on) override { QM_BASE("XSelector", Selector, SetFilterEnabled)(on); }
  int FilterColumnIndex() const override { QM_BASE("XSelector", Selector, FilterColumnIndex)(); }
  void SetFilterColumnIndex(int index) override { QM_BASE("XSelector", Selector, SetFilterColumnIndex)(index); }
  void ClearAvailable() override { QM_BASE("XSelector", Selector, ClearAvailable)(); }
  std::shared_ptr<SelectorRow> AddAvailable(const std::string& text, const std::string& key) override {
    QM_BASE("XSelector", Selector, AddAvailable)(text, key);
  }
  void EndFill() override { QM_BASE("XSelector", Selector, EndFill)(); }
  void ChooseItem(const std::string& key) override { QM_BASE("XSelector", Selector, ChooseItem)(key); }
  void FinishLoad(std::int32_t mode) override { QM_BASE("XSelector", Selector, FinishLoad)(mode); }
  std::shared_ptr<SelectorRows> ChosenItems() const override { QM_BASE("XSelector", Selector, ChosenItems)(); }
  std::shared_ptr<SelectorRows> AvailableItems() const override { QM_BASE("XSelector", Selector, AvailableItems)(); }
  bool IsChosen(const std::string& key) const override { QM_BASE("XSelector", Selector, IsChosen)(key); }
  bool IsAvailable(const std::string& key) const override { QM_BASE("XSelector", Selector, IsAvailable)(key); }
  void SetFocus() override { QM_BASE("XSelector", Selector, SetFocus)(); }

 private:
  std::shared_ptr<FaultPlan> plan_;
};

#undef QM_FORWARD
#undef QM_BASE

// Installs fresh per-thread components for the life of the object: these
// messages, app context and definition library (the defaults where null)
// and, with a plan, wrappers around every outside component that throw on
// the armed call.
class ServiceInstall {
 public:
  ServiceInstall(std::shared_ptr<MessageService> messages, std::shared_ptr<AppContext> appContext,
                 std::shared_ptr<DefinitionLibrary> library, std::shared_ptr<FaultPlan> plan);
  ~ServiceInstall();
  ServiceInstall(const ServiceInstall&) = delete;
  ServiceInstall& operator=(const ServiceInstall&) = delete;
};

// A user who answers Yes to every question and OK to every message.
class YesToAll : public MessageService {
 public:
  int ShowMessage(const std::string& prompt, int buttons, const std::string&, const std::string&, int) override {
    prompts.push_back(prompt);
    return (buttons & msgbox::YesNo) ? msgbox::AnswerYes : msgbox::AnswerOk;
  }
  std::vector<std::string> prompts;
};

// Fails outside call 1, 2, 3, ... of `operation` in turn, each time after a
// fresh `arrange`, until the operation runs without a failure. After each
// failure the error must have reached the caller; then `afterFailure` checks
// the state and that the user can start over. Returns the calls made by the
// operation when nothing fails.
int FailEachCallInTurn(FaultPlan& plan, const std::function<void()>& arrange, const std::function<void()>& operation,
                       const std::function<void(int call)>& afterFailure);

// Makes lists and selectors that report to the plan; making them, and the
// column sets (which a list reads often), count nowhere.
class FaultyControlLibrary : public ControlLibrary {
 public:
  explicit FaultyControlLibrary(std::shared_ptr<FaultPlan> plan) : plan_(std::move(plan)) {}
  std::shared_ptr<XStaticList> NewStaticList(const std::string& name) override {
    return std::make_shared<FaultyStaticList>(name, plan_);
  }
  std::shared_ptr<XSelector> NewSelector(const std::string& name) override {
    return std::make_shared<FaultySelector>(name, plan_);
  }
  std::shared_ptr<ListColumnSet> NewListColumnSet() override { return std::make_shared<ColumnSet>(); }

 private:
  std::shared_ptr<FaultPlan> plan_;
};

}  // namespace quillmont::testing
