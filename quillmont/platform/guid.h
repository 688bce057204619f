#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "quillmont/platform/export.h"

namespace quillmont {

// The text forms of a Guid's bytes. Inline so that code that links no part
// of Quillmont (a host's loader reading the registry file) reads and writes
// identities exactly as the library does.
// Braced or bare, hex digits in either case; nothing for anything else.
inline std::optional<std::array<std::uint8_t, 16>> ParseGuidBytes(std::string_view text) {
  if (text.size() == 38) {
    if (text.front() != '{' || text.back() != '}') return std::nullopt;
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return std::nullopt;
  auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::array<std::uint8_t, 16> bytes{};
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    const int hi = hex(text[i]);
    const int lo = hex(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[out++] = static_cast<std::uint8_t>(hi * 16 + lo);
    i += 2;
  }
  return bytes;
}

// Upper-case braced form.
inline std::string FormatGuidBytes(const std::array<std::uint8_t, 16>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s = "{";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) s += '-';
    s += kDigits[bytes[i] >> 4];
    s += kDigits[bytes[i] & 0x0F];
  }
  return s + '}';
}

// A 128-bit identity in the registry form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
class QUILLMONT_API Guid {
 public:
  constexpr Guid() = default;
  constexpr explicit Guid(const std::array<std::uint8_t, 16>& bytes) : bytes_(bytes) {}

  // Accepts the braced form, and the bare form without braces; hex digits in
  // either case. Returns nothing for anything else.
  static std::optional<Guid> TryParse(std::string_view text);
  // Throws Error(InvalidPropertyValue) when the text is not a Guid.
  static Guid Parse(std::string_view text);

  // Upper-case braced form.
  std::string ToString() const;
  bool IsNull() const noexcept;
  const std::array<std::uint8_t, 16>& Bytes() const noexcept { return bytes_; }

  friend bool operator==(const Guid&, const Guid&) = default;
  friend auto operator<=>(const Guid&, const Guid&) = default;

 private:
  std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace quillmont

template <>
struct std::hash<quillmont::Guid> {
  std::size_t operator()(const quillmont::Guid& g) const noexcept {
    std::size_t h = 1469598103934665603ULL;
    for (auto b : g.Bytes()) h = (h ^ b) * 1099511628211ULL;
    return h;
  }
};
