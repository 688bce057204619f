#include "apps/editor/editor_window.h"

#include <algorithm>

#include "apps/editor/cell_width.h"
#include "apps/editor/dialogs.h"
#include "quillmont/framework/components.h"
#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/platform/ui/utf8.h"

namespace quillmont::editor {

namespace keys = ui::keys;
namespace shift = ui::shift;

struct EditorWindow::Page {
  PageDescriptor descriptor;
  std::shared_ptr<ui::UserControl> view;
  std::shared_ptr<IFolioControl> contract;
  PanelRenderer renderer;
};

// What the pages' tab container may reach of the window. The pages hold the
// container until they go; it holds the window only weakly.
struct EditorWindow::State {
  EditorWindow* window = nullptr;
  bool changed = false;
};

class EditorWindow::Host final : public TabHost {
 public:
  explicit Host(std::weak_ptr<State> state) : state_(std::move(state)) {}
  void MarkChanged() override {
    if (auto s = state_.lock()) s->changed = true;
  }
  void SelectTab(std::string& tabKey) override {
    if (auto s = state_.lock(); s && s->window) s->window->SelectTab(tabKey);
  }

 private:
  std::weak_ptr<State> state_;
};

EditorWindow::EditorWindow(Screen& screen, store::Store& store, std::shared_ptr<store::StoredDefinition> definition,
                           std::vector<PageDescriptor> pages)
    : screen_(screen),
      store_(store),
      definition_(std::move(definition)),
      descriptors_(std::move(pages)),
      state_(std::make_shared<State>()),
      unsaved_([this] { return Changed() ? definition_->Name() : std::string(); }) {
  state_->window = this;
  host_ = std::make_shared<Host>(state_);
}

EditorWindow::~EditorWindow() { state_->window = nullptr; }

bool EditorWindow::Open() {
  try {
    for (const PageDescriptor& descriptor : descriptors_) {
      auto page = std::make_unique<Page>();
      page->descriptor = descriptor;
      page->view = descriptor.create();
      page->contract = std::dynamic_pointer_cast<IFolioControl>(page->view);
      if (!page->contract)
        throw Error(ErrorCode::ObjectRequired, "The page \"" + descriptor.caption + "\" is not an editor tab.");
      pages_.push_back(std::move(page));
    }
    for (auto& page : pages_) page->contract->LoadState();
    const Variant v(std::static_pointer_cast<NotificationDefinition>(definition_));
    for (auto& page : pages_) page->contract->LoadData(v, page->descriptor.key, host_);
  } catch (const std::exception& e) {
    ShowMessageBox(screen_, std::string("The notification could not be opened.\n\n") + e.what(), msgbox::Critical,
                   kErrorTitle);
    return false;
  }
  state_->changed = false;
  active_ = 0;
  if (!pages_.empty()) pages_[0]->view->FocusNext();
  return !pages_.empty();
}

void EditorWindow::Run() {
  LayerScope layer(
      screen_, [this](Canvas& canvas) { Draw(canvas); }, kMinSize);
  while (!closed_) HandleEvent(screen_.Next());
}

bool EditorWindow::Changed() const {
  if (state_->changed) return true;
  for (const auto& page : pages_)
    if (page->descriptor.pendingEntry && page->descriptor.pendingEntry(*page->view)) return true;
  return false;
}

const std::string& EditorWindow::ActiveKey() const { return pages_.at(active_)->descriptor.key; }

ui::UserControl& EditorWindow::ActivePanel() { return *pages_.at(active_)->view; }

void EditorWindow::SelectTab(const std::string& key) {
  for (std::size_t i = 0; i < pages_.size(); ++i)
    if (pages_[i]->descriptor.key == key) active_ = i;
}

void EditorWindow::SwitchTab(int delta) {
  if (pages_.empty()) return;
  const int n = static_cast<int>(pages_.size());
  active_ = static_cast<std::size_t>((static_cast<int>(active_) + delta % n + n) % n);
  ui::UserControl& panel = ActivePanel();
  if (!panel.ActiveControl() || !panel.ActiveControl()->CanTakeFocus()) panel.FocusNext();
}

bool EditorWindow::Save() {
  if (store_.ReadOnly()) {
    ShowMessageBox(screen_,
                   "The database is open read-only (you may not write it or its folder), so the notification cannot "
                   "be saved. Your changes are still in the window.",
                   msgbox::Critical, kSaveTitle);
    return false;
  }
  if (!SettleUnappliedEntries()) return false;
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    if (!pages_[i]->contract->IsTabValid(kSaveTitle)) {
      // The refusing page comes forward (the e-mail page asks for it too).
      active_ = i;
      return false;
    }
  }
  for (auto& page : pages_) page->contract->SaveData();
  return StoreSave();
}

