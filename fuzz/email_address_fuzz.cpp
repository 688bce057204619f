// Addresses as a user may type or paste them: the library's rule must agree
// with the plain rule written for the tests, both ways.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "quillmont/services/app_context.h"
#include "tests/support/reference_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string address(reinterpret_cast<const char*>(data), size);
  const bool accepted = quillmont::IsValidEmailAddressText(address);
  if (accepted != quillmont::testing::IsPlainAddress(address)) {
    std::fprintf(stderr, "e-mail address: the rules disagree (%s by the library) on %zu bytes\n",
                 accepted ? "accepted" : "refused", size);
    std::abort();
  }
  return 0;
}
