#include "apps/editor/renderer.h"

#include <algorithm>
#include <cmath>

#include "apps/editor/cell_width.h"
#include "quillmont/framework/components.h"
#include "quillmont/platform/ui/utf8.h"
#include "quillmont/rules/fields.h"

namespace quillmont::editor {
namespace {

int Col(float twips) { return static_cast<int>(std::lround(twips / kTwipsPerColumn)); }
int Row(float twips) { return static_cast<int>(std::lround(twips / kTwipsPerRow)); }

Rect Intersect(const Rect& a, const Rect& b) {
  const int top = std::max(a.row, b.row), left = std::max(a.col, b.col);
  const int bottom = std::min(a.Bottom(), b.Bottom()), right = std::min(a.Right(), b.Right());
  return {top, left, std::max(0, bottom - top), std::max(0, right - left)};
}

bool IsSingleLine(const ui::Control& c) {
  switch (c.Kind()) {
    case ui::ControlKind::Label:
    case ui::ControlKind::ComboBox:
    case ui::ControlKind::CommandButton:
      return true;
    case ui::ControlKind::TextBox:
      return !static_cast<const ui::TextBox&>(c).MultiLine() || c.Height() < 1.5F * kTwipsPerRow;
    default:
      return false;
  }
}

// Draw passes: frame boxes, then labels, then everything else, so a field
// drawn over a long caption wins.
int PassOf(const ui::Control& c) {
  if (c.Kind() == ui::ControlKind::Frame) return 0;
  if (c.Kind() == ui::ControlKind::Label) return 1;
  return 2;
}

// A text as display lines: [start, start + length) character ranges, broken
// at line breaks and wrapped where the next character would pass width cells.
struct Line {
  std::size_t start, length;
};
std::vector<Line> DisplayLines(const std::u32string& text, int width) {
  std::vector<Line> lines;
  width = std::max(2, width);
  std::size_t start = 0;
  int cells = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const bool end = i == text.size();
    const bool brk = !end && (text[i] == U'\n' || text[i] == U'\r');
    if (!end && !brk) {
      const int w = CellWidth(text[i]);
      if (cells + w > width) {
        lines.push_back({start, i - start});
        start = i;
        cells = 0;
      }
      cells += w;
      continue;
    }
    lines.push_back({start, i - start});
    if (brk && text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
    start = i + 1;
    cells = 0;
  }
  return lines;
}

int Cells(const std::u32string& text, std::size_t from, std::size_t to) {
  int cells = 0;
  for (std::size_t i = from; i < to && i < text.size(); ++i) cells += CellWidth(text[i]);
  return cells;
}

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

// A list inside a selector gets a caption row above it.
const char* SelectorCaption(const ui::Control& c) {
  auto* selector = dynamic_cast<XSelector*>(c.Parent());
  if (!selector || c.Kind() != ui::ControlKind::ListView) return nullptr;
  if (&selector->AvailableList() == &c) return "Available";
  if (&selector->ChosenList() == &c) return "Chosen";
  return nullptr;
}

}  // namespace

std::string PlainCaption(const std::string& caption) {
  std::string out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') out += '&';
      if (i + 1 < caption.size() && caption[i + 1] == '&') ++i;
      continue;
    }
    out += caption[i];
  }
  return out;
}

