#include <gtest/gtest.h>

#include "tests/events/events_fixture.h"

namespace quillmont::testing {
namespace {

struct Box {
  float left, top, width, height;
  friend bool operator==(const Box&, const Box&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << "{" << b.left << ", " << b.top << ", " << b.width << ", " << b.height << "}";
  }
};

Box BoxOf(const ui::Control& c) { return {c.Left(), c.Top(), c.Width(), c.Height()}; }

TEST_F(EventsTabTest, DesignedControls) {
  EXPECT_EQ(panel->Width(), 5685);
  EXPECT_EQ(panel->Height(), 4710);

  auto& frame = panel->fraEvents();
  EXPECT_EQ(frame.Name(), "fraEvents");
  EXPECT_EQ(frame.Caption(), "Events ");
  EXPECT_EQ(frame.Parent(), panel.get());
  EXPECT_EQ(BoxOf(frame), (Box{0, 0, 4815, 3735}));
  EXPECT_EQ(frame.TabIndex(), 3);
  EXPECT_EQ(frame.HelpContextID(), 350105);

  auto& label = panel->lblEvent();
  EXPECT_EQ(label.Name(), "lblEvent");
  EXPECT_EQ(label.Caption(), "&Group Filter: ");
  EXPECT_EQ(label.AccessKey(), 'G');
  EXPECT_EQ(label.Parent(), &frame);
  EXPECT_EQ(BoxOf(label), (Box{120, 270, 855, 255}));
  EXPECT_EQ(label.TabIndex(), 0);
  EXPECT_EQ(label.HelpContextID(), 0);

  auto& combo = panel->cboGroupEvents();
  EXPECT_EQ(combo.Name(), "cboGroupEvents");
  EXPECT_EQ(combo.Kind(), ui::ControlKind::ComboBox);
  EXPECT_EQ(combo.Parent(), &frame);
  EXPECT_EQ(BoxOf(combo), (Box{1080, 240, 3375, 315}));
  EXPECT_EQ(combo.TabIndex(), 1);
  EXPECT_EQ(combo.HelpContextID(), 350105);
  EXPECT_EQ(combo.ListCount(), 0);  // nothing until loaded

  auto& x = panel->xEvents();
  EXPECT_EQ(x.Name(), "xEvents");
  EXPECT_EQ(x.Parent(), &frame);
  EXPECT_EQ(BoxOf(x), (Box{120, 720, 4800, 2655}));
  EXPECT_EQ(x.TabIndex(), 2);
  EXPECT_EQ(x.HelpContextID(), 350105);
  EXPECT_TRUE(x.FilterEnabled());
  EXPECT_EQ(x.FilterColumnIndex(), 1);
  EXPECT_EQ(x.ColumnCount(), 0);

  // Alt+G leads to the filter list, the next control in tab order.
  EXPECT_TRUE(driver.AccessKey('g'));
  EXPECT_TRUE(combo.HasFocus());
  driver.Tab();
  EXPECT_TRUE(FocusInSelector());
  const auto order = panel->TabOrder();
  ASSERT_GE(order.size(), 4u);
  EXPECT_EQ(order[0], &frame);
  EXPECT_EQ(order[1], &label);
  EXPECT_EQ(order[2], &combo);
  EXPECT_EQ(order[3], &x);
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
