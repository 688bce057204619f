// Editing the recipient list as a user: New, Apply, Delete, the keys and the
// pop-up menu, with the address checks and their questions.
#include "quillmont/platform/error.h"
#include "tests/email/email_fixture.h"

namespace quillmont::email_test {
namespace {

using msgbox::AnswerNo;
using msgbox::AnswerYes;
using msgbox::OkOnly;
using msgbox::YesNoExclamation;

constexpr const char* kAddTitle = "Add Email Address";
constexpr const char* kDeleteTitle = "Delete Email Address";

std::string DuplicateQuestion(const std::string& address) {
  return "This Email (" + address + ") already exists in the list.\r\nWould you like to add the address anyway?";
}
std::string DeleteOne(const std::string& address) {
  return "Do you really want to delete this Email Address (" + address + ")?";
}

TEST_F(EmailPanelTest, EnterAddsTrimmedAddressesOneAfterAnother) {
  auto definition = NewDefinition();
  Load(definition);

  // Blanks only: nothing to apply, Enter passes to the field.
  drive_.TypeInto(panel_->txtAddress(), "   ");
  EXPECT_FALSE(panel_->Changed());
  EXPECT_FALSE(panel_->cmdApply().Enabled());
  drive_.PressKey(ui::keys::Return);
  EXPECT_FALSE(panel_->EnterPending());
  EXPECT_EQ(panel_->stl().RowCount(), 0);
  EXPECT_EQ(host_->markChanged, 0);  // typing an address tells nobody
  drive_.ClearText();

  drive_.Type(" ops@example.com ");
  EXPECT_TRUE(panel_->Changed());
  EXPECT_TRUE(panel_->cmdApply().Enabled());
  // Enter is swallowed on its press and applies on its release.
  drive_.KeyDown(ui::keys::Return);
  drive_.KeyPress(ui::keys::Return);
  EXPECT_TRUE(panel_->EnterPending());
  EXPECT_EQ(panel_->stl().RowCount(), 0);
  drive_.KeyUp(ui::keys::Return);
  EXPECT_FALSE(panel_->EnterPending());
  EXPECT_EQ(Rows(), std::vector<std::string>{"ops@example.com"});
  EXPECT_EQ(panel_->txtAddress().Text(), "");
  EXPECT_TRUE(panel_->txtAddress().HasFocus());
  EXPECT_EQ(panel_->EditMode(), EditMode::AddNew);
  EXPECT_FALSE(panel_->cmdApply().Enabled());
  EXPECT_EQ(panel_->stl().SelectedCount(), 0);  // nothing is selected by adding
  EXPECT_EQ(host_->markChanged, 1);

  drive_.Type("dba@example.com");
  drive_.PressKey(ui::keys::Return);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"ops@example.com", "dba@example.com"}));
  EXPECT_EQ(host_->markChanged, 2);

  panel_->SaveData();
  ASSERT_EQ(definition->EmailRecipients()->Count(), 2);
  EXPECT_EQ(definition->EmailRecipients()->Recipient(1)->Address(), "ops@example.com");
  EXPECT_EQ(definition->EmailRecipients()->Recipient(1)->OwnerKey(), "N7");
}

TEST_F(EmailPanelTest, InvalidAddressIsRefusedAndKeptForAnotherTry) {
  Load(NewDefinition());
  drive_.TypeInto(panel_->txtAddress(), " a@b, c@d ");
  Messages().Expect("Invalid Email Address: a@b, c@d", OkOnly, "");
  drive_.Click(panel_->cmdApply());
  Messages().Verify();
  EXPECT_EQ(panel_->stl().RowCount(), 0);
  EXPECT_EQ(panel_->txtAddress().Text(), " a@b, c@d ");
  EXPECT_TRUE(panel_->txtAddress().HasFocus());
  EXPECT_TRUE(panel_->Changed());
  EXPECT_TRUE(panel_->cmdApply().Enabled());
  EXPECT_EQ(host_->markChanged, 1);  // a refused Apply tells the host too

  // The same through Enter; the pending Enter ends with the refusal.
  Messages().Expect("Invalid Email Address: a@b, c@d", OkOnly, "");
  drive_.PressKey(ui::keys::Return);
  Messages().Verify();
  EXPECT_FALSE(panel_->EnterPending());
  drive_.Type("x");  // a later key runs no Apply
  EXPECT_EQ(panel_->stl().RowCount(), 0);
}

