#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "quillmont/platform/ui/controls.h"

// A list control's rows as a Qt model: a view asks only for the rows it
// shows, and each answer is read from the list's own row store, so a list
// of 100,000 rows costs the model nothing per row.
namespace quillmont::qt {

class ListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ListModel(ui::ListView& list, QObject* parent = nullptr);

  ui::ListView& List() const noexcept { return list_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  // Every column of the list; the view hides the invisible ones.
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // Catches up with the list: a new row count or set of columns resets the
  // model; otherwise the shown rows are read again.
  void Refresh();

 private:
  ui::ListView& list_;
  int rows_ = 0;
  std::vector<ui::ListView::Column> columns_;
  // The row read last: a view asks for it once per column.
  mutable int readRow_ = -1;
  mutable std::vector<std::string> cells_;
};

}  // namespace quillmont::qt
