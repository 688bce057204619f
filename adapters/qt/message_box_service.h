#pragma once

#include <QMessageBox>
#include <QPointer>
#include <memory>
#include <string>

#include "quillmont/framework/services.h"

// The panels' message service for a Qt host: a modal QMessageBox with the
// buttons and icon of the buttons code (OK for 0; OK with the critical icon
// for 16; Yes and No with the warning icon for 52; the other codes of the
// same scheme likewise), answering with the code of the button pressed.
namespace quillmont::qt {

class MessageBoxService : public MessageService {
 public:
  // The boxes are modal to parent's window (none: to the active window).
  explicit MessageBoxService(QWidget* parent = nullptr);

  int ShowMessage(const std::string& prompt, int buttons, const std::string& title, const std::string& helpFile,
                  int helpContext) override;

  void SetParent(QWidget* parent) { parent_ = parent; }

  // The box ShowMessage shows, not yet shown: for a host that decorates it,
  // and for checking the buttons and icon of a code. An empty title gives
  // the title of the widget holding the keyboard, or of one of its
  // containers, in the parent's window (a host titles its pages), else the
  // window's title, else the application's name.
  static std::unique_ptr<QMessageBox> MakeBox(const std::string& prompt, int buttons, const std::string& title,
                                              QWidget* parent = nullptr);
  // The answer code (msgbox::AnswerOk, AnswerYes, ...) of a box's button.
  static int AnswerOf(QMessageBox::StandardButton button);

 private:
  QPointer<QWidget> parent_;
};

}  // namespace quillmont::qt
