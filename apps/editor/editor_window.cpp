#include "apps/editor/editor_window.h"

#include <algorithm>

#include "apps/editor/cell_width.h"
#include "apps/editor/dialogs.h"
#include "apps/editor/send_test.h"
#include "quillmont/framework/components.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/rules/fields.h"
#include "quillmont/storage/utf8.h"

namespace quillmont::editor {

namespace keys = ui::keys;
namespace shift = ui::shift;

EditorWindow::EditorWindow(Screen& screen, store::Store& store, std::shared_ptr<store::StoredDefinition> definition,
                           std::vector<session::PageDescriptor> pages)
    : screen_(screen),
      store_(store),
      frontEnd_(screen),
      session_(frontEnd_, store, std::move(definition), std::move(pages)),
      unsaved_([this] { return Changed() ? session_.Definition().Name() : std::string(); }) {}

EditorWindow::~EditorWindow() = default;

bool EditorWindow::Open() {
  if (!session_.Open()) return false;
  views_.assign(session_.Pages().size(), PanelView());
  return true;
}

void EditorWindow::Run() {
  // The boxes a page leaves untitled are titled by it, as long as it shows.
  struct Untitled {
    std::shared_ptr<TerminalMessageService> messages;
    ~Untitled() {
      if (messages) messages->SetUntitled(nullptr);
    }
  } untitled{std::dynamic_pointer_cast<TerminalMessageService>(GetMessageService())};
  if (untitled.messages)
    untitled.messages->SetUntitled([this] {
      const auto& pages = session_.Pages();
      return session_.Active() < pages.size() ? pages[session_.Active()]->descriptor.messageTitle : std::string();
    });
  LayerScope layer(
      screen_, [this](Canvas& canvas) { Draw(canvas); }, kMinSize);
  while (!closed_) HandleEvent(screen_.Next());
}

bool EditorWindow::Changed() const { return session_.Changed(); }

const std::string& EditorWindow::ActiveKey() const { return session_.Pages().at(session_.Active())->descriptor.key; }

ui::UserControl& EditorWindow::ActivePanel() { return *session_.Pages().at(session_.Active())->view; }

void EditorWindow::SelectTab(const std::string& key) { session_.SelectTab(key); }

void EditorWindow::SwitchTab(int delta) {
  if (session_.Pages().empty()) return;
  const int n = static_cast<int>(session_.Pages().size());
  session_.SetActive(static_cast<std::size_t>((static_cast<int>(session_.Active()) + delta % n + n) % n));
  ui::UserControl& panel = ActivePanel();
  if (!panel.ActiveControl() || !panel.ActiveControl()->CanTakeFocus()) panel.FocusNext();
}

bool EditorWindow::Save() {
  if (!session_.Save()) return false;
  status_ = "Saved";
  return true;
}

bool EditorWindow::Rename() { return session_.Rename(); }

bool EditorWindow::Close() { return session_.Close(); }

void EditorWindow::HandleEvent(const InputEvent& e) {
  if (session_.Pages().empty()) {
    closed_ = true;
    return;
  }
  status_.clear();
  try {
    ui::UserControl& panel = ActivePanel();
    ui::Driver driver(panel);
    ui::Control* focused = panel.ActiveControl();
    const auto* focusedBox = dynamic_cast<const ui::TextBox*>(focused);
    const bool wasDefault = focusedBox && focusedBox->Text() == rules::kDefaultText;
    auto* combo = dynamic_cast<ui::ComboBox*>(focused);
    if (HandleViewKey(e, focused)) return;
    switch (e.kind) {
      case InputEvent::Kind::Key:
        if (e.IsKey(FunctionKey(6)) || e.IsKey(keys::PageDown, shift::Ctrl)) {
          SwitchTab(1);
        } else if (e.IsKey(FunctionKey(6), shift::Shift) || e.IsKey(keys::PageUp, shift::Ctrl)) {
          SwitchTab(-1);
        } else if (e.IsKey('S', shift::Ctrl)) {
          Save();
        } else if (e.IsKey(FunctionKey(2))) {
          Rename();
        } else if (e.IsKey('T', shift::Ctrl)) {
          if (!SendTest(screen_, store_, session_.Definition().Name(), panel))
            status_ = "A test is sent from the SNMP or e-mail page";
        } else if (e.IsKey(keys::Escape) || e.IsKey(FunctionKey(10)) || e.IsKey('C', shift::Ctrl)) {
          closed_ = Close();
        } else if (e.IsKey(FunctionKey(10), shift::Shift)) {
          if (auto* list = dynamic_cast<ui::ListView*>(focused)) {
            const int caret = list->CaretRow();
            driver.ContextMenu(*list, caret >= 0 ? std::optional<int>(caret) : std::nullopt);
          }
        } else if (combo && (e.IsKey(FunctionKey(4)) || e.IsKey(keys::Down, shift::Alt))) {
          DropDown(*combo);
        } else {
          DeliverKey(panel, e);
        }
        break;
      case InputEvent::Kind::Text:
        if (combo && e.ch == U' ') {
          DropDown(*combo);
        } else {
          auto* box = dynamic_cast<ui::TextBox*>(focused);
          const std::size_t before = box ? utf8::CharCount(box->Text()) : 0;
          DeliverKey(panel, e);
          if (box && box->MaxLength() > 0 && before >= box->MaxLength() &&
              utf8::CharCount(box->Text()) >= box->MaxLength())
            status_ = LimitNote(*box);
        }
        break;
      case InputEvent::Kind::Paste:
        Paste(e.text, focused);
        break;
      case InputEvent::Kind::Alt:
        if (e.ch >= U'1' && e.ch <= U'9' && static_cast<std::size_t>(e.ch - U'1') < session_.Pages().size()) {
          SwitchTab(static_cast<int>(e.ch - U'1') - static_cast<int>(session_.Active()));
        } else if (e.ch < 128) {
          driver.AccessKey(static_cast<char>(e.ch));
        }
        break;
      case InputEvent::Kind::Mouse:
        HandleMouse(e);
        break;
      case InputEvent::Kind::Closed:
        // Nobody is left to answer questions: unsaved edits are dropped, the
        // view state is kept.
        session_.Abandon();
        closed_ = true;
        break;
      default:
        break;
    }
    // Moving into a one-line field by keyboard selects its text, so typing
    // replaces it.
    auto* box = dynamic_cast<ui::TextBox*>(panel.ActiveControl());
    const bool tabbed = box != focused && (e.IsKey(keys::Tab) || e.IsKey(keys::Tab, shift::Shift));
    const bool oneLine = box && (!box->MultiLine() || View().layout.OneRow(*box));
    if (oneLine && (tabbed || e.kind == InputEvent::Kind::Alt)) box->SetSelection(0, utf8::CharCount(box->Text()));
    // "<Default>" stands for no text of its own: typing replaces it, in
    // the Message as in the Subject, however the field was entered or reset
    // (Reset by its access key or a click leaves the caret in the field).
    const bool reset =
        box == focused && !wasDefault && (e.kind == InputEvent::Kind::Alt || e.kind == InputEvent::Kind::Mouse);
    if (box && (box != focused || reset) && box->Text() == rules::kDefaultText)
      box->SetSelection(0, utf8::CharCount(box->Text()));
    ShowPopupIfOpen();
  } catch (const std::exception& ex) {
    ShowError(screen_, ex, session::kErrorTitle);
  }
}

std::string EditorWindow::LimitNote(const ui::TextBox& box) {
  std::string field = box.Name();
  if (field.rfind("txt", 0) == 0) field.erase(0, 3);
  return field + ": at most " + std::to_string(box.MaxLength()) + " characters";
}

void EditorWindow::Paste(const std::string& pasted, ui::Control* focused) {
  auto* box = dynamic_cast<ui::TextBox*>(focused);
  if (!box || !box->CanTakeFocus()) {
    status_ = "Paste into a text field";
    return;
  }
  const bool oneLine = !box->MultiLine() || View().layout.OneRow(*box);
  // Line breaks become the field's own; other control characters go.
  std::string text;
  text.reserve(pasted.size() + pasted.size() / 16);
  for (std::size_t i = 0; i < pasted.size(); ++i) {
    const char c = pasted[i];
    if (c == '\r' || c == '\n') {
      if (oneLine) {
        status_ = "A line break cannot be pasted into a one-line field: nothing was pasted";
        return;
      }
      if (c == '\r' && i + 1 < pasted.size() && pasted[i + 1] == '\n') ++i;
      text += "\r\n";
    } else if (c == '\t') {
      if (oneLine) {
        status_ = "A tab cannot be pasted into a one-line field: nothing was pasted";
        return;
      }
      text += c;
    } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) {
      text += c;
    }
  }
  const std::size_t room = box->MaxLength() == 0
                               ? text.size()
                               : box->MaxLength() + box->SelLength() -
                                     std::min(box->MaxLength() + box->SelLength(), utf8::CharCount(box->Text()));
  ui::Driver(ActivePanel()).Paste(text);
  if (box->MaxLength() > 0 && utf8::CharCount(text) > room) status_ = LimitNote(*box) + ": the paste was cut";
}

