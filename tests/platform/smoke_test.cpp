#include <gtest/gtest.h>

#include "quillmont/platform/guid.h"

TEST(Smoke, Builds) { EXPECT_EQ(quillmont::Guid().ToString(), "{00000000-0000-0000-0000-000000000000}"); }
