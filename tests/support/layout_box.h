#pragma once

#include <ostream>

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

}  // namespace quillmont::testing