const std::vector<KeyHint>& EditorWindow::Keys() {
  static const std::vector<KeyHint> keys = {
      {"Ctrl+S", "save"},
      {"Esc", "close"},
      {"F6", "page"},
      {"Tab", "field"},
      {"Alt+letter", "jump"},
      {"Enter", "apply"},
      {"Del", "delete"},
      {"Shift+F10", "menu"},
      {"F4", "list"},
      {"F2", "rename", false},
      {"Ctrl+T", "send a test to the selected (or all) rows", false},
      {"Shift+F6, Ctrl+PgUp/PgDn", "previous / next page", false},
      {"Alt+1..9", "page by number", false},
      {"Shift+Tab", "previous field", false},
      {"Space, Alt+Down", "open a drop-down list", false},
      {"Up/Down, PgUp/PgDn", "move in a list", false},
      {"Shift/Ctrl+arrows, Space", "choose several rows", false},
      {"Left/Right", "choose a list column", false},
      {"Ctrl+Left/Right", "narrow / widen that column (or drag its border)", false},
      {"Ctrl+L", "draw the screen again", false},
      {"F1, ?", "this help", false},
  };
  return keys;
}

bool EditorWindow::HandleViewKey(const InputEvent& e, ui::Control* focused) {
  const bool inText = dynamic_cast<ui::TextBox*>(focused) != nullptr;
  if (e.IsKey(FunctionKey(1)) || (e.kind == InputEvent::Kind::Text && e.ch == U'?' && !inText)) {
    ShowHelp(screen_, "Keys of the notification window", Keys());
    return true;
  }
  if (e.kind == InputEvent::Kind::Mouse) return false;
  auto* list = dynamic_cast<ui::ListView*>(focused);
  if (!list) return false;
  PanelView& view = View();
  if (e.IsKey(keys::Left) || e.IsKey(keys::Right)) {
    view.columns.MoveFocus(view.layout, *list, e.IsKey(keys::Left) ? -1 : 1);
    return true;
  }
  if (e.IsKey(keys::Left, shift::Ctrl) || e.IsKey(keys::Right, shift::Ctrl)) {
    view.columns.Widen(view.layout, *list, e.IsKey(keys::Left, shift::Ctrl) ? -1 : 1);
    return true;
  }
  // Del takes the chosen rows of a selector back, as its "<" button does.
  auto* selector = dynamic_cast<XSelector*>(list->Parent());
  if (e.IsKey(keys::Delete) && selector && &selector->ChosenList() == list) {
    ui::Driver(ActivePanel()).Click(selector->RemoveButton());
    return true;
  }
  return false;
}

