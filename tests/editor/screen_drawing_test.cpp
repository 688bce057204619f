// Whole screens as the user sees them: wide characters in every kind of
// control, resizing, the smallest and the standard size, list columns,
// focus and help.
#include <sstream>

#include "apps/editor/cell_width.h"
#include "apps/editor/cli.h"
#include "apps/editor/editor_window.h"
#include "apps/editor/notification_list.h"
#include "apps/editor/renderer.h"
#include "store/sqlite_db.h"
#include "tests/editor/editor_test_support.h"

namespace quillmont::editor {
namespace {

namespace keys = ui::keys;
namespace shift = ui::shift;
using testing::EditorFixture;
using testing::Shows;

constexpr float W = kTwipsPerColumn;
constexpr float H = kTwipsPerRow;

// Every row holds exactly its width in cells: each wide character's second
// half follows it, none is cut.
void ExpectWholeCells(const Canvas& c) {
  for (int y = 0; y < c.Height(); ++y)
    for (int x = 0; x < c.Width(); ++x) {
      const bool tail = c.At(y, x).ch == kWideTail;
      const bool wideBefore = x > 0 && c.At(y, x - 1).ch != kWideTail && CellWidth(c.At(y, x - 1).ch) == 2;
      EXPECT_EQ(tail, wideBefore) << "row " << y << " col " << x << "\n" << c.AllText();
    }
}

TEST(ScreenDrawing, WideAndCombiningTextStaysInEveryControlsBox) {
  // Each text, with the screen it makes (empty: only the cell check).
  const std::pair<std::string, std::string> cases[] = {
      // A mark with nothing before it is dropped; a C1 control takes one cell, as a dot.
      {"\u0301日本語テスト🚀\u0085\u0301", "wide_text_in_every_control"},
      {"ü日本🚀x.é́xample", ""},
      {"Trial Café 日本 🚀 [changed]", ""},
      {"a\u0301\u0301b\u200b\U0001F468\u200D\U0001F469", ""},
  };
  for (const auto& [text, golden] : cases) {
    SCOPED_TRACE(text);
    ui::UserControl panel("p");
    auto frame = panel.Add<ui::Frame>("fra", text);
    frame->Move(0, 0, 32 * W, 8 * H);
    frame->Add<ui::Label>("lbl", text)->Move(W, H, 3 * W, H);
    auto field = frame->Add<ui::TextBox>("txt");
    field->Move(8 * W, H, 12 * W, H);
    field->SetTabIndex(1);
    auto button = frame->Add<ui::CommandButton>("cmd", text);
    button->Move(22 * W, H, 9 * W, H);
    auto memo = frame->Add<ui::TextBox>("memo");
    memo->SetMultiLine(true);
    memo->Move(W, 2 * H, 16 * W, 3 * H);
    auto list = frame->Add<ui::ListView>("lst");
    list->Move(19 * W, 2 * H, 12 * W, 3 * H);
    list->SetViewColumns({{1, text, 6 * W, true}, {2, "x", 6 * W, true}});
    list->AppendViewRow({text, text});
    auto combo = frame->Add<ui::ComboBox>("cbo");
    combo->Move(W, 5 * H, 9 * W, H);
    combo->AddItem(text);
    combo->SetListIndex(0);
    field->SetText(text);
    memo->SetText(text);
    panel.SetSize(32 * W, 8 * H);
    Canvas canvas(8, 32);
    PanelView().Draw(canvas, panel, {0, 0, 8, 32});
    ExpectWholeCells(canvas);
    if (!golden.empty()) testing::ExpectScreen(canvas, golden);
    // The same text as a title, a message and a menu entry.
    testing::ScriptedTerminal terminal(8, 24);
    editor::Screen screen(terminal);
    terminal.Check(ExpectWholeCells).Key(keys::Return).Check(ExpectWholeCells).Key(keys::Escape);
    ShowMessageBox(screen, text, 0, text);
    ChooseFromList(screen, {text, text}, {}, 0, 2, 20);
  }
}

// Without a UTF-8 locale the editor measures by its own table of blocks:
// combining marks and zero-width spaces 0; Hangul, CJK, full-width forms and
// emoji 2; each block exactly from its first character to its last.
TEST(CellWidth, TheFallbackTableCoversEachBlockExactly) {
  const std::tuple<char32_t, char32_t, int> blocks[] = {
      {0x0300, 0x036F, 0}, {0x200B, 0x200F, 0},   {0xFE00, 0xFE0F, 0},  {0x1100, 0x115F, 2},
      {0x2E80, 0xA4CF, 2}, {0xAC00, 0xD7A3, 2},   {0xF900, 0xFAFF, 2},  {0xFF00, 0xFF60, 2},
      {0xFFE0, 0xFFE6, 2}, {0x1F300, 0x1FAFF, 2}, {0x20000, 0x3FFFD, 2}};
  for (const auto& [first, last, cells] : blocks) {
    const std::vector<int> edges = {FallbackCellWidth(first - 1), FallbackCellWidth(first), FallbackCellWidth(last),
                                    FallbackCellWidth(last + 1)};
    EXPECT_EQ(edges, (std::vector<int>{1, cells, cells, 1})) << static_cast<std::uint32_t>(first);
  }
}

class ScreenTest : public EditorFixture {};

TEST_F(ScreenTest, ResizingKeepsRowsAndFieldTextInViewAndTooSmallShowsOneLine) {
  store->Save(*store->NewDefinition("Third"));
  NotificationListScreen list(screen, store, session::StandardPages(), "q.db");
  auto resize = [&](int rows, int columns) -> testing::ScriptedTerminal& {
    terminal.Then([&terminal = terminal, rows, columns] { terminal.Resize(rows, columns); });
    return terminal.Send(InputEvent::MakeResize());
  };
  terminal.Key(keys::Down).Key(keys::Down);
  resize(6, 40).ExpectScreen("list_6x40");
  resize(5, 30).ExpectScreen("too_small").Key(keys::Up);  // ignored while too small
  resize(8, 40).ExpectScreen("list_8x40").Then([&] { EXPECT_EQ(list.Selected(), 2); }).Key(keys::Escape);
  list.Run();
}

TEST_F(ScreenTest, TheSnmpPageAt80x24WithFocusColumnsHelpAndSave) {
  {
    EditorWindow window(screen, *store, store->OpenDefinition(1), session::StandardPages());
    ASSERT_TRUE(window.Open());
    terminal.Key(FunctionKey(6)).ExpectScreen("snmp_page").Alt('h').ExpectScreen("snmp_host_selected");
    terminal.Type("half-typed.exampleX").Then([&] { terminal.Resize(23, 60); }).Send(InputEvent::MakeResize());
    terminal.Then([&] { terminal.Resize(24, 80); }).Send(InputEvent::MakeResize());
    terminal.ExpectScreen("snmp_page_half_typed");  // the focused field reversed, the list not
    terminal.Key(FunctionKey(1)).ExpectText("Keys of the notification window").ExpectText("narrow / widen that column");
    // The wheel over the list's header scrolls it and leaves the focus where it was.
    // The wheel over the help is not a click on it; a click closes it and goes no further.
    terminal.Send(InputEvent::MakeClick(4, 10, InputEvent::Button::WheelUp)).Send(InputEvent::MakeClick(6, 10));
    terminal.Send(InputEvent::MakeClick(4, 10, InputEvent::Button::WheelUp));
    terminal.ExpectScreen("snmp_page_half_typed");
    // A click on the list's header: focus, no current row; then the border after Host, dragged right.
    terminal.Send(InputEvent::MakeClick(4, 40)).Send(InputEvent::MakeClick(4, 30));
    terminal.Send(InputEvent::MakeClick(4, 35, InputEvent::Button::Drag));
    terminal.Send(InputEvent::MakeClick(4, 35, InputEvent::Button::Release));
    terminal.Key(keys::Right).Key(keys::Right, shift::Ctrl).Key(keys::Right, shift::Ctrl).Key(keys::Left, shift::Ctrl);
    terminal.ExpectScreen("snmp_page_columns_resized").Key('S', shift::Ctrl).ExpectText("not applied to its list");
    terminal.Type("a").ExpectText("Saved").Key(keys::Escape);  // Apply (Enter would go back to it)
    window.Run();
  }
  // The widths come back with the page.
  EditorWindow again(screen, *store, store->OpenDefinition(1), session::StandardPages());
  ASSERT_TRUE(again.Open());
  terminal.Key(FunctionKey(6)).ExpectScreen("snmp_page_columns_kept");
  // The list's menu opens beside its caret row.
  terminal.Send(InputEvent::MakeClick(6, 10)).Key(FunctionKey(10), shift::Shift).ExpectScreen("snmp_list_menu");
  terminal.Key(keys::Escape).Key(keys::Up).Key(FunctionKey(10), shift::Shift).ExpectScreen("snmp_list_menu_top");
  // The last column narrowed as far as it goes: two cells, the rest to its left neighbour.
  terminal.Key(keys::Escape).Key(keys::Right).Key(keys::Right).Key(keys::Right);
  for (int i = 0; i < 20; ++i) terminal.Key(keys::Left, shift::Ctrl);
  terminal.ExpectScreen("snmp_page_last_column_narrowest").Key(keys::Escape);
  again.Run();
}

TEST_F(ScreenTest, EventsAndEmailPagesKeysCaptionsAndTheDefaultMarker) {
  EditorWindow window(screen, *store, store->OpenDefinition(1), session::StandardPages());
  ASSERT_TRUE(window.Open());
  // Clicks on the first available row, then 15 rows on, then on the first chosen row.
  terminal.Send(InputEvent::MakeClick(7, 2)).Key(keys::PageDown).ExpectScreen("events_page_down");
  terminal.Send(InputEvent::MakeClick(7, 50)).Key(keys::Delete).ExpectText("[changed]").Key('S', shift::Ctrl);
  terminal.Then([&] { EXPECT_EQ(store->ReadNotification(1).eventTypeKeys.size(), 5u); });
  terminal.Key(FunctionKey(6), shift::Shift).ExpectScreen("email_page_default_subject");
  terminal.Key(keys::Tab, shift::Shift).Key(keys::Tab).Type("Outage").ExpectText("Subject: Outage  ");
  window.Run();
}

TEST_F(ScreenTest, HelpScrollsTheWheelScrollsAListDropDownsChooseAndF10Closes) {
  EditorWindow window(screen, *store, store->OpenDefinition(1), session::StandardPages());
  ASSERT_TRUE(window.Open());
  // The wheel over the available types: three rows a step, down three times and up once.
  for (const bool down : {true, true, true, false})
    terminal.Send(InputEvent::MakeClick(10, 5, down ? InputEvent::Button::WheelDown : InputEvent::Button::WheelUp));
  terminal.ExpectScreen("events_wheel_down").Then([&] { terminal.Resize(24, 160); }).Send(InputEvent::MakeResize());
  terminal.Check([](const Canvas& c) {  // the status line holds the common keys only, however wide
    const std::string status = c.RowText(23);
    EXPECT_NE(status.find("Shift+F10 menu  F4 list   "), std::string::npos) << status;
    EXPECT_EQ(status.find("F2 rename"), std::string::npos) << status;
  });
  terminal.Then([&] { terminal.Resize(23, 60); }).Send(InputEvent::MakeResize());
  // Help wraps what does not fit and scrolls as far as it goes, with marks where lines are hidden.
  terminal.Key(FunctionKey(1)).ExpectScreen("help").Type("x").Key(keys::PageDown).ExpectScreen("help_scrolled");
  // F4 lists the versions, "SNMP v2c" current; the list follows its field through a resize.
  terminal.Key(keys::Return).Key(FunctionKey(6)).Alt('v').Key(FunctionKey(4)).ExpectScreen("snmp_versions");
  terminal.Then([&] { terminal.Resize(40, 120); }).Send(InputEvent::MakeResize()).ExpectScreen("snmp_versions_wide");
  terminal.Key(keys::Up).Key(keys::Return).ExpectText("SNMP Version: SNMP v1");
  // F10 closes, after the question about the entry.
  terminal.Key(FunctionKey(10)).ExpectText("not applied to its list").Type("d");
  window.Run();
  EXPECT_TRUE(window.Closed());
  EXPECT_EQ(store->ReadNotification(1).managers.at(0).version, "SNMP v2c");
}

TEST_F(ScreenTest, DeletingDefaultsToNoAndListingEscapesControlCharacters) {
  // Another program may have written a name the editor would refuse.
  store::SqliteDatabase(dir.File("q.db"), store::OpenMode::ReadWrite)
      .Exec(
          "UPDATE notifications SET name = 'line' || char(10) || 'break' || char(27) || '[31m\\' WHERE id = 2;"
          "UPDATE notifications SET name = 'ab' || char(8238) || 'cd' || char(8294) || char(1564) WHERE id = 1");
  NotificationListScreen list(screen, store, session::StandardPages(), "q.db");
  // Bidirectional controls are written out, never sent raw; Arabic letters stay.
  auto noBidi = [](const Canvas& c) {
    for (const char* raw : {"\u202e", "\u2066", "\u061c"}) EXPECT_EQ(c.AllText().find(raw), std::string::npos);
  };
  terminal.ExpectText("ab\\u202ecd\\u2066\\u061c").Check(noBidi).Key(keys::Return).ExpectText("ab\\u202ecd");
  terminal.Check(noBidi).Key(FunctionKey(10)).Key(keys::Delete).ExpectText("Delete Notification");
  terminal.Key(keys::Return).Key(keys::Escape);
  list.Run();
  EXPECT_EQ(store->ListNotifications().size(), 2u);
  std::ostringstream out, err;
  EXPECT_EQ(RunProgram({"--db", dir.File("q.db"), "--list"}, out, err), exit_code::Ok);
  EXPECT_NE(out.str().find("2\tline\\x0abreak\\x1b[31m\\\n"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace quillmont::editor
