// Addresses as a user may type or paste them: whatever the test accepts is
// one plain address a mail system can take.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "quillmont/services/app_context.h"

namespace {

void Check(bool condition, const char* rule) {
  if (condition) return;
  std::fprintf(stderr, "e-mail address: %s\n", rule);
  std::abort();
}

bool IsLabel(std::string_view label) {
  if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
  for (unsigned char c : label)
    if (!std::isalnum(c) && c != '-') return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string address(reinterpret_cast<const char*>(data), size);
  if (!quillmont::IsValidEmailAddressText(address)) return 0;
  Check(address.size() <= 254, "at most 254 characters");
  const auto at = address.find('@');
  Check(at != std::string::npos && at >= 1 && at <= 64, "a local part of 1 to 64 characters before one '@'");
  Check(address.find('@', at + 1) == std::string::npos, "exactly one '@'");
  for (unsigned char c : address)
    Check(c > 32 && c < 127 && c != ',' && c != ';' && c != '<' && c != '>' && c != '"' && c != '(' && c != ')' &&
              c != '[' && c != ']' && c != '\\' && c != ':',
          "no blank, list separator, bracket, quote or control character");
  std::string_view domain(address);
  domain.remove_prefix(at + 1);
  while (true) {
    const auto dot = domain.find('.');
    Check(IsLabel(domain.substr(0, dot)), "every domain label is letters, digits and inner hyphens, at most 63");
    if (dot == std::string_view::npos) break;
    domain.remove_prefix(dot + 1);
  }
  return 0;
}
