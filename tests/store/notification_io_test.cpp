// Export and import of whole documents: the round trip, the refusals, and
// what an import may and may not write.
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>

#include "store/notification_io.h"
#include "store/seed.h"
#include "tests/support/temp_dir.h"

namespace quillmont::store {
namespace {

using quillmont::testing::TempDir;
using Json = nlohmann::ordered_json;

std::shared_ptr<Store> Seeded(const std::string& path) {
  auto store = Store::Open(path);
  SeedDatabase(*store);
  return store;
}

// Every row of the notification tables, as text: equal before and after
// means nothing was written.
std::string Contents(Store& store) {
  Statement s = store.Db().Prepare(
      "SELECT (SELECT group_concat(quote(id) || quote(name) || quote(email_subject) || quote(email_message) || "
      "event_group_id || revision || quote(modified)) FROM notifications) || '|' || (SELECT group_concat(quote(host) "
      "|| port || version || time_format || notification_id || position) FROM snmp_managers) || '|' || (SELECT "
      "group_concat(quote(address) || notification_id || position) FROM email_recipients) || '|' || (SELECT "
      "group_concat(type_key || notification_id || position) FROM notification_event_types)");
  return s.Step() ? s.Text(0) : "";
}

// The steps as letters: Create, Replace, Unchanged, Prune.
std::string Actions(const std::vector<ImportStep>& steps) {
  std::string out;
  for (const auto& s : steps) out += "CRUP"[static_cast<int>(s.action)];
  return out;
}

std::vector<std::string> Refusal(Store& store, const std::string& document, const ImportOptions& options = {}) {
  try {
    ImportJson(store, document, options);
  } catch (const ImportRefused& e) {
    return e.Problems();
  }
  return {"(accepted)"};
}

TEST(NotificationIo, RoundTripOfTheSampleIsByteIdentical) {
  TempDir dir;
  auto sample = Seeded(dir.File("sample.db"));
  // One more notification with texts that need escaping, a default subject
  // and blanks the pages trim.
  ImportJson(*sample, R"({"formatVersion": 1, "notifications": [{"number": 7, "name": " Odd \"texts\" ",
    "snmpManagers": [{"host": " h\u00e9 ", "port": 1, "version": "SNMP v1", "timeFormat": "UNIX"}],
    "emailRecipients": [" a@b.example "], "emailSubject": "<Default>", "emailMessage": "line\nnext\t\u202e\u0085",
    "eventGroupId": 2, "eventTypes": ["node.down", {"key": "if.link-down"}]}]})",
             {});
  const std::string exported = ExportAllJson(*sample);
  EXPECT_NE(exported.find("line\\nnext\\t\\u202e\\u0085"), std::string::npos) << exported;

  auto fresh = Seeded(dir.File("fresh.db"));
  for (const auto& n : fresh->ListNotifications()) fresh->DeleteNotification(n.id);
  EXPECT_EQ(Actions(ImportJson(*fresh, exported, {})), "CCC");
  EXPECT_EQ(ExportAllJson(*fresh), exported);
  // Applying it again changes nothing, not even a revision.
  EXPECT_EQ(Actions(ImportJson(*fresh, exported, {})), "UUU");
  EXPECT_EQ(ExportAllJson(*fresh), exported);
}

