// The editor's "Send test" reaching real receivers on loopback, with the
// delivery settings entered on their screen.
#include <gtest/gtest.h>
#include <unistd.h>

#include "store/definition_store.h"
#include "store/seed.h"
#include "tests/support/loopback_receivers.h"

namespace quillmont::editor {
namespace {

// A private tmux server running one command.
class Pane {
 public:
  explicit Pane(const std::string& command) : socket_("qm-send-" + std::to_string(getpid())) {
    Run("-f /dev/null new-session -d -x 110 -y 30 \"" + command + "\"");
  }
  ~Pane() { Run("kill-server"); }
  int Run(const std::string& args) const {
    return std::system(("tmux -L " + socket_ + " " + args + " >/dev/null 2>&1").c_str());
  }
  void Keys(const std::string& keys) const { Run("send-keys " + keys); }
  void Type(const std::string& text) const { Run("send-keys -l '" + text + "'"); }
  std::string Screen() const { return testing::Output("tmux -L " + socket_ + " capture-pane -p 2>/dev/null"); }
  bool WaitFor(const std::string& text) const {
    return testing::WaitUntil([&] { return Screen().find(text) != std::string::npos; });
  }

 private:
  std::string socket_;
};

#define ASSERT_SCREEN(text, pane) ASSERT_TRUE((pane).WaitFor(text)) << "screen:\n" << (pane).Screen()

TEST(SendTestInTmux, ATrapAndMailsOfThePagesCurrentRowsArriveAtTheReceivers) {
  if (std::system("tmux -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed";
  testing::TempDir dir;
  testing::TrapReceiver traps(dir);
  testing::MailReceiver smtp(dir);
  ASSERT_TRUE(traps.Ready() && smtp.Ready());
  const std::string db = dir.File("notifications.db");
  store::SeedDatabase(*store::Store::Open(db));
  testing::Output("sqlite3 " + db +
                  " \"UPDATE snmp_managers SET host = '127.0.0.1', port = " + std::to_string(traps.Port()) + "\"");

  Pane pane("env LANG=C.UTF-8 " + std::string(QM_EDITOR_BINARY) + " --db " + db);
  ASSERT_SCREEN("Core network outage", pane);
  // The settings screen: SMTP server and port, saved in the database.
  pane.Keys("s");
  ASSERT_SCREEN("Delivery Settings", pane);
  pane.Keys("Down Down Enter");
  ASSERT_SCREEN("SMTP server:", pane);
  pane.Type("127.0.0.1");
  pane.Keys("Enter Down Enter");
  ASSERT_SCREEN("SMTP port:", pane);
  pane.Type(std::to_string(smtp.Port()));
  pane.Keys("Enter C-s");
  ASSERT_SCREEN("Saved", pane);
  pane.Keys("Escape");  // alone: Esc and a key at once reads as Alt+key
  ASSERT_SCREEN("Quillmont notifications", pane);
  pane.Keys("Enter");
  ASSERT_SCREEN("Notification 1: Core network outage", pane);

  // A manager and an address applied on their pages but never saved count.
  pane.Keys("F6 M-n M-h");
  pane.Type("localhost");
  pane.Keys("M-p");
  pane.Type(std::to_string(traps.Port()));
  pane.Keys("Enter");
  ASSERT_SCREEN("\u2502localhost", pane);
  pane.Keys("C-t");
  ASSERT_SCREEN("3 of 3 sent.", pane);
  pane.Keys("Enter F6 M-n M-e");
  pane.Type("ops@example.org");
  pane.Keys("Enter");
  ASSERT_SCREEN("\u2502ops@example.org", pane);
  pane.Keys("C-t");
  ASSERT_SCREEN("3 of 3 sent.", pane);

  ASSERT_TRUE(testing::WaitUntil([&] { return smtp.Mails().size() == 3; }));
  EXPECT_NE(smtp.Mails()[2].find("RCPT TO ops@example.org"), std::string::npos);
  EXPECT_NE(smtp.Mails()[0].find("A core network device or link has failed."), std::string::npos);
  const std::string name = "STRING: \"Core network outage\"";
  ASSERT_TRUE(testing::WaitUntil([&] {
    const std::string log = traps.Log();
    std::size_t count = 0;
    for (std::size_t at = log.find(name); at != std::string::npos; at = log.find(name, at + 1)) ++count;
    return count == 3;
  })) << traps.Log();
}

}  // namespace
}  // namespace quillmont::editor
