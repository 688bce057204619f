#pragma once

namespace quillmont::ui {

// Key codes of the window system's virtual keys.
namespace keys {
inline constexpr int Back = 8;
inline constexpr int Tab = 9;
inline constexpr int Return = 13;
inline constexpr int Shift = 16;
inline constexpr int Control = 17;
inline constexpr int Menu = 18;  // Alt
inline constexpr int Escape = 27;
inline constexpr int Space = 32;
inline constexpr int PageUp = 33;
inline constexpr int PageDown = 34;
inline constexpr int End = 35;
inline constexpr int Home = 36;
inline constexpr int Left = 37;
inline constexpr int Up = 38;
inline constexpr int Right = 39;
inline constexpr int Down = 40;
inline constexpr int Insert = 45;
inline constexpr int Delete = 46;
inline constexpr int F1 = 112;
}  // namespace keys

// Shift-state bits of key and mouse events.
namespace shift {
inline constexpr int None = 0;
inline constexpr int Shift = 1;
inline constexpr int Ctrl = 2;
inline constexpr int Alt = 4;
}  // namespace shift

// KeyDown / KeyUp: a handler that sets KeyCode to 0 takes the key away from
// the control.
struct KeyEventArgs {
  int KeyCode = 0;
  int Shift = 0;
};

// KeyPress: the character as a Unicode code point; a handler that sets it to
// 0 discards the character, so the control never sees it.
struct KeyPressArgs {
  int KeyAscii = 0;
};

}  // namespace quillmont::ui
