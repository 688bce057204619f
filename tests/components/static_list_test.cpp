#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>

#include "quillmont/controls/column_set.h"
#include "quillmont/controls/static_list.h"
#include "quillmont/definitions/members.h"
#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/driver.h"

namespace quillmont {
namespace {

std::shared_ptr<ColumnSet> SnmpColumns() {
  auto set = std::make_shared<ColumnSet>();
  set->Add(std::make_shared<ListColumn>(256, "Host", 2000.0F, 0, true, 0), "", "");
  set->Add(std::make_shared<ListColumn>(512, "Port", 1000.0F, 0, true, 0), "", "");
  set->Add(std::make_shared<ListColumn>(768, "Version", 1000.0F, 0, true, 0), "", "");
  set->Add(std::make_shared<ListColumn>(1024, "Time Format", 1200.0F, 0, true, 0), "", "");
  return set;
}

std::shared_ptr<BasicSnmpManager> Manager(const std::string& host, int port) {
  auto m = std::make_shared<BasicSnmpManager>();
  m->Init("owner", host, port, "SNMP v2c", "UTC");
  return m;
}

std::vector<int> ColumnOrder(const ColumnSet& set) {
  std::vector<int> ids;
  for (int i = 1; i <= set.Count(); ++i) ids.push_back(set.Item(i)->Id());
  return ids;
}

TEST(ColumnSet, LayoutRoundTripIsExact) {
  auto set = SnmpColumns();
  EXPECT_EQ(set->LayoutState(), "v1;256:2000:1:1;512:1000:1:2;768:1000:1:3;1024:1200:1:4");
  set->Item(1)->SetWidth(0.1F);
  set->Item(2)->SetWidth(1234.5678F);
  set->Item(3)->SetVisible(false);
  set->Item(4)->SetWidth(3.4028235e38F / 1e33F);
  set->MoveColumn(1024, 1);
  const std::string saved = set->LayoutState();

  auto fresh = SnmpColumns();
  fresh->SetLayoutState(saved);
  EXPECT_EQ(fresh->LayoutState(), saved);
  EXPECT_EQ(ColumnOrder(*fresh), (std::vector<int>{1024, 256, 512, 768}));
  EXPECT_EQ(fresh->FindById(256)->Width(), 0.1F);
  EXPECT_EQ(fresh->FindById(512)->Width(), 1234.5678F);
  EXPECT_FALSE(fresh->FindById(768)->Visible());
  EXPECT_THROW(fresh->MoveColumn(999, 1), Error);
  EXPECT_THROW(fresh->Add(std::make_shared<ListColumn>(256, "Again", 1.0F, 0, true, 0), "", ""), Error);
  EXPECT_THROW(fresh->Add(nullptr, "", ""), Error);
  EXPECT_EQ(fresh->Count(), 4);
}

TEST(ColumnSet, ReadsWhatItCanAndIgnoresTheRest) {
  struct Case {
    std::string text;
    std::vector<int> order;
    float hostWidth;
  };
  const Case cases[] = {
      {"", {256, 512, 768, 1024}, 2000},
      {"garbage", {256, 512, 768, 1024}, 2000},
      {"v2;256:10:1:4", {256, 512, 768, 1024}, 2000},  // a later format is not guessed at
      {"v1", {256, 512, 768, 1024}, 2000},
      {"v1;256:-5:1:1", {256, 512, 768, 1024}, 2000},
      {"v1;256:nan:1:1", {256, 512, 768, 1024}, 2000},
      {"v1;256:inf:1:1", {256, 512, 768, 1024}, 2000},
      {"v1;256:1e39:1:1", {256, 512, 768, 1024}, 2000},
      {"v1;256:99999999:1:1", {256, 512, 768, 1024}, 2000},
      {"v1;256:300", {256, 512, 768, 1024}, 300},
      {"v1;256:300:1:99999999999999999999", {256, 512, 768, 1024}, 300},
      {"v1;1024:5:1:1", {1024, 256, 512, 768}, 2000},
      {"v1;1024:5:1:1;1024:6:1:4", {256, 512, 768, 1024}, 2000},  // the later entry wins
      {"v1;42:5:1:1;abc:1:1:1;;;:::", {256, 512, 768, 1024}, 2000},
      {"v1;256:1:1:2;512:1:1:2", {256, 512, 768, 1024}, 1},  // a clash keeps both, in order
      {"v1;256:7:1:4;512:1:1:3;768:1:1:2;1024:1:1:1", {1024, 768, 512, 256}, 7},
      {" v1 ; 256 : 8 : 1 : 1 ", {256, 512, 768, 1024}, 8},
  };
  for (const auto& c : cases) {
    auto set = SnmpColumns();
    EXPECT_NO_THROW(set->SetLayoutState(c.text)) << c.text;
    EXPECT_EQ(ColumnOrder(*set), c.order) << c.text;
    EXPECT_EQ(set->FindById(256)->Width(), c.hostWidth) << c.text;
  }
}

TEST(ColumnSet, RandomAndTruncatedTextsNeverLoseAColumn) {
  std::mt19937 random(20240611);
  auto reference = SnmpColumns();
  reference->Item(2)->SetWidth(777.25F);
  reference->MoveColumn(768, 1);
  const std::string good = reference->LayoutState();
  const std::string alphabet = "v1;:0123456789.-+eE naNinf\n\x01\xff";
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    switch (round % 3) {
      case 0:
        text = good.substr(0, random() % (good.size() + 1));
        break;
      case 1: {
        text = good;
        for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips)
          text[random() % text.size()] = alphabet[random() % alphabet.size()];
        break;
      }
      default:
        for (std::size_t n = random() % 80; n > 0; --n) text += alphabet[random() % alphabet.size()];
        if (random() % 2) text = "v1;" + text;
    }
    auto set = SnmpColumns();
    ASSERT_NO_THROW(set->SetLayoutState(text)) << text;
    auto ids = ColumnOrder(*set);
    std::sort(ids.begin(), ids.end());
    ASSERT_EQ(ids, (std::vector<int>{256, 512, 768, 1024})) << text;
    for (int i = 1; i <= set->Count(); ++i) {
      const float w = set->Item(i)->Width();
      ASSERT_TRUE(w >= 0 && w <= ColumnSet::kMaxWidth) << text;
    }
    // Whatever was read writes out as a layout that reads back the same.
    auto copy = SnmpColumns();
    copy->SetLayoutState(set->LayoutState());
    ASSERT_EQ(copy->LayoutState(), set->LayoutState()) << text;
  }
}

