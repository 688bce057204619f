// Delivery against real receivers on loopback: snmptrapd and an SMTP server
// started by the tests on free ports, and servers that refuse or never answer;
// then quillmont-notify as another program's event handler runs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <future>
#include <regex>
#include <sstream>

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
  for (const Outcome& o : outcomes) EXPECT_EQ(std::pair(o.sent, o.detail), std::pair(true, std::string("sent")));
  ASSERT_TRUE(testing::WaitUntil([&] { return traps.Log().find("2023-11-14T22:13:20Z") != std::string::npos; }));
  ASSERT_TRUE(testing::WaitUntil([&] { return traps.Log().find("\"1700000000\"") != std::string::npos; }));
  const std::string log = traps.Log();
  // The v1 trap with its agent address (the sender's), the v2c trap, and the
  // bindings of each in order, whole to the line's end.
  const std::string bindings =
      "\t.1.3.6.1.4.1.32473.1.2.1 = STRING: \"Core outage\"\t.1.3.6.1.4.1.32473.1.2.2 = STRING: \"node.down\"\t"
      ".1.3.6.1.4.1.32473.1.2.3 = STRING: \"Node Down\"\t.1.3.6.1.4.1.32473.1.2.4 = STRING: \"core-sw1\"\t"
      ".1.3.6.1.4.1.32473.1.2.5 = STRING: \"no answer to ping\"\t.1.3.6.1.4.1.32473.1.2.6 = STRING: \"";
  for (const std::string& expected : std::vector<std::string>{
           " [127.0.0.1] (via UDP: [127.0.0.1]:", "\n" + bindings + "1700000000\"\n",
           "SNMP v1, community public\n\t.1.3.6.1.4.1.32473.1 Enterprise Specific Trap (1) Uptime: ",
           "\n.1.3.6.1.2.1.1.3.0 = Timeticks: (",
           "\t.1.3.6.1.6.3.1.1.4.1.0 = OID: .1.3.6.1.4.1.32473.1.0.1" + bindings + "2023-11-14T22:13:20Z\"\n"})
    EXPECT_NE(log.find(expected), std::string::npos) << expected << "\nlog:\n" << log;
}

