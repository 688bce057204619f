#include "apps/session/notification_session.h"

#include "quillmont/framework/services.h"
#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/driver.h"

namespace quillmont::session {

std::optional<std::string> AskNotificationName(FrontEnd& ui, store::Store& store, const std::string& title,
                                               const std::string& prompt, const std::string& initial,
                                               std::int32_t exceptId) {
  for (std::string name = initial;;) {
    const auto answer = ui.Text(title, prompt, name, rules::kMaxNameLength);
    if (!answer) return std::nullopt;
    name = *answer;
    try {
      const std::string checked = rules::CheckedName(name);
      if (!store.NameTaken(checked, exceptId)) return checked;
      ui.Message("A notification named \"" + checked + "\" already exists. Please choose another name.",
                 msgbox::Critical, title);
    } catch (const Error& e) {
      ui.Message(e.what(), msgbox::Critical, title);
    }
  }
}

bool OfferReopen(FrontEnd& ui, store::Store& store, const std::string& what) {
  const int choice =
      ui.Choice(what +
                    "\n\nOpen the file now at its path? Edits not saved stay in the window: a save then asks, as "
                    "for any change by another program, what becomes of them. Or cancel: nothing can be saved "
                    "into the old file.",
                {"Reopen", "Cancel"}, "Database Replaced");
  if (choice != 0) return false;
  try {
    store.Reopen();
    return true;
  } catch (const std::exception& e) {
    ui.Message(std::string("The database could not be reopened.\n\n") + e.what(), msgbox::Critical, kErrorTitle);
    return false;
  }
}

// What the pages' tab container may reach of the session. The pages hold the
// container until they go; it holds the session only weakly.
struct NotificationSession::State {
  NotificationSession* session = nullptr;
  bool changed = false;
  // Marked since the pages were last compared with what was loaded.
  bool compare = false;
  bool differs = false;
};

class NotificationSession::Host final : public TabHost {
 public:
  explicit Host(std::weak_ptr<State> state) : state_(std::move(state)) {}
  void MarkChanged() override {
    if (auto s = state_.lock()) s->changed = s->compare = true;
  }
  void SelectTab(std::string& tabKey) override {
    if (auto s = state_.lock(); s && s->session) s->session->SelectTab(tabKey);
  }

 private:
  std::weak_ptr<State> state_;
};

NotificationSession::NotificationSession(FrontEnd& ui, store::Store& store,
                                         std::shared_ptr<store::StoredDefinition> definition,
                                         std::vector<PageDescriptor> pages)
    : ui_(ui),
      store_(store),
      definition_(std::move(definition)),
      descriptors_(std::move(pages)),
      state_(std::make_shared<State>()) {
  state_->session = this;
  host_ = std::make_shared<Host>(state_);
}

NotificationSession::~NotificationSession() { state_->session = nullptr; }

void NotificationSession::Tell(const std::exception& e, const std::string& title) {
  ui_.Message(e.what(), msgbox::Critical, title);
}

bool NotificationSession::Open() {
  try {
    for (const PageDescriptor& descriptor : descriptors_) {
      auto page = std::make_unique<Page>();
      page->descriptor = descriptor;
      page->view = descriptor.create();
      page->contract = std::dynamic_pointer_cast<IFolioControl>(page->view);
      if (!page->contract)
        throw Error(ErrorCode::ObjectRequired, "The page \"" + descriptor.caption + "\" is not an editor tab.");
      pages_.push_back(std::move(page));
    }
    for (auto& page : pages_) page->contract->LoadState();
    const Variant v(std::static_pointer_cast<NotificationDefinition>(definition_));
    for (auto& page : pages_) page->contract->LoadData(v, page->descriptor.key, host_);
  } catch (const std::exception& e) {
    ui_.Message(std::string("The notification could not be opened.\n\n") + e.what(), msgbox::Critical, kErrorTitle);
    return false;
  }
  Loaded();
  active_ = 0;
  if (!pages_.empty()) pages_[0]->view->FocusNext();
  return !pages_.empty();
}

std::string NotificationSession::Title() const {
  std::string title = "Notification";
  // Appended piece by piece: g++ 12 at -O3 takes "literal + string" for an
  // overlapping copy (-Wrestrict) and stops the optimised build.
  if (definition_->IsNew()) {
    title += " (new)";
  } else {
    title += ' ';
    title += std::to_string(definition_->NotificationID());
  }
  title += ": ";
  title += definition_->Name();
  return title;
}

std::string NotificationSession::Marks() const {
  std::string marks = Changed() ? "  [changed]" : "";
  if (store_.ReadOnly()) marks += "  [read-only]";
  return marks;
}

std::string NotificationSession::Content() const {
  std::string content = definition_->Name();
  for (const auto& page : pages_) {
    content += '\x1c';
    if (page->descriptor.content) content += page->descriptor.content(*page->view);
  }
  return content;
}

void NotificationSession::Loaded() {
  loaded_ = Content();
  state_->changed = state_->compare = state_->differs = false;
}

bool NotificationSession::Changed() const {
  if (state_->changed && state_->compare) {
    // Compared once per run of marks, not on every question of the title.
    state_->differs = Content() != loaded_;
    state_->compare = false;
  }
  if (state_->changed && state_->differs) return true;
  for (const auto& page : pages_)
    if (page->descriptor.pendingEntry && page->descriptor.pendingEntry(*page->view)) return true;
  return false;
}

void NotificationSession::SetActive(std::size_t index) {
  if (index >= pages_.size()) return;
  active_ = index;
  ui_.ShowPage(index);
}

void NotificationSession::SelectTab(const std::string& key) {
  for (std::size_t i = 0; i < pages_.size(); ++i)
    if (pages_[i]->descriptor.key == key) SetActive(i);
}

bool NotificationSession::Save() {
  if (store_.ReadOnly()) {
    ui_.Message(
        "The database is open read-only (you may not write it or its folder), so the notification cannot "
        "be saved. Your changes are still in the window.",
        msgbox::Critical, kSaveTitle);
    return false;
  }
  if (!SettleUnappliedEntries()) return false;
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    if (!pages_[i]->contract->IsTabValid(kSaveTitle)) {
      // The refusing page comes forward (the e-mail page asks for it too).
      SetActive(i);
      return false;
    }
  }
  for (auto& page : pages_) page->contract->SaveData();
  return StoreSave();
}

