// Drives the real quillmont-editor in a tmux pane, as a person at a terminal
// would, and checks what the screen shows and what the database keeps: wide
// characters and resizing end to end, and ending by a signal.
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "store/seed.h"
#include "tests/editor/editor_test_support.h"
#include "tests/support/loopback_receivers.h"
#include "tests/support/pg/pg_cluster.h"

namespace quillmont::editor {
namespace {

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

using quillmont::testing::Output, quillmont::testing::ReadText, quillmont::testing::WaitUntil;

// A private tmux server with one session running the editor.
class Tmux {
 public:
  explicit Tmux(const std::string& command, int columns = 100, int rows = 30)
      : socket_("qm-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(++count_)) {
    Run("-f /dev/null new-session -d -x " + std::to_string(columns) + " -y " + std::to_string(rows) + " " +
        Quote(command));
  }
  ~Tmux() { Run("kill-server"); }

  int Run(const std::string& args) const {
    return std::system(("tmux -L " + socket_ + " " + args + " >/dev/null 2>&1").c_str());
  }
  void Keys(const std::string& keys) const { Run("send-keys " + keys); }
  void Type(const std::string& text) const { Run("send-keys -l " + Quote(text)); }
  std::string Screen() const { return Output("tmux -L " + socket_ + " capture-pane -p 2>/dev/null"); }
  bool Alive() const { return Run("has-session") == 0; }
  // What tmux knows of the pane, as a format ("#{mouse_any_flag}").
  std::string Format(const std::string& format) const {
    return Output("tmux -L " + socket_ + " display-message -p " + Quote(format) + " 2>/dev/null");
  }

  // Polls the screen until the condition holds, for at most half a minute (a
  // loaded machine running sanitizers can be slow to start the editor).
  bool WaitUntil(const std::function<bool(const std::string&)>& condition) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      if (condition(Screen())) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    return condition(Screen());
  }
  bool WaitFor(const std::string& text) const {
    return WaitUntil([&](const std::string& s) { return s.find(text) != std::string::npos; });
  }
  bool WaitGone(const std::string& text) const {
    return WaitUntil([&](const std::string& s) { return s.find(text) == std::string::npos; });
  }
  bool WaitExit() const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Alive() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
    return !Alive();
  }

 private:
  static inline int count_ = 0;
  std::string socket_;
};

class EditorInTmux : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("tmux -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed";
    db_ = dir_.File("notifications.db");
  }
  std::string Command() const {
    return "env LANG=C.UTF-8 LC_ALL=C.UTF-8 " + std::string(QM_EDITOR_BINARY) + " --db " + Quote(db_) + " 2>" +
           Quote(dir_.File("stderr.txt"));
  }
  std::string Export(int number, int* status) const {
    return Output(
        std::string(QM_EDITOR_BINARY) + " --db " + Quote(db_) + " --export " + std::to_string(number) + " 2>&1",
        status);
  }

  testing::TempDir dir_;
  std::string db_;
};

#define ASSERT_SCREEN(condition, tmux) ASSERT_TRUE(condition) << "screen:\n" << (tmux).Screen()

TEST_F(EditorInTmux, EditsASampleNotificationAndExportShowsTheEdits) {
  Tmux tmux(Command());
  ASSERT_SCREEN(tmux.WaitFor("Core network outage"), tmux);
  EXPECT_EQ(tmux.Format("#{mouse_button_flag}"), "1\n");  // the terminal reports presses, releases and drags
  tmux.Keys("Enter");
  ASSERT_SCREEN(tmux.WaitFor("Notification 1: Core network outage"), tmux);

  // Choose the first available event type: focus the filter, Tab into the
  // available list, Down selects its first row, Enter chooses it.
  tmux.Keys("M-g Tab Down Enter");
  ASSERT_SCREEN(tmux.WaitFor("[changed]"), tmux);

  tmux.Keys("-H 1b 5b 4d 20 2d 22");  // a press on the SNMP page's tab, as the terminal reports it
  ASSERT_SCREEN(tmux.WaitFor("┌─SNMP Managers"), tmux);
  tmux.Keys("M-n M-h");
  tmux.Type("trap.example.org");
  tmux.Keys("M-p 1 1 6 2 Enter");
  ASSERT_SCREEN(tmux.WaitFor("\u2502trap.example.org"), tmux);  // a row of the list

  tmux.Keys("C-NPage M-n M-e");
  tmux.Type("ops@example.org");
  tmux.Keys("Enter");
  ASSERT_SCREEN(tmux.WaitFor("\u2502ops@example.org"), tmux);  // a row of the list

  tmux.Keys("C-s");
  ASSERT_SCREEN(tmux.WaitGone("[changed]"), tmux);
  tmux.Keys("Escape");
  ASSERT_SCREEN(tmux.WaitFor("Quillmont notifications"), tmux);
  tmux.Keys("q");
  ASSERT_TRUE(tmux.WaitExit()) << "the editor did not quit";

  int status = -1;
  const std::string json = Export(1, &status);
  EXPECT_EQ(status, 0) << json;
  EXPECT_NE(json.find("{\"host\": \"trap.example.org\", \"port\": 1162"), std::string::npos) << json;
  EXPECT_NE(json.find("\"ops@example.org\""), std::string::npos) << json;
  EXPECT_NE(json.find("{\"key\": \"node.up\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"nms1.ops.example\""), std::string::npos) << json;
}

