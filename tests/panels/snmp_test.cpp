// The SNMP panel's own rules: the entry checks with their messages, host and
// port uniqueness, and the two choice lists.
#include "quillmont/snmp_panel/x_event_snmp_tab.h"
#include "tests/support/panel_fixture.h"

namespace quillmont::testing {
namespace {

using Strings = std::vector<std::string>;
constexpr int kStop = msgbox::Critical;
constexpr const char* kDuplicate = "This Host/Port already exists in the list.";

class SnmpPanel : public PanelTest<XEventSNMPTab> {
 protected:
  void Load(const std::shared_ptr<NotificationDefinition>& def) { panel->LoadData(Variant(def), "SNMP", host); }
  Strings Fields() const {
    return {panel->txtHost().Text(), panel->txtPort().Text(), panel->cboVersion().Text(),
            panel->cboTimeFormat().Text()};
  }
};

TEST_F(SnmpPanel, EachEntryCheckStopsWithItsMessageInOrder) {
  struct Case {
    const char* host;
    const char* port;
    const char* message;  // null: accepted, shown with this port
    const char* shownPort;
  };
  const Case cases[] = {
      {" ", "162", "A Host name must be entered.", nullptr},
      {"h", " ", "A Port number must be entered.", nullptr},
      {"h", "0", "Port number must be an integer between 1 and 65535.", nullptr},
      {"h", "65536", "Port number must be an integer between 1 and 65535.", nullptr},
      {"h", "abc", "Port number must be an integer between 1 and 65535.", nullptr},
      {"h1", "1", nullptr, "1"},
      {"h2", "65535", nullptr, "65535"},
      {"h3", " 162 ", nullptr, "162"},
      {"h4", "0162", nullptr, "162"},
  };
  Load(NewDefinition());
  int rows = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.host) + ":" + c.port);
    Retype(panel->txtHost(), c.host);
    Retype(panel->txtPort(), c.port);
    if (c.message) Messages().Expect(c.message, kStop, "");
    user.Click(panel->cmdApply());
    Messages().Verify();
    EXPECT_EQ(panel->HasUnappliedEntry(), c.message != nullptr);  // what a closing page would offer to apply
    if (c.message) {
      EXPECT_TRUE(
          (std::string(c.message).find("Host") != std::string::npos ? panel->txtHost() : panel->txtPort()).HasFocus());
      EXPECT_EQ(Fields()[1], c.port);  // the failed check left the fields as they were
      EXPECT_EQ(panel->stl().RowCount(), rows);
    } else {
      ASSERT_EQ(panel->stl().RowCount(), ++rows);
      EXPECT_EQ(panel->stl().RowCells(rows - 1), (Strings{c.host, c.shownPort, "SNMP v2c", "UTC"}));
    }
  }
  EXPECT_EQ(host->markChanged, rows);
}

