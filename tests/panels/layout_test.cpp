// Each panel's designed controls and how they follow its size. The figures
// are in layout scripts beside this file; one player checks them.
#include <fstream>
#include <functional>
#include <iomanip>
#include <sstream>

#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"
#include "tests/support/layout_box.h"
#include "tests/support/panel_fixture.h"

namespace quillmont::testing {
namespace {

// Plays a layout script (tests/panels/layouts/NAME.txt; its first lines
// explain the commands): every figure the script holds must match.
void PlayLayout(ui::UserControl& panel, ui::Driver& user, const std::string& name,
                const std::function<void()>& layout) {
  std::ifstream in(std::string(QM_LAYOUTS_DIR) + "/" + name + ".txt");
  ASSERT_TRUE(in) << name;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    SCOPED_TRACE(name + ".txt:" + std::to_string(number) + ": " + line);
    std::istringstream words(line);
    std::string command, control, caption, parent;
    Box box{};
    int tab = 0, help = 0;
    words >> command;
    if (command.empty() || command[0] == '#') continue;
    if (command == "resize") {
      float width = 0, height = 0;
      words >> width >> height;
      user.Resize(width, height);
    } else if (command == "layout") {
      layout();
    } else if (command == "panel" && words >> box.left >> box.top >> box.width >> box.height) {
      EXPECT_EQ(BoxOf(panel), box);
    } else if (command == "place" && words >> control >> box.left >> box.top >> box.width >> box.height) {
      ExpectBoxes(panel, {{control.c_str(), box}});
    } else if (command == "designed" && words >> control >> std::quoted(caption) >> box.left >> box.top >> box.width >>
                                            box.height >> tab >> help >> parent) {
      const ui::Control* c = panel.Find(control);
      ASSERT_NE(c, nullptr);
      EXPECT_EQ(c->Caption(), caption);
      EXPECT_EQ(BoxOf(*c), box);
      EXPECT_EQ(c->TabIndex(), tab);
      EXPECT_EQ(c->HelpContextID(), help);
      ASSERT_NE(c->Parent(), nullptr);
      EXPECT_EQ(c->Parent()->Name(), parent);
    } else {
      ADD_FAILURE() << "not a layout command";
    }
  }
}

using SnmpLayout = PanelTest<XEventSNMPTab>;
using EmailLayout = PanelTest<XEventEmailTab>;
using EventsLayout = PanelTest<XEventsTab>;

TEST_F(SnmpLayout, DesignedControlsAndTheirPlacesAtEachSize) {
  PlayLayout(*panel, user, "snmp", [&] { panel->LayoutControls(); });
  EXPECT_EQ(panel->lblHost().TextAlignment(), ui::Alignment::Right);
  EXPECT_EQ(panel->txtHost().MaxLength(), 128u);
  EXPECT_EQ(panel->txtPort().MaxLength(), 22u);
  EXPECT_TRUE(panel->stl().MultiSelect());
  EXPECT_TRUE(panel->KeyPreview());
}

TEST_F(EmailLayout, DesignedControlsAndTheirPlacesAtEachSize) {
  PlayLayout(*panel, user, "email", [&] { panel->LayoutControls(); });
  EXPECT_EQ(panel->txtSubject().MaxLength(), 250u);
  EXPECT_TRUE(panel->txtSubject().MultiLine());
  EXPECT_EQ(panel->txtMessage().MaxLength(), 65536u);  // held while typing, not first at save
  EXPECT_EQ(panel->txtMessage().Scroll(), ui::ScrollBars::Both);
  EXPECT_EQ(panel->txtAddress().MaxLength(), 128u);
  EXPECT_FALSE(panel->txtAddress().MultiLine());
  std::vector<std::string> stops;
  for (ui::Control* c : panel->TabOrder()) stops.push_back(c->Name());
  EXPECT_EQ(stops, (std::vector<std::string>{"lblSubject", "txtSubject", "cmdResetSubject", "lblMessage", "txtMessage",
                                             "cmdResetMessage", "fraRecipients", "stl", "lblAddress", "txtAddress",
                                             "cmdNew", "cmdDelete", "cmdApply"}));
}

TEST_F(EventsLayout, DesignedControlsAndTheirPlacesAtEachSize) {
  PlayLayout(*panel, user, "events", [&] { panel->UserControl_Resize(); });
  EXPECT_TRUE(panel->xEvents().FilterEnabled());
  EXPECT_EQ(panel->xEvents().FilterColumnIndex(), 1);
}

// The visible controls that stick out of their parent or have no size.
void Outside(const ui::Control& parent, std::vector<std::string>& out) {
  const auto* container = dynamic_cast<const ui::Container*>(&parent);
  if (!container) return;
  for (const auto& c : container->Children()) {
    if (!c->Visible()) continue;
    if (c->Left() < 0 || c->Top() < 0 || c->Width() <= 0 || c->Height() <= 0 ||
        c->Left() + c->Width() > parent.Width() || c->Top() + c->Height() > parent.Height())
      out.push_back(c->Name());
    Outside(*c, out);
  }
}

// Every control lies inside its frame at the design size, at the published
// minimum and between them; half the minimum cuts controls off.
template <class Panel>
void FitsDownToItsMinimum() {
  auto panel = Panel::Create();
  auto outside = [&](float width, float height) {
    panel->SetSize(width, height);
    std::vector<std::string> out;
    Outside(*panel, out);
    return out;
  };
  const float w = Panel::kMinimumWidth, h = Panel::kMinimumHeight;
  const float dw = Panel::kDesignWidth, dh = Panel::kDesignHeight;
  for (auto [width, height] : {std::pair{w, h}, {w, dh}, {dw, h}, {(w + dw) / 2, (h + dh) / 2}, {dw, dh}})
    EXPECT_EQ(outside(width, height), std::vector<std::string>{}) << width << " x " << height;
  EXPECT_NE(outside(w / 2, h / 2), std::vector<std::string>{});
}

TEST(Layouts, EachPageFitsDownToItsMinimum) {
  ServiceScope scope;
  FitsDownToItsMinimum<XEventSNMPTab>();
  FitsDownToItsMinimum<XEventEmailTab>();
  FitsDownToItsMinimum<XEventsTab>();
}

}  // namespace
}  // namespace quillmont::testing
