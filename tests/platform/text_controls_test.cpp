#include <gtest/gtest.h>

#include <clocale>
#include <cwchar>
#include <string>
#include <vector>

#include "quillmont/platform/ui/controls.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/storage/utf8.h"

namespace quillmont::ui {
namespace {

TEST(Utf8, CountsAndCutsCharactersNotBytes) {
  const std::string text = "h\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80!";  // h é € 😀 !
  EXPECT_EQ(utf8::CharCount(text), 5u);
  EXPECT_EQ(utf8::ByteOffset(text, 4), 10u);
  EXPECT_EQ(utf8::ByteOffset(text, 99), text.size());
  EXPECT_EQ(utf8::Left(text, 3), "h\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(utf8::Left(text, 99), text);
  EXPECT_EQ(utf8::Encode(0xD800), "\xEF\xBF\xBD");    // a lone surrogate is no character
  EXPECT_EQ(utf8::Encode(0x110000), "\xEF\xBF\xBD");  // past the last code point
}

// Every lead byte with every second byte, and the continuation bytes' edges
// after it, read as the C library reads them, except that code points past
// U+10FFFF (which it takes) are no characters; each character read is
// written back as the same bytes.
TEST(Utf8, DecodesEachByteSequenceAsTheCLibraryDoes) {
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  const unsigned char later[] = {0x00, 0x7F, 0x80, 0xBF, 0xC0};
  std::string s(4, '\0');
  for (int lead = 0; lead < 256; ++lead)
    for (int second = 0; second < 256; ++second)
      for (unsigned char third : later)
        for (unsigned char fourth : later) {
          s = {static_cast<char>(lead), static_cast<char>(second), static_cast<char>(third), static_cast<char>(fourth)};
          std::mbstate_t state{};
          wchar_t wc = 0;
          std::size_t n = std::mbrtowc(&wc, s.data(), s.size(), &state);
          const bool valid = n <= 4 && static_cast<char32_t>(wc) <= 0x10FFFF;
          if (!valid || n == 0) n = 1;  // (0: NUL)
          if (!valid) wc = 0xFFFD;
          ASSERT_TRUE(!valid || utf8::Encode(static_cast<char32_t>(wc)) == s.substr(0, n)) << testing::PrintToString(s);
          // The first character, then the rest read afresh.
          const std::u32string expected = static_cast<char32_t>(wc) + utf8::Decode(s.substr(n));
          ASSERT_EQ(utf8::Decode(s), expected) << testing::PrintToString(s);
          ASSERT_EQ(utf8::CharCount(s), expected.size()) << testing::PrintToString(s);
          ASSERT_EQ(utf8::ByteOffset(s, 1), n) << testing::PrintToString(s);
        }
  std::setlocale(LC_CTYPE, "C");
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
