#pragma once

#include <cstdint>
#include <span>

// The toolbox bitmaps of the three panel classes, as bitmap files
// (16 x 15 pixels, 16 colours), by resource id.
namespace quillmont::library {

inline constexpr int kBitmapWidth = 16;
inline constexpr int kBitmapHeight = 15;

// Empty for an id that names no bitmap.
std::span<const unsigned char> ToolboxBitmap(std::int32_t id);

}  // namespace quillmont::library
