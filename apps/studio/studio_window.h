#pragma once

#include <QAbstractTableModel>
#include <QMainWindow>
#include <QPointer>
#include <map>
#include <memory>
#include <optional>

#include "adapters/qt/panel_widget.h"
#include "apps/session/notification_session.h"
#include "apps/studio/qt_front_end.h"

class QTabWidget;
class QTableView;

namespace quillmont::studio {

// One notification in a window of its own: the three pages as tabs, Save
// (Ctrl+S), Rename (F2), Send Test (Ctrl+T) and Close (Ctrl+W, Esc) with the
// terminal editor's questions.
class NotificationWindow final : public QMainWindow {
  Q_OBJECT

 public:
  NotificationWindow(store::Store& store, std::shared_ptr<store::StoredDefinition> definition, QWidget* parent);
  ~NotificationWindow() override;
  // Makes and loads the pages; false (after telling the user) when that failed.
  bool Open();
  bool Save();
  bool Rename();
  // A test from the page shown (Ctrl+T).
  void SendTest();
  session::NotificationSession& Session() noexcept { return session_; }
  qt::PanelWidget& Page(int index) const;
  // Shows the window at a size that shows every page whole.
  void ShowWhole();
  QTabWidget& Tabs() const noexcept { return *tabs_; }
  std::int32_t NotificationID() { return session_.Definition().NotificationID(); }

 signals:
  void Saved();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Refresh();

  QtFrontEnd frontEnd_;
  session::NotificationSession session_;
  QTabWidget* tabs_ = nullptr;
  std::vector<qt::PanelWidget*> pages_;
};

// The stored notifications as a table: number, name and the counts.
class NotificationModel final : public QAbstractTableModel {
 public:
  explicit NotificationModel(session::NotificationIndex& index) : index_(index) {}
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // The views read every row again (after the index reloaded).
  void Reset() {
    beginResetModel();
    endResetModel();
  }

 private:
  session::NotificationIndex& index_;
};

// The main window: the notification list with New (Ctrl+N), Open (Enter),
// Rename (F2), Delete (Del) and Quit (Ctrl+Q); it follows others' saves.
class StudioWindow final : public QMainWindow {
  Q_OBJECT

 public:
  StudioWindow(std::shared_ptr<store::Store> store, const std::string& location);
  ~StudioWindow() override;
  // Opens a stored notification (or brings its window forward).
  NotificationWindow* OpenNotification(std::int32_t id);
  NotificationWindow* NewNotification();
  QTableView& Table() const noexcept { return *table_; }
  const session::NotificationIndex& Index() const noexcept { return index_; }

 private:
  NotificationWindow* Show(std::shared_ptr<store::StoredDefinition> definition);
  // The open window of a stored notification, or null.
  NotificationWindow* WindowOf(std::int32_t id) const;
  void RenameCurrent();
  void DeleteCurrent();
  const store::NotificationSummary* Current() const;
  void Reload();
  // Runs an action; an error is told, not thrown into Qt's event loop.
  void Guarded(const std::function<void()>& action);

  std::shared_ptr<store::Store> store_;
  QtFrontEnd frontEnd_;
  session::NotificationIndex index_;
  NotificationModel model_;
  QTableView* table_ = nullptr;
  int busy_ = 0;  // guarded actions under way
};

// The store the studio edits (--db, else $QUILLMONT_DB, else the editor's);
// null when it cannot be opened, after a box tells the user why, with the
// program's exit code in refusedCode.
std::shared_ptr<store::Store> OpenStudioStore(const std::optional<std::string>& database, int& refusedCode);

}  // namespace quillmont::studio
