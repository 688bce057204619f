#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "apps/session/front_end.h"

namespace quillmont::studio {

// The editing logic's questions as Qt dialogs, modal to a window: message
// boxes with the buttons and icon of a code, a box with a button per choice,
// a line of text.
class QtFrontEnd final : public session::FrontEnd {
 public:
  explicit QtFrontEnd(QWidget* parent, std::function<void(std::size_t)> showPage = nullptr)
      : parent_(parent), showPage_(std::move(showPage)) {}
  int Message(const std::string& text, int buttons, const std::string& title) override;
  int Choice(const std::string& text, const std::vector<std::string>& choices, const std::string& title) override;
  std::optional<std::string> Text(const std::string& title, const std::string& prompt, const std::string& initial,
                                  std::size_t maxLength) override;
  void ShowPage(std::size_t index) override {
    if (showPage_) showPage_(index);
  }

 private:
  QPointer<QWidget> parent_;
  std::function<void(std::size_t)> showPage_;
};

}  // namespace quillmont::studio
