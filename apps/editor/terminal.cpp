#include "apps/editor/terminal.h"

#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <curses.h>
#include <term.h>

#include "apps/editor/cell_width.h"
#include "apps/editor/shutdown.h"
#include "quillmont/storage/utf8.h"

namespace quillmont::editor {
namespace {

namespace keys = ui::keys;
namespace shift = ui::shift;

// The keys ncurses reports by code: the code, the code with Shift where it
// has one, and the base of its extended names for other modifiers ("kUP5").
struct CursesKey {
  int code, shifted;
  const char* name;
  int key;
};
const CursesKey kCursesKeys[] = {
    {KEY_UP, KEY_SR, "UP", keys::Up},         {KEY_DOWN, KEY_SF, "DN", keys::Down},
    {KEY_LEFT, KEY_SLEFT, "LFT", keys::Left}, {KEY_RIGHT, KEY_SRIGHT, "RIT", keys::Right},
    {KEY_HOME, KEY_SHOME, "HOM", keys::Home}, {KEY_END, KEY_SEND, "END", keys::End},
    {KEY_PPAGE, 0, "PRV", keys::PageUp},      {KEY_NPAGE, 0, "NXT", keys::PageDown},
    {KEY_DC, 0, "DC", keys::Delete},          {KEY_IC, 0, "IC", keys::Insert},
};

// xterm-style modifier digits 2 to 7 in the extended names.
int ModifiersOf(char digit) {
  static const int kModifiers[] = {shift::Shift,
                                   shift::Alt,
                                   shift::Shift | shift::Alt,
                                   shift::Ctrl,
                                   shift::Ctrl | shift::Shift,
                                   shift::Ctrl | shift::Alt};
  return digit >= '2' && digit <= '7' ? kModifiers[digit - '2'] : 0;
}

InputEvent ExtendedKey(int key) {
  const char* name = keyname(key);
  if (!name) return {};
  const std::string n(name);
  if (n.size() < 3 || n[0] != 'k') return {};
  const int mods = ModifiersOf(n.back());
  const std::string base = n.substr(1, n.size() - 2);
  for (const CursesKey& k : kCursesKeys)
    if (mods != 0 && base == k.name) return InputEvent::MakeKey(k.key, mods);
  return {};
}

InputEvent FromKeyCode(int key) {
  for (const CursesKey& k : kCursesKeys) {
    if (key == k.code) return InputEvent::MakeKey(k.key);
    if (key == k.shifted && k.shifted != 0) return InputEvent::MakeKey(k.key, shift::Shift);
  }
  switch (key) {
    case KEY_BACKSPACE:
      return InputEvent::MakeKey(keys::Back);
    case KEY_ENTER:
      return InputEvent::MakeKey(keys::Return);
    case KEY_BTAB:
      return InputEvent::MakeKey(keys::Tab, shift::Shift);
    case KEY_RESIZE:
      return InputEvent::MakeResize();
    default:
      break;
  }
  if (key >= KEY_F(1) && key <= KEY_F(12)) return InputEvent::MakeKey(FunctionKey(key - KEY_F(0)));
  if (key >= KEY_F(13) && key <= KEY_F(24)) return InputEvent::MakeKey(FunctionKey(key - KEY_F(12)), shift::Shift);
  if (key >= KEY_F(25) && key <= KEY_F(36)) return InputEvent::MakeKey(FunctionKey(key - KEY_F(24)), shift::Ctrl);
  return ExtendedKey(key);
}

InputEvent FromCharacter(wint_t ch) {
  switch (ch) {
    case 9:
      return InputEvent::MakeKey(keys::Tab);
    case 10:
    case 13:
      return InputEvent::MakeKey(keys::Return);
    case 8:
    case 127:
      return InputEvent::MakeKey(keys::Back);
    case 0:
      return InputEvent::MakeKey(keys::Space, shift::Ctrl);
    default:
      break;
  }
  if (ch >= 1 && ch <= 26) return InputEvent::MakeKey('A' + static_cast<int>(ch) - 1, shift::Ctrl);
  if (ch < 32) return {};
  return InputEvent::MakeText(static_cast<char32_t>(ch));
}

// The rest of a control sequence after ESC [ (parameters, then one final
// byte), read while it keeps coming; "" when nothing followed in time.
std::string ReadControlSequence() {
  std::string sequence;
  timeout(40);
  for (;;) {
    wint_t ch = 0;
    if (get_wch(&ch) != OK) break;
    sequence += static_cast<char>(ch);
    if (ch >= 0x40 && ch <= 0x7e) break;
    if (ch < 0x20 || ch > 0x3f || sequence.size() > 32) break;
  }
  timeout(-1);
  return sequence;
}

// What a terminal in bracketed-paste mode sends between ESC [200~ and
// ESC [201~, whole: one insertion however long it is. A paste that never
// ends (the terminal went away) ends after a second without input.
std::string ReadPaste() {
  static constexpr std::string_view kEnd = "\033[201~";
  std::string text;
  timeout(1000);
  for (;;) {
    wint_t ch = 0;
    const int rc = get_wch(&ch);
    if (rc == ERR) break;
    if (rc == KEY_CODE_YES) continue;
    text += utf8::Encode(static_cast<char32_t>(ch));
    if (text.size() >= kEnd.size() && text.compare(text.size() - kEnd.size(), kEnd.size(), kEnd) == 0) {
      text.resize(text.size() - kEnd.size());
      break;
    }
  }
  timeout(-1);
  return text;
}

// A resize that arrived while the program waited outside curses (in poll)
// is not yet known to curses, which would learn of it only with the next
// key: the size is asked of the terminal itself. True when it changed.
bool CatchUpWithSize() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0) return false;
  if (size.ws_row == LINES && size.ws_col == COLS) return false;
  resizeterm(size.ws_row, size.ws_col);
  return true;
}

