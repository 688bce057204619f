#include "adapters/qt/panel_widget.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcutEvent>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTreeView>
#include <cmath>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "adapters/qt/list_model.h"
#include "adapters/qt/text_positions.h"
#include "quillmont/framework/components.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/storage/utf8.h"

namespace quillmont::qt {

int TwipsToPixels(float twips, double dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / kTwipsPerInch));
}

float PixelsToTwips(int pixels, double dpi) {
  return dpi > 0 ? static_cast<float>(static_cast<double>(pixels) * kTwipsPerInch / dpi) : 0.0F;
}

QRect PixelRect(const ui::Control& c, double dpiX, double dpiY) {
  const int left = TwipsToPixels(c.Left(), dpiX), top = TwipsToPixels(c.Top(), dpiY);
  const int right = TwipsToPixels(c.Left() + c.Width(), dpiX);
  const int bottom = TwipsToPixels(c.Top() + c.Height(), dpiY);
  return {left, top, right - left, bottom - top};
}

namespace {

// The window system's key code of a Qt key (0 for keys it has none for, as
// the driver gives punctuation none).
int KeyCodeOf(int key) {
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) return key;
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return ui::keys::F1 + (key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Backspace:
      return ui::keys::Back;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return ui::keys::Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return ui::keys::Return;
    case Qt::Key_Shift:
      return ui::keys::Shift;
    case Qt::Key_Control:
      return ui::keys::Control;
    case Qt::Key_Alt:
      return ui::keys::Menu;
    case Qt::Key_Escape:
      return ui::keys::Escape;
    case Qt::Key_Space:
      return ui::keys::Space;
    case Qt::Key_PageUp:
      return ui::keys::PageUp;
    case Qt::Key_PageDown:
      return ui::keys::PageDown;
    case Qt::Key_End:
      return ui::keys::End;
    case Qt::Key_Home:
      return ui::keys::Home;
    case Qt::Key_Left:
      return ui::keys::Left;
    case Qt::Key_Up:
      return ui::keys::Up;
    case Qt::Key_Right:
      return ui::keys::Right;
    case Qt::Key_Down:
      return ui::keys::Down;
    case Qt::Key_Insert:
      return ui::keys::Insert;
    case Qt::Key_Delete:
      return ui::keys::Delete;
    default:
      return 0;
  }
}

int ShiftOf(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier ? ui::shift::Shift : 0) | (m & Qt::ControlModifier ? ui::shift::Ctrl : 0) |
         (m & Qt::AltModifier ? ui::shift::Alt : 0);
}

// The letter of Alt+letter (no Ctrl), or 0.
char AccessLetter(const QKeyEvent& e) {
  const auto m = e.modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier);
  if (m != Qt::AltModifier) return 0;
  const int key = e.key();
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) return static_cast<char>(key);
  return 0;
}

// Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDn and Ctrl+PgUp switch a host's pages
// from anywhere, as in every Qt tab form: they are the host's, never a
// field's or a list's.
bool PageSwitchChord(const QKeyEvent& e) {
  const auto m = e.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (m != Qt::ControlModifier) return false;
  const int key = e.key();
  return key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}

Qt::Alignment AlignmentOf(ui::Alignment a) {
  switch (a) {
    case ui::Alignment::Right:
      return Qt::AlignRight | Qt::AlignVCenter;
    case ui::Alignment::Center:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
      return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

// Whether every label's caption (without its '&') fits its width.
bool CaptionsFit(const ui::UserControl& panel, const QFontMetrics& metrics, double dpi) {
  for (const ui::Control* c : panel.TabOrder()) {
    if (c->Kind() != ui::ControlKind::Label) continue;
    QString caption = QString::fromStdString(c->Caption());
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove('&').replace('\x01', '&');
    if (metrics.horizontalAdvance(caption.trimmed()) > TwipsToPixels(c->Width(), dpi)) return false;
  }
  return true;
}

// A selector's columns share the list's whole width in twips, more than its
// inside has beside the frame and the scroll bar: they are scaled to fit
// it, the last one (the group) first getting the width of its texts, up to
// half the room.
void FitColumns(QTreeView& view, const ui::ListView& list, std::vector<int>& widths) {
  int last = -1, total = 0;
  for (std::size_t i = 0; i < widths.size(); ++i)
    if (widths[i] > 0) last = static_cast<int>(i), total += widths[i];
  int room = view.maximumViewportSize().width();
  const int rowHeight =
      list.ViewRowCount() > 0 ? std::max(1, static_cast<QAbstractItemView&>(view).sizeHintForRow(0)) : 1;
  if (list.ViewRowCount() * rowHeight > view.maximumViewportSize().height() - view.header()->sizeHint().height())
    room -= view.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &view);
  if (last < 0 || total <= 0 || room <= 0) return;
  auto& lastWidth = widths[static_cast<std::size_t>(last)];
  const int texts =
      std::max(static_cast<QAbstractItemView&>(view).sizeHintForColumn(last), view.header()->sectionSizeHint(last));
  const int share = lastWidth * room / total;
  const int rest = total - lastWidth;
  lastWidth = rest > 0 ? std::max(share, std::min(texts, room / 2)) : room;
  for (std::size_t i = 0; i < widths.size(); ++i)
    if (static_cast<int>(i) != last && widths[i] > 0) widths[i] = widths[i] * (room - lastWidth) / rest;
}

// Runs on leaving a scope, however it is left.
template <class F>
struct Finally {
  F f;
  ~Finally() { f(); }
};
template <class F>
Finally(F) -> Finally<F>;

}  // namespace

