#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/controls.h"
#include "quillmont/platform/ui/driver.h"

namespace quillmont::ui {
namespace {

struct ListPanel {
  UserControl panel{"ucTest"};
  std::shared_ptr<ListView> list = panel.Add<ListView>("stl");
  Driver driver{panel};
  int changes = 0;

  explicit ListPanel(int rows = 5) {
    for (int i = 0; i < rows; ++i) list->AppendViewRow({"host" + std::to_string(i), std::to_string(160 + i)});
    list->SelectionChanged.Connect([this] { ++changes; });
  }
  std::vector<int> Selected() const { return list->SelectedRows(); }
  // Selection changes since the last call.
  int Changes() { return std::exchange(changes, 0); }
};

using Rows = std::vector<int>;

TEST(ListView, KeysMoveTheCaretAndExtendOrToggleTheSelection) {
  ListPanel p;
  p.driver.Focus(*p.list);
  p.driver.PressKey(keys::Down);  // no caret yet: the first row
  EXPECT_EQ(p.Selected(), Rows{0});
  p.driver.PressKey(keys::Down);
  p.driver.PressKey(keys::Down);
  EXPECT_EQ(p.Selected(), Rows{2});
  EXPECT_EQ(p.list->CaretRow(), 2);
  EXPECT_EQ(p.Changes(), 3);

  p.driver.PressKey(keys::End, shift::Shift);
  EXPECT_EQ(p.Selected(), (Rows{2, 3, 4}));
  p.driver.PressKey(keys::Down, shift::Shift);  // at the end already: no change
  EXPECT_EQ(p.Changes(), 1);
  p.driver.PressKey(keys::Up, shift::Shift);
  EXPECT_EQ(p.Selected(), (Rows{2, 3}));
  EXPECT_EQ(p.Changes(), 1);

  // Ctrl+arrows move the caret only; Space toggles the row under it.
  p.driver.PressKey(keys::Home, shift::Ctrl);
  EXPECT_EQ(p.list->CaretRow(), 0);
  EXPECT_EQ(p.Changes(), 0);
  p.driver.PressKey(keys::Space);
  EXPECT_EQ(p.Selected(), (Rows{0, 2, 3}));
  p.driver.PressKey(keys::Space);
  EXPECT_EQ(p.Selected(), (Rows{2, 3}));
  EXPECT_EQ(p.Changes(), 2);

  p.driver.PressKey(keys::PageDown);
  EXPECT_EQ(p.Selected(), Rows{4});
  p.driver.PressKey(keys::Up);
  EXPECT_EQ(p.Selected(), Rows{3});

  // Without multi-selection every move and click selects one row only.
  p.list->SetMultiSelect(false);
  p.driver.ClickRow(*p.list, 1, shift::Ctrl);
  p.driver.PressKey(keys::Down, shift::Shift);
  EXPECT_EQ(p.Selected(), Rows{2});
  p.list->SetRowSelected(0, true);
  EXPECT_EQ(p.Selected(), Rows{0});
}

}  // namespace
}  // namespace quillmont::ui
