#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "quillmont/definitions/members.h"
#include "store/definition_store.h"
#include "store/host_objects.h"
#include "store/notification_io.h"
#include "store/seed.h"
#include "tests/support/temp_dir.h"

namespace quillmont::store {
namespace {

using quillmont::testing::TempDir;

// Chosen rows as a selector hands them over: only the keys matter here.
class FakeRows : public SelectorRows {
  struct Row : SelectorRow {
    explicit Row(std::string k) : key(std::move(k)) {}
    std::string Key() const override { return key; }
    std::string Text() const override { return key; }
    std::string SubItem(int) const override { return {}; }
    void SetSubItem(int, const std::string&) override {}
    bool Selected() const override { return false; }
    void SetSelected(bool) override {}
    std::string key;
  };

 public:
  explicit FakeRows(std::vector<std::string> keys) : keys_(std::move(keys)) {}
  int Count() const override { return static_cast<int>(keys_.size()); }
  std::shared_ptr<SelectorRow> Item(int position) const override {
    return std::make_shared<Row>(keys_.at(static_cast<std::size_t>(position - 1)));
  }

 private:
  std::vector<std::string> keys_;
};

std::shared_ptr<Store> OpenSeeded(const std::string& path) {
  auto store = Store::Open(path);
  if (store->WasCreated()) SeedDatabase(*store);
  return store;
}

std::shared_ptr<SnmpManagerList> Managers(std::initializer_list<std::pair<const char*, int>> entries) {
  auto list = std::make_shared<BasicSnmpManagerList>();
  for (const auto& [host, port] : entries) {
    auto m = std::make_shared<BasicSnmpManager>();
    m->Init("owner", host, port, "SNMP v2c", "UTC");
    list->Add(m);
  }
  return list;
}

TEST(Store, FirstOpenSeedsACatalogueAndSamplesOnce) {
  TempDir dir;
  const std::string path = dir.File("q.db");
  {
    auto store = OpenSeeded(path);
    EXPECT_TRUE(store->WasCreated());
    EXPECT_EQ(store->Db().QueryInt("PRAGMA user_version"), kSchemaVersion);
    EXPECT_EQ(store->Db().QueryInt("PRAGMA foreign_keys"), 1);
    EXPECT_EQ(store->Db().QueryInt("SELECT COUNT(*) FROM event_groups"), 15);
    const auto types = store->EventTypes();
    EXPECT_GE(types->Count(), 190);
    EXPECT_LE(types->Count(), 220);
    const auto list = store->ListNotifications();
    ASSERT_EQ(list.size(), 2u);
    // Every sample's chosen event type is in the catalogue.
    for (const auto& summary : list) {
      const NotificationRecord r = store->ReadNotification(summary.id);
      EXPECT_FALSE(r.managers.empty());
      EXPECT_FALSE(r.recipients.empty());
      ASSERT_FALSE(r.eventTypeKeys.empty());
      for (const auto& key : r.eventTypeKeys) EXPECT_NE(types->Item(key), nullptr) << key;
      EXPECT_EQ(summary.eventTypes, static_cast<int>(r.eventTypeKeys.size()));
    }
    Statement mode = store->Db().Prepare("PRAGMA journal_mode");
    ASSERT_TRUE(mode.Step());
    EXPECT_EQ(mode.Text(0), "wal");
  }
  auto again = OpenSeeded(path);
  EXPECT_FALSE(again->WasCreated());
  SeedDatabase(*again);  // a seeded database is left alone
  EXPECT_EQ(again->ListNotifications().size(), 2u);
  EXPECT_EQ(again->Db().QueryInt("SELECT COUNT(*) FROM event_groups"), 15);
}

TEST(Store, RoundTripKeepsNullsEmptiesAndChosenKeys) {
  TempDir dir;
  const std::string path = dir.File("q.db");
  std::int32_t id = 0;
  {
    auto store = OpenSeeded(path);
    auto def = store->NewDefinition("  Disk alarms ");
    EXPECT_TRUE(def->IsNew());
    def->LoadSnmpDetails();
    def->LoadEmailDetails();
    EXPECT_EQ(def->SnmpManagers()->Count(), 0);
    def->SetSnmpManagers(def->SnmpManagers());
    def->SetEmailRecipients(std::make_shared<BasicEmailRecipientList>());
    def->SetEmailSubject(std::nullopt);
    def->SetEmailMessage(std::string());  // empty text is not the default
    def->SetEventGroupID(6);
    // The selector appends one character to each key; a multi-byte one too.
    def->SetChosenEventTypes(
        std::make_shared<FakeRows>(std::vector<std::string>{"storage.disk-failedK", "storage.volume-full\xC3\xA9"}));
    EXPECT_EQ(def->ChosenKeys(), (std::vector<std::string>{"storage.disk-failed", "storage.volume-full"}));
    store->Save(*def);
    EXPECT_FALSE(def->IsNew());
    id = def->NotificationID();
    EXPECT_EQ(def->Name(), "Disk alarms");
  }
  auto store = OpenSeeded(path);
  // The whole stored notification, as an export writes it.
  auto expected = nlohmann::json::parse(R"({"formatVersion": 1, "name": "Disk alarms", "revision": 1,
    "snmpManagers": [], "emailRecipients": [], "emailSubject": null, "emailMessage": "", "eventGroupId": 6,
    "eventTypes": [{"key": "storage.disk-failed", "name": "Disk Failed", "groupId": 6},
                   {"key": "storage.volume-full", "name": "Volume Full", "groupId": 6}]})");
  expected["number"] = id;
  EXPECT_EQ(nlohmann::json::parse(ExportJson(*store, id)), expected);