struct PanelWidget::Impl {
  // One control's native side.
  struct Native {
    ui::Control* control = nullptr;
    QWidget* widget = nullptr;
    ListModel* model = nullptr;
    // What the list showed at the last sync, so a sync that finds it the
    // same leaves the view (and where the user scrolled it) alone.
    std::vector<int> selected;
    int caret = -1;
    // A selector's list: its caption above it ("Available", "Chosen"), and
    // whether the user sized its columns (then they stay as the user left
    // them, else they fit the list).
    QLabel* caption = nullptr;
    bool userSized = false;
  };

  PanelWidget& self;
  std::shared_ptr<ui::UserControl> panel;
  ui::Driver user;
  std::vector<Native> natives;
  std::unordered_map<const ui::Control*, std::size_t> byControl;
  std::unordered_map<const QObject*, std::size_t> byObject;
  QPointer<QMenu> menu;
  QPoint menuAt;
  ErrorHandler onError;
  QSize design;
  int popupConnection = 0;
  bool syncing = false;
  // User actions running now (a message box a handler shows runs the event
  // loop inside one).
  int acting = 0;
  // Qt keys pressed in the panel's widgets and not released yet.
  std::unordered_set<int> keysDown;

  Impl(PanelWidget& w, std::shared_ptr<ui::UserControl> p) : self(w), panel(std::move(p)), user(*panel) {}

  Native* NativeOf(const QObject* object) {
    const auto it = byObject.find(object);
    return it == byObject.end() ? nullptr : &natives[it->second];
  }

  void Build(QWidget* parent, ui::Container& container);
  QWidget* Make(QWidget* parent, ui::Control& control, Native& native);
  void Watch(QObject* object, std::size_t index) {
    byObject[object] = index;
    object->installEventFilter(&self);
  }

  void SyncAll(bool takeFocus);
  void SyncOne(Native& n);
  void SyncList(Native& n);
  QRect RoomForText(const ui::Control& c, QComboBox& combo, QRect rect) const;
  void ShowMenu(ui::PopupMenu& popup);

  // Runs a user action on the panel, then brings the widgets in line; an
  // error it raises goes to the error handler.
  template <class F>
  void Act(F&& action, bool takeFocus = false) {
    ++acting;
    Finally done{[this] { --acting; }};
    try {
      action();
    } catch (const std::exception& e) {
      SyncAll(takeFocus);
      Report(e);
      emit self.UserActed();
      return;
    } catch (...) {
      // Nothing may cross Qt's event loop; an error of no known kind is
      // still reported.
      SyncAll(takeFocus);
      Report(std::runtime_error("unexpected error"));
      emit self.UserActed();
      return;
    }
    SyncAll(takeFocus);
    emit self.UserActed();
  }
  void Report(const std::exception& e) {
    if (onError) {
      onError(e);
      return;
    }
    QMessageBox::critical(&self, self.window()->windowTitle(), QString::fromUtf8(e.what()));
  }

  bool OnKey(Native& n, QKeyEvent& e);
  bool WantsKey(const Native& n, const QKeyEvent& e) const;
};

