// Delivery against real receivers on loopback: snmptrapd and an SMTP server
// started by the tests on free ports, and servers that refuse or never answer;
// then quillmont-notify as another program's event handler runs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "delivery/delivery.h"
#include "store/definition_store.h"
#include "store/seed.h"
#include "tests/support/loopback_receivers.h"

namespace quillmont::delivery {
namespace {

using testing::TempDir;

// 2023-11-14T22:13:20Z.
const auto kTime = std::chrono::system_clock::from_time_t(1700000000);
const Event kEvent{"node.down", "Node Down", "core-sw1", "no answer to ping", kTime};

DeliverySettings Settings(int smtpPort) {
  DeliverySettings s;
  s.smtpServer = "127.0.0.1";
  s.smtpPort = smtpPort;
  s.connectTimeoutSeconds = 2;
  s.timeoutSeconds = 2;
  return s;
}

TEST(Delivery, TrapsOfBothVersionsArriveWithTheirBindings) {
  TempDir dir;
  testing::TrapReceiver traps(dir);
  ASSERT_TRUE(traps.Ready()) << testing::ReadText(dir.File("snmptrapd.out"));
  Notification n{"Core outage", {}, {}, {{"127.0.0.1", traps.Port(), "SNMP v1", "UNIX"}}, {}};
  n.managers.push_back({"localhost", traps.Port(), "SNMP v2c", "UTC"});
  const auto outcomes = Deliver(n, kEvent, Settings(25));
  ASSERT_EQ(outcomes.size(), 2u);
  for (const Outcome& o : outcomes) EXPECT_TRUE(o.sent) << o.destination << ": " << o.detail;
  ASSERT_TRUE(testing::WaitUntil([&] { return traps.Log().find("2023-11-14T22:13:20Z") != std::string::npos; }));
  ASSERT_TRUE(testing::WaitUntil([&] { return traps.Log().find("\"1700000000\"") != std::string::npos; }));
  const std::string log = traps.Log();
  for (const char* expected : {
           "Enterprise Specific Trap (1)",                            // the v1 trap
           ".1.3.6.1.6.3.1.1.4.1.0 = OID: .1.3.6.1.4.1.32473.1.0.1",  // the v2c trap
           ".1.3.6.1.4.1.32473.1.2.1 = STRING: \"Core outage\"",
           ".1.3.6.1.4.1.32473.1.2.2 = STRING: \"node.down\"",
           ".1.3.6.1.4.1.32473.1.2.3 = STRING: \"Node Down\"",
           ".1.3.6.1.4.1.32473.1.2.4 = STRING: \"core-sw1\"",
           ".1.3.6.1.4.1.32473.1.2.5 = STRING: \"no answer to ping\"",
           ".1.3.6.1.4.1.32473.1.2.6 = STRING: \"1700000000\"",
           ".1.3.6.1.4.1.32473.1.2.6 = STRING: \"2023-11-14T22:13:20Z\"",
       })
    EXPECT_NE(log.find(expected), std::string::npos) << expected << "\nlog:\n" << log;
}

TEST(Delivery, MailsArriveOnePerRecipientAndARejectedRecipientIsItsOwnFailure) {
  TempDir dir;
  testing::MailReceiver smtp(dir);
  ASSERT_TRUE(smtp.Ready()) << testing::ReadText(dir.File("smtpd.out"));
  Notification n{"Core outage",
                 "<Default>",
                 "Down: {node}\n.\nsee {event_key}",
                 {},
                 {"noc@example.net", "refuse@example.net", "oncall@example.net"}};
  const auto outcomes = Deliver(n, kEvent, Settings(smtp.Port()));
  ASSERT_EQ(outcomes.size(), 3u);
  EXPECT_TRUE(outcomes[0].sent) << outcomes[0].detail;
  EXPECT_FALSE(outcomes[1].sent);
  EXPECT_EQ(outcomes[1].destination, "e-mail to refuse@example.net");
  EXPECT_NE(outcomes[1].detail.find("550 5.1.1 <refuse@example.net>: no such mailbox here"), std::string::npos)
      << outcomes[1].detail;
  EXPECT_TRUE(outcomes[2].sent) << outcomes[2].detail;
  // Sent at once, so kept in any order.
  auto mails = smtp.Mails();
  ASSERT_EQ(mails.size(), 2u);
  std::sort(mails.begin(), mails.end());
  EXPECT_EQ(mails[0].find("MAIL FROM quillmont@localhost\nRCPT TO noc@example.net\n"), 0u) << mails[0];
  EXPECT_EQ(mails[1].find("MAIL FROM quillmont@localhost\nRCPT TO oncall@example.net\n"), 0u) << mails[1];
  for (const char* expected :
       {"\r\nTo: noc@example.net\r\n", "\r\nSubject: Quillmont: Node Down on core-sw1\r\n",
        "Date: Tue, 14 Nov 2023 22:13:20 +0000\r\n", "\r\n\r\nDown: core-sw1\r\n.\r\nsee node.down\r\n"})
    EXPECT_NE(mails[0].find(expected), std::string::npos) << expected << "\nmail:\n" << mails[0];
}

TEST(Delivery, FailuresAreReportedPerDestinationSayingWhatHappenedAndBadHeadersNeverConnect) {
  TempDir dir;
  testing::SilentServer silent;
  testing::DroppingPort dropping;
  testing::BadMailServer closeAtConnect(dir, "close-at-connect"), closeInData(dir, "close-in-data"),
      quietAfterData(dir, "quiet-after-data");
  ASSERT_TRUE(closeAtConnect.Ready() && closeInData.Ready() && quietAfterData.Ready());
  const int closedPort = testing::FreePort(SOCK_STREAM);
  struct Case {
    const char* what;
    std::string server;
    int port;
    std::string subject, recipient, expected;  // a regular expression
    int deadlineSeconds = 60;
  };
  const Case cases[] = {
      {"nothing listening", "127.0.0.1", closedPort, "s", "a@example.net", "connection refused by 127.0.0.1:"},
      {"unresolvable name", "no-such-host.invalid", 25, "s", "a@example.net",
       "name not resolved: no-such-host.invalid"},
      // The time spent and the step, not the configured limit.
      {"never answering", "127.0.0.1", silent.Port(), "s", "a@example.net",
       "^timed out after 1\\.[0-9] s waiting for the server's greeting$"},
      {"dropping connections", "127.0.0.1", dropping.Port(), "s", "a@example.net",
       "^timed out after 1\\.[0-9] s connecting to 127\\.0\\.0\\.1:[0-9]+$"},
      {"quiet after the data", "127.0.0.1", quietAfterData.Port(), "s", "a@example.net",
       "^timed out after 2\\.[0-9] s waiting for the answer to the message$"},
      {"the deadline first", "127.0.0.1", quietAfterData.Port(), "s", "a@example.net",
       "^(timed out|not sent: the time allowed ran out) after 1\\.[0-9] s waiting for the answer to the message$", 1},
      {"closing at once", "127.0.0.1", closeAtConnect.Port(), "s", "a@example.net",
       "^the server 127\\.0\\.0\\.1:[0-9]+ closed the connection \\(before its greeting\\)$"},
      {"closing in the data", "127.0.0.1", closeInData.Port(), "s", "a@example.net",
       "^the server 127\\.0\\.0\\.1:[0-9]+ closed the connection \\(during the message\\)$"},
      {"CR/LF in the subject", "127.0.0.1", silent.Port(), "Hi\r\nBcc: x@example.net", "a@example.net", "line break"},
      {"bad address", "127.0.0.1", silent.Port(), "s", "a@example.net\r\nBcc: x@example.net", "not a valid e-mail"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeliverySettings s = Settings(c.port);
    s.smtpServer = c.server;
    s.connectTimeoutSeconds = 1;
    // Closing in the middle of a message is seen in a long one.
    const std::string message(c.port == closeInData.Port() ? 4 << 20 : 1, 'm');
    Options options;
    options.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(c.deadlineSeconds);
    const auto outcomes = Deliver({"N", c.subject, message, {}, {c.recipient}}, kEvent, s, options);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].sent);
    EXPECT_THAT(outcomes[0].detail, ::testing::ContainsRegex(c.expected));
    // Only the timeout case may have reached the silent server.
    EXPECT_EQ(silent.Approached(), std::string(c.what) == "never answering");
  }
  // A login's password: never from a file others may read, and then no
  // connection is made; from a file of the user's alone, its first line.
  testing::ScopedEnv noPassword("QUILLMONT_SMTP_PASSWORD", nullptr);
  DeliverySettings login = Settings(silent.Port());
  login.smtpUser = "ops";
  login.smtpPasswordFile = dir.File("password");
  testing::WriteText(login.smtpPasswordFile, "secret\nsecond line");
  chmod(login.smtpPasswordFile.c_str(), 0640);
  const auto refused = Deliver({"N", "s", "m", {}, {"a@example.net"}}, kEvent, login);
  EXPECT_NE(refused.at(0).detail.find("nobody else may read"), std::string::npos) << refused[0].detail;
  EXPECT_FALSE(silent.Approached());
  chmod(login.smtpPasswordFile.c_str(), 0600);
  EXPECT_EQ(ReadPassword(login), "secret");
  std::filesystem::resize_file(login.smtpPasswordFile, 1 << 20);
  EXPECT_THROW(ReadPassword(login), Error) << "a file larger than a password";
  // Traps: a name that does not resolve, and a port nothing receives on.
  const int closedUdp = testing::FreePort(SOCK_DGRAM);
  const Notification n{
      "N", {}, {}, {{"no-such-host.invalid", 162, "SNMP v2c", "UTC"}, {"127.0.0.1", closedUdp, "SNMP v1", "UTC"}}, {}};
  const auto traps = Deliver(n, kEvent, Settings(25));
  ASSERT_EQ(traps.size(), 2u);
  EXPECT_NE(traps[0].detail.find("name not resolved: no-such-host.invalid"), std::string::npos) << traps[0].detail;
  EXPECT_NE(traps[1].detail.find("refused: nothing receives traps on 127.0.0.1:"), std::string::npos)
      << traps[1].detail;
  EXPECT_FALSE(traps[0].sent || traps[1].sent);
}

struct Result {
  int code = -1;
  std::string out;
};

Result Notify(const std::string& args) {
  Result r;
  r.out = testing::Output(std::string(QUILLMONT_NOTIFY) + " " + args + " 2>/dev/null", &r.code);
  return r;
}

// Runs SQL on the database in the sqlite3 shell; what it prints.
std::string Sql(const std::string& db, const std::string& sql) {
  return testing::Output("sqlite3 " + db + " \"" + sql + "\"");
}

// The sample database, with SQL run on it afterwards.
std::string SampleDatabase(const TempDir& dir, const std::string& sql = "") {
  const std::string path = dir.File("sample.db");
  store::SeedDatabase(*store::Store::Open(path));
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
  testing::TrapReceiver traps(dir);
  testing::MailReceiver smtp(dir);
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
  ASSERT_TRUE(testing::WaitUntil([&] { return traps.Log().find("no answer") != traps.Log().rfind("no answer"); }));
  ASSERT_EQ(smtp.Mails().size(), 1u);
  EXPECT_NE(smtp.Mails()[0].find("core-sw1"), std::string::npos);

  SampleDatabase(dir, "DELETE FROM email_recipients WHERE address LIKE 'refuse@%'");
  EXPECT_EQ(Notify("--event node.down --db " + db).code, 0);
}

// A setting that names a file of the runner's is taken only from a database
// of the runner's (or root's); a password file is a regular file, read
// without waiting on it.
TEST(Notify, LocalFilesOnlyFromTheRunnersOwnDatabaseAndNeverWaitingOnAFifo) {
  TempDir dir;
  testing::ScopedEnv noPassword("QUILLMONT_SMTP_PASSWORD", nullptr);
  testing::WriteText(dir.File("secret"), "the runner's secret");
  chmod(dir.File("secret").c_str(), 0600);
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  const std::string db = SampleDatabase(dir,
                                        "DELETE FROM snmp_managers; INSERT INTO settings VALUES "
                                        "('Delivery.SmtpUser', 'ops'), ('Delivery.SmtpServer', '127.0.0.1'), "
                                        "('Delivery.SmtpPasswordFile', '" +
                                            dir.File("fifo") + "')");
  int code = -1;
  // (Before, the FIFO held the run until something wrote to it.)
  std::string out = testing::Output("timeout 20 " + std::string(QUILLMONT_NOTIFY) +
                                        " --event node.down --timeout 3 "
                                        "--db " +
                                        db + " 2>&1",
                                    &code);
  EXPECT_EQ(code, 1) << out;
  EXPECT_NE(out.find("fifo is not used: it must be a regular file"), std::string::npos) << out;
  if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root (CI runs this as root)";
  Sql(db, "UPDATE settings SET value = '" + dir.File("secret") + "' WHERE key = 'Delivery.SmtpPasswordFile'");
  ASSERT_EQ(chown(db.c_str(), 65534, 65534), 0);
  const std::string run = std::string(QUILLMONT_NOTIFY) + " --dry-run --event node.down --db " + db + " 2>&1";
  out = testing::Output(run, &code);
  EXPECT_EQ(code, 4) << out;
  EXPECT_NE(out.find("\"Delivery.SmtpPasswordFile\" names the file " + dir.File("secret")), std::string::npos) << out;
  EXPECT_NE(out.find("belongs to nobody (uid 65534)"), std::string::npos) << out;
  Sql(db, "DELETE FROM settings WHERE key = 'Delivery.SmtpPasswordFile'");
  out = testing::Output(run, &code);
  EXPECT_EQ(code, 0) << out;
  EXPECT_NE(out.find("note: The database " + db + " belongs to nobody"), std::string::npos) << out;
}

}  // namespace
}  // namespace quillmont::delivery
