#include "apps/studio/delivery_dialogs.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetricsF>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <thread>

#include "apps/session/delivery_fields.h"
#include "apps/session/test_send.h"
#include "quillmont/framework/services.h"

namespace quillmont::studio {
namespace {

using Settings = store::DeliverySettings;

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Save checks every field, then the whole; a refusal keeps the dialog open
// on the field at fault. Closing with changes asks first.
class SettingsDialog final : public QDialog {
 public:
  SettingsDialog(store::Store& store, QWidget* parent) : QDialog(parent), store_(store), ui_(this) {
    setWindowTitle(session::kDeliverySettingsTitle);
    try {
      settings_ = store::LoadDeliverySettings(store);
    } catch (const std::exception& e) {
      ui_.Message(std::string(e.what()) + "\n\nThe defaults are shown instead.", msgbox::Exclamation,
                  session::kDeliverySettingsTitle);
    }
    auto* form = new QFormLayout;
    QString letters;  // taken access letters: one a field, the first free letter of its label
    for (const session::DeliveryField& field : session::DeliveryFields()) {
      QWidget* editor = nullptr;
      if (!field.choices.empty()) {
        auto* combo = new QComboBox;
        for (const std::string& choice : field.choices) combo->addItem(Q(choice));
        combo->setCurrentText(Q(field.get(settings_)));
        editor = combo;
      } else if (field.multiLine) {
        auto* edit = new QPlainTextEdit(Q(field.get(settings_)));
        edit->setTabChangesFocus(true);
        // Six whole lines, inside the frame and the document's margins (and
        // the pixel the editor keeps below its last whole line).
        const double lines = QFontMetricsF(edit->font()).lineSpacing() * 6 + 2 * edit->document()->documentMargin();
        edit->setFixedHeight(static_cast<int>(std::ceil(lines)) + 1 + 2 * edit->frameWidth());
        editor = edit;
      } else {
        auto* edit = new QLineEdit(Q(field.get(settings_)));
        edit->setMaxLength(static_cast<int>(store::kMaxSettingLength));
        editor = edit;
      }
      QString label = field.label;
      for (int i = 0; i < label.size(); ++i)
        if (label[i].isLetter() && !letters.contains(label[i].toLower())) {
          letters += label[i].toLower();
          label.insert(i, '&');
          break;
        }
      form->addRow(label + ":", editor);
      editors_.push_back(editor);
    }
    auto* note = new QLabel(session::kPasswordNote);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
    setMinimumWidth(fontMetrics().averageCharWidth() * 70);
  }

  void accept() override {
    if (Save()) QDialog::accept();
  }
  void reject() override {
    if (!Changed()) return QDialog::reject();
    const int choice = ui_.Choice("Save the changed delivery settings?", {"Save", "Discard", "Go back"},
                                  session::kDeliverySettingsTitle);
    if (choice == 1) QDialog::reject();
    if (choice == 0) accept();
  }

 private:
  std::string Text(std::size_t i) const {
    QWidget* w = editors_[i];
    if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText().toStdString();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) return edit->toPlainText().toStdString();
    return static_cast<QLineEdit*>(w)->text().toStdString();
  }
  bool Changed() const {
    const auto& fields = session::DeliveryFields();
    for (std::size_t i = 0; i < fields.size(); ++i)
      if (Text(i) != fields[i].get(settings_)) return true;
    return false;
  }
  // The fields taken into the settings; the first refusal is told, with
  // the keyboard on its field.
  std::optional<Settings> Taken() {
    Settings taken = settings_;
    const auto& fields = session::DeliveryFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (Text(i) == fields[i].get(taken)) continue;
      if (const auto refused = fields[i].set(taken, Text(i))) {
        ui_.Message(*refused, msgbox::Exclamation, session::kDeliverySettingsTitle);
        editors_[i]->setFocus();
        return std::nullopt;
      }
    }
    return taken;
  }
  bool Save() {
    const std::optional<Settings> taken = Taken();
    if (!taken) return false;
    try {
      store::SaveDeliverySettings(store_, *taken);
    } catch (const std::exception& e) {
      ui_.Message(std::string("The settings were not saved.\n\n") + e.what(), msgbox::Critical,
                  session::kDeliverySettingsTitle);
      return false;
    }
    settings_ = *taken;
    return true;
  }

  store::Store& store_;
  QtFrontEnd ui_;
  Settings settings_;
  std::vector<QWidget*> editors_;
};

}  // namespace

QString EditDeliverySettings(store::Store& store, QWidget* parent) {
  SettingsDialog dialog(store, parent);
  if (dialog.exec() != QDialog::Accepted) return {};
  return store.ReadOnly() ? QObject::tr("Delivery settings kept for this run (the database is read-only)")
                          : QObject::tr("Delivery settings saved");
}

bool SendTest(store::Store& store, QtFrontEnd& ui, const std::string& name, ui::UserControl& page, QWidget* parent) {
  bool hasList = false;
  const auto test = session::StartTestSend(ui, store, name, page, "quillmont-studio", hasList);
  if (!test) return hasList;
  {
    QProgressDialog progress(Q(test->Progress()), QObject::tr("&Stop"), 0, static_cast<int>(test->Total()), parent);
    progress.setWindowTitle(session::kTestTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    QTimer tick;
    // Stop asks the sender to stop; the dialog stays, saying so, until it has.
    QObject::disconnect(&progress, &QProgressDialog::canceled, &progress, &QProgressDialog::cancel);
    QObject::connect(&progress, &QProgressDialog::canceled, [&test] { test->Stop(); });
    QObject::connect(&tick, &QTimer::timeout, [&] {
      progress.setLabelText(Q(test->Progress()));
      progress.setValue(static_cast<int>(test->Outcomes().size()));
      if (test->Done()) progress.accept();
    });
    tick.start(100);
    if (!test->Done()) progress.exec();
    // Closed otherwise (its window's close button): it stops, promptly.
    test->Stop();
    while (!test->Done()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // The result list: a row a destination.
  const std::vector<delivery::Outcome> outcomes = test->Outcomes();
  std::size_t sent = 0;
  QDialog result(parent);
  result.setWindowTitle(session::kTestTitle);
  auto* list = new QTreeWidget(&result);
  list->setHeaderLabels({QObject::tr("Destination"), QObject::tr("Result")});
  list->setRootIsDecorated(false);
  for (const delivery::Outcome& o : outcomes) {
    sent += o.sent ? 1 : 0;
    auto* row = new QTreeWidgetItem({Q(o.destination), Q(o.sent ? "sent" : "FAILED: " + o.detail)});
    row->setToolTip(1, row->text(1));
    list->addTopLevelItem(row);
  }
  // A result longer than the screen scrolls rather than being cut.
  list->header()->setStretchLastSection(false);
  list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  // As wide as its texts, within the screen.
  int texts = 0;
  for (int column = 0; column < 2; ++column)
    texts += std::max(list->header()->sectionSizeHint(column),
                      static_cast<QAbstractItemView*>(list)->sizeHintForColumn(column));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &result);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &result, &QDialog::accept);
  auto* layout = new QVBoxLayout(&result);
  layout->addWidget(new QLabel(QObject::tr("%1 of %2 sent.").arg(sent).arg(test->Total()), &result));
  layout->addWidget(list);
  layout->addWidget(buttons);
  const int screen = parent && parent->screen() ? parent->screen()->availableGeometry().width() * 9 / 10 : 1200;
  result.resize(std::clamp(texts + 60, result.fontMetrics().averageCharWidth() * 60, screen),
                result.sizeHint().height());
  result.exec();
  return true;
}

}  // namespace quillmont::studio
