// The e-mail panel as its host drives it: load, validity, save, view state,
// and the subject and message fields.
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/error.h"
#include "quillmont/services/app_context.h"
#include "tests/email/email_fixture.h"
#include "tests/support/fault_injection.h"
#include "tests/support/list_panel_recovery.h"

namespace quillmont::email_test {
namespace {

using msgbox::Critical;

constexpr const char* kTitle = "Notification";
constexpr const char* kNoSubject = "Please enter a Subject for the E-mail.";
constexpr const char* kNoMessage = "Please enter a Message for the E-Mail.";
constexpr const char* kNoAddress = "You have specified a Subject and/or Message.  Please enter an E-mail Address.";

TEST_F(EmailPanelTest, NewDefinitionStartsWithDefaultsAndSavesNulls) {
  auto definition = NewDefinition();
  Load(definition);

  EXPECT_EQ(definition->EmailDetailsLoads(), 1);
  EXPECT_EQ(panel_->Definition(), definition);
  EXPECT_EQ(panel_->cdtnNotify(), host_);
  EXPECT_EQ(panel_->TabKey(), kTabKey);
  EXPECT_FALSE(panel_->Filling());
  EXPECT_TRUE(panel_->stl().ConfigFlag3());
  EXPECT_FALSE(panel_->stl().ConfigFlag1());
  EXPECT_FALSE(panel_->stl().ConfigFlag2());
  EXPECT_EQ(panel_->txtSubject().Text(), kDefault);
  EXPECT_EQ(panel_->txtMessage().Text(), kDefault);
  EXPECT_EQ(panel_->txtAddress().Text(), "");
  EXPECT_EQ(panel_->stl().RowCount(), 0);
  EXPECT_EQ(panel_->EditMode(), EditMode::AddNew);
  EXPECT_FALSE(panel_->cmdApply().Enabled());
  EXPECT_FALSE(panel_->cmdDelete().Enabled());
  EXPECT_TRUE(panel_->txtAddress().Enabled());
  EXPECT_FALSE(panel_->HandleTabProcess(""));
  EXPECT_FALSE(panel_->HandleTabProcess("Save"));

  EXPECT_TRUE(panel_->IsTabValid(kTitle));
  definition->SetEmailSubject("stale");
  definition->SetEmailMessage("stale");
  panel_->SaveData();
  EXPECT_EQ(definition->Subject(), std::nullopt);
  EXPECT_EQ(definition->Message(), std::nullopt);
  ASSERT_NE(definition->EmailRecipients(), nullptr);
  EXPECT_EQ(definition->EmailRecipients()->Count(), 0);
  // The list's own collection, not a copy.
  EXPECT_EQ(std::static_pointer_cast<ItemList>(definition->EmailRecipients()), panel_->stl().Items());
  // Nothing of load, check or save reaches the host as an edit.
  EXPECT_EQ(host_->markChanged, 0);
  EXPECT_TRUE(host_->selectedTabs.empty());
}

TEST_F(EmailPanelTest, StoredDefinitionShowsItsTextsAndSelectsTheFirstRecipient) {
  auto definition = StoredDefinition(std::nullopt, "Disk full", {"ops@example.com", "dba@example.com"});
  const auto stored = definition->EmailRecipients();
  Load(definition);

  EXPECT_EQ(panel_->txtSubject().Text(), kDefault);  // an empty subject shows the default
  EXPECT_EQ(panel_->txtMessage().Text(), "Disk full");
  EXPECT_EQ(Rows(), (std::vector<std::string>{"ops@example.com", "dba@example.com"}));
  EXPECT_EQ(panel_->stl().SelectedCount(), 1);
  EXPECT_TRUE(panel_->stl().IsRowSelected(0));
  EXPECT_EQ(panel_->txtAddress().Text(), "ops@example.com");
  EXPECT_EQ(panel_->EditMode(), EditMode::EditSelected);
  EXPECT_FALSE(panel_->Changed());
  EXPECT_FALSE(panel_->cmdApply().Enabled());
  EXPECT_TRUE(panel_->cmdDelete().Enabled());
  // The rows are the definition's recipient objects, in a list of the panel's own.
  EXPECT_NE(std::static_pointer_cast<ItemList>(stored), panel_->stl().Items());
  EXPECT_EQ(panel_->stl().Items()->Item(2), stored->Item(2));

  panel_->SaveData();
  EXPECT_EQ(definition->Subject(), std::nullopt);
  EXPECT_EQ(definition->Message(), std::optional<std::string>("Disk full"));
  EXPECT_EQ(std::static_pointer_cast<ItemList>(definition->EmailRecipients()), panel_->stl().Items());
  EXPECT_EQ(host_->markChanged, 0);

  // A second load replaces definition, host and rows.
  auto other = StoredDefinition("Alert", "Body", {"x@example.com"});
  auto otherHost = std::make_shared<RecordingTabHost>();
  Load(other, otherHost);
  EXPECT_EQ(panel_->Definition(), other);
  EXPECT_EQ(panel_->cdtnNotify(), otherHost);
  EXPECT_EQ(Rows(), std::vector<std::string>{"x@example.com"});
  EXPECT_EQ(panel_->txtSubject().Text(), "Alert");
  EXPECT_EQ(host_->markChanged + otherHost->markChanged, 0);
}

TEST_F(EmailPanelTest, DefinitionWithoutEmailReadsNothingAndKeepsWhatTheUserAdds) {
  auto definition = StoredDefinition("ignored", "ignored", {"ignored@example.com"});
  definition->SetHasEmail(false);
  Load(definition);
  EXPECT_EQ(panel_->txtSubject().Text(), "");
  EXPECT_EQ(panel_->txtMessage().Text(), "");
  EXPECT_EQ(panel_->stl().RowCount(), 0);

  panel_->SaveData();
  EXPECT_EQ(definition->Subject(), std::optional<std::string>(""));  // empty text, not the null default
  EXPECT_EQ(definition->Message(), std::optional<std::string>(""));
  ASSERT_NE(definition->EmailRecipients(), nullptr);
  EXPECT_EQ(definition->EmailRecipients()->Count(), 0);

  // A recipient added afterwards must reach the definition although the
  // list still holds its own kind of collection.
  EnterAddress("new@example.com");
  panel_->SaveData();
  ASSERT_EQ(definition->EmailRecipients()->Count(), 1);
  EXPECT_EQ(definition->EmailRecipients()->Recipient(1)->Address(), "new@example.com");
  EXPECT_EQ(definition->EmailRecipients()->Recipient(1)->OwnerKey(), "N7");
}

TEST_F(EmailPanelTest, NoRecipientListShowsNoRowsOfTheDefinitionBefore) {
  Load(StoredDefinition("S", "M", {"keep@example.com"}));
  auto definition = StoredDefinition(std::nullopt, "", {});
  definition->SetEmailRecipients(nullptr);
  Load(definition);
  EXPECT_EQ(panel_->txtSubject().Text(), kDefault);
  EXPECT_EQ(panel_->txtMessage().Text(), kDefault);
  EXPECT_EQ(Rows(), std::vector<std::string>{});
}

TEST_F(EmailPanelTest, SaveKeepsTypedTextExceptTheExactDefault) {
  auto definition = StoredDefinition("Old", "Old", {"a@example.com"});
  Load(definition);
  drive_.Focus(panel_->txtSubject());
  drive_.ClearText();
  drive_.Type("  ");
  drive_.Focus(panel_->txtMessage());
  drive_.ClearText();
  drive_.Type("<default>");
  panel_->SaveData();
  EXPECT_EQ(definition->Subject(), std::optional<std::string>("  "));
  EXPECT_EQ(definition->Message(), std::optional<std::string>("<default>"));

  drive_.Click(panel_->cmdResetMessage());
  panel_->SaveData();
  EXPECT_EQ(definition->Message(), std::nullopt);
}

TEST_F(EmailPanelTest, ValidityRulesWithRecipients) {
  Load(StoredDefinition(std::nullopt, std::nullopt, {"a@example.com"}));
  EXPECT_TRUE(panel_->IsTabValid(kTitle));  // "<Default>" counts as a subject and a message

  // Both empty: only the subject is named.
  panel_->txtSubject().SetText("");
  panel_->txtMessage().SetText("");
  Messages().Expect(kNoSubject, Critical, kTitle);
  EXPECT_FALSE(panel_->IsTabValid(kTitle));
  Messages().Verify();
  EXPECT_TRUE(panel_->txtSubject().HasFocus());
  EXPECT_EQ(host_->selectedTabs, std::vector<std::string>{kTabKey});

  panel_->txtSubject().SetText(" ");  // blanks are a subject
  Messages().Expect(kNoMessage, Critical, "Other title");
  EXPECT_FALSE(panel_->IsTabValid("Other title"));
  Messages().Verify();
  EXPECT_TRUE(panel_->txtMessage().HasFocus());
  EXPECT_EQ(host_->selectedTabs.size(), 2u);

  panel_->txtMessage().SetText("x");
  EXPECT_TRUE(panel_->IsTabValid(kTitle));
  EXPECT_EQ(host_->selectedTabs.size(), 2u);
  // Content is kept through every refusal.
  EXPECT_EQ(panel_->txtSubject().Text(), " ");
  EXPECT_EQ(Rows(), std::vector<std::string>{"a@example.com"});
}

TEST_F(EmailPanelTest, ValidityRulesWithoutRecipients) {
  Load(NewDefinition());
  EXPECT_TRUE(panel_->IsTabValid(kTitle));
  panel_->txtSubject().SetText("");
  panel_->txtMessage().SetText("");
  EXPECT_TRUE(panel_->IsTabValid(kTitle));

  // Differs from the default only in case: the user's own subject.
  panel_->txtSubject().SetText("<DEFAULT>");
  // An address typed but not applied is no recipient.
  drive_.TypeInto(panel_->txtAddress(), "a@example.com");
  drive_.Focus(panel_->txtSubject());
  Messages().Expect(kNoAddress, Critical, kTitle);
  EXPECT_FALSE(panel_->IsTabValid(kTitle));
  Messages().Verify();
  EXPECT_TRUE(panel_->txtAddress().HasFocus());
  EXPECT_EQ(host_->selectedTabs, std::vector<std::string>{kTabKey});

  panel_->txtSubject().SetText(kDefault);
  panel_->txtMessage().SetText("Body");
  Messages().Expect(kNoAddress, Critical, kTitle);
  EXPECT_FALSE(panel_->IsTabValid(kTitle));
}

TEST_F(EmailPanelTest, FailedValidityWithoutHostOrFocusStillAnswersFalse) {
  // No tab container: nobody to bring the page forward, and no error.
  Load(StoredDefinition("S", "M", {"a@example.com"}), nullptr);
  panel_->txtSubject().SetText("");
  Messages().Expect(kNoSubject, Critical, kTitle);
  EXPECT_FALSE(panel_->IsTabValid(kTitle));
  Messages().Verify();

  // A field that cannot take the focus (the page is disabled) is passed over.
  Load(StoredDefinition("S", "M", {"a@example.com"}));
  panel_->txtSubject().SetText("");
  drive_.Focus(panel_->txtMessage());
  panel_->SetEnabled(false);
  Messages().Expect(kNoSubject, Critical, kTitle);
  EXPECT_FALSE(panel_->IsTabValid(kTitle));
  Messages().Verify();
  EXPECT_TRUE(panel_->txtMessage().HasFocus());
  EXPECT_EQ(host_->selectedTabs, std::vector<std::string>{kTabKey});
}

TEST_F(EmailPanelTest, ViewStateGoesThroughTheSettingsEntry) {
  auto settings = GetAppContext()->Settings();
  // Nothing stored: the column set is handed the empty text, and keeps its column.
  panel_->LoadState();
  EXPECT_EQ(panel_->stl().Columns()->Count(), 1);

  panel_->stl().Columns()->Item(1)->SetWidth(1234.5f);
  panel_->stl().ApplyColumnLayout();
  panel_->SaveState();
  const Variant saved = settings->Item(Variant("EmailProperties"))->Value();
  EXPECT_EQ(saved.ToString(), panel_->stl().Columns()->LayoutState());

  // Another panel picks the layout up.
  auto other = XEventEmailTab::Create();
  other->LoadState();
  EXPECT_EQ(other->stl().Columns()->Item(1)->Width(), 1234.5f);
  EXPECT_EQ(other->stl().ViewColumns().at(0).width, 1234.5f);

  // A null value reads as no layout, not as an error.
  settings->Item(Variant("EmailProperties"))->SetValue(Variant::Null());
  EXPECT_NO_THROW(other->LoadState());
  EXPECT_EQ(host_->markChanged, 0);
}

TEST_F(EmailPanelTest, SubjectMessageAndResetsTellTheHost) {
  Load(StoredDefinition("S", "M", {}));
  drive_.TypeInto(panel_->txtSubject(), "ab");
  EXPECT_EQ(host_->markChanged, 2);  // one per keystroke
  drive_.TypeInto(panel_->txtMessage(), "c");
  EXPECT_EQ(host_->markChanged, 3);

  drive_.Focus(panel_->txtAddress());
  drive_.Click(panel_->cmdResetSubject());
  EXPECT_EQ(panel_->txtSubject().Text(), kDefault);
  EXPECT_TRUE(panel_->txtSubject().HasFocus());
  EXPECT_EQ(host_->markChanged, 5);  // the text change and the reset itself

  // Alt+T is the message's Reset; already "<Default>" still tells the host once.
  panel_->txtMessage().SetText(kDefault);
  const int before = host_->markChanged;
  drive_.AccessKey('T');
  EXPECT_TRUE(panel_->txtMessage().HasFocus());
  EXPECT_EQ(host_->markChanged, before + 1);

  // Without a host nothing is told and nothing fails.
  Load(StoredDefinition("S", "M", {}), nullptr);
  drive_.TypeInto(panel_->txtSubject(), "x");
  drive_.Click(panel_->cmdResetSubject());
  EXPECT_EQ(panel_->txtSubject().Text(), kDefault);
}

TEST_F(EmailPanelTest, ContractCallsWithoutADefinitionFailClearly) {
  try {
    panel_->SaveData();
    ADD_FAILURE() << "SaveData without a definition succeeded";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::ObjectRequired);
  }
  // A variant without a definition: type mismatch, and the earlier host is replaced first.
  EXPECT_THROW(panel_->LoadData(Variant("text"), kTabKey, host_), Error);
  EXPECT_EQ(panel_->cdtnNotify(), host_);
  EXPECT_EQ(panel_->Definition(), nullptr);
  EXPECT_FALSE(panel_->Filling());
  // Apply has no owner key to give a new recipient: an error, and the
  // typed address stays.
  drive_.TypeInto(panel_->txtAddress(), "a@example.com");
  EXPECT_THROW(drive_.Click(panel_->cmdApply()), Error);
  EXPECT_EQ(panel_->stl().RowCount(), 0);
  EXPECT_EQ(panel_->txtAddress().Text(), "a@example.com");
  // The panel still works afterwards.
  Load(NewDefinition());
  EXPECT_EQ(panel_->txtSubject().Text(), kDefault);
  EnterAddress("b@example.com");
  EXPECT_EQ(Rows(), std::vector<std::string>{"b@example.com"});
}

TEST_F(EmailPanelTest, FailureHalfWayThroughLoadLeavesThePanelListening) {
  auto plan = std::make_shared<testing::FaultPlan>();
  auto inner = StoredDefinition("S", "M", {"a@example.com"});
  auto faulty = std::make_shared<testing::FaultyNotificationDefinition>(inner, plan);
  // LoadEmailDetails, IsNew, HasEmail, EmailSubject, then EmailMessage fails.
  plan->FailOnCall(5);
  EXPECT_THROW(Load(faulty), Error);
  ASSERT_TRUE(plan->Fired());
  EXPECT_FALSE(panel_->Filling());
  EXPECT_EQ(panel_->txtSubject().Text(), "S");  // what was done stays done
  EXPECT_EQ(panel_->Definition(), faulty);

  drive_.TypeInto(panel_->txtSubject(), "x");
  EXPECT_EQ(host_->markChanged, 1);
  Load(faulty);
  EXPECT_EQ(Rows(), std::vector<std::string>{"a@example.com"});
}

TEST_F(EmailPanelTest, NewStartsOverAfterASelectionChangeFailedHalfWay) {
  testing::ExpectNewStartsOverAfterASelectionChangeFailedHalfWay<XEventEmailTab>(
      Variant(StoredDefinition("S", "M", {"a@x.org", "b@x.org", "c@x.org"})), kTabKey, &XEventEmailTab::txtAddress,
      [](ui::Driver& driver, XEventEmailTab&) { driver.Type("d@x.org"); });
}

}  // namespace
}  // namespace quillmont::email_test