void EditorWindow::HandleMouse(const InputEvent& e) {
  if (drag_.list && e.button == InputEvent::Button::Drag) {
    PanelView& view = View();
    const int start = ColumnController::Start(view.layout, *drag_.list, drag_.column);
    if (start >= 0) view.columns.SetCells(view.layout, *drag_.list, drag_.column, e.col - start + 1);
    return;
  }
  if (e.button == InputEvent::Button::Release || e.button == InputEvent::Button::Drag) {
    drag_ = {};
    return;
  }
  for (std::size_t i = 0; i < tabRects_.size(); ++i) {
    if (tabRects_[i].Contains(e.row, e.col) && e.button == InputEvent::Button::Left) {
      SwitchTab(static_cast<int>(i) - static_cast<int>(session_.Active()));
      return;
    }
  }
  const PanelLayout& layout = View().layout;
  const Hit hit = layout.HitTest(e.row, e.col);
  if (!hit.control) return;
  ui::Driver driver(ActivePanel());
  const bool left = e.button == InputEvent::Button::Left;
  const bool right = e.button == InputEvent::Button::Right;
  switch (hit.control->Kind()) {
    case ui::ControlKind::CommandButton:
      if (left) driver.Click(*hit.control);
      break;
    case ui::ControlKind::TextBox:
      if (left && driver.Focus(*hit.control)) {
        auto& box = static_cast<ui::TextBox&>(*hit.control);
        if (layout.OneRow(box)) box.SetSelection(static_cast<std::size_t>(std::max(0, hit.offset)), 0);
      }
      break;
    case ui::ControlKind::ComboBox:
      if (left && driver.Focus(*hit.control)) DropDown(static_cast<ui::ComboBox&>(*hit.control));
      break;
    case ui::ControlKind::ListView: {
      auto& list = static_cast<ui::ListView&>(*hit.control);
      if (e.button == InputEvent::Button::WheelUp) list.SetTopRow(list.TopRow() - 3);
      if (e.button == InputEvent::Button::WheelDown) list.SetTopRow(list.TopRow() + 3);
      if (left && hit.part == Hit::Part::ListRow) driver.ClickRow(list, hit.listRow, e.shift);
      if (left && hit.part == Hit::Part::ListEmpty) driver.SelectRows(list, {});
      if (left && hit.part == Hit::Part::ListHeader) driver.Focus(list);
      // Pressing on a header border starts dragging it.
      if (left && hit.part == Hit::Part::ListHeader && hit.border >= 0) drag_ = {&list, hit.border};
      if (right)
        driver.ContextMenu(list, hit.part == Hit::Part::ListRow ? std::optional<int>(hit.listRow) : std::nullopt);
      break;
    }
    default:
      break;
  }
}

