#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/editor/dialogs.h"
#include "apps/editor/help.h"
#include "apps/editor/renderer.h"
#include "apps/editor/screen.h"
#include "apps/editor/shutdown.h"
#include "apps/session/notification_session.h"
#include "apps/session/pages.h"
#include "quillmont/framework/tab_contract.h"
#include "store/definition_store.h"

namespace quillmont::editor {

// The editor window of one notification: its name with a changed mark, a
// tab strip of the pages, the active page drawn from its controls, and a
// help line. The pages, the tab contract and the save flow are the
// session's; the window draws them and turns keys and clicks into actions.
class EditorWindow {
 public:
  // The smallest terminal the pages can be drawn in.
  static constexpr LayerMinSize kMinSize{23, 60};

  EditorWindow(Screen& screen, store::Store& store, std::shared_ptr<store::StoredDefinition> definition,
               std::vector<session::PageDescriptor> pages);
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

  // Asks for a new name (F2); false when cancelled. Saved with the rest.
  bool Rename();

  // Edits not saved, counting entry fields that hold an edit not applied.
  bool Changed() const;
  bool Closed() const noexcept { return closed_; }
  const std::string& ActiveKey() const;
  void SelectTab(const std::string& key);
  ui::UserControl& ActivePanel();
  store::StoredDefinition& Definition() noexcept { return session_.Definition(); }

 private:
  // Drawing and navigation keys: help, list columns, Del on chosen rows.
  bool HandleViewKey(const InputEvent& event, ui::Control* focused);
  static const std::vector<KeyHint>& Keys();
  void SwitchTab(int delta);
  void HandleMouse(const InputEvent& event);
  // A bracketed paste: one insertion into the focused text field.
  void Paste(const std::string& pasted, ui::Control* focused);
  // "Host: at most 128 characters", for a field its text fills.
  static std::string LimitNote(const ui::TextBox& box);
  void ShowPopupIfOpen();
  void DropDown(ui::ComboBox& combo);
  Rect PanelArea(const Canvas& canvas) const;
  PanelView& View() { return views_.at(session_.Active()); }

  Screen& screen_;
  store::Store& store_;
  TerminalFrontEnd frontEnd_;
  session::NotificationSession session_;
  // One per page, in the session's order.
  std::vector<PanelView> views_;
  bool closed_ = false;
  std::vector<Rect> tabRects_;
  std::string status_;  // shown in the status line until the next input
  struct ColumnDrag {
    ui::ListView* list = nullptr;
    int column = -1;
  } drag_;
  UnsavedWork unsaved_;
};

}  // namespace quillmont::editor
