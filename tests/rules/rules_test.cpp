#include <gtest/gtest.h>

#include "quillmont/platform/error.h"
#include "quillmont/rules/fields.h"

namespace quillmont::rules {
namespace {

// The rules the pages, the import, delivery and the settings share, at their
// edges.
TEST(Rules, AcceptAndRefuseAtTheirEdges) {
  struct Case {
    const char* what;
    bool got;
    bool want;
  };
  std::string arcs126 = "1";
  for (int i = 1; i < kMaxOidArcs; ++i) arcs126 += ".1";
  const Case cases[] = {
      {"port 1", IsPort(1), true},
      {"port 65535", IsPort(65535), true},
      {"port 0", IsPort(0), false},
      {"port 65536", IsPort(65536), false},
      {"OID of two arcs", IsOid("1.3"), true},
      {"OID of one arc", IsOid("1"), false},
      {"OID with an empty arc", IsOid("1..3"), false},
      {"OID with a leading dot", IsOid(".1.3"), false},
      {"OID with a letter", IsOid("1.3a"), false},
      {"OID of 126 arcs", IsOid(arcs126), true},
      {"OID of 127 arcs", IsOid(arcs126 + ".1"), false},
      {"OID with a leading zero", IsOid("1.03"), false},
      {"OID under 1 with a second arc of 39", IsOid("1.39.1"), true},
      {"OID under 1 with a second arc of 40", IsOid("1.40.1"), false},
      {"OID under 2 with a large second arc", IsOid("2.4294967215"), true},
      {"OID under 2 whose first subidentifier overflows", IsOid("2.4294967216"), false},
      {"OID with a first arc of 3", IsOid("3.6.1"), false},
      {"OID with an arc of 2^32 - 1", IsOid("1.3.4294967295"), true},
      {"OID with an arc of 2^32", IsOid("1.3.4294967296"), false},
      {"version in lower case", IsSnmpVersion("snmp v1"), false},
      {"time format local", IsTimeFormat("LOCAL"), false},
      {"the default's marker", IsOwnText(kDefaultText), false},
      {"no stored text", IsOwnStoredText(std::nullopt), false},
      {"folded names", EqualsIgnoringAsciiCase("Core-SW1", "core-sw1"), true},
      {"only ASCII folds", EqualsIgnoringAsciiCase("\xC3\x89", "\xC3\xA9"), false},
      {"'@' and '`' beside the letters do not pair", EqualsIgnoringAsciiCase("@[", "`{"), false},
      {"folded texts of other lengths", EqualsIgnoringAsciiCase("abc", "ABCD"), false},
      {"line break", HasLineBreak("a\rb"), true},
      {"tab is no line break", HasLineBreak("a\tb"), false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(Rules, NamesAreTrimmedBoundedAndFreeOfControls) {
  EXPECT_EQ(CheckedName(" \tCore\t "), "Core");
  EXPECT_EQ(CheckedName(std::string(kMaxNameLength, 'n')).size(), kMaxNameLength);
  for (const std::string& bad :
       {std::string(" \t "), std::string(kMaxNameLength + 1, 'n'), std::string("a\x7f"), std::string("a\x1b[2J")})
    EXPECT_THROW(CheckedName(bad), Error) << bad;
  EXPECT_EQ(NameKey("Core Outage"), NameKey("core OUTAGE"));
}

}  // namespace
}  // namespace quillmont::rules
