#include "quillmont/services/message_service.h"

#include <iostream>

namespace quillmont {

ConsoleMessageService::ConsoleMessageService() : out_(&std::cerr) {}

ConsoleMessageService::ConsoleMessageService(std::ostream* out) : out_(out) {}

int ConsoleMessageService::DefaultAnswer(int buttons) noexcept {
  switch (buttons & 0xF) {  // the low bits choose the buttons, the rest icon and modality
    case 2:                 // Abort, Retry, Ignore
      return 5;
    case 3:  // Yes, No, Cancel
    case 4:  // Yes, No
      return msgbox::AnswerYes;
    case 5:  // Retry, Cancel
      return 4;
    default:  // OK, OK/Cancel
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
