#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillmont/platform/ui/controls.h"
#include "quillmont/platform/ui/driver.h"

namespace quillmont::ui {
namespace {

struct KeysPanel {
  UserControl panel{"ucKeys"};
  std::shared_ptr<ComboBox> combo = panel.Add<ComboBox>("cboVersion");
  std::shared_ptr<ListView> list = panel.Add<ListView>("lvwRows");
  std::shared_ptr<CommandButton> button = panel.Add<CommandButton>("cmdAdd", "&Add");
  Driver user{panel};
  int comboClicks = 0, buttonClicks = 0, selectionChanges = 0;

  KeysPanel() {
    for (const char* item : {"one", "two", "three", "four", "five"}) {
      combo->AddItem(item);
      list->AppendViewRow({item});
    }
    list->SetPageRows(2);
    combo->Click.Connect([this] { ++comboClicks; });
    button->Click.Connect([this] { ++buttonClicks; });
    list->SelectionChanged.Connect([this] { ++selectionChanges; });
  }
};

// From a chosen item / selected row (-1: none), a key chooses the item and
// selects the row; the list also shows that row first when it was above the
// first row shown (2, or the clicked row when that is higher).
TEST(Keys, MoveAComboAndAListByTheirSteps) {
  struct Case {
    int key, from, combo, row, top;
  };
  const std::vector<Case> cases = {
      {keys::Down, -1, 0, 0, 0},  {keys::Down, 1, 2, 2, 1},     {keys::Down, 4, 4, 4, 2},
      {keys::Up, -1, 0, 0, 0},    {keys::Up, 3, 2, 2, 2},       {keys::Up, 2, 1, 1, 1},
      {keys::Up, 0, 0, 0, 0},     {keys::Home, 3, 0, 0, 0},     {keys::End, 1, 4, 4, 1},
      {keys::End, 4, 4, 4, 2},    {keys::PageDown, 1, 1, 3, 1}, {keys::PageDown, 3, 3, 4, 2},
      {keys::PageUp, 3, 3, 1, 1}, {keys::PageUp, 1, 1, 0, 0},   {keys::Left, 2, 2, 2, 2},
  };
  for (const Case& c : cases) {
    const std::string label = "key " + std::to_string(c.key) + " from " + std::to_string(c.from);
    KeysPanel p;
    p.combo->SetListIndex(c.from);
    p.comboClicks = 0;
    p.user.Focus(*p.combo);
    p.user.PressKey(c.key);
    EXPECT_EQ(p.combo->ListIndex(), c.combo) << label;
    EXPECT_EQ(p.comboClicks, c.combo != c.from ? 1 : 0) << label;  // a key that moves nothing clicks nothing

    p.list->SetTopRow(2);
    if (c.from >= 0) p.user.ClickRow(*p.list, c.from);
    p.user.Focus(*p.list);
    p.selectionChanges = 0;
    p.user.PressKey(c.key);
    EXPECT_EQ(p.list->SelectedRows(), std::vector<int>{c.row}) << label;
    EXPECT_EQ(p.list->CaretRow(), c.row) << label;
    EXPECT_EQ(p.list->TopRow(), c.top) << label;
    EXPECT_EQ(p.selectionChanges, c.row != c.from ? 1 : 0) << label;
  }
}

TEST(Keys, TheLastRowAButtonAndAControlsOwnKeyDown) {
  KeysPanel p;
  p.list->SetTopRow(99);
  EXPECT_EQ(p.list->TopRow(), 4);
  p.list->SetTopRow(-1);
  EXPECT_EQ(p.list->TopRow(), 0);

  // The last row goes while it has the caret and is shown first: the new last
  // row takes both, and Space selects it.
  p.user.ClickRow(*p.list, 4);
  p.list->SetTopRow(4);
  p.list->RemoveViewRows({4});
  EXPECT_EQ(p.list->CaretRow(), 3);
  EXPECT_EQ(p.list->TopRow(), 3);
  EXPECT_TRUE(p.list->SelectedRows().empty());
  p.user.Focus(*p.list);
  p.user.PressKey(keys::Space);
  EXPECT_EQ(p.list->SelectedRows(), std::vector<int>{3});

  // Return and Space press a button.
  p.user.Focus(*p.button);
  for (int key : {keys::Return, keys::Space, keys::Escape, keys::Down}) p.user.PressKey(key);
  EXPECT_EQ(p.buttonClicks, 2);

  // A handler of the list's own KeyDown sees each key and may take it away.
  std::vector<int> seen;
  p.list->KeyDown.Connect([&seen](KeyEventArgs& e) {
    seen.push_back(e.KeyCode);
    if (e.KeyCode == keys::End) e.KeyCode = 0;
  });
  p.user.Focus(*p.list);
  p.user.PressKey(keys::Up);
  p.user.PressKey(keys::End);
  EXPECT_EQ(seen, (std::vector<int>{keys::Up, keys::End}));
  EXPECT_EQ(p.list->SelectedRows(), std::vector<int>{2});
}

}  // namespace
}  // namespace quillmont::ui
