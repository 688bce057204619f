#pragma once

#include <optional>
#include <string>
#include <string_view>

// The rules the panels check input against, written afresh for the tests so
// that a fault in the library's own validators shows up as a disagreement.
namespace quillmont::testing {

inline std::string TrimBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A port as the user may type it: blanks around decimal digits, 1..65535.
inline std::optional<int> PortOf(const std::string& text) {
  const std::string core = TrimBlanks(text);
  if (core.empty()) return std::nullopt;
  long value = 0;
  for (char c : core) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 65535) return std::nullopt;
  }
  if (value < 1) return std::nullopt;
  return static_cast<int>(value);
}

// A plain address: name@domain, the name of letters, digits and the marks
// allowed there, the domain of dot-separated labels of letters, digits and
// inner hyphens, with the usual length limits.
inline bool IsPlainAddress(std::string_view text) {
  static constexpr std::string_view kNameMarks = "!#$%&'*+-/=?^_`{|}~.";
  auto letterOrDigit = [](char c) { return ('0' <= c && c <= '9') || ('a' <= (c | 0x20) && (c | 0x20) <= 'z'); };
  const auto at = text.find('@');
  if (at == std::string_view::npos || at < 1 || at > 64 || text.size() > 254) return false;
  for (char c : text.substr(0, at))
    if (!letterOrDigit(c) && kNameMarks.find(c) == std::string_view::npos) return false;
  std::size_t labelLength = 0;
  char previous = '.';
  for (char c : text.substr(at + 1)) {
    if (c == '.') {
      if (labelLength == 0 || previous == '-') return false;
      labelLength = 0;
    } else if (letterOrDigit(c) || (c == '-' && labelLength > 0)) {
      if (++labelLength > 63) return false;
    } else {
      return false;
    }
    previous = c;
  }
  return labelLength > 0 && previous != '-';
}

}  // namespace quillmont::testing
