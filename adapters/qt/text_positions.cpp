#include "adapters/qt/text_positions.h"

namespace quillmont::qt {

int QtPosition(const std::u32string& text, std::size_t position, bool multiLine) {
  int out = 0;
  for (std::size_t i = 0; i < position && i < text.size(); ++i) {
    if (multiLine && text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') continue;
    out += text[i] > 0xFFFF ? 2 : 1;
  }
  return out;
}

std::size_t PanelPosition(const std::u32string& text, int position, bool multiLine) {
  std::size_t i = 0;
  for (int units = 0; i < text.size() && units < position; ++i) {
    if (multiLine && text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') continue;
    units += text[i] > 0xFFFF ? 2 : 1;
  }
  return i;
}

QString Shown(const std::string& text, bool multiLine) {
  QString s = QString::fromStdString(text);
  if (multiLine) s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

}  // namespace quillmont::qt
