#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "quillmont/definitions/members.h"

namespace quillmont {
namespace {

// Keys appended are found once anybody looks, the first copy of a repeated
// key answering, also when the first lookups come from two threads at once.
TEST(EventTypeCatalogue, AppendedKeysAreFoundFirstCopyFirst) {
  BasicEventTypeCollection catalogue;
  for (int i = 0; i < 3000; ++i)
    catalogue.Append(std::make_shared<BasicEventType>("K" + std::to_string(i % 2000), "N" + std::to_string(i), 1));
  std::thread other([&catalogue] { EXPECT_EQ(catalogue.Item("K1999")->Name(), "N1999"); });
  EXPECT_EQ(catalogue.Item("K5")->Name(), "N5");
  other.join();
  EXPECT_EQ(catalogue.Item("K2000"), nullptr);
  EXPECT_THROW(catalogue.Add(std::make_shared<BasicEventType>("K7", "again", 1)), Error);
  catalogue.Append(std::make_shared<BasicEventType>("K2000", "new", 1));
  EXPECT_EQ(catalogue.Item("K2000")->Name(), "new");
}

struct Caption : ListItem {
  std::string ColumnText(int) const override { return "caption"; }
};
// A recipient whose recipient part does not start the object.
struct CaptionedRecipient : Caption, BasicEmailRecipient {
  std::string ColumnText(int id) const override { return BasicEmailRecipient::ColumnText(id); }
};

// A typed list takes items of its member type wherever that part sits, one
// after another, and still refuses an item of another type afterwards.
TEST(TypedItemList, TakesMembersAtAnyOffsetAndRefusesOthers) {
  BasicEmailRecipientList list;
  for (const char* address : {"a@example.com", "b@example.com"}) {
    auto recipient = std::make_shared<CaptionedRecipient>();
    recipient->SetAddress(address);
    list.Add(std::static_pointer_cast<BasicEmailRecipient>(recipient));
  }
  EXPECT_EQ(list.Recipient(2)->Address(), "b@example.com");
  EXPECT_THROW(list.Add(std::make_shared<Caption>()), Error);
  EXPECT_EQ(list.Count(), 2);
}

}  // namespace
}  // namespace quillmont