TEST_F(EmailPanelTest, DuplicateAddressAsksAndOnlyNoCancels) {
  Load(StoredDefinition("S", "M", {"ops@example.com"}));
  drive_.Click(panel_->cmdNew());
  EXPECT_EQ(panel_->EditMode(), EditMode::AddNew);
  EXPECT_EQ(panel_->stl().SelectedCount(), 0);
  EXPECT_TRUE(panel_->txtAddress().HasFocus());
  EXPECT_EQ(host_->markChanged, 1);

  drive_.Type("  ops@example.com");
  Messages().Expect(DuplicateQuestion("ops@example.com"), YesNoExclamation, kAddTitle, AnswerNo);
  drive_.PressKey(ui::keys::Return);
  Messages().Verify();
  EXPECT_EQ(Rows(), std::vector<std::string>{"ops@example.com"});
  EXPECT_EQ(panel_->txtAddress().Text(), "  ops@example.com");
  EXPECT_TRUE(panel_->txtAddress().HasFocus());

  Messages().Expect(DuplicateQuestion("ops@example.com"), YesNoExclamation, kAddTitle, AnswerYes);
  drive_.Click(panel_->cmdApply());
  Messages().Verify();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"ops@example.com", "ops@example.com"}));

  // Letter case makes a different address for this comparison.
  drive_.TypeInto(panel_->txtAddress(), "OPS@example.com");
  drive_.Click(panel_->cmdApply());
  EXPECT_EQ(panel_->stl().RowCount(), 3);
}

TEST_F(EmailPanelTest, AddressExistsComparesTheFieldAndLeavesOneRecipientOut) {
  Load(StoredDefinition("S", "M", {"a@example.com", "b@example.com"}));
  auto first = std::dynamic_pointer_cast<EmailRecipient>(panel_->stl().Items()->Item(1));
  auto second = std::dynamic_pointer_cast<EmailRecipient>(panel_->stl().Items()->Item(2));
  panel_->txtAddress().SetText(" b@example.com ");
  EXPECT_TRUE(panel_->AddressExists());
  EXPECT_TRUE(panel_->AddressExists(first));
  EXPECT_FALSE(panel_->AddressExists(second));
  // The field, not the recipient's own address, is compared.
  panel_->txtAddress().SetText("c@example.com");
  EXPECT_FALSE(panel_->AddressExists(Recipient("a@example.com")));
  panel_->txtAddress().SetText("a@example.co");
  EXPECT_FALSE(panel_->AddressExists());
}

