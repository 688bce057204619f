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
  label->Move(W, 1.5F * H, 3 * W, H);  // half a row off its field: shares its row and the room before it
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

  EXPECT_EQ(renderer.layout.HitTest(7, 5).listRow, 1);
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
  box->SetText("first line is long\r\nsecond\r\nthird");  // four lines: the last one just out of sight
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

// Columns share a list's width by weight (spare cells to the largest remainders,
// an empty column one cell); a selected row is reversed to its end; labels align
// or drop their trailing ": " first; narrow controls keep their marks; a one-row
// field (multi-line or not) underlines its blanks and keeps its caret in view.
TEST(Renderer, ColumnsShareTheListsWidthAndFieldsScrollToTheCaret) {
  const std::pair<float, std::vector<float>> lists[] = {{10, {1, 1, 1}}, {10, {0, 5, 5}},  {5, {0, 0}}, {2, {1, 1, 1}},
                                                        {10, {1, 100}},  {11, {2, -1, 3}}, {5, {}}};
  ui::UserControl panel("p");
  for (std::size_t i = 0; i < std::size(lists); ++i) {
    auto list = panel.Add<ui::ListView>("lst");
    const bool last = i + 1 == std::size(lists);  // no columns, a header only, no room for rows
    list->Move(last ? 13 * W : 0, (last ? 11 : 2 * static_cast<float>(i)) * H, W * lists[i].first, (last ? 1 : 2) * H);
    std::vector<ui::ListView::Column> columns;
    for (float w : lists[i].second) columns.push_back({0, "abcdefgh", w * W, true});
    list->SetViewColumns(columns);
    list->AppendViewRow(std::vector<std::string>(columns.size(), "0123456789"));
    if (i == 4) list->SelectOnly(0);
  }
  for (auto a : {ui::Alignment::Left, ui::Alignment::Right, ui::Alignment::Center}) {
    auto label = panel.Add<ui::Label>("lbl", "&Ab:");
    label->Move(13 * W, static_cast<float>(a) * H, 8 * W, H);
    label->SetAlignment(a);
  }
  for (float w : {0.4F, 2.0F}) panel.Add<ui::ComboBox>("cbo")->Move(13 * W, (w < 1 ? 4 : 5) * H, w * W, H);
  panel.Add<ui::CommandButton>("cmd", "&Go")->Move(13 * W, 6 * H, 3 * W, H);
  panel.Add<ui::CommandButton>("cmd", "&Go")->Move(17 * W, 6 * H, 4 * W, H);
  panel.Add<ui::TextBox>("txt")->Move(16 * W, 4 * H, 8 * W, H);
  panel.Add<ui::Label>("lbl", "&Port: ")->Move(13 * W, 8 * H, 4 * W, H);
  auto field = panel.Add<ui::TextBox>("txt");
  field->SetMultiLine(true);
  field->Move(13 * W, 9.4F * H, 5 * W, 1.2F * H);
  field->SetFocus();
  Canvas canvas(12, 24);
  PanelView view;
  std::string shown;  // per caret: the first character shown, the one under column 15
  const std::pair<const char*, std::size_t> carets[] = {{"abcdefghij", 10}, {"abcdefghij", 3},   {"abcdefghij", 0},
                                                        {"abcdefghij", 5},  {"日本語テスト", 6}, {"日本語テスト", 2},
                                                        {"ab", 1}};
  for (const auto& [text, caret] : carets) {
    field->SetText(text);
    field->SetSelection(caret, 0);
    view.Draw(canvas, panel, {0, 0, 12, 24});
    shown += std::to_string(view.layout.FirstShown(*field)) + std::to_string(view.layout.HitTest(10, 15).offset) + ' ';
  }
  EXPECT_EQ(shown, "68 35 02 13 45 23 02 ");
  testing::ExpectScreen(canvas, "columns_and_captions");
}

TEST(Dialogs, MessageBoxesAnswerByKeyAndMouse) {
  ScriptedTerminal terminal(24, 80);
  Screen screen(terminal);
  // A long prompt wraps beside its icon.
  const std::string prompt = "Delete it? The notification, its pages and its delivery settings are gone for good.";
  terminal.ExpectScreen("message_box_icon").Type("n");
  EXPECT_EQ(ShowMessageBox(screen, prompt, msgbox::YesNoExclamation, "Remove"), msgbox::AnswerNo);
  terminal.Key(keys::Right).Key(keys::Left).Key(keys::Return);
  EXPECT_EQ(ShowMessageBox(screen, "Sure?", msgbox::YesNo | msgbox::SecondDefault, "t"), msgbox::AnswerNo);
  terminal.Check([&](const Canvas& c) {
    for (int r = 0; r < c.Height(); ++r) {
      const auto at = utf8::Decode(c.RowText(r)).find(U"[ No ]");
      if (at != std::u32string::npos) terminal.Send(InputEvent::MakeClick(r, static_cast<int>(at) + 2));
    }
  });
  EXPECT_EQ(ShowMessageBox(screen, "Click?", msgbox::YesNo, "t"), msgbox::AnswerNo);
  // Each set of buttons answers with its own codes; Tab moves on round the
  // buttons and Shift+Tab back; Esc backs out where it can (No, Cancel, a lone OK).
  const std::vector<std::vector<int>> answers = {{1}, {1, 2}, {3, 4, 5}, {6, 7, 2}, {6, 7}, {4, 2}};
  const int escapes[] = {1, 2, 0, 2, 7, 2};
  for (int buttons = 0; buttons < static_cast<int>(answers.size()); ++buttons) {
    for (std::size_t i = 0; i < answers[buttons].size(); ++i) {
      for (std::size_t k = 0; k <= i; ++k) terminal.Key(keys::Tab);
      terminal.Key(keys::Tab, ui::shift::Shift).Key(keys::Return);
      EXPECT_EQ(ShowMessageBox(screen, "?", buttons, "t"), answers[buttons][i]) << buttons << " " << i;
    }
    // Esc answers at once where it can, leaving Enter to the next box; a closed terminal takes the last button.
    terminal.Key(keys::Escape).Key(keys::Return);
    EXPECT_EQ(ShowMessageBox(screen, "?", buttons, ""), escapes[buttons] ? escapes[buttons] : answers[buttons][0]);
    EXPECT_EQ(ShowMessageBox(screen, "?", buttons, ""),
              escapes[buttons] ? answers[buttons][0] : answers[buttons].back());
  }
  EXPECT_TRUE(terminal.Finished());
  // A prompt wraps at word boundaries measured in cells: after blanks and
  // around ideographs, never inside a Hangul word, a character's marks or a
  // joined emoji; a word longer than the line is broken at its edge.
  const std::pair<std::string, std::vector<std::string>> wraps[] = {
      {"back   within 10 minutes.", {"back", "within 10", "minutes."}},
      {"abcdefghijklmnopqrstu", {"abcdefghij", "klmnopqrst", "u"}},
      {"a 텍스트입니다", {"a", "텍스트입니", "다"}},
      {"日本語の文。章", {"日本語の", "文。章"}},
      {"日本語の文\u0301x", {"日本語の", "文\u0301x"}},
      {"abcdefg 👨\u200D👩", {"abcdefg", "👨\u200D👩"}},
      {"\r\na\r\nb\rc\n\rd\n\ne\r\n", {"", "a", "b", "c", "", "d", "", "e", ""}},
  };
  for (const auto& [text, lines] : wraps) EXPECT_EQ(WrapText(text, 10), lines) << text;
}

