// The store: seeding, saving and refusing, and export and import of whole
// documents (the round trip, the refusals, what an import may write).
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <regex>
#include <tuple>

#include "quillmont/definitions/members.h"
#include "store/catalogue.h"
#include "store/copy.h"
#include "store/definition_store.h"
#include "store/host_objects.h"
#include "store/notification_io.h"
#include "store/seed.h"
#include "tests/store/backends.h"

namespace quillmont::store {
namespace {

using Json = nlohmann::ordered_json;

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

class StoreTest : public BackendTest {};
QM_ON_BOTH_BACKENDS(StoreTest);

TEST_P(StoreTest, FirstOpenSeedsACatalogueAndSamplesOnce) {
  const std::string path = NewLocation();
  {
    auto store = OpenSeeded(path);
    EXPECT_TRUE(store->WasCreated());
    EXPECT_EQ(store->Db().QueryInt("SELECT MAX(version) FROM schema_version"), kSchemaVersion);
    // The whole seeded database, row by row, but when it was written (QUILLMONT_UPDATE_SCREENS=1 writes it anew).
    const std::string seeded = std::regex_replace(DumpTables(*store), std::regex("20:[-0-9T:]{19}Z"), "(when)");
    if (const char* update = std::getenv("QUILLMONT_UPDATE_SCREENS"); update && *update == '1')
      testing::WriteText(QM_STORE_SEEDED, seeded);
    EXPECT_EQ(seeded, testing::ReadText(QM_STORE_SEEDED));
    for (const auto& summary : store->ListNotifications())
      EXPECT_EQ(summary.eventTypes, static_cast<int>(store->ReadNotification(summary.id).eventTypeKeys.size()));
    if (GetParam() == Backend::Sqlite) {
      Statement mode = store->Db().Prepare("PRAGMA journal_mode");
      EXPECT_TRUE(mode.Step() && mode.Text(0) == "wal");
      EXPECT_EQ(std::pair(store->Db().QueryInt("PRAGMA user_version"), store->Db().QueryInt("PRAGMA foreign_keys")),
                std::pair(std::int64_t{kSchemaVersion}, std::int64_t{1}));
    }
  }
  auto again = OpenSeeded(path);
  EXPECT_FALSE(again->WasCreated());
  SeedDatabase(*again);  // a seeded database is left alone
  EXPECT_EQ(again->ListNotifications().size(), 2u);
  EXPECT_EQ(again->Db().QueryInt("SELECT COUNT(*) FROM event_groups"), 15);
}

TEST_P(StoreTest, RoundTripKeepsNullsEmptiesAndChosenKeys) {
  const std::string path = NewLocation();
  std::int32_t id = 0;
  {
    auto store = OpenSeeded(path);
    auto def = store->NewDefinition("  Disk alarms ");
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
    id = def->NotificationID();
    EXPECT_EQ(std::pair(def->IsNew(), def->Name()), std::pair(false, std::string("Disk alarms")));
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
  EXPECT_EQ(std::tuple(def->EmailSubject(), def->StoredSubject(), def->StoredMessage()),
            std::tuple(std::string(), std::optional<std::string>(), std::optional<std::string>("")));
  auto stored = StoreEventTypeReader(store).GetEventTypes(id);
  ASSERT_EQ(stored->Count(), 2);
  EXPECT_EQ(std::pair(stored->ItemAt(1)->Name(), stored->ItemAt(1)->GroupID()),
            std::pair(std::string("Disk Failed"), 6));

  // A row without a key is refused and the earlier choice stays.
  EXPECT_THROW(def->SetChosenEventTypes(std::make_shared<FakeRows>(std::vector<std::string>{"node.downX", ""})), Error);
  EXPECT_TRUE(def->ChosenKeys().empty());
}

// The chosen types read the same whether or not the catalogue was read
// first (then their names come from it), also for a key it lacks; the
// catalogue's entries stay valid after the store is gone.
TEST_P(StoreTest, ChosenTypesAndCatalogueEntries) {
  const std::string path = NewLocation();
  auto store = OpenSeeded(path);
  const std::int32_t id = store->ListNotifications().front().id;
  store->Db()
      .Prepare("INSERT INTO notification_event_types(notification_id, position, type_key) VALUES(?, 999, 'gone.type')")
      .Bind(1, std::int64_t{id})
      .Run();
  // Enough more types, with long names, that the catalogue's entries and
  // texts each fill more than one of its blocks.
  constexpr int kMore = 5000;
  {
    WriteTransaction tx(store->Db());
    auto add = store->Db().Prepare("INSERT INTO event_types(type_key, name, group_id, sort_order) VALUES(?,?,?,?)");
    for (int i = 0; i < kMore; ++i)
      add.Bind(1, "more." + std::to_string(i))
          .Bind(2, std::string(60, 'n') + std::to_string(i))
          .Bind(3, 1)
          .Bind(4, 100000 + i)
          .Run();
    tx.Commit();
  }
  auto rows = [](const EventTypeCollection& list) {
    std::vector<std::tuple<std::string, std::string, std::int32_t>> out;
    for (int i = 1; i <= list.Count(); ++i) {
      const auto e = list.ItemAt(i);
      out.emplace_back(e->Key(), e->Name(), e->GroupID());
    }
    return out;
  };
  const auto before = rows(*store->StoredEventTypes(id));
  ASSERT_GE(before.size(), 2u);
  EXPECT_EQ(before.back(), std::make_tuple(std::string("gone.type"), std::string(), 0));
  EXPECT_NE(std::get<1>(before.front()), "");

  std::shared_ptr<EventType> first, kept;
  {
    auto catalogue = store->EventTypes();
    EXPECT_EQ(rows(*store->StoredEventTypes(id)), before);
    first = catalogue->ItemAt(1);
    EXPECT_EQ(catalogue->ItemAt(1), first);  // the same entry each time
    EXPECT_EQ(catalogue->Item(first->Key()), first);
    for (const std::string& missing : {first->Key() + "x", std::string("gone.type"), std::string()})
      EXPECT_EQ(catalogue->Item(missing), nullptr) << missing;
    // The added types come last, in their order, each found by its key.
    const int count = catalogue->Count();
    for (int i = 0; i < kMore; ++i) {
      const auto e = catalogue->ItemAt(count - kMore + 1 + i);
      ASSERT_EQ(e->Key(), "more." + std::to_string(i));
      ASSERT_EQ(e->Name(), std::string(60, 'n') + std::to_string(i));
      ASSERT_EQ(catalogue->Item(e->Key()), e);
    }
    EXPECT_THROW(catalogue->ItemAt(0), Error);
    EXPECT_THROW(catalogue->ItemAt(catalogue->Count() + 1), Error);
    kept = catalogue->ItemAt(catalogue->Count());
  }
  const std::string key = kept->Key(), name = kept->Name();
  store.reset();
  EXPECT_EQ(std::pair(kept->Key(), kept->Name()), std::pair(key, name));
}

// A store may hold an empty key and name (SQLite allows them), also first.
TEST(Catalogue, EmptyTextsFirst) {
  Catalogue catalogue;
  catalogue.Append("", "", 3);
  catalogue.Append("k", "", 4);
  EXPECT_EQ(std::tuple(catalogue.Count(), catalogue.ItemAt(1)->Key(), catalogue.Item("")->GroupID(),
                       catalogue.Item("k")->Name()),
            std::tuple(2, "", 3, ""));
}

TEST_P(StoreTest, SaveWritesOnlyThePartsThatWereSet) {
  auto store = OpenSeeded(NewLocation());
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
      {{{"host", "a.example.net"}, {"port", 162}, {"version", "SNMP v1"}, {"timeFormat", "UNIX"}},
       {{"host", "b.example.net"}, {"port", 1162}, {"version", "SNMP v1"}, {"timeFormat", "UNIX"}}});
  EXPECT_EQ(stored(), expected);
}

// The steps as letters: Create, Replace, Unchanged, Prune.
std::string Actions(const std::vector<ImportStep>& steps) {
  std::string out;
  for (const auto& s : steps) out += "CRUP"[static_cast<int>(s.action)];
  return out;
}

// Each write on a read-only store is refused by name before the database is asked; a dry run still
// works, and nothing is written.
TEST_P(StoreTest, AReadOnlyStoreRefusesEachWriteByNameAndWritesNothing) {
  const std::string location = NewLocation();
  auto writable = OpenSeeded(location);
  auto store = Store::Open(location, {.access = Access::ReadOnly});
  const std::string before = DumpTables(*store), doc = ExportAllJson(*store), name = store->Db().DisplayName();
  const auto refused = [&](const char* what) {
    return "The database " + name + " is open read-only (this user cannot write it or its folder), so " + what +
           " is not possible. Nothing was written.";
  };
  const std::int32_t id = store->ListNotifications().front().id;
  for (const auto& [step, expected] : std::vector<std::pair<std::function<void()>, std::string>>{
           {[&] { store->Save(*store->OpenDefinition(id)); }, refused("saving")},
           {[&] { store->RenameNotification(id, "Renamed"); }, refused("renaming")},
           {[&] { store->DeleteNotification(id); }, refused("deleting")},
           {[&] { ImportJson(*store, doc, {.prune = true}); }, refused("importing")},
           {[&] { CopyStore(*writable, *store); }, "The target " + name + " is open read-only. Nothing was copied."},
           {[&] { ImportJson(*store, doc, {.dryRun = true}); }, "(done)"}})
    EXPECT_EQ(Failure(step), expected);
  EXPECT_EQ(DumpTables(*store), before);
}

// Databases laid out by older programs (version 2: the time, no revision; 3: a revision) are written and read
// with the columns they have, and copied whole, a missing column as its default.
TEST_P(StoreTest, AnOlderLayoutIsWrittenWithTheColumnsItHas) {
  for (const int version : {2, 3}) {
    auto store = Store::Open(NewLocation(), {.upToVersion = version});
    SeedDatabase(*store);
    store->RenameNotification(1, "Renamed");
    EXPECT_EQ(store->Db().QueryInt("SELECT COUNT(*) FROM notifications WHERE modified LIKE '20__-__-__T__:__:__Z'"), 2);
    auto copy = Store::Open(NewLocation());
    CopyStore(*store, *copy);
    const NotificationRecord before = store->ReadNotification(1), copied = copy->ReadNotification(1);
    EXPECT_EQ(std::tuple(before.revision, copied.revision, copied.modified),
              std::tuple(version - 2, version - 2, before.modified));
  }
}

TEST_P(StoreTest, RefusesBadNamesDuplicatesAndMissingRows) {
  auto store = OpenSeeded(NewLocation());
  for (const std::string& bad : {std::string("   "), std::string(101, 'x'), std::string("tab\x01")})
    EXPECT_THROW(store->NewDefinition(bad), Error);

  const auto existing = store->ListNotifications().front();
  auto def = store->NewDefinition(existing.name);
  def->SetName("CORE NETWORK OUTAGE");  // names differ only in case
  EXPECT_EQ(Failure([&] { store->Save(*def); }), "A notification named \"CORE NETWORK OUTAGE\" already exists.");
  EXPECT_EQ(std::pair(def->IsNew(), store->ListNotifications().size()), std::pair(true, std::size_t{2}));

  // A text the reader would refuse is not written: the notification still opens as it was.
  auto stored = store->OpenDefinition(existing.id);
  const auto before = store->ReadNotification(existing.id);
  stored->SetEmailMessage(std::string(rules::kMaxMessageLength, 'm') + "\xC3\xA9");
  EXPECT_THROW(store->Save(*stored), Error);
  EXPECT_EQ(store->ReadNotification(existing.id).message, before.message);
  EXPECT_NO_THROW(store->OpenDefinition(existing.id));

  store->DeleteNotification(existing.id);
  EXPECT_THROW(store->DeleteNotification(existing.id), Error);
  EXPECT_THROW(store->OpenDefinition(existing.id), Error);
}

// The problems listed; `what` given, the refusal's own message too.
std::vector<std::string> Refusal(Store& store, const std::string& document, const ImportOptions& options = {},
                                 std::string* what = nullptr) {
  try {
    ImportJson(store, document, options);
  } catch (const ImportRefused& e) {
    if (what) *what = e.what();
    return e.Problems();
  }
  return {"(accepted)"};
}

TEST_P(StoreTest, ExportImportRoundTripOfTheSampleIsByteIdentical) {
  auto sample = OpenSeeded(NewLocation());
  // One more notification with texts that need escaping, a default subject
  // and blanks the pages trim.
  ImportJson(*sample, R"({"formatVersion": 1, "notifications": [{"number": 7, "name": " Odd \"texts\" ",
    "snmpManagers": [{"host": " h\u00e9 ", "port": 1, "version": "SNMP v1", "timeFormat": "UNIX"}],
    "emailRecipients": [" a@b.example "], "emailSubject": "<Default>", "emailMessage": "line\nnext\t\"",
    "eventGroupId": 2, "eventTypes": ["node.down", {"key": "if.link-down"}]}]})",
             {});
  const std::string exported = ExportAllJson(*sample);
  EXPECT_NE(exported.find("line\\nnext\\t\\\""), std::string::npos) << exported;

  auto fresh = OpenSeeded(NewLocation());
  for (const auto& n : fresh->ListNotifications()) fresh->DeleteNotification(n.id);
  EXPECT_EQ(Actions(ImportJson(*fresh, exported, {})), "CCC");
  EXPECT_EQ(ExportAllJson(*fresh), exported);
  // Applying it again changes nothing, not even a revision.
  EXPECT_EQ(Actions(ImportJson(*fresh, exported, {})), "UUU");
  EXPECT_EQ(ExportAllJson(*fresh), exported);
}

