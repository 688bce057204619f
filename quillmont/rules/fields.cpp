#include "quillmont/rules/fields.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "quillmont/platform/error.h"
#include "quillmont/storage/utf8.h"

namespace quillmont::rules {
namespace {

constexpr std::size_t kMaxLocalPart = 64;
constexpr std::size_t kMaxAddress = 254;
constexpr std::size_t kMaxLabel = 63;

bool IsAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool IsLocalChar(char c) {
  if (IsAlnum(c)) return true;
  static constexpr std::string_view kSpecials = ".!#$%&'*+-/=?^_`{|}~";
  return kSpecials.find(c) != std::string_view::npos;
}

bool IsValidLabel(std::string_view label) {
  if (label.empty() || label.size() > kMaxLabel) return false;
  if (!IsAlnum(label.front()) || !IsAlnum(label.back())) return false;
  return std::all_of(label.begin(), label.end(), [](char c) { return IsAlnum(c) || c == '-'; });
}

}  // namespace

std::string CheckedName(const std::string& name) {
  const auto first = name.find_first_not_of(" \t");
  std::string trimmed =
      first == std::string::npos ? std::string() : name.substr(first, name.find_last_not_of(" \t") - first + 1);
  if (trimmed.empty()) throw Error(ErrorCode::InvalidPropertyValue, "Please enter a name for the notification.");
  if (utf8::CharCount(trimmed) > kMaxNameLength)
    throw Error(ErrorCode::InvalidPropertyValue,
                "A notification name may have at most " + std::to_string(kMaxNameLength) + " characters.");
  if (HasAsciiControl(trimmed))
    throw Error(ErrorCode::InvalidPropertyValue, "A notification name cannot contain control characters.");
  return trimmed;
}

bool IsOid(std::string_view text) {
  std::uint64_t first = 0;
  int arcs = 0;
  for (std::size_t start = 0;; ++arcs) {
    const std::size_t end = std::min(text.find('.', start), text.size());
    const std::string_view arc = text.substr(start, end - start);
    std::uint64_t value = 0;
    const auto [last, ec] = std::from_chars(arc.data(), arc.data() + arc.size(), value);
    if (arc.empty() || ec != std::errc() || last != arc.data() + arc.size() || (arc.size() > 1 && arc[0] == '0') ||
        value > 0xFFFFFFFFull || arcs == kMaxOidArcs)
      return false;
    if (arcs == 0 && value > 2) return false;
    if (arcs == 0) first = value;
    if (arcs == 1 && ((first < 2 && value >= 40) || 40 * first + value > 0xFFFFFFFFull)) return false;
    if (end == text.size()) return arcs >= 1;
    start = end + 1;
  }
}

bool IsValidEmailAddressText(std::string_view address) {
  if (address.empty() || address.size() > kMaxAddress) return false;
  const auto at = address.find('@');
  if (at == std::string_view::npos || at == 0 || at > kMaxLocalPart) return false;
  const auto local = address.substr(0, at);
  if (!std::all_of(local.begin(), local.end(), IsLocalChar)) return false;
  auto domain = address.substr(at + 1);  // a second "@" fails the label test
  while (true) {
    const auto dot = domain.find('.');
    if (!IsValidLabel(domain.substr(0, dot))) return false;
    if (dot == std::string_view::npos) return true;
    domain.remove_prefix(dot + 1);
  }
}

}  // namespace quillmont::rules
