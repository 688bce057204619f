// Two connections to one file saving the same notification, in every order
// of open, edit and save: both edits are kept, or the later save is refused
// and writes nothing. Never a silent overwrite.
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

// Upper case opens notification 1 and adds a recipient; lower case saves.
TEST(Revisions, EveryInterleavingOfTwoEditorsKeepsBothEditsOrRefusesOne) {
  int interleavings = 0;
  std::string events = "ABab";  // the first permutation in sort order
  do {
    if (events.find('A') > events.find('a') || events.find('B') > events.find('b')) continue;
    SCOPED_TRACE(events);
    ++interleavings;
    quillmont::testing::TempDir dir;
    std::map<char, std::shared_ptr<Store>> stores{{'a', Store::Open(dir.File("q.db"))}};
    SeedDatabase(*stores['a']);
    stores['b'] = Store::Open(dir.File("q.db"));
    std::map<char, std::shared_ptr<StoredDefinition>> open;
    std::map<char, bool> refused;
    for (char e : events) {
      const char who = static_cast<char>(std::tolower(e));
      if (e == who) {
        try {
          stores[who]->Save(*open[who]);
        } catch (const SaveRefused& refusal) {
          EXPECT_EQ(refusal.Why(), SaveRefused::Reason::ChangedMeanwhile);
          refused[who] = true;
        }
        continue;
      }
      auto& d = open[who] = stores[who]->OpenDefinition(1);
      d->LoadEmailDetails();
      auto list = std::make_shared<BasicEmailRecipientList>();
      for (int i = 1; i <= d->EmailRecipients()->Count(); ++i) list->Add(d->EmailRecipients()->Recipient(i));
      auto mine = std::make_shared<BasicEmailRecipient>();
      mine->Init(Variant(), std::string("from-") + e, Variant());
      list->Add(mine);
      d->SetEmailRecipients(list);
    }
    // Reference: the later save is refused exactly when both opened before
    // the first save.
    const auto firstSave = std::min(events.find('a'), events.find('b'));
    EXPECT_EQ(refused['a'] || refused['b'], events.find('A') < firstSave && events.find('B') < firstSave);
    const auto stored = stores['a']->ReadNotification(1).recipients;
    for (char who : {'a', 'b'})
      EXPECT_EQ(std::count(stored.begin(), stored.end(), std::string("from-") + static_cast<char>(std::toupper(who))),
                refused[who] ? 0 : 1);
  } while (std::next_permutation(events.begin(), events.end()));
  EXPECT_EQ(interleavings, 6);
}

}  // namespace
}  // namespace quillmont::store