TEST_F(EmailPanelTest, UpdateChangesTheSelectedRow) {
  auto definition = StoredDefinition("S", "M", {"a@example.com", "b@example.com"});
  Load(definition);
  drive_.ClickRow(panel_->stl(), 1);
  EXPECT_EQ(panel_->txtAddress().Text(), "b@example.com");
  EXPECT_EQ(panel_->EditMode(), EditMode::EditSelected);
  EXPECT_FALSE(panel_->cmdApply().Enabled());

  // Its own address again: no question (the row is left out).
  drive_.Focus(panel_->txtAddress());
  drive_.Type(" ");
  EXPECT_TRUE(panel_->cmdApply().Enabled());
  drive_.Click(panel_->cmdApply());
  EXPECT_EQ(Rows(), (std::vector<std::string>{"a@example.com", "b@example.com"}));
  EXPECT_TRUE(panel_->stl().HasFocus());
  EXPECT_FALSE(panel_->Changed());
  EXPECT_EQ(host_->markChanged, 1);

  // Another row's address asks the add question; No keeps everything.
  drive_.Focus(panel_->txtAddress());
  drive_.ClearText();
  drive_.Type("a@example.com");
  Messages().Expect(DuplicateQuestion("a@example.com"), YesNoExclamation, kAddTitle, AnswerNo);
  drive_.PressKey(ui::keys::Return);
  Messages().Verify();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"a@example.com", "b@example.com"}));
  EXPECT_TRUE(panel_->txtAddress().HasFocus());
  EXPECT_EQ(panel_->EditMode(), EditMode::EditSelected);
  EXPECT_EQ(host_->markChanged, 2);

  drive_.ClearText();
  drive_.Type(" c@example.com ");
  drive_.PressKey(ui::keys::Return);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"a@example.com", "c@example.com"}));
  EXPECT_EQ(panel_->txtAddress().Text(), " c@example.com ");  // the field keeps what was typed
  EXPECT_EQ(panel_->EditMode(), EditMode::EditSelected);
  EXPECT_FALSE(panel_->cmdApply().Enabled());
  panel_->SaveData();
  EXPECT_EQ(definition->EmailRecipients()->Recipient(2)->Address(), "c@example.com");
}

TEST_F(EmailPanelTest, SelectionDrivesFieldModeAndButtons) {
  Load(StoredDefinition("S", "M", {"a@example.com", "b@example.com", "c@example.com"}));
  drive_.SelectRows(panel_->stl(), {0, 2});
  EXPECT_EQ(panel_->txtAddress().Text(), "");
  EXPECT_FALSE(panel_->txtAddress().Enabled());
  EXPECT_FALSE(panel_->cmdApply().Enabled());
  EXPECT_TRUE(panel_->cmdDelete().Enabled());
  EXPECT_EQ(panel_->EditMode(), EditMode::AddNew);
  EXPECT_FALSE(drive_.TypeInto(panel_->txtAddress(), "x"));

  drive_.SelectRows(panel_->stl(), {});
  EXPECT_TRUE(panel_->txtAddress().Enabled());
  EXPECT_FALSE(panel_->cmdDelete().Enabled());
  EXPECT_EQ(panel_->EditMode(), EditMode::AddNew);

  // An edit that happens to equal the next selection's address is no edit.
  drive_.TypeInto(panel_->txtAddress(), "b@example.com");
  EXPECT_TRUE(panel_->cmdApply().Enabled());
  drive_.ClickRow(panel_->stl(), 1);
  EXPECT_FALSE(panel_->Changed());
  EXPECT_FALSE(panel_->cmdApply().Enabled());
  EXPECT_FALSE(panel_->Selecting());
  EXPECT_EQ(host_->markChanged, 0);
}

TEST_F(EmailPanelTest, DeleteSeveralRowsAsksWithTheirCount) {
  auto definition = StoredDefinition("S", "M", {"a@example.com", "b@example.com", "c@example.com"});
  Load(definition);
  drive_.SelectRows(panel_->stl(), {0, 1});
  Messages().Expect("Do you really want to delete these 2 Email Addresses?", YesNoExclamation, kDeleteTitle, AnswerNo);
  drive_.Click(panel_->cmdDelete());
  Messages().Verify();
  EXPECT_EQ(panel_->stl().RowCount(), 3);
  EXPECT_TRUE(panel_->stl().HasFocus());
  EXPECT_EQ(host_->markChanged, 0);

  Messages().Expect("Do you really want to delete these 2 Email Addresses?", YesNoExclamation, kDeleteTitle, AnswerYes);
  drive_.Click(panel_->cmdDelete());
  Messages().Verify();
  EXPECT_EQ(Rows(), std::vector<std::string>{"c@example.com"});
  // The first row is selected again and the field follows it.
  EXPECT_TRUE(panel_->stl().IsRowSelected(0));
  EXPECT_EQ(panel_->txtAddress().Text(), "c@example.com");
  EXPECT_EQ(panel_->EditMode(), EditMode::EditSelected);
  EXPECT_TRUE(panel_->stl().HasFocus());
  EXPECT_EQ(host_->markChanged, 1);
  panel_->SaveData();
  EXPECT_EQ(definition->EmailRecipients()->Count(), 1);

  // The last row goes: nothing selected, back to adding.
  Messages().Expect(DeleteOne("c@example.com"), YesNoExclamation, kDeleteTitle, AnswerYes);
  drive_.Click(panel_->cmdDelete());
  EXPECT_EQ(panel_->stl().RowCount(), 0);
  EXPECT_EQ(panel_->txtAddress().Text(), "");
  EXPECT_EQ(panel_->EditMode(), EditMode::AddNew);
  EXPECT_FALSE(panel_->cmdDelete().Enabled());
}

