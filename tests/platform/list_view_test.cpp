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

TEST(ListView, ClicksSelectToggleAndExtendWithOneChangeEach) {
  ListPanel p;
  EXPECT_TRUE(p.driver.ClickRow(*p.list, 1));
  EXPECT_TRUE(p.list->HasFocus());
  EXPECT_EQ(p.Selected(), Rows{1});
  EXPECT_EQ(p.Changes(), 1);
  p.driver.ClickRow(*p.list, 1);  // already the only selected row
  EXPECT_EQ(p.Changes(), 0);

  p.driver.ClickRow(*p.list, 3, shift::Ctrl);
  EXPECT_EQ(p.Selected(), (Rows{1, 3}));
  p.driver.ClickRow(*p.list, 1, shift::Ctrl);  // toggles off, and is the new anchor
  EXPECT_EQ(p.Selected(), Rows{3});
  EXPECT_EQ(p.Changes(), 2);

  p.driver.ClickRow(*p.list, 4, shift::Shift);  // range from the anchor, replacing the rest
  EXPECT_EQ(p.Selected(), (Rows{1, 2, 3, 4}));
  EXPECT_EQ(p.list->ViewSelectedCount(), 4);
  EXPECT_EQ(p.Changes(), 1);
  p.driver.ClickRow(*p.list, 0, shift::Shift);  // the anchor stays at 1
  EXPECT_EQ(p.Selected(), (Rows{0, 1}));
  EXPECT_EQ(p.Changes(), 1);
  p.driver.ClickRow(*p.list, 3, shift::Shift | shift::Ctrl);  // adds the range to what is selected
  EXPECT_EQ(p.Selected(), (Rows{0, 1, 2, 3}));

  EXPECT_TRUE(p.driver.SelectRows(*p.list, {4, 2, 0}));
  EXPECT_EQ(p.Selected(), (Rows{0, 2, 4}));
  EXPECT_EQ(p.Changes(), 4);         // the range, then the click and two Ctrl+clicks
  p.driver.SelectRows(*p.list, {});  // click below the rows
  EXPECT_TRUE(p.Selected().empty());
  p.driver.SelectRows(*p.list, {});
  EXPECT_EQ(p.Changes(), 1);

  EXPECT_THROW(p.driver.ClickRow(*p.list, 5), Error);
  EXPECT_TRUE(p.Selected().empty());
}

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

TEST(ListView, ProgramChangesRaiseOnceAndOnlyWhenTheSelectionChanges) {
  ListPanel p;
  p.list->SetRowSelected(1, true);
  p.list->SetRowSelected(1, true);
  p.list->SetRowSelected(3, true);
  EXPECT_EQ(p.Selected(), (Rows{1, 3}));
  EXPECT_EQ(p.Changes(), 2);
  p.list->SelectOnly(2);  // two rows off, one on: one change
  EXPECT_EQ(p.Changes(), 1);
  p.list->SelectOnly(2);
  p.list->SetRowSelected(4, false);
  EXPECT_EQ(p.Changes(), 0);
  p.list->ClearViewSelection();
  p.list->ClearViewSelection();
  EXPECT_EQ(p.Changes(), 1);

  p.list->SetRowCells(2, {"renamed", "1"});
  EXPECT_EQ(p.list->RowCells(2), (std::vector<std::string>{"renamed", "1"}));
  for (int bad : {-1, 5}) {
    try {
      p.list->SetRowSelected(bad, true);
      ADD_FAILURE() << "row " << bad << " was accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.Code(), ErrorCode::SubscriptOutOfRange);
    }
    EXPECT_THROW(p.list->RowCells(bad), Error);
    EXPECT_THROW(p.list->IsRowSelected(bad), Error);
  }
  EXPECT_EQ(p.Changes(), 0);
}

TEST(ListView, RemovingRowsKeepsTheRestAndTheCaretOnItsRow) {
  ListPanel p(6);
  p.driver.SelectRows(*p.list, {4, 2});
  p.Changes();

  // A bad position removes nothing.
  EXPECT_THROW(p.list->RemoveViewRows({1, 6}), Error);
  EXPECT_EQ(p.list->ViewRowCount(), 6);

  p.list->RemoveViewRows({0, 5, 0});  // unselected rows: no change of selection
  EXPECT_EQ(p.Changes(), 0);
  ASSERT_EQ(p.list->ViewRowCount(), 4);
  EXPECT_EQ(p.list->RowCells(0)[0], "host1");
  EXPECT_EQ(p.list->RowCells(3)[0], "host4");
  EXPECT_EQ(p.Selected(), (Rows{1, 3}));  // host2 and host4, moved up

  // The caret (set by the last Ctrl+click on host2) moved up with its row:
  // Shift+Down extends from host2 to host3.
  EXPECT_EQ(p.list->CaretRow(), 1);
  EXPECT_EQ(p.list->RowCells(p.list->CaretRow())[0], "host2");
  p.driver.PressKey(keys::Down, shift::Shift);
  EXPECT_EQ(p.Selected(), (Rows{1, 2}));
  p.Changes();

  p.list->RemoveViewRows({2, 1});  // both selected rows: one change
  EXPECT_EQ(p.Changes(), 1);
  EXPECT_EQ(p.list->ViewSelectedCount(), 0);
  ASSERT_EQ(p.list->ViewRowCount(), 2);
  EXPECT_EQ(p.list->RowCells(1)[0], "host4");
  EXPECT_GE(p.list->CaretRow(), -1);
  EXPECT_LT(p.list->CaretRow(), 2);

  p.driver.ClickRow(*p.list, 0);
  p.Changes();
  p.list->ClearViewRows();
  EXPECT_EQ(p.Changes(), 1);
  EXPECT_EQ(p.list->CaretRow(), -1);
  p.list->ClearViewRows();
  EXPECT_EQ(p.Changes(), 0);
}

TEST(ListView, RightClickSelectsAnUnselectedRowThenRaisesContextMenu) {
  ListPanel p;
  int menus = 0;
  p.list->ContextMenu.Connect([&](float, float) { ++menus; });
  p.driver.SelectRows(*p.list, {1, 2});
  p.Changes();

  p.driver.ContextMenu(*p.list, 2);  // a selected row keeps the selection
  EXPECT_EQ(p.Selected(), (Rows{1, 2}));
  EXPECT_EQ(menus, 1);
  p.list->SelectionChanged.Connect([&] { EXPECT_EQ(menus, 1) << "selection changes before the menu opens"; });
  p.driver.ContextMenu(*p.list, 4);
  EXPECT_EQ(p.Selected(), Rows{4});
  EXPECT_EQ(p.Changes(), 1);
  p.driver.ContextMenu(*p.list);  // below the rows
  EXPECT_EQ(p.Selected(), Rows{4});
  EXPECT_EQ(menus, 3);

  p.list->SetEnabled(false);
  EXPECT_FALSE(p.driver.ContextMenu(*p.list, 0));
  EXPECT_FALSE(p.driver.SelectRows(*p.list, {0}));
  EXPECT_FALSE(p.driver.ClickRow(*p.list, 0));
  EXPECT_EQ(menus, 3);
  EXPECT_EQ(p.Selected(), Rows{4});
}

}  // namespace
}  // namespace quillmont::ui