TEST_P(StoreTest, ImportRefusalsNameTheirPathAndWriteNothing) {
  auto store = OpenSeeded(NewLocation());
  const Json base = Json::parse(ExportAllJson(*store));
  const std::string before = DumpTables(*store);
  struct Case {
    std::function<void(Json&)> change;
    std::string expected;  // the first problem reported, whole
  };
  const std::string stored = ", which stored text may not hold",
                    looks = " \"Core network outage\" but differs from it in invisible or look-alike characters";
  const Case cases[] = {
      {[](Json& d) { d["notifications"][1]["snmpManagers"][0]["port"] = 70000; },
       "notifications[1].snmpManagers[0].port: 70000 is not between 1 and 65535"},
      {[](Json& d) { d["notifications"][0]["snmpManagers"][1]["port"] = "162"; },
       "notifications[0].snmpManagers[1].port: expected a whole number, not \"162\""},
      {[](Json& d) { d["notifications"][0]["snmpManagers"][0]["host"] = "  "; },
       "notifications[0].snmpManagers[0].host: a host name is required"},
      {[](Json& d) {
         Json copy = d["notifications"][0]["snmpManagers"][0];
         copy["host"] = " NMS1.Ops.EXAMPLE";
         d["notifications"][0]["snmpManagers"].push_back(copy);
       },
       "notifications[0].snmpManagers[2]: the same host and port as notifications[0].snmpManagers[0]"},
      {[](Json& d) { d["notifications"][0]["snmpManagers"][0]["version"] = "SNMP v3"; },
       "notifications[0].snmpManagers[0].version: \"SNMP v3\" is not \"SNMP v1\" or \"SNMP v2c\""},
      {[](Json& d) { d["notifications"][0]["snmpManagers"][0].erase("timeFormat"); },
       "notifications[0].snmpManagers[0].timeFormat: missing"},
      {[](Json& d) { d["notifications"][1]["emailRecipients"][0] = "a@x.example, b@y.example"; },
       "notifications[1].emailRecipients[0]: \"a@x.example, b@y.example\" is not a valid e-mail address"},
      {[](Json& d) { d["notifications"][1]["emailRecipients"][0] = std::string(120, 'a') + "@x.example"; },
       "notifications[1].emailRecipients[0]: 130 characters; at most 128"},
      {[](Json& d) { d["notifications"][1]["emailSubject"] = std::string(251, 's'); },
       "notifications[1].emailSubject: 251 characters; at most 250"},
      {[](Json& d) { d["notifications"][1]["emailMessage"] = ""; },
       "notifications[1].emailMessage: empty, but there are recipients (null gives the default message)"},
      {[](Json& d) { d["notifications"][0]["eventTypes"] = Json::array(); },
       "notifications[0].eventTypes: at least one event type must be chosen"},
      {[](Json& d) { d["notifications"][0]["eventTypes"][1]["key"] = "no.such"; },
       "notifications[0].eventTypes[1].key: \"no.such\" is not an event type of the catalogue"},
      {[](Json& d) { d["notifications"][0]["eventTypes"][1].erase("key"); },
       "notifications[0].eventTypes[1].key: missing"},
      {[](Json& d) { d["notifications"][0]["eventTypes"].push_back("node.down"); },
       "notifications[0].eventTypes[6]: \"node.down\" is chosen twice"},
      {[](Json& d) { d["notifications"][0]["eventGroupId"] = 99; },
       "notifications[0].eventGroupId: 99 is not an event group of the catalogue (0 is all)"},
      {[](Json& d) { d["notifications"][1]["name"] = " CORE network outage"; },
       "notifications[1].name: \"CORE network outage\" is also the name of notifications[0]"},
      {[](Json& d) { d["notifications"][0]["colour"] = "red"; }, "notifications[0].colour: unknown field"},
      {[](Json& d) { d["formatVersion"] = 2; }, "formatVersion: 2 is not a format this program reads (it reads 1)"},
      // Characters that would act on a terminal or a mail reader, in any text.
      {[](Json& d) { d["notifications"][0]["name"] = "Core \u202e network"; },
       "notifications[0].name: holds U+202E, a bidirectional control" + stored},
      {[](Json& d) { d["notifications"][0]["snmpManagers"][0]["host"] = "nms\x1b.example"; },
       "notifications[0].snmpManagers[0].host: holds U+001B, a control character" + stored},
      {[](Json& d) { d["notifications"][1]["emailRecipients"][0] = std::string("a\0@x.example", 12); },
       "notifications[1].emailRecipients[0]: holds NUL" + stored},
      {[](Json& d) { d["notifications"][1]["emailSubject"] = "s\u0085"; },
       "notifications[1].emailSubject: holds U+0085, a control character" + stored},
      {[](Json& d) { d["notifications"][1]["emailMessage"] = "tab\tand line\nbut\r"; },
       "notifications[1].emailMessage: holds U+000D, a control character" + stored},
      // A name only invisible or look-alike characters tell from another.
      {[](Json& d) { d["notifications"][1]["name"] = "C\u043Ere network outage"; },
       "notifications[1].name: \"C\u043Ere network outage\" looks like notification 1" + looks},
      {[](Json& d) { d["notifications"][1]["name"] = "Core network outage\u200B"; },
       "notifications[1].name: \"Core network outage\u200B\" looks like notification 1" + looks},
  };
  for (const Case& c : cases) {
    Json doc = base;
    c.change(doc);
    const auto problems = Refusal(*store, doc.dump(2));
    EXPECT_EQ(problems.at(0), c.expected);
    EXPECT_EQ(DumpTables(*store), before) << c.expected;
  }
  // Problems are gathered, not first-failure-only.
  Json doc = base;
  for (std::size_t i : {0u, 4u, 15u}) cases[i].change(doc);
  std::string what;
  EXPECT_EQ(Refusal(*store, doc.dump(), {}, &what).size(), 3u);
  EXPECT_EQ(what, "The document was refused (3 problems). Nothing was written.");
  // Text that is not JSON, a field given twice, an oversized or too deep document.
  const std::pair<std::string, std::string> raw[] = {
      {"{\"formatVersion\": 1,\n  \"notifications\": [}",
       "document: parse error at line 2, column 21: syntax error while parsing value - unexpected '}'; expected '[', "
       "'{', or a literal"},
      {R"({"formatVersion": 1, "notifications": [{"name": "x", "name": "y"}]})", "notifications[0].name: given twice"},
      {std::string(kMaxImportBytes + 1, ' '), "document: larger than 64 MB"},
      {"{\"notifications\": " + std::string(20, '['),
       "notifications[0][0][0][0][0][0][0][0][0][0][0][0][0][0][0]: nested deeper than 16 levels"},
      // The parser would stop at the NUL and ignore the rest.
      {std::string(R"({"formatVersion": 1, "notifications": []})") + '\0' + "]",
       "document: a NUL byte at byte 41, which JSON text cannot hold"},
  };
  for (const auto& [text, expected] : raw) EXPECT_EQ(Refusal(*store, text).at(0), expected);
  // A long list of problems keeps its first hundred.
  std::string repeated = R"({"formatVersion": 1, "notifications": [{"name": "x")";
  for (int i = 0; i < 250; ++i) repeated += R"(, "name": "x")";
  const auto many = Refusal(*store, repeated + "}]}", {}, &what);
  EXPECT_EQ(what, "The document was refused (250 problems). Nothing was written.");
  EXPECT_EQ(std::pair(many.size(), many.back()), std::pair(std::size_t{101}, std::string("... and 150 more")));
}

