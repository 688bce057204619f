// What a host developer relies on: a failed load mixes no definitions, errors
// reach the host as Error, the defaults can be fed, the runtime's thread rules
// hold, and a host that owns its pages can let them go.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <thread>

#include "quillmont/definitions/members.h"
#include "quillmont/definitions/notification_definition.h"
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/services/app_context.h"
#include "quillmont/services/message_service.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"
#include "tests/support/fault_injection.h"
#include "tests/support/panel_fixture.h"
#include "tests/support/test_host.h"

namespace quillmont {
namespace {

using testing::FaultPlan;
using testing::FaultyNotificationDefinition;
using testing::RecordingTabHost;

// A stored definition with one manager and one recipient named after `name`.
std::shared_ptr<BasicNotificationDefinition> Stored(const std::string& name) {
  return testing::StoredDefinition({name + ".example:162"}, {name + "@example.net"});
}

// Loads A, then B failing on its definition's call 1, 2, 3, ... until the load
// completes: each failed load shows nothing of A or B (`shown` gives the
// rows and texts on the page), its entry field is closed (typing and Enter
// there do nothing and raise nothing), SaveData refuses, and loading B
// again recovers.
template <class Panel, class Shown, class Entry>
void FailedLoadsOf(const char* key, Shown shown, Entry entry) {
  auto panel = Panel::Create();
  ui::Driver user(*panel);
  auto host = std::make_shared<RecordingTabHost>();
  auto a = Stored("a");
  auto b = Stored("b");
  b->SetEmailSubject("Subject of B");
  auto plan = std::make_shared<FaultPlan>();
  auto faultyB = std::make_shared<FaultyNotificationDefinition>(b, plan);
  for (int n = 1;; ++n) {
    panel->LoadData(Variant(a), key, host);
    ASSERT_NE(shown(*panel), "0");
    plan->FailOnCall(n);
    EXPECT_NO_THROW(try { panel->LoadData(Variant(faultyB), key, host); } catch (const Error&){});
    if (!plan->Fired()) break;
    EXPECT_EQ(shown(*panel), "0") << key << " failing on " << plan->Log().back();
    EXPECT_EQ(panel->Definition(), nullptr);
    EXPECT_FALSE(user.TypeInto(entry(*panel), "x@b.example"));
    EXPECT_NO_THROW(user.PressKey(ui::keys::Return));
    try {
      panel->SaveData();
      ADD_FAILURE() << "SaveData after a failed load";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("last LoadData failed"), std::string::npos) << e.what();
    }
    panel->LoadData(Variant(b), key, host);  // the next load recovers
    EXPECT_NE(shown(*panel), "0");
    panel->SaveData();
  }
  plan->Disarm();
  EXPECT_EQ(b->SnmpManagers()->Manager(1)->Host(), "b.example");
  EXPECT_EQ(b->EmailRecipients()->Item(1)->ColumnText(1), "b@example.net");
}

TEST(Hosting, AFailedLoadShowsAndSavesNothingOfTheDefinitionBefore) {
  FailedLoadsOf<XEventSNMPTab>(
      "SNMP",
      [](XEventSNMPTab& p) { return std::to_string(p.stl().RowCount()) + p.txtHost().Text() + p.txtPort().Text(); },
      [](XEventSNMPTab& p) -> ui::TextBox& { return p.txtHost(); });
  FailedLoadsOf<XEventEmailTab>(
      "Email",
      [](XEventEmailTab& p) {
        return std::to_string(p.stl().RowCount()) + p.txtSubject().Text() + p.txtMessage().Text() +
               p.txtAddress().Text();
      },
      [](XEventEmailTab& p) -> ui::TextBox& { return p.txtAddress(); });

  // A stored definition without an e-mail part, or without recipients, shows
  // none of the recipients or texts loaded before.
  auto panel = XEventEmailTab::Create();
  auto noEmail = Stored("c");
  noEmail->SetHasEmail(false);
  auto noRecipients = Stored("d");
  noRecipients->SetEmailRecipients(nullptr);
  for (const auto& d : {noEmail, noRecipients}) {
    auto a = Stored("a");
    a->SetEmailSubject("Subject of A");
    panel->LoadData(Variant(a), "Email", nullptr);
    panel->LoadData(Variant(d), "Email", nullptr);
    EXPECT_EQ(panel->stl().RowCount(), 0);
    EXPECT_NE(panel->txtSubject().Text(), "Subject of A");
    EXPECT_EQ(panel->txtAddress().Text(), "");
  }

  // The events page lets go of the chosen event types of the definition before.
  auto catalogue = std::make_shared<BasicEventTypeCollection>();
  catalogue->Add(std::make_shared<BasicEventType>("E1", "Node down", 0));
  auto context = std::make_shared<MemoryAppContext>();
  context->SetEventTypes(catalogue);
  SetThreadAppContext(context);
  auto events = XEventsTab::Create();
  auto plan = std::make_shared<FaultPlan>();
  auto faulty = std::make_shared<FaultyNotificationDefinition>(Stored("b"), plan);
  for (int n = 1;; ++n) {
    events->LoadData(Variant(std::make_shared<BasicNotificationDefinition>()), "Events", nullptr);
    events->xEvents().ChooseItem("E1");
    ASSERT_EQ(events->xEvents().ChosenItems()->Count(), 1);
    plan->FailOnCall(n);
    try {
      events->LoadData(Variant(faulty), "Events", nullptr);
    } catch (const Error&) {
    }
    if (!plan->Fired()) break;
    EXPECT_EQ(events->xEvents().ChosenItems()->Count(), 0);
    EXPECT_THROW(events->SaveData(), Error);
  }
  SetThreadAppContext(nullptr);
}

// A stored list whose second manager cannot be read, and a choice of event
// types whose second cannot.
struct BrokenManagers : BasicSnmpManagerList {
  std::shared_ptr<SnmpManager> Manager(int position) const override {
    if (position == 2) throw std::runtime_error("row 2 is unreadable");
    return BasicSnmpManagerList::Manager(position);
  }
};
struct BrokenChoice : BasicEventTypeCollection {
  using BasicEventTypeCollection::BasicEventTypeCollection;
  std::shared_ptr<EventType> ItemAt(int position) const override {
    if (position == 2) throw std::runtime_error("event type 2 is unreadable");
    return BasicEventTypeCollection::ItemAt(position);
  }
};
struct BrokenDefinition : BasicNotificationDefinition {
  std::shared_ptr<EventTypeCollection> StoredEventTypes() const override { return choice; }
  std::shared_ptr<EventTypeCollection> choice;
};

// A load that fails part way through B's rows or chosen event types shows
// none of them and leaves no object of B to edit, until a load succeeds.
TEST(Hosting, AFailedLoadLeavesNothingOfTheDefinitionToEdit) {
  testing::ServiceScope scope;
  auto b = std::make_shared<BrokenDefinition>();
  b->SetIsNew(false);
  b->SetHasSnmp(true);
  auto managers = std::make_shared<BrokenManagers>();
  for (const char* host : {"b1.example", "b2.example"}) {
    auto manager = std::make_shared<BasicSnmpManager>();
    manager->Init("B", host, 162, "SNMP v1", "UTC");
    managers->Add(manager);
  }
  b->SetSnmpManagers(managers);
  auto catalogue = std::make_shared<BasicEventTypeCollection>();
  for (const char* key : {"LINK_1", "LINK_2"}) catalogue->Add(std::make_shared<BasicEventType>(key, key, 0));
  auto context = std::make_shared<MemoryAppContext>();
  context->SetEventTypes(catalogue);
  SetThreadAppContext(context);
  b->choice = std::make_shared<BrokenChoice>(
      std::vector<std::shared_ptr<EventType>>{catalogue->ItemAt(1), catalogue->ItemAt(2)});

  auto snmp = XEventSNMPTab::Create();
  ui::Driver atSnmp(*snmp);
  EXPECT_THROW(snmp->LoadData(Variant(b), "SNMP", nullptr), Error);
  EXPECT_EQ(snmp->stl().Items()->Count(), 0);
  EXPECT_FALSE(atSnmp.TypeInto(snmp->txtHost(), "edited.example"));
  EXPECT_EQ(managers->Item(1)->ColumnText(snmp_columns::Host), "b1.example");

  auto events = XEventsTab::Create();
  ui::Driver atEvents(*events);
  auto a = std::make_shared<BasicNotificationDefinition>();
  EXPECT_THROW(events->LoadData(Variant(b), "Events", nullptr), Error);
  EXPECT_EQ(events->xEvents().ChosenItems()->Count(), 0);
  EXPECT_FALSE(atEvents.ClickRow(events->xEvents().AvailableList(), 0));
  events->LoadData(Variant(a), "Events", nullptr);  // a good load opens the page again
  EXPECT_TRUE(atEvents.ClickRow(events->xEvents().AvailableList(), 0));
  SetThreadAppContext(nullptr);
}

// A host's own error type, and parts of a definition that fail the way
// foreign code does.
struct HostDbError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
class ForeignFailure : public BasicNotificationDefinition {
 public:
  explicit ForeignFailure(int kind) : kind_(kind) {}
  void LoadSnmpDetails() override {
    if (kind_ == 0) throw HostDbError("row 7 is not there");
    throw 7;
  }

