// The three panels in real Qt widgets on the offscreen platform: the user's
// typing, clicks, keys, combo choices and context menus reach the panel, its
// host and its message service as the driver's do; the widgets sit at the
// panel's twips; one screenshot per page. Last, the text conversions alone.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <map>
#include <set>

#include "adapters/qt/message_box_service.h"
#include "adapters/qt/panel_widget.h"
#include "adapters/qt/text_positions.h"
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/services/app_context.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"
#include "quillmont/storage/utf8.h"
#include "tests/support/panel_fixture.h"
#include "tests/support/temp_dir.h"

namespace quillmont::testing {
namespace {

using Strings = std::vector<std::string>;

template <class Panel>
class QtPanel : public PanelTest<Panel> {
 protected:
  void Show(const std::string& key, const std::shared_ptr<NotificationDefinition>& def) {
    this->panel->LoadData(Variant(def), key, this->host);
    widget = std::make_unique<qt::PanelWidget>(this->panel);
    widget->SetErrorHandler([](const std::exception& e) { ADD_FAILURE() << e.what(); });
    widget->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(widget.get()));
  }
  template <class W = QWidget>
  W& Native(const ui::Control& control) {
    auto* w = qobject_cast<W*>(widget->WidgetFor(control));
    if (!w) throw std::runtime_error("no native widget for " + control.Name());
    return *w;
  }
  void ClickRow(ui::ListView& list, int row, Qt::KeyboardModifiers m = {}) {
    auto& view = Native<QTreeView>(list);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, m, view.visualRect(view.model()->index(row, 0)).center());
  }
  void ContextMenu(ui::ListView& list, int row) {
    auto& view = Native<QTreeView>(list);
    const QPoint at = view.visualRect(view.model()->index(row, 0)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &event);
  }
  Strings Shown(ui::ListView& list) {
    Strings rows;
    const QAbstractItemModel& model = *Native<QTreeView>(list).model();
    for (int r = 0; r < model.rowCount(); ++r) rows.push_back(model.index(r, 0).data().toString().toStdString());
    return rows;
  }
  void Type(const ui::Control& box, const QString& text) {
    QTest::mouseClick(&Native(box), Qt::LeftButton);
    QTest::keyClicks(&Native(box), text);
  }

  // Every widget the page placed (a selector list's caption by its text),
  // one line each: its rectangle, hidden, disabled, what it shows, a list's
  // column widths and page rows.
  std::string Placed() {
    std::map<const QWidget*, ui::Control*> controls;
    for (ui::Control* c : this->panel->TabOrder()) controls[widget->WidgetFor(*c)] = c;
    std::ostringstream out;
    out << "page " << widget->width() << 'x' << widget->height() << '\n';
    for (QWidget* n : widget->findChildren<QWidget*>()) {
      if (!controls.count(n) && !qobject_cast<QLabel*>(n)) continue;
      const QRect r = n->geometry();
      out << (controls.count(n) ? controls[n]->Name() : "caption") << ' ' << r.x() << ',' << r.y() << ' ' << r.width()
          << 'x' << r.height() << (n->isVisibleTo(widget.get()) ? "" : " hidden")
          << (n->isEnabled() ? "" : " disabled");
      for (const char* p : {"text", "title", "currentText", "plainText"})
        if (const QVariant v = n->property(p); v.isValid()) out << " '" << v.toString().toStdString() << "'";
      if (auto* view = qobject_cast<QTreeView*>(n)) {
        for (int i = 0; i < view->model()->columnCount(); ++i)
          out << ' ' << (view->isColumnHidden(i) ? 0 : view->columnWidth(i));
        out << " page " << static_cast<ui::ListView*>(controls[n])->PageRows();
      }
      out << '\n';
    }
    return out.str();
  }