TEST_F(EditorInTmux, WideNamesDrawWholeThroughResizingAndASignalNamesWhatWasLost) {
  // The pane outlives the editor so that its last words stay readable.
  Tmux tmux(Command() + "; echo EXIT=$?; sleep 60", 80, 24);
  ASSERT_SCREEN(tmux.WaitFor("Core network outage"), tmux);
  tmux.Keys("Enter F6 M-n M-h");
  tmux.Type("ü日本🚀x.exampleQZ");
  tmux.Keys("BSpace S-Left C-Right Left DC Home Y S-Home DC End");  // editing keys, plain, with Shift or Ctrl
  tmux.Keys("M-p 1 6 2 M-a");
  // The new row ends where the others do: the frame's right border follows.
  ASSERT_SCREEN(tmux.WaitFor("│ü日本🚀x.example              162            SNMP v2c       UTC               │"), tmux);
  // Larger: the window with its rows and the caret in the emptied Host (too small, then larger, below).
  tmux.Run("resize-window -x 120 -y 40");
  ASSERT_SCREEN(tmux.WaitFor("│ü日本🚀x.example "), tmux);
  EXPECT_TRUE(WaitUntil([&] { return tmux.Format("#{cursor_flag} #{cursor_x},#{cursor_y}") == "1 16,32\n"; }));
  // At the smallest size the help box keeps its corner in the terminal's last cell.
  tmux.Run("resize-window -x 60 -y 23");
  tmux.Keys("F1");
  ASSERT_SCREEN(tmux.WaitUntil([](const std::string& s) { return s.ends_with("\u2518\n"); }), tmux);
  // SIGTERM: the terminal comes back and the unsaved notification is named.
  // The pane's shell has one child: the editor.
  tmux.Run("run-shell 'kill -TERM $(pgrep -P #{pane_pid})'");
  ASSERT_SCREEN(tmux.WaitFor("EXIT=143"), tmux);
  EXPECT_EQ(ReadText(dir_.File("stderr.txt")),
            "quillmont-editor: ended by signal 15 (SIGTERM). Unsaved changes were lost in: \"Core network outage\".\n");
}

