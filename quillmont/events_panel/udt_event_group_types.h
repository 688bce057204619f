#pragma once

#include <cstdint>
#include <string>

#include "quillmont/platform/export.h"
#include "quillmont/platform/guid.h"

namespace quillmont {

// One event group as the events panel keeps it: the number the filter entry
// carries as item data, the name shown in the filter and in the "Event Group"
// column, and the label, which is kept but shown nowhere.
struct QUILLMONT_API udt_EventGroupTypes {
  // {E0F52572-DE2D-4569-B032-959D5CF2DABA}
  static constexpr Guid kTypeId{
      {0xE0, 0xF5, 0x25, 0x72, 0xDE, 0x2D, 0x45, 0x69, 0xB0, 0x32, 0x95, 0x9D, 0x5C, 0xF2, 0xDA, 0xBA}};

  std::int32_t GroupID = 0;
  std::string GroupName;
  std::string GroupLabel;

  friend bool operator==(const udt_EventGroupTypes&, const udt_EventGroupTypes&) = default;
};

}  // namespace quillmont
