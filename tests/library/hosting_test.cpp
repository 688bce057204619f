// What a host developer relies on: a failed load mixes no definitions, errors
// reach the host as Error, the defaults can be fed, the runtime's thread rules
// hold, and a host that owns its pages can let them go.
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "quillmont/definitions/members.h"
#include "quillmont/definitions/notification_definition.h"
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/framework/runtime.h"
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
// completes: each failed load shows none of A's rows, SaveData refuses, and
// loading B again recovers. `rows` counts what the page shows.
template <class Panel, class Rows>
void FailedLoadsOf(const char* key, Rows rows) {
  auto panel = Panel::Create();
  auto host = std::make_shared<RecordingTabHost>();
  auto a = Stored("a");
  auto b = Stored("b");
  auto plan = std::make_shared<FaultPlan>();
  auto faultyB = std::make_shared<FaultyNotificationDefinition>(b, plan);
  for (int n = 1;; ++n) {
    panel->LoadData(Variant(a), key, host);
    ASSERT_EQ(rows(*panel), 1);
    plan->FailOnCall(n);
    EXPECT_NO_THROW(try { panel->LoadData(Variant(faultyB), key, host); } catch (const Error&){});
    if (!plan->Fired()) break;
    EXPECT_EQ(rows(*panel), 0) << key << " failing on " << plan->Log().back();
    try {
      panel->SaveData();
      ADD_FAILURE() << "SaveData after a failed load";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("last LoadData failed"), std::string::npos) << e.what();
    }
    panel->LoadData(Variant(b), key, host);  // the next load recovers
    EXPECT_EQ(rows(*panel), 1);
    panel->SaveData();
  }
  plan->Disarm();
  EXPECT_EQ(b->SnmpManagers()->Manager(1)->Host(), "b.example");
  EXPECT_EQ(b->EmailRecipients()->Item(1)->ColumnText(1), "b@example.net");
}

TEST(Hosting, AFailedLoadShowsAndSavesNothingOfTheDefinitionBefore) {
  FailedLoadsOf<XEventSNMPTab>("SNMP", [](XEventSNMPTab& p) { return p.stl().RowCount(); });
  FailedLoadsOf<XEventEmailTab>("Email", [](XEventEmailTab& p) { return p.stl().RowCount(); });

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

// Parts of a definition that fail the way foreign code does.
class ForeignFailure : public BasicNotificationDefinition {
 public:
  explicit ForeignFailure(int kind) : kind_(kind) {}
  void LoadSnmpDetails() override {
    if (kind_ == 0) throw std::out_of_range("row 7 is not there");
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
      if (kind == 0) {
        EXPECT_STREQ(e.what(), "row 7 is not there");
      }
    }
  }
  std::thread([&] { EXPECT_THROW(panel->IsTabValid("Notification"), Error); }).join();
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
  ResetFactories();
}

// A host that owns its page and is also its tab container.
struct OwningHost : TabHost {
  void MarkChanged() override {}
  void SelectTab(std::string&) override {}
  std::shared_ptr<XEventSNMPTab> page = XEventSNMPTab::Create();
};

TEST(Hosting, LoadingNothingUnbindsSoAnOwningHostIsFreed) {
  std::weak_ptr<OwningHost> gone;
  {
    auto host = std::make_shared<OwningHost>();
    gone = host;
    host->page->LoadData(Variant(Stored("a")), "SNMP", host);
    host->page->LoadData(Variant(), "", nullptr);
    EXPECT_EQ(host->page->cdtnNotify(), nullptr);
    EXPECT_EQ(host->page->stl().RowCount(), 0);
    EXPECT_THROW(host->page->SaveData(), Error);
  }
  EXPECT_TRUE(gone.expired());  // LeakSanitizer checks the rest under ASan
}

}  // namespace
}  // namespace quillmont
