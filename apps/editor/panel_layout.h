#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "apps/editor/canvas.h"
#include "quillmont/platform/ui/controls.h"

// Where a panel's controls land in character cells, generically over the
// kinds of ui::Control, and what a mouse position hits. Arranging also
// scrolls each list and text box so that its caret shows; drawing only reads
// what this worked out.
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

// The cells of a list's visible columns, left to right.
struct ColumnSpans {
  std::vector<int> start, cells;
};

// A text as display lines: [start, start + length) character ranges, broken
// at line breaks and wrapped at word boundaries (blanks, and around
// ideographs) so that no line passes width cells but for the blanks it ends
// in; a word longer than a line is broken at the edge.
struct TextLine {
  std::size_t start, length;
};
std::vector<TextLine> DisplayLines(const std::u32string& text, int width);
// The display line the caret stands on (at a wrap, the line it ends).
std::size_t CaretLine(const std::vector<TextLine>& lines, std::size_t caret);
// The cells text[from, to) takes.
int CellsBetween(const std::u32string& text, std::size_t from, std::size_t to);
// A caption without its ampersands ("&&" is a literal "&").
std::string PlainCaption(const std::string& caption);

class PanelLayout {
 public:
  // One control to draw, in drawing order: frames first, then labels, then
  // the rest, so a field drawn over a long caption wins.
  struct Item {
    ui::Control* control;
    Rect cells;           // where it is drawn
    Rect clip;            // what it may draw over (inside area and its frames)
    const char* caption;  // a selector's list: its caption, on the row above cells
    bool hittable;        // the mouse finds it (frames are only drawn)
  };

  // Places every visible control of the panel with its top-left corner at
  // area's, and brings each list's and text box's scrolling up to date.
  void Arrange(ui::UserControl& panel, const Rect& area);

  ui::UserControl* Panel() const noexcept { return panel_; }
  const Rect& Area() const noexcept { return area_; }
  const std::vector<Item>& Items() const noexcept { return items_; }
  Hit HitTest(int row, int col) const;
  // Where a control lands, if it does.
  const Rect* CellsOf(const ui::Control* control) const;
  // A text box given one row: it scrolls sideways, and moving into it by
  // keyboard selects its text.
  bool OneRow(const ui::Control& box) const;
  // A list's columns as last arranged; nullptr before.
  const ColumnSpans* SpansOf(const ui::ListView& list) const;
  // The column widths changed in the list (until the next Arrange).
  void SetSpanCells(const ui::ListView& list, std::vector<int> cells);
  // The first character (one line) or display line (several) a text box
  // shows.
  std::size_t FirstShown(const ui::Control& box) const;

 private:
  void Place(ui::Control& control, float x, float y, int pass, const Rect& clip);
  void Scroll(ui::Control& control, const Rect& cells);
  Rect CellsFor(const ui::Control& control, float x, float y) const;
  Rect LabelCells(const ui::Control& label, float x, float y);

  Rect area_;
  ui::UserControl* panel_ = nullptr;
  std::vector<Item> items_;
  std::unordered_map<const ui::Control*, std::size_t> scroll_;
  std::unordered_map<const ui::ListView*, ColumnSpans> spans_;
  // Cells a field moves right (and narrows by) so its caption fits before it.
  std::unordered_map<const ui::Control*, int> giveWay_;
};

}  // namespace quillmont::editor
