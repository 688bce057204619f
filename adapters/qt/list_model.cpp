#include "adapters/qt/list_model.h"

namespace quillmont::qt {
namespace {

// Whether two sets of columns show the same thing; widths are the view's
// business and do not count.
bool SameShape(const std::vector<ui::ListView::Column>& a, const std::vector<ui::ListView::Column>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].id != b[i].id || a[i].caption != b[i].caption || a[i].visible != b[i].visible) return false;
  return true;
}

}  // namespace

ListModel::ListModel(ui::ListView& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list), rows_(list.ViewRowCount()), columns_(list.ViewColumns()) {}

int ListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int ListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  // The list may have changed since the last Refresh; a row it no longer
  // has reads as empty until then.
  if (index.row() >= list_.ViewRowCount()) return {};
  if (index.row() != readRow_) {
    list_.ReadRowCells(index.row(), cells_);
    readRow_ = index.row();
  }
  const auto column = static_cast<std::size_t>(index.column());
  return column < cells_.size() ? QString::fromStdString(cells_[column]) : QString();
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      section >= static_cast<int>(columns_.size()))
    return {};
  return QString::fromStdString(columns_[static_cast<std::size_t>(section)].caption);
}

void ListModel::Refresh() {
  readRow_ = -1;
  const int rows = list_.ViewRowCount();
  if (rows != rows_ || !SameShape(columns_, list_.ViewColumns())) {
    beginResetModel();
    rows_ = rows;
    columns_ = list_.ViewColumns();
    endResetModel();
    return;
  }
  columns_ = list_.ViewColumns();
  // A range wider than one cell only repaints what the view shows.
  if (rows_ > 0 && !columns_.empty())
    emit dataChanged(index(0, 0), index(rows_ - 1, static_cast<int>(columns_.size()) - 1), {Qt::DisplayRole});
}

}  // namespace quillmont::qt
