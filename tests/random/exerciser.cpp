#include "tests/random/exerciser.h"

#include <cstdlib>
#include <exception>
#include <sstream>

#include "quillmont/framework/runtime.h"
#include "quillmont/platform/error.h"

namespace quillmont::random_testing {

std::uint32_t ByteChoices::Below(std::uint32_t bound) {
  if (bound <= 1) return 0;
  // As many bytes as the bound needs, so short inputs still mean something.
  std::uint32_t value = 0;
  for (std::uint32_t span = bound - 1; span > 0; span >>= 8) {
    const std::uint32_t byte = position_ < size_ ? data_[position_] : 0;
    ++position_;
    value = (value << 8) | byte;
  }
  return value % bound;
}

int AnsweringMessages::ShowMessage(const std::string& prompt, int buttons, const std::string& title,
                                   const std::string& helpFile, int helpContext) {
  int answer = msgbox::AnswerOk;
  if (buttons == msgbox::YesNoExclamation) {
    static const int kAnswers[] = {msgbox::AnswerYes, msgbox::AnswerNo, msgbox::AnswerOk};
    answer = kAnswers[choices_.Below(3)];
  }
  shown.push_back({prompt, buttons, title, helpFile, helpContext, answer});
  return answer;
}

PanelExerciser::~PanelExerciser() = default;

// clang-format off
const std::vector<std::string>& RandomFragments() {
  static const std::vector<std::string> fragments = {
      "a", "B", "z", " ", "  ", "1", "6", "2", "0", "9", ".", "-", "@", "+", "_",
      "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",  // a Latin letter, a CJK one, an emoji outside the BMP
      "alpha", "Beta", "ALPHA", "162", " 162 ", "65535", "65536", "0", "-1", "+1", "0162", "1e3",
      "a@example.com", "b@x", "A@EXAMPLE.COM", " c@d.org ", "x@y, z@w", "bad@", "@bad", "a b@c"};
  return fragments;
}
// clang-format on

namespace {

constexpr std::size_t kStepsKept = 40;

std::string Report(const std::string& what, long step, const std::deque<std::string>& recent) {
  std::ostringstream out;
  out << what << "\n  at step " << step << "; the last steps, oldest first:";
  for (const auto& s : recent) out << "\n    " << s;
  return out.str();
}

}  // namespace

std::string Run(PanelExerciser& exerciser, Choices& choices, std::shared_ptr<testing::FaultPlan> plan,
                const RunOptions& options) {
  std::deque<std::string> recent;
  auto remember = [&recent](std::string s) {
    recent.push_back(std::move(s));
    if (recent.size() > kStepsKept) recent.pop_front();
  };
  try {
    exerciser.Prepare();
    exerciser.Verify(true);
  } catch (const std::exception& e) {
    return Report(std::string("after loading: ") + e.what(), 0, recent);
  }
  for (long step = 1; step <= options.steps && !choices.Exhausted(); ++step) {
    try {
      exerciser.Prepare();
    } catch (const std::exception& e) {
      return Report(std::string("reading the state: ") + e.what(), step, recent);
    }
    const bool armed =
        plan && options.faultPercent > 0 && choices.Percent(static_cast<std::uint32_t>(options.faultPercent));
    if (plan) {
      plan->ClearLog();
      if (armed)
        plan->FailOnCall(1 + static_cast<int>(choices.Below(12)));
      else
        plan->FailOnCall(0);  // disarmed, and Fired() false again
    }
    std::string done = "?";
    bool failed = false;
    try {
      done = exerciser.Act();
    } catch (const Error& e) {
      if (!plan || !plan->Fired())
        return Report(exerciser.LastAction() + ": error without an injected failure: " + e.what(), step, recent);
      failed = true;
      done = exerciser.LastAction() + " (failed: " + std::string(e.what()) + ")";
    } catch (const std::exception& e) {
      return Report(exerciser.LastAction() + ": unexpected exception: " + e.what(), step, recent);
    }
    if (plan) {
      const bool fired = plan->Fired();
      plan->Disarm();
      if (fired && !failed && !exerciser.IgnoresErrors(exerciser.LastAction()))
        return Report("an injected failure did not reach the caller: " + done + " (" +
                          (plan->Log().empty() ? std::string() : plan->Log().back()) + ")",
                      step, recent);
      failed = fired;
    }
    remember(done);
    try {
      exerciser.Verify(!failed);
      if (failed) {
        // The next operation works, and with it every rule holds again.
        exerciser.Prepare();
        remember(exerciser.Recover());
        exerciser.Verify(true);
      }
    } catch (const std::exception& e) {
      return Report(e.what(), step, recent);
    }
  }
  return {};
}

long StepsFromEnvironment(long byDefault) {
  if (const char* text = std::getenv("QUILLMONT_RANDOM_STEPS")) {
    char* end = nullptr;
    const long steps = std::strtol(text, &end, 10);
    if (end != text && steps > 0) return steps;
  }
#if defined(__SANITIZE_ADDRESS__)
  return byDefault / 10;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return byDefault / 10;
#endif
#endif
  return byDefault;
}

std::uint64_t SeedFromEnvironment(std::uint64_t byDefault) {
  if (const char* text = std::getenv("QUILLMONT_RANDOM_SEED")) {
    char* end = nullptr;
    const unsigned long long seed = std::strtoull(text, &end, 10);
    if (end != text) return seed;
  }
  return byDefault;
}

std::string SelectRandomRows(ui::Driver& user, Choices& choices, ui::ListView& list) {
  const int rows = list.ViewRowCount();
  if (rows > 0 && choices.Percent(10)) {
    const int row = static_cast<int>(choices.Below(static_cast<std::uint32_t>(rows)));
    const int shift = choices.Percent(50) ? ui::shift::Shift : ui::shift::Ctrl;
    user.ClickRow(list, row, shift);
    return "click row " + std::to_string(row) + " with shift " + std::to_string(shift);
  }
  std::vector<int> chosen;
  const std::uint32_t how = choices.Below(10);
  if (rows > 0 && how >= 2) {
    const int count = how < 7 ? 1 : 2 + static_cast<int>(choices.Below(static_cast<std::uint32_t>(rows)));
    for (int i = 0; i < count; ++i) chosen.push_back(static_cast<int>(choices.Below(static_cast<std::uint32_t>(rows))));
  }
  user.SelectRows(list, chosen);
  std::string done = "select rows";
  for (int r : chosen) done += " " + std::to_string(r);
  return done;
}

std::string PressRandomListKey(ui::Driver& user, Choices& choices, ui::ListView& list) {
  static const std::vector<int> keys = {ui::keys::Up,    ui::keys::Down,   ui::keys::Home,    ui::keys::End,
                                        ui::keys::Space, ui::keys::PageUp, ui::keys::PageDown};
  user.Focus(list);
  const int key = choices.Pick(keys);
  const int shift = choices.Percent(20) ? ui::shift::Shift : (choices.Percent(10) ? ui::shift::Ctrl : 0);
  user.PressKey(key, shift);
  return "list key " + std::to_string(key) + " shift " + std::to_string(shift);
}

std::string PressRandomAccessKey(ui::Driver& user, Choices& choices, const std::string& letters) {
  const char letter = letters[choices.Below(static_cast<std::uint32_t>(letters.size()))];
  user.AccessKey(letter);
  return std::string("Alt+") + letter;
}

std::string PressTab(ui::Driver& user, Choices& choices) {
  user.Tab(choices.Percent(30));
  return "Tab";
}

std::string ResizeRandomly(ui::Driver& user, Choices& choices, std::uint32_t maxWidth, std::uint32_t maxHeight) {
  const float width = static_cast<float>(choices.Below(maxWidth));
  const float height = static_cast<float>(choices.Below(maxHeight));
  user.Resize(width, height);
  return "resize " + std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace quillmont::random_testing
