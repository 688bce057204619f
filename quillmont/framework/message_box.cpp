#include "quillmont/framework/message_box.h"

#include <algorithm>

namespace quillmont::msgbox {

Layout LayoutOf(int code) {
  Layout layout;
  switch (code & 0xF) {
    case OkCancel:
      layout.answers = {AnswerOk, AnswerCancel};
      break;
    case AbortRetryIgnore:
      layout.answers = {AnswerAbort, AnswerRetry, AnswerIgnore};
      break;
    case YesNoCancel:
      layout.answers = {AnswerYes, AnswerNo, AnswerCancel};
      break;
    case YesNo:
      layout.answers = {AnswerYes, AnswerNo};
      break;
    case RetryCancel:
      layout.answers = {AnswerRetry, AnswerCancel};
      break;
    default:
      layout.answers = {AnswerOk};
      break;
  }
  switch (code & 0xF0) {
    case Critical:
      layout.icon = Icon::Critical;
      break;
    case Question:
      layout.icon = Icon::Question;
      break;
    case Exclamation:
      layout.icon = Icon::Exclamation;
      break;
    case Information:
      layout.icon = Icon::Information;
      break;
    default:
      break;
  }
  const auto chosen = static_cast<std::size_t>((code & 0xF00) / SecondDefault);
  layout.defaultButton = chosen < layout.answers.size() ? chosen : 0;
  const auto has = [&layout](int answer) {
    return std::find(layout.answers.begin(), layout.answers.end(), answer) != layout.answers.end();
  };
  layout.escape = has(AnswerCancel)            ? AnswerCancel
                  : has(AnswerNo)              ? AnswerNo
                  : layout.answers.size() == 1 ? layout.answers.front()
                                               : 0;
  return layout;
}

const char* CaptionOf(int answer) {
  switch (answer) {
    case AnswerCancel:
      return "Cancel";
    case AnswerAbort:
      return "Abort";
    case AnswerRetry:
      return "Retry";
    case AnswerIgnore:
      return "Ignore";
    case AnswerYes:
      return "Yes";
    case AnswerNo:
      return "No";
    default:
      return "OK";
  }
}

}  // namespace quillmont::msgbox
