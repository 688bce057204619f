#include "apps/editor/panel_layout.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "apps/editor/cell_width.h"
#include "quillmont/framework/components.h"
#include "quillmont/storage/utf8.h"

namespace quillmont::editor {
namespace {

int Col(float twips) { return static_cast<int>(std::lround(twips / kTwipsPerColumn)); }
int Row(float twips) { return static_cast<int>(std::lround(twips / kTwipsPerRow)); }

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

// Drawing passes: frame boxes, then labels, then everything else.
int PassOf(const ui::Control& c) {
  if (c.Kind() == ui::ControlKind::Frame) return 0;
  if (c.Kind() == ui::ControlKind::Label) return 1;
  return 2;
}

// A list inside a selector gets a caption row above it.
const char* SelectorCaption(const ui::Control& c) {
  auto* selector = dynamic_cast<XSelector*>(c.Parent());
  if (!selector || c.Kind() != ui::ControlKind::ListView) return nullptr;
  if (&selector->AvailableList() == &c) return "Available";
  if (&selector->ChosenList() == &c) return "Chosen";
  return nullptr;
}

// Each visible column its share of the cells (the largest remainders get
// the rest), at least one cell while there are enough.
ColumnSpans SpansFor(const ui::ListView& list, const Rect& r) {
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
  ColumnSpans s;
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

bool IsSpace(char32_t ch) { return ch == U' ' || ch == U'\t' || ch == U'\u3000'; }

// Wide characters other than Hangul (which keeps its words whole, as the
// Latin scripts do): lines may break before and after each of them.
bool IsIdeograph(char32_t ch) {
  const bool hangul = (ch >= 0x1100 && ch <= 0x11FF) || (ch >= 0x3130 && ch <= 0x318F) ||
                      (ch >= 0xA960 && ch <= 0xA97F) || (ch >= 0xAC00 && ch <= 0xD7FF);
  return !hangul && CellWidth(ch) == 2;
}

// Punctuation that stays with the character before it, or after it.
bool Closes(char32_t ch) {
  return std::u32string_view(U".,;:!?)]}\u3001\u3002\u3009\u300B\u300D\u300F\u3011\uFF09\uFF0C\uFF0E\uFF01\uFF1F")
             .find(ch) != std::u32string_view::npos;
}
bool Opens(char32_t ch) {
  return std::u32string_view(U"([{\u3008\u300A\u300C\u300E\u3010\uFF08").find(ch) != std::u32string_view::npos;
}

// Whether a line may start at text[i] (i > 0): after blanks, and before or
// after an ideograph; never inside a character's marks or a joined emoji.
bool MayBreakBefore(const std::u32string& text, std::size_t i) {
  const char32_t before = text[i - 1], at = text[i];
  if (IsSpace(at) || CellWidth(at) == 0 || before == U'\u200D' || Closes(at) || Opens(before)) return false;
  return IsSpace(before) || IsIdeograph(before) || IsIdeograph(at);
}

}  // namespace

std::vector<TextLine> DisplayLines(const std::u32string& text, int width) {
  std::vector<TextLine> lines;
  width = std::max(2, width);
  std::size_t start = 0, lastBreak = 0;
  int cells = 0, cellsBeforeBreak = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const bool end = i == text.size();
    const bool brk = !end && (text[i] == U'\n' || text[i] == U'\r');
    if (end || brk) {
      lines.push_back({start, i - start});
      if (brk && text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
      start = lastBreak = i + 1;
      cells = 0;
      continue;
    }
    if (i > start && MayBreakBefore(text, i)) {
      lastBreak = i;
      cellsBeforeBreak = cells;
    }
    const int w = CellWidth(text[i]);
    // Blanks at a line's end hang past its edge rather than start the next.
    if (!IsSpace(text[i]) && cells + w > width && i > start) {
      if (lastBreak > start) {
        // The word moves to the next line whole.
        lines.push_back({start, lastBreak - start});
        start = lastBreak;
        cells -= cellsBeforeBreak;
      }
      if (cells + w > width && i > start) {
        // A word longer than the line is broken where it reaches the edge.
        lines.push_back({start, i - start});
        start = i;
        cells = 0;
      }
    }
    cells += w;
  }
  return lines;
}

std::size_t CaretLine(const std::vector<TextLine>& lines, std::size_t caret) {
  std::size_t caretLine = 0;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (caret >= lines[i].start && caret <= lines[i].start + lines[i].length) {
      caretLine = i;
      if (caret < lines[i].start + lines[i].length) break;
    }
  return caretLine;
}

int CellsBetween(const std::u32string& text, std::size_t from, std::size_t to) {
  int cells = 0;
  for (std::size_t i = from; i < to && i < text.size(); ++i) cells += CellWidth(text[i]);
  return cells;
}

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

Rect PanelLayout::CellsFor(const ui::Control& c, float x, float y) const {
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

void PanelLayout::Arrange(ui::UserControl& panel, const Rect& area) {
  area_ = area;
  panel_ = &panel;
  items_.clear();
  giveWay_.clear();
  for (int pass = 0; pass < 3; ++pass)
    for (const auto& child : panel.Children()) Place(*child, child->Left(), child->Top(), pass, area);
}

Rect PanelLayout::LabelCells(const ui::Control& label, float x, float y) {
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

void PanelLayout::Place(ui::Control& c, float x, float y, int pass, const Rect& clip) {
  if (!c.Visible()) return;
  Rect box = c.Kind() == ui::ControlKind::Label ? LabelCells(c, x, y) : CellsFor(c, x, y);
  if (auto* selector = dynamic_cast<XSelector*>(&c)) {
    // Bring the selector's views up to date before reading them.
    selector->AvailableList();
  }
  const bool container = c.Kind() == ui::ControlKind::Frame || c.Kind() == ui::ControlKind::Composite;
  if (PassOf(c) == pass || (container && pass == 0)) {
    const Rect itemClip = Intersect(clip, box);
    const char* caption = SelectorCaption(c);
    if (caption && box.height > 2)
      box = {box.row + 1, box.col, box.height - 1, box.width};
    else
      caption = nullptr;
    items_.push_back({&c, box, itemClip, caption, !container || c.Kind() == ui::ControlKind::Composite});
    Scroll(c, box);
  }
  if (auto* holder = dynamic_cast<ui::Container*>(&c)) {
    // A frame's children stay inside its border.
    const Rect inner = c.Kind() == ui::ControlKind::Frame
                           ? Intersect(clip, {box.row + 1, box.col + 1, box.height - 2, box.width - 2})
                           : clip;
    for (const auto& child : holder->Children()) Place(*child, x + child->Left(), y + child->Top(), pass, inner);
  }
}

void PanelLayout::Scroll(ui::Control& c, const Rect& r) {
  if (r.height <= 0 || r.width <= 0) return;
  const bool focused = panel_->ActiveControl() == &c;
  if (c.Kind() == ui::ControlKind::ListView) {
    // Only the visible rows are looked at. The first one shown keeps the
    // caret in view and leaves no empty space below while rows above it
    // could fill it (after the list grew).
    auto& list = static_cast<ui::ListView&>(c);
    spans_[&list] = SpansFor(list, r);
    const int visible = r.height - 1;
    if (visible <= 0) return;
    list.SetPageRows(visible);
    const int caret = list.CaretRow();
    if (caret >= 0 && caret >= list.TopRow() + visible) list.SetTopRow(caret - visible + 1);
    if (caret >= 0 && caret < list.TopRow()) list.SetTopRow(caret);
    if (list.TopRow() > 0 && list.TopRow() + visible > list.ViewRowCount())
      list.SetTopRow(std::max(0, list.ViewRowCount() - visible));
    return;
  }
  if (c.Kind() != ui::ControlKind::TextBox) return;
  auto& box = static_cast<ui::TextBox&>(c);
  const std::u32string text = utf8::Decode(box.Text());
  // A field without the focus shows its text from the start.
  const std::size_t caret = focused ? std::min(box.SelStart(), text.size()) : 0;
  std::size_t& first = scroll_[&box];
  if (r.height == 1) {
    // One line: the caret stays in view; as much text shows as fits, so a
    // field made wider scrolls back towards the start.
    if (first > text.size() || caret < first) first = std::min(caret, text.size());
    while (first < caret && CellsBetween(text, first, caret) + 1 > r.width) ++first;
    const int tail = caret == text.size() ? 1 : 0;
    while (first > 0 && CellsBetween(text, first - 1, text.size()) + tail <= r.width) --first;
    return;
  }
  const std::vector<TextLine> lines = DisplayLines(text, r.width - 1);
  const std::size_t caretLine = CaretLine(lines, caret);
  const std::size_t visible = static_cast<std::size_t>(r.height);
  if (first >= lines.size()) first = 0;
  if (caretLine < first) first = caretLine;
  if (caretLine >= first + visible) first = caretLine - visible + 1;
  // Lines above fill the box when it grew and the text ends early.
  while (first > 0 && lines.size() - first < visible) --first;
}

std::size_t PanelLayout::FirstShown(const ui::Control& box) const {
  const auto it = scroll_.find(&box);
  return it == scroll_.end() ? 0 : it->second;
}

const ColumnSpans* PanelLayout::SpansOf(const ui::ListView& list) const {
  const auto it = spans_.find(&list);
  return it == spans_.end() ? nullptr : &it->second;
}

void PanelLayout::SetSpanCells(const ui::ListView& list, std::vector<int> cells) {
  if (const auto it = spans_.find(&list); it != spans_.end()) it->second.cells = std::move(cells);
}

Hit PanelLayout::HitTest(int row, int col) const {
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
    if (!it->hittable || !it->cells.Contains(row, col)) continue;
    ui::Control* c = it->control;
    Hit hit{c, Hit::Part::Control, -1, 0};
    if (c->Kind() == ui::ControlKind::Composite) continue;  // its parts answer
    if (c->Kind() == ui::ControlKind::ListView) {
      auto* list = static_cast<ui::ListView*>(c);
      if (row == it->cells.row) {
        hit.part = Hit::Part::ListHeader;
        if (const ColumnSpans* spans = SpansOf(*list))
          for (std::size_t k = 0; k + 1 < spans->start.size(); ++k)
            if (col == spans->start[k] + spans->cells[k] - 1) hit.border = static_cast<int>(k);
      } else {
        const int index = list->TopRow() + (row - it->cells.row - 1);
        hit.part = index < list->ViewRowCount() ? Hit::Part::ListRow : Hit::Part::ListEmpty;
        hit.listRow = index < list->ViewRowCount() ? index : -1;
      }
    } else if (c->Kind() == ui::ControlKind::TextBox && it->cells.height == 1) {
      const std::u32string text = utf8::Decode(static_cast<ui::TextBox*>(c)->Text());
      std::size_t i = FirstShown(*c);
      for (int x = it->cells.col; i < text.size() && x + CellWidth(text[i]) <= col; ++i) x += CellWidth(text[i]);
      hit.offset = static_cast<int>(i);
    }
    return hit;
  }
  return {};
}

bool PanelLayout::OneRow(const ui::Control& box) const {
  const Rect* cells = CellsOf(&box);
  return cells && cells->height == 1;
}

const Rect* PanelLayout::CellsOf(const ui::Control* control) const {
  for (const auto& item : items_)
    if (item.hittable && item.control == control) return &item.cells;
  return nullptr;
}

}  // namespace quillmont::editor