// An enterprise OID is sent only when it arrives as written; the others are
// refused before anything is sent, and the library writes nothing to stderr.
TEST(Delivery, AnEnterpriseOidGoesOutExactlyOrNotAtAll) {
  TempDir dir;
  testing::TrapReceiver traps(dir);
  ASSERT_TRUE(traps.Ready());
  for (const std::string oid : {"2.999.4294967295", "1.40.1", "3.6.1"}) {
    DeliverySettings s = Settings(25);
    s.snmpEnterprise = oid;
    ::testing::internal::CaptureStderr();
    const Outcome o = Deliver({"N", {}, {}, {{"127.0.0.1", traps.Port(), "SNMP v2c", "UTC"}}, {}}, kEvent, s).at(0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(o.sent, oid[0] == '2') << o.detail;
  }
  EXPECT_TRUE(
      testing::WaitUntil([&] { return traps.Log().find(".2.999.4294967295.2.4 = STRING") != std::string::npos; }));
}

TEST(Delivery, MailsArriveOnePerRecipientAndARejectedRecipientIsItsOwnFailure) {
  TempDir dir;
  testing::MailReceiver smtp(dir);
  ASSERT_TRUE(smtp.Ready()) << testing::ReadText(dir.File("smtpd.out"));
  Notification n{"Core outage",
                 "<Default>",
                 "Down: {node}\n.\r{notification}|{event}|{message}|{time}|{nope}|{event_key}\r\n",  // LF, CR, CRLF
                 {},
                 {"noc@ops.example", "refuse@example.net", "oncall@example.net", "busy@example.net"}};
  const auto outcomes = Deliver(n, kEvent, Settings(smtp.Port()));
  std::vector<std::tuple<std::string, bool, Outcome::Failure>> got;
  for (const Outcome& o : outcomes) got.emplace_back(o.destination, o.sent, o.failure);
  // A 5xx for the recipient is for good; a 4xx may pass.
  using F = Outcome::Failure;
  EXPECT_EQ(got, (decltype(got){{"e-mail to noc@ops.example", true, F::None},
                                {"e-mail to refuse@example.net", false, F::Permanent},
                                {"e-mail to oncall@example.net", true, F::None},
                                {"e-mail to busy@example.net", false, F::Transient}}));
  EXPECT_THAT(outcomes[1].detail, ::testing::HasSubstr("550 5.1.1 <refuse@example.net>: no such mailbox here"));
  // Sent at once, so kept in any order.
  auto mails = smtp.Mails();
  ASSERT_EQ(mails.size(), 2u);
  std::sort(mails.begin(), mails.end());
  EXPECT_EQ(std::regex_replace(mails[0], std::regex("\\." + std::to_string(getpid()) + "\\.[0-9]+@"), ".PID.N@"),
            "MAIL FROM quillmont@localhost\nRCPT TO noc@ops.example\nDate: Tue, 14 Nov 2023 22:13:20 +0000\r\nFrom: "
            "quillmont@localhost\r\nTo: noc@ops.example\r\nSubject: Quillmont: Node Down on core-sw1\r\nMessage-ID: "
            "<1700000000000000.PID.N@localhost>\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; "
            "charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\nDown: core-sw1\r\n.\r\nCore "
            "outage|Node Down|no answer to ping|2023-11-14T22:13:20Z|{nope}|node.down\r\n");
}

// A mail reader (Python's email package) reads back exactly what was sent:
// a subject far longer than a header line, a line of 100 KiB, and text that
// looks like the encodings' own.
TEST(Delivery, LongSubjectsAndLinesArriveExactly) {
  TempDir dir;
  testing::MailReceiver smtp(dir);
  ASSERT_TRUE(smtp.Ready());
  Event event = kEvent;
  event.node = std::string(1200, 'n') + " \xc3\xbc =?x?= ";
  const std::string message = "first  \n" + std::string(102400, 'x') + "=3D \xe2\x82\xac\n.\nlast!~ \t";
  const auto outcomes = Deliver({"N", "{node}", message, {}, {"a@example.net"}}, event, Settings(smtp.Port()));
  ASSERT_TRUE(outcomes.at(0).sent) << outcomes[0].detail;
  ASSERT_EQ(smtp.Mails().size(), 1u);
  testing::WriteText(dir.File("mail"), smtp.Mails()[0].substr(smtp.Mails()[0].find("\nRCPT TO") + 1));
  const std::string read = testing::Output(
      "/usr/bin/python3 -c \"import email, email.policy, sys; m = email.message_from_bytes(open(sys.argv[1], 'rb')"
      ".read().split(b'\\n', 1)[1], policy=email.policy.default); sys.stdout.write(m['subject'] + '|' + "
      "m.get_content().replace('\\r\\n', '\\n'))\" " +
      dir.File("mail"));
  EXPECT_EQ(read, event.node + "|" + message + "\n");
  // A blank is written as it is but at the end of a line.
  EXPECT_NE(smtp.Mails()[0].find("\r\nfirst =20\r\n" + std::string(75, 'x') + "=\r\nx"), std::string::npos);
  EXPECT_NE(smtp.Mails()[0].find("=\r\n" + std::string(25, 'x') + "=3D3D =E2=82=AC\r\n.\r\nlast!~ =09\r\n"),
            std::string::npos);
  // A plain subject stays as it is up to the 76th character of its line;
  // past it, or not ASCII, it goes as encoded words of whole characters.
  const std::string c3Nz = "c3Nzc3Nzc3Nzc3Nzc3Nzc3Nzc3Nzc3Nzc3Nzc3Nzc3Nzc3Nzc3Nz";  // 39 's'
  for (const auto& [subject, header] : std::vector<std::pair<std::string, std::string>>{
           {std::string(67, 's'), std::string(67, 's')},
           {std::string(68, 's'), "=?UTF-8?B?" + c3Nz + "c3Nz?=\r\n =?UTF-8?B?" + c3Nz.substr(0, 32) + "c3M=?="},
           {std::string(41, 's') + "\xc3\xbc", "=?UTF-8?B?" + c3Nz + "c3M=?=\r\n =?UTF-8?B?w7w=?="}})
    EXPECT_THAT(ComposeMail({"N", subject, "m", {}, {}}, "a@example.net", kEvent, Settings(25)),
                ::testing::HasSubstr("\r\nSubject: " + header + "\r\n"));
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
    Outcome::Failure failure = Outcome::Failure::Transient;
  };
  const Case cases[] = {
      {"nothing listening", "127.0.0.1", closedPort, "s", "a@example.net", "connection refused by 127.0.0.1:"},
      {"no route", "fe80::1", 25, "s", "a@example.net", "^could not connect to \\[fe80::1\\]:25: .*fe80::1"},
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
      {"bad setting", "127.0.0.1", 0, "s", "a@example.net", "^not sent: The SMTP port must be from 1 to 65535\\.$"},
      {"CR/LF in the subject", "127.0.0.1", silent.Port(), "Hi\r\nBcc: x@example.net", "a@example.net", "line break",
       60, Outcome::Failure::Permanent},
      {"bad address", "127.0.0.1", silent.Port(), "s", "a@example.net, x@example.net", "not a valid e-mail", 60,
       Outcome::Failure::Permanent},
  };
  // All at once; each case's server is its own.
  std::vector<std::future<std::vector<Outcome>>> sends;
  for (const Case& c : cases)
    sends.push_back(std::async(std::launch::async, [&c, &closeInData] {
      DeliverySettings s = Settings(c.port);
      s.smtpServer = c.server;
      s.connectTimeoutSeconds = 1;
      // Closing in the middle of a message is seen in a long one.
      const std::string message(c.port == closeInData.Port() ? 4 << 20 : 1, 'm');
      Options options;
      options.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(c.deadlineSeconds);
      return Deliver({"N", c.subject, message, {}, {c.recipient}}, kEvent, s, options);
    }));
  for (std::size_t i = 0; i < sends.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    const auto outcomes = sends[i].get();
    EXPECT_THAT(outcomes.at(0).detail, ::testing::ContainsRegex(cases[i].expected));
    EXPECT_EQ(std::pair(outcomes[0].sent, outcomes[0].failure), std::pair(false, cases[i].failure));
  }
  // Only the timeout case reached the silent server: what is refused before
  // connecting never connects.
  EXPECT_TRUE(silent.Approached());
  EXPECT_FALSE(silent.Approached());
  // A login's password: never from a file others may read, and then no
  // connection is made; from a file of the user's alone, its first line.
  testing::ScopedEnv noPassword("QUILLMONT_SMTP_PASSWORD", nullptr);
  DeliverySettings login = Settings(silent.Port());
  login.smtpUser = "ops";
  login.smtpPasswordFile = dir.File("password");
  testing::WriteText(login.smtpPasswordFile, "secret\nsecond line");
  chmod(login.smtpPasswordFile.c_str(), 0640);
  const auto refused = Deliver({"N", "s", "m", {}, {"a@example.net"}}, kEvent, login);
  EXPECT_TRUE(refused.at(0).detail.ends_with("yours, at most 64 KiB, that nobody else may read or write"));
  EXPECT_FALSE(silent.Approached());
  chmod(login.smtpPasswordFile.c_str(), 0600);
  std::filesystem::resize_file(login.smtpPasswordFile, 64 << 10);
  EXPECT_EQ(ReadPassword(login), "secret");
  std::filesystem::resize_file(login.smtpPasswordFile, (64 << 10) + 1);
  EXPECT_THROW(ReadPassword(login), Error) << "a file larger than a password";
  // Traps: a name that does not resolve, a port nothing receives on, a
  // link-local address without its interface (no route), and a version or
  // port no manager takes.
  const std::pair<Manager, std::string> trapCases[] = {
      {{"no-such-host.invalid", 162, "SNMP v2c", "UTC"}, "name not resolved: no-such-host.invalid"},
      {{"127.0.0.1", testing::FreePort(SOCK_DGRAM), "SNMP v1", "UTC"}, "refused: nothing receives traps on 127.0.0.1:"},
      {{"fe80::1", 162, "SNMP v2c", "UTC"}, "could not send to [fe80::1]:162 (fe80::1): "},
      {{"127.0.0.1", 162, "SNMP v3", "UTC"}, "not sent: unknown SNMP version \"SNMP v3\""},
      {{"127.0.0.1", 0, "SNMP v1", "UTC"}, "not sent: the port 0 is not from 1 to 65535"}};
  Notification n{"N", {}, {}, {}, {}};
  for (const auto& c : trapCases) n.managers.push_back(c.first);
  const auto traps = Deliver(n, kEvent, Settings(25));
  for (std::size_t i = 0; i < std::size(trapCases); ++i)
    EXPECT_TRUE(!traps.at(i).sent && traps[i].detail.find(trapCases[i].second) != std::string::npos) << traps[i].detail;
}

