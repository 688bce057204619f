#pragma once

#include <unordered_map>

#include "apps/editor/panel_layout.h"

// The columns of a panel's lists as the user works them: visible columns
// share a list's width in proportion to their widths; the user moves among
// them and widens or narrows one, and the new widths go back into the list's
// columns (a panel's column layout keeps them).
namespace quillmont::editor {

class ColumnController {
 public:
  int FocusedColumn(const ui::ListView& list) const;
  void MoveFocus(const PanelLayout& layout, ui::ListView& list, int delta);
  void Widen(PanelLayout& layout, ui::ListView& list, int delta);
  // Gives the visible column (0-based) this many cells, taking them from or
  // giving them to its neighbour.
  void SetCells(PanelLayout& layout, ui::ListView& list, int column, int cells);
  // The cell where a visible column starts, as last arranged; -1 when none.
  static int Start(const PanelLayout& layout, const ui::ListView& list, int column);

 private:
  std::unordered_map<const ui::ListView*, int> focus_;
};

}  // namespace quillmont::editor
