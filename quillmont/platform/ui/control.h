#pragma once

#include <memory>
#include <string>
#include <vector>

#include "quillmont/platform/export.h"
#include "quillmont/platform/ui/keys.h"
#include "quillmont/platform/ui/signal.h"

namespace quillmont::ui {

class Container;
class UserControl;

enum class ControlKind { Label, TextBox, ComboBox, CommandButton, Frame, ListView, Composite, UserControl };

// A visual child. Geometry is in twips relative to the parent container.
// A control ignores the user while it, or a container above it, is disabled
// or hidden; the program can still change it.
class QUILLMONT_API Control {
 public:
  explicit Control(std::string name);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const noexcept { return name_; }
  virtual ControlKind Kind() const noexcept = 0;

  float Left() const noexcept { return left_; }
  float Top() const noexcept { return top_; }
  float Width() const noexcept { return width_; }
  float Height() const noexcept { return height_; }
  // A negative width or height is refused with Error(InvalidProcedureCall)
  // and the control keeps its place and size.
  void Move(float left, float top, float width, float height);
  void Move(float left, float top);
  void SetLeft(float left);
  void SetTop(float top);
  void SetWidth(float width);
  void SetHeight(float height);

  bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const noexcept { return visible_; }
  void SetVisible(bool visible);
  int TabIndex() const noexcept { return tabIndex_; }
  void SetTabIndex(int index) noexcept { tabIndex_ = index; }
  bool TabStop() const noexcept { return tabStop_; }
  void SetTabStop(bool stop) noexcept { tabStop_ = stop; }
  int HelpContextID() const noexcept { return helpContextId_; }
  void SetHelpContextID(int id) noexcept { helpContextId_ = id; }

  // The caption that carries the access key ('&' before the letter); empty
  // for controls without one.
  virtual std::string Caption() const { return {}; }
  // The access letter of Caption() in upper case, or 0.
  char AccessKey() const;

  Container* Parent() const noexcept { return parent_; }
  // The panel this control belongs to, or null when it is in none.
  UserControl* Root() const noexcept;

  // Enabled and Visible here and in every container up to (not including) the
  // panel, whose visibility is the host's business: a panel on a hidden tab
  // page still takes focus moves and shows them when it comes forward.
  bool IsEffectivelyEnabled() const noexcept;
  bool IsEffectivelyVisible() const noexcept;
  // Whether this kind of control can hold the focus at all.
  virtual bool IsFocusable() const noexcept { return false; }
  bool CanTakeFocus() const noexcept;
  // Moves the focus here; Error(InvalidProcedureCall) when the control cannot
  // take it (disabled, hidden, of a kind that takes no focus, or in no panel).
  virtual void SetFocus();
  bool HasFocus() const noexcept;

  // Events.
  Signal<> Click;
  Signal<> GotFocus;
  Signal<> LostFocus;
  Signal<KeyEventArgs&> KeyDown;
  Signal<KeyPressArgs&> KeyPress;
  Signal<KeyEventArgs&> KeyUp;

  // What the control does by itself with input that its handlers left to it.
  // Called by the panel's key routing; a control may override them.
  virtual void DefaultKeyDown(KeyEventArgs&) {}
  virtual void DefaultKeyPress(KeyPressArgs&) {}
  virtual void DefaultKeyUp(KeyEventArgs&) {}

 protected:
  // Called after the size changed (not on a pure move).
  virtual void OnSizeChanged() {}
  virtual void OnEnabledChanged() {}

 private:
  friend class Container;
  QUILLMONT_LOCAL void CheckSize(float width, float height) const;

  std::string name_;
  Container* parent_ = nullptr;
  float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool enabled_ = true;
  bool visible_ = true;
  bool tabStop_ = true;
  int tabIndex_ = 0;
  int helpContextId_ = 0;
};

// A control that holds others. Children are owned by their container.
class QUILLMONT_API Container : public Control {
 public:
  using Control::Control;
  ~Container() override;

  template <class T, class... Args>
  std::shared_ptr<T> Add(Args&&... args) {
    auto child = std::make_shared<T>(std::forward<Args>(args)...);
    AddChild(child);
    return child;
  }
  // Adopts a control made elsewhere (an outside list or selector).
  void AddChild(std::shared_ptr<Control> child);
  const std::vector<std::shared_ptr<Control>>& Children() const noexcept { return children_; }
  // The control of that name here or in any nested container, or null.
  Control* Find(const std::string& name) const;
  // Every control below this one, depth first, each container's children in
  // tab-index order: the order Tab walks.
  void CollectInTabOrder(std::vector<Control*>& out) const;

 private:
  std::vector<std::shared_ptr<Control>> children_;
};

// A frame: a captioned box around other controls. It takes no focus.
class QUILLMONT_API Frame : public Container {
 public:
  Frame(std::string name, std::string caption = {});
  ControlKind Kind() const noexcept override { return ControlKind::Frame; }
  std::string Caption() const override { return caption_; }
  void SetCaption(std::string caption) { caption_ = std::move(caption); }

 private:
  std::string caption_;
};

// A control made of other controls (an outside list or selector). Giving it
// the focus gives the focus to its first child that can take it.
class QUILLMONT_API Composite : public Container {
 public:
  using Container::Container;
  ControlKind Kind() const noexcept override { return ControlKind::Composite; }
  bool IsFocusable() const noexcept override;
  void SetFocus() override;
};

}  // namespace quillmont::ui
