#include <algorithm>
#include <set>

#include "quillmont/definitions/definition_library.h"
#include "quillmont/definitions/members.h"
#include "quillmont/definitions/notification_definition.h"
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/services/app_context.h"
#include "tests/random/exerciser.h"
#include "tests/random/list_panel_rules.h"

namespace quillmont::random_testing {
namespace {

const std::vector<std::string> kStoredAddresses = {"a@example.com", "ops@site.org", "b@x", "boss@h", "A@example.com"};
const std::vector<std::string> kTypedAddresses = {"a@example.com", "b@x",      " b@x ", "A@example.com", "new@one.net",
                                                  "bad@",          "x@y, z@w", "  ",    "c@d.org"};
const std::vector<std::string> kTexts = {"", "Alert", "<Default>", " ", "<default>", "Line\r\nTwo"};
const std::vector<int> kColumnIds = {kAddressColumn};
constexpr const char* kDefault = "<Default>";
constexpr const char* kTitle = "Check E-mail";

constexpr const char* kInvalid = "Invalid Email Address: ";
constexpr const char* kDuplicateHead = "This Email (";
constexpr const char* kDuplicateTail = ") already exists in the list.\r\nWould you like to add the address anyway?";
constexpr const char* kDeleteOne = "Do you really want to delete this Email Address (";
constexpr const char* kDeleteMany = "Do you really want to delete these ";
constexpr const char* kNoSubject = "Please enter a Subject for the E-mail.";
constexpr const char* kNoMessage = "Please enter a Message for the E-Mail.";
constexpr const char* kNoAddress = "You have specified a Subject and/or Message.  Please enter an E-mail Address.";

std::shared_ptr<EmailRecipient> Recipient(const std::shared_ptr<ListItem>& item) {
  auto recipient = std::dynamic_pointer_cast<EmailRecipient>(item);
  Require(recipient != nullptr, "every row is a recipient");
  return recipient;
}

std::vector<std::string> AddressesOf(const std::vector<std::shared_ptr<ListItem>>& items) {
  std::vector<std::string> out;
  for (const auto& item : items) out.push_back(Recipient(item)->Address());
  return out;
}

int DuplicatePairs(const std::vector<std::string>& addresses) {
  int pairs = 0;
  for (std::size_t i = 0; i < addresses.size(); ++i)
    for (std::size_t k = 0; k < i; ++k) pairs += addresses[i] == addresses[k] ? 1 : 0;
  return pairs;
}

class EmailExerciser final : public PanelExerciser {
 public:
  EmailExerciser(Choices& choices, std::shared_ptr<testing::FaultPlan> plan)
      : choices_(choices),
        messages_(std::make_shared<AnsweringMessages>(choices)),
        install_(messages_, std::make_shared<MemoryAppContext>(), std::make_shared<BasicDefinitionLibrary>(), plan),
        panel_(XEventEmailTab::Create()),
        user_(*panel_) {
    panel_->SetSize(6390, 6150);
    LoadRandomDefinition();
  }

  void Prepare() override {
    kind_ = Kind::None;
    edited_ = Edited::None;
    messages_->shown.clear();
    rowsBefore_ = ItemsOf(*stl().Items());
    addressesBefore_ = AddressesOf(rowsBefore_);
    selectedBefore_ = ItemsOf(*stl().SelectedItems());
    addressBefore_ = panel_->txtAddress().Text();
    editModeBefore_ = panel_->EditMode();
    markBefore_ = host_ ? host_->markChanged : 0;
    hostBefore_ = host_;
    selectTabsBefore_ = host_ ? host_->selected.size() : 0;
  }

  std::string Act() override {
    if (stl().ViewRowCount() > 24 && choices_.Percent(30)) return DeleteMany();
    const std::uint32_t roll = choices_.Below(100);
    if (roll < 24) return TypeText();
    if (roll < 31) return EditKeys();
    if (roll < 39) return PressEnter();
    if (roll < 53) return ClickButton();
    if (roll < 63) return SelectRows();
    if (roll < 67) return ListKeys();
    if (roll < 71) return ContextMenu();
    if (roll < 74) return DeleteKey();
    if (roll < 79) return AccessKey();
    if (roll < 81) return TabKey();
    if (roll < 83) return Resize();
    return HostCall();
  }