  auto def = store->OpenDefinition(id);
  EXPECT_FALSE(def->HasEmail());
  def->LoadEmailDetails();
  EXPECT_TRUE(def->HasEmail());
  EXPECT_EQ(def->EmailSubject(), "");
  EXPECT_EQ(def->StoredSubject(), std::nullopt);
  EXPECT_EQ(def->StoredMessage(), std::optional<std::string>(""));
  auto stored = StoreEventTypeReader(store).GetEventTypes(id);
  ASSERT_EQ(stored->Count(), 2);
  EXPECT_EQ(stored->ItemAt(1)->Name(), "Disk Failed");
  EXPECT_EQ(stored->ItemAt(1)->GroupID(), 6);

  // A row without a key is refused and the earlier choice stays.
  EXPECT_THROW(def->SetChosenEventTypes(std::make_shared<FakeRows>(std::vector<std::string>{"node.downX", ""})), Error);
  EXPECT_TRUE(def->ChosenKeys().empty());
}

TEST(Store, SaveWritesOnlyThePartsThatWereSet) {
  TempDir dir;
  auto store = OpenSeeded(dir.File("q.db"));
  const std::int32_t id = store->ListNotifications().front().id;
  // The whole stored notification, as an export writes it, with the revision
  // each save moves on.
  auto stored = [&] { return nlohmann::json::parse(ExportJson(*store, id)); };
  auto expected = stored();
  const NotificationRecord before = store->ReadNotification(id);

  auto def = store->OpenDefinition(id);
  def->SetName("Renamed");
  store->Save(*def);
  expected["name"] = "Renamed";
  expected["revision"] = before.revision + 1;
  EXPECT_EQ(stored(), expected);

  def->LoadSnmpDetails();
  ASSERT_EQ(def->SnmpManagers()->Count(), static_cast<int>(before.managers.size()));
  EXPECT_EQ(def->SnmpManagers()->Manager(1)->Host(), before.managers[0].host);
  EXPECT_EQ(def->SnmpManagers()->Manager(1)->ColumnText(snmp_columns::Port), std::to_string(before.managers[0].port));
  def->SetSnmpManagers(Managers({{"a.example.net", 162}, {"b.example.net", 1162}}));
  store->Save(*def);
  expected["revision"] = before.revision + 2;
  expected["snmpManagers"] = nlohmann::json::array(
      {{{"host", "a.example.net"}, {"port", 162}, {"version", "SNMP v2c"}, {"timeFormat", "UTC"}},
       {{"host", "b.example.net"}, {"port", 1162}, {"version", "SNMP v2c"}, {"timeFormat", "UTC"}}});
  EXPECT_EQ(stored(), expected);
}

TEST(Store, RefusesBadNamesDuplicatesAndMissingRows) {
  TempDir dir;
  auto store = OpenSeeded(dir.File("q.db"));
  EXPECT_THROW(store->NewDefinition("   "), Error);
  EXPECT_THROW(store->NewDefinition(std::string(101, 'x')), Error);
  EXPECT_THROW(store->NewDefinition("tab\x01"), Error);

  const auto existing = store->ListNotifications().front();
  auto def = store->NewDefinition(existing.name);
  def->SetName("CORE NETWORK OUTAGE");  // names differ only in case
  try {
    store->Save(*def);
    ADD_FAILURE() << "a duplicate name was saved";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("already exists"), std::string::npos);
  }
  EXPECT_TRUE(def->IsNew());
  EXPECT_EQ(store->ListNotifications().size(), 2u);

  // A text the reader would refuse is not written: the notification still opens as it was.
  auto stored = store->OpenDefinition(existing.id);
  const auto before = store->ReadNotification(existing.id);
  stored->SetEmailMessage(std::string(kMaxMessageLength, 'm') + "\xC3\xA9");
  EXPECT_THROW(store->Save(*stored), Error);
  EXPECT_EQ(store->ReadNotification(existing.id).message, before.message);
  EXPECT_NO_THROW(store->OpenDefinition(existing.id));

  store->DeleteNotification(existing.id);
  EXPECT_EQ(
      store->Db().QueryInt("SELECT COUNT(*) FROM snmp_managers WHERE notification_id = " + std::to_string(existing.id)),
      0);
  EXPECT_THROW(store->DeleteNotification(existing.id), Error);
  EXPECT_THROW(store->OpenDefinition(existing.id), Error);
}

TEST(Store, EmailAddressCheckIsTheLibrarysRule) {
  TempDir dir;
  StoreAppContext app(OpenSeeded(dir.File("q.db")));
  EXPECT_TRUE(app.IsValidEmailAddress("noc@localhost"));
  EXPECT_FALSE(app.IsValidEmailAddress("a b@example.net"));
}

}  // namespace
}  // namespace quillmont::store
