#include "apps/editor/send_test.h"

#include "apps/editor/cell_width.h"
#include "apps/editor/dialogs.h"
#include "apps/session/test_send.h"
#include "quillmont/platform/terminal_text.h"

namespace quillmont::editor {
namespace {

// The message box icon of a plain report.
constexpr int kInformation = 64;

}  // namespace

bool SendTest(Screen& screen, store::Store& store, const std::string& notificationName, ui::UserControl& page) {
  TerminalFrontEnd ui(screen);
  bool hasList = false;
  auto test = session::StartTestSend(ui, store, notificationName, page, "quillmont-editor", hasList);
  if (!test) return hasList;
  {
    // The progress line; the screen keeps redrawing while the sender works.
    LayerScope progress(screen, [&](Canvas& canvas) {
      const std::string line = " " + test->Progress() + (test->Done() ? "" : " Esc stops it.");
      const int row = canvas.Height() - 1;
      canvas.Fill({row, 0, 1, canvas.Width()}, U' ', attr::Reverse | attr::Bold);
      canvas.Text(row, 0, FitCells(line, canvas.Width()), attr::Reverse | attr::Bold, canvas.Width());
    });
    while (!test->Done()) {
      const InputEvent e = screen.Poll(100);
      if (e.IsKey(ui::keys::Escape) || e.IsKey('C', ui::shift::Ctrl) || e.kind == InputEvent::Kind::Closed)
        test->Stop();
    }
  }
  int sent = 0;
  std::string text;
  for (const delivery::Outcome& o : test->Outcomes()) {
    sent += o.sent ? 1 : 0;
    text += std::string(o.sent ? "sent: " : "FAILED: ") + text::ForTerminal(o.destination) +
            (o.sent ? "" : " - " + text::ForTerminal(o.detail)) + "\n";
  }
  const std::string head = std::to_string(sent) + " of " + std::to_string(test->Total()) + " sent.\n\n";
  ShowMessageBox(screen, head + text, sent == static_cast<int>(test->Total()) ? kInformation : msgbox::Exclamation,
                 session::kTestTitle);
  return true;
}

}  // namespace quillmont::editor
