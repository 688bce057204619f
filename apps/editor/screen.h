#pragma once

#include <functional>
#include <vector>

#include "apps/editor/canvas.h"
#include "apps/editor/terminal.h"

namespace quillmont::editor {

// The stack of what is shown: the window at the bottom, modal dialogs on
// top. Each layer draws itself on every frame, at the terminal's present
// size, so a resize in the middle of a dialog redraws everything beneath it.
class Screen {
 public:
  using Layer = std::function<void(Canvas&)>;

  explicit Screen(Terminal& terminal) : terminal_(terminal) {}

  int Push(Layer layer);
  void Pop(int id);
  void Redraw();
  // Redraws, then waits for the next input.
  InputEvent Next();

 private:
  Terminal& terminal_;
  std::vector<std::pair<int, Layer>> layers_;
  int nextId_ = 0;
  std::unique_ptr<Canvas> last_;
};

// Pushes a layer for the life of the scope.
class LayerScope {
 public:
  LayerScope(Screen& screen, Screen::Layer layer) : screen_(screen), id_(screen.Push(std::move(layer))) {}
  ~LayerScope() { screen_.Pop(id_); }
  LayerScope(const LayerScope&) = delete;
  LayerScope& operator=(const LayerScope&) = delete;

 private:
  Screen& screen_;
  int id_;
};

}  // namespace quillmont::editor
