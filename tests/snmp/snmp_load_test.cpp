#include "quillmont/framework/runtime.h"
#include "tests/snmp/snmp_fixture.h"

namespace snmp_test {
namespace {

using Strings = std::vector<std::string>;

TEST_F(SnmpTest, CreationBuildsTheColumnsAndStartsInAddNew) {
  const auto columns = panel->stl().Columns();
  ASSERT_EQ(columns->Count(), 4);
  const int ids[] = {256, 512, 768, 1024};
  const char* captions[] = {"Host", "Port", "Version", "Time Format"};
  const float widths[] = {2000, 1000, 1000, 1200};
  for (int i = 0; i < 4; ++i) {
    const auto c = columns->Item(i + 1);
    EXPECT_EQ(c->Id(), ids[i]);
    EXPECT_EQ(c->Caption(), captions[i]);
    EXPECT_EQ(c->Width(), widths[i]);
    EXPECT_TRUE(c->Visible());
  }
  EXPECT_EQ(panel->EditMode(), EditMode::AddNew);
  EXPECT_EQ(panel->Definition(), nullptr);
  EXPECT_EQ(panel->mnuPopup().Items().size(), 1u);
  EXPECT_EQ(panel->mnuPopupDelete().Caption(), "Delete");
  // A host may restore the column layout before anything is loaded.
  EXPECT_NO_THROW(panel->LoadState());
}

TEST_F(SnmpTest, NewDefinitionStartsEmptyWithDefaults) {
  auto def = Fresh();
  Load(def);
  EXPECT_EQ(def->SnmpDetailsLoads(), 1);
  EXPECT_EQ(panel->TabKey(), "SNMP");
  EXPECT_EQ(panel->cdtnNotify(), host);
  EXPECT_FALSE(panel->stl().ConfigFlag1());
  EXPECT_FALSE(panel->stl().ConfigFlag2());
  EXPECT_TRUE(panel->stl().ConfigFlag3());
  EXPECT_EQ(panel->stl().RowCount(), 0);
  EXPECT_EQ(Fields(), (Strings{"", "", "SNMP v2c", "UTC"}));
  EXPECT_FALSE(panel->cmdApply().Enabled());
  EXPECT_FALSE(panel->cmdDelete().Enabled());
  EXPECT_TRUE(FieldsEnabled());
  EXPECT_EQ(host->markChanged, 0);
  EXPECT_TRUE(panel->IsTabValid("Title"));
  EXPECT_FALSE(panel->HandleTabProcess(""));
  EXPECT_FALSE(panel->HandleTabProcess("Save"));

  panel->SaveData();
  ASSERT_NE(def->SnmpManagers(), nullptr);
  EXPECT_EQ(def->SnmpManagers()->Count(), 0);
}

TEST_F(SnmpTest, StoredManagersFillTheListAndRowOneIsShown) {
  auto def = Stored({{"alpha", 162}, {"beta", 1162, "SNMP v2c", "UTC"}, {"gamma", 2000}});
  Load(def);
  ASSERT_EQ(panel->stl().RowCount(), 3);
  EXPECT_EQ(Row(0), (Strings{"alpha", "162", "SNMP v1", "UNIX"}));
  EXPECT_EQ(Row(1), (Strings{"beta", "1162", "SNMP v2c", "UTC"}));
  EXPECT_EQ(Row(2), (Strings{"gamma", "2000", "SNMP v1", "UNIX"}));
  EXPECT_EQ(panel->stl().SelectedRows(), std::vector<int>{0});
  EXPECT_EQ(Fields(), (Strings{"alpha", "162", "SNMP v1", "UNIX"}));
  EXPECT_EQ(panel->EditMode(), EditMode::EditSelected);
  EXPECT_FALSE(panel->cmdApply().Enabled());
  EXPECT_TRUE(panel->cmdDelete().Enabled());
  EXPECT_EQ(host->markChanged, 0);

  // The panel works on a collection of its own: the definition gets it only
  // on SaveData, with the very manager objects it held.
  const auto original = def->SnmpManagers();
  panel->SaveData();
  ASSERT_NE(def->SnmpManagers(), original);
  ASSERT_EQ(def->SnmpManagers()->Count(), 3);
  EXPECT_EQ(def->SnmpManagers()->Manager(2), original->Manager(2));
}

TEST_F(SnmpTest, StoredDefinitionWithoutManagersLeavesFieldsBlank) {
  auto noSnmp = Stored({{"alpha", 162}});
  noSnmp->SetHasSnmp(false);
  auto noList = Stored({});
  noList->SetSnmpManagers(nullptr);
  for (const auto& def : {noSnmp, noList, Stored({})}) {
    auto fresh = XEventSNMPTab::Create();
    fresh->LoadData(Variant(def), "SNMP", nullptr);
    EXPECT_EQ(fresh->stl().RowCount(), 0);
    EXPECT_EQ(fresh->txtHost().Text(), "");
    EXPECT_EQ(fresh->txtPort().Text(), "");
    EXPECT_EQ(fresh->cboVersion().ListIndex(), -1);
    EXPECT_EQ(fresh->cboTimeFormat().ListIndex(), -1);
    EXPECT_EQ(fresh->EditMode(), EditMode::AddNew);
    fresh->SaveData();
    ASSERT_NE(def->SnmpManagers(), nullptr);
    EXPECT_EQ(def->SnmpManagers()->Count(), 0);
  }
}

TEST_F(SnmpTest, ReloadingKeepsTwoChoicesAndDropsThePreviousManagers) {
  Load(Stored({{"alpha", 162}, {"beta", 163}}));
  auto other = Stored({{"gamma", 99}});
  other->SetHasSnmp(false);
  Load(other);
  // The definition without SNMP must not be shown or handed the first one's
  // managers.
  EXPECT_EQ(panel->stl().RowCount(), 0);
  EXPECT_EQ(panel->EditMode(), EditMode::AddNew);
  panel->SaveData();
  EXPECT_EQ(other->SnmpManagers()->Count(), 0);

  Load(Fresh());
  for (ui::ComboBox* combo : {&panel->cboVersion(), &panel->cboTimeFormat()}) ASSERT_EQ(combo->ListCount(), 2);
  EXPECT_EQ(panel->cboVersion().List(0), "SNMP v1");
  EXPECT_EQ(panel->cboVersion().List(1), "SNMP v2c");
  EXPECT_EQ(panel->cboTimeFormat().List(0), "UNIX");
  EXPECT_EQ(panel->cboTimeFormat().List(1), "UTC");
  EXPECT_EQ(host->markChanged, 0);
}

TEST_F(SnmpTest, ColumnLayoutSurvivesUnderSnmpProperties) {
  auto columns = panel->stl().ViewColumns();
  std::swap(columns[0], columns[3]);
  columns[1].width = 1234.5F;
  panel->stl().SetViewColumns(columns);
  panel->SaveState();
  const Variant stored = GetAppContext()->Settings()->Item(Variant("SNMPProperties"))->Value();
  EXPECT_FALSE(stored.ToString().empty());

  auto next = XEventSNMPTab::Create();
  next->LoadState();
  ASSERT_EQ(next->stl().ViewColumns().size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(next->stl().ViewColumns()[i].id, columns[i].id);
    EXPECT_EQ(next->stl().ViewColumns()[i].width, columns[i].width);
  }
}

TEST_F(SnmpTest, BadDefinitionReachesTheHostAndThePanelStaysUsable) {
  auto other = std::make_shared<RecordingTabHost>();
  EXPECT_THROW(panel->LoadData(Variant("not a definition"), "SNMP", other), Error);
  EXPECT_EQ(panel->cdtnNotify(), other);
  EXPECT_THROW(panel->SaveData(), Error);  // nothing loaded to save into

  // A null host is allowed: edits then notify no one.
  panel->LoadData(Variant(Fresh()), "SNMP", nullptr);
  user.Click(panel->cmdNew());
  EXPECT_EQ(other->markChanged, 0);
  EXPECT_TRUE(panel->txtHost().HasFocus());
}

}  // namespace
}  // namespace snmp_test
