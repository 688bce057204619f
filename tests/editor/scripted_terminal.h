#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "apps/editor/terminal.h"

namespace quillmont::editor::testing {

// A terminal that plays a script: each Read first runs the checks queued
// before the next input against the frame on screen, then returns that
// input. When the script runs out it reports the terminal closed, so every
// loop ends.
class ScriptedTerminal : public Terminal {
 public:
  ScriptedTerminal(int rows = 24, int columns = 80) : rows_(rows), columns_(columns) {}

  int Rows() const override { return rows_; }
  int Columns() const override { return columns_; }
  InputEvent Read() override;
  void Present(const Canvas& canvas) override { last_ = std::make_unique<Canvas>(canvas); }

  void Resize(int rows, int columns) {
    rows_ = rows;
    columns_ = columns;
  }
  ScriptedTerminal& Send(InputEvent event);
  ScriptedTerminal& Key(int code, int shiftState = 0) { return Send(InputEvent::MakeKey(code, shiftState)); }
  ScriptedTerminal& Type(const std::string& text);
  ScriptedTerminal& Alt(char letter) { return Send(InputEvent::MakeAlt(static_cast<char32_t>(letter))); }
  // Runs before the next input is read, with the frame shown then.
  ScriptedTerminal& Check(std::function<void(const Canvas&)> check);
  // The screen must show this text when the next input is read.
  ScriptedTerminal& ExpectText(const std::string& text);
  // The frame must match the stored screen NAME (see ExpectScreen below).
  ScriptedTerminal& ExpectScreen(const std::string& name);
  ScriptedTerminal& Then(std::function<void()> action);

  const Canvas* Frame() const noexcept { return last_.get(); }
  bool Finished() const noexcept { return steps_.empty(); }
  int Reads() const noexcept { return reads_; }

 private:
  struct Step {
    std::function<void(const Canvas&)> check;
    std::optional<InputEvent> event;
  };
  int rows_, columns_;
  std::deque<Step> steps_;
  std::unique_ptr<Canvas> last_;
  int reads_ = 0;
};

bool Shows(const Canvas& canvas, const std::string& text);

// The canvas as text, one line a row without trailing blanks, then its
// attributes cell by cell and the caret: what a user sees, in a form a
// reviewer can read in a diff. Without keyHints a bottom row of key hints
// shows as "~~ key hints".
std::string ScreenText(const Canvas& canvas, bool keyHints = true);
// Compares the canvas with tests/editor/screens/NAME.txt, so a test checks
// every cell of a screen without spelling each one out (the key hints only
// in two of them). With QUILLMONT_UPDATE_SCREENS=1 it writes the file
// instead; review the diff.
void ExpectScreen(const Canvas& canvas, const std::string& name);

}  // namespace quillmont::editor::testing