TEST_F(EmailPanelTest, DeleteOneRowNamesTheSelectedRecipientNotTheEditedField) {
  Load(StoredDefinition("S", "M", {"a@example.com", "b@example.com"}));
  drive_.ClickRow(panel_->stl(), 1);
  drive_.Focus(panel_->txtAddress());
  drive_.Type("  edited");
  Messages().Expect(DeleteOne("b@example.com"), YesNoExclamation, kDeleteTitle, AnswerYes);
  drive_.AccessKey('D');
  Messages().Verify();
  EXPECT_EQ(Rows(), std::vector<std::string>{"a@example.com"});
  EXPECT_EQ(panel_->txtAddress().Text(), "a@example.com");
}

TEST_F(EmailPanelTest, DeleteKeyActsOnlyOnTheList) {
  Load(StoredDefinition("S", "M", {"a@example.com", "b@example.com"}));
  // In the address field Delete erases a character.
  drive_.Focus(panel_->txtAddress());
  drive_.KeyDown(ui::keys::Home);
  drive_.PressKey(ui::keys::Delete);
  EXPECT_EQ(panel_->txtAddress().Text(), "@example.com");
  EXPECT_EQ(panel_->stl().RowCount(), 2);

  drive_.ClickRow(panel_->stl(), 0);
  Messages().Expect(DeleteOne("a@example.com"), YesNoExclamation, kDeleteTitle, AnswerNo);
  drive_.PressKey(ui::keys::Delete);
  Messages().Verify();
  EXPECT_EQ(panel_->stl().RowCount(), 2);
  EXPECT_TRUE(panel_->stl().HasFocus());

  Messages().Expect(DeleteOne("a@example.com"), YesNoExclamation, kDeleteTitle, AnswerYes);
  drive_.PressKey(ui::keys::Delete);
  Messages().Verify();
  EXPECT_EQ(Rows(), std::vector<std::string>{"b@example.com"});

  // With nothing selected the key does nothing.
  drive_.SelectRows(panel_->stl(), {});
  drive_.PressKey(ui::keys::Delete);
  EXPECT_EQ(panel_->stl().RowCount(), 1);
  EXPECT_EQ(host_->markChanged, 1);
}

TEST_F(EmailPanelTest, PopupMenuOpensOnlyOverASelection) {
  Load(StoredDefinition("S", "M", {"a@example.com", "b@example.com"}));
  drive_.SelectRows(panel_->stl(), {});
  drive_.ContextMenu(panel_->stl());
  EXPECT_EQ(panel_->OpenPopupMenu(), nullptr);

  // A right-click on a row selects it and opens the menu.
  drive_.ContextMenu(panel_->stl(), 1);
  ASSERT_EQ(panel_->OpenPopupMenu(), &panel_->mnuPopup());
  Messages().Expect(DeleteOne("b@example.com"), YesNoExclamation, kDeleteTitle, AnswerYes);
  EXPECT_TRUE(drive_.ChooseMenuItem("Delete"));
  Messages().Verify();
  EXPECT_EQ(Rows(), std::vector<std::string>{"a@example.com"});
  EXPECT_EQ(host_->markChanged, 1);
}