TEST_P(StoreTest, ImportDryRunPruneRevisionsAndForce) {
  auto store = OpenSeeded(NewLocation());
  Json doc = Json::parse(ExportAllJson(*store));
  doc["notifications"][0]["emailSubject"] = "Changed";
  doc["notifications"][1] = Json{{"name", "New one"}, {"number", 1}, {"eventTypes", {"node.down"}}};
  const std::string before = DumpTables(*store);

  const auto planned = ImportJson(*store, doc.dump(), {.prune = true, .dryRun = true});
  EXPECT_EQ(Actions(planned), "RCP");
  EXPECT_EQ(DumpTables(*store), before);

  auto open = store->OpenDefinition(1);
  const auto done = ImportJson(*store, doc.dump(), {});
  EXPECT_EQ(std::pair(Actions(done), done[1].number), std::pair(std::string("RC"), 3));
  EXPECT_EQ(std::pair(store->ReadNotification(1).subject, store->ReadNotification(1).revision),
            std::pair(std::optional<std::string>("Changed"), std::int64_t{1}));
  EXPECT_EQ(store->ListNotifications().size(), 3u);  // without --prune the other one stays
  EXPECT_THROW(store->Save(*open), SaveRefused);     // an open editor meets the revision question

  // The document still says revision 0: someone changed it since.
  doc["notifications"][0]["emailSubject"] = "Again";
  const std::string afterFirst = DumpTables(*store);
  EXPECT_EQ(Refusal(*store, doc.dump()),
            std::vector<std::string>{"notifications[0]: notification 1 (\"Core network outage\") is at revision 1, the "
                                     "document has revision 0"});
  EXPECT_EQ(DumpTables(*store), afterFirst);
  EXPECT_EQ(Actions(ImportJson(*store, doc.dump(), {.force = true})), "RU");
  EXPECT_EQ(store->ReadNotification(1).revision, 2);

  // --prune removes only what the document lacks, with its lists.
  EXPECT_EQ(Actions(ImportJson(*store, doc.dump(), {.prune = true})), "UUP");
  EXPECT_EQ(store->ListNotifications().size(), 2u);
  EXPECT_THROW(store->ReadNotification(2), Error);
  EXPECT_EQ(store->Db().QueryInt("SELECT COUNT(*) FROM snmp_managers WHERE notification_id = 2"), 0);
}

}  // namespace
}  // namespace quillmont::store
