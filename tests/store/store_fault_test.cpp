// A save interrupted by a killed process, two connections saving the same
// notification in every order, and a save, an import and a copy failing at
// any call of the statement layer: never a half-written or silently
// overwritten notification.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>

#include "quillmont/definitions/members.h"
#include "store/copy.h"
#include "store/definition_store.h"
#include "store/notification_io.h"
#include "store/pg_db.h"
#include "store/seed.h"
#include "tests/store/backends.h"
#include "tests/store/faulty_database.h"

namespace quillmont::store {
namespace {

using quillmont::testing::TempDir;

std::shared_ptr<SnmpManagerList> ManyManagers(int count) {
  std::vector<std::pair<std::string, int>> entries;
  for (int i = 0; i < count; ++i) entries.emplace_back("host" + std::to_string(i) + ".example.net", 162);
  return Managers(entries);
}

TEST(StoreFaults, AProcessKilledInTheMiddleOfASaveLeavesTheOldDefinition) {
  TempDir dir;
  const std::string path = dir.File("q.db");
  std::int32_t id = 0;
  std::string before;  // every notification, as an export writes it
  {
    auto store = Store::Open(path);
    SeedDatabase(*store);
    id = store->ListNotifications().front().id;
    before = ExportAllJson(*store);
  }

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    try {
      auto store = Store::Open(path);
      auto def = store->OpenDefinition(id);
      def->SetName("Never saved");
      def->SetSnmpManagers(ManyManagers(2000));
      def->SetEmailRecipients(std::make_shared<BasicEmailRecipientList>());
      store->onSaveStep = [&](const char* step) {
        if (std::string(step) != "email") return;
        // Half of the save is written: tell the parent and wait to be killed.
        const char x = 'x';
        if (write(ready[1], &x, 1) != 1) _exit(3);
        for (;;) pause();
      };
      store->Save(*def);
    } catch (...) {
    }
    _exit(2);
  }
  close(ready[1]);
  char x = 0;
  ASSERT_EQ(read(ready[0], &x, 1), 1) << "the child never reached the middle of its save";
  close(ready[0]);
  kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

  auto store = Store::Open(path);
  Statement check = store->Db().Prepare("PRAGMA integrity_check");
  ASSERT_TRUE(check.Step());
  EXPECT_EQ(check.Text(0), "ok");
  EXPECT_EQ(ExportAllJson(*store), before);
}

// Two editors, in every order of open, edit and save: both edits are kept,
// or the later save is refused and writes nothing. Upper case opens
// notification 1 and adds a recipient; lower case saves.
// On a file and on a server: the rule is the store's, not the backend's.
class Revisions : public BackendTest {};
QM_ON_BOTH_BACKENDS(Revisions);

TEST_P(Revisions, EveryInterleavingOfTwoEditorsKeepsBothEditsOrRefusesOne) {
  int interleavings = 0;
  std::string events = "ABab";  // the first permutation in sort order
  do {
    if (events.find('A') > events.find('a') || events.find('B') > events.find('b')) continue;
    SCOPED_TRACE(events);
    ++interleavings;
    const std::string location = NewLocation();
    std::map<char, std::shared_ptr<Store>> stores{{'a', Store::Open(location)}};
    SeedDatabase(*stores['a']);
    stores['b'] = Store::Open(location);
    std::map<char, std::shared_ptr<StoredDefinition>> open;
    std::map<char, bool> refused;
    for (char e : events) {
      const char who = static_cast<char>(std::tolower(e));
      if (e == who) {
        try {
          stores[who]->Save(*open[who]);
        } catch (const SaveRefused& refusal) {
          EXPECT_EQ(refusal.Why(), SaveRefused::Reason::ChangedMeanwhile);
          // What Overwrite would replace is named: the other's three rows.
          EXPECT_NE(std::string(refusal.what()).find("differs from yours: the e-mail recipients (theirs: 3)."),
                    std::string::npos)
              << refusal.what();
          refused[who] = true;
        }
        continue;
      }
      auto& d = open[who] = stores[who]->OpenDefinition(1);
      d->LoadEmailDetails();
      auto list = std::make_shared<BasicEmailRecipientList>();
      for (int i = 1; i <= d->EmailRecipients()->Count(); ++i) list->Add(d->EmailRecipients()->Recipient(i));
      auto mine = std::make_shared<BasicEmailRecipient>();
      mine->Init(Variant(), std::string("from-") + e, Variant());
      list->Add(mine);
      d->SetEmailRecipients(list);
    }
    // Reference: the later save is refused exactly when both opened before
    // the first save.
    const auto firstSave = std::min(events.find('a'), events.find('b'));
    EXPECT_EQ(refused['a'] || refused['b'], events.find('A') < firstSave && events.find('B') < firstSave);
    const auto stored = stores['a']->ReadNotification(1).recipients;
    for (char who : {'a', 'b'})
      EXPECT_EQ(std::count(stored.begin(), stored.end(), std::string("from-") + static_cast<char>(std::toupper(who))),
                refused[who] ? 0 : 1);
  } while (std::next_permutation(events.begin(), events.end()));
  EXPECT_EQ(interleavings, 6);
}

// A store of a few rows over a database that fails the plan's armed call.
std::shared_ptr<Store> FaultyStore(const std::string& location, std::shared_ptr<testing::FaultPlan> plan) {
  OpenedDatabase opened = IsServerUri(location) ? OpenServerDatabase(location) : OpenDatabase(location);
  opened.db = std::make_shared<FaultyDatabase>(std::move(opened.db), std::move(plan));
  return std::make_shared<Store>(std::move(opened));
}

constexpr const char* kTwoNotifications = R"({"formatVersion": 1, "notifications": [
  {"name": "Outage", "eventTypes": ["node.down"], "emailRecipients": ["noc@example.net"],
   "snmpManagers": [{"host": "nms.example.net", "port": 162, "version": "SNMP v2c", "timeFormat": "UTC"}]},
  {"name": "Recovery", "eventTypes": ["node.up", "node.down"]}]})";
