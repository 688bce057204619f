// quillmont-notify as another program's event handler runs it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>

#include "store/definition_store.h"
#include "store/seed.h"
#include "tests/support/loopback_receivers.h"

namespace {

using quillmont::testing::TempDir;

struct Result {
  int code;
  std::string out;
};

Result Notify(const std::string& args) {
  FILE* p = popen((std::string(QUILLMONT_NOTIFY) + " " + args + " 2>/dev/null").c_str(), "r");
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
  const int status = pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// The sample database, with SQL run on it afterwards.
std::string SampleDatabase(const TempDir& dir, const std::string& sql = "") {
  const std::string path = dir.File("sample.db");
  quillmont::store::SeedDatabase(*quillmont::store::Store::Open(path));
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
  return path;
}

// The reference: what the tables say each notification with the event type
// sends to, in the order of the notifications, managers before recipients.
std::string ExpectedDryRun(const std::string& path, const std::string& key) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  const std::string sql =
      "SELECT n.name, 1, m.position, m.version || ' trap to ' || m.host || ':' || m.port FROM notifications n "
      "JOIN snmp_managers m ON m.notification_id = n.id WHERE n.id IN (SELECT notification_id FROM "
      "notification_event_types WHERE type_key = '" +
      key +
      "') UNION ALL "
      "SELECT n.name, 2, r.position, 'e-mail to ' || r.address FROM notifications n "
      "JOIN email_recipients r ON r.notification_id = n.id WHERE n.id IN (SELECT notification_id FROM "
      "notification_event_types WHERE type_key = '" +
      key + "') ORDER BY 1, 2, 3";
  std::string out;
  sqlite3_exec(
      db, sql.c_str(),
      [](void* text, int, char** v, char**) {
        *static_cast<std::string*>(text) += std::string("would send: \"") + v[0] + "\": " + v[3] + "\n";
        return 0;
      },
      &out, nullptr);
  sqlite3_close(db);
  return out;
}

TEST(Notify, DryRunListsExactlyTheDestinationsOfTheEventAndExitCodesTellWhatWentWrong) {
  TempDir dir;
  const std::string db = SampleDatabase(dir);
  for (const char* key : {"node.down", "env.smoke-detected", "node.up"}) {
    SCOPED_TRACE(key);
    const Result run = Notify("--dry-run --event " + std::string(key) + " --db " + db);
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, ExpectedDryRun(db, key));
  }
  EXPECT_NE(ExpectedDryRun(db, "node.down"), "");
  EXPECT_EQ(Notify("--dry-run --event no.such-event --db " + db).code, 3);
  EXPECT_EQ(Notify("--dry-run --db " + db).code, 2);
  EXPECT_EQ(Notify("--event node.down --timeout 0 --db " + db).code, 2);
  EXPECT_EQ(Notify("--dry-run --event node.down --db " + dir.File("missing.db")).code, 4);
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing.db")));
}

TEST(Notify, DeliversForAnEventAndFailsWhenADestinationIsNotReached) {
  TempDir dir;
  quillmont::testing::TrapReceiver traps(dir);
  quillmont::testing::MailReceiver smtp(dir);
  ASSERT_TRUE(traps.Ready() && smtp.Ready());
  const std::string port = std::to_string(traps.Port());
  const std::string db = SampleDatabase(
      dir, "UPDATE snmp_managers SET host = '127.0.0.1', port = " + port +
               " WHERE notification_id = 1; UPDATE email_recipients SET address = 'refuse@example.net' "
               "WHERE notification_id = 1 AND position = 2; INSERT INTO settings VALUES('Delivery.SmtpServer', "
               "'127.0.0.1'), ('Delivery.SmtpPort', '" +
               std::to_string(smtp.Port()) + "');");
  Result run = Notify("--event node.down --node core-sw1 --message 'no answer' --timeout 30 --db " + db);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out.substr(0, run.out.find("refuse@")),
            "sent: \"Core network outage\": SNMP v2c trap to 127.0.0.1:" + port +
                "\nsent: \"Core network outage\": SNMP v1 trap to 127.0.0.1:" + port +
                "\nsent: \"Core network outage\": e-mail to noc@example.net\n"
                "failed: \"Core network outage\": e-mail to ");
  ASSERT_TRUE(
      quillmont::testing::WaitUntil([&] { return traps.Log().find("no answer") != traps.Log().rfind("no answer"); }));
  ASSERT_EQ(smtp.Mails().size(), 1u);
  EXPECT_NE(smtp.Mails()[0].find("core-sw1"), std::string::npos);

  SampleDatabase(dir, "DELETE FROM email_recipients WHERE address LIKE 'refuse@%'");
  EXPECT_EQ(Notify("--event node.down --db " + db).code, 0);
}

}  // namespace
