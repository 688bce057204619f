#include <gtest/gtest.h>
#include <malloc.h>

#include <string>
#include <vector>

#include "quillmont/controls/selector.h"
#include "quillmont/platform/ui/driver.h"

namespace quillmont {
namespace {

// Refills the available rows as the events page does on a filter change.
void Fill(Selector& x, int from, int to) {
  x.ClearAvailable();
  for (int i = from; i < to; ++i) {
    auto row = x.AddAvailable("Event " + std::to_string(i), "k" + std::to_string(i));
    row->SetSubItem(1, i % 2 ? "Odd" : "Even");
  }
  x.EndFill();
}

// Rows handed out stay right while the selector drops and moves rows
// around them; the one kept (chosen) row keeps its key, text and selection.
TEST(FlatRows, HandlesSurviveRefillsAndKeysStayFirstComeFirstServed) {
  ui::UserControl panel("panel");
  auto& x = *panel.Add<Selector>("xEvents");
  ui::Driver driver(panel);
  x.AddColumn("Event Type");
  x.AddColumn("Event Group");
  x.SetInitialized(true);
  Fill(x, 0, 50);
  x.ChooseItem("k7");
  auto chosen = x.ChosenItems()->Item(1);
  auto dropped = x.AvailableItems()->Item(1);
  for (int round = 0; round < 6; ++round) Fill(x, 100 * round, 100 * round + 5000);
  EXPECT_EQ((std::vector<std::string>{dropped->Key(), dropped->SubItem(1), chosen->Key(), chosen->SubItem(1)}),
            (std::vector<std::string>{"k0_", "Even", "k7_", "Odd"}));
  chosen->SetSelected(true);
  EXPECT_TRUE(x.ChosenList().IsRowSelected(0));
  EXPECT_EQ(x.AvailableList().RowCells(4999), (std::vector<std::string>{"Event 5499", "Odd"}));
  EXPECT_EQ(x.AvailableItems()->Count(), 5000);
  EXPECT_TRUE(x.IsAvailable("k5499") && x.IsAvailable("k500") && !x.IsAvailable("k0"));  // k500: in every fill

  // Two rows with one key: the first added owns it, also after the user
  // chose the second and the first was cleared.
  x.ClearAvailable();
  x.AddAvailable("First", "dup");
  x.AddAvailable("Second", "dup");
  x.AddAvailable("Again", "k500");  // a key cleared away is found again at once, before the views are redrawn
  EXPECT_TRUE(x.IsAvailable("k500"));
  driver.SelectRows(x.AvailableList(), {1});
  driver.Click(x.ChooseButton());
  EXPECT_TRUE(x.IsAvailable("dup"));
  x.ClearAvailable();
  EXPECT_FALSE(x.IsChosen("dup"));
  EXPECT_EQ(x.ChosenItems()->Item(2)->Text(), "Second");
}

// A view holding its own rows keeps every other row intact while one row
// is redrawn many times over (its old texts are dropped along the way).
TEST(FlatRows, HeldCellsStayRightThroughManyRedraws) {
  ui::ListView list("lst");
  for (int i = 0; i < 100; ++i) list.AppendViewRow({"host" + std::to_string(i), std::to_string(i)});
  for (int i = 0; i < 20000; ++i) list.SetRowCells(i % 3, {"again" + std::to_string(i), "x"});
  EXPECT_EQ(list.RowCells(1)[0], "again19999");  // read, then gone: the row there now is read afresh
  list.RemoveViewRows({50, 1, 50});
  list.AppendViewRow({"last"});
  ASSERT_EQ(list.ViewRowCount(), 99);
  EXPECT_EQ((std::vector{list.RowCells(0), list.RowCells(1), list.RowCells(49), list.RowCells(97), list.RowCells(98)}),
            (std::vector<std::vector<std::string>>{
                {"again19998", "x"}, {"again19997", "x"}, {"host51", "51"}, {"host99", "99"}, {"last"}}));
}

// A filter change drops a whole fill: refilling again and again keeps the
// storage of about one fill, not of every fill so far.
TEST(FlatRows, RefillsDoNotPileUpStorage) {
  Selector x("xEvents");
  std::size_t settled = 0;
  for (int fill = 0; fill < 24; ++fill) {
    if (fill == 4) settled = mallinfo2().uordblks;
    x.ClearAvailable();
    for (int i = 0; i < 20000; ++i) x.AddAvailable("Event type " + std::to_string(i), "K" + std::to_string(i));
    x.EndFill();
  }
  EXPECT_LT(mallinfo2().uordblks, settled + (std::size_t{1} << 20));
}

}  // namespace
}  // namespace quillmont
