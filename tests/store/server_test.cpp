// What several connections, and a server that goes away, do to saves: the
// change notices, refusals and the writers' lock on both backends, and the
// connection's own faults on PostgreSQL.
#include <gtest/gtest.h>
#include <unistd.h>

#include "quillmont/definitions/members.h"
#include "store/definition_store.h"
#include "store/pg_db.h"
#include "store/seed.h"
#include "tests/store/backends.h"

namespace quillmont::store {
namespace {

using quillmont::testing::PgCluster;

class TwoEditors : public BackendTest {
 protected:
  void SetUp() override {
    location = NewLocation();
    OpenOptions quick;
    quick.busyTimeoutMs = 200;
    a = Store::Open(location, quick);
    SeedDatabase(*a);
    b = Store::Open(location, quick);
  }
  SaveRefused::Reason Refusal(Store& store, StoredDefinition& d) {
    try {
      store.Save(d);
    } catch (const SaveRefused& e) {
      return e.Why();
    }
    ADD_FAILURE() << "the save was not refused";
    return SaveRefused::Reason::NameTaken;
  }

  std::string location;
  std::shared_ptr<Store> a, b;
};

QM_ON_BOTH_BACKENDS(TwoEditors);

TEST_P(TwoEditors, EachLearnsOfTheOthersSavesAndDeletionsAndNamesAreRefused) {
  auto one = a->OpenDefinition(1);
  auto two = b->OpenDefinition(1);
  const std::int64_t bSees = b->DataVersion(), aSees = a->DataVersion();
  one->SetName("By A");
  a->Save(*one);
  // A server's notice arrives a moment after the commit.
  for (int wait = 0; wait < 500 && b->DataVersion() == bSees; ++wait) usleep(10000);
  EXPECT_NE(b->DataVersion(), bSees);
  EXPECT_EQ(a->DataVersion(), aSees);  // its own save is no news
  two->SetName("Lost?");
  EXPECT_EQ(Refusal(*b, *two), SaveRefused::Reason::ChangedMeanwhile);
  b->Save(*two, true);  // the user chose to overwrite
  EXPECT_EQ(a->ReadNotification(1).name, "Lost?");
  EXPECT_EQ(a->ReadNotification(1).revision, two->Revision());
  // One deletes what the other holds; two new ones take one name.
  auto held = b->OpenDefinition(2);
  a->DeleteNotification(2);
  held->SetName("Still here");
  EXPECT_EQ(Refusal(*b, *held), SaveRefused::Reason::DeletedMeanwhile);
  auto x = a->NewDefinition("Twin");
  auto y = b->NewDefinition("TWIN");
  a->Save(*x);
  EXPECT_EQ(Refusal(*b, *y), SaveRefused::Reason::NameTaken);
  EXPECT_TRUE(y->IsNew());
}

TEST_P(TwoEditors, AWriterWaitsForTheOtherAndGivesUpWithBusy) {
  auto d = b->OpenDefinition(1);
  d->SetName("Waiting");
  {
    WriteTransaction holding(a->Db());
    try {
      b->Save(*d);
      ADD_FAILURE() << "saved past another writer";
    } catch (const Error& e) {
      EXPECT_EQ(e.Code(), ErrorCode::Busy) << e.what();
      EXPECT_NE(std::string(e.what()).find("in use by another program"), std::string::npos) << e.what();
    }
  }
  b->Save(*d);
  EXPECT_EQ(a->ReadNotification(1).name, "Waiting");
}

TEST(PostgresServer, AServerGoneAndBackKeepsTheEditsAndTheSaveThenWorks) {
  PgCluster& cluster = PgCluster::Shared();
  auto store = Store::Open(cluster.NewDatabase());
  SeedDatabase(*store);
  auto d = store->OpenDefinition(1);
  d->SetName("Edited offline");
  d->SetSnmpManagers(Managers({{"nms.example.net", 162}}));
  // A row the server refuses (not UTF-8) fails the whole save, although
  // list rows are sent without waiting for each answer.
  auto bad = std::make_shared<BasicEmailRecipientList>();
  auto r = std::make_shared<BasicEmailRecipient>();
  r->Init(Variant(), "bad\xff@example.net", Variant());
  bad->Add(r);
  d->SetEmailRecipients(bad);
  EXPECT_THROW(store->Save(*d), Error);
  EXPECT_EQ(store->ReadNotification(1).name, "Core network outage");
  d->SetEmailRecipients(std::make_shared<BasicEmailRecipientList>());
  cluster.Stop();
  const std::int64_t seen = store->DataVersion();  // asked while it is away: no error
  try {
    store->Save(*d);
    ADD_FAILURE() << "saved to a stopped server";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("database server"), std::string::npos) << e.what();
  }
  EXPECT_EQ(d->Name(), "Edited offline");
  cluster.Start();
  store->Save(*d);
  const NotificationRecord saved = store->ReadNotification(1);
  EXPECT_EQ(saved.name, "Edited offline");
  ASSERT_EQ(saved.managers.size(), 1u);
  EXPECT_EQ(saved.managers[0].host, "nms.example.net");
  EXPECT_TRUE(saved.recipients.empty());
  EXPECT_NE(store->DataVersion(), seen);  // reconnected: the list reads again
}

TEST(PostgresServer, ConnectionFaultsSayWhichAndNeverShowThePassword) {
  PgCluster& cluster = PgCluster::Shared();
  const std::string good = cluster.Uri("postgres", "guarded");
  const std::pair<std::string, std::string> cases[] = {
      {good + "&password=wrong-secret", "refused the login"},
      {"postgresql://guarded:wrong-secret@/postgres?" + good.substr(good.find('?') + 1), "refused the login"},
      {cluster.Uri("nosuch"), "has no database \"nosuch\""},
      {"postgresql://qm:wrong-secret@/postgres?host=/nonexistent", "Cannot reach the database server"},
  };
  for (const auto& [uri, expected] : cases) {
    try {
      Store::Open(uri);
      ADD_FAILURE() << uri;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find("wrong-secret"), std::string::npos) << e.what();
    }
  }
  // Each way a location gives a password: hidden in place (for ps), left out of the name it goes by.
  const std::tuple<std::string, std::string, std::string> locations[] = {
      {"postgres://u:p%40ss@h:5/d?password=x&sslmode=require&password=yy",
       "postgres://u:******@h:5/d?password=*&sslmode=require&password=**", "postgres://u@h:5/d?sslmode=require"},
      {"postgresql://h/d?apassword=k", "postgresql://h/d?apassword=k", "postgresql://h/d?apassword=k"},
      {"host=h password='a \\'b' dbname=d", "host=h password=******* dbname=d", "host=h  dbname=d"},
      {"password = x host=h", "password = * host=h", " host=h"},
  };
  for (const auto& [location, hidden, redacted] : locations) {
    std::string argument = "--db=" + location;
    HidePasswordInArgument(argument.data());
    EXPECT_EQ(std::pair(argument, RedactedUri(location)), std::pair("--db=" + hidden, redacted));
  }
  // A ? in quoted text or a quoted name is no placeholder.
  PgDatabase db(good + "&password=right-password", true, 1000);
  Statement quoted = db.Prepare("SELECT '?' || \"?\" FROM (SELECT ? AS \"?\") t");
  ASSERT_TRUE(quoted.Bind(1, "x").Step());
  EXPECT_EQ(quoted.Text(0), "?x");
}

}  // namespace
}  // namespace quillmont::store
