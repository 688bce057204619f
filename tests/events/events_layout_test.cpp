#include <gtest/gtest.h>

#include "tests/events/events_fixture.h"
#include "tests/support/layout_box.h"

namespace quillmont::testing {
namespace {

void ExpectDesigned(const ui::Control& c, const char* name, const ui::Control* parent, Box box, int tab, int help) {
  SCOPED_TRACE(name);
  EXPECT_EQ(c.Name(), name);
  EXPECT_EQ(c.Parent(), parent);
  EXPECT_EQ(BoxOf(c), box);
  EXPECT_EQ(c.TabIndex(), tab);
  EXPECT_EQ(c.HelpContextID(), help);
}

TEST_F(EventsTabTest, DesignedControls) {
  EXPECT_EQ(BoxOf(*panel), (Box{0, 0, 5685, 4710}));
  auto& frame = panel->fraEvents();
  ExpectDesigned(frame, "fraEvents", panel.get(), {0, 0, 4815, 3735}, 3, 350105);
  ExpectDesigned(panel->lblEvent(), "lblEvent", &frame, {120, 270, 855, 255}, 0, 0);
  ExpectDesigned(panel->cboGroupEvents(), "cboGroupEvents", &frame, {1080, 240, 3375, 315}, 1, 350105);
  ExpectDesigned(panel->xEvents(), "xEvents", &frame, {120, 720, 4800, 2655}, 2, 350105);
  EXPECT_EQ(frame.Caption(), "Events ");
  EXPECT_EQ(panel->lblEvent().Caption(), "&Group Filter: ");
  EXPECT_TRUE(panel->xEvents().FilterEnabled());
  EXPECT_EQ(panel->xEvents().FilterColumnIndex(), 1);
  EXPECT_EQ(panel->xEvents().ColumnCount(), 0);  // nothing until loaded
  EXPECT_EQ(panel->cboGroupEvents().ListCount(), 0);

  // Alt+G leads to the filter list, Tab from there into the selector.
  EXPECT_TRUE(driver.AccessKey('g'));
  EXPECT_TRUE(panel->cboGroupEvents().HasFocus());
  driver.Tab();
  EXPECT_TRUE(FocusInSelector());
}

TEST_F(EventsTabTest, ResizeArrangesFrameFilterRowAndSelector) {
  panel->UserControl_Resize();  // at the design size
  EXPECT_EQ(BoxOf(panel->fraEvents()), (Box{0, 0, 5685, 4710}));
  EXPECT_EQ(BoxOf(panel->lblEvent()), (Box{120, 390, 855, 255}));
  EXPECT_EQ(BoxOf(panel->cboGroupEvents()), (Box{1095, 360, 1427.5F, 315}));
  EXPECT_EQ(BoxOf(panel->xEvents()), (Box{120, 832.5F, 5445, 3757.5F}));

  // Twice the size: the filter grows with half the frame, the selector with all of it.
  driver.Resize(11370, 9420);
  EXPECT_EQ(BoxOf(panel->fraEvents()), (Box{0, 0, 11370, 9420}));
  EXPECT_EQ(BoxOf(panel->lblEvent()), (Box{120, 390, 855, 255}));
  EXPECT_EQ(BoxOf(panel->cboGroupEvents()), (Box{1095, 360, 4270, 315}));
  EXPECT_EQ(BoxOf(panel->xEvents()), (Box{120, 832.5F, 11130, 8467.5F}));

  // Back to the design size through the host.
  driver.Resize(5685, 4710);
  EXPECT_EQ(BoxOf(panel->cboGroupEvents()), (Box{1095, 360, 1427.5F, 315}));
  EXPECT_EQ(BoxOf(panel->xEvents()), (Box{120, 832.5F, 5445, 3757.5F}));
}

TEST_F(EventsTabTest, ResizeTooSmallLeavesTheRefusedControlAndGoesOn) {
  driver.Resize(5685, 4710 + 1);
  driver.Resize(5685, 4710);

  // Half the frame (1400) is less than the filter's left edge + 320 (1415).
  driver.Resize(2800, 4710);
  EXPECT_EQ(BoxOf(panel->fraEvents()), (Box{0, 0, 2800, 4710}));
  EXPECT_EQ(BoxOf(panel->cboGroupEvents()), (Box{1095, 360, 1427.5F, 315}));
  EXPECT_EQ(BoxOf(panel->xEvents()), (Box{120, 832.5F, 2560, 3757.5F}));

  // Exactly at the edge the filter list is 0 wide, which is allowed.
  driver.Resize(2830, 4710);
  EXPECT_EQ(BoxOf(panel->cboGroupEvents()), (Box{1095, 360, 0, 315}));

  // Lower than 952.5: the selector keeps its place and size.
  driver.Resize(5685, 900);
  EXPECT_EQ(BoxOf(panel->fraEvents()), (Box{0, 0, 5685, 900}));
  EXPECT_EQ(BoxOf(panel->cboGroupEvents()), (Box{1095, 360, 1427.5F, 315}));
  EXPECT_EQ(BoxOf(panel->xEvents()), (Box{120, 832.5F, 2590, 3757.5F}));  // as the 2830 wide panel left it
  driver.Resize(5685, 952.5F);
  EXPECT_EQ(BoxOf(panel->xEvents()), (Box{120, 832.5F, 5445, 0}));

  // Nothing left: the frame shrinks, the others stay; the filter row never moves.
  driver.Resize(0, 0);
  EXPECT_EQ(BoxOf(panel->fraEvents()), (Box{0, 0, 0, 0}));
  EXPECT_EQ(BoxOf(panel->lblEvent()), (Box{120, 390, 855, 255}));
  EXPECT_EQ(BoxOf(panel->cboGroupEvents()), (Box{1095, 360, 1427.5F, 315}));
  EXPECT_EQ(BoxOf(panel->xEvents()), (Box{120, 832.5F, 5445, 0}));

  // And the panel still works at that size.
  Load(library->NewDefinition(7));
  EXPECT_EQ(Available().size(), 7u);
}

}  // namespace
}  // namespace quillmont::testing