PanelWidget::PanelWidget(std::shared_ptr<ui::UserControl> panel, QWidget* parent) : QWidget(parent) {
  if (!panel) throw std::invalid_argument("PanelWidget: no panel to show");
  impl_ = std::make_unique<Impl>(*this, std::move(panel));
  setFocusPolicy(Qt::NoFocus);
  // The panels' captions were laid out for an 8-point font of narrower
  // letters than most: the largest size up to 8 points at which every label
  // fits its width. A host that sets another font on the widget gets it.
  QFont designed = font();
  for (double points = 8;; points -= 0.5) {
    designed.setPointSizeF(points);
    if (points <= 6.5 || CaptionsFit(*impl_->panel, QFontMetrics(designed, this), DpiX())) break;
  }
  setFont(designed);
  setAutoFillBackground(true);
  impl_->popupConnection =
      impl_->panel->PopupShown.Connect([this](ui::PopupMenu& popup, float, float) { impl_->ShowMenu(popup); });
  impl_->Build(this, *impl_->panel);
  // A new page's controls sit where its form drew them, not always inside
  // it: the page lays itself out for the size it is shown at.
  impl_->Act([this] { impl_->panel->Resize(); });
  impl_->design = {TwipsToPixels(impl_->panel->Width(), DpiX()), TwipsToPixels(impl_->panel->Height(), DpiY())};
  resize(impl_->design);
  impl_->SyncAll(false);
}

