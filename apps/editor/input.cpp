#include "apps/editor/input.h"

#include "quillmont/platform/ui/driver.h"

namespace quillmont::editor {

void DeliverKey(ui::UserControl& panel, const InputEvent& event) {
  ui::Driver driver(panel);
  if (event.kind == InputEvent::Kind::Text) driver.TypeCharacter(event.ch);
  if (event.kind == InputEvent::Kind::Key) driver.PressKey(event.keyCode, event.shift);
}

}  // namespace quillmont::editor
