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

}  // namespace
}  // namespace quillmont