PanelWidget::~PanelWidget() {
  impl_->panel->PopupShown.Disconnect(impl_->popupConnection);
  // The native widgets go while what their handlers use is still here; none
  // of them acts on the panel on the way out.
  impl_->syncing = true;
  for (auto& n : impl_->natives) n.widget->removeEventFilter(this);
  impl_->byObject.clear();
  delete impl_->menu;
  qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

ui::UserControl& PanelWidget::Panel() const noexcept { return *impl_->panel; }
const std::shared_ptr<ui::UserControl>& PanelWidget::SharedPanel() const noexcept { return impl_->panel; }

QWidget* PanelWidget::WidgetFor(const ui::Control& control) const {
  const auto it = impl_->byControl.find(&control);
  return it == impl_->byControl.end() ? nullptr : impl_->natives[it->second].widget;
}

QWidget* PanelWidget::WidgetFor(std::string_view name) const {
  for (const auto& n : impl_->natives)
    if (n.control->Name() == name) return n.widget;
  return nullptr;
}

QMenu* PanelWidget::OpenMenu() const { return impl_->menu && impl_->menu->isVisible() ? impl_->menu.data() : nullptr; }

double PanelWidget::DpiX() const { return logicalDpiX(); }
double PanelWidget::DpiY() const { return logicalDpiY(); }
QSize PanelWidget::DesignSize() const { return impl_->design; }
QSize PanelWidget::sizeHint() const { return impl_->design; }
QSize PanelWidget::minimumSizeHint() const { return impl_->design; }

void PanelWidget::Sync() { impl_->SyncAll(false); }

void PanelWidget::FocusPanel() {
  impl_->Act(
      [this] {
        if (!impl_->panel->ActiveControl()) impl_->panel->FocusNext();
      },
      true);
}

void PanelWidget::SetErrorHandler(ErrorHandler handler) { impl_->onError = std::move(handler); }

void PanelWidget::Impl::Build(QWidget* parent, ui::Container& container) {
  for (const auto& child : container.Children()) {
    const std::size_t index = natives.size();
    natives.push_back({child.get(), nullptr, nullptr, {}, -1, nullptr, false});
    QWidget* widget = Make(parent, *child, natives[index]);
    natives[index].widget = widget;
    byControl[child.get()] = index;
    Watch(widget, index);
    if (auto* view = qobject_cast<QAbstractScrollArea*>(widget)) Watch(view->viewport(), index);
    if (auto* holder = dynamic_cast<ui::Container*>(child.get())) Build(widget, *holder);
  }
}

QWidget* PanelWidget::Impl::Make(QWidget* parent, ui::Control& control, Native& native) {
  switch (control.Kind()) {
    case ui::ControlKind::Label: {
      auto* label = new QLabel(parent);
      // A buddy makes the label show its access letter; the key itself is
      // answered by the panel (see eventFilter), which knows what it names.
      label->setBuddy(&self);
      return label;
    }
    case ui::ControlKind::TextBox: {
      auto& box = static_cast<ui::TextBox&>(control);
      if (box.MultiLine()) {
        auto* edit = new QPlainTextEdit(parent);
        edit->setTabChangesFocus(true);
        edit->setContextMenuPolicy(Qt::NoContextMenu);
        edit->setAcceptDrops(false);
        edit->viewport()->setAcceptDrops(false);
        QObject::connect(edit, &QPlainTextEdit::cursorPositionChanged, &self, [this, edit, &box] {
          if (syncing) return;
          const QTextCursor cursor = edit->textCursor();
          const std::u32string text = utf8::Decode(box.Text());
          const std::size_t from = PanelPosition(text, cursor.selectionStart(), true);
          box.SetSelection(from, PanelPosition(text, cursor.selectionEnd(), true) - from);
        });
        return edit;
      }
      auto* edit = new QLineEdit(parent);
      // Every edit goes through the panel's text box, which applies its
      // limits and its handlers; the field only shows the outcome.
      edit->setContextMenuPolicy(Qt::NoContextMenu);
      edit->setDragEnabled(false);
      edit->setAcceptDrops(false);
      QObject::connect(edit, &QLineEdit::selectionChanged, &self, [this, edit, &box] {
        if (syncing) return;
        const std::u32string text = utf8::Decode(box.Text());
        if (!edit->hasSelectedText()) return;
        const std::size_t from = PanelPosition(text, edit->selectionStart(), false);
        box.SetSelection(from, PanelPosition(text, edit->selectionEnd(), false) - from);
      });
      QObject::connect(edit, &QLineEdit::cursorPositionChanged, &self, [this, edit, &box](int, int position) {
        if (syncing || edit->hasSelectedText()) return;
        box.SetSelection(PanelPosition(utf8::Decode(box.Text()), position, false), 0);
      });
      return edit;
    }
    case ui::ControlKind::ComboBox: {
      auto* combo = new QComboBox(parent);
      auto& model = static_cast<ui::ComboBox&>(control);
      QObject::connect(combo, &QComboBox::activated, &self, [this, &model](int index) {
        if (!syncing) Act([&] { user.ChooseIndex(model, index); });
      });
      return combo;
    }
    case ui::ControlKind::CommandButton: {
      auto* button = new QPushButton(parent);
      button->setAutoDefault(false);
      QObject::connect(button, &QPushButton::clicked, &self, [this, &control] {
        if (!syncing) Act([&] { user.Click(control); });
      });
      return button;
    }
    case ui::ControlKind::Frame: {
      auto* group = new QGroupBox(parent);
      // The title in the frame's top line, as the forms drew it, rather than
      // loose above the frame where some styles (Fusion) put it. The style
      // is the box's alone: its children keep the application's.
      if (!QApplication::style()->inherits("QWindowsStyle")) {
        static QPointer<QStyle> classic;
        if (!classic) {
          classic = QStyleFactory::create(QStringLiteral("Windows"));
          if (classic) classic->setParent(qApp);
        }
        if (classic) group->setStyle(classic);
      }
      return group;
    }
    case ui::ControlKind::ListView: {
      auto& list = static_cast<ui::ListView&>(control);
      auto* view = new QTreeView(parent);
      native.model = new ListModel(list, view);
      view->setModel(native.model);
      view->setRootIsDecorated(false);
      view->setItemsExpandable(false);
      view->setUniformRowHeights(true);  // what keeps 100,000 rows smooth
      view->setAllColumnsShowFocus(true);
      view->setSelectionBehavior(QAbstractItemView::SelectRows);
      // The list decides what a click selects; the view only shows it.
      view->setSelectionMode(QAbstractItemView::NoSelection);
      view->setEditTriggers(QAbstractItemView::NoEditTriggers);
      view->header()->setStretchLastSection(false);
      view->header()->setSectionsMovable(false);
      if (auto* selector = dynamic_cast<XSelector*>(control.Parent())) {
        native.caption =
            new QLabel(&selector->AvailableList() == &list ? QObject::tr("Available") : QObject::tr("Chosen"), parent);
      }
      QObject::connect(view->header(), &QHeaderView::sectionResized, &self, [this, &list](int section, int, int size) {
        if (syncing) return;
        if (const auto it = byControl.find(&list); it != byControl.end()) natives[it->second].userSized = true;
        auto columns = list.ViewColumns();
        if (section < 0 || section >= static_cast<int>(columns.size())) return;
        columns[static_cast<std::size_t>(section)].width = PixelsToTwips(size, self.DpiX());
        list.SetViewColumns(std::move(columns));
        // A list that keeps a column layout keeps what the user made.
        if (auto* stored = dynamic_cast<XStaticList*>(&list)) stored->CaptureColumnLayout();
      });
      return view;
    }
    case ui::ControlKind::Composite:
    case ui::ControlKind::UserControl:
      break;
  }
  return new QWidget(parent);
}

void PanelWidget::Impl::SyncAll(bool takeFocus) {
  if (syncing) return;
  syncing = true;
  Finally restore{[this] { syncing = false; }};
  for (auto& n : natives) SyncOne(n);
  // The native focus follows the panel's while it is in this widget (a
  // host's own widgets keep theirs).
  QWidget* focused = self.window()->focusWidget();
  const bool inside = takeFocus || (focused && self.isAncestorOf(focused));
  if (ui::Control* active = panel->ActiveControl(); active && inside) {
    if (QWidget* w = self.WidgetFor(*active); w && w != focused && w->isEnabled() && w->isVisibleTo(&self))
      w->setFocus(Qt::OtherFocusReason);
  }
}

QRect PanelWidget::Impl::RoomForText(const ui::Control& c, QComboBox& combo, QRect rect) const {
  // The panels' widths were measured for narrower letters: a drop-down whose
  // longest item does not fit grows to the right, as far as its container
  // and the controls beside it leave room.
  const int wanted = combo.sizeHint().width();
  if (wanted <= rect.width() || !c.Parent()) return rect;
  const double dx = self.DpiX(), dy = self.DpiY();
  const int gap = TwipsToPixels(120, dx);
  int limit = TwipsToPixels(c.Parent()->Width(), dx) - gap;
  for (const auto& other : c.Parent()->Children()) {
    if (other.get() == &c || !other->Visible()) continue;
    const QRect r = PixelRect(*other, dx, dy);
    if (r.left() >= rect.right() && r.top() < rect.bottom() && r.bottom() > rect.top())
      limit = std::min(limit, r.left() - gap);
  }
  rect.setWidth(std::max(rect.width(), std::min(wanted, limit - rect.left())));
  return rect;
}

void PanelWidget::Impl::SyncOne(Native& n) {
  ui::Control& c = *n.control;
  if (auto* selector = dynamic_cast<XSelector*>(&c)) selector->AvailableList();  // brings its views up to date
  QWidget* w = n.widget;
  QRect rect = PixelRect(c, self.DpiX(), self.DpiY());
  if (c.Kind() == ui::ControlKind::ComboBox) rect = RoomForText(c, *static_cast<QComboBox*>(w), rect);
  if (QLabel* caption = n.caption) {
    // The caption takes its line from the top of the list's room, as the
    // terminal editor's does.
    const int line = std::min(caption->sizeHint().height(), rect.height() / 2);
    caption->setGeometry(rect.left(), rect.top(), rect.width(), line);
    caption->setVisible(c.Visible());
    caption->setEnabled(c.IsEffectivelyEnabled());
    rect.setTop(rect.top() + line);
  }
  if (w->geometry() != rect) w->setGeometry(rect);
  if (w->isEnabled() != c.Enabled()) w->setEnabled(c.Enabled());
  if (w->isVisibleTo(w->parentWidget()) != c.Visible()) w->setVisible(c.Visible());
  switch (c.Kind()) {
    case ui::ControlKind::Label: {
      auto* label = static_cast<QLabel*>(w);
      const QString caption = QString::fromStdString(c.Caption());
      if (label->text() != caption) label->setText(caption);
      label->setAlignment(AlignmentOf(static_cast<ui::Label&>(c).TextAlignment()));
      break;
    }
    case ui::ControlKind::TextBox: {
      auto& box = static_cast<ui::TextBox&>(c);
      const std::u32string text = utf8::Decode(box.Text());
      const int from = QtPosition(text, box.SelStart(), box.MultiLine());
      const int to = QtPosition(text, box.SelStart() + box.SelLength(), box.MultiLine());
      const QString shown = Shown(box.Text(), box.MultiLine());
      if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        if (edit->text() != shown) edit->setText(shown);
        if (to > from)
          edit->setSelection(from, to - from);
        else
          edit->setCursorPosition(from);
      } else if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
        const bool replaced = edit->toPlainText() != shown;
        if (replaced) edit->setPlainText(shown);
        // Wrapped at the box's width, so no line runs out of view (its
        // horizontal scroll bar is then never needed).
        const bool vertical = box.Scroll() != ui::ScrollBars::None;
        edit->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        QTextCursor cursor = edit->textCursor();
        if (cursor.selectionStart() != from || cursor.selectionEnd() != to) {
          cursor.setPosition(from);
          cursor.setPosition(to, QTextCursor::KeepAnchor);
          edit->setTextCursor(cursor);
        }
        // A text put there from outside shows from its start until the
        // user works in it.
        if (replaced && !edit->hasFocus()) edit->verticalScrollBar()->setValue(0);
      }
      break;
    }
    case ui::ControlKind::ComboBox: {
      auto& model = static_cast<ui::ComboBox&>(c);
      auto* combo = static_cast<QComboBox*>(w);
      bool same = combo->count() == model.ListCount();
      for (int i = 0; same && i < model.ListCount(); ++i) same = combo->itemText(i).toStdString() == model.List(i);
      if (!same) {
        combo->clear();
        for (int i = 0; i < model.ListCount(); ++i) combo->addItem(QString::fromStdString(model.List(i)));
      }
      if (combo->currentIndex() != model.ListIndex()) combo->setCurrentIndex(model.ListIndex());
      break;
    }
    case ui::ControlKind::CommandButton: {
      const QString caption = QString::fromStdString(c.Caption());
      if (static_cast<QPushButton*>(w)->text() != caption) static_cast<QPushButton*>(w)->setText(caption);
      break;
    }
    case ui::ControlKind::Frame: {
      const QString caption = QString::fromStdString(c.Caption());
      if (static_cast<QGroupBox*>(w)->title() != caption) static_cast<QGroupBox*>(w)->setTitle(caption);
      break;
    }
    case ui::ControlKind::ListView:
      SyncList(n);
      break;
    default:
      break;
  }
}

