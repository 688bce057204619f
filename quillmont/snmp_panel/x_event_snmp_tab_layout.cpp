// The designed controls of the SNMP managers panel and the rule that
// arranges them when the panel's size changes.
#include "quillmont/framework/panel_support.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/rules/fields.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"

namespace quillmont {

using namespace detail;  // the panels' shared helpers
namespace {

constexpr int kHelpContext = 350110;

// Arrangement figures, in twips.
constexpr float kMargin = 120;
constexpr float kRowHeight = 315;
constexpr float kRowPitch = kRowHeight + kMargin;
constexpr float kLabelWidth = 1100;
constexpr float kButtonWidth = 1215;
constexpr float kButtonHeight = 375;
constexpr float kButtonPitch = kButtonHeight + kMargin;
// Below this height the four rows and three buttons no longer fit; the
// panel then cuts the arrangement off instead of squeezing it.
constexpr float kMinLayoutHeight = 4 * (kButtonHeight + kMargin) + 2 * kMargin;

}  // namespace

void XEventSNMPTab::CreateControls() {
  Move(0, 0, kDesignWidth, kDesignHeight);

  fraSNMP_ = Add<ui::Frame>("fraSNMP", "SNMP Managers ");
  Place(*fraSNMP_, 0, 0, 6615, 5175, 0);

  auto label = [this](const char* name, const char* caption, float left, float top, float width, int tab) {
    auto l = fraSNMP_->Add<ui::Label>(name, caption);
    Place(*l, left, top, width, 255, tab);
    l->SetAlignment(ui::Alignment::Right);
    return l;
  };
  auto textBox = [this](const char* name, float top, int tab, std::size_t maxLength) {
    auto t = fraSNMP_->Add<ui::TextBox>(name);
    Place(*t, 1440, top, 3495, 315, tab);
    t->SetMaxLength(maxLength);
    t->SetHelpContextID(kHelpContext);
    return t;
  };
  auto comboBox = [this](const char* name, float top, int tab) {
    auto c = fraSNMP_->Add<ui::ComboBox>(name);
    Place(*c, 1440, top, 3495, 315, tab);
    return c;
  };
  auto button = [this](const char* name, const char* caption, float top, int tab) {
    auto b = fraSNMP_->Add<ui::CommandButton>(name, caption);
    Place(*b, 5160, top, 975, 375, tab);
    b->SetHelpContextID(kHelpContext);
    return b;
  };

  lblHost_ = label("lblHost", "SNMP &Host:", 240, 3045, 1100, 1);
  txtHost_ = textBox("txtHost", 3000, 2, rules::kMaxHostLength);
  lblPort_ = label("lblPort", "SNMP &Port:", 240, 3525, 1095, 3);
  txtPort_ = textBox("txtPort", 3480, 4, 22);
  lblVersion_ = label("lblVersion", "SNMP &Version:", 240, 3960, 1095, 5);
  cboVersion_ = comboBox("cboVersion", 3960, 6);
  lblTimeFormat_ = label("lblTimeFormat", "&Time Format:", 240, 4410, 1095, 7);
  cboTimeFormat_ = comboBox("cboTimeFormat", 4440, 8);
  cmdNew_ = button("cmdNew", "&New", 2880, 9);
  cmdDelete_ = button("cmdDelete", "&Delete", 3360, 10);
  cmdApply_ = button("cmdApply", "&Apply", 3840, 11);

  stl_ = GetControlLibrary()->NewStaticList("stl");
  fraSNMP_->AddChild(stl_);
  Place(*stl_, 240, 480, 6135, 2175, 12);
  stl_->SetMultiSelect(true);

  mnuPopup_ = AddPopupMenu("mnuPopup", "Popup");
  mnuPopupDelete_ = mnuPopup_->AddItem("mnuPopupDelete", "Delete");
}

void XEventSNMPTab::UserControl_Resize() { LayoutControls(); }

void XEventSNMPTab::LayoutControls() {
  const float sw = Width();
  const float sh = Height();
  const float fieldsRight = sw - (2 * kMargin + kButtonWidth) - kMargin;
  const float fieldsLeft = 2 * kMargin + kLabelWidth;
  const float fieldWidth = fieldsRight - fieldsLeft;
  const float h = sh < kMinLayoutHeight ? kMinLayoutHeight : sh;
  float y = (h - kRowPitch) + kRowHeight / 2;

  LayoutStep([&] { fraSNMP_->Move(0, 0, sw, h); });

  // Label and field centred on the row's centre line y.
  auto placeRow = [&](ui::Label& label, ui::Control& field) {
    LayoutStep([&] { label.Move(kMargin, y - label.Height() / 2, kLabelWidth, label.Height()); });
    LayoutStep([&] { field.Move(fieldsLeft, y - field.Height() / 2, fieldWidth, field.Height()); });
  };
  placeRow(*lblTimeFormat_, *cboTimeFormat_);
  y -= kRowPitch;
  placeRow(*lblVersion_, *cboVersion_);
  y -= kRowPitch;
  placeRow(*lblPort_, *txtPort_);
  y -= kRowPitch;
  placeRow(*lblHost_, *txtHost_);

  const float hostTop = y - txtHost_->Height() / 2;
  LayoutStep([&] { stl_->Move(kMargin, 3 * kMargin, sw - 2 * kMargin, hostTop - 4 * kMargin); });

  const float buttonsLeft = fieldsRight + kMargin + kMargin;
  LayoutStep([&] { cmdNew_->Move(buttonsLeft, hostTop, kButtonWidth, kButtonHeight); });
  LayoutStep([&] { cmdDelete_->Move(buttonsLeft, hostTop + kButtonPitch, kButtonWidth, kButtonHeight); });
  LayoutStep([&] { cmdApply_->Move(buttonsLeft, hostTop + 2 * kButtonPitch, kButtonWidth, kButtonHeight); });
}

}  // namespace quillmont