  std::string Recover() override {
    if (loadFailed_) {
      // After a failed load the page saves nothing until a load succeeds.
      action_ = "recover";
      kind_ = Kind::Host;
      hostCall_ = HostOp::Load;
      LoadRandomDefinition();
      return "recover: LoadData";
    }
    kind_ = Kind::Button;
    action_ = "recover";
    Require(user_.Click(panel_->cmdNew()), "New can be clicked after a failure");
    return "recover: New";
  }

  void Verify(bool strict) override;

 private:
  bool loadFailed_ = false;  // the last LoadData failed
  enum class Kind { None, Type, Edit, Enter, Button, Select, ContextMenu, DeleteKey, AccessKey, Tab, Resize, Host };
  enum class Edited { None, Address, SubjectOrMessage };
  enum class HostOp { Load, Save, Valid, SaveState, LoadState, Other };

  XStaticList& stl() const { return panel_->stl(); }

  void LoadRandomDefinition() {
    auto def = std::make_shared<BasicNotificationDefinition>();
    def->SetRecipientOwnerKey("R-" + std::to_string(choices_.Below(100)));
    def->SetIsNew(choices_.Percent(25));
    def->SetHasEmail(!choices_.Percent(10));
    def->SetEmailSubject(choices_.Percent(30) ? std::nullopt : std::optional<std::string>(choices_.Pick(kTexts)));
    def->SetEmailMessage(choices_.Percent(30) ? std::nullopt : std::optional<std::string>(choices_.Pick(kTexts)));
    if (!choices_.Percent(10)) {
      auto list = std::make_shared<BasicEmailRecipientList>();
      const std::uint32_t count = choices_.Below(6);
      std::set<std::string> used;
      for (std::uint32_t i = 0; i < count; ++i) {
        const std::string& address = choices_.Pick(kStoredAddresses);
        if (!used.insert(address).second) continue;
        auto recipient = std::make_shared<BasicEmailRecipient>();
        recipient->Init(Variant(def->RecipientOwnerKey()), address, Variant());
        list->Add(recipient);
      }
      def->SetEmailRecipients(list);
    }
    definition_ = def;
    host_ = choices_.Percent(90) ? std::make_shared<CountingTabHost>() : nullptr;
    loadFailed_ = true;
    panel_->LoadData(Variant(std::static_pointer_cast<NotificationDefinition>(def)), "Email", host_);
    loadFailed_ = false;
    // Only a load that hands the list a new collection redraws every row.
    if (def->IsNew() || (def->HasEmail() && def->EmailRecipients())) staleRows_ = false;
  }

  ui::TextBox& RandomTextBox() {
    const std::uint32_t roll = choices_.Below(10);
    if (roll < 7) return panel_->txtAddress();
    return roll < 9 ? panel_->txtSubject() : panel_->txtMessage();
  }

  void NoteEdit(const ui::TextBox& box, const std::string& before) {
    if (box.Text() == before) return;
    edited_ = &box == &panel_->txtAddress() ? Edited::Address : Edited::SubjectOrMessage;
  }

  std::string TypeText() {
    action_ = "type";
    kind_ = Kind::Type;
    ui::TextBox& box = RandomTextBox();
    const std::string before = box.Text();
    const std::string text = &box == &panel_->txtAddress() && choices_.Percent(50) ? choices_.Pick(kTypedAddresses)
                                                                                   : choices_.Pick(Fragments());
    if (!user_.TypeInto(box, text)) return "type into disabled " + box.Name();
    NoteEdit(box, before);
    return "type '" + text + "' into " + box.Name();
  }

  std::string EditKeys() {
    action_ = "edit keys";
    kind_ = Kind::Edit;
    ui::TextBox& box = RandomTextBox();
    const std::string before = box.Text();
    if (!user_.Focus(box)) return "edit disabled " + box.Name();
    static const std::vector<int> keys = {ui::keys::Back, ui::keys::Delete, ui::keys::Home,  ui::keys::End,
                                          ui::keys::Left, ui::keys::Right,  ui::keys::Escape};
    std::string done;
    if (choices_.Percent(20)) {
      user_.ClearText();
      done = "clear " + box.Name();
    } else if (choices_.Percent(10)) {
      user_.Paste(choices_.Pick(kTypedAddresses));
      done = "paste into " + box.Name();
    } else {
      const int key = choices_.Pick(keys);
      user_.PressKey(key);
      done = "key " + std::to_string(key) + " in " + box.Name();
    }
    NoteEdit(box, before);
    return done;
  }