int DrawCaption(Canvas& canvas, int row, int col, const std::string& caption, std::uint8_t attrs, int maxCols) {
  int used = 0;
  bool marked = false;
  const std::u32string text = ui::utf8::Decode(caption);
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

Rect PanelRenderer::CellsFor(const ui::Control& c, float x, float y) const {
  const auto pushed = giveWay_.find(&c);
  const int push = pushed == giveWay_.end() ? 0 : pushed->second;
  const int col = area_.col + Col(x) + push;
  const int width = std::max(c.Width() > 0 ? 1 : 0, Col(x + c.Width()) - Col(x) - push);
  if (IsSingleLine(c)) {
    const int row = area_.row + static_cast<int>(std::floor((y + c.Height() / 2) / kTwipsPerRow));
    return {row, col, 1, width};
  }
  // Tops round, bottoms round down: a control that ends inside a cell row
  // leaves that row to the frame around it.
  const int row = area_.row + Row(y);
  // Frames round their bottom edge so the controls near it stay inside.
  const int bottom = c.Kind() == ui::ControlKind::Frame
                         ? Row(y + c.Height())
                         : static_cast<int>(std::floor((y + c.Height()) / kTwipsPerRow + 0.001F));
  const int height = std::max(c.Height() > 0 ? 1 : 0, bottom - Row(y));
  return {row, col, height, width};
}

void PanelRenderer::Draw(Canvas& canvas, ui::UserControl& panel, const Rect& area) {
  area_ = area;
  panel_ = &panel;
  placed_.clear();
  giveWay_.clear();
  const Rect saved = canvas.Clip();
  const Rect clip = Intersect(area, saved);
  canvas.SetClip(clip);
  canvas.Fill(area);
  canvas.SetCursor(-1, -1);  // a focused text box puts it back
  for (int pass = 0; pass < 3; ++pass)
    for (const auto& child : panel.Children()) DrawTree(canvas, *child, child->Left(), child->Top(), pass, clip);
  canvas.SetClip(saved);
}

Rect PanelRenderer::LabelCells(const ui::Control& label, float x, float y) const {
  Rect box = CellsFor(label, x, y);
  if (!panel_) return box;
  // A label stands on the row of the field it names (the next control in
  // tab order) when the two are meant to share a line.
  const std::vector<ui::Control*> order = panel_->TabOrder();
  const auto it = std::find(order.begin(), order.end(), &label);
  if (it == order.end()) return box;
  for (auto next = it + 1; next != order.end(); ++next) {
    ui::Control* target = *next;
    if (!target->IsFocusable() || target->Kind() == ui::ControlKind::Label) continue;
    if (!IsSingleLine(*target)) break;
    float tx = 0, ty = 0;
    for (const ui::Control* p = target; p && p != panel_; p = p->Parent()) {
      tx += p->Left();
      ty += p->Top();
    }
    const float labelCentre = y + label.Height() / 2, targetCentre = ty + target->Height() / 2;
    if (std::fabs(labelCentre - targetCentre) <= kTwipsPerRow / 2) {
      // The caption may use the room up to its field, less one blank cell;
      // a field that starts too early for it gives way.
      Rect field = CellsFor(*target, tx, ty);
      if (const auto had = giveWay_.find(target); had != giveWay_.end()) {
        field.col -= had->second;
        field.width += had->second;
      }
      box.row = field.row;
      if (field.col > box.col) {
        std::string caption = PlainCaption(label.Caption());
        while (!caption.empty() && caption.back() == ' ') caption.pop_back();
        const int room = field.col - box.col - 1;
        const int push = std::clamp(TextCells(caption) - room, 0, std::max(0, field.width - 4));
        giveWay_[target] = push;
        box.width = room + push;
      }
    }
    break;
  }
  return box;
}

void PanelRenderer::DrawTree(Canvas& canvas, ui::Control& c, float x, float y, int pass, const Rect& clip) {
  if (!c.Visible()) return;
  Rect box = c.Kind() == ui::ControlKind::Label ? LabelCells(c, x, y) : CellsFor(c, x, y);
  if (auto* selector = dynamic_cast<XSelector*>(&c)) {
    // Bring the selector's views up to date before reading them.
    selector->AvailableList();
  }
  const bool container = c.Kind() == ui::ControlKind::Frame || c.Kind() == ui::ControlKind::Composite;
  if (PassOf(c) == pass || (container && pass == 0)) {
    canvas.SetClip(Intersect(clip, box));
    if (const char* caption = SelectorCaption(c); caption && box.height > 2) {
      canvas.Text(box.row, box.col, caption, attr::Bold | (c.IsEffectivelyEnabled() ? attr::None : attr::Dim),
                  box.width);
      box = {box.row + 1, box.col, box.height - 1, box.width};
    }
    DrawControl(canvas, c, box, IsSingleLine(c));
    if (!container || c.Kind() == ui::ControlKind::Composite) placed_.push_back({&c, box});
  }
  if (auto* holder = dynamic_cast<ui::Container*>(&c)) {
    // A frame's children stay inside its border.
    const Rect inner = c.Kind() == ui::ControlKind::Frame
                           ? Intersect(clip, {box.row + 1, box.col + 1, box.height - 2, box.width - 2})
                           : clip;
    for (const auto& child : holder->Children())
      DrawTree(canvas, *child, x + child->Left(), y + child->Top(), pass, inner);
  }
  canvas.SetClip(clip);
}

void PanelRenderer::DrawControl(Canvas& canvas, ui::Control& c, const Rect& r, bool) {
  const bool enabled = c.IsEffectivelyEnabled();
  const bool focused = panel_ && panel_->ActiveControl() == &c;
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
      const auto& label = static_cast<ui::Label&>(c);
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
      DrawTextBox(canvas, static_cast<ui::TextBox&>(c), r, focused);
      break;
    case ui::ControlKind::ComboBox: {
      auto& combo = static_cast<ui::ComboBox&>(c);
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
      DrawList(canvas, static_cast<ui::ListView&>(c), r, focused);
      break;
    case ui::ControlKind::Composite:
    case ui::ControlKind::UserControl:
      break;
  }
}

void PanelRenderer::DrawTextBox(Canvas& canvas, ui::TextBox& box, const Rect& r, bool focused) {
  // The focused field is drawn reversed, its selection then plain.
  std::uint8_t a = (focused ? attr::Reverse : attr::Underline) | (box.IsEffectivelyEnabled() ? attr::None : attr::Dim);
  // The e-mail page's placeholder for "use the default" is dim, so it reads
  // as a marker, not as text.
  if (box.Text() == rules::kDefaultText) a |= attr::Dim;
  const std::uint8_t selAttrs =
      focused ? static_cast<std::uint8_t>((a & ~attr::Reverse) | attr::Underline | attr::Bold) : a;
  canvas.Fill(r, U' ', a);
  if (r.width <= 0 || r.height <= 0) return;
  const std::u32string text = ui::utf8::Decode(box.Text());
  // A field without the focus shows its text from the start.
  const std::size_t caret = focused ? std::min(box.SelStart(), text.size()) : 0;
  const std::size_t selFrom = focused ? box.SelStart() : 0, selTo = focused ? box.SelStart() + box.SelLength() : 0;
  std::size_t& first = scroll_[&box];
  if (r.height == 1) {
    // One line: the caret stays in view; as much text shows as fits, so a
    // field made wider scrolls back towards the start.
    if (first > text.size() || caret < first) first = std::min(caret, text.size());
    while (first < caret && Cells(text, first, caret) + 1 > r.width) ++first;
    const int tail = caret == text.size() ? 1 : 0;
    while (first > 0 && Cells(text, first - 1, text.size()) + tail <= r.width) --first;
    DrawChars(canvas, r.row, r.col, r.width, text, first, text.size(), a, selFrom, selTo, selAttrs);
    if (focused) canvas.SetCursor(r.row, r.col + Cells(text, first, caret));
    return;
  }
  const std::vector<Line> lines = DisplayLines(text, r.width - 1);
  std::size_t caretLine = 0;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (caret >= lines[i].start && caret <= lines[i].start + lines[i].length) {
      caretLine = i;
      if (caret < lines[i].start + lines[i].length) break;
    }
  const std::size_t visible = static_cast<std::size_t>(r.height);
  if (first >= lines.size()) first = 0;
  if (caretLine < first) first = caretLine;
  if (caretLine >= first + visible) first = caretLine - visible + 1;
  // Lines above fill the box when it grew and the text ends early.
  while (first > 0 && lines.size() - first < visible) --first;
  for (std::size_t l = first; l < lines.size() && l < first + visible; ++l)
    DrawChars(canvas, r.row + static_cast<int>(l - first), r.col, r.width - 1, text, lines[l].start,
              lines[l].start + lines[l].length, a, selFrom, selTo, selAttrs);
  // A scroll mark when there is more than fits.
  if (first > 0) canvas.Put(r.row, r.Right() - 1, U'\u2191', a);
  if (first + visible < lines.size()) canvas.Put(r.Bottom() - 1, r.Right() - 1, U'\u2193', a);
  if (focused)
    canvas.SetCursor(r.row + static_cast<int>(caretLine - first), r.col + Cells(text, lines[caretLine].start, caret));
}

PanelRenderer::Spans PanelRenderer::ColumnSpans(const ui::ListView& list, const Rect& r) const {
  std::vector<float> weights;
  for (const auto& col : list.ViewColumns())
    if (col.visible) weights.push_back(std::max(0.0F, col.width));
  if (weights.empty()) weights.push_back(1.0F);
  float total = 0;
  for (float w : weights) total += w;
  if (total <= 0) {
    std::fill(weights.begin(), weights.end(), 1.0F);
    total = static_cast<float>(weights.size());
  }
  // Each column its share of the cells (the largest remainders get the
  // rest), at least one cell while there are enough.
  Spans s;
  const std::size_t n = weights.size();
  std::vector<std::pair<float, std::size_t>> remainders;
  int given = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const float exact = weights[i] * static_cast<float>(r.width) / total;
    const int cells = static_cast<int>(std::floor(exact + 1e-3F));
    s.cells.push_back(cells);
    remainders.push_back({exact - static_cast<float>(cells), i});
    given += cells;
  }
  std::stable_sort(remainders.begin(), remainders.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  for (std::size_t k = 0; given < r.width && k < n; ++k, ++given) ++s.cells[remainders[k].second];
  for (std::size_t i = 0; i < n && r.width >= static_cast<int>(n); ++i)
    if (s.cells[i] == 0) {
      --*std::max_element(s.cells.begin(), s.cells.end());
      s.cells[i] = 1;
    }
  int x = r.col;
  for (int cells : s.cells) {
    s.start.push_back(x);
    x += cells;
  }
  return s;
}

void PanelRenderer::DrawList(Canvas& canvas, ui::ListView& list, const Rect& r, bool focused) {
  if (r.height <= 0 || r.width <= 0) return;
  const std::uint8_t dim = list.IsEffectivelyEnabled() ? attr::None : attr::Dim;
  // Cells are stored by view column: the visible columns' positions in them.
  std::vector<std::size_t> sources;
  const auto& all = list.ViewColumns();
  for (std::size_t k = 0; k < all.size(); ++k)
    if (all[k].visible) sources.push_back(k);
  const Spans spans = ColumnSpans(list, r);
  spans_[&list] = spans;
  const std::size_t focusColumn =
      static_cast<std::size_t>(std::clamp(FocusedColumn(list), 0, static_cast<int>(spans.cells.size()) - 1));
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
  // Rows: only the visible ones are looked at. The first one shown keeps
  // the caret in view and leaves no empty space below while rows above it
  // could fill it (after the list grew).
  const int visible = r.height - 1;
  if (visible <= 0) return;
  list.SetPageRows(visible);
  const int caret = list.CaretRow();
  if (caret >= 0 && caret >= list.TopRow() + visible) list.SetTopRow(caret - visible + 1);
  if (caret >= 0 && caret < list.TopRow()) list.SetTopRow(caret);
  if (list.TopRow() > 0 && list.TopRow() + visible > list.ViewRowCount())
    list.SetTopRow(std::max(0, list.ViewRowCount() - visible));
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

int PanelRenderer::FocusedColumn(const ui::ListView& list) const {
  const auto it = focusColumn_.find(&list);
  return it == focusColumn_.end() ? 0 : it->second;
}

int PanelRenderer::ColumnStart(const ui::ListView& list, int column) const {
  const auto it = spans_.find(&list);
  if (it == spans_.end() || column < 0 || column >= static_cast<int>(it->second.start.size())) return -1;
  return it->second.start[static_cast<std::size_t>(column)];
}

void PanelRenderer::MoveColumnFocus(ui::ListView& list, int delta) {
  const auto it = spans_.find(&list);
  const int count = it == spans_.end() ? 1 : static_cast<int>(it->second.cells.size());
  focusColumn_[&list] = std::clamp(FocusedColumn(list) + delta, 0, std::max(0, count - 1));
}

void PanelRenderer::WidenColumn(ui::ListView& list, int delta) {
  const auto it = spans_.find(&list);
  if (it == spans_.end() || it->second.cells.empty()) return;
  const int column = std::clamp(FocusedColumn(list), 0, static_cast<int>(it->second.cells.size()) - 1);
  SetColumnCells(list, column, it->second.cells[static_cast<std::size_t>(column)] + delta);
}

void PanelRenderer::SetColumnCells(ui::ListView& list, int column, int cells) {
  const auto it = spans_.find(&list);
  if (it == spans_.end()) return;
  std::vector<int> widths = it->second.cells;
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
  it->second.cells = widths;
  if (auto* stored = dynamic_cast<XStaticList*>(&list)) stored->CaptureColumnLayout();
}

Hit PanelRenderer::HitTest(int row, int col) const {
  for (auto it = placed_.rbegin(); it != placed_.rend(); ++it) {
    if (!it->cells.Contains(row, col)) continue;
    ui::Control* c = it->control;
    Hit hit{c, Hit::Part::Control, -1, 0};
    if (c->Kind() == ui::ControlKind::Composite) continue;  // its parts answer
    if (c->Kind() == ui::ControlKind::ListView) {
      auto* list = static_cast<ui::ListView*>(c);
      if (row == it->cells.row) {
        hit.part = Hit::Part::ListHeader;
        if (const auto spans = spans_.find(list); spans != spans_.end())
          for (std::size_t k = 0; k + 1 < spans->second.start.size(); ++k)
            if (col == spans->second.start[k] + spans->second.cells[k] - 1) hit.border = static_cast<int>(k);
      } else {
        const int index = list->TopRow() + (row - it->cells.row - 1);
        hit.part = index < list->ViewRowCount() ? Hit::Part::ListRow : Hit::Part::ListEmpty;
        hit.listRow = index < list->ViewRowCount() ? index : -1;
      }
    } else if (c->Kind() == ui::ControlKind::TextBox && it->cells.height == 1) {
      const auto scroll = scroll_.find(c);
      const std::u32string text = ui::utf8::Decode(static_cast<ui::TextBox*>(c)->Text());
      std::size_t i = scroll == scroll_.end() ? 0 : scroll->second;
      for (int x = it->cells.col; i < text.size() && x + CellWidth(text[i]) <= col; ++i) x += CellWidth(text[i]);
      hit.offset = static_cast<int>(i);
    }
    return hit;
  }
  return {};
}

const Rect* PanelRenderer::CellsOf(const ui::Control* control) const {
  for (const auto& p : placed_)
    if (p.control == control) return &p.cells;
  return nullptr;
}

}  // namespace quillmont::editor
