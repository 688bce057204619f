#include <gtest/gtest.h>
#include <malloc.h>

#include <string>

#include "quillmont/controls/selector.h"
#include "quillmont/definitions/members.h"

namespace quillmont {
namespace {

// A filter change drops a whole fill: refilling again and again keeps the
// storage of about one fill, not of every fill so far.
TEST(RowStorage, SelectorRefillsDoNotPileUpStorage) {
  Selector x("xEvents");
  std::size_t settled = 0;
  for (int fill = 0; fill < 24; ++fill) {
    if (fill == 4) settled = mallinfo2().uordblks;
    x.ClearAvailable();
    for (int i = 0; i < 20000; ++i) x.AddAvailable("Event type " + std::to_string(i), "K" + std::to_string(i));
    x.EndFill();
  }
  EXPECT_LT(mallinfo2().uordblks, settled + (std::size_t{1} << 20));
}

// Keys appended are found once anybody looks, the first copy of a repeated
// key answering, and an Add after them still refuses a key already there.
TEST(RowStorage, AppendedCatalogueKeysAreFoundFirstCopyFirst) {
  BasicEventTypeCollection catalogue;
  for (int i = 0; i < 3000; ++i)
    catalogue.Append(std::make_shared<BasicEventType>("K" + std::to_string(i % 2000), "N" + std::to_string(i), 1));
  EXPECT_EQ(catalogue.Item("K5")->Name(), "N5");
  EXPECT_THROW(catalogue.Add(std::make_shared<BasicEventType>("K7", "again", 1)), Error);
}

struct Tag {
  virtual ~Tag() = default;
};
struct TaggedRecipient : Tag, BasicEmailRecipient {};  // the recipient part not first

// A typed list takes members wherever that part sits, one after another,
// and still refuses an item of another type afterwards.
TEST(RowStorage, TypedListTakesMembersAtAnyOffsetAndRefusesOthers) {
  BasicEmailRecipientList list;
  auto first = std::make_shared<TaggedRecipient>(), second = std::make_shared<TaggedRecipient>();
  second->SetAddress("b@x");
  list.Add(first);
  list.Add(second);
  EXPECT_EQ(list.Recipient(2)->Address(), "b@x");
  EXPECT_THROW(list.Add(std::make_shared<BasicSnmpManager>()), Error);
}

}  // namespace
}  // namespace quillmont
