#include "apps/editor/input.h"

#include "quillmont/platform/ui/utf8.h"

namespace quillmont::editor {
namespace {

// The virtual key of a typed character, as a keyboard produces it.
int KeyCodeOf(char32_t ch) {
  if (ch >= U'a' && ch <= U'z') return static_cast<int>(ch - U'a' + U'A');
  if ((ch >= U'A' && ch <= U'Z') || (ch >= U'0' && ch <= U'9') || ch == U' ') return static_cast<int>(ch);
  return 0;
}

// The character a special key types, 0 for none.
int CharacterOf(int keyCode, int shiftState) {
  if (shiftState & (ui::shift::Ctrl | ui::shift::Alt)) return 0;
  switch (keyCode) {
    case ui::keys::Back:
    case ui::keys::Tab:
    case ui::keys::Return:
    case ui::keys::Escape:
    case ui::keys::Space:
      return keyCode;
    default:
      return 0;
  }
}

}  // namespace

void DeliverKey(ui::UserControl& panel, const InputEvent& event) {
  int code = 0, shiftState = 0, character = 0;
  if (event.kind == InputEvent::Kind::Text) {
    code = KeyCodeOf(event.ch);
    shiftState = (event.ch >= U'A' && event.ch <= U'Z') ? ui::shift::Shift : 0;
    character = static_cast<int>(event.ch);
  } else if (event.kind == InputEvent::Kind::Key) {
    code = event.keyCode;
    shiftState = event.shift;
    character = CharacterOf(code, shiftState);
  } else {
    return;
  }
  ui::KeyEventArgs down{code, shiftState};
  panel.RouteKeyDown(down);
  if (character != 0) {
    ui::KeyPressArgs press{character};
    panel.RouteKeyPress(press);
  }
  ui::KeyEventArgs up{code, shiftState};
  panel.RouteKeyUp(up);
}

}  // namespace quillmont::editor
