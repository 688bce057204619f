// The e-mail panel's own rules: the address checks and questions, the
// subject and message with their default, and the validity rules.
#include "quillmont/email_panel/x_event_email_tab.h"
#include "tests/support/panel_fixture.h"

namespace quillmont::testing {
namespace {

using msgbox::AnswerNo;
using msgbox::AnswerYes;
using msgbox::Critical;
using msgbox::YesNoExclamation;
using Strings = std::vector<std::string>;
constexpr const char* kDefault = "<Default>";
constexpr const char* kNoSubject = "Please enter a Subject for the E-mail.";
constexpr const char* kNoMessage = "Please enter a Message for the E-Mail.";
constexpr const char* kNoAddress = "You have specified a Subject and/or Message.  Please enter an E-mail Address.";

std::string Duplicate(const std::string& address) {
  return "This Email (" + address + ") already exists in the list.\r\nWould you like to add the address anyway?";
}

class EmailPanel : public PanelTest<XEventEmailTab> {
 protected:
  void Load(const std::shared_ptr<NotificationDefinition>& def) { panel->LoadData(Variant(def), "Email", host); }
  Strings Rows() const {
    Strings rows;
    for (int i = 0; i < panel->stl().RowCount(); ++i) rows.push_back(panel->stl().RowCells(i).at(0));
    return rows;
  }
};

TEST_F(EmailPanel, AddressesAreCheckedAndDuplicatesAsked) {
  Load(StoredDefinition({}, {"ops@example.com"}));
  // A lone recipient is shown selected.
  EXPECT_TRUE(panel->txtAddress().Text() == "ops@example.com" && panel->stl().IsRowSelected(0));
  user.Click(panel->cmdNew());
  // Blanks only: nothing to apply, Enter passes to the field.
  user.Type("   ");
  EXPECT_FALSE(panel->Changed() || panel->cmdApply().Enabled());
  user.PressKey(ui::keys::Return);
  EXPECT_EQ(panel->stl().RowCount(), 1);
  EXPECT_EQ(host->markChanged, 1);  // New only: typing an address tells nobody

  Retype(panel->txtAddress(), " a@b, c@d ");
  Messages().Expect("Invalid Email Address: a@b, c@d", msgbox::OkOnly, "");
  user.Click(panel->cmdApply());
  Messages().Verify();
  EXPECT_EQ(panel->txtAddress().Text(), " a@b, c@d ");
  EXPECT_TRUE(panel->txtAddress().HasFocus());
  EXPECT_TRUE(panel->cmdApply().Enabled());
  EXPECT_EQ(host->markChanged, 2);  // a refused Apply tells the host too

  Retype(panel->txtAddress(), "  ops@example.com");
  Messages().Expect(Duplicate("ops@example.com"), YesNoExclamation, "Add Email Address", AnswerNo);
  user.PressKey(ui::keys::Return);
  Messages().Verify();
  EXPECT_EQ(panel->txtAddress().Text(), "  ops@example.com");
  EXPECT_TRUE(panel->txtAddress().HasFocus());
  Messages().Expect(Duplicate("ops@example.com"), YesNoExclamation, "Add Email Address", AnswerYes);
  user.Click(panel->cmdApply());
  Messages().Verify();
  // Letter case makes another address.
  user.TypeInto(panel->txtAddress(), "OPS@example.com");
  user.Click(panel->cmdApply());
  EXPECT_EQ(Rows(), (Strings{"ops@example.com", "ops@example.com", "OPS@example.com"}));
  EXPECT_EQ(panel->stl().CaretRow(), 2);  // on the new row, in view
}

TEST_F(EmailPanel, UpdateChecksAgainstTheOtherRowsOnly) {
  auto def = StoredDefinition({}, {"a@example.com", "b@example.com"});
  Load(def);
  user.ClickRow(panel->stl(), 1);
  user.TypeInto(panel->txtAddress(), " ");
  EXPECT_TRUE(panel->cmdApply().Enabled());
  user.Click(panel->cmdApply());  // its own address again: no question
  EXPECT_EQ(Rows(), (Strings{"a@example.com", "b@example.com"}));
  EXPECT_TRUE(panel->stl().HasFocus());
  EXPECT_EQ(host->markChanged, 1);

  Retype(panel->txtAddress(), "a@example.com");
  EXPECT_TRUE(panel->HasUnappliedEntry());
  Messages().Expect(Duplicate("a@example.com"), YesNoExclamation, "Add Email Address", AnswerNo);
  user.PressKey(ui::keys::Return);
  Messages().Verify();
  EXPECT_EQ(panel->EditMode(), EditMode::EditSelected);
  Retype(panel->txtAddress(), " c@example.com ");
  user.PressKey(ui::keys::Return);
  EXPECT_EQ(Rows(), (Strings{"a@example.com", "c@example.com"}));
  EXPECT_EQ(panel->txtAddress().Text(), " c@example.com ");  // the field keeps what was typed
  EXPECT_FALSE(panel->cmdApply().Enabled());
  EXPECT_TRUE(panel->AddressExists());
  EXPECT_FALSE(panel->AddressExists(std::dynamic_pointer_cast<EmailRecipient>(panel->stl().Items()->Item(2))));
  panel->txtAddress().SetText("a@example.co");
  EXPECT_FALSE(panel->AddressExists());

  // Typing what the next selection shows is no edit either.
  user.SelectRows(panel->stl(), {});
  user.TypeInto(panel->txtAddress(), "a@example.com");
  user.ClickRow(panel->stl(), 0);
  EXPECT_FALSE(panel->Changed());
  EXPECT_FALSE(panel->Selecting());
}

TEST_F(EmailPanel, SubjectAndMessageKeepTheirDefaultAndTellTheHost) {
  auto fresh = NewDefinition();
  fresh->SetEmailSubject("stale");
  Load(fresh);
  EXPECT_EQ(panel->txtSubject().Text(), kDefault);
  EXPECT_EQ(panel->txtMessage().Text(), kDefault);
  panel->SaveData();
  EXPECT_EQ(fresh->Subject(), std::nullopt);  // the default is stored as null
  EXPECT_EQ(fresh->Message(), std::nullopt);

  auto def = StoredDefinition({}, {"a@example.com"});
  def->SetEmailSubject(std::nullopt);
  def->SetEmailMessage("Disk full");
  Load(def);
  EXPECT_EQ(panel->txtSubject().Text(), kDefault);
  EXPECT_EQ(panel->txtMessage().Text(), "Disk full");
  user.TypeInto(panel->txtSubject(), "ab");
  EXPECT_EQ(host->markChanged, 2);  // one per keystroke
  Retype(panel->txtSubject(), "  ");
  Retype(panel->txtMessage(), "<default>");
  panel->SaveData();
  EXPECT_EQ(def->Subject(), std::optional<std::string>("  "));
  EXPECT_EQ(def->Message(), std::optional<std::string>("<default>"));
  const int marks = host->markChanged;
  user.Focus(panel->txtAddress());
  user.Click(panel->cmdResetSubject());
  EXPECT_EQ(panel->txtSubject().Text(), kDefault);
  EXPECT_TRUE(panel->txtSubject().HasFocus());
  EXPECT_EQ(host->markChanged, marks + 2);  // the text change and the reset itself
  panel->txtMessage().SetText(kDefault);
  const int before = host->markChanged;
  EXPECT_TRUE(user.AccessKey('T'));  // already the default: still tells the host once
  EXPECT_TRUE(panel->txtMessage().HasFocus());
  EXPECT_EQ(host->markChanged, before + 1);
  panel->SaveData();
  EXPECT_EQ(def->Subject(), std::nullopt);
  EXPECT_EQ(def->Message(), std::nullopt);

  // Without an e-mail part a fresh panel shows empty texts and saves them as
  // empty texts; what the user adds still reaches the definition.
  auto none = StoredDefinition({}, {"x@example.com"});
  none->SetHasEmail(false);
  auto other = XEventEmailTab::Create();
  ui::Driver driver(*other);
  other->LoadData(Variant(none), "Email", host);
  EXPECT_EQ(other->txtSubject().Text(), "");
  EXPECT_EQ(other->stl().RowCount(), 0);
  driver.TypeInto(other->txtAddress(), "new@example.com");
  driver.PressKey(ui::keys::Return);
  other->SaveData();
  EXPECT_EQ(none->Subject(), std::optional<std::string>(""));
  ASSERT_EQ(none->EmailRecipients()->Count(), 1);
  EXPECT_EQ(none->EmailRecipients()->Recipient(1)->OwnerKey(), "N-42");
}

TEST_F(EmailPanel, ValidityNamesTheFirstMissingPartAndBringsThePageForward) {
  struct Case {
    bool recipient;
    const char* subject;
    const char* message;
    const char* refusal;  // null: valid
    const char* focus;
  };
  const Case cases[] = {
      {true, kDefault, kDefault, nullptr, nullptr},  // the default counts as a text
      {true, "", "", kNoSubject, "txtSubject"},
      {true, " ", "", kNoMessage, "txtMessage"},  // blanks are a subject
      {true, " ", "x", nullptr, nullptr},
      {false, "", "", nullptr, nullptr},
      {false, kDefault, kDefault, nullptr, nullptr},
      {false, "<DEFAULT>", kDefault, kNoAddress, "txtAddress"},  // differs in case: the user's own
      {false, kDefault, "Body", kNoAddress, "txtAddress"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.subject) + " / " + c.message);
    Load(c.recipient ? StoredDefinition({}, {"a@example.com"}) : NewDefinition());
    user.TypeInto(panel->txtAddress(), "typed@example.com");  // typed, not applied: no recipient
    panel->txtSubject().SetText(c.subject);
    panel->txtMessage().SetText(c.message);
    user.Focus(panel->cmdNew());
    host->selectedTabs.clear();
    if (c.refusal) Messages().Expect(c.refusal, Critical, "Check");
    EXPECT_EQ(panel->IsTabValid("Check"), c.refusal == nullptr);
    Messages().Verify();
    EXPECT_EQ(host->selectedTabs, c.refusal ? Strings{"Email"} : Strings{});
    if (c.focus) {
      EXPECT_EQ(panel->ActiveControl()->Name(), c.focus);
    }
  }
  // No tab container, and a page that cannot take the focus: still false.
  panel->LoadData(Variant(StoredDefinition({}, {"a@example.com"})), "Email", nullptr);
  panel->txtSubject().SetText("");
  user.Focus(panel->txtMessage());
  panel->SetEnabled(false);
  Messages().Expect(kNoSubject, Critical, "");
  EXPECT_FALSE(panel->IsTabValid(""));
  EXPECT_TRUE(panel->txtMessage().HasFocus());
}

}  // namespace
}  // namespace quillmont::testing
