#include "apps/studio/studio_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeySequence>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include "apps/session/startup.h"
#include "apps/studio/delivery_dialogs.h"
#include "quillmont/framework/services.h"

namespace quillmont::studio {

namespace {

constexpr const char* kWindowKeys =
    "Ctrl+S\tsave\nF2\trename\nCtrl+W, Esc\tclose\nCtrl+T\tsend a test to the selected (or all) rows\n"
    "Ctrl+Tab, Ctrl+PgDn, F6\tnext page\nCtrl+Shift+Tab, Ctrl+PgUp, Shift+F6\tprevious page\n"
    "Alt+1..3\tpage by number\nTab, Shift+Tab\tnext / previous field\nAlt+letter\tthe field or button "
    "of that letter\nEnter\tapply the entry\nDel\tdelete the selected rows\nShift+F10, Menu\tthe list's menu\n"
    "F4, Alt+Down\topen a drop-down list\nF1\tthis help";
constexpr const char* kListKeys =
    "Ctrl+N\tnew notification\nEnter\topen it (or bring its window forward)\nF2\trename\nDel\tdelete\n"
    "Alt+F, S\tdelivery settings\nCtrl+Q\tquit\nF1\tthis help";

// A Help menu whose Keys item (F1) lists the window's keys.
void AddHelp(QMainWindow& window, const char* title, const char* keys) {
  // "l": H is the SNMP page's Host field.
  QMenu* help = window.menuBar()->addMenu(QObject::tr("He&lp"));
  help->addAction(QObject::tr("&Keys"), QKeySequence::HelpContents, &window, [&window, title, keys] {
    QMessageBox box(QMessageBox::Information, QObject::tr(title), QString::fromUtf8(keys), QMessageBox::Ok, &window);
    box.exec();
  });
}

}  // namespace

NotificationWindow::NotificationWindow(store::Store& store, std::shared_ptr<store::StoredDefinition> definition,
                                       QWidget* parent)
    : QMainWindow(parent),
      frontEnd_(this, [this](std::size_t index) { tabs_->setCurrentIndex(static_cast<int>(index)); }),
      session_(frontEnd_, store, std::move(definition), session::StandardPages()) {
  setAttribute(Qt::WA_DeleteOnClose);
  // Its own window, not drawn inside the list's.
  setWindowFlag(Qt::Window);
  tabs_ = new QTabWidget(this);
  setCentralWidget(tabs_);
  // From the start, so the first save's message does not move the page.
  statusBar()->show();
  // The page's New button has Alt+N.
  QMenu* file = menuBar()->addMenu(tr("N&otification"));
  file->addAction(tr("&Save"), QKeySequence::Save, this, [this] { Save(); });
  file->addAction(tr("&Rename..."), QKeySequence(Qt::Key_F2), this, [this] { Rename(); });
  file->addAction(tr("Send &Test"), QKeySequence(Qt::CTRL | Qt::Key_T), this, [this] { SendTest(); });
  file->addSeparator();
  file->addAction(tr("&Close"), QKeySequence::Close, this, [this] { this->close(); });
  // Esc closes an open drop-down or menu first (some window systems hand
  // the window's shortcut the key the pop-up should have had).
  auto* escape = new QAction(this);
  escape->setShortcut(Qt::Key_Escape);
  connect(escape, &QAction::triggered, this, [this] {
    if (QWidget* popup = QApplication::activePopupWidget())
      popup->close();
    else
      close();
  });
  addAction(escape);
  AddHelp(*this, "Keys of the notification window", kWindowKeys);
  // The terminal editor's page keys; Ctrl+Tab and Ctrl+Shift+Tab are the
  // tab widget's own, Alt+1..3 the captions' access letters.
  const auto step = [this](int by) {
    const int count = tabs_->count();
    if (count > 0) tabs_->setCurrentIndex((tabs_->currentIndex() + by + count) % count);
  };
  for (const auto& [keys, by] :
       {std::pair{QList<QKeySequence>{Qt::Key_F6, Qt::CTRL | Qt::Key_PageDown}, 1},
        std::pair{QList<QKeySequence>{Qt::SHIFT | Qt::Key_F6, Qt::CTRL | Qt::Key_PageUp}, -1}}) {
    auto* action = new QAction(this);
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, this, [step, by = by] { step(by); });
    addAction(action);
  }
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    if (index < 0) return;
    session_.SetActive(static_cast<std::size_t>(index));
    // The keyboard goes with the page that came forward.
    if (static_cast<std::size_t>(index) < pages_.size() && isActiveWindow()) pages_[index]->FocusPanel();
  });
}

NotificationWindow::~NotificationWindow() = default;

