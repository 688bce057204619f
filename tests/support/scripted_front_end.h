#pragma once

#include <deque>
#include <string>
#include <vector>

#include "apps/session/front_end.h"

namespace quillmont::testing {

// A front end that answers from a script and records what it was asked: one
// answer a question (a message box's answer code, a choice's index, or a
// text; "" for a text means cancelled).
class ScriptedFrontEnd final : public session::FrontEnd {
 public:
  ScriptedFrontEnd& Answer(int answer) { return answers_.push_back(std::to_string(answer)), *this; }
  ScriptedFrontEnd& Type(const std::string& text) { return answers_.push_back("=" + text), *this; }

  // An unscripted question answers -1 (no button), which no caller takes for
  // a yes.
  int Message(const std::string& text, int, const std::string&) override { return Number(Next(text)); }
  int Choice(const std::string& text, const std::vector<std::string>&, const std::string&) override {
    return Number(Next(text));
  }
  std::optional<std::string> Text(const std::string&, const std::string& prompt, const std::string&,
                                  std::size_t) override {
    const std::string answer = Next(prompt);
    if (answer.empty()) return std::nullopt;
    return answer.substr(1);
  }

  // Every question asked, in order, and whether the script was used up.
  const std::vector<std::string>& Asked() const noexcept { return asked_; }
  bool Finished() const noexcept { return answers_.empty(); }

 private:
  std::string Next(const std::string& question) {
    asked_.push_back(question);
    if (answers_.empty()) return "";
    std::string answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

  static int Number(const std::string& answer) { return answer.empty() ? -1 : std::stoi(answer); }

  std::deque<std::string> answers_;
  std::vector<std::string> asked_;
};

}  // namespace quillmont::testing
