// Whole screens as the user sees them: wide characters in every kind of
// control, resizing, the smallest and the standard size, list columns,
// focus and help.
#include <sstream>

#include "apps/editor/cell_width.h"
#include "apps/editor/cli.h"
#include "apps/editor/editor_window.h"
#include "apps/editor/notification_list.h"
#include "apps/editor/renderer.h"
#include "tests/editor/editor_test_support.h"

namespace quillmont::editor {
namespace {

namespace keys = ui::keys;
namespace shift = ui::shift;
using testing::EditorFixture;
using testing::Shows;

constexpr float W = kTwipsPerColumn;
constexpr float H = kTwipsPerRow;

// The screen as text, trailing blanks of each line dropped.
std::string Screen(const Canvas& c) {
  std::string out;
  for (int y = 0; y < c.Height(); ++y) {
    std::string row = c.RowText(y);
    row.erase(row.find_last_not_of(' ') + 1);
    out += row + "\n";
  }
  return out;
}

// Every row holds exactly its width in cells: each wide character's second
// half follows it, none is cut.
void ExpectWholeCells(const Canvas& c) {
  for (int y = 0; y < c.Height(); ++y)
    for (int x = 0; x < c.Width(); ++x) {
      const bool tail = c.At(y, x).ch == kWideTail;
      const bool wideBefore = x > 0 && c.At(y, x - 1).ch != kWideTail && CellWidth(c.At(y, x - 1).ch) == 2;
      EXPECT_EQ(tail, wideBefore) << "row " << y << " col " << x << "\n" << Screen(c);
    }
}

TEST(ScreenDrawing, WideAndCombiningTextStaysInEveryControlsBox) {
  struct Case {
    std::string text;
    std::string golden;  // empty: only the cell check
  };
  const Case cases[] = {
      {"日本語テスト🚀", R"(┌─日本語テスト🚀───────────────┐
│日本語 日本語テスト  [日本語] │
│日本語テスト🚀    日本…│x     │
│                  日本… 日本… │
│                              │
│日本語… ▾                     │
│                              │
└──────────────────────────────┘
)"},
      {"ü日本🚀x.é́xample", ""},
      {"Trial Café 日本 🚀 [changed]", ""},
      {"a\u0301\u0301b\u200b\U0001F468\u200D\U0001F469", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ui::UserControl panel("p");
    auto frame = panel.Add<ui::Frame>("fra", c.text);
    frame->Move(0, 0, 32 * W, 8 * H);
    frame->Add<ui::Label>("lbl", c.text)->Move(W, H, 3 * W, H);
    auto field = frame->Add<ui::TextBox>("txt");
    field->Move(8 * W, H, 12 * W, H);
    field->SetTabIndex(1);
    auto button = frame->Add<ui::CommandButton>("cmd", c.text);
    button->Move(22 * W, H, 9 * W, H);
    auto memo = frame->Add<ui::TextBox>("memo");
    memo->SetMultiLine(true);
    memo->Move(W, 2 * H, 16 * W, 3 * H);
    auto list = frame->Add<ui::ListView>("lst");
    list->Move(19 * W, 2 * H, 12 * W, 3 * H);
    list->SetViewColumns({{1, c.text, 6 * W, true}, {2, "x", 6 * W, true}});
    list->AppendViewRow({c.text, c.text});
    auto combo = frame->Add<ui::ComboBox>("cbo");
    combo->Move(W, 5 * H, 9 * W, H);
    combo->AddItem(c.text);
    combo->SetListIndex(0);
    field->SetText(c.text);
    memo->SetText(c.text);
    panel.SetSize(32 * W, 8 * H);
    Canvas canvas(8, 32);
    PanelRenderer().Draw(canvas, panel, {0, 0, 8, 32});
    ExpectWholeCells(canvas);
    if (!c.golden.empty()) {
      EXPECT_EQ(Screen(canvas), c.golden);
    }
    // The same text as a title, a message and a menu entry.
    testing::ScriptedTerminal terminal(8, 24);
    editor::Screen screen(terminal);
    terminal.Check(ExpectWholeCells).Key(keys::Return).Check(ExpectWholeCells).Key(keys::Escape);
    ShowMessageBox(screen, c.text, 0, c.text);
    ChooseFromList(screen, {c.text, c.text}, {}, 0, 2, 20);
  }
}

class ScreenTest : public EditorFixture {};

TEST_F(ScreenTest, ResizingKeepsRowsAndFieldTextInViewAndTooSmallShowsOneLine) {
  auto third = store->NewDefinition("Third");
  store->Save(*third);
  NotificationListScreen list(screen, store, StandardPages(), "q.db");
  terminal.Key(keys::Down)
      .Key(keys::Down)
      .Then([&] { terminal.Resize(6, 40); })
      .Send(InputEvent::MakeResize())
      .Check([](const Canvas& c) {
        EXPECT_EQ(Screen(c).substr(Screen(c).find("No.")),
                  "No.  Name                  Managers\n"
                  "     2  Server room enviro…          1\n"
                  "     3  Third                        0\n"
                  " Enter open  N new  Del delete  F1 help\n");
      })
      .Then([&] { terminal.Resize(5, 30); })
      .Send(InputEvent::MakeResize())
      .Check([](const Canvas& c) { EXPECT_EQ(Screen(c), "\n\nTerminal too small: 40×6 need…\n\n\n"); })
      .Key(keys::Up)  // ignored while too small
      .Then([&] { terminal.Resize(8, 40); })
      .Send(InputEvent::MakeResize())
      .Check([&](const Canvas& c) {
        EXPECT_TRUE(Shows(c, "1  Core network outage")) << Screen(c);
        EXPECT_TRUE(Shows(c, "2  Server room")) << Screen(c);
        EXPECT_EQ(list.Selected(), 2);
      })
      .Key(keys::Escape);
  list.Run();
}

TEST_F(ScreenTest, TheSnmpPageAt80x24WithFocusColumnsHelpAndSave) {
  std::string before;
  {
    EditorWindow window(screen, *store, store->OpenDefinition(1), StandardPages());
    ASSERT_TRUE(window.Open());
    terminal.Key(FunctionKey(6))
        .Check([](const Canvas& c) {
          EXPECT_EQ(Screen(c), R"( Notification 1: Core network outage
  Events   SNMP Managers   E-Mail
┌─SNMP Managers ───────────────────────────────────────────────────────────────┐
│                                                                              │
│Host                         │Port          │Version       │Time Format       │
│nms1.example.net              162            SNMP v2c       UTC               │
│10.20.0.15                    1162           SNMP v1        UNIX              │
│                                                                              │
│                                                                              │
│                                                                              │
│                                                                              │
│                                                                              │
│                                                                              │
│                                                                              │
│                                                                              │
│                                                                              │
│    SNMP Host: nms1.example.net                                     [New]     │
│                                                                              │
│    SNMP Port: 162                                                [Delete]    │
│                                                                              │
│ SNMP Version: SNMP v2c                                    ▾       [Apply]    │
│  Time Format: UTC                                         ▾                  │
└──────────────────────────────────────────────────────────────────────────────┘
 Ctrl+S save  Esc close  F6 page  Tab field  Alt+letter jump            F1 help
)");
        })
        .Alt('h')
        .Type("half-typed.exampleX")
        .Then([&] { terminal.Resize(23, 60); })
        .Send(InputEvent::MakeResize())
        .Then([&] { terminal.Resize(24, 80); })
        .Send(InputEvent::MakeResize())
        .Check([&](const Canvas& c) {
          EXPECT_TRUE(Shows(c, "SNMP Host: half-typed.exampleX  ")) << Screen(c);
          // The focused field is reversed; a list without the focus is not.
          EXPECT_TRUE(c.At(16, 16).attrs & attr::Reverse);
          EXPECT_FALSE(c.At(4, 1).attrs & attr::Reverse);
          before = Screen(c);
        })
        .Key(FunctionKey(1))
        .ExpectText("Keys of the notification window")
        .ExpectText("narrow / widen that column")
        .Key(keys::Escape)
        .Check([&](const Canvas& c) { EXPECT_EQ(Screen(c), before); })
        .Send(InputEvent::MakeClick(4, 40))  // the list's header: focus, no current row
        .Check([](const Canvas& c) { EXPECT_TRUE(c.At(4, 1).attrs & attr::Reverse); })
        .Send(InputEvent::MakeClick(4, 30))  // the border after Host, dragged right
        .Send(InputEvent::MakeClick(4, 35, InputEvent::Button::Drag))
        .Send(InputEvent::MakeClick(4, 35, InputEvent::Button::Release))
        .Key(keys::Right)
        .Key(keys::Right, shift::Ctrl)
        .Key(keys::Right, shift::Ctrl)
        .Check([](const Canvas& c) {
          EXPECT_EQ(c.RowText(4).substr(0, 60), "│Host                              │Port       │Versio");
        })
        .Key('S', shift::Ctrl)
        .ExpectText("not applied to its list")
        .Key(keys::Return)  // Apply
        .ExpectText("Saved")
        .Key(keys::Escape);
    window.Run();
  }
  // The widths come back with the page.
  EditorWindow again(screen, *store, store->OpenDefinition(1), StandardPages());
  ASSERT_TRUE(again.Open());
  terminal.Key(FunctionKey(6))
      .Check([](const Canvas& c) {
        EXPECT_EQ(c.RowText(4).substr(0, 60), "│Host                              │Port       │Versio");
      })
      .Key(keys::Escape);
  again.Run();
}

TEST_F(ScreenTest, EventsAndEmailPagesKeysCaptionsAndTheDefaultMarker) {
  EditorWindow window(screen, *store, store->OpenDefinition(1), StandardPages());
  ASSERT_TRUE(window.Open());
  terminal
      .Check([](const Canvas& c) {
        EXPECT_TRUE(Shows(c, "│Group Filter: <All Group Event T… ▾")) << Screen(c);
        EXPECT_TRUE(Shows(c, "│Available                                  Chosen")) << Screen(c);
      })
      .Send(InputEvent::MakeClick(7, 2))  // the first available row
      .Key(keys::PageDown)
      .Check([](const Canvas& c) {
        EXPECT_TRUE(c.At(21, 2).attrs & attr::Reverse) << Screen(c);  // 15 rows on
      })
      .Send(InputEvent::MakeClick(7, 50))  // the first chosen row
      .Key(keys::Delete)
      .ExpectText("[changed]")
      .Key('S', shift::Ctrl)
      .Then([&] { EXPECT_EQ(store->ReadNotification(1).eventTypeKeys.size(), 5u); })
      .Key(FunctionKey(6), shift::Shift)
      .Check([](const Canvas& c) {
        EXPECT_EQ(c.RowText(3).substr(0, 18), "Subject: <Default>");
        EXPECT_TRUE(c.At(3, 9).attrs & attr::Dim);
      })
      .Key(keys::Tab, shift::Shift)
      .Key(keys::Tab)
      .Type("Outage")
      .ExpectText("Subject: Outage  ");
  window.Run();
}

TEST_F(ScreenTest, DeletingDefaultsToNoAndListingEscapesControlCharacters) {
  // Another program may have written a name the editor would refuse.
  store::Database(dir.File("q.db"), false)
      .Exec("UPDATE notifications SET name = 'line' || char(10) || 'break' || char(27) || '[31m\\' WHERE id = 2");
  NotificationListScreen list(screen, store, StandardPages(), "q.db");
  terminal.Key(keys::Delete).ExpectText("Delete Notification").Key(keys::Return).Key(keys::Escape);
  list.Run();
  EXPECT_EQ(store->ListNotifications().size(), 2u);
  std::ostringstream out, err;
  EXPECT_EQ(RunProgram({"--db", dir.File("q.db"), "--list"}, out, err), exit_code::Ok);
  EXPECT_NE(out.str().find("2\tline\\x0abreak\\x1b[31m\\\n"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace quillmont::editor
