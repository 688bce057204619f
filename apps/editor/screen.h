#pragma once

#include <functional>
#include <vector>

#include "apps/editor/canvas.h"
#include "apps/editor/terminal.h"

namespace quillmont::editor {

// The smallest terminal a layer can be drawn in.
struct LayerMinSize {
  int rows = 0, columns = 0;
};

// The stack of what is shown: the window at the bottom, modal dialogs on
// top. Each layer draws itself on every frame, at the terminal's present
// size, so a resize in the middle of a dialog redraws everything beneath it.
class Screen {
 public:
  using Layer = std::function<void(Canvas&)>;

  using MinSize = LayerMinSize;

  explicit Screen(Terminal& terminal) : terminal_(terminal) {}
  bool HasPageKeys() const { return terminal_.HasPageKeys(); }

  int Push(Layer layer, MinSize min = {});
  void Pop(int id);
  void Redraw();
  // Redraws, then waits for the next input. Ctrl+L repaints the whole
  // terminal; while the terminal is smaller than every layer needs, only
  // "Terminal too small: W×H needed" shows and keys and clicks are ignored.
  InputEvent Next();
  // The same, waiting at most ms milliseconds: Kind::None when nothing came.
  InputEvent Poll(int ms);
  bool TooSmall() const noexcept;

 private:
  Terminal& terminal_;
  struct Entry {
    int id;
    Layer layer;
    MinSize min;
  };
  std::vector<Entry> layers_;
  int nextId_ = 0;
  std::unique_ptr<Canvas> last_;
};

// Pushes a layer for the life of the scope.
class LayerScope {
 public:
  LayerScope(Screen& screen, Screen::Layer layer, Screen::MinSize min = {})
      : screen_(screen), id_(screen.Push(std::move(layer), min)) {}
  ~LayerScope() { screen_.Pop(id_); }
  LayerScope(const LayerScope&) = delete;
  LayerScope& operator=(const LayerScope&) = delete;

 private:
  Screen& screen_;
  int id_;
};

}  // namespace quillmont::editor
