#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A grid of character cells that the editor draws into; the terminal shows
// it, tests read it back as text.
namespace quillmont::editor {

namespace attr {
inline constexpr std::uint8_t None = 0;
inline constexpr std::uint8_t Bold = 1;
inline constexpr std::uint8_t Reverse = 2;
inline constexpr std::uint8_t Underline = 4;
inline constexpr std::uint8_t Dim = 8;
}  // namespace attr

struct Rect {
  int row = 0, col = 0, height = 0, width = 0;
  bool Contains(int r, int c) const noexcept { return r >= row && r < row + height && c >= col && c < col + width; }
  int Bottom() const noexcept { return row + height; }
  int Right() const noexcept { return col + width; }
};

// The cells both share (empty when none).
inline Rect Intersect(const Rect& a, const Rect& b) {
  const int top = a.row > b.row ? a.row : b.row, left = a.col > b.col ? a.col : b.col;
  const int bottom = a.Bottom() < b.Bottom() ? a.Bottom() : b.Bottom();
  const int right = a.Right() < b.Right() ? a.Right() : b.Right();
  return {top, left, bottom > top ? bottom - top : 0, right > left ? right - left : 0};
}

// A wide character fills its cell and the next one, which then holds
// kWideTail; combining marks ride on the cell of their base character.
inline constexpr char32_t kWideTail = 0;
struct Cell {
  char32_t ch = U' ';
  std::uint8_t attrs = attr::None;
  std::array<char32_t, 2> marks{};
  friend bool operator==(const Cell&, const Cell&) = default;
};

class Canvas {
 public:
  Canvas(int height, int width);

  int Height() const noexcept { return height_; }
  int Width() const noexcept { return width_; }

  // Everything is clipped to the canvas and to the clip rectangle.
  void SetClip(const Rect& clip) noexcept { clip_ = clip; }
  void ResetClip() noexcept { clip_ = {0, 0, height_, width_}; }
  const Rect& Clip() const noexcept { return clip_; }

  // Puts one character; returns the cells it took (0 outside the clip). A
  // wide character that would stick out of the clip leaves a blank instead.
  int Put(int row, int col, char32_t ch, std::uint8_t attrs = attr::None);
  // Adds a combining mark to the character at (row, col).
  void AddMark(int row, int col, char32_t mark);
  // Writes UTF-8 text from (row, col), at most maxCols cells, never half a
  // wide character; returns the cells written.
  int Text(int row, int col, std::string_view text, std::uint8_t attrs = attr::None, int maxCols = -1);
  void Fill(const Rect& r, char32_t ch = U' ', std::uint8_t attrs = attr::None);
  // A single-line box around r (r includes the border).
  void Box(const Rect& r, std::uint8_t attrs = attr::None);
  // Adds attributes to cells already drawn.
  void AddAttrs(const Rect& r, std::uint8_t attrs);

  const Cell& At(int row, int col) const;
  // The row as UTF-8 text (for tests and logs).
  std::string RowText(int row) const;
  std::string AllText() const;

  // Where the terminal cursor stands; hidden when row < 0.
  void SetCursor(int row, int col) noexcept {
    cursorRow_ = row;
    cursorCol_ = col;
  }
  int CursorRow() const noexcept { return cursorRow_; }
  int CursorCol() const noexcept { return cursorCol_; }

 private:
  Cell& CellAt(int row, int col) {
    return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(col)];
  }
  // Blanks the other half of a wide character that (row, col) is part of.
  void Split(int row, int col);
  int height_, width_;
  std::vector<Cell> cells_;
  Rect clip_;
  int cursorRow_ = -1, cursorCol_ = -1;
};

}  // namespace quillmont::editor
