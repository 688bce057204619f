#include "quillmont/library/bitmaps.h"

#include <array>
#include <cstddef>

namespace quillmont::library {
namespace {

// One hex digit per pixel, an index into the 16-colour palette below; the
// top row first. 7 (silver) is the toolbox's own background.
using Picture = std::array<const char*, kBitmapHeight>;

// XEventEmailTab: an envelope.
constexpr Picture kEmail = {
    "7777777777777777", "7777777777777777", "7000000000000007", "70FFFFFFFFFFFF07", "700FFFFFFFFFF007",
    "70F0FFFFFFFF0F07", "70FF0FFFFFF0FF07", "70FFF0FFFF0FFF07", "70FFFF0000FFFF07", "70FFF0FFFF0FFF07",
    "70FF0FFFFFF0FF07", "70F0FFFFFFFF0F07", "700FFFFFFFFFF007", "7000000000000007", "7777777777777777",
};

// XEventsTab: a list of event types, each with its group's colour.
constexpr Picture kEvents = {
    "7777777777777777", "7000000000000007", "70FFFFFFFFFFFF07", "70F99FF000000F07", "70FFFFFFFFFFFF07",
    "70FAAFF000000F07", "70FFFFFFFFFFFF07", "70FCCFF000000F07", "70FFFFFFFFFFFF07", "70FBBFF000000F07",
    "70FFFFFFFFFFFF07", "70F44FF000000F07", "70FFFFFFFFFFFF07", "7000000000000007", "7777777777777777",
};

// XEventSNMPTab: a managing station on a network.
constexpr Picture kSnmp = {
    "7777777777777777", "7700000000000077", "770CCCCCCCCCC077", "770CEEEEEEEEC077", "770CEEEEEEEEC077",
    "770CEEEEEEEEC077", "770CCCCCCCCCC077", "7700000000000077", "7777770000777777", "7777777007777777",
    "7000000000000007", "7077777007777707", "7077777007777707", "7000077007700007", "7000077777700007",
};

// The 16 standard colours as red, green, blue.
constexpr std::array<std::array<unsigned char, 3>, 16> kPalette = {{
    {0x00, 0x00, 0x00},
    {0x80, 0x00, 0x00},
    {0x00, 0x80, 0x00},
    {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80},
    {0x80, 0x00, 0x80},
    {0x00, 0x80, 0x80},
    {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80},
    {0xFF, 0x00, 0x00},
    {0x00, 0xFF, 0x00},
    {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF},
    {0xFF, 0x00, 0xFF},
    {0x00, 0xFF, 0xFF},
    {0xFF, 0xFF, 0xFF},
}};

constexpr std::size_t kRowBytes = kBitmapWidth / 2;  // 4 bits a pixel; already a multiple of 4
constexpr std::size_t kPixelOffset = 14 + 40 + 16 * 4;
constexpr std::size_t kFileSize = kPixelOffset + kRowBytes * kBitmapHeight;

using BitmapFile = std::array<unsigned char, kFileSize>;

constexpr int Nibble(char c) { return c >= '0' && c <= '9' ? c - '0' : c - 'A' + 10; }

constexpr void Put(BitmapFile& f, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) f[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
}

constexpr BitmapFile Encode(const Picture& picture) {
  BitmapFile f{};
  f[0] = 'B';
  f[1] = 'M';
  Put(f, 2, kFileSize, 4);
  Put(f, 10, kPixelOffset, 4);
  Put(f, 14, 40, 4);             // header size
  Put(f, 18, kBitmapWidth, 4);   // width
  Put(f, 22, kBitmapHeight, 4);  // height: positive, rows bottom-up
  Put(f, 26, 1, 2);              // planes
  Put(f, 28, 4, 2);              // bits per pixel
  Put(f, 34, kRowBytes * kBitmapHeight, 4);
  Put(f, 46, 16, 4);  // colours used
  for (std::size_t i = 0; i < kPalette.size(); ++i) {
    const std::size_t at = 54 + i * 4;
    f[at] = kPalette[i][2];
    f[at + 1] = kPalette[i][1];
    f[at + 2] = kPalette[i][0];
  }
  for (int row = 0; row < kBitmapHeight; ++row) {
    const char* line = picture[static_cast<std::size_t>(kBitmapHeight - 1 - row)];
    for (int x = 0; x < kBitmapWidth; x += 2) {
      f[kPixelOffset + static_cast<std::size_t>(row) * kRowBytes + static_cast<std::size_t>(x / 2)] =
          static_cast<unsigned char>(Nibble(line[x]) << 4 | Nibble(line[x + 1]));
    }
  }
  return f;
}

constexpr BitmapFile kEmailFile = Encode(kEmail);
constexpr BitmapFile kEventsFile = Encode(kEvents);
constexpr BitmapFile kSnmpFile = Encode(kSnmp);

}  // namespace

std::span<const unsigned char> ToolboxBitmap(std::int32_t id) {
  switch (id) {
    case 30000:
      return kEmailFile;
    case 30001:
      return kEventsFile;
    case 30002:
      return kSnmpFile;
    default:
      return {};
  }
}

}  // namespace quillmont::library