bool NotificationWindow::Open() {
  if (!session_.Open()) return false;
  for (const auto& page : session_.Pages()) {
    auto* widget = new qt::PanelWidget(page->view);
    // The title of the boxes the page leaves untitled.
    widget->setWindowTitle(QString::fromStdString(page->descriptor.messageTitle));
    connect(widget, &qt::PanelWidget::UserActed, this, [this] { Refresh(); });
    pages_.push_back(widget);
    // Below the page's design size, scroll bars rather than controls cut off.
    auto* scroll = new QScrollArea(tabs_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(widget);
    // Alt+1..3 bring a page forward, as in the terminal editor.
    const QString number = QString::number(pages_.size());
    tabs_->addTab(scroll, "&" + number + " " + QString::fromStdString(page->descriptor.caption));
  }
  Refresh();
  return true;
}

void NotificationWindow::ShowWhole() {
  resize(sizeHint());
  show();
  // The scroll areas hint less than a page needs: the window grows by what
  // the largest page lacks.
  QSize design;
  for (const qt::PanelWidget* page : pages_) design = design.expandedTo(page->DesignSize());
  if (auto* area = qobject_cast<QScrollArea*>(tabs_->currentWidget())) {
    const QSize lacking = (design - area->size()).expandedTo({0, 0});
    if (lacking.width() > 0 || lacking.height() > 0) resize(size() + lacking);
  }
}

qt::PanelWidget& NotificationWindow::Page(int index) const { return *pages_.at(static_cast<std::size_t>(index)); }

// Whatever the session did (a save, a reload of theirs, an entry applied on
// the user's word) shows in the widgets and the title.
void NotificationWindow::Refresh() {
  for (qt::PanelWidget* page : pages_) page->Sync();
  setWindowTitle(QString::fromStdString(session_.Title() + session_.Marks()));
}

bool NotificationWindow::Save() {
  const bool saved = session_.Save();
  Refresh();
  if (saved) {
    statusBar()->showMessage(tr("Saved"), 3000);
    emit Saved();
  }
  return saved;
}

bool NotificationWindow::Rename() {
  const bool renamed = session_.Rename();
  Refresh();
  return renamed;
}

void NotificationWindow::SendTest() {
  const int page = tabs_->currentIndex();
  if (page < 0 || !studio::SendTest(session_.Store(), frontEnd_, session_.Definition().Name(),
                                    *session_.Pages()[static_cast<std::size_t>(page)]->view, this))
    statusBar()->showMessage(tr("A test is sent from the SNMP or e-mail page"), 5000);
}

void NotificationWindow::closeEvent(QCloseEvent* event) {
  const bool mayClose = session_.Close();
  Refresh();
  if (!mayClose) {
    event->ignore();
    return;
  }
  emit Saved();  // the list shows the counts as they are now
  event->accept();
}

int NotificationModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(index_.Rows().size());
}

int NotificationModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 5; }

QVariant NotificationModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const store::NotificationSummary& row = index_.Rows()[static_cast<std::size_t>(index.row())];
  if (role == Qt::TextAlignmentRole && index.column() != 1)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case 0:
      return row.id;
    case 1:
      return QString::fromStdString(row.name);
    case 2:
      return row.managers;
    case 3:
      return row.recipients;
    default:
      return row.eventTypes;
  }
}

QVariant NotificationModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const captions[] = {"No.", "Name", "Managers", "Recipients", "Events"};
  return section >= 0 && section < 5 ? QVariant(captions[section]) : QVariant();
}

