#pragma once

#include <string>

#include "apps/editor/canvas.h"
#include "apps/editor/column_controller.h"
#include "apps/editor/panel_layout.h"

// Draws a panel into character cells as its layout placed it; reads the
// controls, changes nothing.
namespace quillmont::editor {

// Draws the panel's controls where the layout put them; nothing outside its
// area.
void DrawPanel(Canvas& canvas, const PanelLayout& layout, const ColumnController& columns);

// A panel on screen: its layout, its lists' columns, and drawing both.
struct PanelView {
  PanelLayout layout;
  ColumnController columns;
  void Draw(Canvas& canvas, ui::UserControl& panel, const Rect& area) {
    layout.Arrange(panel, area);
    DrawPanel(canvas, layout, columns);
  }
};

// Draws a caption with its access letter underlined ("&&" is a literal "&");
// returns the cells used (at most maxCols unless it is negative).
int DrawCaption(Canvas& canvas, int row, int col, const std::string& caption, std::uint8_t attrs, int maxCols);

}  // namespace quillmont::editor
