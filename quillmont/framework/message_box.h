#pragma once

#include <cstddef>
#include <vector>

#include "quillmont/platform/export.h"

// The codes of modal message boxes: a buttons code is the sum of a set of
// buttons, an icon and the default button; the answer is the code of the
// button pressed.
namespace quillmont::msgbox {

// Buttons (the low four bits).
inline constexpr int OkOnly = 0;
inline constexpr int OkCancel = 1;
inline constexpr int AbortRetryIgnore = 2;
inline constexpr int YesNoCancel = 3;
inline constexpr int YesNo = 4;
inline constexpr int RetryCancel = 5;
// Icons (the next four bits).
inline constexpr int Critical = 16;  // with OkOnly: OK with the stop icon
inline constexpr int Question = 32;
inline constexpr int Exclamation = 48;
inline constexpr int Information = 64;
// The default button (Enter), when not the first.
inline constexpr int SecondDefault = 256;
inline constexpr int ThirdDefault = 512;
inline constexpr int YesNoExclamation = YesNo | Exclamation;
// Answers.
inline constexpr int AnswerOk = 1;
inline constexpr int AnswerCancel = 2;
inline constexpr int AnswerAbort = 3;
inline constexpr int AnswerRetry = 4;
inline constexpr int AnswerIgnore = 5;
inline constexpr int AnswerYes = 6;
inline constexpr int AnswerNo = 7;

enum class Icon { None, Critical, Question, Exclamation, Information };

// A buttons code taken apart, as every front end shows it.
struct Layout {
  std::vector<int> answers;  // the buttons, left to right, by their answers
  Icon icon = Icon::None;
  std::size_t defaultButton = 0;  // an index into answers
  // What Esc (or closing the box) answers: Cancel, else No (which cancels a
  // Yes/No question), else a lone OK; 0 when only a button ends the box.
  int escape = 0;
};

QUILLMONT_API Layout LayoutOf(int code);

// The caption of an answer's button ("OK", "Yes", ...).
QUILLMONT_API const char* CaptionOf(int answer);

}  // namespace quillmont::msgbox
