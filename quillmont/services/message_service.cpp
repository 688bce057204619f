#include "quillmont/services/message_service.h"

#include <iostream>

namespace quillmont {

ConsoleMessageService::ConsoleMessageService() : out_(&std::cerr) {}

ConsoleMessageService::ConsoleMessageService(std::ostream* out) : out_(out) {}

int ConsoleMessageService::DefaultAnswer(int buttons) noexcept {
  // The agreeing button: Yes, else the last of Abort/Retry/Ignore and the
  // first of the others.
  switch (buttons & 0xF) {
    case msgbox::AbortRetryIgnore:
      return msgbox::AnswerIgnore;
    case msgbox::YesNoCancel:
    case msgbox::YesNo:
      return msgbox::AnswerYes;
    case msgbox::RetryCancel:
      return msgbox::AnswerRetry;
    default:
      return msgbox::AnswerOk;
  }
}

int ConsoleMessageService::ShowMessage(const std::string& prompt, int buttons, const std::string& title,
                                       const std::string& /*helpFile*/, int /*helpContext*/) {
  ++shown_;
  if (out_) {
    if (!title.empty()) *out_ << title << ": ";
    *out_ << prompt << '\n';
    out_->flush();
  }
  return answer_.value_or(DefaultAnswer(buttons));
}

}  // namespace quillmont
