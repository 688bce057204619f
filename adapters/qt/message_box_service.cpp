#include "adapters/qt/message_box_service.h"

#include <QApplication>
#include <utility>

namespace quillmont::qt {
namespace {

// The answers and Qt's buttons, pair by pair.
constexpr std::pair<int, QMessageBox::StandardButton> kButtons[] = {
    {msgbox::AnswerOk, QMessageBox::Ok},         {msgbox::AnswerCancel, QMessageBox::Cancel},
    {msgbox::AnswerAbort, QMessageBox::Abort},   {msgbox::AnswerRetry, QMessageBox::Retry},
    {msgbox::AnswerIgnore, QMessageBox::Ignore}, {msgbox::AnswerYes, QMessageBox::Yes},
    {msgbox::AnswerNo, QMessageBox::No}};

QMessageBox::StandardButton ButtonOf(int answer) {
  for (const auto& [code, button] : kButtons)
    if (code == answer) return button;
  return QMessageBox::NoButton;
}

QMessageBox::Icon IconOf(msgbox::Icon icon) {
  switch (icon) {
    case msgbox::Icon::Critical:
      return QMessageBox::Critical;
    case msgbox::Icon::Question:
      return QMessageBox::Question;
    case msgbox::Icon::Exclamation:
      return QMessageBox::Warning;
    case msgbox::Icon::Information:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

MessageBoxService::MessageBoxService(QWidget* parent) : parent_(parent) {}

std::unique_ptr<QMessageBox> MessageBoxService::MakeBox(const std::string& prompt, int buttons,
                                                        const std::string& title, QWidget* parent) {
  auto box = std::make_unique<QMessageBox>(parent);
  // Untitled, it takes the title of the page the keyboard is in (a host
  // titles its pages' widgets), else its window's.
  QString shownTitle = QString::fromStdString(title);
  if (shownTitle.isEmpty() && parent) {
    for (QWidget* w = QApplication::focusWidget(); w && !w->isWindow() && shownTitle.isEmpty(); w = w->parentWidget())
      if (w->window() == parent->window()) shownTitle = w->windowTitle();
    if (shownTitle.isEmpty()) shownTitle = parent->window()->windowTitle();
  }
  if (shownTitle.isEmpty()) shownTitle = QGuiApplication::applicationDisplayName();
  box->setWindowTitle(shownTitle);
  box->setText(QString::fromStdString(prompt));
  box->setTextFormat(Qt::PlainText);
  const msgbox::Layout layout = msgbox::LayoutOf(buttons);
  box->setIcon(IconOf(layout.icon));
  for (const int answer : layout.answers) box->addButton(ButtonOf(answer));
  box->setDefaultButton(ButtonOf(layout.answers[layout.defaultButton]));
  // Abort/Retry/Ignore has no way out but a button.
  if (layout.escape != 0) box->setEscapeButton(ButtonOf(layout.escape));
  return box;
}

int MessageBoxService::AnswerOf(QMessageBox::StandardButton button) {
  for (const auto& [code, standard] : kButtons)
    if (standard == button) return code;
  return msgbox::AnswerCancel;
}

int MessageBoxService::ShowMessage(const std::string& prompt, int buttons, const std::string& title, const std::string&,
                                   int) {
  // Without a parent of its own, over the window the user works in rather
  // than in the middle of the screen.
  const auto box = MakeBox(prompt, buttons, title, parent_ ? parent_.data() : QApplication::activeWindow());
  box->exec();
  const auto pressed = box->standardButton(box->clickedButton());
  // A box closed without a button (its window closed) answers as Esc would.
  if (pressed == QMessageBox::NoButton) {
    const auto escape = box->standardButton(box->escapeButton());
    return AnswerOf(escape == QMessageBox::NoButton ? QMessageBox::Cancel : escape);
  }
  return AnswerOf(pressed);
}

}  // namespace quillmont::qt
