#pragma once

// What a stored text may hold, and when two names look alike.

#include <string>
#include <string_view>

namespace quillmont::rules {

// The first character a stored text may not hold, described for the user
// ("NUL", "U+001B, a control character", "U+202E, a bidirectional
// control"), or "" when it holds none: C0 controls (tab and line feed only
// where lineBreaks, as in a message), DEL, C1 controls and bidirectional
// controls, which act on a terminal or a mail reader instead of being shown.
std::string ForbiddenCharacter(std::string_view text, bool lineBreaks = false);

// The text as a reader sees it: invisible characters (zero-width spaces and
// joiners, the soft hyphen, the word joiner, the byte-order mark,
// bidirectional controls) left out, letters of other scripts that look like
// Latin ones (Cyrillic о, Greek ο) and full-width forms as those, ASCII
// letters in lower case. Two names alike in this are easily taken for each
// other.
std::string LookAlike(std::string_view text);

}  // namespace quillmont::rules