  // At the design size, larger and squeezed below its smallest (fields too
  // narrow for their drop-downs' items, selector lists two lines high), every
  // widget sits where the stored layout says: a control's twips at the
  // widget's DPI, a drop-down wider for its longest item over no neighbour, a
  // selector list below its caption's line. A screenshot for a person.
  void CheckGeometryAndScreenshot(const char* key, const char* file) {
    Show(key, NewDefinition());
    qt::PanelWidget& w = *widget;
    const double dx = w.logicalDpiX();
    std::string placed = Placed();
    // No label's text cut (the stored layout keeps every widget inside the page).
    for (ui::Control* c : this->panel->TabOrder()) {
      QWidget& native = Native(*c);
      // No native menu, drag or drop edits a text behind the panel's back;
      // frames draw the classic title.
      const auto* edit = qobject_cast<QPlainTextEdit*>(&native);
      const auto* line = qobject_cast<QLineEdit*>(&native);
      EXPECT_TRUE((!edit && !line) ||
                  (native.contextMenuPolicy() == Qt::NoContextMenu && !native.acceptDrops() &&
                   (edit ? edit->tabChangesFocus() && !edit->viewport()->acceptDrops() : !line->dragEnabled())));
      EXPECT_TRUE(!qobject_cast<QGroupBox*>(&native) || native.style()->inherits("QWindowsStyle")) << c->Name();
      if (auto* label = qobject_cast<QLabel*>(&native)) {
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text().remove('&').trimmed()), label->width())
            << c->Name();
      }
    }
    const QImage shot = w.grab().toImage();
    ASSERT_TRUE(QDir().mkpath(QM_SCREENSHOT_DIR));
    ASSERT_TRUE(shot.save(QString(QM_SCREENSHOT_DIR) + "/" + file));
    std::set<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 3)
      for (int x = 0; x < shot.width(); x += 3) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 4U);
    // A resize reaches the panel, whose new layout the widgets follow.
    w.resize(w.width() * 3 / 2, w.height() * 3 / 2);
    EXPECT_EQ(this->panel->Width(), static_cast<float>(w.width() * 1440.0 / dx));
    placed += Placed();
    this->panel->TabOrder().back()->SetEnabled(false);  // shown disabled (a list, with its caption)
    w.resize(w.minimumSizeHint().width() / 2, 90);
    placed += Placed();
    const std::string golden = std::string(QM_LAYOUTS_DIR) + "/" + key + ".txt";
    if (std::getenv("QUILLMONT_UPDATE_LAYOUTS")) WriteText(golden, placed);
    EXPECT_EQ(placed, ReadText(golden));
  }

  std::unique_ptr<qt::PanelWidget> widget;
};

using SnmpWidget = QtPanel<XEventSNMPTab>;
using EmailWidget = QtPanel<XEventEmailTab>;
using EventsWidget = QtPanel<XEventsTab>;

