#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/framework/panel_support.h"
#include "quillmont/framework/runtime.h"

namespace quillmont {

using namespace detail;  // the panels' shared helpers
namespace {

constexpr int kHelpContext = 350105;

constexpr float kMargin = 120;
constexpr float kRowHeight = 315;
constexpr float kFilterGap = 200;

}  // namespace

void XEventsTab::CreateControls() {
  fraEvents_ = Add<ui::Frame>("fraEvents", "Events ");
  Place(*fraEvents_, 0, 0, 4815, 3735, 3);
  fraEvents_->SetHelpContextID(kHelpContext);

  lblEvent_ = fraEvents_->Add<ui::Label>("lblEvent", "&Group Filter: ");
  Place(*lblEvent_, 120, 270, 855, 255, 0);

  cboGroupEvents_ = fraEvents_->Add<ui::ComboBox>("cboGroupEvents");
  Place(*cboGroupEvents_, 1080, 240, 3375, 315, 1);
  cboGroupEvents_->SetHelpContextID(kHelpContext);

  xEvents_ = GetControlLibrary()->NewSelector("xEvents");
  fraEvents_->AddChild(xEvents_);
  Place(*xEvents_, 120, 720, 4800, 2655, 2);
  xEvents_->SetHelpContextID(kHelpContext);
  xEvents_->SetFilterEnabled(true);
  xEvents_->SetFilterColumnIndex(1);

  // The design size, without arranging: the host's first size change does.
  Move(0, 0, kDesignWidth, kDesignHeight);
}

// The frame fills the panel, the filter row keeps its place at the top with
// the list reaching to 320 before the frame's middle, and the selector takes
// the rest. A step the window system refuses leaves that control as it was.
void XEventsTab::UserControl_Resize() {
  const float sw = Width();
  const float sh = Height();

  LayoutStep([&] { fraEvents_->Move(0, 0, sw, sh); });

  float y = 3 * kMargin + kRowHeight / 2;
  LayoutStep([&] { lblEvent_->Move(kMargin, y - lblEvent_->Height() / 2); });

  const float filterLeft = 2 * kMargin + lblEvent_->Width();
  const float filterWidth = fraEvents_->Width() / 2 - (filterLeft + kMargin + kFilterGap);
  LayoutStep([&] {
    cboGroupEvents_->Move(filterLeft, y - cboGroupEvents_->Height() / 2, filterWidth, cboGroupEvents_->Height());
  });

  y += kRowHeight;
  LayoutStep([&] { xEvents_->Move(kMargin, y, sw - 2 * kMargin, sh - y - kMargin); });
}

}  // namespace quillmont
