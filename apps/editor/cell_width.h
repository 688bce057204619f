#pragma once

#include <string>
#include <string_view>

// How many terminal cells text takes. Every string the editor draws is
// measured here, so a field's caret, a cut list cell and a centred title
// agree with what the terminal shows.
namespace quillmont::editor {

// Cells of one character as a terminal counts them: East Asian wide and
// emoji 2, combining marks and other zero-width characters 0, everything
// else (control characters too, which the canvas shows as a dot) 1.
int CellWidth(char32_t ch);
// Cells of UTF-8 text.
int TextCells(std::string_view text);
int TextCells(std::u32string_view text);
// The text cut to at most cells cells at a character boundary, ending in
// "…" when something had to go.
std::string FitCells(std::string_view text, int cells);

}  // namespace quillmont::editor
