#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "quillmont/framework/services.h"
#include "quillmont/platform/export.h"

namespace quillmont {

// The message service of a host without a screen: it writes each message
// as one line "title: prompt" to a stream (standard error unless set) and
// answers for the absent user. Unless an answer is set it gives OK for the
// OK-only boxes, Yes where Yes is offered, Retry for Retry/Cancel and Ignore
// for Abort/Retry/Ignore: the answer that lets the work go on.
class QUILLMONT_API ConsoleMessageService : public MessageService {
 public:
  ConsoleMessageService();
  // The stream must outlive the service; null writes nothing.
  explicit ConsoleMessageService(std::ostream* out);

  int ShowMessage(const std::string& prompt, int buttons, const std::string& title, const std::string& helpFile,
                  int helpContext) override;

  void SetStream(std::ostream* out) noexcept { out_ = out; }
  // The answer for every later message; nullopt goes back to the defaults.
  void SetAnswer(std::optional<int> answer) noexcept { answer_ = answer; }
  // The answer given when none is set, for this buttons code.
  static int DefaultAnswer(int buttons) noexcept;
  int MessagesShown() const noexcept { return shown_; }

 private:
  std::ostream* out_;
  std::optional<int> answer_;
  int shown_ = 0;
};

}  // namespace quillmont
