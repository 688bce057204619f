#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "apps/editor/screen.h"
#include "apps/session/front_end.h"
#include "quillmont/framework/services.h"

// Modal dialogs drawn over whatever the screen shows, answered by key or
// mouse.
namespace quillmont::editor {

// A message box: the buttons of the code (OK; OK/Cancel; Abort/Retry/Ignore;
// Yes/No/Cancel; Yes/No; Retry/Cancel) with the icon mark of its icon bits
// (16 stop, 32 question, 48 exclamation, 64 information); returns the answer
// code of the button pressed. Keys: arrows and Tab move between buttons,
// Enter or Space presses, a button's first letter presses it, Esc means
// Cancel where there is one, else No, else a lone OK.
int ShowMessageBox(Screen& screen, const std::string& prompt, int buttons, const std::string& title);

// A question with buttons of these captions (each pressed also by its first
// letter; the last one backs out and is what Esc gives): the index of the
// button pressed.
int AskChoice(Screen& screen, const std::string& prompt, const std::vector<std::string>& choices,
              const std::string& title);

// One line of text; nullopt when cancelled (Esc or the Cancel button).
std::optional<std::string> AskText(Screen& screen, const std::string& title, const std::string& prompt,
                                   const std::string& initial, std::size_t maxLength);

// A drop-down list or pop-up menu below the cells of its field (above them
// when it does not fit below), at least as wide: returns the index chosen, or
// -1 when dismissed. Entries that are not enabled cannot be chosen. The
// field is asked where it is on every frame, so the list follows it when
// the terminal is resized.
int ChooseFromList(Screen& screen, const std::vector<std::string>& items, const std::vector<bool>& enabled, int current,
                   const std::function<Rect()>& field);
// The same below the cell (row - 1, col).
int ChooseFromList(Screen& screen, const std::vector<std::string>& items, const std::vector<bool>& enabled, int current,
                   int row, int col, int minWidth = 0);

// Shows that a write waits for another program's, for one pause between
// tries of the lock: false when the user pressed Esc to stop waiting.
bool KeepWaiting(Screen& screen);

// Shows an error of a user action or a panel operation; the editor goes on.
void ShowError(Screen& screen, const std::exception& error, const std::string& title);

// The message service the panels of the editor's thread use.
class TerminalMessageService final : public MessageService {
 public:
  explicit TerminalMessageService(Screen& screen) : screen_(screen) {}
  int ShowMessage(const std::string& prompt, int buttons, const std::string& title, const std::string& helpFile,
                  int helpContext) override;
  // The title of the boxes a caller leaves untitled (the open page's).
  void SetUntitled(std::function<std::string()> title) { untitled_ = std::move(title); }

 private:
  Screen& screen_;
  std::function<std::string()> untitled_;
};

// What the shared editing logic asks, answered by the dialogs above.
class TerminalFrontEnd final : public session::FrontEnd {
 public:
  explicit TerminalFrontEnd(Screen& screen) : screen_(screen) {}
  int Message(const std::string& text, int buttons, const std::string& title) override {
    return ShowMessageBox(screen_, text, buttons, title);
  }
  int Choice(const std::string& text, const std::vector<std::string>& choices, const std::string& title) override {
    return AskChoice(screen_, text, choices, title);
  }
  std::optional<std::string> Text(const std::string& title, const std::string& prompt, const std::string& initial,
                                  std::size_t maxLength) override {
    return AskText(screen_, title, prompt, initial, maxLength);
  }

 private:
  Screen& screen_;
};

// Text wrapped at word boundaries into lines of at most width cells, without
// the blanks a line ends in (a longer word is broken); line breaks are kept.
std::vector<std::string> WrapText(const std::string& text, int width);

}  // namespace quillmont::editor
