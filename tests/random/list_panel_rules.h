#pragma once

#include <memory>
#include <string>
#include <vector>

#include "quillmont/framework/components.h"
#include "quillmont/framework/definition.h"
#include "tests/random/exerciser.h"

// Rules the two list panels share.
namespace quillmont::random_testing {

inline std::vector<std::shared_ptr<ListItem>> ItemsOf(const ItemList& list) {
  std::vector<std::shared_ptr<ListItem>> items;
  const int count = list.Count();
  items.reserve(static_cast<std::size_t>(count));
  for (int i = 1; i <= count; ++i) items.push_back(list.Item(i));
  return items;
}

inline std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The list's rows are the working collection: one row per item, in order,
// each cell the item's text for the column shown there.
// compareTexts = false after a failed list operation, which may leave a row
// showing what its item held before.
inline void CheckListShowsItems(XStaticList& list, const std::vector<int>& columnIds, bool compareTexts = true) {
  const auto items = ItemsOf(*list.Items());
  Require(list.ViewRowCount() == static_cast<int>(items.size()) && list.RowCount() == list.ViewRowCount(),
          "the list shows one row per item of its collection");
  const auto& columns = list.ViewColumns();
  Require(columns.size() == columnIds.size(), "the list keeps its columns");
  for (const auto& c : columns)
    Require(std::find(columnIds.begin(), columnIds.end(), c.id) != columnIds.end(), "the list's columns are its own");
  for (std::size_t r = 0; r < items.size() && compareTexts; ++r) {
    const auto& cells = list.RowCells(static_cast<int>(r));
    Require(cells.size() == columns.size(), "each row has a cell per column");
    for (std::size_t c = 0; c < columns.size(); ++c)
      Require(cells[c] == items[r]->ColumnText(columns[c].id),
              "row " + std::to_string(r) + " shows its item: '" + cells[c] + "'");
  }
  Require(list.SelectedCount() == list.ViewSelectedCount() && list.SelectedItems()->Count() == list.ViewSelectedCount(),
          "the selected items are the selected rows");
}

}  // namespace quillmont::random_testing
