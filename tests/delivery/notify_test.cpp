// quillmont-notify as another program's event handler runs it.
#include <gtest/gtest.h>

#include "store/definition_store.h"
#include "store/seed.h"
#include "tests/support/loopback_receivers.h"

namespace {

using quillmont::testing::TempDir;

struct Result {
  int code = -1;
  std::string out;
};

Result Notify(const std::string& args) {
  Result r;
  r.out = quillmont::testing::Output(std::string(QUILLMONT_NOTIFY) + " " + args + " 2>/dev/null", &r.code);
  return r;
}

// Runs SQL on the database in the sqlite3 shell; what it prints.
std::string Sql(const std::string& db, const std::string& sql) {
  return quillmont::testing::Output("sqlite3 " + db + " \"" + sql + "\"");
}

// The sample database, with SQL run on it afterwards.
std::string SampleDatabase(const TempDir& dir, const std::string& sql = "") {
  const std::string path = dir.File("sample.db");
  quillmont::store::SeedDatabase(*quillmont::store::Store::Open(path));
  if (!sql.empty()) Sql(path, sql);
  return path;
}

// The reference: what the tables say each notification with the event type
// sends to, in the order of the notifications, managers before recipients.
std::string ExpectedDryRun(const std::string& db, const std::string& key) {
  const std::string chosen =
      "n.id IN (SELECT notification_id FROM notification_event_types WHERE type_key = '" + key + "')";
  return Sql(db,
             "SELECT 'would send: ' || char(34) || name || char(34) || ': ' || what FROM (SELECT n.name, 1 AS k, "
             "m.position AS p, m.version || ' trap to ' || m.host || ':' || m.port AS what FROM notifications n JOIN "
             "snmp_managers m ON m.notification_id = n.id WHERE " +
                 chosen +
                 " UNION ALL SELECT n.name, 2, r.position, 'e-mail to ' || r.address FROM notifications n JOIN "
                 "email_recipients r ON r.notification_id = n.id WHERE " +
                 chosen + ") ORDER BY name, k, p");
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
