#pragma once

#include <stdexcept>
#include <string>

#include "quillmont/platform/export.h"

namespace quillmont {

// Error numbers follow the automation runtime's numbering, which hosts
// already know how to read (5: invalid call, 13: type mismatch, ...).
enum class ErrorCode : int {
  InvalidProcedureCall = 5,
  Overflow = 6,
  OutOfMemory = 7,
  SubscriptOutOfRange = 9,
  TypeMismatch = 13,
  InvalidUseOfNull = 94,
  InvalidPropertyValue = 380,
  ObjectRequired = 424,
  NotFound = 1004,
  Failed = 1005,
  Busy = 1006,
  Corrupt = 1007,
};

// The one exception type that outside components throw and the panels pass on.
class QUILLMONT_API Error : public std::runtime_error {
 public:
  Error(ErrorCode code, const std::string& message);
  ~Error() override;

  ErrorCode Code() const noexcept { return code_; }
  int Number() const noexcept { return static_cast<int>(code_); }

 private:
  ErrorCode code_;
};

}  // namespace quillmont
