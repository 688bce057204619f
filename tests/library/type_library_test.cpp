#include "quillmont/library/type_library.h"

#include <gtest/gtest.h>

#include "quillmont/library/com.h"

namespace quillmont::typelib {
namespace {

// Identities are typed once as literals; each must be the one the parser reads.
TEST(TypeLibrary, GuidLiteralMatchesTheParser) {
  constexpr Guid g = GuidLiteral("{e0f52572-de2d-4569-b032-959d5cf2daba}");
  EXPECT_EQ(g, Guid::Parse("{E0F52572-DE2D-4569-B032-959D5CF2DABA}"));
  EXPECT_EQ(com::IUnknown::kIid, Guid::Parse("{00000000-0000-0000-C000-000000000046}"));
  EXPECT_EQ(com::IClassFactory::kIid, Guid::Parse("{00000001-0000-0000-C000-000000000046}"));
  EXPECT_EQ(com::IDispatch::kIid, Guid::Parse("{00020400-0000-0000-C000-000000000046}"));
}

}  // namespace
}  // namespace quillmont::typelib
