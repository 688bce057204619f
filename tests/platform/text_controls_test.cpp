#include <gtest/gtest.h>

#include <clocale>
#include <cwchar>
#include <string>
#include <tuple>
#include <vector>

#include "quillmont/platform/error.h"
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
  // Every code point is written as what reads back as itself; a surrogate or
  // one past U+10FFFF is no character.
  for (char32_t cp = 0; cp <= 0x110000; ++cp) {
    const bool character = cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    ASSERT_EQ(utf8::Decode(utf8::Encode(cp)), std::u32string(1, character ? cp : 0xFFFD)) << static_cast<unsigned>(cp);
  }
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

// A panel with one control of each kind that takes keys.
struct TextPanel {
  UserControl panel{"ucTest"};
  std::shared_ptr<TextBox> box = panel.Add<TextBox>("txtAddress");
  std::shared_ptr<ComboBox> combo = panel.Add<ComboBox>("cboVersion");
  std::shared_ptr<ListView> list = panel.Add<ListView>("lvwRows");
  std::shared_ptr<CommandButton> button = panel.Add<CommandButton>("cmdAdd", "&Add");
  Driver driver{panel};
  std::vector<std::string> changes;  // the text at each Change
  int comboClicks = 0, buttonClicks = 0, selectionChanges = 0;