attr_t CursesAttrs(std::uint8_t a) {
  attr_t out = A_NORMAL;
  if (a & attr::Bold) out |= A_BOLD;
  if (a & attr::Reverse) out |= A_REVERSE;
  if (a & attr::Underline) out |= A_UNDERLINE;
  if (a & attr::Dim) out |= A_DIM;
  return out;
}

}  // namespace

std::string TerminalUnfit() {
  int status = 0;
  if (setupterm(nullptr, STDOUT_FILENO, &status) != OK) {
    const char* term = std::getenv("TERM");
    return std::string("the terminal type \"") + (term ? term : "") + "\" is not known here";
  }
  // A terminal that cannot move its cursor (TERM=dumb) would show nothing.
  const char* cup = tigetstr(const_cast<char*>("cup"));
  const bool addressable = cup != nullptr && cup != reinterpret_cast<char*>(-1);
  del_curterm(cur_term);
  cur_term = nullptr;
  if (addressable) return "";
  const char* term = std::getenv("TERM");
  return std::string("the terminal type \"") + (term ? term : "") + "\" cannot place text on the screen";
}

void UseUtf8Locale() {
  std::setlocale(LC_ALL, "");
  const char* codeset = nl_langinfo(CODESET);
  if (codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0)) return;
  for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"})
    if (std::setlocale(LC_CTYPE, name)) return;
}

CursesTerminal::CursesTerminal(bool mouse) : mouse_(mouse) {
  // Before initscr, so that curses leaves SIGTERM and SIGHUP to the editor.
  InstallTerminationHandlers();
  // A short wait tells a lone Esc from the start of Alt+letter or a key's
  // escape sequence.
  set_escdelay(40);
  initscr();
  raw();  // Ctrl+S and Ctrl+C reach the editor instead of the tty driver
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  if (mouse_)
    mousemask(BUTTON1_PRESSED | BUTTON1_RELEASED | BUTTON3_PRESSED | BUTTON4_PRESSED | BUTTON5_PRESSED | BUTTON_SHIFT |
                  BUTTON_CTRL | REPORT_MOUSE_POSITION,
              nullptr);
  // Motion reports while a button is down, for dragging a column border.
  if (mouse_) std::fputs("\033[?1002h", stdout);
  // Pastes arrive marked, as text (not as Enter and Tab keys).
  std::fputs("\033[?2004h", stdout);
  std::fflush(stdout);
  mouseinterval(0);
  curs_set(0);
}

CursesTerminal::~CursesTerminal() {
  std::fputs("\033[?2004l", stdout);
  if (mouse_) std::fputs("\033[?1002l", stdout);
  std::fflush(stdout);
  endwin();
  RestoreTerminationHandlers();
}

void CursesTerminal::Repaint() { clearok(curscr, TRUE); }

void CursesTerminal::Suspend() {
  std::fputs(mouse_ ? "\033[?2004l\033[?1002l" : "\033[?2004l", stdout);
  std::fflush(stdout);
  endwin();
  // Stops here until the shell resumes it (fg); a program no shell
  // controls is not stopped and simply draws again.
  raise(SIGTSTP);
  std::fputs(mouse_ ? "\033[?1002h\033[?2004h" : "\033[?2004h", stdout);
  std::fflush(stdout);
  CatchUpWithSize();
  Repaint();
  refresh();
}

bool CursesTerminal::HasPageKeys() const {
  for (const char* cap : {"kf6", "kNXT5"}) {
    const char* value = tigetstr(const_cast<char*>(cap));
    if (value == nullptr || value == reinterpret_cast<char*>(-1)) return false;
  }
  return true;
}

int CursesTerminal::Rows() const { return LINES; }
int CursesTerminal::Columns() const { return COLS; }