bool NotificationSession::StoreSave() {
  using Reason = store::SaveRefused::Reason;
  for (bool overwrite = false;;) {
    try {
      store_.Save(*definition_, overwrite);
      Loaded();
      return true;
    } catch (const store::FileReplaced& e) {
      if (!OfferReopen(ui_, store_, e.what())) return false;
    } catch (const store::SaveRefused& e) {
      const std::string what = e.what();
      if (e.Why() == Reason::NameTaken) {
        if (ui_.Message(what + " Nothing was saved.\n\nGive this notification another name?", msgbox::YesNoExclamation,
                        kSaveTitle) != msgbox::AnswerYes ||
            !Rename())
          return false;
      } else if (e.Why() == Reason::DeletedMeanwhile) {
        if (ui_.Choice(what + "\n\nSave your version as a new notification, or cancel and keep editing?",
                       {"Save as new", "Cancel"}, kSaveTitle) != 0 ||
            !SaveAsNew())
          return false;
      } else {
        const int choice = ui_.Choice(what +
                                          "\n\nReload theirs (your changes are dropped), overwrite theirs with "
                                          "yours, save yours as a new notification, or cancel and keep editing?",
                                      {"Reload theirs", "Overwrite", "Save as new", "Cancel"}, kSaveTitle);
        if (choice == 0) {
          ReloadFromStore();
          return false;
        }
        if (choice == 1)
          overwrite = true;
        else if (choice != 2 || !SaveAsNew())
          return false;
      }
    } catch (const std::exception& e) {
      ui_.Message(std::string("The notification was not saved.\n\n") + e.what() +
                      "\n\nYour changes are still in the window; you can save again.",
                  msgbox::Critical, kSaveTitle);
      return false;
    }
  }
}

bool NotificationSession::SaveAsNew() {
  const std::string& old = definition_->Name();
  const auto name =
      AskNotificationName(ui_, store_, "Save as New Notification",
                          "Name of the new notification:", store_.NameTaken(old) ? old + " (copy)" : old, 0);
  if (!name) return false;
  definition_->BecomeNew(*name);
  return true;
}

void NotificationSession::ReloadFromStore() {
  auto fresh = store_.OpenDefinition(definition_->NotificationID());
  const Variant v(std::static_pointer_cast<NotificationDefinition>(fresh));
  for (auto& page : pages_) page->contract->LoadData(v, page->descriptor.key, host_);
  definition_ = std::move(fresh);
  Loaded();
}

bool NotificationSession::Rename() {
  const auto name =
      AskNotificationName(ui_, store_, "Rename Notification", "New name of the notification:", definition_->Name(),
                          definition_->NotificationID());
  if (!name) return false;
  if (*name != definition_->Name()) {
    definition_->SetName(*name);
    state_->changed = state_->compare = true;
  }
  return true;
}