  std::string PressEnter() {
    action_ = "enter";
    kind_ = Kind::Enter;
    std::vector<ui::Control*> targets = {&panel_->txtAddress(), &panel_->txtAddress(), &panel_->txtSubject(),
                                         &panel_->txtMessage(), &stl()};
    ui::Control& target = *choices_.Pick(targets);
    const std::string subject = panel_->txtSubject().Text(), message = panel_->txtMessage().Text();
    if (!user_.Focus(target)) return "enter: " + target.Name() + " disabled";
    user_.PressKey(ui::keys::Return);
    if (subject != panel_->txtSubject().Text() || message != panel_->txtMessage().Text())
      edited_ = Edited::SubjectOrMessage;
    return "enter in " + target.Name();
  }

  std::string ClickButton() {
    action_ = "click button";
    kind_ = Kind::Button;
    std::vector<ui::CommandButton*> buttons = {&panel_->cmdNew(),          &panel_->cmdApply(),
                                               &panel_->cmdApply(),        &panel_->cmdDelete(),
                                               &panel_->cmdResetSubject(), &panel_->cmdResetMessage()};
    ui::CommandButton& button = *choices_.Pick(buttons);
    if (choices_.Percent(20)) {
      if (!user_.Focus(button)) return "key on disabled " + button.Name();
      user_.PressKey(choices_.Percent(50) ? ui::keys::Space : ui::keys::Return);
      return "key on " + button.Name();
    }
    return (user_.Click(button) ? "click " : "click disabled ") + button.Name();
  }

  std::string SelectRows() {
    action_ = "select rows";
    kind_ = Kind::Select;
    return SelectRandomRows(user_, choices_, stl());
  }

  std::string ListKeys() {
    action_ = "list keys";
    kind_ = Kind::Select;
    return PressRandomListKey(user_, choices_, stl());
  }

  std::string ContextMenu() {
    action_ = "context menu";
    kind_ = Kind::ContextMenu;
    const int rows = stl().ViewRowCount();
    std::optional<int> row;
    if (rows > 0 && choices_.Percent(80)) row = static_cast<int>(choices_.Below(static_cast<std::uint32_t>(rows)));
    user_.ContextMenu(stl(), row);
    selectedBefore_.clear();
    for (int r : stl().SelectedRows()) selectedBefore_.push_back(rowsBefore_.at(static_cast<std::size_t>(r)));
    const bool open = panel_->OpenPopupMenu() != nullptr;
    Require(open == (stl().ViewSelectedCount() >= 1), "the context menu opens exactly when rows are selected");
    if (!open) return "context menu, none shown";
    if (choices_.Percent(60)) {
      user_.ChooseMenuItem("Delete");
      return "context menu: Delete";
    }
    user_.DismissMenu();
    return "context menu dismissed";
  }

  std::string DeleteKey() {
    action_ = "Delete key";
    kind_ = Kind::DeleteKey;
    user_.Focus(stl());
    user_.PressKey(ui::keys::Delete);
    return "Delete key on the list";
  }

  std::string DeleteMany() {
    action_ = "delete many";
    kind_ = Kind::Button;
    std::vector<int> all(static_cast<std::size_t>(stl().ViewRowCount()));
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
    user_.SelectRows(stl(), all);
    selectedBefore_ = rowsBefore_;
    user_.Click(panel_->cmdDelete());
    return "select all and Delete";
  }

  std::string AccessKey() {
    action_ = "access key";
    kind_ = Kind::AccessKey;
    return PressRandomAccessKey(user_, choices_, "SMERTNDAXQ");
  }

  std::string TabKey() {
    action_ = "Tab";
    kind_ = Kind::Tab;
    return PressTab(user_, choices_);
  }

  std::string Resize() {
    action_ = "resize";
    kind_ = Kind::Resize;
    return ResizeRandomly(user_, choices_, 9000, 8000);
  }

