#include "adapters/qt/message_box_service.h"

#include <QApplication>
#include <vector>

namespace quillmont::qt {
namespace {

std::vector<QMessageBox::StandardButton> ButtonsOf(int code) {
  switch (code & 0xF) {
    case 1:
      return {QMessageBox::Ok, QMessageBox::Cancel};
    case 2:
      return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
    case 3:
      return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case 4:
      return {QMessageBox::Yes, QMessageBox::No};
    case 5:
      return {QMessageBox::Retry, QMessageBox::Cancel};
    default:
      return {QMessageBox::Ok};
  }
}

QMessageBox::Icon IconOf(int code) {
  switch (code & 0xF0) {
    case 16:
      return QMessageBox::Critical;
    case 32:
      return QMessageBox::Question;
    case 48:
      return QMessageBox::Warning;
    case 64:
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
  // Untitled, it takes its window's title: every box of one window reads the
  // same, whichever page or check it comes from.
  QString shownTitle = QString::fromStdString(title);
  if (shownTitle.isEmpty() && parent) shownTitle = parent->window()->windowTitle();
  if (shownTitle.isEmpty()) shownTitle = QGuiApplication::applicationDisplayName();
  box->setWindowTitle(shownTitle);
  box->setText(QString::fromStdString(prompt));
  box->setTextFormat(Qt::PlainText);
  box->setIcon(IconOf(buttons));
  const auto standard = ButtonsOf(buttons);
  for (auto b : standard) box->addButton(b);
  // The default button is the first, second or third of the code.
  const auto chosen = static_cast<std::size_t>((buttons & 0xF00) / 256);
  box->setDefaultButton(standard[chosen < standard.size() ? chosen : 0]);
  // Esc backs out: Cancel, else No (which cancels a Yes/No question), else
  // the lone OK; Abort/Retry/Ignore has no way out but a button.
  for (auto wanted : {QMessageBox::Cancel, QMessageBox::No})
    for (auto b : standard)
      if (b == wanted && !box->escapeButton()) box->setEscapeButton(wanted);
  if (standard.size() == 1) box->setEscapeButton(standard.front());
  return box;
}

int MessageBoxService::AnswerOf(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok:
      return msgbox::AnswerOk;
    case QMessageBox::Cancel:
      return msgbox::AnswerCancel;
    case QMessageBox::Abort:
      return 3;
    case QMessageBox::Retry:
      return 4;
    case QMessageBox::Ignore:
      return 5;
    case QMessageBox::Yes:
      return msgbox::AnswerYes;
    case QMessageBox::No:
      return msgbox::AnswerNo;
    default:
      return msgbox::AnswerCancel;
  }
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
