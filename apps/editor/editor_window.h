#pragma once

#include <memory>
#include <string>
#include <vector>

#include "apps/editor/panels.h"
#include "apps/editor/renderer.h"
#include "apps/editor/screen.h"
#include "quillmont/framework/tab_contract.h"
#include "store/definition_store.h"

namespace quillmont::editor {

// The editor window of one notification: its name with a changed mark, a
// tab strip of the pages, the active page drawn from its controls, and a
// help line. It is the pages' tab container (TabHost) and does the host's
// part of the tab contract: LoadState and LoadData on open, IsTabValid then
// SaveData on every page and one store transaction on save, SaveState on
// close.
class EditorWindow {
 public:
  // The title of the messages that refuse a save.
  static constexpr const char* kSaveTitle = "Save Notification";
  static constexpr const char* kErrorTitle = "Quillmont Editor";

  EditorWindow(Screen& screen, store::Store& store, std::shared_ptr<store::StoredDefinition> definition,
               std::vector<PageDescriptor> pages);
  ~EditorWindow();
  EditorWindow(const EditorWindow&) = delete;
  EditorWindow& operator=(const EditorWindow&) = delete;

  // Creates the pages and loads them; false (after telling the user) when a
  // page could not be made or loaded.
  bool Open();
  // Shows the window until the user closes it.
  void Run();

  // Host duties, also reachable by keys (Ctrl+S, Esc).
  bool Save();
  // Asks about unsaved changes; true when the window may close (SaveState
  // has then run on every page).
  bool Close();

  void HandleEvent(const InputEvent& event);
  void Draw(Canvas& canvas);

  bool Changed() const noexcept;
  bool Closed() const noexcept { return closed_; }
  const std::string& ActiveKey() const;
  void SelectTab(const std::string& key);
  ui::UserControl& ActivePanel();
  store::StoredDefinition& Definition() noexcept { return *definition_; }

 private:
  struct Page;
  struct State;
  class Host;

  void SwitchTab(int delta);
  void HandleMouse(const InputEvent& event);
  void ShowPopupIfOpen();
  void DropDown(ui::ComboBox& combo);
  Rect PanelArea(const Canvas& canvas) const;

  Screen& screen_;
  store::Store& store_;
  std::shared_ptr<store::StoredDefinition> definition_;
  std::vector<PageDescriptor> descriptors_;
  std::vector<std::unique_ptr<Page>> pages_;
  std::shared_ptr<State> state_;
  std::shared_ptr<TabHost> host_;
  std::size_t active_ = 0;
  bool closed_ = false;
  std::vector<Rect> tabRects_;
};

}  // namespace quillmont::editor
