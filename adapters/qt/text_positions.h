#pragma once

#include <QString>
#include <cstddef>
#include <string>

// How a text box's text and caret read on each side: the panel counts
// characters (a line break is two, CR LF); Qt counts UTF-16 units and shows
// a multi-line break as one.
namespace quillmont::qt {

// The Qt position of the panel's character position in text.
int QtPosition(const std::u32string& text, std::size_t position, bool multiLine);
// The panel's character position of a Qt position in text.
std::size_t PanelPosition(const std::u32string& text, int position, bool multiLine);
// The text as Qt shows it.
QString Shown(const std::string& text, bool multiLine);

}  // namespace quillmont::qt
