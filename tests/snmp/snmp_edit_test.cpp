#include "tests/snmp/snmp_fixture.h"

namespace snmp_test {
namespace {

using Strings = std::vector<std::string>;
constexpr int kStop = msgbox::Critical;
constexpr int kYesNo = msgbox::YesNoExclamation;
constexpr const char* kPortRange = "Port number must be an integer between 1 and 65535.";

TEST_F(SnmpTest, TypingEnablesApplyAndEnterAppliesOnRelease) {
  Load(Stored({{"alpha", 162}}));
  EXPECT_FALSE(panel->cmdApply().Enabled());
  user.TypeInto(panel->txtHost(), "x");
  EXPECT_TRUE(panel->Changed());
  EXPECT_TRUE(panel->cmdApply().Enabled());
  user.ClearText();
  EXPECT_FALSE(panel->cmdApply().Enabled());
  user.Type(" ");  // blanks count for the button, not for the check
  EXPECT_TRUE(panel->cmdApply().Enabled());
  EXPECT_TRUE(panel->IsTabValid("Notification"));  // managers are checked on Apply only

  user.Focus(panel->txtPort());
  user.KeyDown(ui::keys::Return);
  user.KeyPress(ui::keys::Return);
  EXPECT_TRUE(panel->EnterPending());
  EXPECT_TRUE(Messages().shown.empty());
  Messages().Expect("A Host name must be entered.", kStop, "");
  user.KeyUp(ui::keys::Return);
  EXPECT_FALSE(panel->EnterPending());
  EXPECT_TRUE(panel->txtHost().HasFocus());
  // The failed check left fields, list and state as they were.
  EXPECT_EQ(Fields(), (Strings{" ", "162", "SNMP v1", "UNIX"}));
  EXPECT_EQ(Row(0), (Strings{"alpha", "162", "SNMP v1", "UNIX"}));
  EXPECT_TRUE(panel->Changed());
  EXPECT_EQ(host->markChanged, 0);

  // With Apply disabled, Enter is the field's own and nothing is pending.
  Retype(panel->txtPort(), "");
  user.PressKey(ui::keys::Return);
  EXPECT_FALSE(panel->EnterPending());
  EXPECT_EQ(Messages().shown.size(), 1u);
}

TEST_F(SnmpTest, PortChecksRefuseInOrder) {
  Load(Fresh());
  user.TypeInto(panel->txtHost(), "h");
  user.TypeInto(panel->txtPort(), " ");
  Messages().Expect("A Port number must be entered.", kStop, "");
  user.Click(panel->cmdApply());
  EXPECT_TRUE(panel->txtPort().HasFocus());
  for (const char* bad : {"0", "65536", "-1", "abc", "1.5"}) {
    Retype(panel->txtPort(), bad);
    Messages().Expect(kPortRange, kStop, "");
    user.PressKey(ui::keys::Return);
    EXPECT_TRUE(panel->txtPort().HasFocus()) << bad;
    EXPECT_EQ(panel->txtPort().Text(), bad);
  }
  EXPECT_EQ(panel->stl().RowCount(), 0);
  EXPECT_EQ(host->markChanged, 0);

  for (const char* good : {"1", "65535", " 162 "}) {
    user.TypeInto(panel->txtHost(), "h");
    Retype(panel->txtPort(), good);
    user.PressKey(ui::keys::Return);
  }
  ASSERT_EQ(panel->stl().RowCount(), 3);
  EXPECT_EQ(Row(0)[1], "1");
  EXPECT_EQ(Row(1)[1], "65535");
  EXPECT_EQ(Row(2)[1], "162");
}

TEST_F(SnmpTest, NewAndAddHandManagersToTheDefinitionOnSave) {
  auto def = Fresh();
  Load(def);
  user.Click(panel->cmdNew());
  EXPECT_EQ(host->markChanged, 1);
  EXPECT_TRUE(panel->txtHost().HasFocus());
  user.Type("  Trap-A ");
  user.TypeInto(panel->txtPort(), "162");
  user.Choose(panel->cboVersion(), "SNMP v1");
  user.Focus(panel->txtPort());
  user.PressKey(ui::keys::Return);

  EXPECT_EQ(Row(0), (Strings{"Trap-A", "162", "SNMP v1", "UTC"}));
  EXPECT_EQ(Fields(), (Strings{"", "", "SNMP v2c", "UTC"}));
  EXPECT_TRUE(panel->txtHost().HasFocus());
  EXPECT_FALSE(panel->cmdApply().Enabled());
  EXPECT_EQ(panel->EditMode(), EditMode::AddNew);
  EXPECT_EQ(host->markChanged, 2);

  // Same host (other case) and port: refused; the same host on another port
  // is a new manager.
  user.Type("trap-a");
  user.TypeInto(panel->txtPort(), "162");
  Messages().Expect("This Host/Port already exists in the list.", kStop, "Add SNMP Manager");
  user.Click(panel->cmdApply());
  EXPECT_TRUE(panel->cmdApply().HasFocus());
  EXPECT_EQ(panel->stl().RowCount(), 1);
  Retype(panel->txtPort(), "163");
  user.Click(panel->cmdApply());
  EXPECT_EQ(panel->stl().RowCount(), 2);
  EXPECT_EQ(host->markChanged, 3);

  EXPECT_EQ(def->SnmpManagers(), nullptr);  // nothing reaches the definition before SaveData
  panel->SaveData();
  const auto saved = def->SnmpManagers();
  ASSERT_EQ(saved->Count(), 2);
  const auto first = saved->Manager(1);
  EXPECT_EQ(first->OwnerKey(), "N-42");
  EXPECT_EQ(first->Host(), "Trap-A");
  EXPECT_EQ(first->Port(), 162);
  EXPECT_EQ(first->Version(), "SNMP v1");
  EXPECT_EQ(first->TimeFormat(), "UTC");
  EXPECT_EQ(saved->Manager(2)->Host(), "trap-a");
}

TEST_F(SnmpTest, UpdateKeepsItsOwnHostAndPortButNotAnothers) {
  auto def = Stored({{"alpha", 162}, {"beta", 200}});
  Load(def);
  const auto beta = def->SnmpManagers()->Manager(2);
  user.ClickRow(panel->stl(), 1);
  EXPECT_EQ(Fields(), (Strings{"beta", "200", "SNMP v1", "UNIX"}));
  // The panel holds the text-box extensions it attached: Escape brings back
  // the host it showed.
  user.TypeInto(panel->txtHost(), "zz");
  user.PressKey(ui::keys::Escape);
  EXPECT_EQ(panel->txtHost().Text(), "beta");
  user.Choose(panel->cboTimeFormat(), "UTC");
  user.Click(panel->cmdApply());
  EXPECT_EQ(beta->TimeFormat(), "UTC");
  EXPECT_EQ(Row(1), (Strings{"beta", "200", "SNMP v1", "UTC"}));
  EXPECT_TRUE(panel->stl().HasFocus());
  EXPECT_FALSE(panel->Changed());
  EXPECT_EQ(panel->EditMode(), EditMode::EditSelected);
  EXPECT_EQ(host->markChanged, 1);

  Retype(panel->txtHost(), "ALPHA");
  Retype(panel->txtPort(), "162");
  Messages().Expect("This Host/Port already exists in the list.", kStop, "Add SNMP Manager");
  user.PressKey(ui::keys::Return);
  EXPECT_EQ(beta->Host(), "beta");
  EXPECT_EQ(Row(1), (Strings{"beta", "200", "SNMP v1", "UTC"}));
  EXPECT_EQ(Fields(), (Strings{"ALPHA", "162", "SNMP v1", "UTC"}));
  EXPECT_TRUE(panel->Changed());
  EXPECT_EQ(host->markChanged, 1);
}

TEST_F(SnmpTest, SeveralSelectedRowsDisableTheFields) {
  Load(Stored({{"alpha", 162}, {"beta", 200}, {"gamma", 300}}));
  user.SelectRows(panel->stl(), {0, 2});
  EXPECT_FALSE(panel->txtHost().Enabled() || panel->txtPort().Enabled() || panel->cboVersion().Enabled() ||
               panel->cboTimeFormat().Enabled());
  EXPECT_EQ(Fields(), (Strings{"", "", "", ""}));
  EXPECT_FALSE(panel->cmdApply().Enabled());
  EXPECT_TRUE(panel->cmdDelete().Enabled());
  EXPECT_EQ(panel->EditMode(), EditMode::AddNew);

  user.SelectRows(panel->stl(), {});
  EXPECT_TRUE(FieldsEnabled());
  EXPECT_EQ(Fields(), (Strings{"", "", "SNMP v2c", "UTC"}));
  EXPECT_FALSE(panel->cmdDelete().Enabled());
  EXPECT_EQ(host->markChanged, 0);
}

TEST_F(SnmpTest, DeleteAsksAboutTheSelectedManagers) {
  Load(Stored({{"alpha", 162}, {"beta", 200}, {"gamma", 300}}));
  user.ClickRow(panel->stl(), 1);
  Retype(panel->txtHost(), "edited");  // the question names the row, not the field
  Messages().Expect("Do you really want to delete this SNMP Manager (beta)?", kYesNo, "Delete SNMP Manager",
                    msgbox::AnswerNo);
  user.Click(panel->cmdDelete());
  EXPECT_TRUE(panel->stl().HasFocus());
  EXPECT_EQ(panel->stl().RowCount(), 3);
  EXPECT_EQ(host->markChanged, 0);

  Messages().Expect("Do you really want to delete this SNMP Manager (beta)?", kYesNo, "Delete SNMP Manager",
                    msgbox::AnswerYes);
  user.Click(panel->cmdDelete());
  ASSERT_EQ(panel->stl().RowCount(), 2);
  EXPECT_EQ(Row(1)[0], "gamma");
  EXPECT_EQ(panel->stl().SelectedRows(), std::vector<int>{0});
  EXPECT_EQ(Fields(), (Strings{"alpha", "162", "SNMP v1", "UNIX"}));
  EXPECT_EQ(panel->EditMode(), EditMode::EditSelected);
  EXPECT_EQ(host->markChanged, 1);

  // The Delete key works on the list (the panel previews key releases)...
  user.SelectRows(panel->stl(), {0, 1});
  Messages().Expect("Do you really want to delete these 2 SNMP Managers?", kYesNo, "Delete SNMP Manager",
                    msgbox::AnswerYes);
  user.PressKey(ui::keys::Delete);
  EXPECT_EQ(panel->stl().RowCount(), 0);
  EXPECT_EQ(Fields(), (Strings{"", "", "SNMP v2c", "UTC"}));
  EXPECT_FALSE(panel->cmdDelete().Enabled());
  EXPECT_EQ(host->markChanged, 2);
}

TEST_F(SnmpTest, DeleteKeyInAFieldAndThePopupMenu) {
  Load(Stored({{"alpha", 162}, {"beta", 200}}));
  user.Focus(panel->txtHost());
  user.PressKey(ui::keys::Home);
  user.PressKey(ui::keys::Delete);
  EXPECT_EQ(panel->txtHost().Text(), "lpha");
  EXPECT_EQ(panel->stl().RowCount(), 2);

  user.Click(panel->cmdNew());
  user.ContextMenu(panel->stl());
  EXPECT_EQ(panel->OpenPopupMenu(), nullptr);
  user.ContextMenu(panel->stl(), 1);
  ASSERT_EQ(panel->OpenPopupMenu(), &panel->mnuPopup());
  Messages().Expect("Do you really want to delete this SNMP Manager (beta)?", kYesNo, "Delete SNMP Manager",
                    msgbox::AnswerYes);
  EXPECT_TRUE(user.ChooseMenuItem("Delete"));
  ASSERT_EQ(panel->stl().RowCount(), 1);
  EXPECT_EQ(Row(0)[0], "alpha");
}

TEST_F(SnmpTest, HostPortExistsAnswersForAnyPortText) {
  auto def = Stored({{"alpha", 162}});
  Load(def);
  const auto alpha = def->SnmpManagers()->Manager(1);
  panel->txtHost().SetText(" ALPHA ");
  for (const char* port : {"162", " 162 "}) {
    panel->txtPort().SetText(port);
    EXPECT_TRUE(panel->HostPortExists()) << port;
    EXPECT_FALSE(panel->HostPortExists(alpha)) << port;
  }
  for (const char* port : {"abc", "", "1.5", "99999999999", "163"}) {
    panel->txtPort().SetText(port);
    EXPECT_FALSE(panel->HostPortExists()) << port;
  }
}

}  // namespace
}  // namespace snmp_test
