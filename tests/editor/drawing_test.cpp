// The editor's drawing and dialogs cell by cell, the notification list's
// scrolling, and closing a window whose save failed.
#include "apps/editor/editor_window.h"
#include "apps/editor/notification_list.h"
#include "apps/editor/renderer.h"
#include "quillmont/platform/ui/utf8.h"
#include "tests/editor/editor_test_support.h"

namespace quillmont::editor {
namespace {

namespace keys = ui::keys;
using testing::EditorFixture;
using testing::ScriptedTerminal;

// The text of count cells from (row, col).
std::string Cells(const Canvas& canvas, int row, int col, int count) {
  std::string out;
  for (int x = col; x < col + count; ++x) out += ui::utf8::Encode(canvas.At(row, x).ch);
  return out;
}

// Where text first appears on the canvas, as {row, column}; {-1, -1} if nowhere.
std::pair<int, int> Find(const Canvas& canvas, const std::string& text) {
  const std::u32string wanted = ui::utf8::Decode(text);
  for (int r = 0; r < canvas.Height(); ++r) {
    const auto at = ui::utf8::Decode(canvas.RowText(r)).find(wanted);
    if (at != std::u32string::npos) return {r, static_cast<int>(at)};
  }
  return {-1, -1};
}

TEST(Drawing, BoxesAndCaptions) {
  Canvas canvas(5, 6);
  canvas.Box({0, 0, 5, 6});
  EXPECT_EQ(canvas.RowText(0), "┌────┐");
  EXPECT_EQ(canvas.RowText(2), "│    │");
  EXPECT_EQ(canvas.RowText(4), "└────┘");
  canvas.Box({1, 1, 1, 4});  // too small to draw
  EXPECT_EQ(canvas.RowText(1), "│    │");

  // "&&" is an ampersand; the first single "&" marks the access letter.
  struct Case {
    const char* caption;
    const char* shown;
    int underlined;  // column, or -1
  };
  const Case cases[] = {{"&&Go", "&Go", -1}, {"Save && &Quit", "Save & Quit", 7}, {"&a&b", "ab", 0}, {"x&", "x", -1}};
  for (const Case& c : cases) {
    Canvas line(1, 20);
    const int used = DrawCaption(line, 0, 0, c.caption, attr::None, -1);
    EXPECT_EQ(Cells(line, 0, 0, used), c.shown) << c.caption;
    for (int x = 0; x < used; ++x)
      EXPECT_EQ((line.At(0, x).attrs & attr::Underline) != 0, x == c.underlined) << c.caption << " at " << x;
  }
}

// A field's blank cells are underlined and a selected row is reversed to its
// end, so both show their extent on the terminal.
TEST(Drawing, FieldsAndSelectedRowsMarkTheirWholeWidth) {
  constexpr float W = kTwipsPerColumn;
  constexpr float H = kTwipsPerRow;
  ui::UserControl panel("p");
  auto text = panel.Add<ui::TextBox>("txt");
  text->Move(0, 0, 10 * W, H);
  text->SetText("ab");
  auto list = panel.Add<ui::ListView>("lst");
  list->Move(0, 2 * H, 20 * W, 4 * H);
  list->SetViewColumns({{1, "Host", 6 * W, true}});
  list->AppendViewRow({"h0"});
  list->AppendViewRow({"h1"});
  list->SelectOnly(1);
  panel.SetSize(20 * W, 6 * H);
  Canvas canvas(6, 20);
  PanelRenderer renderer;
  renderer.Draw(canvas, panel, {0, 0, 6, 20});
  EXPECT_EQ(Cells(canvas, 0, 0, 2), "ab");
  EXPECT_TRUE(canvas.At(0, 8).attrs & attr::Underline);
  EXPECT_EQ(Cells(canvas, 4, 0, 2), "h1");
  EXPECT_TRUE(canvas.At(4, 15).attrs & attr::Reverse);
  EXPECT_FALSE(canvas.At(3, 15).attrs & attr::Reverse);
}

TEST(Drawing, DialogsHighlightTheFocusedButtonAndFitTheirLists) {
  ScriptedTerminal terminal(24, 80);
  Screen screen(terminal);
  auto reversed = [](const Canvas& c, const std::string& text) {
    const auto [row, col] = Find(c, text);
    return row >= 0 && (c.At(row, col + 2).attrs & attr::Reverse) != 0;
  };
  terminal
      .Check([&](const Canvas& c) {
        EXPECT_TRUE(reversed(c, "[ Yes ]"));
        EXPECT_FALSE(reversed(c, "[ No ]"));
      })
      .Key(keys::Right)
      .Check([&](const Canvas& c) {
        EXPECT_FALSE(reversed(c, "[ Yes ]"));
        EXPECT_TRUE(reversed(c, "[ No ]"));
      })
      .Key(keys::Return);
  EXPECT_EQ(ShowMessageBox(screen, "Sure?", msgbox::YesNo, "t"), msgbox::AnswerNo);

  // Three items at row 2: a frame of five rows, the current item reversed.
  const std::vector<std::string> items = {"One", "Two", "Three"};
  terminal
      .Check([&](const Canvas& c) {
        EXPECT_EQ(Cells(c, 2, 4, 1), "┌");
        EXPECT_EQ(Cells(c, 3, 6, 3), "One");
        EXPECT_EQ(Cells(c, 5, 6, 5), "Three");
        EXPECT_EQ(Cells(c, 6, 4, 1), "└");
        EXPECT_TRUE(c.At(4, 6).attrs & attr::Reverse);
        EXPECT_FALSE(c.At(3, 6).attrs & attr::Reverse);
      })
      .Send(InputEvent::MakeClick(20, 70));  // outside: closes without a choice
  EXPECT_EQ(ChooseFromList(screen, items, {}, 1, 2, 4), -1);
  terminal.Send(InputEvent::MakeClick(5, 7));
  EXPECT_EQ(ChooseFromList(screen, items, {}, 0, 2, 4), 2);

  // On a screen three rows high the list shows one item between its borders.
  ScriptedTerminal low(3, 40);
  Screen lowScreen(low);
  low.Check([&](const Canvas& c) {
       EXPECT_EQ(Cells(c, 0, 0, 1), "┌");
       EXPECT_EQ(Cells(c, 1, 2, 3), "One");
       EXPECT_EQ(Cells(c, 2, 0, 1), "└");
     })
      .Key(keys::Escape);
  EXPECT_EQ(ChooseFromList(lowScreen, items, {}, 0, 0, 0), -1);
  EXPECT_TRUE(terminal.Finished() && low.Finished());
}

class EditorScreens : public EditorFixture {};

TEST_F(EditorScreens, TheListScrollsByWheelAndKeepsTheChoiceInView) {
  NotificationListScreen list(screen, store, StandardPages(), "q.db");
  ASSERT_EQ(list.Rows().size(), 2u);
  Canvas full(24, 80);
  list.Draw(full);
  list.HandleEvent(InputEvent::MakeClick(0, 0, InputEvent::Button::WheelDown));
  EXPECT_EQ(list.Selected(), 1);
  list.HandleEvent(InputEvent::MakeClick(0, 0, InputEvent::Button::WheelUp));
  EXPECT_EQ(list.Selected(), 0);
  list.HandleEvent(InputEvent::MakeKey(keys::Down));
  // Five rows: title, blank, header, one row of the list, the help line.
  Canvas canvas(5, 80);
  list.Draw(canvas);
  EXPECT_NE(canvas.RowText(3).find(list.Rows()[1].name), std::string::npos) << canvas.AllText();
  EXPECT_NE(canvas.RowText(4).find("Enter open"), std::string::npos);
  EXPECT_TRUE(canvas.At(3, 10).attrs & attr::Reverse);
}

TEST_F(EditorScreens, TheTabStripShowsEachPageAndTheActiveOneReversed) {
  EditorWindow window(screen, *store, store->OpenDefinition(1), StandardPages());
  ASSERT_TRUE(window.Open());
  Canvas canvas(24, 80);
  window.Draw(canvas);
  EXPECT_EQ(Cells(canvas, 1, 0, 34), "  Events   SNMP Managers   E-Mail ");
  EXPECT_TRUE(canvas.At(1, 2).attrs & attr::Reverse);
  EXPECT_FALSE(canvas.At(1, 12).attrs & attr::Reverse);
  EXPECT_NE(canvas.RowText(0).find("Notification 1: Core network outage"), std::string::npos);
}

// Closing with unsaved changes: Cancel keeps the window; Yes tries to save,
// and a refused save keeps the window and the changes; the next Yes saves,
// closes and keeps the view state.
TEST_F(EditorScreens, ClosingAfterAFailedSaveKeepsTheWindowAndTheChanges) {
  store::Database other(dir.File("q.db"), false);
  EditorWindow window(screen, *store, store->OpenDefinition(2), StandardPages());
  ASSERT_TRUE(window.Open());
  terminal.Key(FunctionKey(6))
      .Alt('n')
      .Alt('h')
      .Type("late.example.org")
      .Alt('p')
      .Type("162")
      .Key(keys::Return)
      .Then([&] { other.Exec("BEGIN IMMEDIATE"); })
      .Key(keys::Escape)
      .ExpectText("Save the changes to")
      .Type("c")
      .Then([&] { EXPECT_FALSE(window.Closed()); })
      .Key(keys::Escape)
      .Type("y")
      .ExpectText("not saved")
      .Key(keys::Return)
      .Then([&] {
        EXPECT_FALSE(window.Closed());
        EXPECT_TRUE(window.Changed());
        other.Exec("ROLLBACK");
      })
      .Key(keys::Escape)
      .Type("y");
  window.Run();
  EXPECT_TRUE(window.Closed());
  EXPECT_EQ(store->ReadNotification(2).managers.size(), 2u);
  const auto layout = store->Setting("SNMPProperties");
  ASSERT_TRUE(layout.has_value());
  EXPECT_FALSE(layout->empty());
}

}  // namespace
}  // namespace quillmont::editor