void PanelWidget::Impl::SyncList(Native& n) {
  auto& list = static_cast<ui::ListView&>(*n.control);
  auto* view = static_cast<QTreeView*>(n.widget);
  const int before = n.model->rowCount();
  n.model->Refresh();
  const auto& columns = list.ViewColumns();
  std::vector<int> widths;
  for (const auto& column : columns) widths.push_back(column.visible ? TwipsToPixels(column.width, self.DpiX()) : 0);
  // A selector's lists: as the user sized them (the selector shares its
  // twips between both lists and resets them with its size), else fitted.
  if (n.caption && n.userSized) {
    for (std::size_t i = 0; i < widths.size(); ++i)
      if (widths[i] > 0) widths[i] = view->header()->sectionSize(static_cast<int>(i));
  } else if (n.caption) {
    FitColumns(*view, list, widths);
  }
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    view->header()->setSectionHidden(i, !columns[static_cast<std::size_t>(i)].visible);
    const int width = widths[static_cast<std::size_t>(i)];
    if (!view->header()->isSectionHidden(i) && view->header()->sectionSize(i) != width)
      view->header()->resizeSection(i, width);
  }
  // PageUp and PageDown move by the rows the view shows at a time.
  if (list.ViewRowCount() > 0) {
    const int rowHeight = std::max(1, view->sizeHintForRow(0));
    list.SetPageRows(std::max(1, view->viewport()->height() / rowHeight - 1));
  }
  std::vector<int> selected = list.SelectedRows();
  const bool reset = before != n.model->rowCount();
  if (reset || selected != n.selected) {
    QItemSelection selection;
    for (std::size_t i = 0; i < selected.size();) {
      std::size_t j = i;
      while (j + 1 < selected.size() && selected[j + 1] == selected[j] + 1) ++j;
      selection.select(n.model->index(selected[i], 0), n.model->index(selected[j], 0));
      i = j + 1;
    }
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    n.selected = std::move(selected);
  }
  const int caret = list.CaretRow();
  if (reset || caret != n.caret) {
    if (caret >= 0 && caret < n.model->rowCount()) {
      const QModelIndex index = n.model->index(caret, 0);
      view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
      view->scrollTo(index);
    }
    n.caret = caret;
  }
}

