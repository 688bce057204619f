#include "tests/snmp/snmp_fixture.h"
#include "tests/support/layout_box.h"

namespace snmp_test {
namespace {

using quillmont::testing::Box;
using quillmont::testing::BoxOf;

TEST_F(SnmpTest, DesignedControls) {
  struct Design {
    const char* name;
    std::string caption;
    Box box;
    int tab;
    int help;
  };
  const Design designs[] = {
      {"fraSNMP", "SNMP Managers ", {0, 0, 6615, 5175}, 0, 0},
      {"lblHost", "SNMP &Host:", {240, 3045, 1100, 255}, 1, 0},
      {"txtHost", "", {1440, 3000, 3495, 315}, 2, 350110},
      {"lblPort", "SNMP &Port:", {240, 3525, 1095, 255}, 3, 0},
      {"txtPort", "", {1440, 3480, 3495, 315}, 4, 350110},
      {"lblVersion", "SNMP &Version:", {240, 3960, 1095, 255}, 5, 0},
      {"cboVersion", "", {1440, 3960, 3495, 315}, 6, 0},
      {"lblTimeFormat", "&Time Format:", {240, 4410, 1095, 255}, 7, 0},
      {"cboTimeFormat", "", {1440, 4440, 3495, 315}, 8, 0},
      {"cmdNew", "&New", {5160, 2880, 975, 375}, 9, 350110},
      {"cmdDelete", "&Delete", {5160, 3360, 975, 375}, 10, 350110},
      {"cmdApply", "&Apply", {5160, 3840, 975, 375}, 11, 350110},
      {"stl", "", {240, 480, 6135, 2175}, 12, 0},
  };
  for (const Design& d : designs) {
    const ui::Control* c = panel->Find(d.name);
    ASSERT_NE(c, nullptr) << d.name;
    EXPECT_EQ(c->Parent(), d.tab == 0 ? static_cast<ui::Container*>(panel.get()) : &panel->fraSNMP()) << d.name;
    EXPECT_EQ(c->Caption(), d.caption) << d.name;
    EXPECT_EQ(BoxOf(*c), d.box) << d.name;
    EXPECT_EQ(c->TabIndex(), d.tab) << d.name;
    EXPECT_EQ(c->HelpContextID(), d.help) << d.name;
    if (auto* label = dynamic_cast<const ui::Label*>(c)) {
      EXPECT_EQ(label->TextAlignment(), ui::Alignment::Right) << d.name;
    }
  }
  EXPECT_EQ(panel->Width(), 6720);
  EXPECT_EQ(panel->Height(), 4980);
  EXPECT_EQ(panel->txtHost().MaxLength(), 128u);
  EXPECT_EQ(panel->txtPort().MaxLength(), 22u);
  EXPECT_TRUE(panel->stl().MultiSelect());
  EXPECT_TRUE(panel->KeyPreview());

  // Access keys: a label's goes to its field, a button's presses it.
  panel->LoadData(Variant(Fresh()), "SNMP", host);
  const std::pair<char, ui::Control*> fields[] = {
      {'H', &panel->txtHost()}, {'P', &panel->txtPort()}, {'V', &panel->cboVersion()}, {'T', &panel->cboTimeFormat()}};
  for (const auto& [letter, field] : fields) {
    EXPECT_TRUE(user.AccessKey(letter));
    EXPECT_TRUE(field->HasFocus()) << letter;
  }
  EXPECT_FALSE(user.AccessKey('D'));  // nothing selected: Delete is disabled
  EXPECT_TRUE(user.AccessKey('N'));
  EXPECT_EQ(host->markChanged, 1);
}

TEST_F(SnmpTest, LayoutAtDesignAndSmallSizes) {
  auto rowBoxes = [&] {
    return std::vector<Box>{BoxOf(panel->lblHost()),       BoxOf(panel->txtHost()),      BoxOf(panel->lblPort()),
                            BoxOf(panel->txtPort()),       BoxOf(panel->lblVersion()),   BoxOf(panel->cboVersion()),
                            BoxOf(panel->lblTimeFormat()), BoxOf(panel->cboTimeFormat())};
  };
  user.Resize(8000, 6000);
  user.Resize(6720, 4980);
  EXPECT_EQ(BoxOf(panel->fraSNMP()), (Box{0, 0, 6720, 4980}));
  EXPECT_EQ(rowBoxes(), (std::vector<Box>{{120, 3270, 1100, 255},
                                          {1340, 3240, 3805, 315},
                                          {120, 3705, 1100, 255},
                                          {1340, 3675, 3805, 315},
                                          {120, 4140, 1100, 255},
                                          {1340, 4110, 3805, 315},
                                          {120, 4575, 1100, 255},
                                          {1340, 4545, 3805, 315}}));
  EXPECT_EQ(BoxOf(panel->stl()), (Box{120, 360, 6480, 2760}));
  EXPECT_EQ(BoxOf(panel->cmdNew()), (Box{5385, 3240, 1215, 375}));
  EXPECT_EQ(BoxOf(panel->cmdDelete()), (Box{5385, 3735, 1215, 375}));
  EXPECT_EQ(BoxOf(panel->cmdApply()), (Box{5385, 4230, 1215, 375}));
  const auto designRows = rowBoxes();
  panel->LayoutControls();
  EXPECT_EQ(rowBoxes(), designRows);

  // Too low: arranged as for 2220 and cut off; the list gets no height.
  for (float low : {2220.0F, 1000.0F}) {
    user.Resize(6720, low);
    EXPECT_EQ(BoxOf(panel->fraSNMP()), (Box{0, 0, 6720, 2220}));
    EXPECT_EQ(BoxOf(panel->txtHost()), (Box{1340, 480, 3805, 315}));
    EXPECT_EQ(BoxOf(panel->stl()), (Box{120, 360, 6480, 0}));
    EXPECT_EQ(BoxOf(panel->cmdApply()), (Box{5385, 1470, 1215, 375}));
  }

  // Too narrow for the fields: they stay as they were, the rest moves on.
  user.Resize(6720, 4980);
  user.Resize(2000, 4980);
  EXPECT_EQ(rowBoxes()[1], designRows[1]);
  EXPECT_EQ(rowBoxes()[7], designRows[7]);
  EXPECT_EQ(rowBoxes()[0], designRows[0]);
  EXPECT_EQ(BoxOf(panel->stl()), (Box{120, 360, 1760, 2760}));
  EXPECT_EQ(BoxOf(panel->cmdNew()), (Box{665, 3240, 1215, 375}));
  user.Resize(200, 4980);
  EXPECT_EQ(BoxOf(panel->stl()), (Box{120, 360, 1760, 2760}));
  EXPECT_EQ(BoxOf(panel->fraSNMP()), (Box{0, 0, 200, 4980}));
  EXPECT_EQ(BoxOf(panel->cmdApply()), (Box{-1135, 4230, 1215, 375}));
}

}  // namespace
}  // namespace snmp_test
