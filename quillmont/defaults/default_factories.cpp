#include "quillmont/framework/runtime.h"

namespace quillmont::detail {

// Filled in as the default components land.
ComponentFactories DefaultFactories() { return {}; }

}  // namespace quillmont::detail
