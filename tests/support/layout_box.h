#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "quillmont/platform/ui/control.h"

namespace quillmont::testing {

// Where a control sits and how large it is. The panels' layout figures are
// exact in float, so boxes compare exactly.
struct Box {
  float left, top, width, height;
  friend bool operator==(const Box&, const Box&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << "{" << b.left << ", " << b.top << ", " << b.width << ", " << b.height << "}";
  }
};

inline Box BoxOf(const ui::Control& c) { return {c.Left(), c.Top(), c.Width(), c.Height()}; }

// A control by name with the box it should have.
struct Placed {
  const char* name;
  Box box;
};

// The one layout check: each named control of the panel has its box.
inline void ExpectBoxes(const ui::Container& panel, const std::vector<Placed>& expected) {
  for (const auto& p : expected) {
    const ui::Control* c = panel.Name() == p.name ? &panel : panel.Find(p.name);
    ASSERT_NE(c, nullptr) << p.name;
    EXPECT_EQ(BoxOf(*c), p.box) << p.name;
  }
}

}  // namespace quillmont::testing
