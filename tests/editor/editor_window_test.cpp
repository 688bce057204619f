#include "apps/editor/editor_window.h"

#include "apps/editor/notification_list.h"
#include "apps/editor/send_test.h"
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/platform/error.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"
#include "store/delivery_settings.h"
#include "store/outbox.h"
#include "tests/editor/editor_test_support.h"
#include "tests/support/loopback_receivers.h"

#include <thread>

namespace quillmont::editor {
namespace {

namespace keys = ui::keys;
namespace shift = ui::shift;
using testing::Shows;

class EditorWindowTest : public testing::EditorFixture {};

TEST_F(EditorWindowTest, ARefusedValidityCheckShowsItsMessageAndStoresNothing) {
  EditorWindow window(screen, *store, store->NewDefinition("Nothing chosen"), session::StandardPages());
  ASSERT_TRUE(window.Open());
  terminal.Key('T', shift::Ctrl).ExpectText(" A test is sent from the SNMP or e-mail page  Ctrl+S save  Esc close ");
  terminal.Key(keys::PageDown, shift::Ctrl).Then([&] { EXPECT_EQ(window.ActiveKey(), "SNMP"); }).Key('S', shift::Ctrl);
  terminal.ExpectScreen("ed2_refused_save");  // "Please select event(s) for notification.", as an error
  terminal.Key(keys::Return).Then([&] {
    EXPECT_EQ(window.ActiveKey(), "Events");
    EXPECT_EQ(store->ListNotifications().size(), 2u);
    EXPECT_TRUE(window.Definition().IsNew());
  });
  terminal.Key('C', shift::Ctrl);
  window.Run();
  EXPECT_TRUE(window.Closed());
}

// On the settings screen (whose header marks a change) the default message
// takes \n for a line break and \\ for a backslash (any other stays as
// typed), says so, and an enterprise OID that cannot go out exactly is
// refused as it is entered.
TEST_F(EditorWindowTest, TheDeliverySettingsTakeEscapesAndRefuseAnOidThatCannotBeSent) {
  store::DeliverySettings settings;
  settings.defaultMessage = "x";
  settings.smtpPort = 2525;
  store::SaveDeliverySettings(*store, settings);
  // Up at the first field goes round to the last.
  terminal.ExpectScreen("delivery_settings").Key(keys::Up).Key(keys::Return).ExpectText("Keep deliveries (days):");
  terminal.Key(keys::Escape).Key(keys::Down).Key(keys::Down).Key(keys::Return).Type(".40").Key(keys::Return);
  terminal.ExpectScreen("ed2_oid_refused").Key(keys::Return);  // it cannot be sent
  for (int i = 0; i < 9; ++i) terminal.Key(keys::Down);
  terminal.ExpectText("\\n is a line break and \\\\ a backslash").Key(keys::Return).Key(keys::Back);
  terminal.Type("C:\\\\new\\nline \\x\\\\").Key(keys::Return).ExpectScreen("ed2_settings_changed");
  terminal.Key('S', shift::Ctrl).ExpectScreen("ed2_hints_settings_saved");
  // On a short terminal the last field scrolls into view; the retry schedule
  // is checked against its neighbours as it is entered.
  terminal.Then([&] { terminal.Resize(12, 80); }).Send(InputEvent::MakeResize());
  for (int i = 0; i < 8; ++i) terminal.Key(keys::Down);
  terminal.ExpectScreen("ed2_settings_scrolled").Key(keys::Return).Key(keys::Back).Key(keys::Back).Type("0");
  terminal.Key(keys::Return).ExpectScreen("ed2_keep_days_refused").Key(keys::Return);
  for (int i = 0; i < 5; ++i) terminal.Key(keys::Up);
  terminal.Key(keys::Return)
      .Key(keys::Back)
      .Key(keys::Back)
      .Type("700")
      .Key(keys::Return)
      .ExpectScreen("ed2_retry_refused");
  terminal.Key(keys::Return).Key(keys::Escape);
  EditDeliverySettings(screen, *store);
  settings = store::LoadDeliverySettings(*store);
  EXPECT_EQ(settings.defaultMessage, "C:\\new\nline \\x\\");  // an escape at the end too
  EXPECT_EQ(settings.snmpEnterprise, "1.3.6.1.4.1.32473.1");
  EXPECT_EQ(settings.keepDays, 30);
}

// Esc during a test send: the report comes within a second, whatever the
// server does (here it never answers the end of the message).
TEST_F(EditorWindowTest, EscStopsATestSendWithinASecond) {
  quillmont::testing::BadMailServer server(dir, "quiet-after-data");
  ASSERT_TRUE(server.Ready());
  store::DeliverySettings settings;
  settings.smtpServer = "127.0.0.1";
  settings.smtpPort = server.Port();
  store::SaveDeliverySettings(*store, settings);
  terminal.Resize(24, 100);
  EditorWindow window(screen, *store, store->OpenDefinition(1), session::StandardPages());
  ASSERT_TRUE(window.Open());
  terminal.Key(keys::PageUp, shift::Ctrl).Then([&] { EXPECT_EQ(window.ActiveKey(), "Email"); });  // round
  // The mail (to the selected row) is in the middle of its dialogue.
  terminal.Key('T', shift::Ctrl).Then([&] {
    EXPECT_TRUE(quillmont::testing::WaitUntil([&] { return !server.Recipients().empty(); }));
  });
  // The progress line is the whole bottom row (on a wide terminal too), reversed.
  terminal.ExpectText(" Esc stops it.").Check([](const Canvas& c) {
    EXPECT_EQ(c.At(23, 99).attrs, attr::Reverse | attr::Bold);
  });
  terminal.Key(keys::Escape).Then([] { std::this_thread::sleep_for(std::chrono::seconds(1)); });
  // F11 is read by the progress line if the send still runs, else by the report.
  terminal.Key(FunctionKey(11)).ExpectScreen("ed2_test_send_cancelled");
  terminal.Key(keys::Return).Key(keys::Escape);
  window.Run();
}

TEST_F(EditorWindowTest, AClosedTerminalEndsTheWindowWithoutQuestions) {
  EditorWindow window(screen, *store, store->OpenDefinition(2), session::StandardPages());
  ASSERT_TRUE(window.Open());
  terminal.Alt('2').Alt('n').Type("gone.example").Then([&] { EXPECT_TRUE(window.Changed()); });
  window.Run();  // the script ends: the terminal reports itself closed
  EXPECT_TRUE(window.Closed());
  EXPECT_EQ(store->ReadNotification(2).managers.size(), 1u);
}

// A page whose outside component fails, to see the editor carry on.
class FaultyPage : public ui::UserControl, public IFolioControl {
 public:
  explicit FaultyPage(bool failLoad) : ui::UserControl("Faulty"), failLoad_(failLoad) {
    auto button = Add<ui::CommandButton>("cmdBoom", "&Boom");
    button->Move(120, 240, 1200, 300);
    button->Click.Connect([] { throw Error(ErrorCode::Failed, "The outside component broke."); });
  }
  bool HandleTabProcess(const std::string&) override { return false; }
  bool IsTabValid(const std::string&) override { return true; }
  void LoadState() override {}
  void SaveData() override {}
  void LoadData(const Variant&, const std::string&, std::shared_ptr<TabHost>) override {
    if (failLoad_) throw Error(ErrorCode::TypeMismatch, "Type mismatch in LoadData.");
  }
  void SaveState() override {}

