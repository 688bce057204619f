#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillmont/platform/ui/controls.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/storage/utf8.h"

namespace quillmont::ui {
namespace {

TEST(Utf8, CountsCutsAndCodesCharactersNotBytes) {
  const std::string text = "h\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80!";  // h é € 😀 !
  EXPECT_EQ(utf8::CharCount(text), 5u);
  EXPECT_EQ(utf8::CharCount(""), 0u);
  EXPECT_EQ(utf8::ByteOffset(text, 0), 0u);
  EXPECT_EQ(utf8::ByteOffset(text, 2), 3u);
  EXPECT_EQ(utf8::ByteOffset(text, 4), 10u);
  EXPECT_EQ(utf8::ByteOffset(text, 99), text.size());
  EXPECT_EQ(utf8::Left(text, 3), "h\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(utf8::Left(text, 0), "");
  EXPECT_EQ(utf8::Left(text, 99), text);
  EXPECT_EQ(utf8::Decode(text), U"h\u00E9\u20AC\U0001F600!");

  for (char32_t cp : {U'A', U'\u00E9', U'\u07FF', U'\u0800', U'\u20AC', U'\U0001F600', U'\U0010FFFF'})
    EXPECT_EQ(utf8::Decode(utf8::Encode(cp)), std::u32string(1, cp)) << static_cast<unsigned>(cp);
  EXPECT_EQ(utf8::Encode(0xD800), "\xEF\xBF\xBD");    // a lone surrogate is no character
  EXPECT_EQ(utf8::Encode(0x110000), "\xEF\xBF\xBD");  // past the last code point
}

TEST(Utf8, MalformedBytesReadAsReplacementCharacters) {
  struct Case {
    std::string bytes;
    std::u32string chars;
  };
  const std::vector<Case> cases = {
      {"\x80", U"\uFFFD"},                                // stray continuation byte
      {"a\xC3", U"a\uFFFD"},                              // cut-off sequence at the end
      {"\xE2\x82x", U"\uFFFD\uFFFDx"},                    // cut-off sequence before ASCII
      {"\xFF\xFE", U"\uFFFD\uFFFD"},                      // bytes that never occur
      {"\xC0\x80", U"\uFFFD\uFFFD"},                      // overlong NUL
      {"\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD"},            // overlong '/'
      {"\xF0\x82\x82\xAC", U"\uFFFD\uFFFD\uFFFD\uFFFD"},  // overlong euro sign
      {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
      {"\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"\xF5\x80\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},  // lead byte past U+10FFFF
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8::Decode(c.bytes), c.chars) << testing::PrintToString(c.bytes);
    // Counting agrees with decoding, so lengths and limits see the same characters.
    EXPECT_EQ(utf8::CharCount(c.bytes), c.chars.size()) << testing::PrintToString(c.bytes);
  }
}

struct TextPanel {
  UserControl panel{"ucTest"};
  std::shared_ptr<TextBox> box = panel.Add<TextBox>("txtAddress");
  Driver driver{panel};
  std::vector<std::string> changes;  // the text at each Change

  TextPanel() {
    box->Change.Connect([this] { changes.push_back(box->Text()); });
  }
};

TEST(TextBox, MaxLengthLimitsTypingAndPastingInCharactersButNotTheProgram) {
  TextPanel p;
  p.box->SetMaxLength(4);
  p.driver.TypeInto(*p.box, "\xC3\xA9t\xC3\xA9s!");  // é t é s !
  EXPECT_EQ(p.box->Text(), "\xC3\xA9t\xC3\xA9s");
  EXPECT_EQ(p.changes.size(), 4u);  // the refused fifth character changed nothing

  p.driver.ClearText();
  p.changes.clear();
  EXPECT_TRUE(
      p.driver.Paste("\xE2\x82\xAC"
                     "12345"));
  EXPECT_EQ(p.box->Text(),
            "\xE2\x82\xAC"
            "123");
  EXPECT_EQ(p.changes.size(), 1u);
  EXPECT_FALSE(p.driver.Paste("x"));  // full: nothing changes
  EXPECT_EQ(p.changes.size(), 1u);

  // Pasting over a selection makes room for what it replaces.
  p.box->SetSelection(1, 2);
  EXPECT_TRUE(p.driver.Paste("abc"));
  EXPECT_EQ(p.box->Text(),
            "\xE2\x82\xAC"
            "ab3");

  // The program is not limited.
  p.box->SetText("far longer than four");
  EXPECT_EQ(p.box->Text(), "far longer than four");
  EXPECT_EQ(p.box->SelStart(), 20u);
  const auto before = p.changes.size();
  p.box->SetText("far longer than four");  // the same text again raises nothing
  EXPECT_EQ(p.changes.size(), before);

  // A single-line field keeps the first line of what is pasted.
  p.box->SetMaxLength(0);
  p.box->SetText("");
  p.driver.Paste("first\r\nsecond");
  EXPECT_EQ(p.box->Text(), "first");
}

TEST(TextBox, MultiLineEnterBreaksTheLineAndALimitNeverSplitsALineBreak) {
  TextPanel p;
  p.box->SetMultiLine(true);
  p.driver.TypeInto(*p.box, "ab");
  p.driver.PressKey(keys::Return);
  p.driver.Type("c");
  EXPECT_EQ(p.box->Text(), "ab\r\nc");

  // With room for one character only, a line break (two characters) is refused whole.
  p.box->SetText("abc");
  p.box->SetMaxLength(4);
  p.changes.clear();
  p.driver.PressKey(keys::Return);
  EXPECT_EQ(p.box->Text(), "abc");
  EXPECT_TRUE(p.changes.empty());
  p.driver.Paste("\r\nx");
  EXPECT_EQ(p.box->Text(), "abc");
  p.driver.Paste("d\r\n");
  EXPECT_EQ(p.box->Text(), "abcd");
}

}  // namespace
}  // namespace quillmont::ui
