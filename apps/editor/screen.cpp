#include "apps/editor/screen.h"

#include <algorithm>

namespace quillmont::editor {

int Screen::Push(Layer layer) {
  layers_.emplace_back(++nextId_, std::move(layer));
  return nextId_;
}

void Screen::Pop(int id) {
  std::erase_if(layers_, [id](const auto& l) { return l.first == id; });
}

void Screen::Redraw() {
  auto canvas = std::make_unique<Canvas>(terminal_.Rows(), terminal_.Columns());
  for (const auto& layer : layers_) {
    // A layer's cursor only counts when it is the top one.
    canvas->SetCursor(-1, -1);
    canvas->ResetClip();
    layer.second(*canvas);
  }
  terminal_.Present(*canvas);
  last_ = std::move(canvas);
}

InputEvent Screen::Next() {
  Redraw();
  return terminal_.Read();
}

}  // namespace quillmont::editor
