// Each panel's designed controls and how they follow its size. The tables
// hold the figures; one helper compares them.
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"
#include "tests/support/layout_box.h"
#include "tests/support/panel_fixture.h"

namespace quillmont::testing {
namespace {

struct Designed {
  const char* name;
  const char* caption;
  Box box;
  int tab;
  int help;
  const char* parent;
};

void ExpectDesigned(const ui::Container& panel, const std::vector<Designed>& table) {
  for (const auto& d : table) {
    SCOPED_TRACE(d.name);
    const ui::Control* c = panel.Find(d.name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Caption(), d.caption);
    EXPECT_EQ(BoxOf(*c), d.box);
    EXPECT_EQ(c->TabIndex(), d.tab);
    EXPECT_EQ(c->HelpContextID(), d.help);
    ASSERT_NE(c->Parent(), nullptr);
    EXPECT_EQ(c->Parent()->Name(), d.parent);
  }
}

using SnmpLayout = PanelTest<XEventSNMPTab>;
using EmailLayout = PanelTest<XEventEmailTab>;
using EventsLayout = PanelTest<XEventsTab>;

TEST_F(SnmpLayout, DesignedControlsAndTheirPlacesAtEachSize) {
  const char* p = "XEventSNMPTab";
  const char* f = "fraSNMP";
  ExpectDesigned(*panel, {{"fraSNMP", "SNMP Managers ", {0, 0, 6615, 5175}, 0, 0, p},
                          {"lblHost", "SNMP &Host:", {240, 3045, 1100, 255}, 1, 0, f},
                          {"txtHost", "", {1440, 3000, 3495, 315}, 2, 350110, f},
                          {"lblPort", "SNMP &Port:", {240, 3525, 1095, 255}, 3, 0, f},
                          {"txtPort", "", {1440, 3480, 3495, 315}, 4, 350110, f},
                          {"lblVersion", "SNMP &Version:", {240, 3960, 1095, 255}, 5, 0, f},
                          {"cboVersion", "", {1440, 3960, 3495, 315}, 6, 0, f},
                          {"lblTimeFormat", "&Time Format:", {240, 4410, 1095, 255}, 7, 0, f},
                          {"cboTimeFormat", "", {1440, 4440, 3495, 315}, 8, 0, f},
                          {"cmdNew", "&New", {5160, 2880, 975, 375}, 9, 350110, f},
                          {"cmdDelete", "&Delete", {5160, 3360, 975, 375}, 10, 350110, f},
                          {"cmdApply", "&Apply", {5160, 3840, 975, 375}, 11, 350110, f},
                          {"stl", "", {240, 480, 6135, 2175}, 12, 0, f}});
  EXPECT_EQ(BoxOf(*panel), (Box{0, 0, 6720, 4980}));
  EXPECT_EQ(panel->lblHost().TextAlignment(), ui::Alignment::Right);
  EXPECT_EQ(panel->txtHost().MaxLength(), 128u);
  EXPECT_EQ(panel->txtPort().MaxLength(), 22u);
  EXPECT_TRUE(panel->stl().MultiSelect());
  EXPECT_TRUE(panel->KeyPreview());

  user.Resize(8000, 6000);
  user.Resize(6720, 4980);
  const std::vector<Placed> design = {{"fraSNMP", {0, 0, 6720, 4980}},
                                      {"lblHost", {120, 3270, 1100, 255}},
                                      {"txtHost", {1340, 3240, 3805, 315}},
                                      {"lblPort", {120, 3705, 1100, 255}},
                                      {"txtPort", {1340, 3675, 3805, 315}},
                                      {"lblVersion", {120, 4140, 1100, 255}},
                                      {"cboVersion", {1340, 4110, 3805, 315}},
                                      {"lblTimeFormat", {120, 4575, 1100, 255}},
                                      {"cboTimeFormat", {1340, 4545, 3805, 315}},
                                      {"stl", {120, 360, 6480, 2760}},
                                      {"cmdNew", {5385, 3240, 1215, 375}},
                                      {"cmdDelete", {5385, 3735, 1215, 375}},
                                      {"cmdApply", {5385, 4230, 1215, 375}}};
  ExpectBoxes(*panel, design);
  panel->LayoutControls();
  ExpectBoxes(*panel, design);

  // Too low: arranged as for 2220 and cut off; the list gets no height.
  for (float low : {2220.0F, 1000.0F}) {
    user.Resize(6720, low);
    ExpectBoxes(*panel, {{"fraSNMP", {0, 0, 6720, 2220}},
                         {"txtHost", {1340, 480, 3805, 315}},
                         {"stl", {120, 360, 6480, 0}},
                         {"cmdApply", {5385, 1470, 1215, 375}}});
  }
  // Too narrow for the fields: they stay as they were, the rest moves on.
  user.Resize(6720, 4980);
  user.Resize(2000, 4980);
  ExpectBoxes(*panel, {{"txtHost", {1340, 3240, 3805, 315}},
                       {"cboTimeFormat", {1340, 4545, 3805, 315}},
                       {"lblHost", {120, 3270, 1100, 255}},
                       {"stl", {120, 360, 1760, 2760}},
                       {"cmdNew", {665, 3240, 1215, 375}}});
  user.Resize(200, 4980);
  ExpectBoxes(
      *panel,
      {{"stl", {120, 360, 1760, 2760}}, {"fraSNMP", {0, 0, 200, 4980}}, {"cmdApply", {-1135, 4230, 1215, 375}}});
}

TEST_F(EmailLayout, DesignedControlsAndTheirPlacesAtEachSize) {
  const char* p = "XEventEmailTab";
  const char* f = "fraRecipients";
  ExpectDesigned(*panel, {{"lblSubject", "&Subject: ", {0, 4560, 735, 255}, 0, 0, p},
                          {"txtSubject", "", {960, 4560, 3855, 315}, 1, 350110, p},
                          {"cmdResetSubject", "&Reset", {5040, 4560, 975, 375}, 2, 350110, p},
                          {"lblMessage", "&Message:", {0, 5040, 735, 255}, 3, 0, p},
                          {"txtMessage", "", {960, 5040, 3855, 1215}, 4, 350110, p},
                          {"cmdResetMessage", "Rese&t", {5040, 5040, 975, 375}, 5, 350110, p},
                          {"stl", "", {240, 360, 5775, 2415}, 6, 0, f},
                          {"lblAddress", "&E-Mail Address:", {120, 3040, 1095, 255}, 7, 0, f},
                          {"txtAddress", "", {1320, 3000, 3495, 315}, 8, 350110, f},
                          {"cmdNew", "&New", {5040, 2880, 975, 375}, 9, 350110, f},
                          {"cmdDelete", "&Delete", {5040, 3360, 975, 375}, 10, 350110, f},
                          {"cmdApply", "&Apply", {5040, 3840, 975, 375}, 11, 350110, f},
                          {"fraRecipients", "Recipients ", {0, 0, 6255, 4335}, 12, 350110, p}});
  EXPECT_EQ(BoxOf(*panel), (Box{0, 0, 6390, 6150}));
  EXPECT_EQ(panel->txtSubject().MaxLength(), 250u);
  EXPECT_TRUE(panel->txtSubject().MultiLine());
  EXPECT_EQ(panel->txtMessage().MaxLength(), 0u);
  EXPECT_EQ(panel->txtMessage().Scroll(), ui::ScrollBars::Both);
  EXPECT_EQ(panel->txtAddress().MaxLength(), 128u);
  EXPECT_FALSE(panel->txtAddress().MultiLine());
  std::vector<std::string> stops;
  for (ui::Control* c : panel->TabOrder()) stops.push_back(c->Name());
  EXPECT_EQ(stops, (std::vector<std::string>{"lblSubject", "txtSubject", "cmdResetSubject", "lblMessage", "txtMessage",
                                             "cmdResetMessage", "fraRecipients", "stl", "lblAddress", "txtAddress",
                                             "cmdNew", "cmdDelete", "cmdApply"}));

  // From the designed places the frame gets 1000 high, less than the list
  // needs below it: the list keeps its height and the address row follows it.
  user.Resize(6000, 3047.5F);
  ExpectBoxes(*panel, {{"fraRecipients", {0, 1927.5F, 6000, 1000}},
                       {"stl", {240, 360, 5775, 2415}},
                       {"lblAddress", {120, 2935, 1095, 255}},
                       {"txtAddress", {1320, 2895, 3105, 315}},
                       {"cmdApply", {4665, 3885, 1215, 375}}});
  user.Resize(7000, 7000);
  user.Resize(6390, 6150);
  ExpectBoxes(*panel, {{"lblSubject", {0, 150, 735, 255}},
                       {"txtSubject", {735, 120, 4080, 315}},
                       {"cmdResetSubject", {5055, 90, 1215, 375}},
                       {"lblMessage", {0, 555, 735, 255}},
                       {"txtMessage", {735, 555, 4080, 1215}},
                       {"cmdResetMessage", {5055, 555, 1215, 375}},
                       {"fraRecipients", {0, 1927.5F, 6390, 4102.5F}},
                       {"stl", {120, 360, 6150, 2137.5F}},
                       {"lblAddress", {120, 2657.5F, 1095, 255}},
                       {"txtAddress", {1320, 2617.5F, 3495, 315}},
                       {"cmdNew", {5055, 2617.5F, 1215, 375}},
                       {"cmdDelete", {5055, 3112.5F, 1215, 375}},
                       {"cmdApply", {5055, 3607.5F, 1215, 375}}});
  // Larger: the frame and list grow both ways, the boxes only widen.
  user.Resize(8000, 9000);
  ExpectBoxes(*panel, {{"txtSubject", {735, 120, 5690, 315}},
                       {"txtMessage", {735, 555, 5690, 1215}},
                       {"fraRecipients", {0, 1927.5F, 8000, 6952.5F}},
                       {"stl", {120, 360, 7760, 4987.5F}},
                       {"txtAddress", {1320, 5467.5F, 5105, 315}},
                       {"cmdApply", {6665, 6457.5F, 1215, 375}}});
  // Too low for any frame: frame, list and address row stay.
  user.Resize(6390, 6150);
  user.Resize(5000, 2000);
  ExpectBoxes(*panel, {{"txtSubject", {735, 120, 2690, 315}},
                       {"cmdResetMessage", {3665, 555, 1215, 375}},
                       {"fraRecipients", {0, 1927.5F, 6390, 4102.5F}},
                       {"cmdApply", {5055, 3607.5F, 1215, 375}}});
  // Narrower than 2310: the text boxes keep their width, buttons still move.
  user.Resize(2000, 6150);
  ExpectBoxes(*panel, {{"txtSubject", {735, 120, 2690, 315}},
                       {"cmdResetSubject", {665, 90, 1215, 375}},
                       {"stl", {120, 360, 1760, 2137.5F}},
                       {"txtAddress", {1320, 2617.5F, 3495, 315}},
                       {"cmdNew", {665, 2617.5F, 1215, 375}}});
  EXPECT_NO_THROW(user.Resize(0, 0));
  ExpectBoxes(*panel, {{"cmdResetSubject", {-1335, 90, 1215, 375}}});
}

TEST_F(EventsLayout, DesignedControlsAndTheirPlacesAtEachSize) {
  const char* p = "XEventsTab";
  const char* f = "fraEvents";
  ExpectDesigned(*panel, {{"fraEvents", "Events ", {0, 0, 4815, 3735}, 3, 350105, p},
                          {"lblEvent", "&Group Filter: ", {120, 270, 855, 255}, 0, 0, f},
                          {"cboGroupEvents", "", {1080, 240, 3375, 315}, 1, 350105, f},
                          {"xEvents", "", {120, 720, 4800, 2655}, 2, 350105, f}});
  EXPECT_EQ(BoxOf(*panel), (Box{0, 0, 5685, 4710}));
  EXPECT_TRUE(panel->xEvents().FilterEnabled());
  EXPECT_EQ(panel->xEvents().FilterColumnIndex(), 1);

  panel->UserControl_Resize();  // at the design size
  ExpectBoxes(*panel, {{"fraEvents", {0, 0, 5685, 4710}},
                       {"lblEvent", {120, 390, 855, 255}},
                       {"cboGroupEvents", {1095, 360, 1427.5F, 315}},
                       {"xEvents", {120, 832.5F, 5445, 3757.5F}}});
  // Twice the size: the filter grows with half the frame, the selector with all of it.
  user.Resize(11370, 9420);
  ExpectBoxes(*panel, {{"lblEvent", {120, 390, 855, 255}},
                       {"cboGroupEvents", {1095, 360, 4270, 315}},
                       {"xEvents", {120, 832.5F, 11130, 8467.5F}}});
  // Half the frame (1400) is less than the filter's left edge + 320: it stays.
  user.Resize(2800, 4710);
  ExpectBoxes(*panel, {{"cboGroupEvents", {1095, 360, 4270, 315}}, {"xEvents", {120, 832.5F, 2560, 3757.5F}}});
  user.Resize(2830, 4710);  // exactly at the edge the filter list is 0 wide
  ExpectBoxes(*panel, {{"cboGroupEvents", {1095, 360, 0, 315}}});
  // Lower than 952.5: the selector keeps its place and size.
  user.Resize(5685, 900);
  ExpectBoxes(*panel, {{"fraEvents", {0, 0, 5685, 900}}, {"xEvents", {120, 832.5F, 2590, 3757.5F}}});
  user.Resize(5685, 952.5F);
  ExpectBoxes(*panel, {{"xEvents", {120, 832.5F, 5445, 0}}});
  user.Resize(0, 0);
  ExpectBoxes(*panel, {{"fraEvents", {0, 0, 0, 0}}, {"lblEvent", {120, 390, 855, 255}}});
}

}  // namespace
}  // namespace quillmont::testing
