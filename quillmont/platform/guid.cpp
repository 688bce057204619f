#include "quillmont/platform/guid.h"

#include "quillmont/platform/error.h"

namespace quillmont {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<Guid> Guid::TryParse(std::string_view text) {
  if (text.size() == 38) {
    if (text.front() != '{' || text.back() != '}') return std::nullopt;
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return std::nullopt;
  std::array<std::uint8_t, 16> bytes{};
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    const int hi = HexValue(text[i]);
    const int lo = HexValue(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[out++] = static_cast<std::uint8_t>(hi * 16 + lo);
    i += 2;
  }
  return Guid(bytes);
}

Guid Guid::Parse(std::string_view text) {
  if (auto g = TryParse(text)) return *g;
  throw Error(ErrorCode::InvalidPropertyValue, "Not a GUID: " + std::string(text));
}

std::string Guid::ToString() const {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s = "{";
  for (std::size_t i = 0; i < bytes_.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) s += '-';
    s += kDigits[bytes_[i] >> 4];
    s += kDigits[bytes_[i] & 0x0F];
  }
  s += '}';
  return s;
}

bool Guid::IsNull() const noexcept {
  for (auto b : bytes_)
    if (b != 0) return false;
  return true;
}

}  // namespace quillmont
