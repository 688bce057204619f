#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "quillmont/definitions/members.h"
#include "store/definition_store.h"
#include "store/notification_io.h"
#include "store/seed.h"
#include "tests/support/temp_dir.h"

namespace quillmont::store {
namespace {

using quillmont::testing::TempDir;

std::shared_ptr<SnmpManagerList> ManyManagers(int count) {
  auto list = std::make_shared<BasicSnmpManagerList>();
  for (int i = 0; i < count; ++i) {
    auto m = std::make_shared<BasicSnmpManager>();
    m->Init("owner", "host" + std::to_string(i) + ".example.net", 162, "SNMP v1", "UNIX");
    list->Add(m);
  }
  return list;
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

}  // namespace
}  // namespace quillmont::store