TEST(StaticList, RowsFollowItemsAndColumns) {
  StaticList list("stl");
  EXPECT_NE(list.Items(), nullptr);
  EXPECT_EQ(list.Items()->Count(), 0);
  EXPECT_THROW(list.SetItems(nullptr), Error);
  EXPECT_THROW(list.SetColumns(nullptr), Error);
  list.SetColumns(SnmpColumns());
  ASSERT_EQ(list.ViewColumns().size(), 4u);
  EXPECT_EQ(list.ViewColumns()[3].caption, "Time Format");

  auto items = std::make_shared<BasicSnmpManagerList>();
  list.SetItems(items);
  auto a = Manager("alpha", 162);
  auto b = Manager("beta", 1162);
  list.AddRow(a);
  list.AddRow(b);
  EXPECT_EQ(items->Count(), 2);
  EXPECT_EQ(list.RowCount(), 2);
  EXPECT_EQ(list.RowCells(1), (std::vector<std::string>{"beta", "1162", "SNMP v2c", "UTC"}));

  // A recipient is no SNMP manager: refused, nothing added.
  auto recipient = std::make_shared<BasicEmailRecipient>();
  EXPECT_THROW(list.AddRow(recipient), Error);
  EXPECT_EQ(list.RowCount(), 2);
  EXPECT_EQ(items->Count(), 2);

  a->Update("alpha2", 163, "SNMP v1", "UNIX");
  list.UpdateRow(a);
  EXPECT_EQ(list.RowCells(0), (std::vector<std::string>{"alpha2", "163", "SNMP v1", "UNIX"}));
  EXPECT_THROW(list.UpdateRow(Manager("stranger", 1)), Error);

  // The flags are plain settings.
  list.SetConfigFlag1(false);
  list.SetConfigFlag2(false);
  list.SetConfigFlag3(true);
  EXPECT_FALSE(list.ConfigFlag1());
  EXPECT_FALSE(list.ConfigFlag2());
  EXPECT_TRUE(list.ConfigFlag3());

  // The view's column layout goes back to the set, and the cells follow.
  auto view = list.ViewColumns();
  std::swap(view[0], view[1]);
  view[0].width = 1500;
  view[3].visible = false;
  list.SetViewColumns(view);
  list.CaptureColumnLayout();
  auto set = std::dynamic_pointer_cast<ColumnSet>(list.Columns());
  EXPECT_EQ(ColumnOrder(*set), (std::vector<int>{512, 256, 768, 1024}));
  EXPECT_EQ(set->FindById(512)->Width(), 1500.0F);
  EXPECT_FALSE(set->FindById(1024)->Visible());
  EXPECT_EQ(list.RowCells(0)[0], "163");

  // And a stored layout comes back through ApplyColumnLayout.
  set->SetLayoutState("v1;256:900:1:1");
  list.ApplyColumnLayout();
  EXPECT_EQ(list.ViewColumns()[0].id, 256);
  EXPECT_EQ(list.ViewColumns()[0].width, 900.0F);
  EXPECT_EQ(list.RowCells(1)[0], "beta");
}

