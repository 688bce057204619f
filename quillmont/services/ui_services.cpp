#include "quillmont/services/ui_services.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/keys.h"
#include "quillmont/rules/text.h"

namespace quillmont {
namespace {

// A bound as an exact whole number: the sign and the decimal digits
// without leading zeros ("0" for zero).
struct WholeBound {
  bool negative = false;
  bool infinite = false;
  std::string digits;
};

WholeBound ToWholeBound(const Variant& bound, bool isMinimum) {
  double d = 0;
  switch (bound.GetType()) {
    case Variant::Type::Int16:
    case Variant::Type::Int32:
    case Variant::Type::Boolean:
    case Variant::Type::Empty: {
      const std::int64_t v = bound.ToInt32();
      WholeBound b;
      b.negative = v < 0;
      b.digits = std::to_string(v < 0 ? -v : v);
      return b;
    }
    default:
      d = bound.ToDouble();  // text, null or an object raise their error here
      break;
  }
  if (std::isnan(d)) throw Error(ErrorCode::InvalidProcedureCall, "Invalid procedure call or argument: bound is NaN");
  // A fractional bound admits the whole numbers inside it.
  d = isMinimum ? std::ceil(d) : std::floor(d);
  if (std::isinf(d)) {
    // Any number of digits lies below +infinity and above -infinity.
    WholeBound b;
    b.negative = d < 0;
    b.infinite = true;
    b.digits = "infinity";
    return b;
  }
  WholeBound b;
  b.negative = d < 0;
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.0f", std::fabs(d));
  b.digits = buffer;
  if (b.digits == "0") b.negative = false;
  return b;
}

// Compares a non-negative digit string (no leading zeros) with a bound.
int CompareWithBound(const std::string& digits, const WholeBound& bound) {
  if (bound.infinite) return bound.negative ? 1 : -1;
  if (bound.negative) return 1;
  if (digits.size() != bound.digits.size()) return digits.size() < bound.digits.size() ? -1 : 1;
  return digits.compare(bound.digits) < 0 ? -1 : (digits == bound.digits ? 0 : 1);
}

std::string BoundText(const WholeBound& b) { return (b.negative ? "-" : "") + b.digits; }

class EscapeRestore final : public TextBoxExtension {
 public:
  struct State {
    bool attached = true;
    bool haveSaved = false;
    bool typing = false;  // a key that edits the text is being handled
    std::string saved;
  };
  explicit EscapeRestore(std::shared_ptr<State> state) : state_(std::move(state)) {}
  ~EscapeRestore() override { state_->attached = false; }

 private:
  std::shared_ptr<State> state_;
};

class HandlerFocusTarget final : public FocusTarget {
 public:
  explicit HandlerFocusTarget(std::shared_ptr<std::function<void()>> handler) : handler_(std::move(handler)) {}
  void Activate() override {
    const auto handler = *handler_;  // a handler may install another one
    if (handler) handler();
  }

 private:
  std::shared_ptr<std::function<void()>> handler_;
};

}  // namespace

struct DefaultUiServices::FocusState {
  std::shared_ptr<std::function<void()>> handler = std::make_shared<std::function<void()>>();
};

DefaultUiServices::DefaultUiServices()
    : focus_(std::make_shared<FocusState>()), focusTarget_(std::make_shared<HandlerFocusTarget>(focus_->handler)) {}

bool DefaultUiServices::TextEquals(const std::string& a, const std::string& b, bool ignoreCase) {
  return ignoreCase ? rules::EqualsIgnoringAsciiCase(a, b) : a == b;
}

bool DefaultUiServices::IsWholeNumberInRange(const std::string& text, const Variant& minimum, const Variant& maximum,
                                             Variant& value, std::string& message) {
  const WholeBound low = ToWholeBound(minimum, true);
  const WholeBound high = ToWholeBound(maximum, false);
  value = Variant();
  const std::string range = "from " + BoundText(low) + " to " + BoundText(high);

  const auto first = text.find_first_not_of(' ');
  const auto last = text.find_last_not_of(' ');
  const std::string core = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
  if (core.empty() || core.find_first_not_of("0123456789") != std::string::npos) {
    message = "Enter a whole number " + range + ".";
    return false;
  }
  const auto nonZero = core.find_first_not_of('0');
  const std::string digits = nonZero == std::string::npos ? "0" : core.substr(nonZero);

  if (CompareWithBound(digits, low) < 0 || CompareWithBound(digits, high) > 0) {
    message = "The number must be " + range + ".";
    return false;
  }
  if (digits.size() <= 10 && std::stoll(digits) <= std::numeric_limits<std::int32_t>::max())
    value = Variant(static_cast<std::int32_t>(std::stoll(digits)));
  else
    value = Variant(std::strtod(digits.c_str(), nullptr));
  message.clear();
  return true;
}

std::shared_ptr<ListColumn> DefaultUiServices::NewListColumn(int columnId, const std::string& caption, float width,
                                                             int alignment, bool visible, int sortType) {
  if (!std::isfinite(width) || width < 0)
    throw Error(ErrorCode::InvalidPropertyValue, "Invalid property value: column width " + std::to_string(width));
  return std::make_shared<ListColumn>(columnId, caption, width, alignment, visible, sortType);
}

std::shared_ptr<TextBoxExtension> DefaultUiServices::AttachTextBox(ui::TextBox& textBox) {
  auto state = std::make_shared<EscapeRestore::State>();
  // The handlers live in the text box and keep only the shared state: the
  // extension and the text box never own each other.
  textBox.GotFocus.Connect([state, box = &textBox] {
    state->saved = box->Text();
    state->haveSaved = true;
  });
  textBox.LostFocus.Connect([state] { state->typing = false; });
  // A change is the user's only while a key that edits is on its way;
  // any other change comes from the program (or a paste) and becomes the
  // text Escape goes back to, e.g. the empty fields after an entry was
  // applied while the focus stayed in the field.
  textBox.KeyDown.Connect([state](ui::KeyEventArgs& e) { state->typing = e.KeyCode == ui::keys::Delete; });
  textBox.KeyUp.Connect([state](ui::KeyEventArgs&) { state->typing = false; });
  textBox.Change.Connect([state, box = &textBox] {
    if (state->typing) {
      state->typing = false;
      return;
    }
    state->saved = box->Text();
    state->haveSaved = true;
  });
  textBox.KeyPress.Connect([state, box = &textBox](ui::KeyPressArgs& e) {
    const int ch = e.KeyAscii;
    if (ch != ui::keys::Escape) {
      state->typing = ch == ui::keys::Back || (ch >= 32 && ch != 127) || (ch == ui::keys::Return && box->MultiLine());
      return;
    }
    state->typing = false;
    if (!state->attached || !state->haveSaved || box->Text() == state->saved) return;
    e.KeyAscii = 0;
    box->SetText(state->saved);
  });
  return std::make_shared<EscapeRestore>(std::move(state));
}

std::shared_ptr<FocusTarget> DefaultUiServices::GetFocusTarget() { return focusTarget_; }

void DefaultUiServices::SetFocusHandler(std::function<void()> handler) { *focus_->handler = std::move(handler); }

}  // namespace quillmont
