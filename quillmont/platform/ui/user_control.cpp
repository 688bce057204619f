#include <algorithm>

#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/controls.h"

namespace quillmont::ui {

UserControl::UserControl(std::string name) : Container(std::move(name)) {}

UserControl::~UserControl() = default;

void UserControl::SetActiveControl(Control* control) {
  if (control == active_) return;
  Control* previous = active_;
  active_ = control;
  if (previous) previous->LostFocus();
  if (control && active_ == control) control->GotFocus();
}

std::vector<Control*> UserControl::TabOrder() const {
  std::vector<Control*> order;
  CollectInTabOrder(order);
  return order;
}

void UserControl::FocusNext(bool backwards) {
  std::vector<Control*> stops;
  for (Control* c : TabOrder())
    if (c->IsFocusable() && c->Kind() != ControlKind::Composite && c->TabStop() && c->CanTakeFocus())
      stops.push_back(c);
  if (stops.empty()) return;
  const auto it = std::find(stops.begin(), stops.end(), active_);
  std::size_t next;
  if (it == stops.end()) {
    next = backwards ? stops.size() - 1 : 0;
  } else {
    const auto pos = static_cast<std::size_t>(it - stops.begin());
    next = backwards ? (pos + stops.size() - 1) % stops.size() : (pos + 1) % stops.size();
  }
  stops[next]->SetFocus();
}

void UserControl::SetSize(float width, float height) {
  if (width == Width() && height == Height()) return;
  Move(Left(), Top(), width, height);
  Resize();
}

std::shared_ptr<PopupMenu> UserControl::AddPopupMenu(std::string name, std::string caption) {
  menus_.push_back(std::make_shared<PopupMenu>(std::move(name), std::move(caption)));
  return menus_.back();
}

void UserControl::ShowPopupMenu(PopupMenu& menu, float x, float y) {
  openPopup_ = &menu;
  PopupShown(menu, x, y);
}

Control* UserControl::InputTarget() const noexcept {
  if (!active_ || !active_->CanTakeFocus()) return nullptr;
  return active_;
}

void UserControl::RouteKeyDown(KeyEventArgs& e) {
  if (keyPreview_) {
    KeyDown(e);
    if (e.KeyCode == 0) return;
  }
  if (e.KeyCode == keys::Tab && !(e.Shift & (shift::Ctrl | shift::Alt))) {
    FocusNext((e.Shift & shift::Shift) != 0);
    e.KeyCode = 0;
    return;
  }
  Control* target = InputTarget();
  if (!target) return;
  target->KeyDown(e);
  if (e.KeyCode != 0 && InputTarget() == target) target->DefaultKeyDown(e);
}

void UserControl::RouteKeyPress(KeyPressArgs& e) {
  if (keyPreview_) {
    KeyPress(e);
    if (e.KeyAscii == 0) return;
  }
  if (e.KeyAscii == keys::Tab) return;  // Tab moved the focus on its key-down
  Control* target = InputTarget();
  if (!target) return;
  target->KeyPress(e);
  if (e.KeyAscii != 0 && InputTarget() == target) target->DefaultKeyPress(e);
}

void UserControl::RouteKeyUp(KeyEventArgs& e) {
  if (keyPreview_) {
    KeyUp(e);
    if (e.KeyCode == 0) return;
  }
  Control* target = InputTarget();
  if (!target) return;
  target->KeyUp(e);
  if (e.KeyCode != 0 && InputTarget() == target) target->DefaultKeyUp(e);
}

bool UserControl::RouteAccessKey(char letter) {
  const char wanted = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  const std::vector<Control*> order = TabOrder();
  for (std::size_t i = 0; i < order.size(); ++i) {
    Control* c = order[i];
    if (c->AccessKey() != wanted || !c->IsEffectivelyVisible() || !c->IsEffectivelyEnabled()) continue;
    if (c->Kind() == ControlKind::Label || c->Kind() == ControlKind::Frame) {
      // A label hands the focus to the next control in tab order that takes it.
      for (std::size_t k = i + 1; k < order.size(); ++k) {
        if (order[k]->CanTakeFocus()) {
          order[k]->SetFocus();
          return true;
        }
      }
      return false;
    }
    if (c->CanTakeFocus()) c->SetFocus();
    if (c->Kind() == ControlKind::CommandButton) c->Click();
    return true;
  }
  return false;
}

}  // namespace quillmont::ui
