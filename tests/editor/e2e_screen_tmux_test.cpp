// The real editor in a tmux pane: wide characters and resizing end to end,
// and ending by a signal.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/editor/editor_test_support.h"

namespace quillmont::editor {
namespace {

class Pane {
 public:
  explicit Pane(const std::string& command)
      : socket_("qm-screen-" + std::to_string(::getpid()) + "-" + std::to_string(++count_)) {
    Tmux("-f /dev/null new-session -d -x 80 -y 24 \"" + command + "; echo EXIT=\\$?; sleep 60\"");
  }
  ~Pane() { Tmux("kill-server"); }
  int Tmux(const std::string& args) const {
    return std::system(("tmux -L " + socket_ + " " + args + " >/dev/null 2>&1").c_str());
  }
  std::string Screen() const {
    std::string out;
    if (FILE* pipe = popen(("tmux -L " + socket_ + " capture-pane -p 2>/dev/null").c_str(), "r")) {
      char buffer[4096];
      for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
      pclose(pipe);
    }
    return out;
  }
  // Polls until the screen shows text (a loaded machine can be slow).
  bool WaitFor(const std::string& text) const {
    for (int i = 0; i < 750; ++i) {
      if (Screen().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    return false;
  }

 private:
  static inline int count_ = 0;
  std::string socket_;
};

TEST(EditorScreenInTmux, WideNamesAndResizingDrawWhole) {
  testing::TempDir dir;
  Pane pane("LANG=C.UTF-8 " + std::string(QM_EDITOR_BINARY) + " --db " + dir.File("q.db"));
  ASSERT_TRUE(pane.WaitFor("Core network outage"));
  pane.Tmux("send-keys Enter F6 M-n M-h");
  pane.Tmux("send-keys -l 'ü日本🚀x.example'");
  pane.Tmux("send-keys M-p 1 6 2 M-a");
  // The new row ends where the others do: the frame's right border follows.
  ASSERT_TRUE(pane.WaitFor("│ü日本🚀x.example              162            SNMP v2c       UTC               │"))
      << pane.Screen();
  pane.Tmux("resize-window -x 30 -y 6");
  ASSERT_TRUE(pane.WaitFor("Terminal too small: 60×23")) << pane.Screen();
  pane.Tmux("resize-window -x 100 -y 30");
  ASSERT_TRUE(pane.WaitFor("│nms1.example.net")) << pane.Screen();
  EXPECT_NE(pane.Screen().find("│ü日本🚀x.example "), std::string::npos) << pane.Screen();
  EXPECT_EQ(pane.Screen().find("Terminal too small"), std::string::npos) << pane.Screen();
  // SIGTERM: the terminal comes back and the unsaved notification is named.
  // The pane's shell has one child: the editor.
  pane.Tmux("run-shell 'kill -TERM $(pgrep -P #{pane_pid})'");
  ASSERT_TRUE(pane.WaitFor("EXIT=143")) << pane.Screen();
  EXPECT_NE(pane.Screen().find("Unsaved changes were lost in: \"Core network outage\"."), std::string::npos);
}

}  // namespace
}  // namespace quillmont::editor