TEST(Dialogs, TextPromptsAndLists) {
  using E = InputEvent;
  ScriptedTerminal terminal(24, 80);
  Screen screen(terminal);
  terminal.Type("abc").Key(keys::Back).Send(E::MakeClick(13, 30));  // OK
  EXPECT_EQ(AskText(screen, "T", "Name:", "", 10), std::optional<std::string>("ab"));
  terminal.Type("abcdef").Key(keys::Return);
  EXPECT_EQ(AskText(screen, "T", "Name:", "", 3), std::optional<std::string>("abc"));
  // A button released on OK is not a click on it.
  terminal.Type("x").Send(E::MakeClick(13, 30, E::Button::Release)).Send(E::MakeClick(13, 40));
  // Then a prompt and a title wider than the box are cut with "…" at its inner edge.
  terminal.ExpectScreen("text_prompt_cut").Key(keys::Return);
  EXPECT_EQ(AskText(screen, "T", "Name:", "keep", 10), std::nullopt);
  EXPECT_EQ(AskText(screen, std::string(90, 't'), std::string(90, 'p'), "", 10), std::optional<std::string>(""));

  // Keys (Up, Down, Home, End, PgUp, PgDn, Return, Space, Esc, Tab), the wheel
  // (v down, w up) and letters in a list of three whose items can be chosen or
  // not ("" for all).
  const std::map<char, int> named = {
      {'U', keys::Up},       {'D', keys::Down},   {'H', keys::Home},  {'E', keys::End},    {'P', keys::PageUp},
      {'N', keys::PageDown}, {'R', keys::Return}, {'S', keys::Space}, {'X', keys::Escape}, {'T', keys::Tab}};
  const struct {
    std::string keys, usable;
    int current, chosen;
  } cases[] = {
      {"DR", "yny", 0, 2}, {"UR", "", 0, 0},    {"UR", "nyy", 2, 1}, {"ER", "", 0, 2},    {"ER", "yyn", 0, 1},
      {"HR", "", 2, 0},    {"HR", "nyy", 2, 1}, {"NR", "", 0, 2},    {"PS", "", 2, 0},    {"RX", "yny", 1, -1},
      {"T", "", 1, -1},    {"vR", "", 0, 1},    {"vwR", "", 2, 1},   {"tR", "yny", 0, 2}, {"oR", "", 2, 0},
  };
  const std::vector<std::string> items = {"One", "Two", "Three"};
  for (const auto& c : cases) {
    for (char key : c.keys)
      terminal.Send(key == 'v' || key == 'w'
                        ? E::MakeClick(3, 3, key == 'v' ? E::Button::WheelDown : E::Button::WheelUp)
                    : key > 'Z' ? E::MakeText(static_cast<char32_t>(key))
                                : E::MakeKey(named.at(key)));
    std::vector<bool> usable;
    for (char u : c.usable) usable.push_back(u == 'y');
    EXPECT_EQ(ChooseFromList(screen, items, usable, c.current, 2, 2), c.chosen) << c.keys << " " << c.usable;
  }
  // Placed where it ends on the last row, else above; to the left when it does not fit beside.
  terminal.Send(E::MakeClick(22, 3)).Send(E::MakeClick(17, 72));
  EXPECT_EQ(ChooseFromList(screen, items, {}, 0, 19, 2), 2);
  EXPECT_EQ(ChooseFromList(screen, items, {}, 0, 20, 78), 2);
  // A help title wider than the terminal is cut with "…" inside the frame.
  terminal.Then([&] { terminal.Resize(24, 40); }).Send(InputEvent::MakeResize());
  terminal.ExpectText("\u250C\u2500 A title longer than a narrow term\u2026 \u2500\u2510").Type("?");
  ShowHelp(screen, "A title longer than a narrow terminal is wide", {{"Esc", "close"}});
  EXPECT_TRUE(terminal.Finished());
}

}  // namespace
}  // namespace quillmont::editor
