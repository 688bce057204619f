#pragma once

// Text that came from a file, a database or another program is shown on a
// terminal only through these helpers, so that a stored name cannot move the
// cursor, retitle the window or reverse the reading order. Header-only: the
// host-side loader and the tools use it without linking the library.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmont::text {

// Bidirectional formatting characters: they reorder what follows them.
inline bool IsBidiControl(char32_t c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Control characters a terminal acts upon: C0, DEL, C1.
inline bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

namespace detail {

inline void AppendHex(std::string& out, std::uint32_t value, int digits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 0xF];
}

// The code point starting at text[i] and its length in bytes; length 0 for a
// malformed sequence (overlong, surrogate, cut off, out of range).
inline std::size_t DecodeOne(std::string_view text, std::size_t i, char32_t& c) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  if (b0 < 0x80) {
    c = b0;
    return 1;
  }
  std::size_t length = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    length = 2, c = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3, c = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 4, c = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

}  // namespace detail

// The text with every control character, DEL, C1 control and bidirectional
// control written out: "\x1b" for a byte below 0x80, "\u202e" for a
// character above; a byte that is not part of valid UTF-8 as "\x9b" (some
// terminals read a lone 0x9B as a control sequence introducer).
inline std::string ForTerminal(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t c = 0;
    const std::size_t length = detail::DecodeOne(text, i, c);
    if (length == 0) {
      out += "\\x";
      detail::AppendHex(out, static_cast<unsigned char>(text[i]), 2);
      ++i;
      continue;
    }
    if (IsControl(c) || IsBidiControl(c)) {
      out += c < 0x80 ? "\\x" : "\\u";
      detail::AppendHex(out, static_cast<std::uint32_t>(c), c < 0x80 ? 2 : 4);
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

// At most maxBytes of text (for a maxBytes of 40 or more), cut at a
// character boundary and ending in "... (N bytes)" when something was cut:
// error texts that quote input stay readable however long the input was.
inline std::string Shortened(std::string_view text, std::size_t maxBytes = 200) {
  if (text.size() <= maxBytes) return std::string(text);
  const std::string tail = "... (" + std::to_string(text.size()) + " bytes)";
  std::size_t end = maxBytes > tail.size() ? maxBytes - tail.size() : 0;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end)) + tail;
}

}  // namespace quillmont::text
