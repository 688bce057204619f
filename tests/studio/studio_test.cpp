// quillmont-studio end to end on the offscreen platform: the sample database
// opened in the list window, a notification opened in its own window, a
// manager, a recipient and an event type added through the real widgets,
// saved with Ctrl+S, the window closed and the notification opened again,
// and the export showing all three.
#include <deque>
#include <functional>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyleOptionGroupBox>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>

#include "adapters/qt/message_box_service.h"
#include "apps/session/startup.h"
#include "apps/studio/studio_window.h"
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"
#include "store/delivery_settings.h"
#include "store/notification_io.h"
#include "store/seed.h"
#include "store/sqlite_db.h"
#include "tests/support/loopback_receivers.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace quillmont::studio {
namespace {

template <class W = QWidget>
W& Native(NotificationWindow& window, int page, const ui::Control& control) {
  auto* w = qobject_cast<W*>(window.Page(page).WidgetFor(control));
  if (!w) throw std::runtime_error("no native widget for " + control.Name());
  return *w;
}

void TypeInto(QWidget& box, const QString& text) {
  QTest::mouseClick(&box, Qt::LeftButton);
  QTest::keyClicks(&box, text);
}

// A store with the sample notifications, the list window on it, and the
// answers to the modal dialogs the user is expected to see, in order (an
// unexpected one fails the test and is closed).
class StudioKeys : public ::testing::Test {
 protected:
  using Answer = std::function<void(QWidget&)>;
  void SetUp() override {
    QObject::connect(&modal, &QTimer::timeout, [this] {
      QWidget* box = QApplication::activeModalWidget();
      if (!box || !box->isVisible()) return;
      EXPECT_FALSE(answers.empty()) << "unexpected dialog: " << box->windowTitle().toStdString();
      const Answer answer = answers.empty() ? [](QWidget& w) { w.close(); } : answers.front();
      if (!answers.empty()) answers.pop_front();
      answer(*box);
    });
    modal.start(30);
    studio->show();
  }
  void TearDown() override {
    studio.reset();
    EXPECT_TRUE(answers.empty()) << answers.size() << " expected dialogs did not come";
  }
  NotificationWindow& Open(std::int32_t id) {
    NotificationWindow* window = studio->OpenNotification(id);
    EXPECT_TRUE(window && QTest::qWaitForWindowActive(window));
    return *window;
  }
  // The offscreen platform gives the focus back to no window after a box.
  static void Activate(QWidget& window) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; }));
  }
  // The key goes where the keyboard is.
  static void Key(Qt::Key key, Qt::KeyboardModifiers m = {}) { QTest::keyClick(QApplication::focusWidget(), key, m); }
  static Answer Press(const QString& caption) {
    return [caption](QWidget& box) {
      for (auto* button : box.findChildren<QAbstractButton*>())
        if (button->text().remove('&') == caption) return button->click();
      ADD_FAILURE() << "no button " << caption.toStdString() << " in " << box.windowTitle().toStdString();
    };
  }
  // The list as shown: its captions, then each row's cells ('>' after a right-aligned one).
  std::string Listed() const {
    const QAbstractItemModel& m = *studio->Table().model();
    QString out;
    for (int r = -1; r < m.rowCount(); ++r)
      for (int c = 0; c < m.columnCount(); ++c)
        out += (r < 0 ? m.headerData(c, Qt::Horizontal) : m.index(r, c).data()).toString() +
               (m.index(r, c).data(Qt::TextAlignmentRole).isValid() ? ">|" : "|") +
               (c + 1 < m.columnCount() ? "" : "\n");
    return out.toStdString();
  }
  static Answer Type(const QString& text) {
    return [text](QWidget& box) {
      dynamic_cast<QInputDialog&>(box).setTextValue(text), static_cast<QDialog&>(box).accept();
    };
  }

  testing::TempDir dir;
  std::shared_ptr<store::Store> store = [this] {
    auto opened = store::Store::Open(dir.File("q.db"));
    store::SeedDatabase(*opened);
    return opened;
  }();
  session::StoreServices services{std::make_shared<qt::MessageBoxService>(), store};
  std::unique_ptr<StudioWindow> studio = std::make_unique<StudioWindow>(store, dir.File("q.db"));
  std::deque<Answer> answers;
  QTimer modal;
};

