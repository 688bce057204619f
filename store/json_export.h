#pragma once

#include <string>

#include "store/definition_store.h"

namespace quillmont::store {

// One definition as a JSON object: number, name, SNMP managers, recipients,
// subject and message (null for the default), the group filter and the
// chosen event types with their catalogue names.
std::string ExportJson(Store& store, std::int32_t id);
// A JSON string literal; malformed UTF-8 comes out as U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace quillmont::store
