#include "apps/editor/help.h"

#include <algorithm>
#include <limits>

#include "apps/editor/cell_width.h"
#include "apps/editor/dialogs.h"

namespace quillmont::editor {

void DrawStatusLine(Canvas& canvas, int row, const std::string& message, const std::vector<KeyHint>& hints) {
  const int width = canvas.Width();
  canvas.Fill({row, 0, 1, width}, U' ', attr::Reverse);
  const std::string last = "F1 help ";
  const int room = width - TextCells(last) - 1;
  int col = 1;
  if (!message.empty())
    col += canvas.Text(row, col, FitCells(message, room - 1), attr::Reverse | attr::Bold, room - 1) + 2;
  for (const KeyHint& hint : hints) {
    if (!hint.inStatus) continue;
    const std::string text = hint.keys + " " + hint.what;
    const int cells = TextCells(text);
    // Hints that do not fit are left to the help box.
    if (col + cells > room) break;
    canvas.Text(row, col, text, attr::Reverse);
    col += cells + 2;
  }
  if (width > TextCells(last)) canvas.Text(row, width - TextCells(last), last, attr::Reverse);
}

void ShowEntries(Screen& screen, const std::string& title, const std::vector<BoxEntry>& entries,
                 const std::string& closing) {
  int leadWidth = 0, textWidth = 0;
  for (const BoxEntry& e : entries) {
    leadWidth = std::max(leadWidth, TextCells(e.lead));
    textWidth = std::max(textWidth, TextCells(e.text));
  }
  const int gap = leadWidth > 0 ? 2 : 0;
  int top = 0;
  int shown = 1;
  auto layer = [&](Canvas& canvas) {
    const int width = std::min(
        canvas.Width(), std::max({leadWidth + gap + textWidth + 5, TextCells(title) + 8, TextCells(closing) + 4}));
    // A text wraps under itself where the box is narrower than it.
    struct Line {
      const std::string* lead;
      std::string text;
    };
    std::vector<Line> lines;
    for (const BoxEntry& e : entries) {
      const std::vector<std::string> wrapped = WrapText(e.text, std::max(1, width - leadWidth - gap - 5));
      for (std::size_t i = 0; i < wrapped.size(); ++i) lines.push_back({i == 0 ? &e.lead : nullptr, wrapped[i]});
    }
    const int count = static_cast<int>(lines.size());
    const int height = std::min(canvas.Height(), count + 4);
    const Rect box{(canvas.Height() - height) / 2, (canvas.Width() - width) / 2, height, width};
    canvas.SetClip(box);
    canvas.Fill(box, U' ');
    canvas.Box(box, attr::Bold);
    canvas.Text(box.row, box.col + 2, " " + FitCells(title, width - 6) + " ", attr::Bold, width - 4);
    shown = std::max(1, height - 4);
    top = std::clamp(top, 0, std::max(0, count - shown));
    for (int i = 0; i < shown && top + i < count; ++i) {
      const Line& line = lines[static_cast<std::size_t>(top + i)];
      if (line.lead) canvas.Text(box.row + 1 + i, box.col + 2, *line.lead, attr::Bold, leadWidth);
      canvas.Text(box.row + 1 + i, box.col + 2 + leadWidth + gap, line.text, attr::None, width - leadWidth - gap - 5);
    }
    // Scroll marks on the border where lines are out of sight.
    if (top > 0) canvas.Put(box.row + 1, box.Right() - 1, U'\u2191', attr::Bold);
    if (top + shown < count) canvas.Put(box.row + shown, box.Right() - 1, U'\u2193', attr::Bold);
    canvas.Text(box.Bottom() - 2, box.col + 2, FitCells(closing, width - 4), attr::Dim);
  };
  LayerScope scope(screen, layer);
  for (;;) {
    const InputEvent e = screen.Next();
    if (e.kind == InputEvent::Kind::Closed || e.IsKey(ui::keys::Escape) || e.IsKey(ui::keys::Return) ||
        e.IsKey(ui::keys::F1) || (e.kind == InputEvent::Kind::Text && (e.ch == U'q' || e.ch == U'?')))
      return;
    if (e.IsKey(ui::keys::Down)) ++top;
    if (e.IsKey(ui::keys::Up)) --top;
    if (e.IsKey(ui::keys::PageDown)) top += shown;
    if (e.IsKey(ui::keys::PageUp)) top -= shown;
    if (e.IsKey(ui::keys::Home)) top = 0;
    if (e.IsKey(ui::keys::End)) top = std::numeric_limits<int>::max() / 2;  // as far as it goes, when drawn
    if (e.kind == InputEvent::Kind::Mouse && e.button == InputEvent::Button::Left) return;
  }
}

void ShowHelp(Screen& screen, const std::string& title, const std::vector<KeyHint>& hints) {
  std::vector<BoxEntry> entries;
  for (const KeyHint& h : hints) entries.push_back({h.keys, h.what});
  ShowEntries(screen, title, entries, "Esc closes this help.");
}

}  // namespace quillmont::editor