TEST_F(StudioKeys, AManagerARecipientAndAnEventTypeAddedSavedAndReopened) {
  EXPECT_EQ(Listed(),
            "No.|Name|Managers|Recipients|Events|\n1>|Core network outage|2>|2>|6>|\n"
            "2>|Server room environment|1>|1>|6>|\n");
  QTest::keyClick(&studio->Table(), Qt::Key_Return);  // the first row is chosen: it opens
  auto windows = studio->findChildren<NotificationWindow*>();
  ASSERT_EQ(windows.size(), 1);
  NotificationWindow& window = *windows[0];
  EXPECT_EQ(window.windowTitle().toStdString(), "Notification 1: Core network outage");
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));  // typing goes to the active window

  auto& events = dynamic_cast<XEventsTab&>(window.Page(0).Panel());
  auto& available = Native<QTreeView>(window, 0, events.xEvents().AvailableList());
  QTest::mouseClick(available.viewport(), Qt::LeftButton, {},
                    available.visualRect(available.model()->index(0, 0)).center());
  QTest::mouseClick(&Native(window, 0, events.xEvents().ChooseButton()), Qt::LeftButton);
  EXPECT_TRUE(window.windowTitle().endsWith("[changed]")) << window.windowTitle().toStdString();

  window.Tabs().setCurrentIndex(1);
  auto& snmp = dynamic_cast<XEventSNMPTab&>(window.Page(1).Panel());
  QTest::mouseClick(&Native(window, 1, snmp.cmdNew()), Qt::LeftButton);
  TypeInto(Native(window, 1, snmp.txtHost()), "trap.example.org");
  TypeInto(Native(window, 1, snmp.txtPort()), "1162");
  QTest::mouseClick(&Native(window, 1, snmp.cmdApply()), Qt::LeftButton);

  window.Tabs().setCurrentIndex(2);
  auto& email = dynamic_cast<XEventEmailTab&>(window.Page(2).Panel());
  QTest::mouseClick(&Native(window, 2, email.cmdNew()), Qt::LeftButton);
  TypeInto(Native(window, 2, email.txtAddress()), "ops@example.org");
  QTest::keyClick(&Native(window, 2, email.txtAddress()), Qt::Key_Return);

  QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(window.windowTitle().toStdString(), "Notification 1: Core network outage");
  EXPECT_NE(Listed().find("\n1>|Core network outage|3>|3>|7>|\n"), std::string::npos);  // the list's counts follow
  QTest::keySequence(&window, QKeySequence::Close);                                     // the menu's Close
  ASSERT_FALSE(window.isVisible());  // deleted only once events are handled

  NotificationWindow* again = studio->OpenNotification(1);
  ASSERT_NE(again, nullptr);
  auto& reopened = dynamic_cast<XEventSNMPTab&>(again->Page(1).Panel());
  EXPECT_EQ(reopened.stl().RowCount(), 3);
  again->close();
  const std::string json = store::ExportJson(*store, 1);
  EXPECT_NE(json.find("{\"host\": \"trap.example.org\", \"port\": 1162"), std::string::npos) << json;
  EXPECT_NE(json.find("\"ops@example.org\""), std::string::npos) << json;
  EXPECT_NE(json.find("{\"key\": \"node.up\""), std::string::npos) << json;
}