TEST_F(EmailPanelTest, PendingEnterNeverOutlivesItsKeyRelease) {
  Load(NewDefinition());
  // Enter pressed, then the field is emptied before any Apply could run:
  // the release of that key ends the pending Enter.
  drive_.TypeInto(panel_->txtAddress(), "a@example.com");
  drive_.KeyDown(ui::keys::Return);
  drive_.KeyPress(ui::keys::Return);
  ASSERT_TRUE(panel_->EnterPending());
  drive_.ClearText();
  EXPECT_FALSE(panel_->EnterPending());
  drive_.Type("b@example.com");
  EXPECT_EQ(panel_->stl().RowCount(), 0);  // typing alone adds nothing
  drive_.KeyUp(ui::keys::Return);
  EXPECT_EQ(panel_->stl().RowCount(), 0);

  // Enter pressed in the field but released elsewhere runs nothing later.
  drive_.KeyDown(ui::keys::Return);
  drive_.KeyPress(ui::keys::Return);
  ASSERT_TRUE(panel_->EnterPending());
  drive_.Focus(panel_->txtSubject());
  drive_.KeyUp(ui::keys::Return);
  EXPECT_FALSE(panel_->EnterPending());
  drive_.Focus(panel_->txtAddress());
  drive_.Type("x");
  EXPECT_EQ(panel_->stl().RowCount(), 0);
  EXPECT_EQ(host_->markChanged, 0);

  // Enter with Apply disabled reaches the field and does nothing else.
  drive_.ClearText();
  drive_.PressKey(ui::keys::Return);
  EXPECT_FALSE(panel_->EnterPending());
  EXPECT_EQ(host_->markChanged, 0);
}

// A recipient whose address can be made to fail, as a host object might.
class FailingRecipient : public EmailRecipient {
 public:
  std::string ColumnText(int) const override { return address_; }
  Variant Init(const Variant&, const std::string& address, const Variant&) override {
    address_ = address;
    return Variant(true);
  }
  std::string OwnerKey() const override { return "N1"; }
  std::string Address() const override {
    if (fail) throw Error(ErrorCode::Failed, "address unavailable");
    return address_;
  }
  void SetAddress(const std::string& address) override { address_ = address; }
  bool fail = false;

 private:
  std::string address_;
};

TEST_F(EmailPanelTest, FailureWhileShowingASelectionLeavesEditsCounted) {
  auto definition = StoredDefinition("S", "M", {"a@example.com"});
  auto failing = std::make_shared<FailingRecipient>();
  failing->Init(Variant(), "f@example.com", Variant());
  definition->EmailRecipients()->Add(failing);
  Load(definition);

  failing->fail = true;
  EXPECT_THROW(drive_.ClickRow(panel_->stl(), 1), Error);
  EXPECT_FALSE(panel_->Selecting());
  failing->fail = false;

  // The user's next edit counts as one.
  drive_.SelectRows(panel_->stl(), {});
  drive_.TypeInto(panel_->txtAddress(), "z@example.com");
  EXPECT_TRUE(panel_->Changed());
  EXPECT_TRUE(panel_->cmdApply().Enabled());
}

TEST_F(EmailPanelTest, HundredThousandRecipientsLoadAndTakeOneMore) {
  constexpr int kCount = 100000;
  auto list = std::make_shared<BasicEmailRecipientList>();
  for (int i = 0; i < kCount; ++i) list->Add(Recipient("user" + std::to_string(i) + "@example.com"));
  auto definition = StoredDefinition("S", "M", {});
  definition->SetEmailRecipients(list);
  Load(definition);
  ASSERT_EQ(panel_->stl().RowCount(), kCount);
  EXPECT_EQ(panel_->txtAddress().Text(), "user0@example.com");

  drive_.Click(panel_->cmdNew());
  EnterAddress("extra@example.com");
  ASSERT_EQ(panel_->stl().RowCount(), kCount + 1);
  EXPECT_EQ(panel_->stl().RowCells(kCount).at(0), "extra@example.com");
  panel_->SaveData();
  EXPECT_EQ(definition->EmailRecipients()->Count(), kCount + 1);
}

}  // namespace
}  // namespace quillmont::email_test
