#include "tests/editor/scripted_terminal.h"

#include <gtest/gtest.h>

#include "quillmont/platform/ui/utf8.h"

namespace quillmont::editor::testing {

bool Shows(const Canvas& canvas, const std::string& text) { return canvas.AllText().find(text) != std::string::npos; }

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
  return InputEvent{InputEvent::Kind::Closed, 0, 0, 0, 0, 0, {}};
}

ScriptedTerminal& ScriptedTerminal::Send(InputEvent event) {
  steps_.push_back({nullptr, event});
  return *this;
}

ScriptedTerminal& ScriptedTerminal::Type(const std::string& text) {
  for (char32_t c : ui::utf8::Decode(text)) Send(InputEvent::MakeText(c));
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

ScriptedTerminal& ScriptedTerminal::Then(std::function<void()> action) {
  return Check([action = std::move(action)](const Canvas&) { action(); });
}

}  // namespace quillmont::editor::testing
