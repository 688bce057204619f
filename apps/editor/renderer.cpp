#include "apps/editor/renderer.h"

#include <algorithm>

#include "apps/editor/cell_width.h"
#include "quillmont/rules/fields.h"
#include "quillmont/storage/utf8.h"

namespace quillmont::editor {
namespace {

// Draws text[from, to) from (row, col) within width cells; a line break
// shows as a mark. Selected characters (in [selFrom, selTo)) get selAttrs.
void DrawChars(Canvas& canvas, int row, int col, int width, const std::u32string& text, std::size_t from,
               std::size_t to, std::uint8_t a, std::size_t selFrom, std::size_t selTo, std::uint8_t selAttrs) {
  int x = 0;
  for (std::size_t i = from; i < to && i < text.size(); ++i) {
    const char32_t ch = (text[i] == U'\r' || text[i] == U'\n') ? U'\u21B5' : text[i];
    const int w = CellWidth(ch);
    if (w == 0) {
      if (x > 0) canvas.AddMark(row, col + x - 1, ch);
      continue;
    }
    if (x + w > width) break;
    canvas.Put(row, col + x, ch, i >= selFrom && i < selTo ? selAttrs : a);
    x += w;
  }
}

void DrawTextBox(Canvas& canvas, const PanelLayout& layout, const ui::TextBox& box, const Rect& r, bool focused) {
  // The focused field is drawn reversed, its selection then plain.
  std::uint8_t a = (focused ? attr::Reverse : attr::Underline) | (box.IsEffectivelyEnabled() ? attr::None : attr::Dim);
  // The e-mail page's placeholder for "use the default" is dim, so it reads
  // as a marker, not as text.
  if (box.Text() == rules::kDefaultText) a |= attr::Dim;
  const std::uint8_t selAttrs =
      focused ? static_cast<std::uint8_t>((a & ~attr::Reverse) | attr::Underline | attr::Bold) : a;
  canvas.Fill(r, U' ', a);
  if (r.width <= 0 || r.height <= 0) return;
  const std::u32string text = utf8::Decode(box.Text());
  // A field without the focus shows its text from the start.
  const std::size_t caret = focused ? std::min(box.SelStart(), text.size()) : 0;
  const std::size_t selFrom = focused ? box.SelStart() : 0, selTo = focused ? box.SelStart() + box.SelLength() : 0;
  const std::size_t first = layout.FirstShown(box);
  if (r.height == 1) {
    DrawChars(canvas, r.row, r.col, r.width, text, first, text.size(), a, selFrom, selTo, selAttrs);
    if (focused) canvas.SetCursor(r.row, r.col + CellsBetween(text, first, caret));
    return;
  }
  const std::vector<TextLine> lines = DisplayLines(text, r.width - 1);
  const std::size_t caretLine = CaretLine(lines, caret);
  const std::size_t visible = static_cast<std::size_t>(r.height);
  for (std::size_t l = first; l < lines.size() && l < first + visible; ++l)
    DrawChars(canvas, r.row + static_cast<int>(l - first), r.col, r.width - 1, text, lines[l].start,
              lines[l].start + lines[l].length, a, selFrom, selTo, selAttrs);
  // A scroll mark when there is more than fits.
  if (first > 0) canvas.Put(r.row, r.Right() - 1, U'\u2191', a);
  if (first + visible < lines.size()) canvas.Put(r.Bottom() - 1, r.Right() - 1, U'\u2193', a);
  // In the blanks a line ends in, the caret stays at the box's edge.
  if (focused)
    canvas.SetCursor(r.row + static_cast<int>(caretLine - first),
                     r.col + std::min(r.width - 1, CellsBetween(text, lines[caretLine].start, caret)));
}

void DrawList(Canvas& canvas, const PanelLayout& layout, const ColumnController& columns, const ui::ListView& list,
              const Rect& r, bool focused) {
  if (r.height <= 0 || r.width <= 0) return;
  const std::uint8_t dim = list.IsEffectivelyEnabled() ? attr::None : attr::Dim;
  // Cells are stored by view column: the visible columns' positions in them.
  std::vector<std::size_t> sources;
  const auto& all = list.ViewColumns();
  for (std::size_t k = 0; k < all.size(); ++k)
    if (all[k].visible) sources.push_back(k);
  const ColumnSpans& spans = *layout.SpansOf(list);
  const std::size_t focusColumn =
      static_cast<std::size_t>(std::clamp(columns.FocusedColumn(list), 0, static_cast<int>(spans.cells.size()) - 1));
  // Header: reversed while the list has the focus (so a focused list shows
  // it even with no current row), the focused column's caption underlined.
  const std::uint8_t header = (focused ? attr::Reverse | attr::Bold : attr::Underline) | dim;
  canvas.Fill({r.row, r.col, 1, r.width}, U' ', header);
  for (std::size_t c = 0; c < spans.cells.size(); ++c) {
    const std::string caption = c < sources.size() ? all[sources[c]].caption : std::string();
    const int room = std::max(0, spans.cells[c] - 1);
    const std::uint8_t a = focused && c == focusColumn && spans.cells.size() > 1 ? header | attr::Underline : header;
    canvas.Text(r.row, spans.start[c], FitCells(caption, room), a, room);
    if (c + 1 < spans.cells.size() && spans.cells[c] > 0)
      canvas.Put(r.row, spans.start[c] + spans.cells[c] - 1, U'\u2502', header);
  }
  // Rows: only the visible ones, from the top row the layout chose.
  const int visible = r.height - 1;
  if (visible <= 0) return;
  const int caret = list.CaretRow();
  const int top = list.TopRow();
  for (int i = 0; i < visible && top + i < list.ViewRowCount(); ++i) {
    const int row = top + i;
    std::uint8_t a = dim;
    if (list.IsRowSelected(row)) a |= attr::Reverse;
    if (focused && row == caret) a |= attr::Bold;
    const Rect line{r.row + 1 + i, r.col, 1, r.width};
    canvas.Fill(line, U' ', a);
    const auto& cells = list.RowCells(row);
    for (std::size_t c = 0; c < spans.cells.size(); ++c) {
      const std::size_t source = c < sources.size() ? sources[c] : c;
      const int room = std::max(0, spans.cells[c] - 1);
      if (source < cells.size()) canvas.Text(line.row, spans.start[c], FitCells(cells[source], room), a, room);
    }
    if (focused && row == caret && !list.IsRowSelected(row)) canvas.Put(line.row, r.Right() - 1, U'\u25C2', a);
  }
  if (top > 0) canvas.Put(r.row + 1, r.Right() - 1, U'\u2191', dim);
  if (top + visible < list.ViewRowCount()) canvas.Put(r.Bottom() - 1, r.Right() - 1, U'\u2193', dim);
}

void DrawControl(Canvas& canvas, const PanelLayout& layout, const ColumnController& columns, const ui::Control& c,
                 const Rect& r) {
  const bool enabled = c.IsEffectivelyEnabled();
  const bool focused = layout.Panel()->ActiveControl() == &c;
  const std::uint8_t dim = enabled ? attr::None : attr::Dim;
  switch (c.Kind()) {
    case ui::ControlKind::Frame: {
      canvas.Box(r, dim);
      const std::string caption = c.Caption();
      if (!caption.empty() && r.width > 4)
        DrawCaption(canvas, r.row, r.col + 2, caption, attr::Bold | dim, r.width - 4);
      break;
    }
    case ui::ControlKind::Label: {
      std::string caption = c.Caption();
      const auto& label = static_cast<const ui::Label&>(c);
      // A caption wider than its room loses its trailing blanks, then its
      // colon, before it is cut.
      int length = TextCells(PlainCaption(caption));
      while (length > r.width && !caption.empty() && (caption.back() == ' ' || caption.back() == ':')) {
        caption.pop_back();
        --length;
      }
      int col = r.col;
      if (length < r.width && label.TextAlignment() == ui::Alignment::Right) col = r.Right() - length;
      if (length < r.width && label.TextAlignment() == ui::Alignment::Center) col = r.col + (r.width - length) / 2;
      DrawCaption(canvas, r.row, col, caption, dim, r.width);
      break;
    }
    case ui::ControlKind::TextBox:
      DrawTextBox(canvas, layout, static_cast<const ui::TextBox&>(c), r, focused);
      break;
    case ui::ControlKind::ComboBox: {
      const auto& combo = static_cast<const ui::ComboBox&>(c);
      const std::uint8_t a = (focused ? attr::Reverse : attr::Underline) | dim;
      canvas.Fill(r, U' ', a);
      canvas.Text(r.row, r.col, FitCells(combo.Text(), std::max(0, r.width - 2)), a, std::max(0, r.width - 2));
      if (r.width >= 2) canvas.Put(r.row, r.Right() - 1, U'\u25BE', a);
      break;
    }
    case ui::ControlKind::CommandButton: {
      const std::uint8_t a = (focused ? attr::Reverse | attr::Bold : attr::None) | dim;
      const std::string caption = c.Caption();
      const int length = TextCells(PlainCaption(caption)) + 2;
      const int col = r.col + std::max(0, (r.width - length) / 2);
      canvas.Fill(r, U' ', a);
      canvas.Put(r.row, col, U'[', a);
      const int used = DrawCaption(canvas, r.row, col + 1, caption, a, std::max(0, r.Right() - col - 2));
      canvas.Put(r.row, col + 1 + used, U']', a);
      break;
    }
    case ui::ControlKind::ListView:
      DrawList(canvas, layout, columns, static_cast<const ui::ListView&>(c), r, focused);
      break;
    case ui::ControlKind::Composite:
    case ui::ControlKind::UserControl:
      break;
  }
}

}  // namespace

int DrawCaption(Canvas& canvas, int row, int col, const std::string& caption, std::uint8_t attrs, int maxCols) {
  int used = 0;
  bool marked = false;
  const std::u32string text = utf8::Decode(caption);
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint8_t a = attrs;
    if (text[i] == U'&') {
      if (i + 1 < text.size() && text[i + 1] == U'&') {
        ++i;
      } else {
        if (!marked && i + 1 < text.size()) {
          marked = true;
          ++i;
          a |= attr::Underline | attr::Bold;
        } else {
          continue;
        }
      }
    }
    const int w = CellWidth(text[i]);
    if (w == 0) {
      if (used > 0) canvas.AddMark(row, col + used - 1, text[i]);
      continue;
    }
    if (maxCols >= 0 && used + w > maxCols) break;
    canvas.Put(row, col + used, text[i], a);
    used += w;
  }
  return used;
}

void DrawPanel(Canvas& canvas, const PanelLayout& layout, const ColumnController& columns) {
  const Rect saved = canvas.Clip();
  canvas.SetClip(Intersect(layout.Area(), saved));
  canvas.Fill(layout.Area());
  canvas.SetCursor(-1, -1);  // a focused text box puts it back
  for (const PanelLayout::Item& item : layout.Items()) {
    const ui::Control& c = *item.control;
    canvas.SetClip(Intersect(item.clip, saved));
    if (item.caption)
      canvas.Text(item.cells.row - 1, item.cells.col, item.caption,
                  attr::Bold | (c.IsEffectivelyEnabled() ? attr::None : attr::Dim), item.cells.width);
    DrawControl(canvas, layout, columns, c, item.cells);
  }
  canvas.SetClip(saved);
}

}  // namespace quillmont::editor