bool NotificationSession::SettleUnappliedEntries() {
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    Page& page = *pages_[i];
    if (!page.descriptor.pendingEntry) continue;
    const auto pending = page.descriptor.pendingEntry(*page.view);
    if (!pending) continue;
    SetActive(i);
    const int choice = ui_.Choice("The page \"" + page.descriptor.caption + "\" holds " + pending->what +
                                      ", not applied to its list.\n\nApply it, discard it, or go back to it?",
                                  {"Apply", "Discard", "Go back"}, kUnappliedTitle);
    if (choice == 2) return false;
    ui::Driver driver(*page.view);
    if (choice == 0 && !pending->apply->Enabled()) {
      ui_.Message("It cannot be applied as it stands: complete it, or discard it.", msgbox::Exclamation,
                  kUnappliedTitle);
      return false;
    }
    // Starting over changes no data: it must not leave the changed mark.
    const bool changed = state_->changed;
    driver.Click(choice == 0 ? *pending->apply : *pending->discard);
    if (choice == 1) state_->changed = changed;
    // A refused Apply has said why; the user is on the page to mend it.
    if (page.descriptor.pendingEntry(*page.view)) return false;
  }
  return true;
}

bool NotificationSession::Close() {
  if (!SettleUnappliedEntries()) return false;
  if (Changed()) {
    const int answer = ui_.Message("Save the changes to \"" + definition_->Name() + "\" before closing?",
                                   msgbox::YesNoCancel | msgbox::Exclamation, "Close Notification");
    if (answer == msgbox::AnswerCancel) return false;
    if (answer == msgbox::AnswerYes) {
      try {
        if (!Save()) return false;
      } catch (const std::exception& e) {
        Tell(e, kErrorTitle);
        return false;
      }
    }
  }
  for (auto& page : pages_) {
    try {
      page->contract->SaveState();
    } catch (const std::exception& e) {
      // The view state is a convenience: its loss does not keep the window.
      Tell(e, kErrorTitle);
    }
  }
  return true;
}

void NotificationSession::Abandon() {
  for (auto& page : pages_) {
    try {
      page->contract->SaveState();
    } catch (const std::exception&) {
    }
  }
}

NotificationIndex::NotificationIndex(FrontEnd& ui, std::shared_ptr<store::Store> store)
    : ui_(ui), store_(std::move(store)) {
  Reload();
}

int NotificationIndex::RowOf(std::int32_t id) const {
  for (std::size_t i = 0; id != 0 && i < rows_.size(); ++i)
    if (rows_[i].id == id) return static_cast<int>(i);
  return -1;
}

void NotificationIndex::Reload() {
  dataVersion_ = store_->DataVersion();
  rows_ = store_->ListNotifications();
}

bool NotificationIndex::CatchUp() {
  if (store_->Replaced()) {
    if (toldReplaced_) return false;
    toldReplaced_ = true;
    if (!OfferReopen(
            ui_, *store_,
            "The database file " + store_->Db().DisplayName() + " was replaced or removed since it was opened."))
      return false;
    toldReplaced_ = false;
    Reload();
    return true;
  }
  if (store_->DataVersion() == dataVersion_) return false;
  Reload();
  return true;
}

std::shared_ptr<store::StoredDefinition> NotificationIndex::New() {
  const auto name = AskNotificationName(ui_, *store_, "New Notification", "Name of the new notification:", "", 0);
  return name ? store_->NewDefinition(*name) : nullptr;
}

bool NotificationIndex::Rename(const store::NotificationSummary& row) {
  const auto name =
      AskNotificationName(ui_, *store_, "Rename Notification", "New name of the notification:", row.name, row.id);
  if (!name || *name == row.name) return false;
  store_->RenameNotification(row.id, *name);
  Reload();
  return true;
}

bool NotificationIndex::Delete(const store::NotificationSummary& row, const std::function<bool()>& beforeDelete) {
  // The second button (No) answers Enter in a destructive question.
  const int answer = ui_.Message("Delete the notification \"" + row.name + "\"?",
                                 msgbox::YesNoExclamation | msgbox::SecondDefault, "Delete Notification");
  if (answer == msgbox::AnswerNo) return false;
  // The row may go with what beforeDelete does (a save reloads the list).
  const std::int32_t id = row.id;
  if (beforeDelete && !beforeDelete()) return false;
  store_->DeleteNotification(id);
  Reload();
  return true;
}

}  // namespace quillmont::session
