#include "apps/editor/plain_text.h"

#include <cstdio>

#include "quillmont/platform/ui/utf8.h"

namespace quillmont::editor {

std::string EscapeControlCharacters(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t ch : ui::utf8::Decode(text)) {
    char escape[12] = {};
    if (ch == U'\\')
      out += "\\\\";
    else if (ch == U'\n')
      out += "\\n";
    else if (ch == U'\t')
      out += "\\t";
    else if (ch == U'\r')
      out += "\\r";
    else if (ch < 0x20 || ch == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(ch));
      out += escape;
    } else if (ch >= 0x80 && ch < 0xA0) {
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(ch));
      out += escape;
    } else {
      out += ui::utf8::Encode(ch);
    }
  }
  return out;
}

}  // namespace quillmont::editor