TEST_F(SnmpWidget, TypingClicksKeysChoicesAndTheContextMenuReachThePanel) {
  Show("SNMP", StoredDefinition({"alpha:161", "beta:162", "gamma:163"}));
  EXPECT_EQ(Shown(panel->stl()), (Strings{"alpha", "beta", "gamma"}));
  // A column the user sizes is the panel's width for it, in twips.
  Native<QTreeView>(panel->stl()).setColumnWidth(0, 96);
  EXPECT_EQ(panel->stl().ViewColumns()[0].width, static_cast<float>(96 * 1440.0 / widget->logicalDpiX()));
  QTest::mouseClick(&Native(panel->cmdNew()), Qt::LeftButton);
  Type(panel->txtHost(), "  delta ");
  Type(panel->txtPort(), "162");
  auto& version = Native<QComboBox>(panel->cboVersion());
  QTest::keyClick(&Native(panel->txtPort()), Qt::Key_Tab);
  EXPECT_TRUE(version.hasFocus());
  QTest::keyClick(&version, Qt::Key_Up);
  EXPECT_EQ(version.currentText(), "SNMP v1");  // the panel's, as the new row shows
  QTest::keyClick(&version, Qt::Key_Return);    // applied on the key's release
  EXPECT_EQ(Shown(panel->stl()), (Strings{"alpha", "beta", "gamma", "delta"}));
  EXPECT_EQ(panel->stl().RowCells(3), (Strings{"delta", "162", "SNMP v1", "UTC"}));
  EXPECT_EQ(host->markChanged, 2);  // New, then the add
  EXPECT_EQ(Native<QLineEdit>(panel->txtHost()).text(), "");
  EXPECT_TRUE(Native(panel->txtHost()).hasFocus());

  // Delete in an entry field erases a character; Alt+D presses Delete on the
  // rows clicked (Ctrl adds one), after the question.
  ClickRow(panel->stl(), 1);
  EXPECT_EQ(Native<QLineEdit>(panel->txtHost()).text(), "beta");
  QTest::mouseClick(&Native(panel->txtHost()), Qt::LeftButton, {}, QPoint(2, 9));  // before its first letter
  QTest::keyClick(&Native(panel->txtHost()), Qt::Key_Delete);
  EXPECT_EQ(panel->txtHost().Text(), "eta");
  ClickRow(panel->stl(), 1);
  ClickRow(panel->stl(), 3, Qt::ControlModifier);
  EXPECT_EQ(Native<QTreeView>(panel->stl()).selectionModel()->selectedRows().size(), 2);
  Messages().Expect("Do you really want to delete these 2 SNMP Managers?", msgbox::YesNoExclamation,
                    "Delete SNMP Manager", msgbox::AnswerYes);
  QTest::keyClick(&Native(panel->stl()), Qt::Key_D, Qt::AltModifier);
  Messages().Verify();
  EXPECT_EQ(Shown(panel->stl()), (Strings{"alpha", "gamma"}));

  ContextMenu(panel->stl(), 1);
  QMenu* menu = widget->OpenMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(panel->OpenPopupMenu(), &panel->mnuPopup());
  Messages().Expect("Do you really want to delete this SNMP Manager (gamma)?", msgbox::YesNoExclamation,
                    "Delete SNMP Manager", msgbox::AnswerNo);
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().at(0)).center());
  Messages().Verify();
  EXPECT_EQ(panel->OpenPopupMenu(), nullptr);
  EXPECT_EQ(Shown(panel->stl()), (Strings{"alpha", "gamma"}));
  EXPECT_EQ(Native<QTreeView>(panel->stl()).selectionModel()->selectedRows().at(0).row(), 1);

  // From the keyboard: Shift+F10 and the Menu key, at the caret row (row 0
  // too); a disabled item shows disabled.
  ClickRow(panel->stl(), 0);
  auto& view = Native<QTreeView>(panel->stl());
  for (const auto& [key, modifiers] :
       {std::pair{Qt::Key_F10, Qt::ShiftModifier}, std::pair{Qt::Key_Menu, Qt::NoModifier}}) {
    panel->mnuPopupDelete().SetEnabled(key == Qt::Key_Menu);
    QTest::keyClick(&Native(panel->stl()), key, modifiers);
    ASSERT_NE(widget->OpenMenu(), nullptr) << key;
    EXPECT_EQ(widget->OpenMenu()->pos(),
              view.viewport()->mapToGlobal(view.visualRect(view.model()->index(0, 0)).center()));
    EXPECT_EQ(widget->OpenMenu()->actions().at(0)->isEnabled(), key == Qt::Key_Menu);
    widget->OpenMenu()->close();
    EXPECT_EQ(panel->OpenPopupMenu(), nullptr);
  }
  // An item chosen while the menu still shows (as assistive tools do) closes
  // it; a menu opened over an open one keeps the panel's open.
  QTest::keyClick(&Native(panel->stl()), Qt::Key_Menu);
  ContextMenu(panel->stl(), 1);
  EXPECT_EQ(panel->OpenPopupMenu(), &panel->mnuPopup());
  Messages().Expect("Do you really want to delete this SNMP Manager (gamma)?", msgbox::YesNoExclamation,
                    "Delete SNMP Manager", msgbox::AnswerNo);
  ASSERT_NE(widget->OpenMenu(), nullptr);
  widget->OpenMenu()->actions().at(0)->trigger();
  Messages().Verify();
  EXPECT_EQ(panel->OpenPopupMenu(), nullptr);
  EXPECT_EQ(widget->OpenMenu(), nullptr);

  // A click in a list below its rows selects none. A drag selects in a field;
  // a middle click pastes the primary selection, and an empty one (offscreen,
  // where the paste goes untested) erases nothing and keeps the selection.
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.viewport()->rect().bottomLeft() + QPoint(5, -5));
  EXPECT_EQ(panel->stl().SelectedRows(), std::vector<int>{});
  auto& port = Native<QLineEdit>(panel->txtPort());
  QTest::mouseClick(&port, Qt::LeftButton);
  QTest::keyClick(&port, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(&port, "161");
  QTest::mousePress(&port, Qt::LeftButton, {}, QPoint(2, 9));
  QTest::mouseMove(&port, QPoint(port.width() - 2, 9));
  QTest::mouseRelease(&port, Qt::LeftButton, {}, QPoint(port.width() - 2, 9));
  QTest::mouseClick(&port, Qt::MiddleButton);
  EXPECT_EQ(port.selectedText(), "161");
  for (const Qt::Key key : {Qt::Key_X, Qt::Key_V, Qt::Key_V}) QTest::keyClick(&port, key, Qt::ControlModifier);
  EXPECT_EQ(panel->txtPort().Text() + " " + QGuiApplication::clipboard()->text().toStdString(), "161161 161");
}

