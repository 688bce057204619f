// Two connections to one file: a save never overwrites another's save
// unasked; names stay unique; a read-only store reads and never writes.
#include <algorithm>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "quillmont/definitions/members.h"
#include "store/definition_store.h"
#include "store/seed.h"
#include "tests/support/temp_dir.h"

namespace quillmont::store {
namespace {

using quillmont::testing::ReadText;
using quillmont::testing::TempDir;
using Reason = SaveRefused::Reason;

std::shared_ptr<Store> OpenQuick(const std::string& path, Access access = Access::ReadWrite) {
  OpenOptions options;
  options.busyTimeoutMs = 50;
  options.access = access;
  return Store::Open(path, options);
}

void AddRecipient(StoredDefinition& d, const std::string& address) {
  d.LoadEmailDetails();
  auto list = std::make_shared<BasicEmailRecipientList>();
  for (int i = 1; i <= d.EmailRecipients()->Count(); ++i) list->Add(d.EmailRecipients()->Recipient(i));
  auto recipient = std::make_shared<BasicEmailRecipient>();
  recipient->Init(Variant(d.RecipientOwnerKey()), address, Variant());
  list->Add(recipient);
  d.SetEmailRecipients(list);
}

bool Has(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

Reason SaveRefusal(Store& store, StoredDefinition& d) {
  try {
    store.Save(d);
  } catch (const SaveRefused& e) {
    return e.Why();
  }
  ADD_FAILURE() << "the save was not refused";
  return Reason::NameTaken;
}

// Upper case opens notification 1 and adds a recipient; lower case saves.
TEST(Revisions, EveryInterleavingOfTwoEditorsKeepsBothEditsOrRefusesOne) {
  int interleavings = 0;
  std::string events = "ABab";  // the first permutation in sort order
  do {
    if (events.find('A') > events.find('a') || events.find('B') > events.find('b')) continue;
    SCOPED_TRACE(events);
    ++interleavings;
    TempDir dir;
    std::map<char, std::shared_ptr<Store>> stores{{'a', OpenQuick(dir.File("q.db"))}, {'b', nullptr}};
    SeedDatabase(*stores['a']);
    stores['b'] = OpenQuick(dir.File("q.db"));
    std::map<char, std::shared_ptr<StoredDefinition>> open;
    std::map<char, bool> refused;
    for (char e : events) {
      const char who = static_cast<char>(std::tolower(e));
      if (e != who) {
        open[who] = stores[who]->OpenDefinition(1);
        AddRecipient(*open[who], std::string("from-") + e + "@example.org");
        continue;
      }
      try {
        stores[who]->Save(*open[who]);
      } catch (const SaveRefused& refusal) {
        EXPECT_EQ(refusal.Why(), Reason::ChangedMeanwhile);
        refused[who] = true;
      }
    }
    // Reference: the second save is refused exactly when both opened before
    // the first save.
    const auto firstSave = std::min(events.find('a'), events.find('b'));
    const bool overlapping = events.find('A') < firstSave && events.find('B') < firstSave;
    EXPECT_EQ(refused['a'] || refused['b'], overlapping);
    auto stored = stores['a']->ReadNotification(1).recipients;
    EXPECT_EQ(Has(stored, "from-A@example.org"), !refused['a']);
    EXPECT_EQ(Has(stored, "from-B@example.org"), !refused['b']);
    if (!overlapping) continue;
    // The refused one keeps its edits: as a new notification, or over the
    // other's when the user says so.
    const char loser = refused['a'] ? 'a' : 'b';
    const std::string mine = std::string("from-") + static_cast<char>(std::toupper(loser)) + "@example.org";
    if (interleavings % 2) {
      open[loser]->BecomeNew("Copy");
      stores[loser]->Save(*open[loser]);
      const auto copy = stores['a']->ReadNotification(open[loser]->NotificationID());
      EXPECT_TRUE(Has(copy.recipients, mine));
      EXPECT_EQ(copy.eventTypeKeys, stores['a']->ReadNotification(1).eventTypeKeys);
    } else {
      stores[loser]->Save(*open[loser], true);
      stored = stores['a']->ReadNotification(1).recipients;
      EXPECT_TRUE(Has(stored, mine));
    }
  } while (std::next_permutation(events.begin(), events.end()));
  EXPECT_EQ(interleavings, 6);
}

TEST(Revisions, DeletedRenamedAndTakenNamesRefuseTheSaveAndLoseNothing) {
  TempDir dir;
  auto mine = OpenQuick(dir.File("q.db"));
  SeedDatabase(*mine);
  auto theirs = OpenQuick(dir.File("q.db"));
  const auto before = mine->ReadNotification(1);

  auto edited = mine->OpenDefinition(1);
  edited->LoadSnmpDetails();  // as the open editor's pages have
  AddRecipient(*edited, "kept@example.org");
  theirs->DeleteNotification(1);
  EXPECT_EQ(SaveRefusal(*mine, *edited), Reason::DeletedMeanwhile);
  edited->BecomeNew("Core network outage");  // free again
  mine->Save(*edited);
  const auto copy = mine->ReadNotification(edited->NotificationID());
  EXPECT_EQ(copy.managers.size(), before.managers.size());
  EXPECT_TRUE(Has(copy.recipients, "kept@example.org"));

  // A rename elsewhere is a save too.
  auto open = mine->OpenDefinition(2);
  theirs->RenameNotification(2, "Server room");
  EXPECT_EQ(SaveRefusal(*mine, *open), Reason::ChangedMeanwhile);

  // Names compare trimmed and without regard to ASCII case, everywhere.
  EXPECT_TRUE(mine->NameTaken("  core NETWORK outage "));
  EXPECT_FALSE(mine->NameTaken("Core network outage", edited->NotificationID()));
  auto twin = mine->NewDefinition("SERVER ROOM");
  EXPECT_EQ(SaveRefusal(*mine, *twin), Reason::NameTaken);
  EXPECT_THROW(theirs->RenameNotification(2, "core network outage"), SaveRefused);
  EXPECT_EQ(mine->ListNotifications().size(), 2u);
}

TEST(ReadOnlyStore, ReadsAnOlderDatabaseAndWritesNothing) {
  TempDir dir;
  {
    OpenOptions old;
    old.upToVersion = 2;
    auto store = Store::Open(dir.File("q.db"), old);
    SeedDatabase(*store);
    store->Db().Exec("PRAGMA journal_mode = DELETE");
  }
  const std::string bytes = ReadText(dir.File("q.db"));
  auto store = OpenQuick(dir.File("q.db"), Access::ReadOnly);
  EXPECT_TRUE(store->ReadOnly());
  EXPECT_EQ(store->ListNotifications().size(), 2u);
  auto d = store->OpenDefinition(1);
  AddRecipient(*d, "x@example.org");
  try {
    store->Save(*d);
    ADD_FAILURE() << "a read-only store saved";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos) << e.what();
  }
  EXPECT_THROW(store->DeleteNotification(1), Error);
  store->SetSetting("Layout", "kept for this run");
  EXPECT_EQ(store->Setting("Layout"), "kept for this run");
  store.reset();
  EXPECT_EQ(ReadText(dir.File("q.db")), bytes);
  EXPECT_FALSE(std::filesystem::exists(dir.File("q.db-wal")));
}

}  // namespace
}  // namespace quillmont::store
