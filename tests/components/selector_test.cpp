#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <tuple>

#include "quillmont/controls/selector.h"
#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/driver.h"

namespace quillmont {
namespace {

std::vector<std::string> Keys(const SelectorRows& rows) {
  std::vector<std::string> keys;
  for (int i = 1; i <= rows.Count(); ++i) keys.push_back(rows.Item(i)->Key());
  return keys;
}

std::vector<std::string> FirstCells(ui::ListView& view) {
  std::vector<std::string> cells;
  for (int i = 0; i < view.ViewRowCount(); ++i) cells.push_back(view.RowCells(i).at(0));
  return cells;
}

struct SelectorOnPanel {
  ui::UserControl panel{"panel"};
  std::shared_ptr<Selector> selector = panel.Add<Selector>("xEvents");
  ui::Driver driver{panel};
  int changed = 0;
  int removed = 0;

  SelectorOnPanel() {
    selector->ChosenRowsChanged.Connect([this] { ++changed; });
    selector->ChosenRowsRemoved.Connect([this] { ++removed; });
    selector->AddColumn("Event Type");
    selector->AddColumn("Event Group");
    selector->SetInitialized(true);
    const char* groups[] = {"Disk", "Net", "Disk", "Net", "Power"};
    for (int i = 0; i < 5; ++i) {
      auto row = selector->AddAvailable("Event " + std::to_string(i), "E" + std::to_string(i));
      row->SetSubItem(1, groups[i]);
    }
    selector->EndFill();
  }
};

TEST(Selector, ChoosingByKeyAppendsTheSuffixAndRaisesNothing) {
  SelectorOnPanel s;
  auto& x = *s.selector;
  EXPECT_EQ(std::pair(x.ColumnCount(), x.ColumnCaption(2)), std::pair(2, std::string("Event Group")));
  EXPECT_THROW(x.ColumnCaption(3), Error);
  ASSERT_EQ(x.AvailableList().ViewColumns().size(), 2u);
  EXPECT_EQ(Keys(*x.AvailableItems()), (std::vector<std::string>{"E0_", "E1_", "E2_", "E3_", "E4_"}));
  EXPECT_EQ(x.AvailableList().RowCells(1), (std::vector<std::string>{"Event 1", "Net"}));

  x.ChooseItem("E3");
  x.ChooseItem("E1");
  x.ChooseItem("E1_");  // a key with the suffix names no row
  x.ChooseItem("nope");
  x.ChooseItem("E1");  // already chosen
  x.FinishLoad(1);
  EXPECT_EQ(s.changed, 0);
  EXPECT_EQ(Keys(*x.ChosenItems()), (std::vector<std::string>{"E3_", "E1_"}));
  EXPECT_EQ(Keys(*x.AvailableItems()), (std::vector<std::string>{"E0_", "E2_", "E4_"}));
  EXPECT_EQ((std::vector<bool>{x.IsChosen("E3"), x.IsAvailable("E3"), x.IsAvailable("E0"), x.IsChosen("E0"),
                               x.IsChosen("E3_"), x.IsAvailable("E0_")}),
            (std::vector<bool>{true, false, true, false, false, false}));
  // Rows a program sets or adds in a view of the selector's rows are the view's own from then on.
  x.AvailableList().SetRowCells(0, {"Renamed", "Disk"});
  x.ChosenList().AppendViewRow({"Extra", "Misc"});
  EXPECT_EQ(FirstCells(x.ChosenList()), (std::vector<std::string>{"Event 3", "Event 1", "Extra"}));
  EXPECT_EQ(FirstCells(x.AvailableList()), (std::vector<std::string>{"Renamed", "Event 2", "Event 4"}));
  EXPECT_EQ(x.ChosenItems()->Item(1)->SubItem(1), "Net");
  for (int past : {0, 3}) EXPECT_THROW(x.ChosenItems()->Item(past), Error);
}

TEST(Selector, TheUserChoosesAndRemovesWithEvents) {
  SelectorOnPanel s;
  auto& x = *s.selector;
  s.driver.SelectRows(x.AvailableList(), {1, 3});
  EXPECT_TRUE(s.driver.Click(x.ChooseButton()));
  EXPECT_EQ(std::pair(s.changed, s.removed), std::pair(1, 0));
  EXPECT_EQ(Keys(*x.ChosenItems()), (std::vector<std::string>{"E1_", "E3_"}));
  EXPECT_EQ(FirstCells(x.AvailableList()), (std::vector<std::string>{"Event 0", "Event 2", "Event 4"}));

  // ">" with nothing selected moves nothing and says nothing.
  s.driver.Click(x.ChooseButton());
  EXPECT_EQ(s.changed, 1);

  // Enter in the available view chooses too.
  s.driver.ClickRow(x.AvailableList(), 2);
  s.driver.PressKey(ui::keys::Return);
  EXPECT_EQ(s.changed, 2);
  EXPECT_EQ(Keys(*x.ChosenItems()), (std::vector<std::string>{"E1_", "E3_", "E4_"}));

  // "<" takes rows back to their old places among the available ones.
  s.driver.SelectRows(x.ChosenList(), {0, 2});
  s.driver.Click(x.RemoveButton());
  EXPECT_EQ(std::pair(s.changed, s.removed), std::pair(2, 1));
  EXPECT_EQ(Keys(*x.ChosenItems()), (std::vector<std::string>{"E3_"}));
  EXPECT_EQ(Keys(*x.AvailableItems()), (std::vector<std::string>{"E0_", "E1_", "E2_", "E4_"}));
  EXPECT_TRUE(x.IsAvailable("E1"));

  // Chosen again, a row goes to the end of the chosen rows.
  x.ChooseItem("E1");
  EXPECT_EQ(Keys(*x.ChosenItems()), (std::vector<std::string>{"E3_", "E1_"}));
  x.FinishLoad(1);
  EXPECT_EQ(FirstCells(x.ChosenList()), (std::vector<std::string>{"Event 3", "Event 1"}));

  // A hidden selector, and a disabled one, ignores the user.
  for (auto off : {&ui::Control::SetVisible, &ui::Control::SetEnabled}) {
    (x.*off)(false);
    EXPECT_FALSE(s.driver.SelectRows(x.AvailableList(), {0}) || s.driver.Click(x.ChooseButton()));
    (x.*off)(true);
  }
}

TEST(Selector, ColumnsAreDescribedAfreshAfterInitialised) {
  SelectorOnPanel s;
  auto& x = *s.selector;
  x.Move(0, 0, 8000, 3000);
  for (const char* caption : {"Event Type", "Event Group", "Severity"}) x.AddColumn(caption);
  x.SetInitialized(true);
  // The row text's column gets twice the width of each other; the rows show every column.
  std::string columns;
  for (const auto& c : x.ChosenList().ViewColumns())
    columns += std::to_string(c.id) + c.caption + std::to_string(c.width) + (c.visible ? "," : "-,");
  EXPECT_EQ(columns, "1Event Type1846.250000,2Event Group923.125000,3Severity923.125000,");
  EXPECT_EQ(x.AvailableList().RowCells(4), (std::vector<std::string>{"Event 4", "Power", ""}));
  EXPECT_THROW(x.AvailableItems()->Item(1)->SetSubItem(100000, "x"), Error);

  // A row given a later sub-item keeps its others, and every other row its own.
  x.AvailableItems()->Item(1)->SetSubItem(3, "Third");
  x.AvailableItems()->Item(5)->SetSubItem(2, "Second");
  std::string cells;
  for (int i = 1; i <= 5; ++i)
    for (int k = 1; k <= 3; ++k) cells += x.AvailableItems()->Item(i)->SubItem(k) + ",";
  EXPECT_EQ(cells, "Disk,,Third,Net,,,Disk,,,Net,,,Power,Second,,");
}

// The available rows shown (by number) under each filter (column 0: the row
// text); those hidden stay among the available items.
TEST(Selector, TheFilterShowsTheAvailableRowsWhoseColumnHoldsItsText) {
  SelectorOnPanel s;
  auto& x = *s.selector;
  x.ChooseItem("E3");
  const std::tuple<bool, int, const char*, const char*> cases[] = {
      {false, 1, "Net", "0124"}, {true, 1, "Net", "1"}, {true, 1, "", "0124"},
      {true, 0, "Event 2", "2"}, {true, 0, "Disk", ""}, {true, 1, "Disk", "02"},
      {true, 1, "Event 2", ""},  {true, 2, "Disk", ""}, {false, 2, "Disk", "0124"}};
  for (const auto& [on, column, text, shown] : cases) {
    x.SetFilterEnabled(on);
    x.SetFilterColumnIndex(column);
    x.SetFilterText(text);
    std::string rows;
    for (const auto& cell : FirstCells(x.AvailableList())) rows += cell.back();
    EXPECT_EQ(rows, shown) << on << " " << column << " " << text;
    EXPECT_EQ(x.AvailableItems()->Count(), 4);
  }
  EXPECT_THROW(x.SetFilterColumnIndex(-1), Error);
  x.SetFilterEnabled(true);
  x.SetFilterColumnIndex(256);
  EXPECT_THROW(x.AvailableList(), Error);
}

// Each part's left, top, width and height as the selector changes size (the
// width alone, then the height alone): the lists share what the buttons and
// gaps leave; too small for them, no size goes below zero.
TEST(Selector, LaysOutItsPartsInsideOnResize) {
  SelectorOnPanel s;
  auto& x = *s.selector;
  std::ostringstream out;
  for (const auto& [width, height] :
       {std::pair{8000.0F, 3000.0F}, {9000.0F, 3000.0F}, {9000.0F, 500.0F}, {600.0F, 10.0F}}) {
    x.Move(0, 0, width, height);
    for (const ui::Control* c : std::initializer_list<const ui::Control*>{&x.AvailableList(), &x.ChooseButton(),
                                                                          &x.RemoveButton(), &x.ChosenList()})
      out << c->Left() << " " << c->Top() << " " << c->Width() << " " << c->Height()
          << (c == &x.ChosenList() ? "\n" : ", ");
  }
  EXPECT_EQ(out.str(),
            "0 0 3692.5 3000, 3752.5 1095 495 375, 3752.5 1530 495 375, 4307.5 0 3692.5 3000\n"
            "0 0 4192.5 3000, 4252.5 1095 495 375, 4252.5 1530 495 375, 4807.5 0 4192.5 3000\n"
            "0 0 4192.5 500, 4252.5 0 495 220, 4252.5 280 495 220, 4807.5 0 4192.5 500\n"
            "0 0 0 10, 60 0 480 0, 60 35 480 0, 600 0 0 10\n");
}

TEST(Selector, RowsReadBetweenMovesShowEachSideExactly) {
  Selector x("xEvents");
  constexpr int kRows = 40;
  for (int i = 0; i < kRows; ++i) x.AddAvailable("Event " + std::to_string(i), std::to_string(i));
  x.EndFill();
  std::vector<int> available(kRows);
  for (int i = 0; i < kRows; ++i) available[static_cast<std::size_t>(i)] = i;
  std::vector<int> chosen;
  auto expectSides = [&] {
    std::vector<std::string> a, c;
    for (int k : available) a.push_back(std::to_string(k) + "_");
    for (int k : chosen) c.push_back(std::to_string(k) + "_");
    ASSERT_EQ(Keys(*x.AvailableItems()), a);
    ASSERT_EQ(Keys(*x.ChosenItems()), c);
  };
  unsigned seed = 7;
  for (int step = 0; step < 200; ++step) {
    seed = seed * 1103515245u + 12345u;
    const int key = static_cast<int>((seed >> 8) % kRows);
    if (step % 3 != 2) {
      x.ChooseItem(std::to_string(key));
      if (std::erase(available, key) > 0) chosen.push_back(key);
    } else if (!chosen.empty()) {
      // Take back every other chosen row, as the user does.
      auto rows = x.ChosenItems();
      std::vector<int> back;
      for (int i = 1; i <= rows->Count(); i += 2) {
        rows->Item(i)->SetSelected(true);
        back.push_back(chosen[static_cast<std::size_t>(i - 1)]);
      }
      ASSERT_TRUE(x.RemoveSelected());
      for (int k : back) std::erase(chosen, k);
      available.insert(available.end(), back.begin(), back.end());
      std::sort(available.begin(), available.end());
    }
    expectSides();
  }
}

}  // namespace
}  // namespace quillmont
