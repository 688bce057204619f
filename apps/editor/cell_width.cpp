#include "apps/editor/cell_width.h"

#include <locale.h>
#include <wchar.h>

#include "quillmont/storage/utf8.h"

namespace quillmont::editor {
namespace {

// The C library's widths under a UTF-8 character set, whatever locale the
// process runs in, so that tests and the terminal measure alike.
locale_t Utf8Locale() {
  static const locale_t locale = [] {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"})
      if (locale_t l = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr))) return l;
    return static_cast<locale_t>(nullptr);
  }();
  return locale;
}

}  // namespace

int FallbackCellWidth(char32_t ch) {
  if ((ch >= 0x0300 && ch <= 0x036F) || (ch >= 0x200B && ch <= 0x200F) || (ch >= 0xFE00 && ch <= 0xFE0F)) return 0;
  if ((ch >= 0x1100 && ch <= 0x115F) || (ch >= 0x2E80 && ch <= 0xA4CF) || (ch >= 0xAC00 && ch <= 0xD7A3) ||
      (ch >= 0xF900 && ch <= 0xFAFF) || (ch >= 0xFF00 && ch <= 0xFF60) || (ch >= 0xFFE0 && ch <= 0xFFE6) ||
      (ch >= 0x1F300 && ch <= 0x1FAFF) || (ch >= 0x20000 && ch <= 0x3FFFD))
    return 2;
  return 1;
}

int CellWidth(char32_t ch) {
  if (ch < 0x7F) return 1;
  const locale_t utf8 = Utf8Locale();
  if (!utf8) return FallbackCellWidth(ch);
  const locale_t previous = uselocale(utf8);
  const int w = wcwidth(static_cast<wchar_t>(ch));
  uselocale(previous);
  if (w < 0) return 1;  // controls and unassigned: one cell (a dot or U+FFFD)
  return w > 2 ? 2 : w;
}

int TextCells(std::u32string_view text) {
  int cells = 0;
  for (char32_t ch : text) cells += CellWidth(ch);
  return cells;
}

int TextCells(std::string_view text) { return TextCells(utf8::Decode(text)); }

std::string FitCells(std::string_view text, int cells) {
  const std::u32string chars = utf8::Decode(text);
  if (TextCells(chars) <= cells) return std::string(text);
  std::string out;
  int used = 0;
  for (char32_t ch : chars) {
    const int w = CellWidth(ch);
    if (used + w > cells - 1) break;
    out += utf8::Encode(ch);
    used += w;
  }
  // Marks that sit on the last character kept stay with it.
  return cells > 0 ? out + "\u2026" : std::string();
}

}  // namespace quillmont::editor