bool EditorWindow::StoreSave() {
  using Reason = store::SaveRefused::Reason;
  for (bool overwrite = false;;) {
    try {
      store_.Save(*definition_, overwrite);
      state_->changed = false;
      status_ = "Saved";
      return true;
    } catch (const store::SaveRefused& e) {
      const std::string what = e.what();
      if (e.Why() == Reason::NameTaken) {
        if (ShowMessageBox(screen_, what + " Nothing was saved.\n\nGive this notification another name?",
                           msgbox::YesNoExclamation, kSaveTitle) != msgbox::AnswerYes ||
            !Rename())
          return false;
      } else if (e.Why() == Reason::DeletedMeanwhile) {
        if (AskChoice(screen_, what + "\n\nSave your version as a new notification, or cancel and keep editing?",
                      {"Save as new", "Cancel"}, kSaveTitle) != 0 ||
            !SaveAsNew())
          return false;
      } else {
        const int choice = AskChoice(screen_,
                                     what +
                                         "\n\nReload theirs (your changes are dropped), overwrite theirs with "
                                         "yours, save yours as a new notification, or cancel and keep editing?",
                                     {"Reload theirs", "Overwrite", "Save as new", "Cancel"}, kSaveTitle);
        if (choice == 0) {
          ReloadFromStore();
          return false;
        }
        if (choice == 1)
          overwrite = true;
        else if (choice != 2 || !SaveAsNew())
          return false;
      }
    } catch (const std::exception& e) {
      ShowMessageBox(screen_,
                     std::string("The notification was not saved.\n\n") + e.what() +
                         "\n\nYour changes are still in the window; you can save again.",
                     msgbox::Critical, kSaveTitle);
      return false;
    }
  }
}

bool EditorWindow::SaveAsNew() {
  const std::string& old = definition_->Name();
  const auto name =
      AskNotificationName(screen_, store_, "Save as New Notification",
                          "Name of the new notification:", store_.NameTaken(old) ? old + " (copy)" : old, 0);
  if (!name) return false;
  definition_->BecomeNew(*name);
  return true;
}

void EditorWindow::ReloadFromStore() {
  auto fresh = store_.OpenDefinition(definition_->NotificationID());
  const Variant v(std::static_pointer_cast<NotificationDefinition>(fresh));
  for (auto& page : pages_) page->contract->LoadData(v, page->descriptor.key, host_);
  definition_ = std::move(fresh);
  state_->changed = false;
}

bool EditorWindow::Rename() {
  const auto name =
      AskNotificationName(screen_, store_, "Rename Notification", "New name of the notification:", definition_->Name(),
                          definition_->NotificationID());
  if (!name) return false;
  if (*name != definition_->Name()) {
    definition_->SetName(*name);
    state_->changed = true;
  }
  return true;
}

bool EditorWindow::SettleUnappliedEntries() {
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    Page& page = *pages_[i];
    if (!page.descriptor.pendingEntry) continue;
    const auto pending = page.descriptor.pendingEntry(*page.view);
    if (!pending) continue;
    active_ = i;
    const int choice = AskChoice(screen_,
                                 "The page \"" + page.descriptor.caption + "\" holds " + pending->what +
                                     ", not applied to its list.\n\nApply it, discard it, or go back to it?",
                                 {"Apply", "Discard", "Go back"}, kUnappliedTitle);
    if (choice == 2) return false;
    ui::Driver driver(*page.view);
    if (choice == 0 && !pending->apply->Enabled()) {
      ShowMessageBox(screen_, "It cannot be applied as it stands: complete it, or discard it.", msgbox::Exclamation,
                     kUnappliedTitle);
      return false;
    }
    // Starting over changes no data: it must not leave the changed mark.
    const bool changed = state_->changed;
    driver.Click(choice == 0 ? *pending->apply : *pending->discard);
    if (choice == 1) state_->changed = changed;
    // A refused Apply has said why; the user is on the page to mend it.
    if (page.descriptor.pendingEntry(*page.view)) return false;
  }
  return true;
}

