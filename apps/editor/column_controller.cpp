#include "apps/editor/column_controller.h"

#include <algorithm>

#include "quillmont/framework/components.h"

namespace quillmont::editor {

int ColumnController::FocusedColumn(const ui::ListView& list) const {
  const auto it = focus_.find(&list);
  return it == focus_.end() ? 0 : it->second;
}

int ColumnController::Start(const PanelLayout& layout, const ui::ListView& list, int column) {
  const ColumnSpans* spans = layout.SpansOf(list);
  if (!spans || column < 0 || column >= static_cast<int>(spans->start.size())) return -1;
  return spans->start[static_cast<std::size_t>(column)];
}

void ColumnController::MoveFocus(const PanelLayout& layout, ui::ListView& list, int delta) {
  const ColumnSpans* spans = layout.SpansOf(list);
  const int count = spans ? static_cast<int>(spans->cells.size()) : 1;
  focus_[&list] = std::clamp(FocusedColumn(list) + delta, 0, std::max(0, count - 1));
}

void ColumnController::Widen(PanelLayout& layout, ui::ListView& list, int delta) {
  const ColumnSpans* spans = layout.SpansOf(list);
  if (!spans || spans->cells.empty()) return;
  const int column = std::clamp(FocusedColumn(list), 0, static_cast<int>(spans->cells.size()) - 1);
  SetCells(layout, list, column, spans->cells[static_cast<std::size_t>(column)] + delta);
}

void ColumnController::SetCells(PanelLayout& layout, ui::ListView& list, int column, int cells) {
  const ColumnSpans* spans = layout.SpansOf(list);
  if (!spans) return;
  std::vector<int> widths = spans->cells;
  const int n = static_cast<int>(widths.size());
  if (n < 2 || column < 0 || column >= n) return;
  // The neighbour on the right gives or takes the cells (on the left for
  // the last column); each keeps at least two.
  const std::size_t self = static_cast<std::size_t>(column);
  const std::size_t other = static_cast<std::size_t>(column + 1 < n ? column + 1 : column - 1);
  const int pair = widths[self] + widths[other];
  if (pair < 4) return;
  widths[self] = std::clamp(cells, 2, pair - 2);
  widths[other] = pair - widths[self];
  int total = 0;
  for (int w : widths) total += w;
  // Back into twips in the same proportions, so the panel's column layout
  // keeps what the user made.
  const float perCell = list.Width() > 0 ? list.Width() / static_cast<float>(total) : kTwipsPerColumn;
  std::vector<ui::ListView::Column> columns = list.ViewColumns();
  std::size_t k = 0;
  for (auto& col : columns)
    if (col.visible && k < widths.size()) col.width = static_cast<float>(widths[k++]) * perCell;
  list.SetViewColumns(std::move(columns));
  layout.SetSpanCells(list, std::move(widths));
  if (auto* stored = dynamic_cast<XStaticList*>(&list)) stored->CaptureColumnLayout();
}

}  // namespace quillmont::editor
