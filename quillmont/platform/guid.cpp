#include "quillmont/platform/guid.h"

#include "quillmont/platform/error.h"

namespace quillmont {

std::optional<Guid> Guid::TryParse(std::string_view text) {
  if (auto bytes = ParseGuidBytes(text)) return Guid(*bytes);
  return std::nullopt;
}

Guid Guid::Parse(std::string_view text) {
  if (auto g = TryParse(text)) return *g;
  throw Error(ErrorCode::InvalidPropertyValue, "Not a GUID: " + std::string(text));
}

std::string Guid::ToString() const { return FormatGuidBytes(bytes_); }

bool Guid::IsNull() const noexcept {
  for (auto b : bytes_)
    if (b != 0) return false;
  return true;
}

}  // namespace quillmont
