#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <thread>
#include <utility>

#include "quillmont/framework/components.h"
#include "quillmont/framework/edit_mode.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/framework/services.h"
#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/controls.h"
#include "quillmont/platform/ui/keys.h"
#include "quillmont/rules/text.h"

// Small pieces the three panels share; not installed, not part of the API.
namespace quillmont::detail {

// The way in from the host for every tab-contract operation. A page works
// with the services of the thread that created it, so another thread is
// refused. What an outside component raises reaches the host as an Error:
// a foreign exception keeps its message and stays reachable as the nested
// exception (std::rethrow_if_nested), with its own type.
template <class Operation>
decltype(auto) AtBoundary(std::thread::id owner, const char* page, Operation&& operation) {
  if (std::this_thread::get_id() != owner)
    throw Error(ErrorCode::InvalidProcedureCall,
                std::string(page) + " belongs to the thread that created it; use it only there");
  try {
    return std::forward<Operation>(operation)();
  } catch (const Error&) {
    throw;
  } catch (const std::bad_alloc&) {
    std::throw_with_nested(Error(ErrorCode::OutOfMemory, "Out of memory"));
  } catch (const std::exception& e) {
    std::throw_with_nested(Error(ErrorCode::Failed, e.what()));
  } catch (...) {
    std::throw_with_nested(
        Error(ErrorCode::Failed, std::string(page) + ": an outside component failed with an unknown exception"));
  }
}

// A load that shows all of a definition or nothing: `failed` stays raised
// until fill returns, and a fill that throws is followed by showNothing
// before the error goes on to the host.
template <class Fill, class ShowNothing>
void LoadAllOrNothing(bool& failed, Fill&& fill, ShowNothing&& showNothing) {
  failed = true;
  try {
    std::forward<Fill>(fill)();
  } catch (...) {
    std::forward<ShowNothing>(showNothing)();
    throw;
  }
  failed = false;
}

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

// Puts a designed control where the design has it, with its tab position.
inline void Place(ui::Control& control, float left, float top, float width, float height, int tabIndex) {
  control.Move(left, top, width, height);
  control.SetTabIndex(tabIndex);
}

// Runs one layout step; a refusal (a negative size) or any other error
// leaves that control as it was and the layout goes on with the next step.
template <class Step>
void LayoutStep(Step&& step) noexcept {
  try {
    std::forward<Step>(step)();
  } catch (...) {
  }
}

using rules::Trimmed;

// A modal message through the thread's message service, with no help file.
inline int ShowMessage(const std::string& prompt, int buttons, const std::string& title) {
  return GetMessageService()->ShowMessage(prompt, buttons, title, "", 0);
}

// Enter in an entry field of a list panel: while Apply is enabled the key is
// taken (the field never sees the character) and Apply waits for its release.
inline void TakeEnterForApply(ui::KeyPressArgs& e, const ui::CommandButton& apply, bool& enterPending) {
  if (e.KeyAscii != ui::keys::Return || !apply.Enabled()) return;
  e.KeyAscii = 0;
  enterPending = true;
}

// Asks with a Yes/No box whether the selected rows of the list go; on Yes
// they are removed and the first row left is selected. The list has the
// focus afterwards either way. True when the rows went.
inline bool RemoveSelectedRowsIfConfirmed(XStaticList& list, const std::string& prompt, const std::string& title) {
  if (ShowMessage(prompt, msgbox::YesNoExclamation, title) == msgbox::AnswerNo) {
    list.SetFocus();
    return false;
  }
  list.RemoveRow(list.SelectedItems());
  list.SelectRow(1);
  list.SetFocus();
  return true;
}

}  // namespace quillmont::detail