// A server whose certificate no system authority signed: refused, with the
// setting that mends it named; trusted once its authority is in the CA file,
// which must be the user's own and written by nobody else.
TEST(Delivery, TheSmtpCaFileNamesWhomToTrust) {
  TempDir dir;
  const std::string cert = dir.File("cert.pem"), key = dir.File("key.pem");
  testing::Output(
      "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost -addext "
      "subjectAltName=IP:127.0.0.1 -keyout " +
      key + " -out " + cert + " 2>/dev/null");
  testing::MailReceiver smtp(dir, {cert, key});
  ASSERT_TRUE(smtp.Ready()) << testing::ReadText(dir.File("smtpd.out"));
  DeliverySettings s = Settings(smtp.Port());
  s.smtpTls = DeliverySettings::Tls::Implicit;
  // Nothing is left open once a run ends, the CA file neither.
  const auto filesBefore = std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
  for (const auto& [caFile, mode, expected] : std::vector<std::tuple<std::string, mode_t, std::string>>{
           {"", 0,
            " (the setting Delivery.SmtpCaFile, \"SMTP CA file\" on the settings screen, names a file of the "
            "certificate authorities that may sign the server's certificate)"},
           {cert, 0666, "yours or root's, at most 1024 KiB, that nobody else may write"},
           {cert, 0644, "sent"}}) {
    SCOPED_TRACE(expected);
    if (mode) chmod(cert.c_str(), mode);
    s.smtpCaFile = caFile;
    const auto outcomes = Deliver({"N", "s", "m", {}, {"a@example.net"}}, kEvent, s);
    EXPECT_TRUE(outcomes.at(0).detail.ends_with(expected)) << outcomes[0].detail;
  }
  EXPECT_EQ(smtp.Mails().size(), 1u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}), filesBefore);
}

