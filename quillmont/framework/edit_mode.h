#pragma once

#include <cstdint>

namespace quillmont {

// What Apply does on the two list panels.
enum class EditMode : std::int32_t { AddNew = 0, EditSelected = 1 };

}  // namespace quillmont
