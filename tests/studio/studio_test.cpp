// quillmont-studio end to end on the offscreen platform: the sample database
// opened in the list window, a notification opened in its own window, a
// manager, a recipient and an event type added through the real widgets,
// saved with Ctrl+S, the window closed and the notification opened again,
// and the export showing all three.
#include <sqlite3.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "adapters/qt/message_box_service.h"
#include "apps/session/startup.h"
#include "apps/studio/studio_window.h"
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"
#include "store/host_objects.h"
#include "store/notification_io.h"
#include "store/seed.h"
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

TEST(Studio, AManagerARecipientAndAnEventTypeAddedSavedAndReopened) {
  testing::TempDir dir;
  auto store = store::Store::Open(dir.File("q.db"));
  store::SeedDatabase(*store);
  session::StoreServices services(std::make_shared<qt::MessageBoxService>(), store);
  // A box nobody expects would wait forever: it fails the test and goes.
  QTimer guard;
  QObject::connect(&guard, &QTimer::timeout, [] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      ADD_FAILURE() << "unexpected dialog: " << box->windowTitle().toStdString();
      box->close();
    }
  });
  guard.start(100);
  {
    StudioWindow studio(store, dir.File("q.db"));
    studio.show();
    ASSERT_EQ(studio.Table().model()->rowCount(), 2);
    EXPECT_EQ(studio.Table().model()->index(0, 1).data().toString(), "Core network outage");
    QTest::keyClick(&studio.Table(), Qt::Key_Return);  // the first row is chosen: it opens
    auto windows = studio.findChildren<NotificationWindow*>();
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
    EXPECT_EQ(studio.Table().model()->index(0, 2).data().toInt(), 3);  // the list's counts follow
    window.close();
    EXPECT_TRUE(studio.findChildren<NotificationWindow*>().isEmpty() ||
                !studio.findChildren<NotificationWindow*>()[0]->isVisible());

    NotificationWindow* again = studio.OpenNotification(1);
    ASSERT_NE(again, nullptr);
    auto& reopened = dynamic_cast<XEventSNMPTab&>(again->Page(1).Panel());
    EXPECT_EQ(reopened.stl().RowCount(), 3);
    again->close();
  }
  const std::string json = store::ExportJson(*store, 1);
  EXPECT_NE(json.find("{\"host\": \"trap.example.org\", \"port\": 1162"), std::string::npos) << json;
  EXPECT_NE(json.find("\"ops@example.org\""), std::string::npos) << json;
  EXPECT_NE(json.find("{\"key\": \"node.up\""), std::string::npos) << json;
}

// The store fails under the list window while the user answers its question
// (another program took its table away): the poll keeps out of the
// question's modal loop, the failed deletion is told in one box, and the
// reload after it fails quietly instead of escaping into Qt.
TEST(Studio, AFailingStoreIsToldOnceAndNothingEscapesIntoQt) {
  testing::TempDir dir;
  const std::string path = dir.File("q.db");
  auto store = store::Store::Open(path);
  store::SeedDatabase(*store);
  session::StoreServices services(std::make_shared<qt::MessageBoxService>(), store);
  StudioWindow studio(store, path);
  studio.show();
  std::vector<std::string> titles;
  int mostAtOnce = 0, ticks = 0;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    std::vector<QMessageBox*> shown;
    for (QMessageBox* box : studio.findChildren<QMessageBox*>())
      if (box->isVisible()) shown.push_back(box);
    mostAtOnce = std::max(mostAtOnce, static_cast<int>(shown.size()));
    if (shown.empty()) return;
    QMessageBox& box = *shown.back();
    if (ticks++ == 0) titles.push_back(box.windowTitle().toStdString());
    if (ticks == 1 && titles.size() == 1) {
      sqlite3* other = nullptr;
      ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
      EXPECT_EQ(sqlite3_exec(other, "ALTER TABLE notifications RENAME TO gone", nullptr, nullptr, nullptr), SQLITE_OK);
      sqlite3_close(other);
    }
    // Open over more than a tick of the poll.
    if (ticks > 15) {
      ticks = 0;
      if (QAbstractButton* yes = box.button(QMessageBox::Yes))
        yes->click();
      else
        box.reject();
    }
  });
  answer.start(100);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&studio));
  QTest::keyClick(&studio.Table(), Qt::Key_Delete);
  EXPECT_EQ(titles, (std::vector<std::string>{"Delete Notification", session::kErrorTitle}));
  EXPECT_EQ(mostAtOnce, 1);
  EXPECT_EQ(studio.Table().model()->rowCount(), 2);  // the rows as they were last read
}

}  // namespace
}  // namespace quillmont::studio
