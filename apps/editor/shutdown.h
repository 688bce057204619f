#pragma once

#include <functional>
#include <string>
#include <vector>

// Ending by SIGTERM or SIGHUP: the terminal's input notices the signal and
// throws Terminated, which unwinds every window and dialog (so the terminal
// is restored) up to main, which names the unsaved notifications.
namespace quillmont::editor {

// Not a std::exception: no handler of a user action may swallow it.
struct Terminated {
  int signal = 0;
  std::vector<std::string> unsaved;  // names of notifications with unsaved changes
};

// Catches SIGTERM and SIGHUP for the life of the terminal.
void InstallTerminationHandlers();
void RestoreTerminationHandlers();
// The signal caught and not yet acted on, 0 when none.
int PendingTermination() noexcept;
// Throws Terminated when a signal was caught.
void ThrowIfTerminated();

// An open window that may hold unsaved work registers how to name it (the
// function returns "" when there is nothing unsaved).
class UnsavedWork {
 public:
  explicit UnsavedWork(std::function<std::string()> describe);
  ~UnsavedWork();
  UnsavedWork(const UnsavedWork&) = delete;
  UnsavedWork& operator=(const UnsavedWork&) = delete;

 private:
  std::function<std::string()> describe_;
};

// The message printed on stderr when a signal ended the editor.
std::string TerminationMessage(const Terminated& t);

}  // namespace quillmont::editor
