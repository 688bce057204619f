#include "apps/editor/notification_list.h"

#include <algorithm>
#include <cstdio>

#include "apps/editor/cell_width.h"
#include "apps/editor/delivery_log.h"
#include "apps/editor/dialogs.h"
#include "apps/editor/editor_window.h"
#include "apps/editor/send_test.h"
#include "quillmont/platform/error.h"

namespace quillmont::editor {

namespace keys = ui::keys;

NotificationListScreen::NotificationListScreen(Screen& screen, std::shared_ptr<store::Store> store,
                                               std::vector<session::PageDescriptor> pages, std::string location)
    : screen_(screen),
      store_(std::move(store)),
      pages_(std::move(pages)),
      location_(std::move(location)),
      frontEnd_(screen),
      index_(frontEnd_, store_),
      rows_(index_.Rows()) {
  store_->SetWaitHandler([this] { return KeepWaiting(screen_); });
  LoadLastDeliveries();
}

NotificationListScreen::~NotificationListScreen() { store_->SetWaitHandler(nullptr); }

void NotificationListScreen::Reload(std::int32_t keepId) {
  index_.Reload();
  LoadLastDeliveries();
  Keep(keepId);
}

void NotificationListScreen::LoadLastDeliveries() {
  lastLoaded_ = std::chrono::steady_clock::now();
  try {
    last_ = store::LastDeliveries(store_->Db());
  } catch (const std::exception&) {
    last_.clear();
  }
}

void NotificationListScreen::Keep(std::int32_t keepId) {
  if (const int at = index_.RowOf(keepId); at >= 0) selected_ = at;
  selected_ = std::clamp(selected_, 0, std::max(0, static_cast<int>(rows_.size()) - 1));
}

void NotificationListScreen::Run() {
  LayerScope layer(
      screen_, [this](Canvas& canvas) { Draw(canvas); }, kMinSize);
  // Woken every second without a key too, so that what other editors save
  // shows while this one only looks.
  while (!done_) HandleEvent(screen_.Poll(1000));
}

void NotificationListScreen::Move(int to) {
  if (rows_.empty()) return;
  selected_ = std::clamp(to, 0, static_cast<int>(rows_.size()) - 1);
}

void NotificationListScreen::CatchUp() {
  const std::int32_t keep = rows_.empty() ? 0 : rows_[static_cast<std::size_t>(selected_)].id;
  if (index_.CatchUp()) {
    LoadLastDeliveries();
    Keep(keep);
  } else if (std::chrono::steady_clock::now() - lastLoaded_ >= std::chrono::seconds(5)) {
    // A server's outbox writes do not tell the editors.
    LoadLastDeliveries();
  }
}

void NotificationListScreen::HandleEvent(const InputEvent& e) {
  try {
    CatchUp();
    switch (e.kind) {
      case InputEvent::Kind::Key:
        if (e.IsKey(keys::Up)) Move(selected_ - 1);
        if (e.IsKey(keys::Down)) Move(selected_ + 1);
        if (e.IsKey(keys::Home)) Move(0);
        if (e.IsKey(keys::End)) Move(static_cast<int>(rows_.size()) - 1);
        if (e.IsKey(keys::PageUp)) Move(selected_ - visibleRows_);
        if (e.IsKey(keys::PageDown)) Move(selected_ + visibleRows_);
        if (e.IsKey(keys::Return)) OpenSelected();
        if (e.IsKey(keys::Insert)) NewNotification();
        if (e.IsKey(keys::Delete)) DeleteSelected();
        if (e.IsKey(FunctionKey(2))) RenameSelected();
        if (e.IsKey(keys::Escape) || e.IsKey(FunctionKey(10)) || e.IsKey('C', ui::shift::Ctrl)) done_ = true;
        if (e.IsKey(FunctionKey(1))) ShowHelp(screen_, "Keys of the notification list", Keys());
        break;
      case InputEvent::Kind::Text:
      case InputEvent::Kind::Alt:
        switch (e.ch) {
          case U'o':
          case U'O':
            OpenSelected();
            break;
          case U'n':
          case U'N':
            NewNotification();
            break;
          case U'd':
          case U'D':
            ShowDeliveries();
            break;
          case U'r':
          case U'R':
            RenameSelected();
            break;
          case U's':
          case U'S':
            EditDeliverySettings(screen_, *store_);
            break;
          case U'q':
          case U'Q':
            done_ = true;
            break;
          case U'?':
            ShowHelp(screen_, "Keys of the notification list", Keys());
            break;
          default:
            break;
        }
        break;
      case InputEvent::Kind::Mouse: {
        const int index = top_ + (e.row - firstRow_);
        if (e.row < firstRow_ || e.row >= firstRow_ + visibleRows_ || index >= static_cast<int>(rows_.size())) {
          if (e.button == InputEvent::Button::WheelUp) Move(selected_ - 1);
          if (e.button == InputEvent::Button::WheelDown) Move(selected_ + 1);
          break;
        }
        if (e.button == InputEvent::Button::Left) {
          // A click on the chosen row opens it.
          if (index == selected_)
            OpenSelected();
          else
            Move(index);
        }
        break;
      }
      case InputEvent::Kind::Closed:
        done_ = true;
        break;
      default:
        break;
    }
  } catch (const std::exception& ex) {
    ShowError(screen_, ex, session::kErrorTitle);
    try {
      Reload();
    } catch (const std::exception&) {
    }
  }
}

void NotificationListScreen::OpenSelected() {
  if (rows_.empty()) return;
  Edit(store_->OpenDefinition(rows_[static_cast<std::size_t>(selected_)].id));
}

void NotificationListScreen::NewNotification() {
  if (auto definition = index_.New()) Edit(definition);
}

void NotificationListScreen::RenameSelected() {
  if (rows_.empty()) return;
  const auto row = rows_[static_cast<std::size_t>(selected_)];
  if (index_.Rename(row)) Keep(row.id);
}

void NotificationListScreen::ShowDeliveries() {
  if (rows_.empty()) return;
  const auto& row = rows_[static_cast<std::size_t>(selected_)];
  ShowDeliveryLog(screen_, *store_, row.id, row.name);
}

void NotificationListScreen::DeleteSelected() {
  if (rows_.empty()) return;
  if (index_.Delete(rows_[static_cast<std::size_t>(selected_)])) Keep(0);
}

void NotificationListScreen::Edit(std::shared_ptr<store::StoredDefinition> definition) {
  EditorWindow window(screen_, *store_, definition, pages_);
  if (window.Open()) window.Run();
  // What others saved meanwhile shows too.
  Reload(window.Definition().NotificationID());
}

const std::vector<KeyHint>& NotificationListScreen::Keys() {
  static const std::vector<KeyHint> keys = {
      {"Enter", "open"},
      {"N", "new"},
      {"Del", "delete"},
      {"F2", "rename"},
      {"S", "delivery settings"},
      {"Q", "quit"},
      {"D", "deliveries"},
      {"Up/Down", "choose"},
      {"PgUp/PgDn, Home/End", "move by pages, to the ends", false},
      {"O", "open", false},
      {"Ctrl+L", "draw the screen again", false},
      {"F1, ?", "this help", false},
  };
  return keys;
}

void NotificationListScreen::Draw(Canvas& canvas) {
  const int width = canvas.Width();
  canvas.Fill({0, 0, 1, width}, U' ', attr::Reverse);
  canvas.Text(0, 0,
              FitCells(" Quillmont notifications - " + location_ + (store_->ReadOnly() ? "  [read-only]" : ""), width),
              attr::Reverse | attr::Bold, width);
  // The name takes what the number, the counts and the last delivery leave.
  constexpr int kLastWidth = 20;
  const int nameWidth = std::max(20, width - 8 - 27 - kLastWidth);
  char counts[64];
  std::snprintf(counts, sizeof counts, " %8s %10s %6s  %-18s", "Managers", "Recipients", "Events", "Last delivery");
  canvas.Fill({2, 0, 1, width}, U' ', attr::Bold | attr::Underline);
  canvas.Text(2, 0, "   No.  Name", attr::Bold | attr::Underline, width);
  canvas.Text(2, 8 + nameWidth, counts, attr::Bold | attr::Underline, std::max(0, width - 8 - nameWidth));
  const std::int64_t now = store::NowMs();
  firstRow_ = 3;
  visibleRows_ = std::max(1, canvas.Height() - firstRow_ - 1);
  // The chosen row stays in view, and rows above it fill the space after
  // the screen grew.
  if (selected_ < top_) top_ = selected_;
  if (selected_ >= top_ + visibleRows_) top_ = selected_ - visibleRows_ + 1;
  top_ = std::max(0, std::min(top_, static_cast<int>(rows_.size()) - visibleRows_));
  if (rows_.empty()) canvas.Text(firstRow_, 1, "No notifications yet. Press N to make one.", attr::Dim, width - 1);
  for (int i = 0; i < visibleRows_ && top_ + i < static_cast<int>(rows_.size()); ++i) {
    const auto& r = rows_[static_cast<std::size_t>(top_ + i)];
    const std::uint8_t a = top_ + i == selected_ ? attr::Reverse : attr::None;
    canvas.Fill({firstRow_ + i, 0, 1, width}, U' ', a);
    char number[16];
    std::snprintf(number, sizeof number, " %5d  ", static_cast<int>(r.id));
    canvas.Text(firstRow_ + i, 0, number, a, width);
    canvas.Text(firstRow_ + i, 8, FitCells(r.name, nameWidth - 1), a, std::max(0, std::min(nameWidth - 1, width - 8)));
    std::snprintf(counts, sizeof counts, " %8d %10d %6d  ", r.managers, r.recipients, r.eventTypes);
    const auto last = last_.find(r.id);
    const std::string shown = counts + (last == last_.end() ? std::string() : LastDeliveryText(last->second, now));
    canvas.Text(firstRow_ + i, 8 + nameWidth, shown, a, std::max(0, width - 8 - nameWidth));
  }
  if (canvas.Height() - 1 > firstRow_) DrawStatusLine(canvas, canvas.Height() - 1, std::string(), Keys());
}

}  // namespace quillmont::editor
