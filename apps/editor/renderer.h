#pragma once

#include <unordered_map>
#include <vector>

#include "apps/editor/canvas.h"
#include "quillmont/platform/ui/controls.h"

// Draws a panel's control tree into character cells, generically over the
// kinds of ui::Control, and remembers where each control landed so mouse
// clicks can find it again.
namespace quillmont::editor {

// Twips per character cell. 85 twips across keeps the designed captions
// beside their fields; 240 down is a text line.
inline constexpr float kTwipsPerColumn = 85.0F;
inline constexpr float kTwipsPerRow = 240.0F;

// The panel size that fills a cell area.
inline float TwipsWide(int columns) { return static_cast<float>(columns) * kTwipsPerColumn; }
inline float TwipsHigh(int rows) { return static_cast<float>(rows) * kTwipsPerRow; }

struct Hit {
  enum class Part { None, Control, ListHeader, ListRow, ListEmpty };
  ui::Control* control = nullptr;
  Part part = Part::None;
  int listRow = -1;  // for ListRow: the 0-based row
  int offset = 0;    // for a text box: the character under the mouse
  int border = -1;   // for ListHeader: the column whose right border is under the mouse
};

class PanelRenderer {
 public:
  // Draws the panel with its top-left corner at area's; nothing outside area.
  void Draw(Canvas& canvas, ui::UserControl& panel, const Rect& area);
  Hit HitTest(int row, int col) const;
  // Where a control was drawn, if it was.
  const Rect* CellsOf(const ui::Control* control) const;

  // Columns of a list: visible columns share its width in proportion to
  // their widths; the user moves among them and widens or narrows one, and
  // the new widths go back into the list's columns (a panel's column layout
  // keeps them).
  int FocusedColumn(const ui::ListView& list) const;
  void MoveColumnFocus(ui::ListView& list, int delta);
  void WidenColumn(ui::ListView& list, int delta);
  // Gives the visible column (0-based) this many cells, taking them from or
  // giving them to its neighbour.
  void SetColumnCells(ui::ListView& list, int column, int cells);
  // The cell where a visible column starts, as last drawn.
  int ColumnStart(const ui::ListView& list, int column) const;

 private:
  struct Spans {
    std::vector<int> start, cells;
  };
  struct Placed {
    ui::Control* control;
    Rect cells;
  };
  void DrawTree(Canvas& canvas, ui::Control& control, float x, float y, int pass, const Rect& clip);
  void DrawControl(Canvas& canvas, ui::Control& control, const Rect& box, bool singleLine);
  void DrawTextBox(Canvas& canvas, ui::TextBox& box, const Rect& r, bool focused);
  void DrawList(Canvas& canvas, ui::ListView& list, const Rect& r, bool focused);
  Spans ColumnSpans(const ui::ListView& list, const Rect& r) const;
  Rect CellsFor(const ui::Control& control, float x, float y) const;
  Rect LabelCells(const ui::Control& label, float x, float y) const;

  Rect area_;
  ui::UserControl* panel_ = nullptr;
  std::vector<Placed> placed_;
  // First character shown of each text box (single-line: column; multi-line:
  // display line).
  std::unordered_map<const ui::Control*, std::size_t> scroll_;
  std::unordered_map<const ui::ListView*, int> focusColumn_;
  std::unordered_map<const ui::ListView*, Spans> spans_;
  // Cells a field moves right (and narrows by) so its caption fits before it.
  mutable std::unordered_map<const ui::Control*, int> giveWay_;
};

// Draws a caption with its access letter underlined ("&&" is a literal "&");
// returns the cells used (at most maxCols unless it is negative).
int DrawCaption(Canvas& canvas, int row, int col, const std::string& caption, std::uint8_t attrs, int maxCols);
// The caption without its ampersands.
std::string PlainCaption(const std::string& caption);

}  // namespace quillmont::editor