struct Result {
  int code = -1;
  std::string out;
};

// Its standard output, or (`wrap` given) both outputs of the command line
// that `wrap` makes of it.
Result Notify(const std::string& args, const std::function<std::string(std::string)>& wrap = {}) {
  Result r;
  const std::string command = std::string(QUILLMONT_NOTIFY) + " " + args;
  r.out = testing::Output(wrap ? wrap(command) + " 2>&1" : command + " 2>/dev/null", &r.code);
  return r;
}

// Runs SQL on the database in the sqlite3 shell; what it prints.
std::string Sql(const std::string& db, const std::string& sql) {
  return testing::Output("sqlite3 " + db + " \"" + sql + "\"");
}

// The sample database (in the file `name`), with SQL run on it afterwards.
std::string SampleDatabase(const TempDir& dir, const std::string& sql = "", const std::string& name = "sample.db") {
  const std::string path = dir.File(name);
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
    EXPECT_EQ(std::pair(run.code, run.out), std::pair(0, ExpectedDryRun(db, key)));
  }
  // A newcomer's first try sends nowhere: documentation addresses and names
  // under .example only.
  std::istringstream places(Sql(db,
                                "SELECT host FROM snmp_managers UNION ALL SELECT substr(address, instr(address, '@') "
                                "+ 1) FROM email_recipients"));
  for (std::string place; std::getline(places, place);)
    EXPECT_THAT(place,
                ::testing::MatchesRegex("192\\.0\\.2\\.[0-9]+|198\\.51\\.100\\.[0-9]+|2001:db8:.*|.*\\.example"));
  EXPECT_EQ(Notify("--dry-run --event no.such-event --db " + db).code, 3);
  EXPECT_EQ(Notify("--dry-run --db " + db).code, 2);
  EXPECT_EQ(Notify("--event node.down --timeout 0 --db " + db).code, 2);
  EXPECT_EQ(Notify("--dry-run --event node.down --db " + dir.File("missing.db")).code, 4);
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing.db")));
}

