#include <gtest/gtest.h>

#include <clocale>
#include <cwchar>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/controls.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/storage/utf8.h"

namespace quillmont::ui {
namespace {

TEST(Utf8, CountsAndCutsCharactersNotBytes) {
  const std::string text = "h\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80!";  // h é € 😀 !
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

// The gestures of tests/platform/gestures.txt, each line against the state
// it gives there.
TEST(Keys, GesturesMoveEditAndSelectAsScripted) {
  using namespace keys;
  const std::map<std::string, int> names = {
      {"Delete", Delete}, {"Back", Back},     {"Left", Left},     {"Right", Right},   {"Up", Up},
      {"Down", Down},     {"Home", Home},     {"End", End},       {"PageUp", PageUp}, {"PageDown", PageDown},
      {"Space", Space},   {"Return", Return}, {"Escape", Escape}, {"A", 'A'},         {"Tab", Tab}};
  const std::map<std::string, int> mods = {
      {"", 0}, {"Shift", shift::Shift}, {"Ctrl", shift::Ctrl}, {"Shift+Ctrl", shift::Shift | shift::Ctrl}};
  const std::string text = "a\u00E9\u20ACb";
  std::ifstream file(QM_PLATFORM_DIR "/gestures.txt");
  ASSERT_TRUE(file);
  std::unique_ptr<TextPanel> p;
  std::shared_ptr<TextBox> notes;
  std::string line;
  for (int n = 1; std::getline(file, line); ++n) {
    if (line.empty() || line[0] == '#') continue;
    const auto arrow = line.find(" => ");
    std::istringstream gestures(line.substr(0, arrow));
    for (std::string gesture; std::getline(gestures >> std::ws, gesture, ';');) {
      std::istringstream in(gesture);
      std::string verb, rest, a, b;
      std::getline(in >> verb >> std::ws, rest);
      std::istringstream(rest) >> a >> b;
      for (std::size_t at; (at = rest.find("\\n")) != std::string::npos;) rest.replace(at, 2, "\r\n");
      const int row = a == "none" ? -1 : std::atoi(a.c_str());
      if (verb == "panel") p = std::make_unique<TextPanel>(), p->list->SetMultiSelect(a == "multi");
      p->changes.clear(), p->selectionChanges = p->buttonClicks = p->comboClicks = 0;  // what each gesture raises
      for (ui::Control* c : p->panel.TabOrder())
        if (verb == "focus" && c->Name() == a) p->driver.Focus(*c);
      if (verb == "label") p->panel.Add<Label>("lblNotes", rest), notes = p->panel.Add<TextBox>("txtNotes");
      if (verb == "disable") notes->SetEnabled(false);
      if (verb == "caption") p->button->SetCaption(rest);
      if (verb == "alt") p->driver.AccessKey(a[0]);
      if (verb == "set") p->box->SetText(rest);
      if (verb == "select") p->box->SetSelection(row, std::stoul(b));
      if (verb == "max") p->box->SetMaxLength(row);
      if (verb == "multiline") p->box->SetMultiLine(true);
      if (verb == "keys") p->driver.Type(rest);
      if (verb == "paste") p->driver.Paste(rest);
      if (verb == "clear") p->driver.ClearText();
      if (verb == "index") p->combo->SetListIndex(row);
      if (verb == "choose") p->combo->SetText(rest);
      if (verb == "top") p->list->SetTopRow(row);
      if (verb == "single") p->list->SetMultiSelect(false);
      if (verb == "click") row < 0 ? p->driver.SelectRows(*p->list, {}) : p->driver.ClickRow(*p->list, row, mods.at(b));
      if (verb == "menu") p->driver.ContextMenu(*p->list, row);
      if (verb == "remove") p->list->RemoveViewRows({row});
      if (verb == "press") p->driver.PressKey(names.at(a), mods.at(b));
      if (verb == "type") p->driver.TypeCharacter(static_cast<char32_t>(std::stoul(a, nullptr, 16)));
    }
    if (arrow == std::string::npos) continue;
    std::string state;
    if (p->box->HasFocus()) {
      state = p->box->Text();
      if (const auto at = state.find(text); at != std::string::npos) state.replace(at, text.size(), "=");
      for (std::size_t at; (at = state.find("\r\n")) != std::string::npos;) state.replace(at, 2, "\\n");
      state += " " + std::to_string(p->box->SelStart()) + " " + std::to_string(p->box->SelLength()) + " " +
               std::to_string(p->changes.size());
    } else if (p->combo->HasFocus()) {
      state = std::to_string(p->combo->ListIndex()) + " " + std::to_string(p->comboClicks);
    } else if (p->list->HasFocus() || !p->panel.ActiveControl()) {
      for (int r : p->list->SelectedRows()) state += std::to_string(r);
      state += "|" + std::to_string(p->list->CaretRow()) + " " + std::to_string(p->list->TopRow()) + " " +
               std::to_string(p->selectionChanges);
    } else {
      state = p->panel.ActiveControl()->Name() + " " + std::to_string(p->buttonClicks);
    }
    EXPECT_EQ(state, line.substr(arrow + 4)) << "line " << n;
  }
}

TEST(Keys, AControlsOwnKeyDownAndKeyUp) {
  TextPanel p;
  p.panel.SetVisible(false);  // the host shows a top-level panel: its own flag hides none of its controls
  EXPECT_THROW(p.list->RowCells(5), Error);  // past the last row
  p.driver.ClickRow(*p.list, 3);

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
  p.driver.Type("A09Z!az");  // "!": no key of its own
  EXPECT_EQ(seen, (std::vector<int>{keys::Up, -keys::Up, keys::End, -keys::End, 'A', -'A', '0', -'0', '9', -'9', 'Z',
                                    -'Z', 0, 0, 'A', -'A', 'Z', -'Z'}));
  EXPECT_EQ(p.list->SelectedRows(), std::vector<int>{2});

  // Choosing an item takes the focus to the combo; only its items can be chosen.
  EXPECT_FALSE(p.driver.ChooseIndex(*p.combo, 5) || p.driver.ChooseIndex(*p.combo, -1));
  EXPECT_TRUE(p.driver.ChooseIndex(*p.combo, 0) && p.combo->HasFocus() && p.comboClicks == 1);
  EXPECT_THROW(p.combo->UserChoose(5), Error);
}

}  // namespace
}  // namespace quillmont::ui
