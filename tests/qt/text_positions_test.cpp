#include "adapters/qt/text_positions.h"

#include <gtest/gtest.h>

#include <vector>

#include "quillmont/storage/utf8.h"

namespace quillmont::qt {
namespace {

// Each character position of the panel as Qt counts it, and back: a
// multi-line box shows CR LF as one break, a character past U+FFFF takes two
// UTF-16 units, and a lone CR or a single-line box keeps every character.
TEST(TextPositions, CaretsAndLineBreaksReadTheSameOnBothSides) {
  struct Case {
    const char* text;
    bool multiLine;
    std::vector<int> qt;  // of each panel position 0..characters
    const char* shown;
  } const cases[] = {
      {"ab\r\ncd", true, {0, 1, 2, 2, 3, 4, 5}, "ab\ncd"},
      {"ab\r\ncd", false, {0, 1, 2, 3, 4, 5, 6}, "ab\r\ncd"},
      {"\r\n\r\n", true, {0, 0, 1, 1, 2}, "\n\n"},
      {"a\rb\r", true, {0, 1, 2, 3, 4}, "a\rb\r"},
      {"a\xF0\x9F\x98\x80\r\n\xC3\xA9", true, {0, 1, 3, 3, 4, 5}, "a\xF0\x9F\x98\x80\n\xC3\xA9"},
  };
  for (const auto& c : cases) {
    const std::u32string text = utf8::Decode(c.text);
    for (std::size_t p = 0; p < c.qt.size(); ++p) {
      EXPECT_EQ(QtPosition(text, p, c.multiLine), c.qt[p]) << ::testing::PrintToString(c.text) << " at " << p;
      // Back to the panel: a position between CR and LF comes back before the break.
      const bool insideBreak = p > 0 && c.qt[p - 1] == c.qt[p];
      EXPECT_EQ(PanelPosition(text, c.qt[p], c.multiLine), insideBreak ? p - 1 : p)
          << ::testing::PrintToString(c.text) << " at " << p;
    }
    EXPECT_EQ(QtPosition(text, 99, c.multiLine), c.qt.back());
    EXPECT_EQ(PanelPosition(text, 99, c.multiLine), c.qt.size() - 1);
    EXPECT_EQ(Shown(c.text, c.multiLine).toStdString(), c.shown);
  }
}

}  // namespace
}  // namespace quillmont::qt
