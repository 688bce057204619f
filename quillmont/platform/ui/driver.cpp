#include "quillmont/platform/ui/driver.h"

#include <cctype>
#include <string>
#include <thread>

#include "quillmont/platform/error.h"
#include "quillmont/storage/utf8.h"

namespace quillmont::ui {
namespace {

// The virtual key that carries a typed character, 0 for characters that no
// single key carries.
int KeyCodeOf(char32_t ch) {
  if (ch >= 'a' && ch <= 'z') return static_cast<int>(ch - 'a' + 'A');
  if ((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == ' ') return static_cast<int>(ch);
  return 0;
}

// The character a key types; none with Ctrl or Alt held (Ctrl+Space is no
// space).
int CharacterOf(int keyCode, int shiftState) {
  if (shiftState & (shift::Ctrl | shift::Alt)) return 0;
  switch (keyCode) {
    case keys::Back:
    case keys::Tab:
    case keys::Return:
    case keys::Escape:
    case keys::Space:
      return keyCode;
    default:
      return 0;
  }
}

}  // namespace

void Driver::CheckThread() const {
  if (std::this_thread::get_id() != panel_.OwnerThread())
    throw Error(ErrorCode::InvalidProcedureCall,
                panel_.Name() + " belongs to the thread that created it; use it only there");
}

bool Driver::Focus(Control& control) {
  CheckThread();
  if (!control.CanTakeFocus()) return false;
  control.SetFocus();
  return true;
}

bool Driver::Type(std::string_view text) {
  CheckThread();
  Control* target = panel_.ActiveControl();
  if (!target || !target->CanTakeFocus()) return false;
  for (char32_t ch : utf8::Decode(text)) TypeCharacter(ch);
  return true;
}

void Driver::TypeCharacter(char32_t ch) {
  const int code = KeyCodeOf(ch);
  const int shiftState = (ch >= 'A' && ch <= 'Z') ? shift::Shift : 0;
  KeyDown(code, shiftState);
  KeyPress(static_cast<int>(ch));
  KeyUp(code, shiftState);
}

bool Driver::TypeInto(Control& control, std::string_view text) { return Focus(control) && Type(text); }

bool Driver::ClearText() {
  CheckThread();
  auto* box = dynamic_cast<TextBox*>(panel_.ActiveControl());
  if (!box || !box->CanTakeFocus()) return false;
  box->SetSelection(0, utf8::CharCount(box->Text()));
  PressKey(keys::Back);
  return true;
}

bool Driver::Paste(std::string_view text) {
  CheckThread();
  auto* box = dynamic_cast<TextBox*>(panel_.ActiveControl());
  if (!box || !box->CanTakeFocus()) return false;
  return box->InsertText(text);
}

void Driver::PressKey(int keyCode, int shiftState) {
  KeyDown(keyCode, shiftState);
  if (const int ch = CharacterOf(keyCode, shiftState)) KeyPress(ch);
  KeyUp(keyCode, shiftState);
}

void Driver::KeyDown(int keyCode, int shiftState) {
  CheckThread();
  KeyEventArgs e{keyCode, shiftState};
  panel_.RouteKeyDown(e);
}

void Driver::KeyPress(int character) {
  CheckThread();
  KeyPressArgs e{character};
  panel_.RouteKeyPress(e);
}

void Driver::KeyUp(int keyCode, int shiftState) {
  CheckThread();
  KeyEventArgs e{keyCode, shiftState};
  panel_.RouteKeyUp(e);
}

bool Driver::AccessKey(char letter) {
  CheckThread();
  return panel_.RouteAccessKey(letter);
}

bool Driver::Click(Control& control) {
  CheckThread();
  if (!Reachable(control)) return false;
  if (control.IsFocusable() && control.CanTakeFocus()) control.SetFocus();
  control.Click();
  return true;
}

bool Driver::Choose(ComboBox& combo, const std::string& itemText) {
  for (int i = 0; i < combo.ListCount(); ++i)
    if (combo.List(i) == itemText) return ChooseIndex(combo, i);
  return false;
}

bool Driver::ChooseIndex(ComboBox& combo, int index) {
  CheckThread();
  if (!combo.CanTakeFocus() || index < 0 || index >= combo.ListCount()) return false;
  combo.SetFocus();
  combo.UserChoose(index);
  return true;
}

bool Driver::SelectRows(ListView& list, const std::vector<int>& rows) {
  CheckThread();
  if (!list.CanTakeFocus()) return false;
  list.SetFocus();
  if (rows.empty()) {
    list.UserClickEmpty();
    return true;
  }
  list.UserClickRow(rows.front(), 0);
  for (std::size_t i = 1; i < rows.size(); ++i) list.UserClickRow(rows[i], shift::Ctrl);
  return true;
}

bool Driver::ClickRow(ListView& list, int row, int shiftState) {
  CheckThread();
  if (!list.CanTakeFocus()) return false;
  list.SetFocus();
  list.UserClickRow(row, shiftState);
  return true;
}

bool Driver::ContextMenu(ListView& list, std::optional<int> row) {
  CheckThread();
  if (!list.CanTakeFocus()) return false;
  list.SetFocus();
  list.UserContextMenu(row.value_or(-1));
  return true;
}

bool Driver::ChooseMenuItem(const std::string& caption) {
  CheckThread();
  PopupMenu* menu = panel_.OpenPopupMenu();
  if (!menu) return false;
  for (const auto& item : menu->Items()) {
    if (item->Caption() != caption || !item->Enabled() || !item->Visible()) continue;
    panel_.ClosePopupMenu();
    item->Click();
    return true;
  }
  return false;
}

}  // namespace quillmont::ui