// The store fails under the list window while the user answers its question
// (another program took its table away): the poll keeps out of the
// question's modal loop, the failed deletion is told in one box, and the
// reload after it fails quietly instead of escaping into Qt.
TEST_F(StudioKeys, AFailingStoreIsToldOnceAndNothingEscapesIntoQt) {
  std::vector<std::string> titles;
  answers = {[&](QWidget& box) {
               titles.push_back(box.windowTitle().toStdString());
               store::SqliteDatabase(dir.File("q.db"), store::OpenMode::ReadWrite)
                   .Exec("ALTER TABLE notifications RENAME TO gone");
               QTest::qWait(1500);  // open over more than a tick of the poll
               std::size_t shown = 0;
               for (QMessageBox* open : studio->findChildren<QMessageBox*>()) shown += open->isVisible();
               EXPECT_EQ(shown, 1U);
               Press("Yes")(box);
             },
             [&](QWidget& box) { titles.push_back(box.windowTitle().toStdString()), box.close(); }};
  Activate(*studio);
  QTest::keyClick(&studio->Table(), Qt::Key_Delete);
  EXPECT_EQ(titles, (std::vector<std::string>{"Delete Notification", session::kErrorTitle}));
  EXPECT_EQ(studio->Table().model()->rowCount(), 2);  // the rows as they were last read
}

// A database the studio cannot open: a box says why, and the exit code is
// the database's refusal (a usage error's for a folder that is not there).
TEST_F(StudioKeys, ADatabaseThatCannotBeOpenedIsToldAndEndsTheStart) {
  const std::string text = dir.File("text.db");
  testing::WriteText(text, "not a database");
  for (const auto& [database, code] : {std::pair{text, 4}, std::pair{dir.File("none/q.db"), 2}}) {
    std::string told;
    answers.push_back([&](QWidget& box) { told = dynamic_cast<QMessageBox&>(box).text().toStdString(), box.close(); });
    int refused = 0;
    EXPECT_EQ(OpenStudioStore(database, refused), nullptr) << database;
    EXPECT_EQ(refused, code) << told;
    EXPECT_FALSE(told.empty()) << database;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("none")));
}

