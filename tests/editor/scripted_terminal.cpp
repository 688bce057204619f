#include "tests/editor/scripted_terminal.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "quillmont/storage/utf8.h"

// Programs other than the editor's suite (benchmarks) have no stored screens.
#ifndef QM_SCREENS_DIR
#define QM_SCREENS_DIR "tests/editor/screens"
#endif

namespace quillmont::editor::testing {

bool Shows(const Canvas& canvas, const std::string& text) { return canvas.AllText().find(text) != std::string::npos; }

namespace {

// The key hints of the bottom row are stored whole only in these screens,
// so that a change to them rewrites a few files, not every screen.
bool KeepsKeyHints(const std::string& n) { return n == "snmp_page" || n == "list_8x40" || n.starts_with("ed2_hints"); }

}  // namespace

std::string ScreenText(const Canvas& canvas, bool keyHints) {
  auto trimmed = [](std::string s, char blank) {
    s.erase(s.find_last_not_of(blank) + 1);
    return s;
  };
  std::string text, attrs;
  for (int y = 0; y < canvas.Height(); ++y) {
    const std::string line = trimmed(canvas.RowText(y), ' ');
    if (!keyHints && y == canvas.Height() - 1 && line.size() >= 7 && line.compare(line.size() - 7, 7, "F1 help") == 0) {
      text += "~~ key hints\n";
      attrs += "~~ key hints\n";
      continue;
    }
    text += line + "\n";
    std::string row;
    for (int x = 0; x < canvas.Width(); ++x) {
      // One letter a single attribute, a hexadecimal digit a mix of them.
      const int a = canvas.At(y, x).attrs;
      row += a == attr::None        ? '.'
             : a == attr::Bold      ? 'B'
             : a == attr::Reverse   ? 'R'
             : a == attr::Underline ? 'U'
             : a == attr::Dim       ? 'D'
                                    : "0123456789abcdef"[a & 15];
    }
    attrs += trimmed(row, '.') + "\n";
  }
  return text + "~~ attributes: B bold, R reverse, U underline, D dim, a digit the sum of B=1 R=2 U=4 D=8\n" + attrs +
         "~~ caret: " +
         (canvas.CursorRow() < 0 ? std::string("hidden")
                                 : std::to_string(canvas.CursorRow()) + "," + std::to_string(canvas.CursorCol())) +
         "\n";
}

void ExpectScreen(const Canvas& canvas, const std::string& name) {
  const std::string path = std::string(QM_SCREENS_DIR) + "/" + name + ".txt";
  const std::string actual = ScreenText(canvas, KeepsKeyHints(name));
  if (const char* update = std::getenv("QUILLMONT_UPDATE_SCREENS"); update && std::string(update) == "1") {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << "no stored screen " << path << "; this one is:\n" << actual;
  std::ostringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(actual, expected.str()) << "screen " << name;
}

InputEvent ScriptedTerminal::Read() {
  ++reads_;
  while (!steps_.empty()) {
    Step step = std::move(steps_.front());
    steps_.pop_front();
    if (step.check) {
      if (last_)
        step.check(*last_);
      else
        ADD_FAILURE() << "nothing was shown before a check";
      continue;
    }
    if (step.event) return *step.event;
  }
  return InputEvent{InputEvent::Kind::Closed, 0, 0, 0, 0, 0, {}, {}};
}

ScriptedTerminal& ScriptedTerminal::Send(InputEvent event) {
  steps_.push_back({nullptr, event});
  return *this;
}

ScriptedTerminal& ScriptedTerminal::Type(const std::string& text) {
  for (char32_t c : utf8::Decode(text)) Send(InputEvent::MakeText(c));
  return *this;
}

ScriptedTerminal& ScriptedTerminal::Check(std::function<void(const Canvas&)> check) {
  steps_.push_back({std::move(check), std::nullopt});
  return *this;
}

ScriptedTerminal& ScriptedTerminal::ExpectText(const std::string& text) {
  return Check([text](const Canvas& c) {
    EXPECT_TRUE(Shows(c, text)) << "missing \"" << text << "\" in\n" << c.AllText();
  });
}

ScriptedTerminal& ScriptedTerminal::ExpectScreen(const std::string& name) {
  return Check([name](const Canvas& c) { testing::ExpectScreen(c, name); });
}

ScriptedTerminal& ScriptedTerminal::Then(std::function<void()> action) {
  return Check([action = std::move(action)](const Canvas&) { action(); });
}

}  // namespace quillmont::editor::testing
