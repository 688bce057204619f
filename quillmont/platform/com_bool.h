#pragma once

#include <cstdint>

namespace quillmont {

// Where a Boolean crosses an interface it is the automation Boolean: all bits
// set for true, zero for false.
using ComBool = std::int16_t;
inline constexpr ComBool ComTrue = -1;
inline constexpr ComBool ComFalse = 0;

constexpr ComBool ToComBool(bool value) noexcept { return value ? ComTrue : ComFalse; }
// Any non-zero value reads as true, as the automation runtime reads it.
constexpr bool FromComBool(ComBool value) noexcept { return value != 0; }

}  // namespace quillmont