InputEvent CursesTerminal::Read() {
  for (;;) {
    wint_t ch = 0;
    errno = 0;
    const int rc = get_wch(&ch);
    ThrowIfTerminated();
    if (rc == ERR) {
      if (errno == EINTR) continue;
      // The terminal went away (hang-up, closed pane): say so, instead of
      // spinning on a dead input.
      return InputEvent{InputEvent::Kind::Closed, 0, 0, 0, 0, 0, {}, {}};
    }
    if (rc == KEY_CODE_YES) {
      if (ch == KEY_MOUSE) {
        MEVENT m{};
        if (getmouse(&m) != OK) continue;
        int mods = 0;
        if (m.bstate & BUTTON_SHIFT) mods |= shift::Shift;
        if (m.bstate & BUTTON_CTRL) mods |= shift::Ctrl;
        InputEvent::Button button = InputEvent::Button::None;
        if (m.bstate & BUTTON1_PRESSED) button = InputEvent::Button::Left;
        if (m.bstate & BUTTON3_PRESSED) button = InputEvent::Button::Right;
        if (m.bstate & BUTTON4_PRESSED) button = InputEvent::Button::WheelUp;
        if (m.bstate & BUTTON5_PRESSED) button = InputEvent::Button::WheelDown;
        // Motion only matters while the left button is down (a drag).
        static bool leftDown = false;
        if (m.bstate & BUTTON1_PRESSED) leftDown = true;
        if (m.bstate & BUTTON1_RELEASED) {
          leftDown = false;
          button = InputEvent::Button::Release;
        }
        if ((m.bstate & REPORT_MOUSE_POSITION) && leftDown) button = InputEvent::Button::Drag;
        if (button == InputEvent::Button::None) continue;
        return InputEvent::MakeClick(m.y, m.x, button, mods);
      }
      InputEvent e = FromKeyCode(static_cast<int>(ch));
      if (e.kind != InputEvent::Kind::None) return e;
      continue;
    }
    if (ch == 27) {
      // Esc alone, or Alt+key sent as Esc and the key.
      timeout(40);
      wint_t next = 0;
      const int rc2 = get_wch(&next);
      timeout(-1);
      if (rc2 == ERR) return InputEvent::MakeKey(ui::keys::Escape);
      // Esc before a key of the description is Alt with that key; a resize
      // that came in between is Esc, then the resize (never both lost).
      if (rc2 == KEY_CODE_YES && next == KEY_RESIZE) {
        ungetch(KEY_RESIZE);
        return InputEvent::MakeKey(ui::keys::Escape);
      }
      if (InputEvent e = FromKeyCode(static_cast<int>(next)); rc2 == KEY_CODE_YES && e.kind == InputEvent::Kind::Key) {
        e.shift |= shift::Alt;
        return e;
      }
      if (rc2 == OK && next == '[') {
        // A key the terminal description does not name is ignored, never
        // typed as its letters.
        const std::string sequence = ReadControlSequence();
        if (sequence.empty()) return InputEvent::MakeAlt(U'[');
        if (sequence == "200~") return InputEvent::MakePaste(ReadPaste());
        continue;
      }
      if (rc2 == OK && next > 32 && next != 127) return InputEvent::MakeAlt(static_cast<char32_t>(next));
      if (rc2 == OK && next == 27) return InputEvent::MakeKey(ui::keys::Escape);
      continue;
    }
    InputEvent e = FromCharacter(ch);
    if (e.kind != InputEvent::Kind::None) return e;
  }
}

InputEvent CursesTerminal::ReadFor(int ms) {
  // Only the wait is bounded: once input is there it is read whole.
  pollfd in{STDIN_FILENO, POLLIN, 0};
  const int rc = poll(&in, 1, ms);
  ThrowIfTerminated();
  if (CatchUpWithSize()) return InputEvent::MakeResize();
  if (rc == 0) return InputEvent{};
  return Read();
}

void CursesTerminal::Present(const Canvas& canvas) {
  const int rows = std::min(canvas.Height(), LINES);
  const int cols = std::min(canvas.Width(), COLS);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols; ++x) {
      const Cell& c = canvas.At(y, x);
      // The right half of a wide character came with its left half. The
      // bottom-right cell is drawn too (a box's corner): curses writes it
      // without scrolling the screen, though it reports that the cursor
      // could not move on from there.
      if (c.ch == kWideTail) continue;
      wchar_t text[4] = {static_cast<wchar_t>(c.ch), static_cast<wchar_t>(c.marks[0]), static_cast<wchar_t>(c.marks[1]),
                         0};
      cchar_t cell;
      setcchar(&cell, text, CursesAttrs(c.attrs), 0, nullptr);
      mvadd_wch(y, x, &cell);
    }
  }
  if (canvas.CursorRow() >= 0 && canvas.CursorRow() < LINES && canvas.CursorCol() < COLS) {
    move(canvas.CursorRow(), canvas.CursorCol());
    curs_set(1);
  } else {
    curs_set(0);
  }
  refresh();
}

}  // namespace quillmont::editor
