#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>

#include "quillmont/framework/runtime.h"
#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/services/app_context.h"
#include "quillmont/services/message_service.h"
#include "quillmont/services/ui_services.h"
#include "tests/support/test_host.h"

namespace quillmont {
namespace {

TEST(UiServices, WholeNumberInRangeTable) {
  DefaultUiServices ui;
  struct Case {
    std::string text;
    bool accepted;
    std::int32_t value;
  };
  const Case cases[] = {
      {"1", true, 1},
      {"65535", true, 65535},
      {"0", false, 0},
      {"65536", false, 0},
      {"-1", false, 0},
      {"+1", false, 0},
      {" 162 ", true, 162},
      {"0162", true, 162},
      {"1e3", false, 0},
      {"&H10", false, 0},
      {"0x10", false, 0},
      {"1.0", false, 0},
      {"", false, 0},
      {"   ", false, 0},
      {"1 2", false, 0},
      {"\t5", false, 0},
      {"00000000000000000000000000000000000065535", true, 65535},
      {std::string(40, '9'), false, 0},
      {"١٢", false, 0},  // Arabic-Indic digits are not decimal digits here
  };
  for (const auto& c : cases) {
    Variant value = Variant(std::int32_t{-7});
    std::string message = "untouched";
    const bool ok =
        ui.IsWholeNumberInRange(c.text, Variant(std::int16_t{1}), Variant(std::int32_t{65535}), value, message);
    EXPECT_EQ(ok, c.accepted) << "\"" << c.text << "\"";
    if (c.accepted) {
      EXPECT_EQ(value.GetType(), Variant::Type::Int32) << c.text;
      EXPECT_EQ(value.ToInt32(), c.value) << c.text;
      EXPECT_EQ(message, "") << c.text;
    } else {
      EXPECT_TRUE(value.IsEmpty()) << c.text;
      EXPECT_NE(message, "") << c.text;
      EXPECT_NE(message, "untouched") << c.text;
    }
  }
}

TEST(UiServices, WholeNumberBoundsAreExact) {
  DefaultUiServices ui;
  Variant value;
  std::string message;
  // A 40-digit range, compared as digits rather than through a double.
  const std::string big(40, '9');
  EXPECT_TRUE(ui.IsWholeNumberInRange(big, Variant(0.0), Variant(1e40), value, message));
  EXPECT_EQ(value.GetType(), Variant::Type::Double);
  // Fractional bounds admit only the whole numbers inside them.
  EXPECT_FALSE(ui.IsWholeNumberInRange("1", Variant(1.5), Variant(3.5), value, message));
  EXPECT_TRUE(ui.IsWholeNumberInRange("2", Variant(1.5), Variant(3.5), value, message));
  EXPECT_FALSE(ui.IsWholeNumberInRange("4", Variant(1.5), Variant(3.5), value, message));
  // Beyond a 32-bit integer the value is a double.
  EXPECT_TRUE(ui.IsWholeNumberInRange("2147483648", Variant(0), Variant(1e12), value, message));
  EXPECT_EQ(value.GetType(), Variant::Type::Double);
  EXPECT_EQ(value.ToDouble(), 2147483648.0);
  EXPECT_TRUE(ui.IsWholeNumberInRange("2147483647", Variant(0), Variant(1e12), value, message));
  EXPECT_EQ(value.GetType(), Variant::Type::Int32);
  // An empty range accepts nothing; a null bound is a caller's error.
  EXPECT_FALSE(ui.IsWholeNumberInRange("5", Variant(10), Variant(1), value, message));
  EXPECT_THROW(ui.IsWholeNumberInRange("5", Variant::Null(), Variant(1), value, message), Error);
}

TEST(UiServices, TextEqualsFoldsAsciiCaseOnly) {
  DefaultUiServices ui;
  EXPECT_TRUE(ui.TextEquals("Host.Example", "host.EXAMPLE", true));
  EXPECT_FALSE(ui.TextEquals("Host.Example", "host.EXAMPLE", false));
  EXPECT_TRUE(ui.TextEquals("abc", "abc", false));
  EXPECT_FALSE(ui.TextEquals("abc", "abcd", true));
  EXPECT_FALSE(ui.TextEquals("a b", "a_b", true));
  // '@' and '`' sit next to the letters; folding must not pair them up.
  EXPECT_FALSE(ui.TextEquals("@", "`", true));
  EXPECT_FALSE(ui.TextEquals("[", "{", true));
  EXPECT_TRUE(ui.TextEquals("", "", true));
}

TEST(UiServices, NewListColumnAndFocusTarget) {
  DefaultUiServices ui;
  auto column = ui.NewListColumn(256, "Host", 2000, 0, true, 0);
  EXPECT_EQ(column->Id(), 256);
  EXPECT_EQ(column->Caption(), "Host");
  EXPECT_EQ(column->Width(), 2000.0F);
  EXPECT_THROW(ui.NewListColumn(1, "x", -1, 0, true, 0), Error);

  ui.GetFocusTarget()->Activate();  // no handler: nothing happens
  int activated = 0;
  ui.SetFocusHandler([&] { ++activated; });
  ui.GetFocusTarget()->Activate();
  EXPECT_EQ(activated, 1);
}

TEST(UiServices, AttachedTextBoxRestoresOnEscapeOnly) {
  DefaultUiServices ui;
  ui::UserControl panel("panel");
  auto first = panel.Add<ui::TextBox>("txtFirst");
  auto other = panel.Add<ui::TextBox>("txtOther");
  first->SetTabIndex(0);
  other->SetTabIndex(1);
  first->SetText("before");
  auto extension = ui.AttachTextBox(*first);
  ui::Driver driver(panel);
  int changes = 0;
  first->Change.Connect([&] { ++changes; });

  driver.Focus(*first);
  driver.Type("XY");
  EXPECT_EQ(first->Text(), "beforeXY");
  driver.PressKey(ui::keys::Escape);
  EXPECT_EQ(first->Text(), "before");
  EXPECT_EQ(changes, 3);
  // Unchanged text: Escape passes through untouched.
  int escapesSeen = 0;
  first->KeyPress.Connect([&](ui::KeyPressArgs& e) { escapesSeen += e.KeyAscii == ui::keys::Escape; });
  driver.PressKey(ui::keys::Escape);
  EXPECT_EQ(escapesSeen, 1);
  EXPECT_EQ(first->Text(), "before");
  // Other keys are the text box's own.
  driver.PressKey(ui::keys::Back);
  EXPECT_EQ(first->Text(), "befor");

  // The program setting the text while the field keeps the focus (an entry
  // applied, the fields reset) is what Escape goes back to afterwards.
  driver.Type("12");
  first->SetText("");
  driver.Type("Q");
  driver.PressKey(ui::keys::Escape);
  EXPECT_EQ(first->Text(), "");
  driver.PressKey(ui::keys::Delete);  // nothing to delete: no change, no harm
  driver.Paste("pasted");
  driver.PressKey(ui::keys::Escape);
  EXPECT_EQ(first->Text(), "pasted");
  driver.PressKey(ui::keys::Back);
  driver.PressKey(ui::keys::Escape);
  EXPECT_EQ(first->Text(), "pasted");
  first->SetText("befor");

  // Once the extension is released the habit stops; the box lives on.
  extension.reset();
  driver.Type("Z");
  driver.PressKey(ui::keys::Escape);
  EXPECT_EQ(first->Text(), "beforZ");
}

TEST(MessageService, HeadlessWritesAndAnswers) {
  std::ostringstream out;
  ConsoleMessageService messages(&out);
  EXPECT_EQ(messages.ShowMessage("Port number must be an integer between 1 and 65535.", msgbox::Critical, "", "", 0),
            msgbox::AnswerOk);
  EXPECT_EQ(messages.ShowMessage("Delete?", msgbox::YesNoExclamation, "Delete SNMP Manager", "", 0), msgbox::AnswerYes);
  EXPECT_EQ(out.str(), "Port number must be an integer between 1 and 65535.\nDelete SNMP Manager: Delete?\n");
  messages.SetAnswer(msgbox::AnswerNo);
  EXPECT_EQ(messages.ShowMessage("Delete?", msgbox::YesNoExclamation, "t", "", 0), msgbox::AnswerNo);
  messages.SetAnswer(std::nullopt);
  EXPECT_EQ(messages.ShowMessage("OK?", msgbox::OkOnly, "t", "", 0), msgbox::AnswerOk);
  EXPECT_EQ(messages.MessagesShown(), 4);
  messages.SetStream(nullptr);
  EXPECT_EQ(messages.ShowMessage("quiet", 0, "", "", 0), msgbox::AnswerOk);
}

TEST(AppContext, EmailAddressTable) {
  MemoryAppContext context;
  const std::string local64(64, 'a');
  const auto domainOfLength = [](std::size_t n) {
    // labels of 63 characters joined by dots, cut to n characters
    std::string d;
    while (d.size() < n) d += std::string(63, 'b') + ".";
    d.resize(n);
    if (d.back() == '.') d.back() = 'c';
    return d;
  };
  const std::string at254 = local64 + "@" + domainOfLength(254 - 65);
  const std::string at255 = local64 + "@" + domainOfLength(255 - 65);
  ASSERT_EQ(at254.size(), 254u);
  ASSERT_EQ(at255.size(), 255u);
  struct Case {
    std::string address;
    bool valid;
  };
  const Case cases[] = {
      {"ops@example.com", true},
      {"ops+alerts@example.com", true},
      {"ops@localhost", true},
      {"o'brien@example.com", true},
      {"first.last@sub.example-host.org", true},
      {"a@b.c, d@e.f", false},
      {"a@b.c;d@e.f", false},
      {"ops@example.com\n", false},
      {" ops@example.com", false},
      {"Ops <ops@example.com>", false},
      {"\"ops\"@example.com", false},
      {"ops@@example.com", false},
      {"@example.com", false},
      {"ops@", false},
      {"ops", false},
      {"ops@-example.com", false},
      {"ops@example-.com", false},
      {"ops@example..com", false},
      {"ops@example.com.", false},
      {"ops@exa_mple.com", false},
      {"üser@example.com", false},
      {std::string("ops\x01@example.com"), false},
      {local64 + "@example.com", true},
      {local64 + "a@example.com", false},
      {"ops@" + std::string(63, 'x') + ".com", true},
      {"ops@" + std::string(64, 'x') + ".com", false},
      {at254, true},
      {at255, false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(context.IsValidEmailAddress(c.address), c.valid) << "\"" << c.address << "\"";
}

TEST(AppContext, SettingsEntriesRoundTrip) {
  MemoryAppContext context;
  auto settings = context.Settings();
  EXPECT_TRUE(settings->Item(Variant("SNMPProperties"))->Value().IsEmpty());
  settings->Item(Variant("SNMPProperties"))->SetValue(Variant("v1;256:2000:1:1"));
  EXPECT_EQ(settings->Item(Variant("snmpproperties"))->Value().ToString(), "v1;256:2000:1:1");
  EXPECT_EQ(context.Settings()->Item(Variant("SNMPPROPERTIES"))->Value().ToString(), "v1;256:2000:1:1");
  EXPECT_TRUE(settings->Item(Variant("EmailProperties"))->Value().IsEmpty());
  settings->Item(Variant("EmailProperties"))->SetValue(Variant(std::int32_t{5}));
  EXPECT_EQ(settings->Item(Variant("EmailProperties"))->Value().ToInt32(), 5);
  EXPECT_EQ(settings->Item(Variant("SNMPProperties"))->Value().ToString(), "v1;256:2000:1:1");
  EXPECT_THROW(settings->Item(Variant::Null()), Error);
}

TEST(AppContext, EventGroupsCursor) {
  MemoryAppContext context;
  EXPECT_EQ(context.GetEventGroups(), nullptr);
  EXPECT_EQ(context.EventTypes()->Count(), 0);
  EXPECT_EQ(context.EventTypes()->Item("x"), nullptr);

  context.SetEventGroups(std::vector<GroupRecord>{{Variant(std::int32_t{3}), Variant("Disk"), Variant("D")},
                                                  {Variant(std::int32_t{-1}), Variant::Null(), Variant::Null()}});
  auto groups = context.GetEventGroups();
  ASSERT_NE(groups, nullptr);
  EXPECT_EQ(groups->RecordCount(), 2);
  EXPECT_FALSE(groups->Eof());
  EXPECT_EQ(groups->Fields("Group_id").ToInt32(), 3);
  EXPECT_EQ(groups->Fields("GROUP_NAME").ToString(), "Disk");
  EXPECT_THROW(groups->Fields("Group_Colour"), Error);
  groups->MoveNext();
  EXPECT_TRUE(groups->Fields("Group_Name").IsNull());
  groups->MoveNext();
  EXPECT_TRUE(groups->Eof());
  EXPECT_THROW(groups->Fields("Group_id"), Error);
  EXPECT_THROW(groups->MoveNext(), Error);
  groups->Close();
  // Each call is a fresh cursor.
  auto again = context.GetEventGroups();
  EXPECT_FALSE(again->Eof());
  again->Close();
  EXPECT_TRUE(again->Eof());
  EXPECT_THROW(again->Fields("Group_id"), Error);
}

TEST(Runtime, EachThreadGetsItsOwnServices) {
  testing::ServiceScope scope;
  auto ui = GetUiServices();
  auto app = GetAppContext();
  EXPECT_EQ(ui, GetUiServices());  // made once per thread
  EXPECT_NE(dynamic_cast<DefaultUiServices*>(ui.get()), nullptr);
  EXPECT_NE(dynamic_cast<MemoryAppContext*>(app.get()), nullptr);
  std::shared_ptr<UiServices> otherUi;
  std::shared_ptr<AppContext> otherApp;
  std::shared_ptr<ControlLibrary> otherControls;
  std::thread worker([&] {
    otherUi = GetUiServices();
    otherApp = GetAppContext();
    otherControls = GetControlLibrary();
    ResetThreadServices();
  });
  worker.join();
  ASSERT_NE(otherUi, nullptr);
  EXPECT_NE(otherUi, ui);
  EXPECT_NE(otherApp, app);
  EXPECT_NE(otherControls, GetControlLibrary());
  // Settings written on one thread are not seen on the other.
  app->Settings()->Item(Variant("k"))->SetValue(Variant("mine"));
  EXPECT_TRUE(otherApp->Settings()->Item(Variant("k"))->Value().IsEmpty());
}

}  // namespace
}  // namespace quillmont