 private:
  bool failLoad_;
};

TEST_F(EditorWindowTest, ErrorsOfPanelsAreShownAndTheEditorGoesOn) {
  std::vector<session::PageDescriptor> pages = {
      {"Faulty", "Faulty", [] { return std::make_shared<FaultyPage>(false); }}};
  EditorWindow window(screen, *store, store->OpenDefinition(1), pages);
  ASSERT_TRUE(window.Open());
  terminal.Alt('b').ExpectScreen("ed2_error_of_a_page").Key(keys::Return);
  terminal.Then([&] { EXPECT_FALSE(window.Closed()); }).Alt('b').ExpectText("Quillmont Editor");
  terminal.Key(keys::Return).Key(FunctionKey(10));
  window.Run();
  EXPECT_TRUE(window.Closed());

  std::vector<session::PageDescriptor> broken = {
      {"Faulty", "Faulty", [] { return std::make_shared<FaultyPage>(true); }}};
  EditorWindow refused(screen, *store, store->OpenDefinition(1), broken);
  terminal.ExpectScreen("ed2_page_not_opened").Key(keys::Return);
  EXPECT_FALSE(refused.Open());
  // A window with no page to show closes at the first key.
  EditorWindow empty(screen, *store, store->OpenDefinition(1), {});
  EXPECT_FALSE(empty.Open());
  empty.HandleEvent(InputEvent::MakeKey('x'));
  EXPECT_TRUE(empty.Closed());
}

TEST_F(EditorWindowTest, TheListOpensCreatesAndDeletesNotifications) {
  const store::Destination mail{store::Destination::Kind::Mail, "", 0, "", "", "a@example.org", "s", "m"};
  store::RecordEvent(store->Db(), {"node.down", "Node Down", "r1", "m", store::NowMs()}, {{1, 1, "C", mail}});
  store->Db().Exec("UPDATE deliveries SET updated = 1600000000000");  // in September 2020
  terminal.Resize(24, 200);
  NotificationListScreen list(screen, store, session::StandardPages(), "q.db");
  // Wide and whole; a click chooses a row, the wheel below them moves the choice; D shows the deliveries.
  terminal.ExpectScreen("ed2_hints_list_wide").Send(InputEvent::MakeClick(4, 9)).Type("d");
  terminal.ExpectText("Nothing was sent for this notification yet.").Key(keys::Escape);
  terminal.Send(InputEvent::MakeClick(20, 9, InputEvent::Button::WheelUp)).Type("d");
  terminal.ExpectText("Deliveries of \"Core network outage\"").ExpectText("queued: e-mail to a@example.org");
  // Another program writing: the wait shows, and Esc ends it.
  auto other = store::Store::Open(dir.File("q.db"));
  other->Db().BeginWrite();
  terminal.Key(keys::Escape).ExpectText("Server room environment").Key(keys::Delete).Type("y");
  terminal.ExpectScreen("ed2_waiting_for_a_writer").Key(keys::Escape);
  terminal.ExpectText("in use by another program").Key(keys::Return).Then([&] { other->Db().Rollback(); });
  terminal.Key(keys::Delete).ExpectScreen("ed2_delete_question").Type("n");
  terminal.Then([&] { EXPECT_EQ(store->ListNotifications().size(), 2u); }).Key(keys::Delete).Type("y");
  // New, with no name first.
  terminal.Type("n").ExpectScreen("ed2_new_name").Key(keys::Return);
  terminal.ExpectText("Please enter a name for the notification.").Key(keys::Return).Type("Disk space");
  terminal.Key(keys::Return).ExpectScreen("ed2_hints_new_notification").Key(keys::Escape);
  terminal.ExpectText("Server room environment").Then([&] { terminal.Resize(5, 30); }).Alt('q');
  terminal.Type("q").Key(keys::Escape);  // ignored while too small; then the terminal closes
  list.Run();
  EXPECT_TRUE(list.Done());
  EXPECT_EQ(store->ListNotifications().size(), 1u);  // one deleted, the new one never saved
}

// Pastes arrive as one insertion; a field's limit is said, not cut silently;
// "<Default>" is replaced by what is typed in the Message as in the Subject.
TEST_F(EditorWindowTest, PastesAndTypingKeepToTheFieldsAndSayTheirLimits) {
  EditorWindow window(screen, *store, store->OpenDefinition(1), session::StandardPages());
  ASSERT_TRUE(window.Open());
  auto email = [&] { return dynamic_cast<XEventEmailTab*>(&window.ActivePanel()); };
  auto snmp = [&] { return dynamic_cast<XEventSNMPTab*>(&window.ActivePanel()); };
  std::string subject;
  // The Host's 128 characters less what it keeps (its selection replaced):
  // as much is taken, and a longer paste says it was cut.
  terminal.Send(InputEvent::MakeClick(1, 24)).Alt('n');  // on the last cell of the tab's caption
  struct Near {
    std::size_t had;
    bool selected;
    std::size_t pasted;
  };
  for (const Near& c : {Near{0, false, 128}, Near{0, false, 129}, Near{120, false, 8}, Near{120, false, 9},
                        Near{120, true, 128}, Near{120, true, 129}}) {
    terminal.Alt('h').Key(keys::Delete);  // Alt selects all the field holds
    if (c.had > 0) terminal.Send(InputEvent::MakePaste(std::string(c.had, 'a')));
    if (c.selected) terminal.Alt('h');
    terminal.Send(InputEvent::MakePaste(std::string(c.pasted, 'p'))).Check([&, c](const Canvas& canvas) {
      const std::size_t kept = c.selected ? 0 : c.had, taken = std::min<std::size_t>(c.pasted, 128 - kept);
      EXPECT_EQ(snmp()->txtHost().Text(), std::string(kept, 'a') + std::string(taken, 'p'));
      EXPECT_EQ(Shows(canvas, "Host: at most 128 characters: the paste was cut"), c.pasted > taken) << c.pasted;
    });
  }
  terminal.Type("x").ExpectText(" Host: at most 128 characters  Ctrl+S save  Esc close  F6 page ");
  // A box the page leaves untitled is titled as its own boxes about entries.
  terminal.Alt('p').Type("99999").Alt('a').ExpectScreen("ed2_port_refused");
  terminal.Key(keys::Return);
  // Alt+T is the Message's Reset: "<Default>".
  // The text is selected as the field is entered, not as the caret moves in it.
  terminal.Send(InputEvent::MakeClick(1, 26)).Alt('t').Key(keys::End).Type("!").Then([&] {
    EXPECT_EQ(email()->txtMessage().Text(), "<Default>!");
  });
  // Reset from another field, and from within the Message itself.
  terminal.Alt('s').Alt('t').Type("Hi").Alt('t').Type("Hi").Then(
      [&] { EXPECT_EQ(email()->txtMessage().Text(), "Hi"); });
  terminal.Send(InputEvent::MakePaste("\r\none\ntwo\rthree\tfour\x01\r")).Then([&] {
    EXPECT_EQ(email()->txtMessage().Text(), "Hi\r\none\r\ntwo\r\nthree\tfour\r\n");
  });
  terminal.Send(InputEvent::MakePaste(std::string(70000, 'm'))).ExpectText("Message: at most 65536 characters");
  terminal.Then([&] { EXPECT_EQ(email()->txtMessage().Text().size(), 65536u); });
  terminal.Alt('s').Then([&] { subject = email()->txtSubject().Text(); });
  terminal.Send(InputEvent::MakePaste("two\nlines"))
      .ExpectText(" A line break cannot be pasted into a one-line field: nothing was past… F1 help");
  terminal.Then([&] { terminal.Resize(24, 210); }).Send(InputEvent::MakePaste("tab\there"));
  terminal.ExpectScreen("ed2_hints_tab_note");
  terminal.Then([&] { EXPECT_EQ(email()->txtSubject().Text(), subject); });
  terminal.Key(keys::Escape).Type("d").Type("n");  // the host not applied
  window.Run();
  EXPECT_TRUE(window.Closed());
}

}  // namespace
}  // namespace quillmont::editor
