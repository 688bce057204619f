#include "quillmont/storage/utf8.h"

namespace quillmont::utf8 {
namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed sequence that starts at s[i], or 1 for a byte
// that starts none (stray, cut off, overlong, surrogate, past U+10FFFF), so
// that byte reads as one U+FFFD and never as a character it only resembles.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  std::size_t n;
  // The range the second byte must lie in; the later ones are plain
  // continuation bytes.
  unsigned char low = 0x80, high = 0xBF;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;   // below: overlong
    if (c == 0xED) high = 0x9F;  // above: surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;   // below: overlong
    if (c == 0xF4) high = 0x8F;  // above: past U+10FFFF
  } else {
    return 1;
  }
  if (i + n > s.size()) return 1;
  const auto second = static_cast<unsigned char>(s[i + 1]);
  if (second < low || second > high) return 1;
  for (std::size_t k = 2; k < n; ++k)
    if (!IsContinuation(static_cast<unsigned char>(s[i + k]))) return 1;
  return n;
}

}  // namespace

std::size_t CharCount(std::string_view s) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < s.size(); i += SequenceLength(s, i)) ++count;
  return count;
}

std::size_t ByteOffset(std::string_view s, std::size_t charIndex) {
  std::size_t i = 0;
  for (std::size_t c = 0; c < charIndex && i < s.size(); ++c) i += SequenceLength(s, i);
  return i;
}

std::string Left(std::string_view s, std::size_t maxChars) { return std::string(s.substr(0, ByteOffset(s, maxChars))); }

std::string Encode(char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

std::u32string Decode(std::string_view s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = SequenceLength(s, i);
    const auto c = static_cast<unsigned char>(s[i]);
    char32_t cp;
    if (n == 1) {
      cp = c < 0x80 ? c : 0xFFFD;
    } else {
      cp = c & (0x7F >> n);
      for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    out += cp;
    i += n;
  }
  return out;
}

}  // namespace quillmont::utf8