  std::string HostCall() {
    action_ = "host call";
    kind_ = Kind::Host;
    const std::uint32_t roll = choices_.Below(10);
    if (roll < 3) {
      hostCall_ = HostOp::Load;
      LoadRandomDefinition();
      return "host: LoadData";
    }
    if (roll < 6) {
      hostCall_ = HostOp::Save;
      panel_->SaveData();
      return "host: SaveData";
    }
    if (roll < 8) {
      hostCall_ = HostOp::Valid;
      tabValid_ = panel_->IsTabValid(kTitle);
      return "host: IsTabValid";
    }
    if (roll < 9) {
      hostCall_ = HostOp::SaveState;
      panel_->SaveState();
      return "host: SaveState";
    }
    hostCall_ = HostOp::LoadState;
    auto entry = GetAppContext()->Settings()->Item(Variant("EmailProperties"));
    if (choices_.Percent(30)) entry->SetValue(Variant(choices_.Pick(Fragments())));
    panel_->LoadState();
    return "host: LoadState";
  }

  void CheckData() const;
  void CheckMessages() const;
  void CheckView() const;
  void CheckStep() const;

  Choices& choices_;
  std::shared_ptr<AnsweringMessages> messages_;
  ServiceInstall install_;
  std::shared_ptr<XEventEmailTab> panel_;
  ui::Driver user_;
  std::shared_ptr<BasicNotificationDefinition> definition_;
  std::shared_ptr<CountingTabHost> host_;

