#pragma once

#include <string>
#include <vector>

#include "apps/editor/screen.h"

// The keys of a screen: the status line shows the most important ones that
// fit, F1 shows them all.
namespace quillmont::editor {

struct KeyHint {
  std::string keys;  // "Ctrl+S"
  std::string what;  // "save"
  bool inStatus = true;
};

// The status line at row: an optional message (such as "Saved"), then the
// hints in order while they fit, always ending in "F1 help".
void DrawStatusLine(Canvas& canvas, int row, const std::string& message, const std::vector<KeyHint>& hints);

// One entry of a box: a lead in bold (a key, a time) and what it says.
struct BoxEntry {
  std::string lead, text;
};
// A box of entries, the leads in a column, each text wrapped under itself;
// it scrolls (Up/Down, PgUp/PgDn, Home/End) with marks on its border where
// lines are out of sight, and Esc (or Enter, F1, q) closes it.
void ShowEntries(Screen& screen, const std::string& title, const std::vector<BoxEntry>& entries,
                 const std::string& closing);
// A box listing every key with what it does.
void ShowHelp(Screen& screen, const std::string& title, const std::vector<KeyHint>& hints);

}  // namespace quillmont::editor