TEST(StaticList, EachCallRaisesSelectionChangedAtMostOnce) {
  ui::UserControl panel("panel");
  StaticList& list = *panel.Add<StaticList>("stl");
  list.SetColumns(SnmpColumns());
  list.SetItems(std::make_shared<BasicSnmpManagerList>());
  std::vector<std::shared_ptr<BasicSnmpManager>> managers;
  for (int i = 0; i < 5; ++i) {
    managers.push_back(Manager("h" + std::to_string(i), 100 + i));
    list.AddRow(managers.back());
  }
  int raised = 0;
  list.SelectionChanged.Connect([&] { ++raised; });

  list.SelectRow(2);
  EXPECT_EQ(raised, 1);
  list.SelectRow(2);  // same selection: no event
  EXPECT_EQ(raised, 1);
  list.SelectRow(0);
  list.SelectRow(6);  // no such rows: nothing happens
  EXPECT_EQ(raised, 1);
  EXPECT_EQ(list.SelectedCount(), 1);

  // The user selects three rows; all go in one RemoveRow with one event.
  ui::Driver driver(panel);
  driver.SelectRows(list, {0, 2, 4});
  raised = 0;
  auto selected = list.SelectedItems();
  ASSERT_EQ(selected->Count(), 3);
  EXPECT_EQ(selected->Item(2).get(), managers[2].get());
  list.RemoveRow(selected);
  EXPECT_EQ(raised, 1);
  EXPECT_EQ(list.RowCount(), 2);
  EXPECT_EQ(list.Items()->Count(), 2);
  EXPECT_EQ(list.RowCells(0)[0], "h1");
  EXPECT_EQ(list.RowCells(1)[0], "h3");
  EXPECT_EQ(list.SelectedCount(), 0);

  // Removing unselected rows changes no selection.
  list.SelectRow(1);
  raised = 0;
  auto unselected = std::make_shared<GenericItemList>();
  unselected->Add(managers[3]);
  list.RemoveRow(unselected);
  EXPECT_EQ(raised, 0);
  EXPECT_EQ(list.RowCount(), 1);
  // An item not in the list is passed over.
  list.RemoveRow(unselected);
  EXPECT_EQ(list.RowCount(), 1);

  list.ClearSelection();
  EXPECT_EQ(raised, 1);
  list.ClearSelection();
  EXPECT_EQ(raised, 1);
  // Updating a row after removals still finds it.
  managers[1]->Update("moved", 1, "SNMP v1", "UNIX");
  list.UpdateRow(managers[1]);
  EXPECT_EQ(list.RowCells(0)[0], "moved");
}

TEST(StaticList, RefreshRowsCatchesUpWithItemsChangedBehindIt) {
  StaticList list("stl");
  list.SetColumns(SnmpColumns());
  auto items = std::make_shared<BasicSnmpManagerList>();
  list.SetItems(items);
  auto a = Manager("a", 1);
  list.AddRow(a);
  items->Add(Manager("b", 2));  // not through the list
  EXPECT_EQ(list.RowCount(), 1);
  list.RefreshRows();
  EXPECT_EQ(list.RowCount(), 2);
  EXPECT_EQ(list.RowCells(1)[0], "b");
  list.SelectRow(2);
  auto selected = list.SelectedItems();
  ASSERT_EQ(selected->Count(), 1);
  EXPECT_EQ(selected->Item(1), items->Item(2));
}

TEST(StaticList, HundredThousandRows) {
  StaticList list("stl");
  list.SetColumns(SnmpColumns());
  list.SetItems(std::make_shared<BasicSnmpManagerList>());
  std::vector<std::shared_ptr<BasicSnmpManager>> managers;
  constexpr int kRows = 100000;
  managers.reserve(kRows);
  for (int i = 0; i < kRows; ++i) {
    managers.push_back(Manager("host" + std::to_string(i), i % 65535 + 1));
    list.AddRow(managers.back());
  }
  for (int i = 0; i < kRows; i += 7) {
    managers[static_cast<std::size_t>(i)]->Update("upd" + std::to_string(i), 1, "SNMP v1", "UNIX");
    list.UpdateRow(managers[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(list.RowCells(kRows - 1)[0], "host99999");
  EXPECT_EQ(list.RowCells(7)[0], "upd7");
  // Remove every other row in one call, then update across the new rows.
  auto doomed = std::make_shared<GenericItemList>();
  for (int i = 0; i < kRows; i += 2) doomed->Add(managers[static_cast<std::size_t>(i)]);
  list.RemoveRow(doomed);
  ASSERT_EQ(list.RowCount(), kRows / 2);
  for (int i = 1; i < kRows; i += 1000) {
    managers[static_cast<std::size_t>(i)]->Update("late" + std::to_string(i), 2, "SNMP v1", "UNIX");
    list.UpdateRow(managers[static_cast<std::size_t>(i)]);
    EXPECT_EQ(list.RowCells(i / 2)[0], "late" + std::to_string(i));
  }
}

}  // namespace
}  // namespace quillmont
