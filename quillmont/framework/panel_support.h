#pragma once

#include <cstdint>
#include <utility>

// Small pieces the three panels share.
namespace quillmont {

// What Apply does on the two list panels.
enum class EditMode : std::int32_t { AddNew = 0, EditSelected = 1 };

// Raises a transient panel flag (Filling, Selecting, EnterPending) for a
// scope and puts back the value it had on every way out, so an error from an
// outside component never leaves the panel deaf to later edits.
class FlagGuard {
 public:
  FlagGuard(bool& flag, bool value) : flag_(flag), saved_(std::exchange(flag, value)) {}
  ~FlagGuard() { flag_ = saved_; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

// Runs one layout step; a refusal (a negative size) or any other error
// leaves that control as it was and the layout goes on with the next step.
template <class Step>
void LayoutStep(Step&& step) noexcept {
  try {
    std::forward<Step>(step)();
  } catch (...) {
  }
}

}  // namespace quillmont