  Kind kind_ = Kind::None;
  HostOp hostCall_ = HostOp::Other;
  Edited edited_ = Edited::None;
  bool tabValid_ = true;
  bool staleRows_ = false;
  std::vector<std::shared_ptr<ListItem>> rowsBefore_;
  std::vector<std::string> addressesBefore_;
  std::vector<std::shared_ptr<ListItem>> selectedBefore_;
  std::string addressBefore_;
  EditMode editModeBefore_ = EditMode::AddNew;
  int markBefore_ = 0;
  std::size_t selectTabsBefore_ = 0;
  std::shared_ptr<CountingTabHost> hostBefore_;
};

void EmailExerciser::Verify(bool strict) {
  Require(!panel_->Filling() && !panel_->Selecting(), "Filling and Selecting are false between calls");
  Require(!panel_->EnterPending(), "EnterPending is false between key strokes");
  if (!strict) staleRows_ = true;
  CheckListShowsItems(stl(), kColumnIds, !staleRows_);
  CheckData();
  CheckMessages();
  if (!strict) return;
  CheckView();
  CheckStep();
}

void EmailExerciser::CheckData() const {
  const auto addresses = AddressesOf(ItemsOf(*stl().Items()));
  for (const auto& a : addresses)
    Require(a == Trim(a) && IsValidEmailAddressText(a), "every recipient's address is trimmed and valid: '" + a + "'");
}

void EmailExerciser::CheckMessages() const {
  const std::string typed = Trim(addressBefore_);
  for (const ShownMessage& m : messages_->shown) {
    Require(m.helpFile.empty() && m.helpContext == 0, "messages carry no help");
    const std::string& p = m.prompt;
    if (p.rfind(kInvalid, 0) == 0) {
      Require(m.buttons == msgbox::OkOnly && m.title.empty(), "the invalid-address message is a plain box");
      Require(p == kInvalid + typed && !IsValidEmailAddressText(typed), "only an invalid address is refused: " + p);
    } else if (p.rfind(kDuplicateHead, 0) == 0) {
      Require(m.buttons == msgbox::YesNoExclamation && m.title == "Add Email Address", "the duplicate question's box");
      Require(p == kDuplicateHead + typed + kDuplicateTail, "the duplicate question names the address: " + p);
      Require(std::count(addressesBefore_.begin(), addressesBefore_.end(), typed) >= 1,
              "the duplicate question only for an address in the list");
    } else if (p.rfind(kDeleteOne, 0) == 0) {
      Require(m.buttons == msgbox::YesNoExclamation && m.title == "Delete Email Address", "the delete question's box");
      Require(selectedBefore_.size() == 1 && p == kDeleteOne + Recipient(selectedBefore_[0])->Address() + ")?",
              "the delete question names the selected recipient: " + p);
    } else if (p.rfind(kDeleteMany, 0) == 0) {
      Require(m.buttons == msgbox::YesNoExclamation && m.title == "Delete Email Address", "the delete question's box");
      Require(p == kDeleteMany + std::to_string(selectedBefore_.size()) + " Email Addresses?",
              "the delete question counts the selected rows: " + p);
    } else if (p == kNoSubject || p == kNoMessage || p == kNoAddress) {
      Require(m.buttons == msgbox::Critical && m.title == kTitle, "validity messages carry the host's title");
    } else {
      Require(false, "no such message: " + p);
    }
  }
}

void EmailExerciser::CheckView() const {
  const int selected = stl().ViewSelectedCount();
  const std::string& field = panel_->txtAddress().Text();
  Require((panel_->EditMode() == EditMode::EditSelected) == (selected == 1),
          "EditMode is EditSelected exactly when one row is selected");
  if (panel_->EditMode() == EditMode::EditSelected && !panel_->Changed() && !Trim(field).empty())
    Require(Trim(field) == Recipient(ItemsOf(*stl().SelectedItems()).at(0))->Address(),
            "the address field shows the selected recipient: '" + field + "'");
  Require(panel_->cmdApply().Enabled() == (!field.empty() && panel_->Changed()),
          "Apply is enabled exactly when the field holds text the user edited");
  Require(panel_->cmdDelete().Enabled() == (selected >= 1), "Delete is enabled exactly when rows are selected");
  Require(panel_->txtAddress().Enabled() == (selected <= 1),
          "the address field is disabled exactly when several rows are selected");
  if (selected > 1) Require(field.empty(), "with several rows selected the address field is empty");
  Require(panel_->OpenPopupMenu() == nullptr, "no menu stays open between steps");
}

void EmailExerciser::CheckStep() const {
  const auto rows = ItemsOf(*stl().Items());
  const auto addresses = AddressesOf(rows);
  const auto selected = ItemsOf(*stl().SelectedItems());
  const int marks = host_ ? host_->markChanged : 0;
  const bool sameHost = host_ == hostBefore_;

  if (edited_ == Edited::Address)
    Require(panel_->Changed() == !Trim(panel_->txtAddress().Text()).empty(),
            "an edit of the address counts exactly when it leaves more than blanks");
  if (sameHost && host_) {
    if (edited_ == Edited::SubjectOrMessage) Require(marks > markBefore_, "editing subject or message marks the tab");
    const bool quiet = (kind_ == Kind::Type || kind_ == Kind::Edit) ? edited_ != Edited::SubjectOrMessage
                                                                    : (kind_ == Kind::Select || kind_ == Kind::Tab ||
                                                                       kind_ == Kind::Resize || kind_ == Kind::Host);
    if (quiet) Require(marks == markBefore_, "address typing, selections and host calls do not mark the tab");
  }
  if (kind_ == Kind::Select && selected != selectedBefore_) Require(!panel_->Changed(), "a new selection is no edit");

  if (kind_ == Kind::Host) {
    if (hostCall_ != HostOp::Load) Require(rows == rowsBefore_, "host calls other than LoadData keep the rows");
    if (hostCall_ == HostOp::Save) {
      auto saved = definition_->EmailRecipients();
      Require(saved && ItemsOf(*saved) == rows, "after SaveData the definition holds exactly the rows");
      const auto stored = [](const std::string& field) {
        return field == kDefault ? std::nullopt : std::optional<std::string>(field);
      };
      Require(definition_->Subject() == stored(panel_->txtSubject().Text()) &&
                  definition_->Message() == stored(panel_->txtMessage().Text()),
              "SaveData stores subject and message, \"<Default>\" as null");
    }
    if (hostCall_ == HostOp::Valid) {
      const std::string& subject = panel_->txtSubject().Text();
      const std::string& message = panel_->txtMessage().Text();
      const auto own = [](const std::string& t) { return !t.empty() && t != kDefault; };
      std::string expected;
      if (!rows.empty() && subject.empty())
        expected = kNoSubject;
      else if (!rows.empty() && message.empty())
        expected = kNoMessage;
      else if (rows.empty() && (own(subject) || own(message)))
        expected = kNoAddress;
      Require(tabValid_ == expected.empty(), "IsTabValid follows its three rules");
      Require(expected.empty() ? messages_->shown.empty()
                               : messages_->shown.size() == 1 && messages_->shown[0].prompt == expected,
              "IsTabValid shows the first rule that fails, once");
      if (host_)
        Require(host_->selected.size() == selectTabsBefore_ + (tabValid_ ? 0 : 1) &&
                    (tabValid_ || host_->selected.back() == "Email"),
                "a refusal brings the page forward by its key");
    }
    if (hostCall_ == HostOp::Load) {
      Require(panel_->Definition() == definition_ && panel_->cdtnNotify() == host_,
              "LoadData binds definition and host");
      if (definition_->IsNew())
        Require(rows.empty() && panel_->txtSubject().Text() == kDefault && panel_->txtMessage().Text() == kDefault,
                "a new definition starts empty with default subject and message");
    }
    return;
  }

  const ShownMessage* question = nullptr;
  for (const auto& m : messages_->shown)
    if (m.prompt.rfind("Do you really", 0) == 0) question = &m;
  if (question) {
    if (question->answer == msgbox::AnswerNo) {
      Require(rows == rowsBefore_ && selected == selectedBefore_, "No to the delete question changes nothing");
      Require(stl().HasFocus(), "No to the delete question puts the focus on the list");
      if (sameHost) Require(marks == markBefore_, "No to the delete question does not mark the tab changed");
    } else {
      std::vector<std::shared_ptr<ListItem>> expected;
      for (const auto& r : rowsBefore_)
        if (std::find(selectedBefore_.begin(), selectedBefore_.end(), r) == selectedBefore_.end())
          expected.push_back(r);
      Require(rows == expected, "a confirmed delete removes exactly the selected rows");
      if (sameHost && host_) Require(marks == markBefore_ + 1, "a confirmed delete marks the tab changed once");
      if (!rows.empty()) Require(selected.size() == 1 && selected[0] == rows[0], "after a delete row 1 is selected");
    }
    return;
  }

  // Duplicates only come in when the user said so.
  bool saidYes = false;
  for (const auto& m : messages_->shown)
    if (m.prompt.rfind(kDuplicateHead, 0) == 0 && m.answer != msgbox::AnswerNo) saidYes = true;
  if (DuplicatePairs(addresses) > DuplicatePairs(addressesBefore_))
    Require(saidYes, "an address already in the list is only taken after Yes to the question");

  if (rows.size() == rowsBefore_.size() + 1) {
    Require(std::equal(rowsBefore_.begin(), rowsBefore_.end(), rows.begin()), "adding keeps the rows before");
    Require(editModeBefore_ == EditMode::AddNew, "only AddNew adds a row");
    const auto r = Recipient(rows.back());
    Require(r->Address() == Trim(addressBefore_), "the new recipient holds the trimmed field");
    Require(r->OwnerKey() == definition_->RecipientOwnerKey(), "the new recipient belongs to the definition");
    Require(panel_->txtAddress().Text().empty() && !panel_->Changed() && panel_->EditMode() == EditMode::AddNew,
            "after an add the field is empty and ready for the next address");
    Require(panel_->txtAddress().HasFocus(), "after an add the focus is in the address field");
    return;
  }
  Require(rows == rowsBefore_, "only Apply, Delete and LoadData change the rows");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (addresses[i] == addressesBefore_[i]) continue;
    Require(editModeBefore_ == EditMode::EditSelected && selectedBefore_.size() == 1 && selectedBefore_[0] == rows[i],
            "only the selected recipient is updated");
    Require(addresses[i] == Trim(addressBefore_) && !panel_->Changed(),
            "the updated recipient holds the trimmed field");
    Require(stl().HasFocus(), "after an update the focus is on the list");
  }
}

}  // namespace

std::unique_ptr<PanelExerciser> MakeEmailExerciser(Choices& choices, std::shared_ptr<testing::FaultPlan> plan) {
  return std::make_unique<EmailExerciser>(choices, std::move(plan));
}

}  // namespace quillmont::random_testing
