#include "apps/studio/qt_front_end.h"

#include <QFontMetrics>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "adapters/qt/message_box_service.h"

namespace quillmont::studio {

namespace {
// What a window manager takes of a title bar for its buttons and icon.
constexpr int kTitleBarButtons = 140;
}  // namespace

int QtFrontEnd::Message(const std::string& text, int buttons, const std::string& title) {
  auto box = qt::MessageBoxService::MakeBox(text, buttons, title, parent_);
  return qt::MessageBoxService::AnswerOf(static_cast<QMessageBox::StandardButton>(box->exec()));
}

int QtFrontEnd::Choice(const std::string& text, const std::vector<std::string>& choices, const std::string& title) {
  QMessageBox box(QMessageBox::Question, QString::fromStdString(title), QString::fromStdString(text),
                  QMessageBox::NoButton, parent_);
  std::vector<QPushButton*> buttons;
  buttons.reserve(choices.size());
  for (const std::string& choice : choices)
    buttons.push_back(box.addButton(QString::fromStdString(choice), QMessageBox::ActionRole));
  // The last choice backs out, on Esc and on Enter.
  if (!buttons.empty()) {
    box.setEscapeButton(buttons.back());
    box.setDefaultButton(buttons.back());
  }
  box.exec();
  for (std::size_t i = 0; i < buttons.size(); ++i)
    if (box.clickedButton() == buttons[i]) return static_cast<int>(i);
  return static_cast<int>(choices.size()) - 1;
}

std::optional<std::string> QtFrontEnd::Text(const std::string& title, const std::string& prompt,
                                            const std::string& initial, std::size_t maxLength) {
  QInputDialog dialog(parent_);
  dialog.setWindowTitle(QString::fromStdString(title));
  dialog.setLabelText(QString::fromStdString(prompt));
  dialog.setTextValue(QString::fromStdString(initial));
  if (auto* edit = dialog.findChild<QLineEdit*>()) {
    edit->setMaxLength(static_cast<int>(maxLength));
    // Wide enough for the title beside the window's buttons, and for a
    // name (the dialog's own size follows its field's).
    const QFontMetrics metrics(dialog.font());
    edit->setMinimumWidth(
        std::max(metrics.horizontalAdvance(dialog.windowTitle()) + kTitleBarButtons, metrics.averageCharWidth() * 40));
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue().toStdString();
}

}  // namespace quillmont::studio