  TextPanel() {
    box->Change.Connect([this] { changes.push_back(box->Text()); });
    for (const char* item : {"one", "two", "three", "four", "five"}) {
      combo->AddItem(item);
      list->AppendViewRow({item});
    }
    list->SetPageRows(2);
    combo->Click.Connect([this] { ++comboClicks; });
    button->Click.Connect([this] { ++buttonClicks; });
    list->SelectionChanged.Connect([this] { ++selectionChanges; });
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

// From a caret or selection (start, length) in "aé€b", one key or typed
// character: the text ("=" for "aé€b"), caret, selection length and changes
// after it.
TEST(TextBox, EditingKeysActOnWholeCharacters) {
  using namespace keys;
  constexpr int T = 0x200000;
  // key from T on: the character key - T typed
  std::vector<std::tuple<std::size_t, std::size_t, int, int, const char*>> cases = {
      {1, 0, Delete, 0, "a\u20ACb 1 0 1"}, {4, 0, Delete, 0, "= 4 0 0"},
      {1, 2, Delete, 0, "ab 1 0 1"},       {2, 0, Back, 0, "a\u20ACb 1 0 1"},
      {0, 0, Back, 0, "= 0 0 0"},          {1, 2, Back, 0, "ab 1 0 1"},
      {2, 0, Left, 0, "= 1 0 0"},          {0, 0, Left, 0, "= 0 0 0"},
      {1, 2, Left, 0, "= 1 0 0"},          {2, 0, Right, 0, "= 3 0 0"},
      {4, 0, Right, 0, "= 4 0 0"},         {1, 2, Right, 0, "= 3 0 0"},
      {2, 1, Home, 0, "= 0 0 0"},          {1, 1, End, 0, "= 4 0 0"},
      {1, 1, 'A', shift::Ctrl, "= 0 4 0"}, {1, 1, 'A', 0, "= 1 1 0"},
      {1, 0, Return, 0, "= 1 0 0"},        {1, 2, T + 'x', 0, "axb 2 0 1"},
      {1, 0, T + 0x7F, 0, "= 1 0 0"},      {1, 0, T + 0x1F, 0, "= 1 0 0"},
      {0, 0, T + ' ', 0, " = 1 0 1"},      {4, 0, T + 0x20AC, 0, "=\u20AC 5 0 1"},
  };
  for (const auto& [start, length, key, mods, after] : cases) {
    TextPanel p;
    p.box->SetText("a\u00E9\u20ACb");
    p.driver.Focus(*p.box);
    p.box->SetSelection(start, length);
    p.changes.clear();
    key < T ? p.driver.PressKey(key, mods) : p.driver.TypeCharacter(static_cast<char32_t>(key - T));
    std::string text = p.box->Text();
    if (const auto at = text.find("a\u00E9\u20ACb"); at != std::string::npos) text.replace(at, 7, "=");
    EXPECT_EQ(text + " " + std::to_string(p.box->SelStart()) + " " + std::to_string(p.box->SelLength()) + " " +
                  std::to_string(p.changes.size()),
              after)
        << key << " at " << start;
  }
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

// From a chosen item / selected row (-1: none), a key chooses the item and
// selects the row; the list, two rows high and showing rows 2 and 3 before
// the click, scrolls as little as keeps that row in view.
TEST(Keys, MoveAComboAndAListByTheirSteps) {
  struct Case {
    int key, from, combo, row, top;
  };
  const std::vector<Case> cases = {
      {keys::Down, -1, 0, 0, 0},  {keys::Down, 1, 2, 2, 1},     {keys::Down, 4, 4, 4, 3},
      {keys::Up, -1, 0, 0, 0},    {keys::Up, 3, 2, 2, 2},       {keys::Up, 2, 1, 1, 1},
      {keys::Up, 0, 0, 0, 0},     {keys::Home, 3, 0, 0, 0},     {keys::End, 1, 4, 4, 3},
      {keys::End, 4, 4, 4, 3},    {keys::PageDown, 1, 1, 3, 2}, {keys::PageDown, 3, 3, 4, 3},
      {keys::PageUp, 3, 3, 1, 1}, {keys::PageUp, 1, 1, 0, 0},   {keys::Left, 2, 2, 2, 2},
  };
  for (const Case& c : cases) {
    const std::string label = "key " + std::to_string(c.key) + " from " + std::to_string(c.from);
    TextPanel p;
    p.combo->SetListIndex(c.from);
    p.comboClicks = 0;
    p.driver.Focus(*p.combo);
    p.driver.PressKey(c.key);
    EXPECT_EQ(p.combo->ListIndex(), c.combo) << label;
    EXPECT_EQ(p.comboClicks, c.combo != c.from ? 1 : 0) << label;  // a key that moves nothing clicks nothing

    p.list->SetTopRow(2);
    if (c.from >= 0) p.driver.ClickRow(*p.list, c.from);
    p.driver.Focus(*p.list);
    p.selectionChanges = 0;
    p.driver.PressKey(c.key);
    EXPECT_EQ(p.list->SelectedRows(), std::vector<int>{c.row}) << label;
    EXPECT_EQ(p.list->CaretRow(), c.row) << label;
    EXPECT_EQ(p.list->TopRow(), c.top) << label;
    EXPECT_EQ(p.selectionChanges, c.row != c.from ? 1 : 0) << label;
  }
}

// Alt+letter presses a button, or hands the focus from a label to the next
// control that takes it; "&&" is a literal ampersand.
TEST(Keys, AccessKeysPressButtonsAndFocusWhatFollowsALabel) {
  TextPanel p;
  auto label = p.panel.Add<Label>("lblNotes", "R&&D &notes");
  auto notes = p.panel.Add<TextBox>("txtNotes");
  for (const auto& [caption, key] : std::vector<std::pair<std::string, char>>{
           {"&add", 'A'}, {"R&&D", 0}, {"R&&&D", 'D'}, {"Save&", 0}, {"&&", 0}, {"", 0}}) {
    p.button->SetCaption(caption);
    EXPECT_EQ(p.button->AccessKey(), key) << caption;
  }
  p.button->SetCaption("&Add");
  p.driver.Focus(*p.box);
  EXPECT_TRUE(p.driver.AccessKey('n'));
  EXPECT_EQ(p.panel.ActiveControl(), notes.get());
  EXPECT_FALSE(p.driver.AccessKey('d'));
  EXPECT_TRUE(p.driver.AccessKey('a'));
  EXPECT_EQ(p.panel.ActiveControl(), p.button.get());
  EXPECT_EQ(p.buttonClicks, 1);
  notes->SetEnabled(false);  // nothing after the label takes the focus
  EXPECT_FALSE(p.driver.AccessKey('N'));
  EXPECT_EQ(p.panel.ActiveControl(), p.button.get());
}

// A multi-select list through a run of gestures (row -1: a click on no row):
// the rows selected, the caret, the first row shown (two at a time) and the
// SelectionChanged count after each.
TEST(Keys, AMultiSelectListExtendsWithShiftAndTogglesWithCtrl) {
  TextPanel p;
  p.list->SetMultiSelect(true);
  using namespace keys;
  enum Gesture { Click, Press, Popup, Remove, Single };
  const int S = shift::Shift, C = shift::Ctrl;
  std::vector<std::tuple<Gesture, int, int, const char*>> steps = {
      {Click, 1, 0, "1|1 0 1"},       {Click, 3, S, "123|3 0 1"},        {Click, 0, S, "01|0 0 1"},
      {Click, 3, C, "013|3 0 1"},     {Click, 4, S | C, "0134|4 0 1"},   {Click, 0, C, "134|0 0 1"},
      {Press, Down, C, "134|1 0 0"},  {Press, Down, C, "134|2 1 0"},     {Press, Space, 0, "1234|2 1 1"},
      {Press, Space, 0, "134|2 1 1"}, {Press, Down, S, "23|3 2 1"},      {Press, End, S, "234|4 3 1"},
      {Press, Home, 0, "0|0 0 1"},    {Press, PageDown, S, "012|2 1 1"}, {Popup, 3, 0, "3|3 2 1"},
      {Click, 4, C, "34|4 2 1"},      {Press, PageUp, C, "34|2 2 0"},    {Popup, 3, 0, "34|2 2 0"},
      {Popup, -1, 0, "34|2 2 0"},     {Remove, 1, 0, "23|1 2 0"},        {Remove, 3, 0, "2|1 2 1"},
      {Click, -1, 0, "|1 2 1"},       {Single, 0, S, "0|0 0 1"},         {Single, 2, C, "2|2 1 1"},
  };
  int menus = 0;
  p.list->ContextMenu.Connect([&menus](float, float) { ++menus; });
  for (const auto& [gesture, arg, mods, after] : steps) {
    p.selectionChanges = 0;
    if (gesture == Single) p.list->SetMultiSelect(false);
    if (gesture == Click || gesture == Single)
      arg < 0 ? p.driver.SelectRows(*p.list, {}) : p.driver.ClickRow(*p.list, arg, mods);
    if (gesture == Press) p.driver.PressKey(arg, mods);
    if (gesture == Popup) p.driver.ContextMenu(*p.list, arg);
    if (gesture == Remove) p.list->RemoveViewRows({arg});
    std::string rows;
    for (int r : p.list->SelectedRows()) rows += std::to_string(r);
    EXPECT_EQ(rows + "|" + std::to_string(p.list->CaretRow()) + " " + std::to_string(p.list->TopRow()) + " " +
                  std::to_string(p.selectionChanges),
              after)
        << gesture << " " << arg << " " << mods;
  }
  EXPECT_EQ(menus, 3);
}

TEST(Keys, TheLastRowAButtonAndAControlsOwnKeyDown) {
  TextPanel p;
  EXPECT_THROW(p.list->RowCells(5), Error);  // past the last row
  p.list->SetTopRow(99);
  EXPECT_EQ(p.list->TopRow(), 4);
  p.list->SetTopRow(-1);
  EXPECT_EQ(p.list->TopRow(), 0);

  // The last row goes while it has the caret and is shown first: the new last
  // row takes both, and Space selects it.
  p.driver.ClickRow(*p.list, 4);
  p.list->SetTopRow(4);
  p.list->RemoveViewRows({4});
  EXPECT_EQ(p.list->CaretRow(), 3);
  EXPECT_EQ(p.list->TopRow(), 3);
  EXPECT_TRUE(p.list->SelectedRows().empty());
  p.driver.Focus(*p.list);
  p.driver.PressKey(keys::Space);
  EXPECT_EQ(p.list->SelectedRows(), std::vector<int>{3});

  // Return and Space press a button.
  p.driver.Focus(*p.button);
  for (int key : {keys::Return, keys::Space, keys::Escape, keys::Down}) p.driver.PressKey(key);
  EXPECT_EQ(p.buttonClicks, 2);

  // Handlers of the list's own KeyDown and KeyUp see each key (a typed letter
  // as its key) and KeyDown may take it away.
  std::vector<int> seen;
  p.list->KeyDown.Connect([&seen](KeyEventArgs& e) {
    seen.push_back(e.KeyCode);
    if (e.KeyCode == keys::End) e.KeyCode = 0;
  });
  p.list->KeyUp.Connect([&seen](KeyEventArgs& e) { seen.push_back(-e.KeyCode); });
  p.driver.Focus(*p.list);
  p.driver.PressKey(keys::Up);
  p.driver.PressKey(keys::End);
  p.driver.Type("az");
  EXPECT_EQ(seen, (std::vector<int>{keys::Up, -keys::Up, keys::End, -keys::End, 'A', -'A', 'Z', -'Z'}));
  EXPECT_EQ(p.list->SelectedRows(), std::vector<int>{2});
}

}  // namespace
}  // namespace quillmont::ui
