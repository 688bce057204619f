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