// Whatever the servers do, every destination is tried, the working ones get
// theirs, and the run ends by --timeout plus one second (the bound asserted
// has another second for a loaded machine).
TEST(Notify, EveryDestinationIsTriedAndTheRunEndsByItsDeadlineWhateverTheServersDo) {
  TempDir dir;
  testing::TrapReceiver traps(dir);
  testing::BadMailServer quietAfterData(dir, "quiet-after-data"), quietAfterQuit(dir, "quiet-after-quit");
  testing::SilentServer silentDatabase;
  testing::SilentNameServer names(dir);
  ASSERT_TRUE(traps.Ready() && quietAfterData.Ready() && quietAfterQuit.Ready());
  ASSERT_TRUE(names.Ready())
      << "port 53 of a loopback address and unshare -rm are needed for a name server that never answers";
  struct Case {
    const char* what;  // also the event's message, to find its traps
    std::string firstManager, smtpServer;
    int smtpPort, timeout, code;
    std::string said;  // in the output
    bool unresolved = false;
    std::string db = "";
  };
  const Case cases[] = {
      {"quiet-after-data", "127.0.0.1", "127.0.0.1", quietAfterData.Port(), 3, 1,
       "e-mail to third@example.net: not sent: the time allowed ran out after "},
      {"quiet-after-quit", "127.0.0.1", "127.0.0.1", quietAfterQuit.Port(), 3, 0,
       "sent: \"Core network outage\": SNMP v2c trap to 127.0.0.1:" + std::to_string(traps.Port()) +
           "\nsent: \"Core network outage\": SNMP v1 trap to 127.0.0.1:" + std::to_string(traps.Port()) +
           "\nsent: \"Core network outage\": e-mail to noc@ops.example\n"},
      {"names-never-resolve", "nms.example", "smtp.example", 25, 4, 1,
       "e-mail to noc@ops.example: not sent: the time allowed ran out while resolving the name smtp.example", true},
      {"database-never-answers", "127.0.0.1", "127.0.0.1", 25, 3, 4, "database", false,
       "postgresql://127.0.0.1:" + std::to_string(silentDatabase.Port()) + "/quillmont"},
      // A connect timeout of the URI's own, past the run's: the run's deadline still holds.
      {"database-waited-on-longer", "127.0.0.1", "127.0.0.1", 25, 2, 4,
       "the database did not answer in the time allowed", false,
       "'postgresql://127.0.0.1:" + std::to_string(silentDatabase.Port()) + "/quillmont?connect_timeout=30'"},
  };
  // The runs at once, each timed on its own.
  TempDir run;
  std::vector<std::future<std::pair<Result, double>>> runs;
  for (const Case& c : cases) {
    const std::string sql = "UPDATE snmp_managers SET port = " + std::to_string(traps.Port()) +
                            ", host = CASE position WHEN 1 THEN '" + c.firstManager +
                            "' ELSE '127.0.0.1' END WHERE notification_id = 1; INSERT INTO email_recipients "
                            "VALUES(1, 3, 'third@example.net'); INSERT INTO settings VALUES('Delivery.SmtpServer', '" +
                            c.smtpServer + "'), ('Delivery.SmtpPort', '" + std::to_string(c.smtpPort) + "');";
    const std::string db = c.db.empty() ? SampleDatabase(run, sql, c.what) : c.db;
    runs.push_back(std::async(std::launch::async, [&, db] {
      const auto start = std::chrono::steady_clock::now();
      Result r = Notify("--event node.down --message " + std::string(c.what) + " --timeout " +
                            std::to_string(c.timeout) + " --db " + db,
                        [&](std::string command) { return c.unresolved ? names.Wrap(command) : command; });
      return std::make_pair(r, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }));
  }
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.what);
    const auto [r, seconds] = runs[i].get();
    EXPECT_LT(seconds, c.timeout + 2.0);
    EXPECT_EQ(r.code, c.code) << r.out;
    EXPECT_NE(r.out.find(c.said), std::string::npos) << r.out;
    if (c.code == 4) continue;
    // The working manager got its trap.
    EXPECT_TRUE(testing::WaitUntil([&] { return traps.Log().find(c.what) != std::string::npos; })) << r.out;
  }
  // Every recipient was tried, the server's silence notwithstanding.
  for (const char* address : {"<noc@ops.example>\n", "<network-oncall@ops.example>\n", "<third@example.net>\n"})
    EXPECT_NE(quietAfterData.Recipients().find(address), std::string::npos) << quietAfterData.Recipients();
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
  const std::string settings = "('Delivery.SmtpUser', 'ops'), ('Delivery.SmtpServer', '127.0.0.1'), ";
  const std::string db = SampleDatabase(dir, "DELETE FROM snmp_managers; INSERT INTO settings VALUES " + settings +
                                                 "('Delivery.SmtpPasswordFile', '" + dir.File("fifo") + "')");
  int code = -1;
  // (Before, the FIFO held the run until something wrote to it.)
  std::string out = testing::Output(
      "timeout 20 " + std::string(QUILLMONT_NOTIFY) + " --event node.down --timeout 3 --db " + db + " 2>&1", &code);
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