 private:
  int kind_;
};

TEST(Hosting, ErrorsReachTheHostAsErrorAndPagesStayOnTheirThread) {
  auto panel = XEventSNMPTab::Create();
  for (int kind : {0, 1}) {
    try {
      panel->LoadData(Variant(std::make_shared<ForeignFailure>(kind)), "SNMP", nullptr);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_EQ(e.Code(), ErrorCode::Failed);
      // The host's own exception stays reachable with its type.
      if (kind == 0) {
        EXPECT_STREQ(e.what(), "row 7 is not there");
        EXPECT_THROW(std::rethrow_if_nested(e), HostDbError);
      } else {
        EXPECT_THROW(std::rethrow_if_nested(e), int);
      }
    } catch (...) {
      ADD_FAILURE() << "not an Error";
    }
  }
  auto def = testing::NewDefinition();
  panel->LoadData(Variant(def), "SNMP", nullptr);
  std::thread([&] {
    EXPECT_THROW(panel->IsTabValid("Notification"), Error);
    ui::Driver user(*panel);  // each of the user's gestures is refused there too
    for (const std::function<void()>& gesture : std::vector<std::function<void()>>{
             [&] { user.Focus(panel->txtHost()); }, [&] { user.Type("n"); }, [&] { user.ClearText(); },
             [&] { user.Paste("n"); }, [&] { user.KeyDown(ui::keys::Down); }, [&] { user.KeyPress('n'); },
             [&] { user.KeyUp(ui::keys::Down); }, [&] { user.AccessKey('N'); }, [&] { user.Click(panel->cmdNew()); },
             [&] { user.ChooseIndex(panel->cboVersion(), 0); }, [&] { user.SelectRows(panel->stl(), {}); },
             [&] { user.ContextMenu(panel->stl()); }, [&] { user.ChooseMenuItem("New"); }})
      EXPECT_THROW(gesture(), Error);
  }).join();
  EXPECT_EQ(panel->txtHost().Text(), "");
  EXPECT_TRUE(panel->IsTabValid("Notification"));

  // New factories reach a thread that already used the old ones; objects the
  // host put in place stay.
  ResetThreadServices();
  const auto before = GetMessageService();
  auto mine = std::make_shared<ConsoleMessageService>();
  ComponentFactories factories;
  factories.messageService = [&] { return mine; };
  InstallFactories(factories);
  EXPECT_EQ(GetMessageService(), mine);
  auto placed = std::make_shared<ConsoleMessageService>();
  SetThreadMessageService(placed);
  ResetFactories();
  EXPECT_EQ(GetMessageService(), placed);
  ResetThreadServices();
  EXPECT_NE(GetMessageService(), mine);
  factories.messageService = [] { return std::shared_ptr<MessageService>(); };
  InstallFactories(factories);
  EXPECT_THROW(GetMessageService(), Error);
  ResetFactories();
}

TEST(Hosting, TheDefaultContextIsFedThroughItsFactory) {
  auto catalogue = std::make_shared<BasicEventTypeCollection>();
  catalogue->Add(std::make_shared<BasicEventType>("E1", "Node down", 1));
  auto settings = std::make_shared<MemorySettings>();
  ComponentFactories factories;
  factories.appContext = [&] {
    auto context = std::make_shared<MemoryAppContext>();
    context->SetEventTypes(catalogue);
    context->SetEventGroups(std::vector<GroupRecord>{{Variant(1), Variant("Node"), Variant("NODE")}});
    context->SetSettings(settings);
    return context;
  };
  InstallFactories(factories);
  auto events = XEventsTab::Create();
  events->LoadData(Variant(std::make_shared<BasicNotificationDefinition>()), "Events", nullptr);
  EXPECT_EQ(events->xEvents().AvailableItems()->Count(), 1);
  events->xEvents().ChooseItem("E1");
  EXPECT_TRUE(events->IsTabValid("Notification"));
  auto snmp = XEventSNMPTab::Create();
  snmp->SaveState();
  EXPECT_TRUE(settings->Contains("SNMPProperties"));

  // A definition of the host's own keeps its choice for the next load.
  auto own = std::make_shared<BasicNotificationDefinition>();
  own->SetIsNew(false);
  events->LoadData(Variant(own), "Events", nullptr);
  events->xEvents().ChooseItem("E1");
  events->SaveData();
  auto again = XEventsTab::Create();
  again->LoadData(Variant(own), "Events", nullptr);
  EXPECT_EQ(again->xEvents().ChosenItems()->Count(), 1);
  EXPECT_TRUE(again->IsTabValid("Notification"));

  // One settings store may serve every thread's context.
  auto write = [&](int id) {
    for (int i = 0; i < 2000; ++i) {
      settings->Item(Variant("key" + std::to_string(id) + "." + std::to_string(i)))->SetValue(Variant(i));
      settings->Item(Variant("EmailProperties"))->SetValue(settings->Item(Variant("SNMPProperties"))->Value());
    }
  };
  std::thread other(write, 1);
  write(2);
  other.join();
  EXPECT_EQ(settings->Size(), 4002u);
  ResetFactories();
}

// A host that owns its page and is also its tab container.
struct OwningHost : TabHost {
  void MarkChanged() override {}
  void SelectTab(std::string&) override {}
  std::shared_ptr<XEventSNMPTab> page = XEventSNMPTab::Create();
};

// The page does not own its container: a host that owns its page is freed
// without unbinding, and a page that outlives its container stops telling
// it. Loading nothing still unbinds.
TEST(Hosting, AnOwningHostIsFreedWithoutUnbinding) {
  std::weak_ptr<OwningHost> gone;
  std::weak_ptr<XEventSNMPTab> page;
  std::shared_ptr<XEventSNMPTab> kept;
  for (bool keepPage : {false, true}) {
    auto host = std::make_shared<OwningHost>();
    gone = host;
    page = host->page;
    host->page->LoadData(Variant(testing::NewDefinition()), "SNMP", host);
    EXPECT_EQ(host->page->cdtnNotify(), host);
    if (keepPage) kept = host->page;
    host.reset();
    EXPECT_TRUE(gone.expired());
    EXPECT_EQ(page.expired(), !keepPage);
  }
  EXPECT_EQ(kept->cdtnNotify(), nullptr);
  ui::Driver user(*kept);
  EXPECT_TRUE(user.Click(kept->cmdNew()));  // tells nobody
  kept->LoadData(Variant(Stored("a")), "SNMP", std::make_shared<RecordingTabHost>());
  kept->LoadData(Variant(), "", nullptr);
  EXPECT_EQ(kept->stl().RowCount(), 0);
  EXPECT_THROW(kept->SaveData(), Error);
}

}  // namespace
}  // namespace quillmont