// The editor's "Send test" reaching real receivers on loopback, with the
// delivery settings entered on their screen.
TEST_F(EditorInTmux, ATestOfThePagesCurrentRowsArrivesAtTheReceivers) {
  quillmont::testing::TrapReceiver traps(dir_);
  quillmont::testing::MailReceiver smtp(dir_);
  ASSERT_TRUE(traps.Ready() && smtp.Ready());
  store::SeedDatabase(*store::Store::Open(db_));
  Output("sqlite3 " + db_ + " \"UPDATE snmp_managers SET host = '127.0.0.1', port = " + std::to_string(traps.Port()) +
         "\"");

  Tmux pane(Command(), 110, 30);
  ASSERT_SCREEN(pane.WaitFor("Core network outage"), pane);
  // The settings screen: SMTP server and port, saved in the database.
  pane.Keys("s");
  ASSERT_SCREEN(pane.WaitFor("Delivery Settings"), pane);
  pane.Keys("Down Down Enter");
  ASSERT_SCREEN(pane.WaitFor("SMTP server:"), pane);
  pane.Type("127.0.0.1");
  pane.Keys("Enter Down Enter");
  ASSERT_SCREEN(pane.WaitFor("SMTP port:"), pane);
  pane.Type(std::to_string(smtp.Port()));
  pane.Keys("Enter C-s");
  ASSERT_SCREEN(pane.WaitFor("Saved"), pane);
  pane.Keys("Escape");  // alone: Esc and a key at once reads as Alt+key
  ASSERT_SCREEN(pane.WaitFor("Quillmont notifications"), pane);
  pane.Keys("Enter");
  ASSERT_SCREEN(pane.WaitFor("Notification 1: Core network outage"), pane);

  // A manager and an address applied on their pages but never saved count.
  pane.Keys("F6 M-n M-h");
  pane.Type("localhost");
  pane.Keys("M-p");
  pane.Type(std::to_string(traps.Port()));
  pane.Keys("Enter");
  ASSERT_SCREEN(pane.WaitFor("\u2502localhost"), pane);
  pane.Keys("C-t");
  ASSERT_SCREEN(pane.WaitFor("3 of 3 sent."), pane);
  pane.Keys("Enter F6 M-n M-e");
  pane.Type("ops@example.org");
  pane.Keys("Enter");
  ASSERT_SCREEN(pane.WaitFor("\u2502ops@example.org"), pane);
  pane.Keys("C-t");
  ASSERT_SCREEN(pane.WaitFor("3 of 3 sent."), pane);

  ASSERT_TRUE(quillmont::testing::WaitUntil([&] { return smtp.Mails().size() == 3; }));
  // Sent at once, so kept in any order.
  std::string mails;
  for (const std::string& mail : smtp.Mails()) mails += mail;
  EXPECT_NE(mails.find("RCPT TO ops@example.org"), std::string::npos);
  EXPECT_NE(mails.find("A core network device or link has failed."), std::string::npos);
  const std::string name = "STRING: \"Core network outage\"";
  ASSERT_TRUE(quillmont::testing::WaitUntil([&] {
    const std::string log = traps.Log();
    std::size_t count = 0;
    for (std::size_t at = log.find(name); at != std::string::npos; at = log.find(name, at + 1)) ++count;
    return count == 3;
  })) << traps.Log();
}

// Two editors on a server: an edit held while the server is away is kept and
// saved once it is back, and the other editor's list shows the save.
TEST_F(EditorInTmux, OnAServerAnEditOutlivesTheServerGoingAwayAndTheOtherEditorSeesIt) {
  quillmont::testing::PgCluster& cluster = quillmont::testing::PgCluster::Shared();
  db_ = cluster.NewDatabase();
  Tmux one(Command(), 80, 24);
  ASSERT_SCREEN(one.WaitFor("Core network outage"), one);
  Tmux two(Command(), 80, 24);
  ASSERT_SCREEN(two.WaitFor("Core network outage              2"), two);
  one.Keys("Enter F6 M-n M-h");
  one.Type("trap.example.org");
  one.Keys("M-p 1 6 2 Enter");
  ASSERT_SCREEN(one.WaitFor("\u2502trap.example.org"), one);

  cluster.Stop();
  one.Keys("C-s");
  ASSERT_SCREEN(one.WaitFor("The connection to the database server"), one);
  one.Keys("Enter");
  ASSERT_SCREEN(one.WaitFor("\u2502trap.example.org"), one);
  EXPECT_NE(one.Screen().find("[changed]"), std::string::npos) << one.Screen();
  cluster.Start();
  one.Keys("C-s");
  ASSERT_SCREEN(one.WaitGone("[changed]"), one);

  // No key pressed: the list learns of the save by itself.
  ASSERT_SCREEN(two.WaitFor("Core network outage              3"), two);
  int status = -1;
  EXPECT_NE(Export(1, &status).find("\"trap.example.org\""), std::string::npos);
  EXPECT_EQ(status, 0);
}