StudioWindow::StudioWindow(std::shared_ptr<store::Store> store, const std::string& location)
    : store_(std::move(store)), frontEnd_(this), index_(frontEnd_, store_), model_(index_) {
  setWindowTitle(
      QString::fromStdString("Quillmont Studio - " + location + (store_->ReadOnly() ? "  [read-only]" : "")));
  table_ = new QTableView(this);
  table_->setModel(&model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->hide();
  // Columns as wide as their captions and numbers in the font at hand (any
  // DPI), the name taking the rest; a name never wraps.
  table_->setWordWrap(false);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  setCentralWidget(table_);
  resize(760, 420);
  connect(table_, &QTableView::activated, this, [this](const QModelIndex&) {
    if (const auto* row = Current()) OpenNotification(row->id);
  });
  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->addAction(tr("&New..."), QKeySequence::New, this, [this] { NewNotification(); });
  file->addAction(tr("&Open"), QKeySequence(Qt::Key_Return), this, [this] {
    if (const auto* row = Current()) OpenNotification(row->id);
  });
  file->addAction(tr("&Rename..."), QKeySequence(Qt::Key_F2), this, [this] { RenameCurrent(); });
  file->addAction(tr("&Delete..."), QKeySequence::Delete, this, [this] { DeleteCurrent(); });
  file->addSeparator();
  file->addAction(tr("Delivery &Settings..."), this,
                  [this] { statusBar()->showMessage(EditDeliverySettings(*store_, this), 5000); });
  file->addSeparator();
  file->addAction(tr("&Quit"), QKeySequence::Quit, this, [this] { close(); });
  AddHelp(*this, "Keys of the notification list", kListKeys);
  // What other editors save shows within a second.
  auto* poll = new QTimer(this);
  connect(poll, &QTimer::timeout, this, [this] {
    // It also fires inside the modal loop of an action's question or error
    // box: the rows that action holds must stay as they are.
    if (busy_ > 0) return;
    Guarded([this] {
      if (index_.CatchUp()) model_.Reset();
    });
  });
  poll->start(1000);
  if (!index_.Rows().empty()) table_->selectRow(0);
}

StudioWindow::~StudioWindow() = default;

const store::NotificationSummary* StudioWindow::Current() const {
  const QModelIndex at = table_->currentIndex();
  if (!at.isValid() || at.row() >= static_cast<int>(index_.Rows().size())) return nullptr;
  return &index_.Rows()[static_cast<std::size_t>(at.row())];
}

void StudioWindow::Reload() {
  const auto* row = Current();
  const std::int32_t keep = row ? row->id : 0;
  model_.Reset();
  if (const int at = index_.RowOf(keep); at >= 0) table_->selectRow(at);
}

void StudioWindow::Guarded(const std::function<void()>& action) {
  struct Busy {
    int& depth;
    explicit Busy(int& d) : depth(++d) {}
    ~Busy() { --depth; }
  } busy(busy_);
  std::string error;
  try {
    action();
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (error.empty()) return;
  frontEnd_.Message(error, msgbox::Critical, session::kErrorTitle);
  try {
    index_.Reload();
  } catch (const std::exception&) {
    // The list stays as it was; the next look tries again.
  }
  model_.Reset();
}

NotificationWindow* StudioWindow::WindowOf(std::int32_t id) const {
  // Asked of the windows themselves, so a save as new or a close is never
  // out of step with a record of them.
  for (NotificationWindow* window : findChildren<NotificationWindow*>(Qt::FindDirectChildrenOnly))
    if (window->isVisible() && !window->Session().Definition().IsNew() && window->NotificationID() == id) return window;
  return nullptr;
}

void StudioWindow::RenameCurrent() {
  const auto* row = Current();
  if (!row) return;
  // An open notification is renamed in its window, saved with its edits.
  if (NotificationWindow* window = WindowOf(row->id)) {
    window->raise();
    window->activateWindow();
    window->Rename();
    return;
  }
  Guarded([&] { index_.Rename(*row), Reload(); });
}

void StudioWindow::DeleteCurrent() {
  const auto* row = Current();
  if (!row) return;
  const std::int32_t id = row->id;
  Guarded([&] {
    // Its window closes first (asking about its edits); kept open, nothing
    // is deleted.
    index_.Delete(*row, [&] {
      NotificationWindow* window = WindowOf(id);
      return !window || window->close();
    });
    Reload();
  });
}

NotificationWindow* StudioWindow::OpenNotification(std::int32_t id) {
  if (NotificationWindow* window = WindowOf(id)) {
    window->raise();
    window->activateWindow();
    return window;
  }
  NotificationWindow* window = nullptr;
  Guarded([&] { window = Show(store_->OpenDefinition(id)); });
  return window;
}

NotificationWindow* StudioWindow::NewNotification() {
  NotificationWindow* window = nullptr;
  Guarded([&] {
    if (auto definition = index_.New()) window = Show(definition);
  });
  return window;
}

NotificationWindow* StudioWindow::Show(std::shared_ptr<store::StoredDefinition> definition) {
  auto* window = new NotificationWindow(*store_, std::move(definition), this);
  if (!window->Open()) {
    delete window;
    return nullptr;
  }
  connect(window, &NotificationWindow::Saved, this, [this] {
    Guarded([this] {
      index_.Reload();
      Reload();
    });
  });
  window->ShowWhole();
  return window;
}

std::shared_ptr<store::Store> OpenStudioStore(const std::optional<std::string>& database, int& refusedCode) {
  try {
    QtFrontEnd questions(nullptr);
    return session::OpenForEditing(session::FindDatabase(database), questions);
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, "Quillmont Studio", QString::fromStdString(e.what()));
    const auto* refused = dynamic_cast<const session::StartRefused*>(&e);
    refusedCode = refused ? refused->Code() : session::StartRefused::Refused;
    return nullptr;
  }
}

}  // namespace quillmont::studio
