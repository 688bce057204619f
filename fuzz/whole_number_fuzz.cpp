// Port texts as a user may type them: the range check must agree with the
// plain rule (optional blanks around decimal digits, within the bounds).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "quillmont/platform/variant.h"
#include "quillmont/services/ui_services.h"

namespace {

void Check(bool condition, const char* rule, const std::string& text) {
  if (condition) return;
  std::fprintf(stderr, "whole number: %s (text of %zu bytes)\n", rule, text.size());
  std::abort();
}

// Compares two digit strings as numbers, leading zeros aside.
int CompareDigits(std::string a, std::string b) {
  a.erase(0, std::min(a.find_first_not_of('0'), a.size()));
  b.erase(0, std::min(b.find_first_not_of('0'), b.size()));
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first two bytes pick the bounds, the rest is the text.
  std::int32_t minimum = 1, maximum = 65535;
  if (size >= 2) {
    minimum = data[0] % 4 == 0 ? 0 : data[0];
    maximum = minimum + data[1] * 257;
    data += 2;
    size -= 2;
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  quillmont::DefaultUiServices services;
  quillmont::Variant value;
  std::string message;
  const bool accepted = services.IsWholeNumberInRange(text, quillmont::Variant(static_cast<std::int16_t>(minimum)),
                                                      quillmont::Variant(maximum), value, message);

  const auto first = text.find_first_not_of(' ');
  const auto last = text.find_last_not_of(' ');
  const std::string core = first == std::string::npos ? "" : text.substr(first, last - first + 1);
  bool digits = !core.empty();
  for (char c : core) digits = digits && c >= '0' && c <= '9';
  const bool expected =
      digits && CompareDigits(core, std::to_string(minimum)) >= 0 && CompareDigits(core, std::to_string(maximum)) <= 0;
  Check(accepted == expected, "accepted exactly the digits within the bounds", text);
  if (accepted) {
    Check(message.empty(), "no reason given for an accepted text", text);
    Check(value.ToInt32() == std::stoi(core), "the value is the number", text);
  } else {
    Check(!message.empty(), "a refusal says why", text);
  }
  return 0;
}
