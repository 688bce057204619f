// The editor's drawing and dialogs cell by cell, and the notification list's
// scrolling.
#include "apps/editor/editor_window.h"
#include "apps/editor/notification_list.h"
#include "apps/editor/renderer.h"
#include "store/sqlite_db.h"
#include "tests/editor/editor_test_support.h"

namespace quillmont::editor {
namespace {

namespace keys = ui::keys;
using testing::EditorFixture;
using testing::ScriptedTerminal;

using testing::ExpectScreen;

// A box, one too small to draw, and captions: "&&" is an ampersand, the first
// single "&" underlines the access letter; '|' marks the cells each used.
TEST(Drawing, BoxesAndCaptions) {
  Canvas canvas(9, 16);
  canvas.Box({0, 0, 5, 6});
  canvas.Box({1, 1, 1, 4});
  int row = 5;
  for (const char* caption : {"&&Go", "Save && &Quit", "&a&b", "x&"}) {
    const int used = DrawCaption(canvas, row, 0, caption, attr::None, -1);
    canvas.Put(row++, used, U'|');
  }
  ExpectScreen(canvas, "boxes_and_captions");
}

// A character over either half of a wide one blanks its other half, and a
// wide one over the first half of another blanks that one's second half.
TEST(Drawing, WideCharactersAndMarksKeepTheirCells) {
  const std::tuple<int, char32_t, const char*> cases[] = {
      {0, U'x', "x \u6F22 |"}, {1, U'x', " x\u6F22 |"},      {2, U'x', "\u6F22x  |"},
      {3, U'x', "\u6F22 x |"}, {1, U'\u5B57', " \u5B57  |"}, {3, U'\u5B57', "\u6F22 \u5B57|"},
  };
  for (const auto& [col, ch, row] : cases) {
    Canvas canvas(1, 6);
    canvas.Text(0, 0, "\u6F22\u6F22 |");
    canvas.Put(0, col, ch);
    EXPECT_EQ(canvas.RowText(0), row) << col;
  }
  // A combining mark rides on its base character, also the head of a wide one, within the clip only;
  // a bidirectional control written out does not fit in no room.
  Canvas canvas(1, 6);
  canvas.Text(0, 0, "e\u0301\u6F22\u0302 ");
  canvas.SetClip({0, 0, 1, 1});
  canvas.Text(0, 0, "\u202e", attr::None, 0);
  canvas.AddMark(0, 0, U'\u0323');
  canvas.AddMark(0, 1, U'\u0323');
  EXPECT_EQ(canvas.RowText(0), "e\u0301\u0323\u6F22\u0302   ");
}

TEST(Drawing, DialogsHighlightTheFocusedButtonAndFitTheirLists) {
  ScriptedTerminal terminal(24, 80);
  Screen screen(terminal);
  terminal.ExpectScreen("message_box_yes").Key(keys::Right).ExpectScreen("message_box_no").Key(keys::Return);
  EXPECT_EQ(ShowMessageBox(screen, "Sure?", msgbox::YesNo, "t"), msgbox::AnswerNo);

  // Three items at row 2: a frame of five rows, the current item reversed.
  const std::vector<std::string> items = {"One", "Two", "Three"};
  terminal.ExpectScreen("list_choice").Send(InputEvent::MakeClick(20, 70));  // outside: no choice
  EXPECT_EQ(ChooseFromList(screen, items, {}, 1, 2, 4), -1);
  terminal.Send(InputEvent::MakeClick(5, 7));
  EXPECT_EQ(ChooseFromList(screen, items, {}, 0, 2, 4), 2);

  // On a screen three rows high the list shows one item between its borders (over its field, which
  // leaves no room below or above) and scrolls by one;
  // a click on its bottom border chooses nothing.
  ScriptedTerminal low(3, 40);
  Screen lowScreen(low);
  low.ExpectScreen("list_choice_three_rows").Send(InputEvent::MakeClick(2, 3)).Key(keys::Down);
  low.Send(InputEvent::MakeClick(0, 3)).Send(InputEvent::MakeClick(1, 3));  // the top border chooses nothing either
  EXPECT_EQ(ChooseFromList(lowScreen, items, {}, 0, 2, 0), 1);
  EXPECT_TRUE(terminal.Finished() && low.Finished());
}

class EditorScreens : public EditorFixture {};

TEST_F(EditorScreens, TheListScrollsByWheelAndKeepsTheChoiceInView) {
  NotificationListScreen list(screen, store, session::StandardPages(), "q.db");
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
  ExpectScreen(canvas, "list_five_rows");
}

TEST_F(EditorScreens, TheTabStripShowsEachPageAndTheActiveOneReversed) {
  EditorWindow window(screen, *store, store->OpenDefinition(1), session::StandardPages());
  ASSERT_TRUE(window.Open());
  Canvas canvas(24, 80);
  window.Draw(canvas);
  ExpectScreen(canvas, "events_page");
}

}  // namespace
}  // namespace quillmont::editor
