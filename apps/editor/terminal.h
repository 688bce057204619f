#pragma once

#include <memory>

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
  virtual void Present(const Canvas& canvas) = 0;
  // The next Present draws every cell, whatever the terminal shows now.
  virtual void Repaint() {}
};

// The terminal through ncurses (wide characters, UTF-8, mouse, resize).
// Alt+letter arrives as ESC followed by the letter.
class CursesTerminal final : public Terminal {
 public:
  CursesTerminal();
  ~CursesTerminal() override;
  CursesTerminal(const CursesTerminal&) = delete;
  CursesTerminal& operator=(const CursesTerminal&) = delete;

  int Rows() const override;
  int Columns() const override;
  InputEvent Read() override;
  void Present(const Canvas& canvas) override;
  void Repaint() override;
};

// Makes sure the program runs with a UTF-8 character set, whatever the
// environment chose, so ncursesw can draw lines and accented letters.
void UseUtf8Locale();

}  // namespace quillmont::editor