void PanelWidget::Impl::ShowMenu(ui::PopupMenu& popup) {
  // A menu goes later, never inside its own signals (a chosen item may open
  // the next menu).
  const QPointer<QMenu> old = menu;
  auto* shown = new QMenu(&self);
  menu = shown;
  if (old) {
    old->hide();
    old->deleteLater();
  }
  for (const auto& item : popup.Items()) {
    if (!item->Visible()) continue;
    QAction* action = shown->addAction(QString::fromStdString(item->Caption()));
    action->setEnabled(item->Enabled());
    QObject::connect(action, &QAction::triggered, &self,
                     [this, weak = std::weak_ptr<ui::MenuItem>(item), closing = QPointer<QMenu>(shown)] {
                       const auto chosen = weak.lock();
                       if (!chosen) return;
                       Act([&] {
                         panel->ClosePopupMenu();
                         chosen->Click();
                       });
                       // An item triggered while the menu shows (assistive
                       // tools do) leaves no menu on screen either.
                       if (closing) closing->hide();
                     });
  }
  // Leaving the menu without a choice dismisses it, as the driver's
  // DismissMenu does.
  QObject::connect(shown, &QMenu::aboutToHide, &self, [this, shown, &popup] {
    if (menu == shown && panel->OpenPopupMenu() == &popup) panel->ClosePopupMenu();
    shown->deleteLater();
  });
  shown->popup(menuAt.isNull() ? self.mapToGlobal(QPoint(0, 0)) : menuAt);
}

bool PanelWidget::Impl::WantsKey(const Native& n, const QKeyEvent& e) const {
  if (const char letter = AccessLetter(e)) {
    // Alt+letter is the panel's when one of its controls answers to it.
    for (ui::Control* c : panel->TabOrder())
      if (c->AccessKey() == letter && c->IsEffectivelyEnabled() && c->IsEffectivelyVisible()) return true;
    return false;
  }
  const auto m = e.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (m == Qt::ControlModifier && n.control->Kind() == ui::ControlKind::TextBox)
    return e.key() == Qt::Key_A || e.key() == Qt::Key_C || e.key() == Qt::Key_V || e.key() == Qt::Key_X;
  // Plain keys are the panel's; Esc, function keys and chords are left to
  // the host's shortcuts (Ctrl+S, F2, ...).
  if (m != Qt::NoModifier || e.key() == Qt::Key_Escape) return false;
  return !(e.key() >= Qt::Key_F1 && e.key() <= Qt::Key_F35);
}