// What only a real terminal shows: a terminal that cannot place text is
// refused; Ctrl+Z suspends; a resize is drawn at once; a paste arrives
// whole, as text; a key the terminal description does not name types
// nothing; a file replaced under the open editor gets nothing written into
// it, and the reopened one keeps what it holds.
TEST_F(EditorInTmux, SuspendResizePastesUnknownKeysAndAFileReplacedUnderTheEditor) {
  Tmux dumb("env TERM=dumb " + Command() + "; echo EXIT=$?; sleep 60", 80, 24);
  ASSERT_SCREEN(dumb.WaitFor("EXIT=5"), dumb);
  EXPECT_FALSE(std::ifstream(db_).good()) << "nothing is made for a terminal that is refused";

  store::SeedDatabase(*store::Store::Open(db_));
  // Another user's database (as root): the question comes before the editor's screen; "n" refuses, "Y" agrees.
  const bool root = ::geteuid() == 0 && ::chown(db_.c_str(), 65534, 65534) == 0;
  // Ctrl+Z hands the terminal back to the shell; fg draws the editor again.
  Tmux shell("bash --norc --noprofile -i", 80, 24);
  const std::string asked = "editing.\nEdit it anyway? Its owner can read and change every notification in it. [y/N] ";
  for (const std::string answer : {"n", "Y"}) {
    if (answer == "n" && !root) continue;
    shell.Type(Command() + (answer == "n" ? "; echo EXIT=$?" : ""));
    shell.Keys("Enter");
    ASSERT_TRUE(!root || WaitUntil([&] { return ReadText(dir_.File("stderr.txt")).ends_with(asked); }));
    if (root) shell.Type(answer + "\n");
    ASSERT_SCREEN(answer != "n" || shell.WaitFor("EXIT=4"), shell);
  }
  ASSERT_SCREEN(shell.WaitFor("Quillmont notifications"), shell);
  shell.Keys("C-z");
  ASSERT_SCREEN(shell.WaitFor("Stopped"), shell);
  shell.Type("fg");
  shell.Keys("Enter");
  ASSERT_SCREEN(shell.WaitFor("Quillmont notifications"), shell);
  EXPECT_EQ(shell.Format("#{mouse_button_flag}"), "1\n");  // the mouse is the editor's again at once
  shell.Keys("q");
  ASSERT_TRUE(!root || ::chown(db_.c_str(), 0, 0) == 0);

  const std::string other = dir_.File("restored.db");
  Output("cp " + Quote(db_) + " " + Quote(other));
  {
    auto restored = store::Store::Open(other);
    auto third = restored->NewDefinition("Restored only");
    restored->Save(*third);
  }
  Tmux pane("env TERM=vt100 " + Command(), 120, 40);
  ASSERT_SCREEN(pane.WaitFor("Core network outage"), pane);
  // Each resize is drawn at once, without a key, with the list's own minimum.
  pane.Run("resize-window -x 25 -y 7");
  ASSERT_SCREEN(pane.WaitFor("Terminal too small: 40"), pane);
  pane.Run("resize-window -x 80 -y 24");
  ASSERT_SCREEN(pane.WaitFor("Core network outage"), pane);
  pane.Keys("Enter");
  ASSERT_SCREEN(pane.WaitFor("Notification 1: Core network outage"), pane);
  ASSERT_SCREEN(pane.WaitFor("Alt+1..3 page"), pane);  // vt100 has no Ctrl+PgDn
  pane.Keys("M-3 M-s S-F10");
  pane.Run("set-buffer 'two\nlines'");
  pane.Run("paste-buffer -p");
  ASSERT_SCREEN(pane.WaitFor("A line break cannot be pasted"), pane);
  EXPECT_EQ(pane.Screen().find("[changed]"), std::string::npos) << pane.Screen();
  EXPECT_EQ(pane.Screen().find("21;2~"), std::string::npos) << pane.Screen();
  pane.Keys("M-m C-a");
  pane.Run("paste-buffer -p");
  ASSERT_SCREEN(pane.WaitFor("Message: two"), pane);
  ASSERT_SCREEN(pane.WaitFor("         lines"), pane);

  Output("mv " + Quote(other) + " " + Quote(db_));
  pane.Keys("C-s");
  ASSERT_SCREEN(pane.WaitFor("nothing was written to it"), pane);
  pane.Keys("r");  // Reopen
  ASSERT_SCREEN(pane.WaitFor("Saved"), pane);
  pane.Keys("Escape");
  ASSERT_SCREEN(pane.WaitFor("Restored only"), pane);
  pane.Keys("q");
  ASSERT_TRUE(pane.WaitExit());
  int status = -1;
  EXPECT_NE(Export(1, &status).find("\"emailMessage\": \"two\\r\\nlines\""), std::string::npos) << Export(1, &status);
  EXPECT_NE(Output(std::string(QM_EDITOR_BINARY) + " --db " + Quote(db_) + " --list").find("Restored only"),
            std::string::npos);
}

}  // namespace
}  // namespace quillmont::editor
