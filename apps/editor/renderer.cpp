#include "apps/editor/renderer.h"

#include <algorithm>
#include <cmath>

#include "quillmont/framework/components.h"
#include "quillmont/platform/ui/utf8.h"

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
// at line breaks and wrapped at width.
struct Line {
  std::size_t start, length;
};
std::vector<Line> DisplayLines(const std::u32string& text, int width) {
  std::vector<Line> lines;
  const std::size_t w = static_cast<std::size_t>(std::max(1, width));
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const bool end = i == text.size();
    const bool brk = !end && (text[i] == U'\n' || text[i] == U'\r');
    if (!end && !brk) {
      if (i - start == w) {
        lines.push_back({start, w});
        start = i;
      }
      continue;
    }
    lines.push_back({start, i - start});
    if (brk && text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
    start = i + 1;
  }
  return lines;
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
  for (std::size_t i = 0; i < text.size() && (maxCols < 0 || used < maxCols); ++i) {
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
    canvas.Put(row, col + used, text[i], a);
    ++used;
  }
  return used;
}

Rect PanelRenderer::CellsFor(const ui::Control& c, float x, float y) const {
  const int col = area_.col + Col(x);
  const int width = std::max(c.Width() > 0 ? 1 : 0, Col(x + c.Width()) - Col(x));
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
    if (std::fabs(labelCentre - targetCentre) <= kTwipsPerRow / 2) box.row = CellsFor(*target, tx, ty).row;
    break;
  }
  return box;
}

