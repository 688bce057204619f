#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "quillmont/framework/services.h"
#include "quillmont/platform/export.h"

namespace quillmont {

// The default text, number, column and focus services.
//
// AttachTextBox gives a text box one small habit: Escape takes back what
// the user typed since the field got the focus or the program last set its
// text (a paste counts as set). The key is then used up; with nothing to
// take back Escape goes on as usual. No other key is touched. The extension
// does not own the text box; once the extension is released the habit stops.
//
// GetFocusTarget returns one object per service; its Activate calls the
// handler a host installed with SetFocusHandler (by default nothing), e.g.
// to bring the editor window to the front after a validity message.
class QUILLMONT_API DefaultUiServices : public UiServices {
 public:
  DefaultUiServices();

  // ignoreCase: ASCII letters compare without case; every other byte
  // compares exactly.
  bool TextEquals(const std::string& a, const std::string& b, bool ignoreCase) override;
  // Accepts optional spaces around decimal digits, nothing else (no sign,
  // point, exponent or hex prefix); any number of digits, compared exactly
  // with the bounds. The bounds are whole numbers or are rounded inwards.
  // On success value holds the number (a 32-bit integer when it fits, else
  // a double) and message is empty; otherwise value is empty and message
  // says why.
  bool IsWholeNumberInRange(const std::string& text, const Variant& minimum, const Variant& maximum, Variant& value,
                            std::string& message) override;
  // Error(InvalidPropertyValue) for a negative or non-finite width.
  std::shared_ptr<ListColumn> NewListColumn(int columnId, const std::string& caption, float width, int alignment,
                                            bool visible, int sortType) override;
  std::shared_ptr<TextBoxExtension> AttachTextBox(ui::TextBox& textBox) override;
  std::shared_ptr<FocusTarget> GetFocusTarget() override;

  void SetFocusHandler(std::function<void()> handler);

 private:
  struct FocusState;
  std::shared_ptr<FocusState> focus_;
  std::shared_ptr<FocusTarget> focusTarget_;
};

}  // namespace quillmont
