#include <algorithm>

#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/controls.h"

namespace quillmont::ui {

ListView::ListView(std::string name) : Control(std::move(name)) {}

void ListView::SetViewColumns(std::vector<Column> columns) { columns_ = std::move(columns); }

void ListView::CheckRow(int row) const {
  if (row < 0 || row >= ViewRowCount())
    throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range: row " + std::to_string(row));
}

const std::vector<std::string>& ListView::RowCells(int row) const {
  CheckRow(row);
  return rows_[static_cast<std::size_t>(row)].cells;
}

void ListView::AppendViewRow(std::vector<std::string> cells) { rows_.push_back({std::move(cells), false}); }

void ListView::SetRowCells(int row, std::vector<std::string> cells) {
  CheckRow(row);
  rows_[static_cast<std::size_t>(row)].cells = std::move(cells);
}

void ListView::RemoveViewRows(std::vector<int> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (int r : rows) CheckRow(r);
  bool selectionChanged = false;
  // One pass that keeps the rows not named; linear in the list's length.
  std::size_t next = 0, write = 0;
  for (std::size_t read = 0; read < rows_.size(); ++read) {
    if (next < rows.size() && static_cast<std::size_t>(rows[next]) == read) {
      ++next;
      if (rows_[read].selected) {
        --selectedCount_;
        selectionChanged = true;
      }
      continue;
    }
    if (write != read) rows_[write] = std::move(rows_[read]);
    ++write;
  }
  rows_.resize(write);
  // The caret and the anchor stay with their rows as these move up; one whose
  // row went stays at its position, now on the row after it.
  const auto follow = [&rows, this](int pos) {
    if (pos < 0) return pos;
    const auto gone = std::lower_bound(rows.begin(), rows.end(), pos) - rows.begin();
    return std::min(pos - static_cast<int>(gone), ViewRowCount() - 1);
  };
  caret_ = follow(caret_);
  anchor_ = follow(anchor_);
  topRow_ = std::clamp(topRow_, 0, std::max(0, ViewRowCount() - 1));
  if (selectionChanged) SelectionChanged();
}

void ListView::ClearViewRows() {
  const bool hadSelection = selectedCount_ > 0;
  rows_.clear();
  selectedCount_ = 0;
  caret_ = anchor_ = -1;
  topRow_ = 0;
  if (hadSelection) SelectionChanged();
}

bool ListView::IsRowSelected(int row) const {
  CheckRow(row);
  return rows_[static_cast<std::size_t>(row)].selected;
}

std::vector<int> ListView::SelectedRows() const {
  std::vector<int> out;
  out.reserve(static_cast<std::size_t>(selectedCount_));
  for (std::size_t i = 0; i < rows_.size() && out.size() < static_cast<std::size_t>(selectedCount_); ++i)
    if (rows_[i].selected) out.push_back(static_cast<int>(i));
  return out;
}

bool ListView::Mark(int row, bool selected) {
  Row& r = rows_[static_cast<std::size_t>(row)];
  if (r.selected == selected) return false;
  r.selected = selected;
  selectedCount_ += selected ? 1 : -1;
  return true;
}

void ListView::SetRowSelected(int row, bool selected) {
  CheckRow(row);
  if (selected && !multiSelect_) {
    SelectOnly(row);
    return;
  }
  if (selected) caret_ = anchor_ = row;
  if (Mark(row, selected)) SelectionChanged();
}

void ListView::SelectOnly(int row) {
  CheckRow(row);
  bool changed = false;
  if (selectedCount_ > 0)
    for (int r : SelectedRows())
      if (r != row) changed |= Mark(r, false);
  changed |= Mark(row, true);
  caret_ = anchor_ = row;
  EnsureVisible(row);
  if (changed) SelectionChanged();
}

void ListView::ClearViewSelection() {
  if (selectedCount_ == 0) return;
  for (int r : SelectedRows()) Mark(r, false);
  SelectionChanged();
}

void ListView::SetTopRow(int row) { topRow_ = std::clamp(row, 0, std::max(0, ViewRowCount() - 1)); }

void ListView::EnsureVisible(int row) {
  if (row < topRow_) topRow_ = row;
}

void ListView::SelectRange(int from, int to, bool keepOthers) {
  if (from > to) std::swap(from, to);
  bool changed = false;
  if (!keepOthers && selectedCount_ > 0)
    for (int r : SelectedRows())
      if (r < from || r > to) changed |= Mark(r, false);
  for (int r = from; r <= to; ++r) changed |= Mark(r, true);
  if (changed) SelectionChanged();
}

void ListView::UserClickRow(int row, int shiftState) {
  CheckRow(row);
  if (multiSelect_ && (shiftState & shift::Shift) && anchor_ >= 0) {
    caret_ = row;
    SelectRange(anchor_, row, (shiftState & shift::Ctrl) != 0);
    return;
  }
  if (multiSelect_ && (shiftState & shift::Ctrl)) {
    caret_ = anchor_ = row;
    if (Mark(row, !rows_[static_cast<std::size_t>(row)].selected)) SelectionChanged();
    return;
  }
  SelectOnly(row);
}

void ListView::UserClickEmpty() { ClearViewSelection(); }

void ListView::UserContextMenu(int row, float x, float y) {
  if (row >= 0 && row < ViewRowCount() && !IsRowSelected(row)) SelectOnly(row);
  ContextMenu(x, y);
}

void ListView::DefaultKeyDown(KeyEventArgs& e) {
  if (rows_.empty()) return;
  int target = caret_;
  switch (e.KeyCode) {
    case keys::Up:
      target = caret_ < 0 ? 0 : std::max(0, caret_ - 1);
      break;
    case keys::Down:
      target = caret_ < 0 ? 0 : std::min(ViewRowCount() - 1, caret_ + 1);
      break;
    case keys::Home:
      target = 0;
      break;
    case keys::End:
      target = ViewRowCount() - 1;
      break;
    case keys::PageUp:
      target = std::max(0, caret_ - pageRows_);
      break;
    case keys::PageDown:
      target = std::min(ViewRowCount() - 1, caret_ + pageRows_);
      break;
    default:
      return;
  }
  if (multiSelect_ && (e.Shift & shift::Shift)) {
    if (anchor_ < 0) anchor_ = target;
    caret_ = target;
    EnsureVisible(target);
    SelectRange(anchor_, target, false);
  } else if (multiSelect_ && (e.Shift & shift::Ctrl)) {
    caret_ = target;  // Ctrl moves the caret only; Space then toggles
    EnsureVisible(target);
  } else {
    SelectOnly(target);
  }
}

void ListView::DefaultKeyPress(KeyPressArgs& e) {
  if (e.KeyAscii != keys::Space || caret_ < 0 || caret_ >= ViewRowCount()) return;
  if (!multiSelect_) {
    SelectOnly(caret_);
    return;
  }
  anchor_ = caret_;
  if (Mark(caret_, !rows_[static_cast<std::size_t>(caret_)].selected)) SelectionChanged();
}

}  // namespace quillmont::ui