bool PanelWidget::Impl::OnKey(Native& n, QKeyEvent& e) {
  auto* combo = qobject_cast<QComboBox*>(n.widget);
  // F4 and Alt+Down open a drop-down list natively.
  if (combo && (e.key() == Qt::Key_F4 || ((e.modifiers() & Qt::AltModifier) && e.key() == Qt::Key_Down))) return false;
  if (e.type() == QEvent::KeyRelease) {
    // Only the release of a key whose press the panel had: one a host's
    // shortcut took (Ctrl+S) ends there.
    if (!keysDown.erase(e.key())) return false;
    if (AccessLetter(e)) return true;
    const int code = KeyCodeOf(e.key());
    Act([&] { user.KeyUp(code, ShiftOf(e.modifiers())); });
    return true;
  }
  keysDown.insert(e.key());
  if (const char letter = AccessLetter(e)) {
    Act([&] { user.AccessKey(letter); }, true);
    return true;
  }
  auto* box = dynamic_cast<ui::TextBox*>(panel->ActiveControl());
  if (box && (e.modifiers() & Qt::ControlModifier) && !(e.modifiers() & Qt::AltModifier)) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (e.key() == Qt::Key_C || e.key() == Qt::Key_X) clipboard->setText(Shown(box->SelectedText(), box->MultiLine()));
    if (e.key() == Qt::Key_X) {
      Act([&] { user.Paste(""); });
      return true;
    }
    if (e.key() == Qt::Key_V) {
      Act([&] { user.Paste(clipboard->text().toStdString()); });
      return true;
    }
    if (e.key() == Qt::Key_C) return true;
  }
  const int code = KeyCodeOf(e.key());
  const int shift = ShiftOf(e.modifiers());
  Act([&] {
    user.KeyDown(code, shift);
    if (code == ui::keys::Back || code == ui::keys::Tab || code == ui::keys::Return || code == ui::keys::Escape) {
      user.KeyPress(code);
      return;
    }
    if (shift & (ui::shift::Ctrl | ui::shift::Alt)) return;
    for (char32_t ch : e.text().toStdU32String())
      if (ch >= 32 && ch != 127) user.KeyPress(static_cast<int>(ch));
  });
  return true;
}