TEST_F(EmailWidget, AddressQuestionsAndTheMultiLineMessage) {
  Show("Email", StoredDefinition({}, {"ops@example.com"}));
  QTest::mouseClick(&Native(panel->cmdNew()), Qt::LeftButton);
  Type(panel->txtAddress(), " a@b, c@d ");
  Messages().Expect("Invalid Email Address: a@b, c@d", msgbox::OkOnly, "");
  QTest::mouseClick(&Native(panel->cmdApply()), Qt::LeftButton);
  Messages().Verify();
  EXPECT_TRUE(Native(panel->txtAddress()).hasFocus());
  QTest::keyClick(&Native(panel->txtAddress()), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(&Native(panel->txtAddress()), "ops@example.com");
  Messages().Expect(
      "This Email (ops@example.com) already exists in the list.\r\nWould you like to add the address "
      "anyway?",
      msgbox::YesNoExclamation, "Add Email Address", msgbox::AnswerYes);
  QTest::keyClick(&Native(panel->txtAddress()), Qt::Key_Return);
  Messages().Verify();
  EXPECT_EQ(Shown(panel->stl()), (Strings{"ops@example.com", "ops@example.com"}));
  ClickRow(panel->stl(), 1);
  Messages().Expect("Do you really want to delete this Email Address (ops@example.com)?", msgbox::YesNoExclamation,
                    "Delete Email Address", msgbox::AnswerYes);
  QTest::keyClick(&Native(panel->stl()), Qt::Key_Delete);
  Messages().Verify();
  EXPECT_EQ(Shown(panel->stl()), (Strings{"ops@example.com"}));

  auto& message = Native<QPlainTextEdit>(panel->txtMessage());
  QTest::mouseClick(message.viewport(), Qt::LeftButton);
  QTest::keyClick(&message, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(&message, "one");
  QTest::keyClick(&message, Qt::Key_Return);
  QTest::keyClicks(&message, "two");
  EXPECT_EQ(panel->txtMessage().Text(), "one\r\ntwo");
  EXPECT_EQ(message.toPlainText(), "one\ntwo");
  for (const Qt::Key key : {Qt::Key_A, Qt::Key_C}) QTest::keyClick(&message, key, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "one\ntwo");  // copied as Qt shows it
  EXPECT_EQ(message.textCursor().position(), 7);
  QTest::mouseClick(&Native(panel->cmdResetMessage()), Qt::LeftButton);
  EXPECT_EQ(message.toPlainText(), "<Default>");
  // Text the page puts in a field leaves the caret at its end, where typing goes on.
  EXPECT_EQ(message.textCursor().position(), 9);
  EXPECT_EQ(Native<QLineEdit>(panel->txtAddress()).cursorPosition(), 15);
}

TEST_F(EventsWidget, FilterAndChooseWithTheRealCombosListsAndButtons) {
  auto app = std::dynamic_pointer_cast<MemoryAppContext>(GetAppContext());
  auto catalogue = std::make_shared<BasicEventTypeCollection>();
  catalogue->Add(std::make_shared<BasicEventType>("D1", "Disk full", 1));
  catalogue->Add(std::make_shared<BasicEventType>("N1", "Link down", 2));
  catalogue->Add(std::make_shared<BasicEventType>("N2", "Link up", 2));
  app->SetEventTypes(catalogue);
  app->SetEventGroups(std::vector<GroupRecord>{{Variant(1), Variant("Disk"), Variant("")},
                                               {Variant(2), Variant("Network"), Variant("")}});
  Show("Events", std::dynamic_pointer_cast<BasicDefinitionLibrary>(GetDefinitionLibrary())->NewDefinition(7));
  auto& x = panel->xEvents();
  EXPECT_EQ(Shown(x.AvailableList()), (Strings{"Disk full", "Link down", "Link up"}));
  auto& combo = Native<QComboBox>(panel->cboGroupEvents());
  combo.showPopup();
  QTest::mouseClick(combo.view()->viewport(), Qt::LeftButton, {},
                    combo.view()->visualRect(combo.model()->index(2, 0)).center());
  EXPECT_EQ(panel->cboGroupEvents().Text(), "Network");
  EXPECT_EQ(Shown(x.AvailableList()), (Strings{"Link down", "Link up"}));
  ClickRow(x.AvailableList(), 1);
  QTest::mouseClick(&Native(x.ChooseButton()), Qt::LeftButton);
  EXPECT_TRUE(x.IsChosen("N2"));
  EXPECT_EQ(Shown(x.ChosenList()), (Strings{"Link up"}));
  EXPECT_EQ(Shown(x.AvailableList()), (Strings{"Link down"}));
  EXPECT_EQ(host->markChanged, 1);
}

TEST_F(SnmpWidget, GeometryAndScreenshot) { CheckGeometryAndScreenshot("SNMP", "snmp.png"); }
TEST_F(EmailWidget, GeometryAndScreenshot) { CheckGeometryAndScreenshot("Email", "email.png"); }
TEST_F(EventsWidget, GeometryAndScreenshot) { CheckGeometryAndScreenshot("Events", "events.png"); }

// The view asks the list only for the rows it shows: 100,000 rows load and
// scroll to the end through the list's own row store.
TEST_F(SnmpWidget, ManyRowsAreReadFromTheListsStore) {
  std::vector<std::string> managers;
  for (int i = 0; i < 100000; ++i) managers.push_back("h" + std::to_string(i) + ":162");
  Show("SNMP", StoredDefinition(managers));
  auto& view = Native<QTreeView>(panel->stl());
  ClickRow(panel->stl(), 0);
  QTest::keyClick(&view, Qt::Key_End);  // the list's own End key: the last row, scrolled to
  EXPECT_EQ(panel->stl().SelectedRows(), std::vector<int>{99999});
  const QModelIndex last = view.model()->index(99999, 0);
  EXPECT_TRUE(view.viewport()->rect().contains(view.visualRect(last).center()));
  EXPECT_EQ(view.selectionModel()->selectedRows().at(0).data().toString(), "h99999");
}

// Pages in a plain QTabWidget: the page-switch chords pressed in a field or
// a list reach the tab widget, never the page.
TEST_F(SnmpWidget, PageSwitchChordsGoToTheHostsTabWidget) {
  panel->LoadData(Variant(StoredDefinition({"alpha:161", "beta:162"})), "SNMP", host);
  QTabWidget tabs;
  auto* first = new qt::PanelWidget(panel);
  tabs.addTab(first, "SNMP");
  tabs.addTab(new QWidget, "Other");
  tabs.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&tabs));
  for (const auto& [in, key] : {std::pair{first->WidgetFor(panel->txtHost()), Qt::Key_Tab},
                                std::pair{first->WidgetFor(panel->stl()), Qt::Key_PageDown}}) {
    tabs.setCurrentIndex(0);
    QTest::keyClick(in, key, Qt::ControlModifier);
    EXPECT_EQ(tabs.currentIndex(), 1) << key;
  }
  EXPECT_EQ(panel->stl().CaretRow(), 0);
  // The keys a page answers are no shortcut of its host's, which keeps Esc,
  // the function keys, chords and Alt letters no control answers (in a text
  // field, t, or the list, l: how many times the host's shortcut fires).
  tabs.setCurrentIndex(0);
  for (const QString& row :
       QString("t Ctrl+X 0,t Ctrl+S 1,l Q 0,l Ctrl+X 1,l Alt+Q 1,t Esc 1,t F1 1,t F35 1").split(',')) {
    const QStringList cell = row.split(' ');
    QWidget* in = first->WidgetFor(cell[0] == "t" ? static_cast<ui::Control&>(panel->txtHost()) : panel->stl());
    in->setFocus();
    QShortcut shortcut(QKeySequence(cell[1]), &tabs);
    int fired = 0;
    QObject::connect(&shortcut, &QShortcut::activated, [&] { ++fired; });
    QTest::keySequence(in, shortcut.key());
    EXPECT_EQ(fired, cell[2].toInt()) << row.toStdString();
  }
}