// From inside any page the page keys change pages, and the keyboard goes
// with the page; a list's Ctrl+PgDn is no row move; Esc on an open drop-down
// closes only the drop-down.
TEST_F(StudioKeys, PageKeysWorkFromInsideAPageAndEscClosesOnlyADropDown) {
  NotificationWindow& window = Open(1);
  EXPECT_EQ(window.Tabs().tabText(1), "&2 SNMP Managers");
  const std::pair<QKeyCombination, int> steps[] = {
      {Qt::CTRL | Qt::Key_Tab, 1},      {Qt::CTRL | Qt::Key_PageDown, 2},
      {Qt::CTRL | Qt::Key_PageUp, 1},   {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, 0},
      {QKeyCombination(Qt::Key_F6), 1}, {Qt::SHIFT | Qt::Key_F6, 0},
      {Qt::ALT | Qt::Key_3, 2},         {QKeyCombination(Qt::Key_F6), 0},
      {Qt::ALT | Qt::Key_2, 1}};
  for (const auto& [keys, page] : steps) {
    SCOPED_TRACE(QKeySequence(keys).toString().toStdString());
    Key(keys.key(), keys.keyboardModifiers());
    EXPECT_EQ(window.Tabs().currentIndex(), page);
    EXPECT_TRUE(window.Page(page).isAncestorOf(QApplication::focusWidget()));
  }
  QTest::mouseClick(&window.Page(1), Qt::LeftButton, {}, QPoint(1, 1));  // the page's background
  EXPECT_TRUE(window.Page(1).isAncestorOf(QApplication::focusWidget()));
  QString help;
  answers.push_back([&](QWidget& box) { help = dynamic_cast<QMessageBox&>(box).text(), box.close(); });
  Key(Qt::Key_F1);
  EXPECT_TRUE(help.contains("Ctrl+PgDn") && help.contains("Shift+F10")) << help.toStdString();
  Activate(window);
  auto& snmp = dynamic_cast<XEventSNMPTab&>(window.Page(1).Panel());
  auto& managers = Native<QTreeView>(window, 1, snmp.stl());
  QTest::mouseClick(managers.viewport(), Qt::LeftButton, {},
                    managers.visualRect(managers.model()->index(0, 0)).center());
  Key(Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(window.Tabs().currentIndex(), 2);
  EXPECT_EQ(snmp.stl().SelectedRows(), std::vector<int>{0});

  window.Tabs().setCurrentIndex(1);
  auto& version = Native<QComboBox>(window, 1, snmp.cboVersion());
  QTest::keyClick(&version, Qt::Key_Down, Qt::AltModifier);  // as a click, Alt+Down opens it
  ASSERT_NE(QApplication::activePopupWidget(), nullptr);
  // As some window systems deliver it: to the window's Esc shortcut.
  for (QAction* action : window.actions())
    if (action->shortcut() == QKeySequence(Qt::Key_Escape)) action->trigger();
  QTest::qWait(50);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_TRUE(window.isVisible());
  Activate(window);
  QTest::keyClick(&version, Qt::Key_Escape);  // now the window's
  EXPECT_FALSE(window.isVisible());
}

// New alone is no change (and Alt+N is the page's New, not the menu's); Enter
// on the revision question cancels, keeping the edits. One window per
// notification number, whose title follows a save as new and a rename from
// the list; a deletion from the list closes the window first.
TEST_F(StudioKeys, NewAloneIsNoChangeAndTheListAndTheWindowsStayInStep) {
  NotificationWindow& window = Open(1);
  window.Tabs().setCurrentIndex(1);
  EXPECT_EQ(window.menuBar()->actions().at(0)->text(), "N&otification");
  auto& snmp = dynamic_cast<XEventSNMPTab&>(window.Page(1).Panel());
  Key(Qt::Key_N, Qt::AltModifier);
  EXPECT_TRUE(Native(window, 1, snmp.txtHost()).hasFocus());
  EXPECT_EQ(window.windowTitle().toStdString(), "Notification 1: Core network outage");
  QTest::keyClicks(QApplication::focusWidget(), "trap.example.org");
  Key(Qt::Key_Tab);
  QTest::keyClicks(QApplication::focusWidget(), "1162");
  Key(Qt::Key_Return);
  ASSERT_EQ(snmp.stl().ViewRowCount(), 3);
  store::Store::Open(dir.File("q.db"))->RenameNotification(1, "Renamed elsewhere");
  QString defaultButton;
  answers.push_back([&](QWidget& box) {
    defaultButton = dynamic_cast<QMessageBox&>(box).defaultButton()->text(), QTest::keyClick(&box, Qt::Key_Return);
  });
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(defaultButton, "Cancel");
  EXPECT_TRUE(window.windowTitle().endsWith("[changed]"));
  EXPECT_EQ(snmp.stl().ViewRowCount(), 3);
  answers = {Press("Save as new"), Type("Copy")};
  Activate(window);
  QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(window.windowTitle().toStdString(), "Notification 3: Copy");
  EXPECT_EQ(studio->Table().verticalHeader()->count(), 3);  // the list shows it at once
  NotificationWindow* first = studio->OpenNotification(1);
  ASSERT_NE(first, &window);
  EXPECT_EQ(first->windowTitle().toStdString(), "Notification 1: Renamed elsewhere");
  first->close();

  const auto onTheList = [&](std::int32_t id, Qt::Key key) {
    Activate(*studio);
    studio->Table().selectRow(studio->Index().RowOf(id));
    QTest::keyClick(&studio->Table(), key);
  };
  answers = {Type("Third")};
  onTheList(3, Qt::Key_F2);
  EXPECT_EQ(window.windowTitle().toStdString(), "Notification 3: Third  [changed]");
  Activate(window);
  Key(Qt::Key_S, Qt::ControlModifier);  // no "changed by another program"
  EXPECT_EQ(window.windowTitle().toStdString(), "Notification 3: Third");
  EXPECT_EQ(studio->Table().model()->index(studio->Index().RowOf(3), 1).data().toString(), "Third");

  QPointer<NotificationWindow> open(&window);
  answers = {Press("Yes")};
  onTheList(3, Qt::Key_Delete);
  EXPECT_TRUE(!open || !open->isVisible());
  EXPECT_EQ(studio->Index().RowOf(3), -1);
}

// The window opens with every page whole; made smaller than a page, it
// scrolls rather than cutting controls off. A long message opens from its
// start, wrapped. Boxes open over their window, a page's refused entries
// titled as its own boxes about them, and the name dialogs show their
// titles whole.
TEST_F(StudioKeys, SmallWindowsScrollTextsShowFromTheStartBoxesSitOverTheirWindow) {
  auto stored = store->OpenDefinition(1);
  QString words;
  for (int i = 0; i < 60; ++i) words += QString("word%1 ").arg(i);
  stored->SetEmailMessage(words.toStdString());
  store->Save(*stored);
  NotificationWindow& window = Open(1);
  const auto area = [&](int page) { return qobject_cast<QScrollArea*>(window.Tabs().widget(page)); };
  for (int page = 0; page < 3; ++page) {
    window.Tabs().setCurrentIndex(page);
    ASSERT_NE(area(page), nullptr);
    QApplication::processEvents();
    const QSize shown = area(page)->viewport()->size();
    EXPECT_EQ(shown.expandedTo(window.Page(page).DesignSize()), shown) << page;  // the whole page
  }
  auto& message = Native<QPlainTextEdit>(window, 2, dynamic_cast<XEventEmailTab&>(window.Page(2).Panel()).txtMessage());
  EXPECT_EQ(message.lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_EQ(message.cursorForPosition(QPoint(1, 1)).position(), 0);  // the first word shows

  window.resize(300, 250);
  for (int page = 0; page < 3; ++page) {
    SCOPED_TRACE(page);
    window.Tabs().setCurrentIndex(page);
    QApplication::processEvents();
    EXPECT_EQ(window.Page(page).size().expandedTo(window.Page(page).DesignSize()), window.Page(page).size());
    EXPECT_TRUE(area(page)->verticalScrollBar()->maximum() > 0 && area(page)->horizontalScrollBar()->maximum() > 0);
  }

  window.Tabs().setCurrentIndex(1);
  auto& snmp = dynamic_cast<XEventSNMPTab&>(window.Page(1).Panel());
  QTest::mouseClick(&Native(window, 1, snmp.cmdNew()), Qt::LeftButton);
  TypeInto(Native(window, 1, snmp.txtHost()), "trap.example.org");
  TypeInto(Native(window, 1, snmp.txtPort()), "99999");
  QWidget* over = nullptr;
  QString title;
  answers.push_back([&](QWidget& box) { over = box.parentWidget()->window(), title = box.windowTitle(), box.close(); });
  QTest::mouseClick(&Native(window, 1, snmp.cmdApply()), Qt::LeftButton);
  EXPECT_EQ(over, &window);
  EXPECT_EQ(title, "Add SNMP Manager");  // as the duplicate's box, which the page titles itself
  Activate(window);
  window.Tabs().setCurrentIndex(2);
  auto& email = dynamic_cast<XEventEmailTab&>(window.Page(2).Panel());
  QTest::mouseClick(&Native(window, 2, email.cmdNew()), Qt::LeftButton);
  TypeInto(Native(window, 2, email.txtAddress()), "not-an-address");
  answers.push_back([&](QWidget& box) { title = box.windowTitle(), box.close(); });
  QTest::mouseClick(&Native(window, 2, email.cmdApply()), Qt::LeftButton);
  EXPECT_EQ(title, "Add Email Address");
  int wide = 0, needed = 0;
  answers.push_back([&](QWidget& dialog) {
    wide = dialog.width(), needed = dialog.fontMetrics().horizontalAdvance(dialog.windowTitle()) + 100;
    dialog.close();
  });
  Activate(window);
  QTest::keyClick(&window, Qt::Key_F2);
  EXPECT_GE(wide, needed);
  int shown = -1;  // the page a question is about comes forward
  answers = {[&](QWidget& box) { shown = window.Tabs().currentIndex(), Press("Discard")(box); }, Press("Discard")};
  window.close();
  EXPECT_EQ(shown, 1);
}

// The events page at its design size (where each widget goes is the Qt
// adapter's test): no horizontal scroll bar, the group column as wide as its
// texts; a column the user sizes keeps its width through a resize, in that
// list only. Frame titles sit in the frame's top line.
TEST_F(StudioKeys, EventListsAreCaptionedFitTheirColumnsAndFrameTitlesSitInTheirFrames) {
  NotificationWindow& window = Open(1);
  auto& selector = dynamic_cast<XEventsTab&>(window.Page(0).Panel()).xEvents();
  qt::PanelWidget& page = window.Page(0);
  QTreeView* lists[] = {&Native<QTreeView>(window, 0, selector.AvailableList()),
                        &Native<QTreeView>(window, 0, selector.ChosenList())};
  for (QTreeView* list : lists) {
    // The columns share the width exactly: no scroll bar, no gap.
    const int used = list->columnWidth(0) + list->columnWidth(1);
    EXPECT_TRUE(used <= list->viewport()->width() && used >= list->viewport()->width() - 2) << used;
    for (int row = 0; row < 8 && row < list->model()->rowCount(); ++row) {
      const QString group = list->model()->index(row, 1).data().toString();
      EXPECT_LE(list->fontMetrics().horizontalAdvance(group) + 6, list->columnWidth(1)) << group.toStdString();
    }
  }
  lists[0]->header()->resizeSection(1, 40);  // as the user's drag does
  window.resize(window.width() + 120, window.height());
  QApplication::processEvents();
  EXPECT_EQ(lists[0]->columnWidth(1), 40);
  EXPECT_NE(lists[1]->columnWidth(1), 40);

  for (auto* frame : page.findChildren<QGroupBox*>()) {
    QStyleOptionGroupBox option;
    option.initFrom(frame);
    option.text = frame->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const QRect label = frame->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
    const QRect line = frame->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, frame);
    EXPECT_GT(label.left(), line.left()) << frame->title().toStdString();
    EXPECT_TRUE(label.top() < line.top() && line.top() < label.bottom()) << frame->title().toStdString();
  }
}

// The delivery settings in a dialog, refusing what the terminal editor's
// screen refuses; a test from the e-mail page to a server that never
// answers shows its deadline, stops on Stop and lists each destination; a
// page without a list says where a test is sent from.
TEST_F(StudioKeys, DeliverySettingsAndATestSendThatIsStopped) {
  testing::SilentServer silent;
  const auto field = [](QWidget& dialog, const QString& label) -> QLineEdit& {
    for (auto* l : dialog.findChildren<QLabel*>())
      if (l->text().remove('&') == label + ":") return *qobject_cast<QLineEdit*>(l->buddy());
    throw std::runtime_error("no field " + label.toStdString());
  };
  // Clicked later: the boxes it opens are answered outside this answer.
  const auto save = [](QWidget& dialog) {
    QTimer::singleShot(0, dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save), &QPushButton::click);
  };
  QString refusal;
  answers = {
      [&](QWidget& dialog) {
        // The default message shows six lines; a seventh scrolls.
        auto& message = *dialog.findChild<QPlainTextEdit*>();
        const QString kept = message.toPlainText();
        for (const auto& [lines, scrolls] : {std::pair{"1\n2\n3\n4\n5\n6", false}, {"1\n2\n3\n4\n5\n6\n7", true}}) {
          message.setPlainText(lines);
          QApplication::processEvents();
          EXPECT_EQ(message.verticalScrollBar()->maximum() > 0, scrolls) << lines;
        }
        message.setPlainText(kept);
        field(dialog, "SMTP server").setText("127.0.0.1");
        field(dialog, "SMTP port").setText("25x");
        QTimer::singleShot(0, dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel),
                           &QPushButton::click);  // Cancel on a changed dialog asks first
      },
      Press("Go back"), save, [&](QWidget& box) { refusal = dynamic_cast<QMessageBox&>(box).text(), box.close(); },
      [&](QWidget& dialog) {
        EXPECT_EQ(dialog.focusWidget(), &field(dialog, "SMTP port"));
        field(dialog, "SMTP port").setText(QString::number(silent.Port()));
        field(dialog, "Timeout (s)").setText("30");
        save(dialog);
      }};
  for (QAction* action : studio->findChildren<QAction*>())
    if (action->text() == "Delivery &Settings...") action->trigger();
  EXPECT_EQ(refusal, "Please enter a whole number.");
  const auto stored = store::LoadDeliverySettings(*store);
  EXPECT_TRUE(stored.smtpServer == "127.0.0.1" && stored.smtpPort == silent.Port());

  NotificationWindow& window = Open(1);
  QString progress;
  std::vector<QString> results;
  answers = {[&](QWidget& dialog) {
               ASSERT_TRUE(QTest::qWaitFor([&] { return silent.Approached(); }, 5000));
               progress = dynamic_cast<QProgressDialog&>(dialog).labelText();
               for (auto* button : dialog.findChildren<QPushButton*>())
                 if (button->text() == "&Stop") button->click();
             },
             [&](QWidget& dialog) {
               auto* list = dialog.findChild<QTreeWidget*>();
               results.push_back(dialog.findChild<QLabel*>()->text());
               for (int i = 0; list && i < list->topLevelItemCount(); ++i)
                 results.push_back(list->topLevelItem(i)->text(0) + " | " + list->topLevelItem(i)->toolTip(1));
               dialog.close();
             }};
  window.Tabs().setCurrentIndex(2);
  Key(Qt::Key_T, Qt::ControlModifier);
  const QRegularExpression told(R"(^Sending a test: 0 of 1 done; it gives up at \d\d:\d\d:\d\d \(\d+ s left\)\.$)");
  EXPECT_TRUE(progress.contains(told)) << progress.toStdString();
  // The first row is selected: it alone is sent to.
  EXPECT_EQ(results, (std::vector<QString>{"0 of 1 sent.", "e-mail to noc@ops.example | FAILED: cancelled"}));
  Activate(window);
  window.Tabs().setCurrentIndex(0);
  Key(Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(window.statusBar()->currentMessage(), "A test is sent from the SNMP or e-mail page");
}

