#include "quillmont/controls/static_list.h"

#include <span>
#include <unordered_set>

#include "quillmont/controls/column_set.h"
#include "quillmont/platform/error.h"

namespace quillmont {

StaticList::StaticList(std::string name)
    : XStaticList(std::move(name)),
      columns_(std::make_shared<ColumnSet>()),
      items_(std::make_shared<GenericItemList>()) {
  SetMultiSelect(true);
}

void StaticList::SetColumns(std::shared_ptr<ListColumnSet> columns) {
  if (!columns) throw Error(ErrorCode::ObjectRequired, "Object required: no column set");
  columns_ = std::move(columns);
  ShowColumns();
  RedrawCells();
}

std::vector<int> StaticList::ColumnIds() const {
  std::vector<int> ids;
  const int count = columns_->Count();
  ids.reserve(static_cast<std::size_t>(count));
  for (int i = 1; i <= count; ++i) ids.push_back(columns_->Item(i)->Id());
  return ids;
}

const std::vector<std::string>& StaticList::CellsOf(const ListItem& item) {
  const int count = columns_->Count();
  cells_.resize(static_cast<std::size_t>(count));
  for (int i = 1; i <= count; ++i) cells_[static_cast<std::size_t>(i - 1)] = item.ColumnText(columns_->Item(i)->Id());
  return cells_;
}

void StaticList::ShowColumns() {
  std::vector<Column> view;
  const int count = columns_->Count();
  for (int i = 1; i <= count; ++i) {
    const auto c = columns_->Item(i);
    view.push_back({c->Id(), c->Caption(), c->Width(), c->Visible()});
  }
  SetViewColumns(std::move(view));
}

void StaticList::SetItems(std::shared_ptr<ItemList> items) {
  if (!items) throw Error(ErrorCode::ObjectRequired, "Object required: no item collection");
  items_ = std::move(items);
  RebuildRows();
}

void StaticList::RebuildRows() {
  // Read everything first, so an item that fails to draw leaves the rows
  // as they were: the texts go into one buffer, then into the view.
  std::vector<std::string> texts;
  const int count = items_->Count();
  const auto ids = ColumnIds();
  texts.reserve(static_cast<std::size_t>(count) * ids.size());
  for (int i = 1; i <= count; ++i) {
    const auto item = items_->Item(i);
    for (int id : ids) texts.push_back(item->ColumnText(id));
  }
  ClearViewRows();
  const std::span<const std::string> all(texts);
  for (std::size_t row = 0; row < static_cast<std::size_t>(count); ++row)
    AppendViewRowFrom(all.subspan(row * ids.size(), ids.size()));
  indexStale_ = true;
}

// The columns are read once for the whole pass, as RebuildRows does.
void StaticList::RedrawCells() {
  const int count = std::min(items_->Count(), ViewRowCount());
  if (count == 0) return;
  const auto ids = ColumnIds();
  cells_.resize(ids.size());
  for (int i = 1; i <= count; ++i) {
    const auto item = items_->Item(i);
    for (std::size_t c = 0; c < ids.size(); ++c) cells_[c] = item->ColumnText(ids[c]);
    SetRowCellsFrom(i - 1, cells_);
  }
}

void StaticList::RebuildIndex() {
  rowOf_.clear();
  hasDuplicates_ = false;
  const int count = std::min(items_->Count(), ViewRowCount());
  rowOf_.reserve(static_cast<std::size_t>(count));
  for (int i = 1; i <= count; ++i)
    if (!rowOf_.emplace(items_->Item(i).get(), i - 1).second) hasDuplicates_ = true;
  indexStale_ = false;
}

int StaticList::RowOf(const ListItem* item) {
  if (indexStale_) RebuildIndex();
  auto found = rowOf_.find(item);
  // A collection changed behind the list's back may have moved the item.
  if (found != rowOf_.end() && found->second < items_->Count() && items_->Item(found->second + 1).get() == item)
    return found->second;
  RebuildIndex();
  found = rowOf_.find(item);
  return found == rowOf_.end() ? -1 : found->second;
}

void StaticList::AddRow(std::shared_ptr<ListItem> item) {
  if (!item) throw Error(ErrorCode::ObjectRequired, "Object required: no item to add");
  const auto& cells = CellsOf(*item);
  items_->Add(item);  // may refuse the item; then nothing has changed
  const int row = ViewRowCount();
  AppendViewRowFrom(cells);
  if (!indexStale_ && !rowOf_.emplace(item.get(), row).second) hasDuplicates_ = true;
}

void StaticList::UpdateRow(std::shared_ptr<ListItem> item) {
  if (!item) throw Error(ErrorCode::ObjectRequired, "Object required: no item to update");
  const int row = RowOf(item.get());
  if (row < 0)
    throw Error(ErrorCode::InvalidProcedureCall, "Invalid procedure call or argument: the item is not in the list");
  const auto& cells = CellsOf(*item);
  if (!hasDuplicates_) {
    SetRowCellsFrom(row, cells);
    return;
  }
  const int count = std::min(items_->Count(), ViewRowCount());
  for (int i = row + 1; i <= count; ++i)
    if (items_->Item(i).get() == item.get()) SetRowCellsFrom(i - 1, cells);
}

void StaticList::RemoveRow(std::shared_ptr<ItemList> items) {
  if (!items) throw Error(ErrorCode::ObjectRequired, "Object required: no items to remove");
  std::unordered_set<const ListItem*> doomed;
  const int given = items->Count();
  for (int i = 1; i <= given; ++i) doomed.insert(items->Item(i).get());
  std::vector<int> positions;
  std::vector<int> rows;
  const int count = items_->Count();
  for (int i = 1; i <= count; ++i) {
    if (!doomed.count(items_->Item(i).get())) continue;
    positions.push_back(i);
    if (i <= ViewRowCount()) rows.push_back(i - 1);
  }
  if (positions.empty()) return;
  items_->RemoveAt(positions);  // may refuse; then nothing has changed
  indexStale_ = true;
  RemoveViewRows(std::move(rows));  // one SelectionChanged when selected rows went
}

void StaticList::RefreshRows() {
  if (items_->Count() != ViewRowCount()) {
    RebuildRows();
    return;
  }
  RedrawCells();
}

void StaticList::SelectRow(int position) {
  if (position < 1 || position > ViewRowCount()) return;
  SelectOnly(position - 1);
}

void StaticList::ClearSelection() { ClearViewSelection(); }

std::shared_ptr<ItemList> StaticList::SelectedItems() const {
  auto selected = std::make_shared<GenericItemList>();
  const int count = items_->Count();
  for (int row : SelectedRows())
    if (row < count) selected->Add(items_->Item(row + 1));
  return selected;
}

void StaticList::ApplyColumnLayout() {
  ShowColumns();
  RedrawCells();
}

void StaticList::CaptureColumnLayout() {
  const auto ids = ColumnIds();
  int position = 1;
  for (const Column& view : ViewColumns()) {
    std::shared_ptr<ListColumn> column;
    for (int i = 1; i <= columns_->Count() && !column; ++i)
      if (columns_->Item(i)->Id() == view.id) column = columns_->Item(i);
    if (!column) continue;  // a column the set does not know
    if (view.width >= 0) column->SetWidth(view.width);
    column->SetVisible(view.visible);
    columns_->MoveColumn(view.id, position++);
  }
  // The cells follow the columns' order.
  if (ColumnIds() != ids) {
    ShowColumns();
    RedrawCells();
  }
}

}  // namespace quillmont