bool PanelWidget::eventFilter(QObject* watched, QEvent* event) {
  Impl::Native* n = impl_->NativeOf(watched);
  if (!n || impl_->syncing) return QWidget::eventFilter(watched, event);
  auto& user = impl_->user;
  auto* list = n->control->Kind() == ui::ControlKind::ListView ? static_cast<ui::ListView*>(n->control) : nullptr;
  auto* view = qobject_cast<QTreeView*>(n->widget);
  const bool onViewport = view && watched == view->viewport();
  switch (event->type()) {
    case QEvent::ShortcutOverride: {
      auto& key = static_cast<QKeyEvent&>(*event);
      if (!impl_->WantsKey(*n, key)) return false;
      key.accept();
      return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      auto& key = static_cast<QKeyEvent&>(*event);
      // Shift+F10 and the Menu key open a list's menu on its caret row.
      const bool menuKey =
          key.key() == Qt::Key_Menu || (key.key() == Qt::Key_F10 && (key.modifiers() & Qt::ShiftModifier) &&
                                        !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier)));
      if (list && view && menuKey) {
        if (event->type() == QEvent::KeyPress) {
          const int caret = list->CaretRow();
          const QRect at = caret >= 0 ? view->visualRect(n->model->index(caret, 0)) : QRect();
          impl_->menuAt = view->viewport()->mapToGlobal(at.isValid() ? at.center() : QPoint(0, 0));
          impl_->Act([&] { user.ContextMenu(*list, caret >= 0 ? std::optional<int>(caret) : std::nullopt); });
        }
        return true;
      }
      if (PageSwitchChord(key)) {
        // Up the host's widgets from this one (a QTabWidget answers it).
        if (event->type() == QEvent::KeyPress && parentWidget()) {
          QKeyEvent copy(key.type(), key.key(), key.modifiers(), key.text(), key.isAutoRepeat(), key.count());
          QCoreApplication::sendEvent(parentWidget(), &copy);
          // A QTabWidget answers Ctrl+Tab itself but not Ctrl+PgDn/PgUp.
          if (!copy.isAccepted() && (key.key() == Qt::Key_PageDown || key.key() == Qt::Key_PageUp)) {
            QWidget* up = parentWidget();
            while (up && !qobject_cast<QTabWidget*>(up)) up = up->parentWidget();
            if (auto* tabs = qobject_cast<QTabWidget*>(up); tabs && tabs->count() > 0) {
              const int by = key.key() == Qt::Key_PageDown ? 1 : -1;
              tabs->setCurrentIndex((tabs->currentIndex() + by + tabs->count()) % tabs->count());
            }
          }
        }
        return true;
      }
      if (onViewport) return false;
      return impl_->OnKey(*n, key);
    }
    case QEvent::Shortcut: {
      // A label's, button's or frame's access letter pressed while the
      // focus is outside the panel's widgets: the panel answers it.
      const auto& shortcut = static_cast<QShortcutEvent&>(*event);
      if (shortcut.key().isEmpty()) return false;
      const int key = shortcut.key()[0].key();
      if (key < Qt::Key_0 || key > Qt::Key_Z) return false;
      impl_->Act([&] { user.AccessKey(static_cast<char>(key)); }, true);
      return true;
    }
    case QEvent::InputMethod: {
      // Text composed with an input method arrives as typed characters.
      const QString text = static_cast<QInputMethodEvent&>(*event).commitString();
      if (onViewport) return false;
      if (text.isEmpty()) return true;  // composing: the field shows the outcome only
      impl_->Act([&] {
        for (char32_t ch : text.toStdU32String()) user.KeyPress(static_cast<int>(ch));
      });
      return true;
    }
    case QEvent::FocusIn: {
      // The window coming back (after a message box or a menu) is no focus
      // move of the user's; neither is anything during a user action.
      const auto reason = static_cast<QFocusEvent&>(*event).reason();
      if (onViewport || n->control->HasFocus() || impl_->acting > 0 || reason == Qt::ActiveWindowFocusReason ||
          reason == Qt::PopupFocusReason)
        return false;
      impl_->Act([&] { user.Focus(*n->control); });
      return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      auto& mouse = static_cast<QMouseEvent&>(*event);
      const bool middleInText = n->control->Kind() == ui::ControlKind::TextBox && mouse.button() == Qt::MiddleButton;
      if (middleInText && event->type() == QEvent::MouseButtonPress) {
        // Pasting the selection goes through the text box, and its limits.
        // An empty selection pastes nothing (the field keeps its selected text).
        const std::string text = QGuiApplication::clipboard()->text(QClipboard::Selection).toStdString();
        if (!text.empty()) impl_->Act([&] { user.Focus(*n->control) && user.Paste(text); });
      }
      if (!onViewport) return middleInText;
      if (mouse.button() != Qt::LeftButton) return true;  // the context menu event follows
      const QModelIndex index = view->indexAt(mouse.position().toPoint());
      impl_->Act([&] {
        if (index.isValid())
          user.ClickRow(*list, index.row(), ShiftOf(mouse.modifiers()));
        else
          user.SelectRows(*list, {});
      });
      return true;
    }
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
      // Dragging selects nothing the list did not select.
      return onViewport || (n->control->Kind() == ui::ControlKind::TextBox &&
                            static_cast<QMouseEvent&>(*event).button() == Qt::MiddleButton);
    case QEvent::ContextMenu: {
      if (!onViewport) return n->control->Kind() == ui::ControlKind::TextBox;
      auto& context = static_cast<QContextMenuEvent&>(*event);
      const QModelIndex index =
          context.reason() == QContextMenuEvent::Mouse ? view->indexAt(context.pos()) : QModelIndex();
      impl_->menuAt = context.globalPos();
      impl_->Act([&] { user.ContextMenu(*list, index.isValid() ? std::optional<int>(index.row()) : std::nullopt); });
      return true;
    }
    default:
      return false;
  }
}

bool PanelWidget::event(QEvent* event) {
  // Shown (a tab page coming forward shows what the host changed while it
  // was hidden), or on another screen, whose DPI gives the twips other pixels.
  if (event->type() == QEvent::Show || event->type() == QEvent::ScreenChangeInternal) Sync();
  return QWidget::event(event);
}

void PanelWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  auto& panel = *impl_->panel;
  // A size the panel already has in pixels keeps its twips (no rounding
  // drift at the design size).
  if (width() == TwipsToPixels(panel.Width(), DpiX()) && height() == TwipsToPixels(panel.Height(), DpiY())) return;
  impl_->Act([&] { panel.SetSize(PixelsToTwips(width(), DpiX()), PixelsToTwips(height(), DpiY())); });
}

}  // namespace quillmont::qt
