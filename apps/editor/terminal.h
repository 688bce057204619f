#pragma once

#include <memory>
#include <string>

#include "apps/editor/canvas.h"
#include "apps/editor/input.h"

namespace quillmont::editor {

// Where the editor shows its cells and gets its input from: the real
// terminal, or a scripted one in tests.
class Terminal {
 public:
  virtual ~Terminal() = default;
  virtual int Rows() const = 0;
  virtual int Columns() const = 0;
  // The next input; blocks until there is one.
  virtual InputEvent Read() = 0;
  // The next input if one comes within ms milliseconds, else an event of
  // Kind::None (for screens that keep working while they wait). A terminal
  // without a clock just reads.
  virtual InputEvent ReadFor(int ms) {
    (void)ms;
    return Read();
  }
  virtual void Present(const Canvas& canvas) = 0;
  // The next Present draws every cell, whatever the terminal shows now.
  virtual void Repaint() {}
  // The terminal description names F6 and Ctrl+PgDn (vt100 has no
  // Ctrl+PgDn): else the help line offers Alt+digit for pages.
  virtual bool HasPageKeys() const { return true; }
  // Ctrl+Z: the terminal is given back and the program stops until the
  // shell resumes it; the next Present draws every cell.
  virtual void Suspend() {}
};

// The terminal through ncurses (wide characters, UTF-8, mouse, resize).
// Alt+letter arrives as ESC followed by the letter.
class CursesTerminal final : public Terminal {
 public:
  // Without mouse, clicks and the wheel stay the terminal's own.
  explicit CursesTerminal(bool mouse = true);
  ~CursesTerminal() override;
  CursesTerminal(const CursesTerminal&) = delete;
  CursesTerminal& operator=(const CursesTerminal&) = delete;

  int Rows() const override;
  int Columns() const override;
  InputEvent Read() override;
  InputEvent ReadFor(int ms) override;
  void Present(const Canvas& canvas) override;
  void Repaint() override;
  bool HasPageKeys() const override;
  void Suspend() override;

 private:
  bool mouse_;
};

// Why the terminal the program runs in cannot show the editor (an unknown
// type, or one without cursor addressing such as TERM=dumb); "" when it can.
std::string TerminalUnfit();

// Makes sure the program runs with a UTF-8 character set, whatever the
// environment chose, so ncursesw can draw lines and accented letters.
void UseUtf8Locale();

}  // namespace quillmont::editor
