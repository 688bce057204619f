#include "apps/editor/shutdown.h"

#include <csignal>

#include "quillmont/platform/terminal_text.h"

namespace quillmont::editor {
namespace {

volatile std::sig_atomic_t pendingSignal = 0;
struct sigaction previousTerm {
}, previousHup{};

void OnSignal(int signal) { pendingSignal = signal; }

std::vector<std::function<std::string()>*>& Describers() {
  static std::vector<std::function<std::string()>*> describers;
  return describers;
}

}  // namespace

void InstallTerminationHandlers() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a blocked read returns so the input loop sees the signal.
  action.sa_flags = 0;
  sigaction(SIGTERM, &action, &previousTerm);
  sigaction(SIGHUP, &action, &previousHup);
}

void RestoreTerminationHandlers() {
  sigaction(SIGTERM, &previousTerm, nullptr);
  sigaction(SIGHUP, &previousHup, nullptr);
}

int PendingTermination() noexcept { return pendingSignal; }

void ThrowIfTerminated() {
  const int signal = pendingSignal;
  if (signal == 0) return;
  pendingSignal = 0;
  Terminated t{signal, {}};
  for (auto* describe : Describers())
    if (std::string name = (*describe)(); !name.empty()) t.unsaved.push_back(std::move(name));
  throw t;
}

UnsavedWork::UnsavedWork(std::function<std::string()> describe) : describe_(std::move(describe)) {
  Describers().push_back(&describe_);
}

UnsavedWork::~UnsavedWork() { std::erase(Describers(), &describe_); }

std::string TerminationMessage(const Terminated& t) {
  std::string text = "quillmont-editor: ended by signal " + std::to_string(t.signal) + " (" +
                     (t.signal == SIGHUP    ? "SIGHUP"
                      : t.signal == SIGTERM ? "SIGTERM"
                                            : "signal") +
                     ").";
  if (t.unsaved.empty()) return text + " Nothing was left unsaved.\n";
  text += " Unsaved changes were lost in:";
  for (const auto& name : t.unsaved) text += " \"" + text::ForTerminal(name) + "\"";
  return text + ".\n";
}

}  // namespace quillmont::editor
