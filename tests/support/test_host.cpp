#include "tests/support/test_host.h"

#include <gtest/gtest.h>

namespace quillmont::testing {

ScriptedMessages::~ScriptedMessages() { Verify(); }

ScriptedMessages& ScriptedMessages::Expect(std::string prompt, int buttons, std::string title, int answer) {
  expected_.push_back({std::move(prompt), buttons, std::move(title), answer});
  return *this;
}

int ScriptedMessages::ShowMessage(const std::string& prompt, int buttons, const std::string& title,
                                  const std::string& helpFile, int helpContext) {
  shown.push_back({prompt, buttons, title, helpFile, helpContext, 0});
  if (expected_.empty()) {
    ADD_FAILURE() << "Unexpected message box: \"" << prompt << "\" buttons " << buttons << " title \"" << title << "\"";
    return buttons == msgbox::YesNoExclamation ? msgbox::AnswerNo : msgbox::AnswerOk;
  }
  ExpectedMessage next = expected_.front();
  expected_.pop_front();
  EXPECT_EQ(prompt, next.prompt) << "message prompt";
  EXPECT_EQ(buttons, next.buttons) << "buttons code of \"" << prompt << "\"";
  EXPECT_EQ(title, next.title) << "title of \"" << prompt << "\"";
  EXPECT_EQ(helpFile, "") << "help file of \"" << prompt << "\"";
  EXPECT_EQ(helpContext, 0) << "help context of \"" << prompt << "\"";
  return next.answer;
}

void ScriptedMessages::Verify() {
  for (const auto& m : expected_) ADD_FAILURE() << "Expected message box never shown: \"" << m.prompt << "\"";
  expected_.clear();
}

ServiceScope::ServiceScope() : messages_(std::make_shared<ScriptedMessages>()) {
  ResetThreadServices();
  SetThreadMessageService(messages_);
}

ServiceScope::~ServiceScope() {
  messages_->Verify();
  ResetThreadServices();
}

}  // namespace quillmont::testing
