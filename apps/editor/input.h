#pragma once

#include <string>

#include "quillmont/platform/ui/controls.h"

// What the terminal reports, in the window system's terms, and how it
// reaches a panel.
namespace quillmont::editor {

struct InputEvent {
  enum class Kind { None, Key, Text, Alt, Mouse, Resize, Closed, Paste };
  // Drag: the mouse moved with the left button down; Release: it went up.
  enum class Button { None, Left, Right, WheelUp, WheelDown, Drag, Release };

  Kind kind = Kind::None;
  int keyCode = 0;  // Key: a ui::keys code (letters as 'A'..'Z', F-keys from keys::F1)
  int shift = 0;    // ui::shift bits, for keys and mouse
  char32_t ch = 0;  // Text: the character typed; Alt: the letter
  int row = 0, col = 0;
  Button button = Button::None;
  std::string text;  // Paste: what was pasted, as UTF-8 (line breaks as the terminal sent them)

  static InputEvent MakeKey(int code, int shiftState = 0) { return {Kind::Key, code, shiftState, 0, 0, 0, {}, {}}; }
  static InputEvent MakeText(char32_t c) { return {Kind::Text, 0, 0, c, 0, 0, {}, {}}; }
  static InputEvent MakeAlt(char32_t c) { return {Kind::Alt, 0, ui::shift::Alt, c, 0, 0, {}, {}}; }
  static InputEvent MakeClick(int r, int c, Button b = Button::Left, int shiftState = 0) {
    return {Kind::Mouse, 0, shiftState, 0, r, c, b, {}};
  }
  static InputEvent MakeResize() { return {Kind::Resize, 0, 0, 0, 0, 0, {}, {}}; }
  static InputEvent MakePaste(std::string pasted) { return {Kind::Paste, 0, 0, 0, 0, 0, {}, std::move(pasted)}; }

  bool IsKey(int code, int shiftState = 0) const { return kind == Kind::Key && keyCode == code && shift == shiftState; }
};

// The function key n (1..12) as a ui::keys code.
constexpr int FunctionKey(int n) { return ui::keys::F1 + n - 1; }

// Hands a key or a typed character to the panel through its driver, as the
// window system does: key-down, key-press with the character (keys that
// carry one), key-up.
void DeliverKey(ui::UserControl& panel, const InputEvent& event);

}  // namespace quillmont::editor