TEST_F(SnmpPanel, HostAndPortAreUniqueIgnoringCaseExceptForTheRowItself) {
  auto def = StoredDefinition({"alpha:162", "beta:200"});
  Load(def);
  const auto beta = def->SnmpManagers()->Manager(2);
  user.ClickRow(panel->stl(), 1);
  EXPECT_EQ(Fields(), (Strings{"beta", "200", "SNMP v1", "UNIX"}));
  // Escape brings back what the field showed (the panel holds the extension).
  user.TypeInto(panel->txtHost(), "zz");
  user.PressKey(ui::keys::Escape);
  EXPECT_EQ(std::pair(panel->txtHost().Text(), panel->HasUnappliedEntry()), std::pair(std::string("beta"), false));
  user.Choose(panel->cboTimeFormat(), "UTC");
  user.Click(panel->cmdApply());
  EXPECT_EQ(beta->TimeFormat(), "UTC");
  EXPECT_EQ(panel->stl().RowCells(1), (Strings{"beta", "200", "SNMP v1", "UTC"}));
  EXPECT_TRUE(panel->stl().HasFocus());
  EXPECT_FALSE(panel->Changed());
  EXPECT_EQ(host->markChanged, 1);

  Retype(panel->txtHost(), " ALPHA ");
  Retype(panel->txtPort(), "162");
  Messages().Expect(kDuplicate, kStop, "Add SNMP Manager");
  user.PressKey(ui::keys::Return);
  Messages().Verify();
  EXPECT_EQ(beta->Host(), "beta");
  EXPECT_TRUE(panel->Changed() && panel->HasUnappliedEntry());
  EXPECT_EQ(host->markChanged, 1);
  for (const char* port : {"162", " 162 "}) {
    panel->txtPort().SetText(port);
    EXPECT_TRUE(panel->HostPortExists()) << port;
    EXPECT_FALSE(panel->HostPortExists(def->SnmpManagers()->Manager(1))) << port;
  }
  for (const char* port : {"abc", "", "1.5", "99999999999", "163"}) {
    panel->txtPort().SetText(port);
    EXPECT_FALSE(panel->HostPortExists()) << port;
  }

  // The same host on another port is another manager.
  Retype(panel->txtPort(), "163");
  user.Click(panel->cmdApply());
  EXPECT_EQ(beta->Host(), "ALPHA");
  EXPECT_EQ(beta->Port(), 163);
}

TEST_F(SnmpPanel, ChoiceListsAndDefinitionsWithoutManagers) {
  std::string columns;  // as the host shows them
  for (const auto& c : panel->stl().ViewColumns())
    columns += std::to_string(c.id) + " " + c.caption + " " + std::to_string(c.width) + (c.visible ? ";" : " hidden;");
  EXPECT_EQ(columns, "256 Host 2000.000000;512 Port 1000.000000;768 Version 1000.000000;1024 Time Format 1200.000000;");
  auto noSnmp = StoredDefinition({"alpha:162"});
  noSnmp->SetHasSnmp(false);
  auto noList = StoredDefinition({});
  noList->SetSnmpManagers(nullptr);
  for (const auto& def : {noSnmp, StoredDefinition({"a:1"})}) {
    Load(def);
    ASSERT_EQ(std::pair(panel->cboVersion().ListCount(), panel->cboTimeFormat().ListCount()), std::pair(2, 2));
    EXPECT_EQ((Strings{panel->cboVersion().List(0), panel->cboVersion().List(1), panel->cboTimeFormat().List(0),
                       panel->cboTimeFormat().List(1)}),
              (Strings{"SNMP v1", "SNMP v2c", "UNIX", "UTC"}));
  }
  for (const auto& def : {noSnmp, noList, StoredDefinition({})}) {
    auto fresh = XEventSNMPTab::Create();
    fresh->LoadData(Variant(def), "SNMP", nullptr);
    EXPECT_EQ(std::tuple(fresh->stl().RowCount(), fresh->txtHost().Text() + fresh->txtPort().Text(),
                         fresh->cboVersion().ListIndex(), fresh->cboTimeFormat().ListIndex(), fresh->EditMode()),
              std::tuple(0, "", -1, -1, EditMode::AddNew));
  }
  // Access keys: a label's goes to its field, a button's presses it.
  Load(NewDefinition());
  EXPECT_EQ(Fields(), (Strings{"", "", "SNMP v2c", "UTC"}));
  const std::pair<char, ui::Control*> fields[] = {
      {'H', &panel->txtHost()}, {'P', &panel->txtPort()}, {'V', &panel->cboVersion()}, {'T', &panel->cboTimeFormat()}};
  for (const auto& [letter, field] : fields) {
    EXPECT_TRUE(user.AccessKey(letter));
    EXPECT_TRUE(field->HasFocus()) << letter;
  }
  EXPECT_TRUE(panel->IsTabValid("Title"));  // managers are checked on Apply only
  EXPECT_EQ(host->markChanged, 0);
}

}  // namespace
}  // namespace quillmont::testing
