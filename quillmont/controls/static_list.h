#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "quillmont/framework/components.h"
#include "quillmont/platform/export.h"

namespace quillmont {

// The default multi-column list. Row i shows item i of Items, one cell per
// column of the column set in display order (ListItem::ColumnText by id).
// Rows are the very item objects handed over: AddRow puts the item itself
// into Items, and SelectedItems gives the same objects back.
//
// The three configuration flags are stored and reported; none of them
// changes what the rows hold or how they are selected:
//   ConfigFlag1: sort when a column header is clicked (no header clicks
//                reach this headless control, so rows keep their order);
//   ConfigFlag2: draw grid lines;
//   ConfigFlag3: select and highlight the full row.
class QUILLMONT_API StaticList : public XStaticList {
 public:
  explicit StaticList(std::string name);

  std::shared_ptr<ListColumnSet> Columns() const override { return columns_; }
  // Error(ObjectRequired) for no set. The set's layout goes to the view.
  void SetColumns(std::shared_ptr<ListColumnSet> columns) override;
  bool ConfigFlag1() const override { return flags_[0]; }
  void SetConfigFlag1(bool on) override { flags_[0] = on; }
  bool ConfigFlag2() const override { return flags_[1]; }
  void SetConfigFlag2(bool on) override { flags_[1] = on; }
  bool ConfigFlag3() const override { return flags_[2]; }
  void SetConfigFlag3(bool on) override { flags_[2] = on; }

  std::shared_ptr<ItemList> Items() const override { return items_; }
  // Error(ObjectRequired) for no collection; the rows then stay as they were.
  void SetItems(std::shared_ptr<ItemList> items) override;
  void AddRow(std::shared_ptr<ListItem> item) override;
  // Error(InvalidProcedureCall) when the item is not in the list.
  void UpdateRow(std::shared_ptr<ListItem> item) override;
  // Items not in the list are passed over.
  void RemoveRow(std::shared_ptr<ItemList> items) override;
  // Redraws every row from Items; if Items was changed behind the list's
  // back and its length differs, the rows are rebuilt and the selection goes.
  void RefreshRows() override;
  void SelectRow(int position) override;
  void ClearSelection() override;
  int RowCount() const override { return ViewRowCount(); }
  int SelectedCount() const override { return ViewSelectedCount(); }
  std::shared_ptr<ItemList> SelectedItems() const override;
  void ApplyColumnLayout() override;
  void CaptureColumnLayout() override;

 private:
  // The item's cells in the columns' display order, in a buffer reused for
  // every row.
  QUILLMONT_LOCAL const std::vector<std::string>& CellsOf(const ListItem& item);
  QUILLMONT_LOCAL std::vector<int> ColumnIds() const;
  QUILLMONT_LOCAL void ShowColumns();
  QUILLMONT_LOCAL void RebuildRows();
  QUILLMONT_LOCAL void RedrawCells();
  // Row of the item, or -1; rebuilds the index if removals left it stale.
  QUILLMONT_LOCAL int RowOf(const ListItem* item);
  QUILLMONT_LOCAL void RebuildIndex();

  std::shared_ptr<ListColumnSet> columns_;
  std::shared_ptr<ItemList> items_;
  bool flags_[3] = {false, false, false};
  // Item -> row (first row showing it). Valid unless indexStale_.
  std::unordered_map<const ListItem*, int> rowOf_;
  bool indexStale_ = false;
  // Some item is shown by more than one row.
  bool hasDuplicates_ = false;
  std::vector<std::string> cells_;
};

}  // namespace quillmont