// Replaces the first, creates one and prunes the second.
constexpr const char* kChanges = R"({"formatVersion": 1, "notifications": [
  {"name": "OUTAGE", "eventTypes": ["node.up"], "emailSubject": "Down",
   "emailRecipients": ["noc@example.net", "oncall@example.net"]},
  {"name": "Flapping", "number": 7, "eventTypes": ["node.down"],
   "snmpManagers": [{"host": "192.0.2.1", "port": 1162, "version": "SNMP v1", "timeFormat": "UNIX"}]}]})";

// Fail call 1, 2, 3, ... of each operation until it completes: each failure
// reaches the caller and leaves every notification as the export showed it.
class StatementFaults : public BackendTest {};
QM_ON_BOTH_BACKENDS(StatementFaults);

TEST_P(StatementFaults, ASaveAnImportAndACopyFailingAtAnyCallWriteNothing) {
  auto plan = std::make_shared<testing::FaultPlan>();
  auto store = FaultyStore(NewLocation(), plan);
  store->Db().Exec(
      "INSERT INTO event_groups(Group_id, Group_Name, Group_Label) VALUES (1, 'Nodes', 'NODE');"
      "INSERT INTO event_types(type_key, name, group_id) VALUES ('node.down', 'Node Down', 1), ('node.up', 'Node Up', "
      "1)");
  ImportJson(*store, kTwoNotifications, {});
  std::string before = ExportAllJson(*store);
  auto unchanged = [&](int) { EXPECT_EQ(ExportAllJson(*store), before); };

  std::shared_ptr<StoredDefinition> d;
  auto edit = [&] {
    d = store->OpenDefinition(1);
    d->SetName("Outage, renamed");
    d->SetEmailSubject(std::string("Alarm"));
    d->SetSnmpManagers(ManyManagers(3));
    d->SetEmailRecipients(std::make_shared<BasicEmailRecipientList>());
  };
  // A save is some ten statements: each of them fails in turn.
  EXPECT_GT(testing::FailEachCallInTurn(
                *plan, edit, [&] { store->Save(*d); }, unchanged),
            8);
  EXPECT_EQ(store->ReadNotification(1).managers.size(), 3u);

  before = ExportAllJson(*store);
  ImportOptions prune;
  prune.prune = true;
  testing::FailEachCallInTurn(
      *plan, [] {}, [&] { ImportJson(*store, kChanges, prune); }, unchanged);
  EXPECT_EQ(ExportAllJson(*store).find("Recovery"), std::string::npos);
  EXPECT_EQ(store->ReadNotification(7).managers.at(0).port, 1162);

  before = ExportAllJson(*store);
  auto target = FaultyStore(NewLocation(), plan);
  const std::string empty = DumpTables(*target);
  testing::FailEachCallInTurn(
      *plan, [] {}, [&] { CopyStore(*store, *target); },
      [&](int call) {
        unchanged(call);
        EXPECT_EQ(DumpTables(*target), empty);
      });
  EXPECT_EQ(ExportAllJson(*target), before);
}

}  // namespace
}  // namespace quillmont::store
