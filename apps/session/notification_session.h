#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/session/front_end.h"
#include "apps/session/pages.h"
#include "quillmont/framework/tab_contract.h"
#include "store/definition_store.h"

// The host's part of editing notifications, with no drawing: the list of
// stored notifications, and one notification open in its pages with the tab
// contract, the save flow and its questions, revisions and entries not
// applied. The terminal editor and the desktop editor both run on it.
namespace quillmont::session {

inline constexpr const char* kSaveTitle = "Save Notification";
inline constexpr const char* kErrorTitle = "Quillmont Editor";
inline constexpr const char* kUnappliedTitle = "Entry Not Applied";

// Asks for a notification name until it is valid and no notification but
// exceptId has it (the store's comparison); nullopt when cancelled.
std::optional<std::string> AskNotificationName(FrontEnd& ui, store::Store& store, const std::string& title,
                                               const std::string& prompt, const std::string& initial,
                                               std::int32_t exceptId);

// The database's file was replaced or removed under the program (what tells
// it so): says that nothing was written and offers to open the file now at
// its path. True when it was reopened.
bool OfferReopen(FrontEnd& ui, store::Store& store, const std::string& what);

// One notification open in its pages. It is the pages' tab container
// (TabHost): LoadState and LoadData on open, IsTabValid then SaveData on
// every page and one store transaction on save, SaveState on close.
class NotificationSession {
 public:
  struct Page {
    PageDescriptor descriptor;
    std::shared_ptr<ui::UserControl> view;
    std::shared_ptr<IFolioControl> contract;
  };

  NotificationSession(FrontEnd& ui, store::Store& store, std::shared_ptr<store::StoredDefinition> definition,
                      std::vector<PageDescriptor> pages);
  ~NotificationSession();
  NotificationSession(const NotificationSession&) = delete;
  NotificationSession& operator=(const NotificationSession&) = delete;

  // Creates the pages and loads them; false (after telling the user) when a
  // page could not be made or loaded.
  bool Open();
  // Checks and saves every page, then the store; the questions of a refused
  // save are asked. False when nothing was saved.
  bool Save();
  // Asks about entries not applied and unsaved changes; true when the
  // notification may close (SaveState has then run on every page).
  bool Close();
  // The window went without anyone to ask: the view state is kept, edits
  // are dropped.
  void Abandon();
  // Asks for a new name; false when cancelled. Saved with the rest.
  bool Rename();

  // Edits not saved, counting entry fields that hold an edit not applied.
  bool Changed() const;
  // "Notification 3: name" ("Notification (new): name" before its first
  // save), and the marks that follow it ("  [changed]", "  [read-only]"),
  // which a window shows even when the name does not fit.
  std::string Title() const;
  std::string Marks() const;
  const std::vector<std::unique_ptr<Page>>& Pages() const noexcept { return pages_; }
  std::size_t Active() const noexcept { return active_; }
  void SetActive(std::size_t index);
  // What the pages ask of their container by key.
  void SelectTab(const std::string& key);
  store::StoredDefinition& Definition() noexcept { return *definition_; }
  store::Store& Store() noexcept { return store_; }

 private:
  struct State;
  class Host;

  bool SettleUnappliedEntries();
  bool StoreSave();
  bool SaveAsNew();
  void ReloadFromStore();
  void Tell(const std::exception& e, const std::string& title);
  // What a save would write (the name and every page's content), and the
  // mark that the pages hold it as loaded.
  std::string Content() const;
  void Loaded();

  FrontEnd& ui_;
  store::Store& store_;
  std::shared_ptr<store::StoredDefinition> definition_;
  std::vector<PageDescriptor> descriptors_;
  std::vector<std::unique_ptr<Page>> pages_;
  std::shared_ptr<State> state_;
  std::shared_ptr<TabHost> host_;
  std::size_t active_ = 0;
  std::string loaded_;
};

// The stored notifications, as a list screen or window shows them.
class NotificationIndex {
 public:
  NotificationIndex(FrontEnd& ui, std::shared_ptr<store::Store> store);

  const std::vector<store::NotificationSummary>& Rows() const noexcept { return rows_; }
  // The row of a notification number, to keep it chosen across a reload;
  // -1 when it is not listed (or id is 0).
  int RowOf(std::int32_t id) const;
  void Reload();
  // Reloads when another program committed since the last look, or after
  // the file at the path was replaced and the user chose to open it; true
  // then.
  bool CatchUp();
  // A new notification with a name the user gives; nullptr when cancelled.
  std::shared_ptr<store::StoredDefinition> New();
  // Renames a stored one after asking; false when cancelled or unchanged.
  bool Rename(const store::NotificationSummary& row);
  // Deletes a stored one after asking (No is the default answer); false
  // when the user said no or beforeDelete (closing the notification's
  // window) returned false.
  bool Delete(const store::NotificationSummary& row, const std::function<bool()>& beforeDelete = nullptr);
  store::Store& Store() noexcept { return *store_; }

 private:
  FrontEnd& ui_;
  std::shared_ptr<store::Store> store_;
  std::vector<store::NotificationSummary> rows_;
  std::int64_t dataVersion_ = 0;
  // The user was told the file was replaced and kept the old one.
  bool toldReplaced_ = false;
};

}  // namespace quillmont::session
