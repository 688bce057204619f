#include "apps/editor/screen.h"

#include <algorithm>

#include "apps/editor/cell_width.h"

namespace quillmont::editor {

int Screen::Push(Layer layer, MinSize min) {
  layers_.push_back({++nextId_, std::move(layer), min});
  return nextId_;
}

void Screen::Pop(int id) {
  std::erase_if(layers_, [id](const Entry& l) { return l.id == id; });
}

bool Screen::TooSmall() const noexcept {
  for (const Entry& l : layers_)
    if (terminal_.Rows() < l.min.rows || terminal_.Columns() < l.min.columns) return true;
  return false;
}

void Screen::Redraw() {
  auto canvas = std::make_unique<Canvas>(terminal_.Rows(), terminal_.Columns());
  if (TooSmall()) {
    MinSize need;
    for (const Entry& l : layers_) {
      need.rows = std::max(need.rows, l.min.rows);
      need.columns = std::max(need.columns, l.min.columns);
    }
    const std::string text =
        "Terminal too small: " + std::to_string(need.columns) + "\u00D7" + std::to_string(need.rows) + " needed";
    const int width = std::min(TextCells(text), canvas->Width());
    canvas->Text(canvas->Height() / 2, (canvas->Width() - width) / 2, FitCells(text, width), attr::Bold, width);
  } else {
    for (const auto& layer : layers_) {
      // A layer's cursor only counts when it is the top one.
      canvas->SetCursor(-1, -1);
      canvas->ResetClip();
      layer.layer(*canvas);
    }
  }
  terminal_.Present(*canvas);
  last_ = std::move(canvas);
}

InputEvent Screen::Next() { return Poll(-1); }

InputEvent Screen::Poll(int ms) {
  for (;;) {
    Redraw();
    const InputEvent e = ms < 0 ? terminal_.Read() : terminal_.ReadFor(ms);
    // After a resize nothing on the terminal is trusted: every cell is drawn.
    if (e.kind == InputEvent::Kind::Resize) terminal_.Repaint();
    if (e.IsKey('Z', ui::shift::Ctrl)) {
      terminal_.Suspend();
      continue;
    }
    if (e.IsKey('L', ui::shift::Ctrl)) {
      terminal_.Repaint();
      continue;
    }
    const bool userInput = e.kind == InputEvent::Kind::Key || e.kind == InputEvent::Kind::Text ||
                           e.kind == InputEvent::Kind::Alt || e.kind == InputEvent::Kind::Mouse;
    if (userInput && TooSmall()) continue;
    return e;
  }
}

}  // namespace quillmont::editor