void PanelRenderer::DrawTree(Canvas& canvas, ui::Control& c, float x, float y, int pass, const Rect& clip) {
  if (!c.Visible()) return;
  const Rect box = c.Kind() == ui::ControlKind::Label ? LabelCells(c, x, y) : CellsFor(c, x, y);
  if (auto* selector = dynamic_cast<XSelector*>(&c)) {
    // Bring the selector's views up to date before reading them.
    selector->AvailableList();
  }
  const bool container = c.Kind() == ui::ControlKind::Frame || c.Kind() == ui::ControlKind::Composite;
  if (PassOf(c) == pass || (container && pass == 0)) {
    canvas.SetClip(clip);
    DrawControl(canvas, c, box, IsSingleLine(c));
    if (!container || c.Kind() == ui::ControlKind::Composite) placed_.push_back({&c, box});
  }
  if (auto* holder = dynamic_cast<ui::Container*>(&c)) {
    const Rect inner = c.Kind() == ui::ControlKind::Frame ? Intersect(clip, box) : clip;
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
      // A caption wider than its label loses its trailing blanks and colon
      // before it runs into the field beside it.
      int length = static_cast<int>(ui::utf8::CharCount(PlainCaption(caption)));
      while (length > r.width && !caption.empty() && (caption.back() == ' ' || caption.back() == ':')) {
        caption.pop_back();
        --length;
      }
      int col = r.col;
      if (length < r.width && label.TextAlignment() == ui::Alignment::Right) col = r.Right() - length;
      if (length < r.width && label.TextAlignment() == ui::Alignment::Center) col = r.col + (r.width - length) / 2;
      DrawCaption(canvas, r.row, col, caption, dim, -1);
      break;
    }
    case ui::ControlKind::TextBox:
      DrawTextBox(canvas, static_cast<ui::TextBox&>(c), r, focused);
      break;
    case ui::ControlKind::ComboBox: {
      auto& combo = static_cast<ui::ComboBox&>(c);
      const std::uint8_t a = (focused ? attr::Reverse : attr::Underline) | dim;
      canvas.Fill(r, U' ', a);
      canvas.Text(r.row, r.col, combo.Text(), a, std::max(0, r.width - 2));
      if (r.width >= 2) canvas.Put(r.row, r.Right() - 1, U'\u25BE', a);
      break;
    }
    case ui::ControlKind::CommandButton: {
      const std::uint8_t a = (focused ? attr::Reverse | attr::Bold : attr::None) | dim;
      const std::string caption = c.Caption();
      const int length = static_cast<int>(ui::utf8::CharCount(PlainCaption(caption))) + 2;
      const int col = r.col + std::max(0, (r.width - length) / 2);
      canvas.Fill(r, U' ', a);
      canvas.Put(r.row, col, U'[', a);
      const int used = DrawCaption(canvas, r.row, col + 1, caption, a, std::max(0, r.width - 2));
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
  const std::uint8_t a =
      (focused ? attr::Bold : attr::None) | attr::Underline | (box.IsEffectivelyEnabled() ? attr::None : attr::Dim);
  canvas.Fill(r, U' ', a);
  if (r.width <= 0 || r.height <= 0) return;
  const std::u32string text = ui::utf8::Decode(box.Text());
  const std::size_t caret = std::min(box.SelStart(), text.size());
  std::size_t& first = scroll_[&box];
  const std::size_t w = static_cast<std::size_t>(r.width);
  if (r.height == 1) {
    // One line: line breaks show as a mark, the view scrolls to the caret.
    if (caret < first) first = caret;
    if (caret >= first + w) first = caret - w + 1;
    if (first > text.size()) first = 0;
    for (std::size_t i = first; i < text.size() && i < first + w; ++i) {
      const char32_t ch = (text[i] == U'\r' || text[i] == U'\n') ? U'\u21B5' : text[i];
      const bool selected = focused && i >= box.SelStart() && i < box.SelStart() + box.SelLength();
      canvas.Put(r.row, r.col + static_cast<int>(i - first), ch, selected ? a | attr::Reverse : a);
    }
    if (focused) canvas.SetCursor(r.row, r.col + static_cast<int>(caret - first));
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
  if (caretLine < first) first = caretLine;
  if (caretLine >= first + visible) first = caretLine - visible + 1;
  if (first >= lines.size()) first = 0;
  for (std::size_t l = first; l < lines.size() && l < first + visible; ++l)
    for (std::size_t k = 0; k < lines[l].length; ++k) {
      const std::size_t i = lines[l].start + k;
      const bool selected = focused && i >= box.SelStart() && i < box.SelStart() + box.SelLength();
      canvas.Put(r.row + static_cast<int>(l - first), r.col + static_cast<int>(k), text[i],
                 selected ? a | attr::Reverse : a);
    }
  // A scroll mark when there is more than fits.
  if (first > 0) canvas.Put(r.row, r.Right() - 1, U'\u2191', a);
  if (first + visible < lines.size()) canvas.Put(r.Bottom() - 1, r.Right() - 1, U'\u2193', a);
  if (focused)
    canvas.SetCursor(r.row + static_cast<int>(caretLine - first),
                     r.col + static_cast<int>(caret - lines[caretLine].start));
}

void PanelRenderer::DrawList(Canvas& canvas, ui::ListView& list, const Rect& r, bool focused) {
  if (r.height <= 0 || r.width <= 0) return;
  const std::uint8_t dim = list.IsEffectivelyEnabled() ? attr::None : attr::Dim;
  std::vector<ui::ListView::Column> columns;
  for (const auto& col : list.ViewColumns())
    if (col.visible) columns.push_back(col);
  if (columns.empty()) columns.push_back({0, "", list.Width(), true});
  // Header.
  canvas.Fill({r.row, r.col, 1, r.width}, U' ', attr::Underline | (focused ? attr::Bold : attr::None) | dim);
  std::vector<std::pair<int, int>> spans;  // start column, width of each column
  int x = r.col;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const bool last = i + 1 == columns.size();
    int w = std::max(1, static_cast<int>(std::lround(columns[i].width / kTwipsPerColumn)));
    if (last) w = std::max(w, r.Right() - x);
    spans.push_back({x, w});
    canvas.Text(r.row, x, columns[i].caption, attr::Underline | (focused ? attr::Bold : attr::None) | dim,
                std::max(0, w - 1));
    x += w;
  }
  // Rows, scrolled to keep the caret in view.
  const int visible = r.height - 1;
  if (visible <= 0) return;
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
    for (std::size_t c = 0; c < columns.size(); ++c) {
      // Cells are stored by view column; find this column's position.
      std::size_t source = c;
      const auto& all = list.ViewColumns();
      for (std::size_t k = 0; k < all.size(); ++k)
        if (all[k].id == columns[c].id && all[k].caption == columns[c].caption) source = k;
      if (source < cells.size())
        canvas.Text(line.row, spans[c].first, cells[source], a, std::max(0, spans[c].second - 1));
    }
    if (focused && row == caret && !list.IsRowSelected(row)) canvas.Put(line.row, r.Right() - 1, U'\u25C2', a);
  }
  if (top > 0) canvas.Put(r.row + 1, r.Right() - 1, U'\u2191', dim);
  if (top + visible < list.ViewRowCount()) canvas.Put(r.Bottom() - 1, r.Right() - 1, U'\u2193', dim);
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
      } else {
        const int index = list->TopRow() + (row - it->cells.row - 1);
        hit.part = index < list->ViewRowCount() ? Hit::Part::ListRow : Hit::Part::ListEmpty;
        hit.listRow = index < list->ViewRowCount() ? index : -1;
      }
    } else if (c->Kind() == ui::ControlKind::TextBox && it->cells.height == 1) {
      const auto scroll = scroll_.find(c);
      hit.offset = (col - it->cells.col) + static_cast<int>(scroll == scroll_.end() ? 0 : scroll->second);
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
