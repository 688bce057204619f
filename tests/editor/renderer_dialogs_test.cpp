#include <cstdlib>
#include <fstream>
#include <sstream>

#include "apps/editor/cli.h"
#include "apps/editor/renderer.h"
#include "quillmont/platform/ui/utf8.h"
#include "tests/editor/editor_test_support.h"

namespace quillmont::editor {
namespace {

namespace keys = ui::keys;
using testing::ScriptedTerminal;
using testing::TempDir;

constexpr float W = kTwipsPerColumn;
constexpr float H = kTwipsPerRow;

// The text of count cells from (row, col).
std::string Cells(const Canvas& canvas, int row, int col, int count) {
  std::string out;
  for (int x = col; x < col + count; ++x) out += ui::utf8::Encode(canvas.At(row, x).ch);
  return out;
}

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
  PanelRenderer renderer;
  renderer.Draw(canvas, panel, {1, 1, 10, 40});
  EXPECT_EQ(canvas.At(1, 1).ch, U'\u250C');
  EXPECT_EQ(Cells(canvas, 1, 1, 9), "┌─Things ");
  EXPECT_TRUE(canvas.At(1, 3).attrs & attr::Underline);  // the access letter T
  EXPECT_EQ(Cells(canvas, 3, 2, 5), "Name:");
  EXPECT_TRUE(canvas.At(3, 2).attrs & attr::Underline);
  EXPECT_EQ(Cells(canvas, 3, 9, 5), "hello");
  EXPECT_EQ(canvas.CursorRow(), 3);
  EXPECT_EQ(canvas.CursorCol(), 14);
  EXPECT_EQ(Cells(canvas, 3, 32, 4), "[Go]");
  EXPECT_TRUE(canvas.At(3, 33).attrs & attr::Dim);
  // Header and rows with the visible columns sharing the width; three rows fit.
  EXPECT_EQ(Cells(canvas, 5, 2, 23), "Host              \u2502Port");
  EXPECT_EQ(Cells(canvas, 6, 2, 22), "host0              160");
  EXPECT_TRUE(canvas.At(7, 2).attrs & attr::Reverse);
  EXPECT_FALSE(canvas.At(6, 2).attrs & attr::Reverse);
  EXPECT_EQ(canvas.AllText().find("Hidden"), std::string::npos);

  Hit hit = renderer.HitTest(7, 5);
  EXPECT_EQ(hit.control, list.get());
  EXPECT_EQ(hit.listRow, 1);
  hit = renderer.HitTest(3, 11);
  EXPECT_EQ(hit.control, text.get());
  EXPECT_EQ(hit.offset, 2);
  EXPECT_EQ(renderer.HitTest(5, 5).part, Hit::Part::ListHeader);

  // The caret row scrolls into view.
  list->SetFocus();
  list->SelectOnly(4);
  renderer.Draw(canvas, panel, {1, 1, 10, 40});
  EXPECT_EQ(list->TopRow(), 2);
  EXPECT_EQ(Cells(canvas, 8, 2, 5), "host4");
  EXPECT_EQ(renderer.HitTest(8, 3).listRow, 4);
  EXPECT_EQ(canvas.CursorRow(), -1);
}

TEST(Renderer, MultiLineTextWrapsAndFollowsTheCaret) {
  ui::UserControl panel("p");
  auto box = panel.Add<ui::TextBox>("txtMessage");
  box->SetMultiLine(true);
  box->Move(0, 0, 11 * W, 3 * H);
  box->SetText("first line\r\nsecond\r\nthird\r\nfourth is long");
  box->SetFocus();
  Canvas canvas(3, 11);
  PanelRenderer renderer;
  renderer.Draw(canvas, panel, {0, 0, 3, 11});
  // The caret is at the end: the last lines show, with a mark above.
  EXPECT_EQ(canvas.RowText(2).substr(0, 4), "long");
  EXPECT_EQ(canvas.RowText(1).substr(0, 10), "fourth is ");
  EXPECT_EQ(canvas.CursorRow(), 2);
  EXPECT_EQ(canvas.CursorCol(), 4);
  box->SetSelection(0, 0);
  renderer.Draw(canvas, panel, {0, 0, 3, 11});
  EXPECT_EQ(canvas.RowText(0).substr(0, 10), "first line");
  EXPECT_EQ(canvas.RowText(1).substr(0, 6), "second");
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
      const auto at = ui::utf8::Decode(c.RowText(r)).find(U"[ No ]");
      if (at != std::u32string::npos) terminal.Send(InputEvent::MakeClick(r, static_cast<int>(at) + 2));
    }
  });
  EXPECT_EQ(ShowMessageBox(screen, "Click?", msgbox::YesNo, "t"), msgbox::AnswerNo);
  EXPECT_TRUE(terminal.Finished());
  // A long prompt wraps inside the screen.
  EXPECT_EQ(WrapText("aaa bbb ccc", 7), (std::vector<std::string>{"aaa bbb", "ccc"}));
  EXPECT_EQ(WrapText("abcdefghij", 4), (std::vector<std::string>{"abcd", "efgh", "ij"}));
  EXPECT_EQ(WrapText("one\r\n\r\ntwo", 10), (std::vector<std::string>{"one", "", "two"}));
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

  const std::vector<std::string> items = {"One", "Two", "Three"};
  terminal.Key(keys::Down).Key(keys::Return);  // Two cannot be chosen
  EXPECT_EQ(ChooseFromList(screen, items, {true, false, true}, 0, 2, 2), 2);
  terminal.Key(keys::Escape);
  EXPECT_EQ(ChooseFromList(screen, items, {}, 0, 2, 2), -1);
  terminal.Type("t").Key(keys::Return);
  EXPECT_EQ(ChooseFromList(screen, items, {}, 0, 30, 2), 1);  // placed above when it does not fit below
  EXPECT_TRUE(terminal.Finished());
}