bool EditorWindow::Close() {
  if (!SettleUnappliedEntries()) return false;
  if (Changed()) {
    const int answer = ShowMessageBox(screen_, "Save the changes to \"" + definition_->Name() + "\" before closing?",
                                      3 | msgbox::Exclamation, "Close Notification");
    if (answer == msgbox::AnswerCancel) return false;
    if (answer == msgbox::AnswerYes) {
      try {
        if (!Save()) return false;
      } catch (const std::exception& e) {
        ShowError(screen_, e, kErrorTitle);
        return false;
      }
    }
  }
  for (auto& page : pages_) {
    try {
      page->contract->SaveState();
    } catch (const std::exception& e) {
      // The view state is a convenience: its loss does not keep the window.
      ShowError(screen_, e, kErrorTitle);
    }
  }
  return true;
}

void EditorWindow::HandleEvent(const InputEvent& e) {
  if (pages_.empty()) {
    closed_ = true;
    return;
  }
  status_.clear();
  try {
    ui::UserControl& panel = ActivePanel();
    ui::Driver driver(panel);
    ui::Control* focused = panel.ActiveControl();
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
        if (combo && e.ch == U' ')
          DropDown(*combo);
        else
          DeliverKey(panel, e);
        break;
      case InputEvent::Kind::Alt:
        if (e.ch >= U'1' && e.ch <= U'9' && static_cast<std::size_t>(e.ch - U'1') < pages_.size()) {
          SwitchTab(static_cast<int>(e.ch - U'1') - static_cast<int>(active_));
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
        for (auto& page : pages_) {
          try {
            page->contract->SaveState();
          } catch (const std::exception&) {
          }
        }
        closed_ = true;
        break;
      default:
        break;
    }
    // Moving into a one-line field by keyboard selects its text, so typing
    // replaces it.
    auto* box = dynamic_cast<ui::TextBox*>(panel.ActiveControl());
    const bool tabbed = box != focused && (e.IsKey(keys::Tab) || e.IsKey(keys::Tab, shift::Shift));
    const Rect* cells = box ? pages_[active_]->renderer.CellsOf(box) : nullptr;
    const bool oneLine = box && (!box->MultiLine() || (cells && cells->height == 1));
    if (oneLine && (tabbed || e.kind == InputEvent::Kind::Alt)) box->SetSelection(0, ui::utf8::CharCount(box->Text()));
    ShowPopupIfOpen();
  } catch (const std::exception& ex) {
    ShowError(screen_, ex, kErrorTitle);
  }
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
  PanelRenderer& renderer = pages_[active_]->renderer;
  if (e.IsKey(keys::Left) || e.IsKey(keys::Right)) {
    renderer.MoveColumnFocus(*list, e.IsKey(keys::Left) ? -1 : 1);
    return true;
  }
  if (e.IsKey(keys::Left, shift::Ctrl) || e.IsKey(keys::Right, shift::Ctrl)) {
    renderer.WidenColumn(*list, e.IsKey(keys::Left, shift::Ctrl) ? -1 : 1);
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
    const int start = pages_[active_]->renderer.ColumnStart(*drag_.list, drag_.column);
    if (start >= 0) pages_[active_]->renderer.SetColumnCells(*drag_.list, drag_.column, e.col - start + 1);
    return;
  }
  if (e.button == InputEvent::Button::Release || e.button == InputEvent::Button::Drag) {
    drag_ = {};
    return;
  }
  for (std::size_t i = 0; i < tabRects_.size(); ++i) {
    if (tabRects_[i].Contains(e.row, e.col) && e.button == InputEvent::Button::Left) {
      SwitchTab(static_cast<int>(i) - static_cast<int>(active_));
      return;
    }
  }
  Page& page = *pages_[active_];
  const Hit hit = page.renderer.HitTest(e.row, e.col);
  if (!hit.control) return;
  ui::Driver driver(*page.view);
  const bool left = e.button == InputEvent::Button::Left;
  const bool right = e.button == InputEvent::Button::Right;
  switch (hit.control->Kind()) {
    case ui::ControlKind::CommandButton:
      if (left) driver.Click(*hit.control);
      break;
    case ui::ControlKind::TextBox:
      if (left && driver.Focus(*hit.control)) {
        auto& box = static_cast<ui::TextBox&>(*hit.control);
        if (page.renderer.CellsOf(&box) && page.renderer.CellsOf(&box)->height == 1)
          box.SetSelection(static_cast<std::size_t>(std::max(0, hit.offset)), 0);
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
  const Rect* at = pages_[active_]->renderer.CellsOf(&combo);
  const int row = at ? at->row + 1 : 3;
  const int col = at ? at->col : 2;
  const int chosen = ChooseFromList(screen_, items, {}, std::max(0, combo.ListIndex()), row, col, at ? at->width : 0);
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
  int row = 3, col = 4;
  if (ui::Control* focused = panel.ActiveControl())
    if (const Rect* at = pages_[active_]->renderer.CellsOf(focused)) {
      row = at->row + 1;
      col = at->col + 2;
      if (auto* list = dynamic_cast<ui::ListView*>(focused); list && list->CaretRow() >= list->TopRow())
        row = std::min(at->Bottom() - 1, at->row + 2 + list->CaretRow() - list->TopRow());
    }
  const int chosen = ChooseFromList(screen_, captions, enabled, 0, row, col);
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
  std::string title = " Notification";
  title += definition_->IsNew() ? " (new)" : " " + std::to_string(definition_->NotificationID());
  title += ": " + definition_->Name();
  // The changed and read-only marks always show; the name gives way.
  std::string mark = Changed() ? "  [changed]" : "";
  if (store_.ReadOnly()) mark += "  [read-only]";
  const int used =
      canvas.Text(0, 0, FitCells(title, width - TextCells(mark)), attr::Reverse | attr::Bold, width - TextCells(mark));
  canvas.Text(0, used, mark, attr::Reverse | attr::Bold, width - used);
  // Tab strip.
  canvas.Fill({1, 0, 1, width}, U' ', attr::Underline);
  tabRects_.clear();
  int col = 1;
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    const std::string caption = " " + pages_[i]->descriptor.caption + " ";
    const std::uint8_t a = i == active_ ? attr::Reverse | attr::Bold : attr::Underline;
    const int used = canvas.Text(1, col, caption, a, std::max(0, width - col));
    tabRects_.push_back({1, col, 1, used});
    col += used + 1;
  }
  // The active page at the size of the area, in twips.
  if (!pages_.empty()) {
    Page& page = *pages_[active_];
    const Rect area = PanelArea(canvas);
    try {
      page.view->SetSize(TwipsWide(area.width), TwipsHigh(area.height));
    } catch (const std::exception&) {
      // A panel that cannot arrange itself at this size keeps its last layout.
    }
    if (area.height > 0 && area.width > 0) page.renderer.Draw(canvas, *page.view, area);
  }
  // Help line.
  if (canvas.Height() >= 3) {
    DrawStatusLine(canvas, canvas.Height() - 1, status_, Keys());
  }
}

std::optional<std::string> AskNotificationName(Screen& screen, store::Store& store, const std::string& title,
                                               const std::string& prompt, const std::string& initial,
                                               std::int32_t exceptId) {
  for (std::string name = initial;;) {
    const auto answer = AskText(screen, title, prompt, name, store::kMaxNameLength);
    if (!answer) return std::nullopt;
    name = *answer;
    try {
      const std::string checked = store::CheckedName(name);
      if (!store.NameTaken(checked, exceptId)) return checked;
      ShowMessageBox(screen, "A notification named \"" + checked + "\" already exists. Please choose another name.",
                     msgbox::Critical, title);
    } catch (const Error& e) {
      ShowMessageBox(screen, e.what(), msgbox::Critical, title);
    }
  }
}

}  // namespace quillmont::editor
