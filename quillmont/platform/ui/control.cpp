#include "quillmont/platform/ui/control.h"

#include <algorithm>
#include <cctype>

#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/controls.h"

namespace quillmont::ui {

Control::Control(std::string name) : name_(std::move(name)) {}

Control::~Control() = default;

void Control::CheckSize(float width, float height) const {
  if (width < 0 || height < 0)
    throw Error(ErrorCode::InvalidProcedureCall, "Invalid procedure call or argument: negative size for " + name_);
}

void Control::Move(float left, float top, float width, float height) {
  CheckSize(width, height);
  const bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (resized) OnSizeChanged();
}

void Control::Move(float left, float top) {
  left_ = left;
  top_ = top;
}

void Control::SetLeft(float left) { left_ = left; }
void Control::SetTop(float top) { top_ = top; }
void Control::SetWidth(float width) { Move(left_, top_, width, height_); }
void Control::SetHeight(float height) { Move(left_, top_, width_, height); }

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  OnEnabledChanged();
}

void Control::SetVisible(bool visible) { visible_ = visible; }

char Control::AccessKey() const {
  const std::string caption = Caption();
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {  // "&&" is a literal ampersand
      ++i;
      continue;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
  }
  return 0;
}

UserControl* Control::Root() const noexcept {
  const Control* c = this;
  while (c->parent_) c = c->parent_;
  if (c->Kind() != ControlKind::UserControl) return nullptr;
  return static_cast<UserControl*>(const_cast<Control*>(c));
}

bool Control::IsEffectivelyEnabled() const noexcept {
  for (const Control* c = this; c; c = c->parent_)
    if (!c->enabled_) return false;
  return true;
}

bool Control::IsEffectivelyVisible() const noexcept {
  for (const Control* c = this; c; c = c->parent_) {
    if (c->Kind() == ControlKind::UserControl && !c->parent_) break;
    if (!c->visible_) return false;
  }
  return true;
}

bool Control::CanTakeFocus() const noexcept {
  return IsFocusable() && IsEffectivelyEnabled() && IsEffectivelyVisible() && Root() != nullptr;
}

void Control::SetFocus() {
  if (!CanTakeFocus())
    throw Error(ErrorCode::InvalidProcedureCall,
                "Invalid procedure call or argument: " + name_ + " cannot take the focus");
  Root()->SetActiveControl(this);
}

bool Control::HasFocus() const noexcept {
  const UserControl* root = Root();
  return root && root->ActiveControl() == this;
}

Container::~Container() {
  for (auto& child : children_) child->parent_ = nullptr;
}

void Container::AddChild(std::shared_ptr<Control> child) {
  if (!child) throw Error(ErrorCode::ObjectRequired, "Object required");
  if (child->parent_) throw Error(ErrorCode::InvalidProcedureCall, child->Name() + " already has a container");
  child->parent_ = this;
  children_.push_back(std::move(child));
}

Control* Container::Find(const std::string& name) const {
  for (const auto& child : children_) {
    if (child->Name() == name) return child.get();
    if (auto* c = dynamic_cast<Container*>(child.get()))
      if (auto* found = c->Find(name)) return found;
  }
  return nullptr;
}

void Container::CollectInTabOrder(std::vector<Control*>& out) const {
  std::vector<Control*> sorted;
  sorted.reserve(children_.size());
  for (const auto& child : children_) sorted.push_back(child.get());
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Control* a, const Control* b) { return a->TabIndex() < b->TabIndex(); });
  for (Control* c : sorted) {
    out.push_back(c);
    if (auto* container = dynamic_cast<Container*>(c)) container->CollectInTabOrder(out);
  }
}

Frame::Frame(std::string name, std::string caption) : Container(std::move(name)), caption_(std::move(caption)) {}

bool Composite::IsFocusable() const noexcept {
  std::vector<Control*> order;
  CollectInTabOrder(order);
  return std::any_of(order.begin(), order.end(), [](Control* c) { return c->CanTakeFocus(); });
}

void Composite::SetFocus() {
  std::vector<Control*> order;
  CollectInTabOrder(order);
  for (Control* c : order) {
    if (c->IsFocusable() && c->CanTakeFocus()) {
      c->SetFocus();
      return;
    }
  }
  Control::SetFocus();  // throws: nothing here can take the focus
}

}  // namespace quillmont::ui
