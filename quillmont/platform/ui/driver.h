#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmont/platform/export.h"
#include "quillmont/platform/ui/controls.h"

namespace quillmont::ui {

// Acts on a panel as a user does, through the same routes the window system
// takes: focus by clicking, keys to the active control (key preview first),
// access keys, list rows, pop-up menus, resizing. Hosts and tests share it.
// Anything aimed at a disabled or hidden control is ignored, as on a screen;
// such calls return false. Errors raised by handlers reach the caller. A
// gesture on another thread than the panel's raises Error
// (InvalidProcedureCall), as the tab contract's operations do.
class QUILLMONT_API Driver {
 public:
  explicit Driver(UserControl& panel) : panel_(panel) {}

  UserControl& Panel() const noexcept { return panel_; }

  // Clicks into a control to give it the focus (no Click event).
  bool Focus(Control& control);
  // Types text into the active control: per character a key-down, a
  // key-press with the character and a key-up, so a text box changes (and
  // raises Change) once per character.
  bool Type(std::string_view text);
  // One typed character as a stroke of the key that carries it (with Shift
  // for a capital), to whatever has the focus.
  void TypeCharacter(char32_t ch);
  // Focus, then type.
  bool TypeInto(Control& control, std::string_view text);
  // Selects the whole text of the active text box and erases it with one
  // Backspace (one Change).
  bool ClearText();
  // Pastes text into the active text box at the caret (one Change).
  bool Paste(std::string_view text);

  // A whole key stroke: key-down, the key-press of its character (Enter,
  // Backspace, Escape, Space, Tab have one, unless Ctrl or Alt is held),
  // key-up. A terminal reports no releases: its host sends the key-up at
  // once, and a panel that acts on the release still sees it.
  void PressKey(int keyCode, int shiftState = 0);
  // The three parts on their own, for tests of what happens between them.
  void KeyDown(int keyCode, int shiftState = 0);
  void KeyPress(int character);
  void KeyUp(int keyCode, int shiftState = 0);
  // Alt+letter.
  bool AccessKey(char letter);
  // Tab / Shift+Tab.
  void Tab(bool backwards = false) { PressKey(keys::Tab, backwards ? shift::Shift : 0); }

  // Mouse click on a button (or any control): focus when it takes focus,
  // then Click.
  bool Click(Control& control);
  // Opens the drop-down list and picks the item with this text (or index).
  bool Choose(ComboBox& combo, const std::string& itemText);
  bool ChooseIndex(ComboBox& combo, int index);

  // List rows (0-based): click the first, Ctrl+click the others; an empty
  // set clicks the empty space below the rows.
  bool SelectRows(ListView& list, const std::vector<int>& rows);
  bool ClickRow(ListView& list, int row, int shiftState = 0);
  // Right-click on a row (or on the empty space with no row).
  bool ContextMenu(ListView& list, std::optional<int> row = std::nullopt);
  // Picks an item of the open pop-up menu by caption; false when no menu is
  // open or it has no such enabled item.
  bool ChooseMenuItem(const std::string& caption);
  void DismissMenu() { panel_.ClosePopupMenu(); }

  // The host resizes the panel.
  void Resize(float width, float height) { panel_.SetSize(width, height); }

 private:
  QUILLMONT_LOCAL void CheckThread() const;
  static bool Reachable(const Control& c) { return c.IsEffectivelyEnabled() && c.IsEffectivelyVisible(); }
  UserControl& panel_;
};

}  // namespace quillmont::ui
