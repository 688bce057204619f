#pragma once

#include <string>
#include <string_view>

namespace quillmont::editor {

// Text from the database made safe for a terminal or a script reading the
// output line by line: control characters (C0, DEL, C1) become escapes
// ("\n", "\t", "\x1b", "\u009b") and a backslash doubles, so nothing in a
// name can move the cursor, change colours or start a new line.
std::string EscapeControlCharacters(std::string_view text);

}  // namespace quillmont::editor