TEST(CommandLine, ParsesAndRunsTheScriptModes) {
  EXPECT_THROW(ParseCommandLine({"--list", "--export", "3"}), std::invalid_argument);
  EXPECT_THROW(ParseCommandLine({"--export", "x"}), std::invalid_argument);
  EXPECT_THROW(ParseCommandLine({"--export", "0"}), std::invalid_argument);
  EXPECT_THROW(ParseCommandLine({"--db"}), std::invalid_argument);
  EXPECT_THROW(ParseCommandLine({"--bogus"}), std::invalid_argument);
  const CommandLine cl = ParseCommandLine({"--db=/x.db", "--export=4"});
  EXPECT_EQ(cl.mode, CommandLine::Mode::Export);
  EXPECT_EQ(cl.exportNumber, 4);
  EXPECT_EQ(cl.database, std::optional<std::string>("/x.db"));

  TempDir dir;
  const std::string db = dir.File("q.db");
  {
    auto store = store::Store::Open(db);
    store::SeedDatabase(*store);
  }
  auto run = [](std::vector<std::string> args, std::string* output = nullptr) {
    std::ostringstream out, err;
    const int code = RunProgram(args, out, err);
    if (output) *output = out.str() + err.str();
    return code;
  };
  std::string output;
  EXPECT_EQ(run({"--db", db, "--list"}, &output), exit_code::Ok);
  EXPECT_NE(output.find("1\tCore network outage\n"), std::string::npos) << output;
  EXPECT_EQ(run({"--db", db, "--export", "1"}, &output), exit_code::Ok);
  EXPECT_NE(output.find("\"host\": \"nms1.example.net\""), std::string::npos) << output;
  EXPECT_NE(output.find("\"emailSubject\": null"), std::string::npos) << output;
  EXPECT_EQ(run({"--db", db, "--export", "99"}, &output), exit_code::NotFound);
  EXPECT_EQ(run({"--db", dir.File("missing.db"), "--list"}), exit_code::DatabaseRefused);
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing.db")));
  const std::string text = dir.File("text.db");
  { std::ofstream(text) << "not a database"; }
  EXPECT_EQ(run({"--db", text, "--list"}, &output), exit_code::DatabaseRefused);
  EXPECT_NE(output.find("not a database"), std::string::npos) << output;
  EXPECT_EQ(run({"--wrong"}), exit_code::Usage);
  EXPECT_EQ(run({"--help"}, &output), exit_code::Ok);
  EXPECT_NE(output.find("4  database refused"), std::string::npos);

  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::string keep = saved ? saved : "";
  setenv("XDG_DATA_HOME", "/data/here", 1);
  EXPECT_EQ(DefaultDatabasePath(), "/data/here/quillmont/quillmont.db");
  if (saved)
    setenv("XDG_DATA_HOME", keep.c_str(), 1);
  else
    unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace quillmont::editor
