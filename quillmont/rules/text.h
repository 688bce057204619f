#pragma once

// How every module compares, trims and screens text. Header-only and std
// only: the host-side loader, which links no part of the library, compares
// registry keys with these too.

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmont::rules {

// ASCII letters in lower case; every other byte as it is (UTF-8 text stays
// valid, and no locale is consulted).
constexpr char FoldAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string FoldedAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = FoldAscii(c);
  return out;
}

// ASCII letters in either case are equal; every other byte compares exactly.
constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

// The text without its leading and trailing spaces; tabs and other white
// space are part of what the user typed.
inline std::string Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// C0 controls and DEL: what a name may not hold.
constexpr bool IsAsciiControl(unsigned char c) noexcept { return c < 0x20 || c == 0x7F; }

constexpr bool HasAsciiControl(std::string_view text) noexcept {
  for (unsigned char c : text)
    if (IsAsciiControl(c)) return true;
  return false;
}

// CR or LF: what a mail header, a setting of one line and an SMTP address
// may not hold.
constexpr bool HasLineBreak(std::string_view text) noexcept { return text.find_first_of("\r\n") != text.npos; }

}  // namespace quillmont::rules
