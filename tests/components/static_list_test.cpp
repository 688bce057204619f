// The default list over the definition members it shows.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "quillmont/controls/column_set.h"
#include "quillmont/controls/static_list.h"
#include "quillmont/definitions/members.h"
#include "quillmont/platform/error.h"

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

TEST(StaticList, RowsFollowItemsAndColumns) {
  StaticList list("stl");
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
  EXPECT_EQ(std::pair(items->Count(), list.RowCount()), std::pair(2, 2));
  EXPECT_EQ(list.RowCells(1), (std::vector<std::string>{"beta", "1162", "SNMP v2c", "UTC"}));

  // A recipient is no SNMP manager: refused, nothing added.
  auto recipient = std::make_shared<BasicEmailRecipient>();
  EXPECT_THROW(list.AddRow(recipient), Error);
  EXPECT_EQ(std::pair(items->Count(), list.RowCount()), std::pair(2, 2));

  a->Update("alpha2", 163, "SNMP v1", "UNIX");
  list.UpdateRow(a);
  EXPECT_EQ(list.RowCells(0), (std::vector<std::string>{"alpha2", "163", "SNMP v1", "UNIX"}));
  EXPECT_THROW(list.UpdateRow(Manager("stranger", 1)), Error);

  // The view's column layout goes back to the set, and the cells follow.
  auto view = list.ViewColumns();
  std::swap(view[0], view[1]);
  view[0].width = 0;
  view[3].visible = false;
  list.SetViewColumns(view);
  list.CaptureColumnLayout();
  auto set = std::dynamic_pointer_cast<ColumnSet>(list.Columns());
  EXPECT_EQ(set->LayoutState(), "v1;512:0:1:1;256:2000:1:2;768:1000:1:3;1024:1200:0:4");
  EXPECT_EQ(list.RowCells(0)[0], "163");

  // And a stored layout comes back through ApplyColumnLayout.
  set->SetLayoutState("v1;256:900:1:1");
  list.ApplyColumnLayout();
  EXPECT_EQ(std::tuple(list.ViewColumns()[0].id, list.ViewColumns()[0].width, list.RowCells(1)[0]),
            std::tuple(256, 900.0F, "beta"));

  // The collection changed behind the list's back: an item is found where it is now.
  items->RemoveAt({1});
  list.UpdateRow(b);
  EXPECT_EQ(list.RowCells(0)[0], "beta");
  list.RefreshRows();  // the rows follow the collection again
  list.AddRow(b);      // shown twice, an item is redrawn in both rows
  b->Update("beta2", 1, "SNMP v1", "UTC");
  list.UpdateRow(b);
  EXPECT_EQ(list.RowCells(0)[0] + list.RowCells(1)[0] + std::to_string(list.RowCount()), "beta2beta22");

  // Each stored layout of tests/components/layout_states.txt read into fresh
  // columns, and the layout they then store.
  std::ifstream file(QM_COMPONENTS_DIR "/layout_states.txt");
  ASSERT_TRUE(file);
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    set = SnmpColumns();
    set->SetLayoutState(line.substr(0, line.find(" => ")));
    EXPECT_EQ(set->LayoutState(), line.substr(line.find(" => ") + 4)) << line;
  }
}

}  // namespace
}  // namespace quillmont