TEST(MessageBoxService, ButtonsIconAndAnswerOfEachCode) {
  struct Case {
    int code;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    int answer;  // to Return, the default button's; closed (52), Esc's
  };
  const Case cases[] = {{0, QMessageBox::NoIcon, QMessageBox::Ok, msgbox::AnswerOk},
                        {16, QMessageBox::Critical, QMessageBox::Ok, msgbox::AnswerOk},
                        {52, QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No, msgbox::AnswerNo},
                        {260, QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No, msgbox::AnswerNo}};
  qt::MessageBoxService service;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const auto box = qt::MessageBoxService::MakeBox("Prompt", c.code, "Title");
    EXPECT_EQ(box->icon(), c.icon);
    EXPECT_EQ(box->standardButtons(), c.buttons);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);  // a prompt is no markup
    QTimer::singleShot(0, [&c] {
      auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!shown) return;
      EXPECT_EQ(shown->windowTitle() + ": " + shown->text(), "Title: Prompt");
      c.code == 52 ? void(shown->close()) : QTest::keyClick(shown, Qt::Key_Return);
    });
    EXPECT_EQ(service.ShowMessage("Prompt", c.code, "Title", "", 0), c.answer);
  }
}

// Each character position of the panel as Qt counts it, and back: a
// multi-line box shows CR LF as one break, a character past U+FFFF takes two
// UTF-16 units, and a lone CR or a single-line box keeps every character.
TEST(TextPositions, CaretsAndLineBreaksReadTheSameOnBothSides) {
  struct Case {
    const char* text;
    bool multiLine;
    std::vector<int> qt;  // of each panel position 0..characters
    const char* shown;
  } const cases[] = {
      {"ab\r\ncd", true, {0, 1, 2, 2, 3, 4, 5}, "ab\ncd"},
      {"ab\r\ncd", false, {0, 1, 2, 3, 4, 5, 6}, "ab\r\ncd"},
      {"\r\n\r\n", true, {0, 0, 1, 1, 2}, "\n\n"},
      {"a\rb\r", true, {0, 1, 2, 3, 4}, "a\rb\r"},
      {"a\xF0\x9F\x98\x80\r\n\xC3\xA9", true, {0, 1, 3, 3, 4, 5}, "a\xF0\x9F\x98\x80\n\xC3\xA9"},
  };
  for (const auto& c : cases) {
    const std::u32string text = utf8::Decode(c.text);
    for (std::size_t p = 0; p < c.qt.size(); ++p) {
      EXPECT_EQ(qt::QtPosition(text, p, c.multiLine), c.qt[p]) << ::testing::PrintToString(c.text) << " at " << p;
      // Back to the panel: a position between CR and LF comes back before the break.
      const bool insideBreak = p > 0 && c.qt[p - 1] == c.qt[p];
      EXPECT_EQ(qt::PanelPosition(text, c.qt[p], c.multiLine), insideBreak ? p - 1 : p)
          << ::testing::PrintToString(c.text) << " at " << p;
    }
    EXPECT_EQ(qt::QtPosition(text, 99, c.multiLine), c.qt.back());
    EXPECT_EQ(qt::PanelPosition(text, 99, c.multiLine), c.qt.size() - 1);
    EXPECT_EQ(qt::Shown(c.text, c.multiLine).toStdString(), c.shown);
  }
}

}  // namespace
}  // namespace quillmont::testing
