// The e-mail panel's designed controls and how they follow the panel's size.
// Figures are exact in float, so they are compared exactly.
#include "tests/email/email_fixture.h"
#include "tests/support/layout_box.h"

namespace quillmont::email_test {
namespace {

using testing::Box;
using testing::BoxOf;

// One of the panel's controls against the box it should have.
#define EXPECT_BOX(control, ...) EXPECT_EQ(BoxOf(panel_->control()), (Box{__VA_ARGS__})) << #control

TEST_F(EmailPanelTest, DesignedControls) {
  struct Designed {
    const char* name;
    ui::ControlKind kind;
    const char* caption;
    Box box;
    int tab;
    int help;
    const char* container;
  };
  const char* const kPanel = "XEventEmailTab";
  const char* const kFrame = "fraRecipients";
  const Designed designed[] = {
      {"lblSubject", ui::ControlKind::Label, "&Subject: ", {0, 4560, 735, 255}, 0, 0, kPanel},
      {"txtSubject", ui::ControlKind::TextBox, "", {960, 4560, 3855, 315}, 1, 350110, kPanel},
      {"cmdResetSubject", ui::ControlKind::CommandButton, "&Reset", {5040, 4560, 975, 375}, 2, 350110, kPanel},
      {"lblMessage", ui::ControlKind::Label, "&Message:", {0, 5040, 735, 255}, 3, 0, kPanel},
      {"txtMessage", ui::ControlKind::TextBox, "", {960, 5040, 3855, 1215}, 4, 350110, kPanel},
      {"cmdResetMessage", ui::ControlKind::CommandButton, "Rese&t", {5040, 5040, 975, 375}, 5, 350110, kPanel},
      {"stl", ui::ControlKind::ListView, "", {240, 360, 5775, 2415}, 6, 0, kFrame},
      {"lblAddress", ui::ControlKind::Label, "&E-Mail Address:", {120, 3040, 1095, 255}, 7, 0, kFrame},
      {"txtAddress", ui::ControlKind::TextBox, "", {1320, 3000, 3495, 315}, 8, 350110, kFrame},
      {"cmdNew", ui::ControlKind::CommandButton, "&New", {5040, 2880, 975, 375}, 9, 350110, kFrame},
      {"cmdDelete", ui::ControlKind::CommandButton, "&Delete", {5040, 3360, 975, 375}, 10, 350110, kFrame},
      {"cmdApply", ui::ControlKind::CommandButton, "&Apply", {5040, 3840, 975, 375}, 11, 350110, kFrame},
      {"fraRecipients", ui::ControlKind::Frame, "Recipients ", {0, 0, 6255, 4335}, 12, 350110, kPanel},
  };
  for (const auto& d : designed) {
    SCOPED_TRACE(d.name);
    const ui::Control* c = panel_->Find(d.name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Kind(), d.kind);
    EXPECT_EQ(c->Caption(), d.caption);
    EXPECT_EQ(BoxOf(*c), d.box);
    EXPECT_EQ(c->TabIndex(), d.tab);
    EXPECT_EQ(c->HelpContextID(), d.help);
    ASSERT_NE(c->Parent(), nullptr);
    EXPECT_EQ(c->Parent()->Name(), d.container);
  }
  EXPECT_EQ(panel_->Width(), 6390);
  EXPECT_EQ(panel_->Height(), 6150);

  EXPECT_EQ(panel_->txtSubject().MaxLength(), 250u);
  EXPECT_TRUE(panel_->txtSubject().MultiLine());
  EXPECT_EQ(panel_->txtMessage().MaxLength(), 0u);
  EXPECT_TRUE(panel_->txtMessage().MultiLine());
  EXPECT_EQ(panel_->txtMessage().Scroll(), ui::ScrollBars::Both);
  EXPECT_EQ(panel_->txtAddress().MaxLength(), 128u);
  EXPECT_FALSE(panel_->txtAddress().MultiLine());
  EXPECT_TRUE(panel_->stl().MultiSelect());

  // The one column of the list.
  const auto columns = panel_->stl().Columns();
  ASSERT_EQ(columns->Count(), 1);
  EXPECT_EQ(columns->Item(1)->Id(), 1);
  EXPECT_EQ(columns->Item(1)->Caption(), "E-Mail Address");
  EXPECT_EQ(columns->Item(1)->Width(), 5000.0f);
  EXPECT_TRUE(columns->Item(1)->Visible());
  ASSERT_EQ(panel_->stl().ViewColumns().size(), 1u);
  EXPECT_EQ(panel_->stl().ViewColumns()[0].caption, "E-Mail Address");

  EXPECT_EQ(panel_->mnuPopup().Name(), "mnuPopup");
  EXPECT_EQ(panel_->mnuPopup().Caption(), "Popup");
  ASSERT_EQ(panel_->mnuPopup().Items().size(), 1u);
  EXPECT_EQ(panel_->mnuPopupDelete().Name(), "mnuPopupDelete");
  EXPECT_EQ(panel_->mnuPopupDelete().Caption(), "Delete");

  // Before any load: adding mode, nothing to apply or delete.
  EXPECT_EQ(panel_->EditMode(), EditMode::AddNew);
  EXPECT_FALSE(panel_->cmdApply().Enabled());
  EXPECT_FALSE(panel_->cmdDelete().Enabled());
  EXPECT_EQ(panel_->Definition(), nullptr);
  EXPECT_EQ(panel_->cdtnNotify(), nullptr);
}

TEST_F(EmailPanelTest, TabOrderAndAccessKeys) {
  std::vector<std::string> stops;
  for (ui::Control* c : panel_->TabOrder()) stops.push_back(c->Name());
  EXPECT_EQ(stops, (std::vector<std::string>{"lblSubject", "txtSubject", "cmdResetSubject", "lblMessage", "txtMessage",
                                             "cmdResetMessage", "fraRecipients", "stl", "lblAddress", "txtAddress",
                                             "cmdNew", "cmdDelete", "cmdApply"}));

  Load(StoredDefinition("S", "M", {"a@example.com", "b@example.com"}));
  EXPECT_TRUE(drive_.AccessKey('S'));
  EXPECT_TRUE(panel_->txtSubject().HasFocus());
  EXPECT_TRUE(drive_.AccessKey('m'));
  EXPECT_TRUE(panel_->txtMessage().HasFocus());
  EXPECT_TRUE(drive_.AccessKey('E'));
  EXPECT_TRUE(panel_->txtAddress().HasFocus());
  drive_.Tab();
  EXPECT_TRUE(panel_->cmdNew().HasFocus());

  EXPECT_TRUE(drive_.AccessKey('R'));
  EXPECT_EQ(panel_->txtSubject().Text(), kDefault);
  EXPECT_TRUE(panel_->txtSubject().HasFocus());
  EXPECT_TRUE(drive_.AccessKey('N'));
  EXPECT_EQ(panel_->stl().SelectedCount(), 0);
  EXPECT_TRUE(panel_->txtAddress().HasFocus());
  drive_.Type("c@example.com");
  EXPECT_TRUE(drive_.AccessKey('A'));
  EXPECT_EQ(panel_->stl().RowCount(), 3);
  // Delete is disabled without a selection: its key does nothing.
  EXPECT_FALSE(drive_.AccessKey('D'));
  EXPECT_EQ(panel_->stl().RowCount(), 3);
}

TEST_F(EmailPanelTest, LayoutAtTheDesignSize) {
  drive_.Resize(7000, 7000);
  drive_.Resize(6390, 6150);
  EXPECT_BOX(lblSubject, 0, 150, 735, 255);
  EXPECT_BOX(txtSubject, 735, 120, 4080, 315);
  EXPECT_BOX(cmdResetSubject, 5055, 90, 1215, 375);
  EXPECT_BOX(lblMessage, 0, 555, 735, 255);
  EXPECT_BOX(txtMessage, 735, 555, 4080, 1215);
  EXPECT_BOX(cmdResetMessage, 5055, 555, 1215, 375);
  EXPECT_BOX(fraRecipients, 0, 1927.5f, 6390, 4102.5f);
  EXPECT_BOX(stl, 120, 360, 6150, 2137.5f);
  EXPECT_BOX(lblAddress, 120, 2657.5f, 1095, 255);
  EXPECT_BOX(txtAddress, 1320, 2617.5f, 3495, 315);
  EXPECT_BOX(cmdNew, 5055, 2617.5f, 1215, 375);
  EXPECT_BOX(cmdDelete, 5055, 3112.5f, 1215, 375);
  EXPECT_BOX(cmdApply, 5055, 3607.5f, 1215, 375);
  EXPECT_EQ(panel_->cmdApply().Top() + panel_->cmdApply().Height() + 120, panel_->fraRecipients().Height());

  // Larger: the frame and list grow both ways, the boxes only widen.
  drive_.Resize(8000, 9000);
  EXPECT_BOX(txtSubject, 735, 120, 5690, 315);
  EXPECT_BOX(txtMessage, 735, 555, 5690, 1215);
  EXPECT_BOX(fraRecipients, 0, 1927.5f, 8000, 6952.5f);
  EXPECT_BOX(stl, 120, 360, 7760, 4987.5f);
  EXPECT_BOX(txtAddress, 1320, 5467.5f, 5105, 315);
  EXPECT_BOX(cmdApply, 6665, 6457.5f, 1215, 375);
}

TEST_F(EmailPanelTest, SizesTooSmallLeaveWhatCannotFitWhereItWas) {
  // From the design values the frame gets 1000 high, less than the 1965 the
  // list needs below it: the list keeps its height and the row follows it.
  drive_.Resize(6000, 3047.5f);
  EXPECT_BOX(fraRecipients, 0, 1927.5f, 6000, 1000);
  EXPECT_BOX(stl, 240, 360, 5775, 2415);
  EXPECT_BOX(lblAddress, 120, 2935, 1095, 255);
  EXPECT_BOX(txtAddress, 1320, 2895, 3105, 315);
  EXPECT_BOX(cmdNew, 4665, 2895, 1215, 375);
  EXPECT_BOX(cmdApply, 4665, 3885, 1215, 375);

  // Too low for any frame (2000 < 2047.5): the frame, the list and the
  // address row stay; the subject and message rows are still placed.
  drive_.Resize(6390, 6150);
  drive_.Resize(5000, 2000);
  EXPECT_BOX(txtSubject, 735, 120, 2690, 315);
  EXPECT_BOX(cmdResetSubject, 3665, 90, 1215, 375);
  EXPECT_BOX(txtMessage, 735, 555, 2690, 1215);
  EXPECT_BOX(cmdResetMessage, 3665, 555, 1215, 375);
  EXPECT_BOX(fraRecipients, 0, 1927.5f, 6390, 4102.5f);
  EXPECT_BOX(stl, 120, 360, 6150, 2137.5f);
  EXPECT_BOX(cmdApply, 5055, 3607.5f, 1215, 375);

  // Narrower than 2310: the text boxes keep their width, buttons still move.
  drive_.Resize(2000, 6150);
  EXPECT_BOX(txtSubject, 735, 120, 2690, 315);
  EXPECT_BOX(txtMessage, 735, 555, 2690, 1215);
  EXPECT_BOX(cmdResetSubject, 665, 90, 1215, 375);
  EXPECT_BOX(cmdResetMessage, 665, 555, 1215, 375);
  EXPECT_BOX(fraRecipients, 0, 1927.5f, 2000, 4102.5f);
  EXPECT_BOX(stl, 120, 360, 1760, 2137.5f);
  EXPECT_BOX(txtAddress, 1320, 2617.5f, 3495, 315);  // its width would be negative too
  EXPECT_BOX(cmdNew, 665, 2617.5f, 1215, 375);

  // Nothing fits: every step is refused or placed, none throws.
  EXPECT_NO_THROW(drive_.Resize(0, 0));
  EXPECT_BOX(cmdResetSubject, -1335, 90, 1215, 375);
}

}  // namespace
}  // namespace quillmont::email_test
