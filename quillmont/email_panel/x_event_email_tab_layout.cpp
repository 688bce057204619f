// The e-mail panel's controls as designed, and how they follow the panel's
// size.
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/framework/panel_support.h"
#include "quillmont/framework/runtime.h"

namespace quillmont {

using namespace detail;  // the panels' shared helpers
namespace {

constexpr int kHelpContext = 350110;

}  // namespace

void XEventEmailTab::CreateControls() {
  // The design keeps the frame above the subject and message; LayoutControls
  // turns that round at run time.
  lblSubject_ = Add<ui::Label>("lblSubject", "&Subject: ");
  Place(*lblSubject_, 0, 4560, 735, 255, 0);

  txtSubject_ = Add<ui::TextBox>("txtSubject");
  Place(*txtSubject_, 960, 4560, 3855, 315, 1);
  txtSubject_->SetMultiLine(true);
  txtSubject_->SetMaxLength(rules::kMaxSubjectLength);
  txtSubject_->SetHelpContextID(kHelpContext);

  cmdResetSubject_ = Add<ui::CommandButton>("cmdResetSubject", "&Reset");
  Place(*cmdResetSubject_, 5040, 4560, 975, 375, 2);
  cmdResetSubject_->SetHelpContextID(kHelpContext);

  lblMessage_ = Add<ui::Label>("lblMessage", "&Message:");
  Place(*lblMessage_, 0, 5040, 735, 255, 3);

  txtMessage_ = Add<ui::TextBox>("txtMessage");
  Place(*txtMessage_, 960, 5040, 3855, 1215, 4);
  txtMessage_->SetMultiLine(true);
  txtMessage_->SetScrollBars(ui::ScrollBars::Both);
  txtMessage_->SetMaxLength(rules::kMaxMessageLength);
  txtMessage_->SetHelpContextID(kHelpContext);

  cmdResetMessage_ = Add<ui::CommandButton>("cmdResetMessage", "Rese&t");
  Place(*cmdResetMessage_, 5040, 5040, 975, 375, 5);
  cmdResetMessage_->SetHelpContextID(kHelpContext);

  fraRecipients_ = Add<ui::Frame>("fraRecipients", "Recipients ");
  Place(*fraRecipients_, 0, 0, 6255, 4335, 12);
  fraRecipients_->SetHelpContextID(kHelpContext);

  stl_ = GetControlLibrary()->NewStaticList("stl");
  fraRecipients_->AddChild(stl_);
  Place(*stl_, 240, 360, 5775, 2415, 6);
  stl_->SetMultiSelect(true);

  lblAddress_ = fraRecipients_->Add<ui::Label>("lblAddress", "&E-Mail Address:");
  Place(*lblAddress_, 120, 3040, 1095, 255, 7);

  txtAddress_ = fraRecipients_->Add<ui::TextBox>("txtAddress");
  Place(*txtAddress_, 1320, 3000, 3495, 315, 8);
  txtAddress_->SetMaxLength(rules::kMaxAddressLength);
  txtAddress_->SetHelpContextID(kHelpContext);

  cmdNew_ = fraRecipients_->Add<ui::CommandButton>("cmdNew", "&New");
  Place(*cmdNew_, 5040, 2880, 975, 375, 9);
  cmdNew_->SetHelpContextID(kHelpContext);

  cmdDelete_ = fraRecipients_->Add<ui::CommandButton>("cmdDelete", "&Delete");
  Place(*cmdDelete_, 5040, 3360, 975, 375, 10);
  cmdDelete_->SetHelpContextID(kHelpContext);

  cmdApply_ = fraRecipients_->Add<ui::CommandButton>("cmdApply", "&Apply");
  Place(*cmdApply_, 5040, 3840, 975, 375, 11);
  cmdApply_->SetHelpContextID(kHelpContext);

  mnuPopup_ = AddPopupMenu("mnuPopup", "Popup");
  mnuPopupDelete_ = mnuPopup_->AddItem("mnuPopupDelete", "Delete");

  // The design client size, without arranging: the host's first size change
  // does that.
  Move(Left(), Top(), kDesignWidth, kDesignHeight);
}

void XEventEmailTab::UserControl_Resize() { LayoutControls(); }

void XEventEmailTab::LayoutControls() {
  constexpr float M = 120;            // margin
  constexpr float R = 315;            // row height
  constexpr float kLabelWidth = 735;  // subject and message labels
  constexpr float kButtonWidth = 1215;
  constexpr float kButtonHeight = 375;
  constexpr float kButtonPitch = kButtonHeight + M;
  // Below the list: the address row and the three stacked buttons.
  constexpr float kFrameReserve = 7 * M + 1125;

  const float sw = Width();
  const float sh = Height();

  // Subject row.
  float y = R / 2 + M;
  LayoutStep([&] { lblSubject_->Move(0, y - lblSubject_->Height() / 2, kLabelWidth, lblSubject_->Height()); });
  const float textWidth = sw - (kButtonWidth + lblSubject_->Left() + kLabelWidth + 3 * M);
  LayoutStep([&] {
    txtSubject_->Move(lblSubject_->Left() + kLabelWidth, y - txtSubject_->Height() / 2, textWidth,
                      txtSubject_->Height());
  });
  const float buttonLeft = sw - kButtonWidth - M;
  LayoutStep(
      [&] { cmdResetSubject_->Move(buttonLeft, y - cmdResetSubject_->Height() / 2, kButtonWidth, kButtonHeight); });

  // Message row: label, box and button share one top edge.
  y = y + R + M;
  LayoutStep([&] { lblMessage_->Move(0, y - R / 2, kLabelWidth, lblMessage_->Height()); });
  LayoutStep(
      [&] { txtMessage_->Move(lblMessage_->Left() + kLabelWidth, y - R / 2, textWidth, txtMessage_->Height()); });
  LayoutStep([&] { cmdResetMessage_->Move(buttonLeft, y - R / 2, kButtonWidth, kButtonHeight); });

  // The frame takes the rest of the panel.
  const float frameTop = y + txtMessage_->Height();
  LayoutStep([&] { fraRecipients_->Move(0, frameTop, sw, sh - (frameTop + M)); });

  const float fw = fraRecipients_->Width();
  const float fh = fraRecipients_->Height();
  LayoutStep([&] { stl_->Move(M, 3 * M, fw - 2 * M, fh - kFrameReserve); });

  // Address row and button column under the list, wherever the list ended.
  y = stl_->Top() + stl_->Height() + M;
  LayoutStep([&] { lblAddress_->Move(lblAddress_->Left(), y + 40, lblAddress_->Width(), lblAddress_->Height()); });
  LayoutStep([&] {
    txtAddress_->Move(txtAddress_->Left(), y, fw - (txtAddress_->Left() + kButtonWidth + 3 * M), txtAddress_->Height());
  });
  const float columnLeft = fw - (2 * M + kButtonWidth) - M + M + M;
  LayoutStep([&] { cmdNew_->Move(columnLeft, y, kButtonWidth, kButtonHeight); });
  LayoutStep([&] { cmdDelete_->Move(columnLeft, y + kButtonPitch, kButtonWidth, kButtonHeight); });
  LayoutStep([&] { cmdApply_->Move(columnLeft, y + 2 * kButtonPitch, kButtonWidth, kButtonHeight); });
}

}  // namespace quillmont