// The list's columns fit their captions and numbers in a font twice as
// large (192 DPI without Qt's scaling); the status bar is there from the
// start; the command line.
TEST_F(StudioKeys, TheListFitsItsFontTheStatusBarIsThereAndHelpNeedsNoDisplay) {
  QTableView& table = studio->Table();
  QFont large = table.font();
  large.setPointSizeF(large.pointSizeF() * 2);
  table.setFont(large);
  table.horizontalHeader()->setFont(large);
  QApplication::processEvents();
  const QFontMetrics metrics(large);
  for (int column = 0; column < table.model()->columnCount(); ++column) {
    const QString caption = table.model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    EXPECT_GT(table.columnWidth(column), metrics.horizontalAdvance(caption)) << caption.toStdString();
    for (int row = 0; row < table.model()->rowCount(); ++row)
      EXPECT_GT(table.columnWidth(column),
                metrics.horizontalAdvance(table.model()->index(row, column).data().toString()));
  }
  EXPECT_FALSE(table.wordWrap());
  // A wider window widens the name only.
  std::vector<int> before, after;
  for (int column = 0; column < table.model()->columnCount(); ++column) before.push_back(table.columnWidth(column));
  const int viewport = table.viewport()->width();
  studio->resize(studio->width() + 200, studio->height());
  QApplication::processEvents();
  for (int column = 0; column < table.model()->columnCount(); ++column) after.push_back(table.columnWidth(column));
  before[1] += table.viewport()->width() - viewport;
  EXPECT_EQ(after, before);

  NotificationWindow& window = Open(1);
  EXPECT_TRUE(window.statusBar()->isVisible());
  window.close();

  // --help, a refused argument (usage on stderr), a database named with --db (it opens and runs).
  const std::string usage = "Usage: quillmont-studio [--db PATH|URI]", studio = QUILLMONT_STUDIO;
  for (const auto& [args, result] : std::vector<std::pair<std::string, std::string>>{
           {"-u QT_QPA_PLATFORM " + studio + " --help", "0 " + usage},
           {studio + " --db= 2>&1 >/dev/null", "2 " + usage},
           {"timeout 3 " + studio + " --db " + dir.File("q.db") + " 2>/dev/null", "124 "}}) {
    int code = -1;
    const std::string out = testing::Output("env -u DISPLAY -u WAYLAND_DISPLAY " + args, &code);
    EXPECT_EQ(std::to_string(code) + " " + out.substr(std::min(out.find("Usage:"), out.size()), usage.size()), result);
  }
}

}  // namespace
}  // namespace quillmont::studio
