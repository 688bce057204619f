#include <gtest/gtest.h>
#include <malloc.h>

#include <string>

#include "quillmont/controls/selector.h"

namespace quillmont {
namespace {

std::size_t HeapBytes() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// A filter change drops a whole fill: refilling again and again keeps the
// storage of about one fill, not of every fill so far.
TEST(SelectorStorage, RefillsDoNotPileUpStorage) {
  Selector x("xEvents");
  const auto fill = [&x] {
    x.ClearAvailable();
    for (int i = 0; i < 20000; ++i)
      x.AddAvailable("Event type " + std::to_string(i), "K" + std::to_string(i))->SetSubItem(1, "Group");
    x.EndFill();
  };
  for (int i = 0; i < 4; ++i) fill();
  const std::size_t settled = HeapBytes();
  for (int i = 0; i < 20; ++i) fill();
  EXPECT_LT(HeapBytes(), settled + (std::size_t{1} << 20));
  EXPECT_EQ(x.AvailableItems()->Item(20000)->SubItem(1), "Group");
}

}  // namespace
}  // namespace quillmont
