#include <map>

#include "apps/editor/help.h"
#include "apps/editor/renderer.h"
#include "quillmont/storage/utf8.h"
#include "tests/editor/editor_test_support.h"

namespace quillmont::editor {
namespace {

namespace keys = ui::keys;
using testing::ScriptedTerminal;

constexpr float W = kTwipsPerColumn;
constexpr float H = kTwipsPerRow;

TEST(Renderer, DrawsEachKindAtItsCellsAndFindsItAgain) {
  ui::UserControl panel("p");
  auto frame = panel.Add<ui::Frame>("fra", "&Things ");
  frame->Move(0, 0, 40 * W, 10 * H);
  auto label = frame->Add<ui::Label>("lblName", "&Name:");
  label->Move(W, 2 * H, 6 * W, 255);
  auto text = frame->Add<ui::TextBox>("txtName");
  text->Move(8 * W, 2 * H, 20 * W, H);
  text->SetTabIndex(1);
  auto button = frame->Add<ui::CommandButton>("cmdGo", "&Go");
  button->Move(30 * W, 2 * H, 6 * W, H);
  button->SetTabIndex(2);
  button->SetEnabled(false);
  auto list = frame->Add<ui::ListView>("lst");
  list->Move(W, 4 * H, 30 * W, 4 * H);
  list->SetTabIndex(3);
  list->SetViewColumns({{1, "Host", 10 * W, true}, {2, "Port", 6 * W, true}, {3, "Hidden", 6 * W, false}});
  for (int i = 0; i < 5; ++i) list->AppendViewRow({"host" + std::to_string(i), std::to_string(160 + i), "x"});
  list->SelectOnly(1);
  panel.SetSize(40 * W, 10 * H);
  text->SetText("hello");
  text->SetFocus();

  Canvas canvas(12, 42);
  PanelView renderer;
  renderer.Draw(canvas, panel, {1, 1, 10, 40});
  // Three rows fit; the visible columns share the width, "Hidden" is not drawn.
  testing::ExpectScreen(canvas, "each_kind_of_control");

  Hit hit = renderer.layout.HitTest(7, 5);
  EXPECT_EQ(hit.control, list.get());
  EXPECT_EQ(hit.listRow, 1);
  hit = renderer.layout.HitTest(3, 11);
  EXPECT_EQ(hit.control, text.get());
  EXPECT_EQ(hit.offset, 2);
  EXPECT_EQ(renderer.layout.HitTest(5, 5).part, Hit::Part::ListHeader);

  // The caret row scrolls into view.
  list->SetFocus();
  list->SelectOnly(4);
  renderer.Draw(canvas, panel, {1, 1, 10, 40});
  EXPECT_EQ(list->TopRow(), 2);
  testing::ExpectScreen(canvas, "each_kind_of_control_scrolled");
  EXPECT_EQ(renderer.layout.HitTest(8, 3).listRow, 4);
}

TEST(Renderer, MultiLineTextWrapsAndFollowsTheCaret) {
  ui::UserControl panel("p");
  auto box = panel.Add<ui::TextBox>("txtMessage");
  box->SetMultiLine(true);
  box->Move(0, 0, 11 * W, 3 * H);
  box->SetText("first line\r\nsecond\r\nthird\r\nfourth is long");
  box->SetFocus();
  Canvas canvas(3, 11);
  PanelView renderer;
  renderer.Draw(canvas, panel, {0, 0, 3, 11});
  // The caret is at the end: the last lines show.
  testing::ExpectScreen(canvas, "wrapped_text_end");
  box->SetSelection(0, 0);
  renderer.Draw(canvas, panel, {0, 0, 3, 11});
  testing::ExpectScreen(canvas, "wrapped_text_start");
}

TEST(Dialogs, MessageBoxesAnswerByKeyAndMouse) {
  ScriptedTerminal terminal(24, 80);
  Screen screen(terminal);
  terminal.ExpectText("Delete it?").ExpectText("(!)").ExpectText("Remove").Type("n");
  EXPECT_EQ(ShowMessageBox(screen, "Delete it?", msgbox::YesNoExclamation, "Remove"), msgbox::AnswerNo);
  terminal.Key(keys::Right).Key(keys::Left).Key(keys::Return);
  EXPECT_EQ(ShowMessageBox(screen, "Sure?", msgbox::YesNo, "t"), msgbox::AnswerYes);
  terminal.Key(keys::Escape);  // Esc backs out: No, Cancel, a lone OK
  EXPECT_EQ(ShowMessageBox(screen, "Sure?", msgbox::YesNoExclamation, "t"), msgbox::AnswerNo);
  terminal.Key(keys::Escape);
  EXPECT_EQ(ShowMessageBox(screen, "Save?", 3, "t"), msgbox::AnswerCancel);
  terminal.Key(keys::Escape);
  EXPECT_EQ(ShowMessageBox(screen, "Done.", msgbox::OkOnly, ""), msgbox::AnswerOk);
  terminal.Check([&](const Canvas& c) {
    for (int r = 0; r < c.Height(); ++r) {
      const auto at = utf8::Decode(c.RowText(r)).find(U"[ No ]");
      if (at != std::u32string::npos) terminal.Send(InputEvent::MakeClick(r, static_cast<int>(at) + 2));
    }
  });
  EXPECT_EQ(ShowMessageBox(screen, "Click?", msgbox::YesNo, "t"), msgbox::AnswerNo);
  // Each set of buttons answers with its own codes; Tab moves on round the
  // buttons and Shift+Tab back.
  const std::vector<std::vector<int>> answers = {{1}, {1, 2}, {3, 4, 5}, {6, 7, 2}, {6, 7}, {4, 2}};
  for (int buttons = 0; buttons < static_cast<int>(answers.size()); ++buttons)
    for (std::size_t i = 0; i < answers[buttons].size(); ++i) {
      for (std::size_t k = 0; k <= i; ++k) terminal.Key(keys::Tab);
      terminal.Key(keys::Tab, ui::shift::Shift).Key(keys::Return);
      EXPECT_EQ(ShowMessageBox(screen, "?", buttons, "t"), answers[buttons][i]) << buttons << " " << i;
    }
  EXPECT_TRUE(terminal.Finished());
  // A prompt wraps at word boundaries measured in cells: after blanks and
  // around ideographs, never inside a Hangul word, a character's marks or a
  // joined emoji; a word longer than the line is broken at its edge.
  const std::pair<std::string, std::vector<std::string>> wraps[] = {
      {"back   within 10 minutes.", {"back", "within 10", "minutes."}},
      {"abcdefghijklmnopqrstu", {"abcdefghij", "klmnopqrst", "u"}},
      {"한국어 텍스트입니다", {"한국어", "텍스트입니", "다"}},
      {"日本語の文。章", {"日本語の", "文。章"}},
      {"日本語の文\u0301x", {"日本語の", "文\u0301x"}},
      {"abcdefg 👨\u200D👩", {"abcdefg", "👨\u200D👩"}},
  };
  for (const auto& [text, lines] : wraps) EXPECT_EQ(WrapText(text, 10), lines) << text;
}

TEST(Dialogs, TextPromptsAndLists) {
  ScriptedTerminal terminal(24, 80);
  Screen screen(terminal);
  terminal.Type("abc").Key(keys::Back).Key(keys::Return);
  EXPECT_EQ(AskText(screen, "T", "Name:", "", 10), std::optional<std::string>("ab"));
  terminal.Type("abcdef").Key(keys::Return);
  EXPECT_EQ(AskText(screen, "T", "Name:", "", 3), std::optional<std::string>("abc"));
  terminal.Type("x").Key(keys::Escape);
  EXPECT_EQ(AskText(screen, "T", "Name:", "keep", 10), std::nullopt);
  // A prompt wider than the box is cut with "…" at the box's inner edge.
  terminal.ExpectScreen("text_prompt_cut").Key(keys::Return);
  EXPECT_EQ(AskText(screen, "T", std::string(90, 'p'), "", 10), std::optional<std::string>(""));

  // Keys (Up, Down, Home, End, PgUp, PgDn, Return, Space, Esc, Tab) in a list
  // of three whose items can be chosen or not ("" for all).
  const std::map<char, int> named = {
      {'U', keys::Up},       {'D', keys::Down},   {'H', keys::Home},  {'E', keys::End},    {'P', keys::PageUp},
      {'N', keys::PageDown}, {'R', keys::Return}, {'S', keys::Space}, {'X', keys::Escape}, {'T', keys::Tab}};
  const struct {
    std::string keys, usable;
    int current, chosen;
  } cases[] = {
      {"DR", "yny", 0, 2},  {"UR", "", 0, 0},    {"UR", "nyy", 2, 1}, {"ER", "", 0, 2}, {"ER", "yyn", 0, 1},
      {"HR", "", 2, 0},     {"HR", "nyy", 2, 1}, {"HR", "nny", 2, 2}, {"NR", "", 0, 2}, {"PS", "", 2, 0},
      {"RX", "yny", 1, -1}, {"X", "", 1, -1},    {"T", "", 1, -1},
  };
  const std::vector<std::string> items = {"One", "Two", "Three"};
  for (const auto& c : cases) {
    for (char key : c.keys) terminal.Key(named.at(key));
    std::vector<bool> usable;
    for (char u : c.usable) usable.push_back(u == 'y');
    EXPECT_EQ(ChooseFromList(screen, items, usable, c.current, 2, 2), c.chosen) << c.keys << " " << c.usable;
  }
  terminal.Type("t").Key(keys::Return);
  EXPECT_EQ(ChooseFromList(screen, items, {}, 0, 30, 2), 1);  // placed above when it does not fit below
  // A help title wider than the terminal is cut with "…" inside the frame.
  terminal.Then([&] { terminal.Resize(24, 40); }).Send(InputEvent::MakeResize());
  terminal.ExpectText("\u250C\u2500 A title longer than a narrow term\u2026 \u2500\u2510").Key(keys::Escape);
  ShowHelp(screen, "A title longer than a narrow terminal is wide", {{"Esc", "close"}});
  EXPECT_TRUE(terminal.Finished());
}

}  // namespace
}  // namespace quillmont::editor
