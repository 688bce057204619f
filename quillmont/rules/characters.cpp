#include "quillmont/rules/characters.h"

#include <cstdio>

#include "quillmont/platform/terminal_text.h"
#include "quillmont/storage/utf8.h"

namespace quillmont::rules {
namespace {

bool IsInvisible(char32_t c) {
  return c == 0x00AD || c == 0x034F || c == 0x180E || (c >= 0x200B && c <= 0x200F) || (c >= 0x2060 && c <= 0x2064) ||
         c == 0xFEFF || text::IsBidiControl(c);
}

// Letters of other scripts drawn like a Latin letter in common fonts.
char LatinLookAlike(char32_t c) {
  static constexpr struct {
    char32_t from;
    char to;
  } kTable[] = {
      // Cyrillic
      {0x0405, 's'},
      {0x0406, 'i'},
      {0x0408, 'j'},
      {0x0410, 'a'},
      {0x0412, 'b'},
      {0x0415, 'e'},
      {0x041A, 'k'},
      {0x041C, 'm'},
      {0x041D, 'h'},
      {0x041E, 'o'},
      {0x0420, 'p'},
      {0x0421, 'c'},
      {0x0422, 't'},
      {0x0425, 'x'},
      {0x0430, 'a'},
      {0x0435, 'e'},
      {0x043E, 'o'},
      {0x0440, 'p'},
      {0x0441, 'c'},
      {0x0443, 'y'},
      {0x0445, 'x'},
      {0x0455, 's'},
      {0x0456, 'i'},
      {0x0458, 'j'},
      {0x04BB, 'h'},
      {0x04CF, 'l'},
      {0x0501, 'd'},
      {0x051B, 'q'},
      {0x051D, 'w'},
      // Greek
      {0x0391, 'a'},
      {0x0392, 'b'},
      {0x0395, 'e'},
      {0x0396, 'z'},
      {0x0397, 'h'},
      {0x0399, 'i'},
      {0x039A, 'k'},
      {0x039C, 'm'},
      {0x039D, 'n'},
      {0x039F, 'o'},
      {0x03A1, 'p'},
      {0x03A4, 't'},
      {0x03A5, 'y'},
      {0x03A7, 'x'},
      {0x03B1, 'a'},
      {0x03B9, 'i'},
      {0x03BA, 'k'},
      {0x03BD, 'v'},
      {0x03BF, 'o'},
      {0x03C1, 'p'},
      {0x03C5, 'u'},
  };
  for (const auto& entry : kTable)
    if (entry.from == c) return entry.to;
  // Full-width forms of ASCII.
  if (c >= 0xFF01 && c <= 0xFF5E) return static_cast<char>(c - 0xFF01 + 0x21);
  return 0;
}

}  // namespace

std::string ForbiddenCharacter(std::string_view text, bool lineBreaks) {
  for (const char32_t c : utf8::Decode(text)) {
    if (lineBreaks && (c == '\t' || c == '\n')) continue;
    if (c == 0) return "NUL";
    const bool control = text::IsControl(c);
    if (!control && !text::IsBidiControl(c)) continue;
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    return std::string(code) + (control ? ", a control character" : ", a bidirectional control");
  }
  return {};
}

std::string LookAlike(std::string_view text) {
  std::string out;
  for (const char32_t c : utf8::Decode(text)) {
    if (IsInvisible(c)) continue;
    const char latin = c < 0x80 ? static_cast<char>(c) : LatinLookAlike(c);
    if (latin)
      out += latin >= 'A' && latin <= 'Z' ? static_cast<char>(latin - 'A' + 'a') : latin;
    else
      out += utf8::Encode(c);
  }
  return out;
}

}  // namespace quillmont::rules
