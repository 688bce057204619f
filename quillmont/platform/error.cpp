#include "quillmont/platform/error.h"

namespace quillmont {

Error::Error(ErrorCode code, const std::string& message) : std::runtime_error(message), code_(code) {}

// Out of line so the type information has one home in the shared library.
Error::~Error() = default;

}  // namespace quillmont
