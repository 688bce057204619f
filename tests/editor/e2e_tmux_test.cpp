// Drives the real quillmont-editor in a tmux pane, as a person at a terminal
// would, and checks what the screen shows and what the database keeps.
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/editor/editor_test_support.h"

namespace quillmont::editor {
namespace {

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Output(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> buffer{};
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  const int rc = pclose(pipe);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

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
  tmux.Keys("Enter");
  ASSERT_SCREEN(tmux.WaitFor("Notification 1: Core network outage"), tmux);

  // Choose the first available event type: focus the filter, Tab into the
  // available list, Down selects its first row, Enter chooses it.
  tmux.Keys("M-g");
  tmux.Keys("Tab");
  tmux.Keys("Down");
  tmux.Keys("Enter");
  ASSERT_SCREEN(tmux.WaitFor("[changed]"), tmux);

  tmux.Keys("F6");
  ASSERT_SCREEN(tmux.WaitFor("SNMP Host"), tmux);
  tmux.Keys("M-n");
  tmux.Keys("M-h");
  tmux.Type("trap.example.org");
  tmux.Keys("M-p");
  tmux.Type("1162");
  tmux.Keys("Enter");
  ASSERT_SCREEN(tmux.WaitFor("\u2502trap.example.org"), tmux);  // a row of the list

  tmux.Keys("F6");
  ASSERT_SCREEN(tmux.WaitFor("Recipients"), tmux);
  tmux.Keys("M-n");
  tmux.Keys("M-e");
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
  EXPECT_NE(json.find("\"nms1.example.net\""), std::string::npos) << json;
}

TEST_F(EditorInTmux, RefusedCheckShowsItsMessageAndResizingRedraws) {
  Tmux tmux(Command());
  ASSERT_SCREEN(tmux.WaitFor("Server room environment"), tmux);
  tmux.Keys("n");
  ASSERT_SCREEN(tmux.WaitFor("Name of the new notification"), tmux);
  tmux.Type("Empty one");
  tmux.Keys("Enter");
  ASSERT_SCREEN(tmux.WaitFor("Notification (new): Empty one"), tmux);

  tmux.Keys("C-s");
  ASSERT_SCREEN(tmux.WaitFor("Please select event(s) for notification."), tmux);
  tmux.Keys("Enter");
  ASSERT_SCREEN(tmux.WaitGone("Please select event(s)"), tmux);

  auto lines = [](const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); };
  tmux.Run("resize-window -x 30 -y 8");
  ASSERT_SCREEN(tmux.WaitUntil([&](const std::string& s) {
    return lines(s) == 8 && s.find("Terminal too small") != std::string::npos;
  }),
                tmux);
  tmux.Run("resize-window -x 120 -y 40");
  ASSERT_SCREEN(tmux.WaitUntil([&](const std::string& s) {
    return lines(s) == 40 && s.find("Ctrl+S save  Esc close") != std::string::npos &&
           s.find("Events ") != std::string::npos;
  }),
                tmux);
  EXPECT_TRUE(tmux.Alive());

  tmux.Keys("Escape");
  ASSERT_SCREEN(tmux.WaitFor("Quillmont notifications"), tmux);
  EXPECT_EQ(tmux.Screen().find("Empty one"), std::string::npos) << "an unsaved notification was listed";
  tmux.Keys("q");
  ASSERT_TRUE(tmux.WaitExit());
  int status = -1;
  EXPECT_EQ(Export(3, &status).find("Empty one"), std::string::npos);
  EXPECT_EQ(status, 3);
}

}  // namespace
}  // namespace quillmont::editor