void EditorWindow::DropDown(ui::ComboBox& combo) {
  if (combo.ListCount() == 0) return;
  std::vector<std::string> items;
  for (int i = 0; i < combo.ListCount(); ++i) items.push_back(combo.List(i));
  // Where the field is now: the list follows it through a resize.
  const int chosen = ChooseFromList(screen_, items, {}, std::max(0, combo.ListIndex()), [this, &combo] {
    const Rect* at = View().layout.CellsOf(&combo);
    return at ? *at : Rect{2, 2, 1, 0};
  });
  if (chosen >= 0) ui::Driver(ActivePanel()).ChooseIndex(combo, chosen);
}

void EditorWindow::ShowPopupIfOpen() {
  ui::UserControl& panel = ActivePanel();
  ui::PopupMenu* menu = panel.OpenPopupMenu();
  if (!menu) return;
  std::vector<std::string> captions;
  std::vector<bool> enabled;
  for (const auto& item : menu->Items()) {
    if (!item->Visible()) continue;
    captions.push_back(item->Caption());
    enabled.push_back(item->Enabled());
  }
  // Below the list's caret row (or the control), wherever that is now.
  ui::Control* focused = panel.ActiveControl();
  const int chosen = ChooseFromList(screen_, captions, enabled, 0, [this, focused] {
    const Rect* at = focused ? View().layout.CellsOf(focused) : nullptr;
    if (!at) return Rect{2, 4, 1, 0};
    Rect row{at->row, at->col + 2, 1, 0};
    if (auto* list = dynamic_cast<ui::ListView*>(focused); list && list->CaretRow() >= list->TopRow())
      row.row = std::min(at->Bottom() - 2, at->row + 1 + list->CaretRow() - list->TopRow());
    return row;
  });
  ui::Driver driver(panel);
  if (chosen < 0)
    driver.DismissMenu();
  else
    driver.ChooseMenuItem(captions[static_cast<std::size_t>(chosen)]);
}

Rect EditorWindow::PanelArea(const Canvas& canvas) const {
  return {2, 0, std::max(0, canvas.Height() - 3), canvas.Width()};
}

void EditorWindow::Draw(Canvas& canvas) {
  const int width = canvas.Width();
  // Title with the changed mark.
  canvas.Fill({0, 0, 1, width}, U' ', attr::Reverse);
  const std::string title = " " + session_.Title();
  // The changed and read-only marks always show; the name gives way.
  const std::string mark = session_.Marks();
  const int used =
      canvas.Text(0, 0, FitCells(title, width - TextCells(mark)), attr::Reverse | attr::Bold, width - TextCells(mark));
  canvas.Text(0, used, mark, attr::Reverse | attr::Bold, width - used);
  // Tab strip.
  canvas.Fill({1, 0, 1, width}, U' ', attr::Underline);
  tabRects_.clear();
  int col = 1;
  const auto& pages = session_.Pages();
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const std::string caption = " " + pages[i]->descriptor.caption + " ";
    const std::uint8_t a = i == session_.Active() ? attr::Reverse | attr::Bold : attr::Underline;
    const int used = canvas.Text(1, col, caption, a, std::max(0, width - col));
    tabRects_.push_back({1, col, 1, used});
    col += used + 1;
  }
  // The active page at the size of the area, in twips.
  if (!pages.empty()) {
    ui::UserControl& panel = ActivePanel();
    const Rect area = PanelArea(canvas);
    try {
      panel.SetSize(TwipsWide(area.width), TwipsHigh(area.height));
    } catch (const std::exception&) {
      // A panel that cannot arrange itself at this size keeps its last layout.
    }
    if (area.height > 0 && area.width > 0) View().Draw(canvas, panel, area);
  }
  // Help line.
  if (canvas.Height() >= 3) {
    if (screen_.HasPageKeys()) {
      DrawStatusLine(canvas, canvas.Height() - 1, status_, Keys());
    } else {
      // What works where F6 and Ctrl+PgDn do not exist.
      std::vector<KeyHint> keys = Keys();
      for (KeyHint& hint : keys)
        if (hint.keys == "F6") hint = {"Alt+1.." + std::to_string(session_.Pages().size()), "page"};
      DrawStatusLine(canvas, canvas.Height() - 1, status_, keys);
    }
  }
}

}  // namespace quillmont::editor
