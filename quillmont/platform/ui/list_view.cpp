#include <algorithm>
#include <string_view>

#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/controls.h"
#include "quillmont/storage/flat_storage.h"

namespace quillmont::ui {

struct ListView::Storage {
  storage::BlockVector<HeldRow> rows;
  storage::BlockVector<Cell> cells;
  storage::TextArena text;
};

ListView::ListView(std::string name) : Control(std::move(name)), storage_(std::make_unique<Storage>()) {}

ListView::~ListView() = default;

void ListView::SetViewColumns(std::vector<Column> columns) { columns_ = std::move(columns); }

void ListView::CheckRow(int row) const {
  if (row < 0 || row >= ViewRowCount())
    throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range: row " + std::to_string(row));
}

const std::vector<std::string>& ListView::RowCells(int row) const {
  CheckRow(row);
  auto [slot, added] = shown_.try_emplace(row);
  if (!added) return slot->second;
  auto& cells = slot->second;
  if (source_) {
    source_->ReadCells(row, cells);
    return cells;
  }
  const HeldRow& held = storage_->rows[static_cast<std::size_t>(row)];
  cells.reserve(held.count);
  for (std::uint32_t i = 0; i < held.count; ++i) {
    const Cell& cell = storage_->cells[held.first + i];
    cells.emplace_back(storage_->text.View(cell.offset, cell.size));
  }
  return cells;
}

void ListView::ReadRowCells(int row, std::vector<std::string>& cells) const {
  CheckRow(row);
  cells.clear();
  if (source_) {
    source_->ReadCells(row, cells);
    return;
  }
  const HeldRow& held = storage_->rows[static_cast<std::size_t>(row)];
  for (std::uint32_t i = 0; i < held.count; ++i) {
    const Cell& cell = storage_->cells[held.first + i];
    cells.emplace_back(storage_->text.View(cell.offset, cell.size));
  }
}

ListView::HeldRow ListView::Hold(std::span<const std::string> cells) {
  HeldRow held{static_cast<std::uint32_t>(storage_->cells.size()), static_cast<std::uint32_t>(cells.size())};
  for (const std::string& text : cells) {
    storage_->cells.push_back({storage_->text.Add(text), static_cast<std::uint32_t>(text.size())});
    usedText_ += text.size();
  }
  usedCells_ += cells.size();
  return held;
}

bool ListView::SameCells(const HeldRow& row, std::span<const std::string> cells) const {
  if (row.count != cells.size()) return false;
  for (std::uint32_t i = 0; i < row.count; ++i) {
    const Cell& cell = storage_->cells[row.first + i];
    if (storage_->text.View(cell.offset, cell.size) != cells[i]) return false;
  }
  return true;
}

void ListView::HoldSourceRows() {
  if (!source_) return;
  const auto source = std::move(source_);
  source_.reset();
  storage_->rows.clear();
  storage_->cells.clear();
  storage_->text.Clear();
  usedCells_ = usedText_ = 0;
  std::vector<std::string> cells;
  for (std::size_t row = 0; row < selected_.size(); ++row) {
    cells.clear();
    source->ReadCells(static_cast<int>(row), cells);
    storage_->rows.push_back(Hold(cells));
  }
}

void ListView::CompactIfWasteful() {
  constexpr std::size_t kSlack = 4096;
  if (storage_->cells.size() - usedCells_ <= usedCells_ + kSlack &&
      storage_->text.Size() - usedText_ <= usedText_ + kSlack)
    return;
  storage::BlockVector<Cell> cells;
  storage::TextArena text;
  for (std::size_t r = 0; r < storage_->rows.size(); ++r) {
    HeldRow& row = storage_->rows[r];
    const auto first = static_cast<std::uint32_t>(cells.size());
    for (std::uint32_t i = 0; i < row.count; ++i) {
      const Cell& cell = storage_->cells[row.first + i];
      cells.push_back({text.Add(storage_->text.View(cell.offset, cell.size)), cell.size});
    }
    row.first = first;
  }
  storage_->cells = std::move(cells);
  storage_->text.Swap(text);
}

void ListView::AppendViewRow(std::vector<std::string> cells) { AppendViewRowFrom(cells); }

void ListView::AppendViewRowFrom(std::span<const std::string> cells) {
  HoldSourceRows();
  storage_->rows.push_back(Hold(cells));
  selected_.push_back(0);
}

void ListView::SetRowCells(int row, std::vector<std::string> cells) { SetRowCellsFrom(row, cells); }

void ListView::SetRowCellsFrom(int row, std::span<const std::string> cells) {
  CheckRow(row);
  HoldSourceRows();
  HeldRow& held = storage_->rows[static_cast<std::size_t>(row)];
  if (SameCells(held, cells)) return;  // a redraw that changes nothing keeps what it has
  shown_.erase(row);
  usedCells_ -= held.count;
  for (std::uint32_t i = 0; i < held.count; ++i) usedText_ -= storage_->cells[held.first + i].size;
  held = Hold(cells);
  CompactIfWasteful();
}

void ListView::RemoveViewRows(std::vector<int> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (int r : rows) CheckRow(r);
  HoldSourceRows();
  shown_.clear();
  bool selectionChanged = false;
  // One pass that keeps the rows not named; linear in the list's length.
  std::size_t next = 0, write = 0;
  for (std::size_t read = 0; read < storage_->rows.size(); ++read) {
    if (next < rows.size() && static_cast<std::size_t>(rows[next]) == read) {
      ++next;
      if (selected_[read]) {
        --selectedCount_;
        selectionChanged = true;
      }
      usedCells_ -= storage_->rows[read].count;
      for (std::uint32_t i = 0; i < storage_->rows[read].count; ++i)
        usedText_ -= storage_->cells[storage_->rows[read].first + i].size;
      continue;
    }
    storage_->rows[write] = storage_->rows[read];
    selected_[write] = selected_[read];
    ++write;
  }
  storage_->rows.truncate(write);
  selected_.resize(write);
  CompactIfWasteful();
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
  source_.reset();
  storage_->rows.clear();
  storage_->cells.clear();
  storage_->text.Clear();
  usedCells_ = usedText_ = 0;
  selected_.clear();
  shown_.clear();
  selectedCount_ = 0;
  caret_ = anchor_ = -1;
  topRow_ = 0;
  if (hadSelection) SelectionChanged();
}

void ListView::ShowSourceRows(std::shared_ptr<const CellSource> source, int count) {
  ClearViewRows();
  source_ = std::move(source);
  selected_.assign(static_cast<std::size_t>(std::max(0, count)), 0);
}

bool ListView::IsRowSelected(int row) const {
  CheckRow(row);
  return selected_[static_cast<std::size_t>(row)] != 0;
}

std::vector<int> ListView::SelectedRows() const {
  std::vector<int> out;
  out.reserve(static_cast<std::size_t>(selectedCount_));
  for (std::size_t i = 0; i < selected_.size() && out.size() < static_cast<std::size_t>(selectedCount_); ++i)
    if (selected_[i]) out.push_back(static_cast<int>(i));
  return out;
}

bool ListView::Mark(int row, bool selected) {
  unsigned char& flag = selected_[static_cast<std::size_t>(row)];
  if ((flag != 0) == selected) return false;
  flag = selected ? 1 : 0;
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

void ListView::ShowRow(int row) {
  CheckRow(row);
  caret_ = anchor_ = row;
  EnsureVisible(row);
}

void ListView::EnsureVisible(int row) {
  if (row < topRow_) topRow_ = row;
  if (row >= topRow_ + pageRows_) topRow_ = row - pageRows_ + 1;
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
    if (Mark(row, selected_[static_cast<std::size_t>(row)] == 0)) SelectionChanged();
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
  if (selected_.empty()) return;
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
  if (Mark(caret_, selected_[static_cast<std::size_t>(caret_)] == 0)) SelectionChanged();
}

}  // namespace quillmont::ui