TEST(NotificationIo, RefusalsNameTheirPathAndWriteNothing) {
  TempDir dir;
  auto store = Seeded(dir.File("q.db"));
  const Json base = Json::parse(ExportAllJson(*store));
  const std::string before = Contents(*store);
  struct Case {
    std::function<void(Json&)> change;
    std::string expected;  // the start of one reported problem
  };
  const Case cases[] = {
      {[](Json& d) { d["notifications"][1]["snmpManagers"][0]["port"] = 70000; },
       "notifications[1].snmpManagers[0].port: 70000 is not between 1 and 65535"},
      {[](Json& d) { d["notifications"][0]["snmpManagers"][1]["port"] = "162"; },
       "notifications[0].snmpManagers[1].port: expected a whole number, not \"162\""},
      {[](Json& d) { d["notifications"][0]["snmpManagers"][0]["host"] = "  "; },
       "notifications[0].snmpManagers[0].host: a host name is required"},
      {[](Json& d) {
         Json copy = d["notifications"][0]["snmpManagers"][0];
         copy["host"] = " NMS1.example.NET";
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
       "notifications[1].emailMessage: empty, but there are recipients"},
      {[](Json& d) { d["notifications"][0]["eventTypes"] = Json::array(); },
       "notifications[0].eventTypes: at least one event type must be chosen"},
      {[](Json& d) { d["notifications"][0]["eventTypes"][1]["key"] = "no.such"; },
       "notifications[0].eventTypes[1].key: \"no.such\" is not an event type of the catalogue"},
      {[](Json& d) { d["notifications"][0]["eventTypes"].push_back("node.down"); },
       "notifications[0].eventTypes[6]: \"node.down\" is chosen twice"},
      {[](Json& d) { d["notifications"][0]["eventGroupId"] = 99; },
       "notifications[0].eventGroupId: 99 is not an event group of the catalogue"},
      {[](Json& d) { d["notifications"][1]["name"] = " CORE network outage"; },
       "notifications[1].name: \"CORE network outage\" is also the name of notifications[0]"},
      {[](Json& d) { d["notifications"][0]["colour"] = "red"; }, "notifications[0].colour: unknown field"},
      {[](Json& d) { d["formatVersion"] = 2; }, "formatVersion: 2 is not a format this program reads"},
  };
  for (const Case& c : cases) {
    Json doc = base;
    c.change(doc);
    const auto problems = Refusal(*store, doc.dump(2));
    EXPECT_TRUE(std::any_of(problems.begin(), problems.end(),
                            [&](const std::string& p) { return p.rfind(c.expected, 0) == 0; }))
        << c.expected << "\n got: " << ::testing::PrintToString(problems);
    EXPECT_EQ(Contents(*store), before) << c.expected;
  }
  // Problems are gathered, not first-failure-only.
  Json doc = base;
  for (std::size_t i : {0u, 4u, 15u}) cases[i].change(doc);
  EXPECT_EQ(Refusal(*store, doc.dump()).size(), 3u);
  // Text that is not JSON, a field given twice, an oversized or too deep document.
  const std::pair<std::string, std::string> raw[] = {
      {"{\"formatVersion\": 1,\n  \"notifications\": [}", "document: parse error at line 2, column 21"},
      {R"({"formatVersion": 1, "notifications": [{"name": "x", "name": "y"}]})", "notifications[0].name: given twice"},
      {std::string(kMaxImportBytes + 1, ' '), "document: larger than 64 MB"},
      {"{\"notifications\": " + std::string(20, '['),
       "notifications[0][0][0][0][0][0][0][0][0][0][0][0][0][0][0]: nested"},
  };
  for (const auto& [text, expected] : raw) {
    const auto problems = Refusal(*store, text);
    EXPECT_EQ(problems[0].rfind(expected, 0), 0u) << problems[0];
  }
}

TEST(NotificationIo, DryRunPruneRevisionsAndForce) {
  TempDir dir;
  auto store = Seeded(dir.File("q.db"));
  Json doc = Json::parse(ExportAllJson(*store));
  doc["notifications"][0]["emailSubject"] = "Changed";
  doc["notifications"][1] = Json{{"name", "New one"}, {"number", 1}, {"eventTypes", {"node.down"}}};
  const std::string before = Contents(*store);

  const auto planned = ImportJson(*store, doc.dump(), {.prune = true, .dryRun = true});
  EXPECT_EQ(Actions(planned), "RCP");
  EXPECT_EQ(Contents(*store), before);

  auto open = store->OpenDefinition(1);
  const auto done = ImportJson(*store, doc.dump(), {});
  EXPECT_EQ(Actions(done), "RC");
  EXPECT_EQ(done[1].number, 3);
  EXPECT_EQ(store->ReadNotification(1).subject, std::optional<std::string>("Changed"));
  EXPECT_EQ(store->ReadNotification(1).revision, 1);
  EXPECT_EQ(store->ListNotifications().size(), 3u);  // without --prune the other one stays
  EXPECT_THROW(store->Save(*open), SaveRefused);     // an open editor meets the revision question

  // The document still says revision 0: someone changed it since.
  doc["notifications"][0]["emailSubject"] = "Again";
  const std::string afterFirst = Contents(*store);
  const auto conflict = Refusal(*store, doc.dump());
  ASSERT_EQ(conflict.size(), 1u);
  EXPECT_EQ(conflict[0].rfind("notifications[0]: notification 1 (\"Core network outage\") is at revision 1", 0), 0u)
      << conflict[0];
  EXPECT_EQ(Contents(*store), afterFirst);
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
