#include "apps/editor/canvas.h"

#include <algorithm>
#include <stdexcept>

#include "apps/editor/cell_width.h"
#include "quillmont/platform/terminal_text.h"
#include "quillmont/storage/utf8.h"

namespace quillmont::editor {

Canvas::Canvas(int height, int width)
    : height_(std::max(0, height)),
      width_(std::max(0, width)),
      cells_(static_cast<std::size_t>(height_) * static_cast<std::size_t>(width_)),
      clip_{0, 0, height_, width_} {}

void Canvas::Split(int row, int col) {
  Cell& cell = CellAt(row, col);
  if (cell.ch == kWideTail && col > 0) CellAt(row, col - 1) = {U' ', CellAt(row, col - 1).attrs, {}};
  if (cell.ch != kWideTail && col + 1 < width_ && CellAt(row, col + 1).ch == kWideTail)
    CellAt(row, col + 1) = {U' ', cell.attrs, {}};
}

int Canvas::Put(int row, int col, char32_t ch, std::uint8_t attrs) {
  if (row < 0 || col < 0 || row >= height_ || col >= width_ || !clip_.Contains(row, col)) return 0;
  // Control characters would move the terminal's cursor: show them as dots.
  if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0)) ch = U'\u00B7';
  int width = CellWidth(ch);
  if (width == 0) {
    // A mark on its own has no base to sit on here: shown as a blank.
    ch = U' ';
    width = 1;
  }
  if (width == 2 && (col + 1 >= width_ || !clip_.Contains(row, col + 1))) {
    ch = U' ';
    width = 1;
  }
  Split(row, col);
  CellAt(row, col) = {ch, attrs, {}};
  if (width == 2) {
    Split(row, col + 1);
    CellAt(row, col + 1) = {kWideTail, attrs, {}};
  }
  return width;
}

void Canvas::AddMark(int row, int col, char32_t mark) {
  if (row < 0 || col < 0 || row >= height_ || col >= width_ || !clip_.Contains(row, col)) return;
  Cell& cell = CellAt(row, col);
  if (cell.ch == kWideTail && col > 0) return AddMark(row, col - 1, mark);
  for (char32_t& m : cell.marks)
    if (m == 0) {
      m = mark;
      return;
    }
}

int Canvas::Text(int row, int col, std::string_view text, std::uint8_t attrs, int maxCols) {
  int written = 0;
  for (char32_t ch : utf8::Decode(text)) {
    if (text::IsBidiControl(ch)) {
      // Written out, as --list writes it: raw, it would reorder what follows.
      const std::string shown = text::ForTerminal(utf8::Encode(ch));
      if (maxCols >= 0 && written + static_cast<int>(shown.size()) > maxCols) break;
      for (const char c : shown) written += Put(row, col + written, static_cast<char32_t>(c), attrs);
      continue;
    }
    const int width = ch < 0x20 ? 1 : CellWidth(ch);
    if (width == 0) {
      if (written > 0) AddMark(row, col + written - 1, ch);
      continue;
    }
    if (maxCols >= 0 && written + width > maxCols) break;
    Put(row, col + written, ch, attrs);
    written += width;
  }
  return written;
}

void Canvas::Fill(const Rect& r, char32_t ch, std::uint8_t attrs) {
  for (int y = r.row; y < r.Bottom(); ++y)
    for (int x = r.col; x < r.Right(); ++x) Put(y, x, ch, attrs);
}

void Canvas::Box(const Rect& r, std::uint8_t attrs) {
  if (r.width < 2 || r.height < 2) return;
  for (int x = r.col + 1; x < r.Right() - 1; ++x) {
    Put(r.row, x, U'\u2500', attrs);
    Put(r.Bottom() - 1, x, U'\u2500', attrs);
  }
  for (int y = r.row + 1; y < r.Bottom() - 1; ++y) {
    Put(y, r.col, U'\u2502', attrs);
    Put(y, r.Right() - 1, U'\u2502', attrs);
  }
  Put(r.row, r.col, U'\u250C', attrs);
  Put(r.row, r.Right() - 1, U'\u2510', attrs);
  Put(r.Bottom() - 1, r.col, U'\u2514', attrs);
  Put(r.Bottom() - 1, r.Right() - 1, U'\u2518', attrs);
}

void Canvas::AddAttrs(const Rect& r, std::uint8_t attrs) {
  for (int y = std::max(r.row, 0); y < std::min(r.Bottom(), height_); ++y)
    for (int x = std::max(r.col, 0); x < std::min(r.Right(), width_); ++x)
      if (clip_.Contains(y, x)) CellAt(y, x).attrs |= attrs;
}

const Cell& Canvas::At(int row, int col) const {
  if (row < 0 || col < 0 || row >= height_ || col >= width_) throw std::out_of_range("cell outside the canvas");
  return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(col)];
}

std::string Canvas::RowText(int row) const {
  std::string out;
  for (int x = 0; x < width_; ++x) {
    const Cell& cell = At(row, x);
    if (cell.ch == kWideTail) continue;
    out += utf8::Encode(cell.ch);
    for (char32_t m : cell.marks)
      if (m) out += utf8::Encode(m);
  }
  return out;
}

std::string Canvas::AllText() const {
  std::string out;
  for (int y = 0; y < height_; ++y) out += RowText(y) + "\n";
  return out;
}

}  // namespace quillmont::editor
