#include <gtest/gtest.h>

#include "quillmont/platform/error.h"
#include "quillmont/rules/characters.h"
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

// Each letter of another script drawn like a Latin one, the full-width forms
// and the invisible characters at the edges of their ranges, with their
// neighbours, which are themselves.
TEST(Rules, LookAlikeAndForbiddenCharacters) {
  EXPECT_EQ(
      LookAlike(
          "\u0405\u0406\u0408\u0410\u0412\u0415\u041A\u041C\u041D\u041E\u0420\u0421\u0422\u0425\u0430\u0435\u043E"
          "\u0440\u0441\u0443\u0445\u0455\u0456\u0458\u04BB\u04CF\u0501\u051B\u051D\u0391\u0392\u0395\u0396"
          "\u0397\u0399\u039A\u039C\u039D\u039F\u03A1\u03A4\u03A5\u03A7\u03B1\u03B9\u03BA\u03BD\u03BF\u03C1\u03C5"),
      "sijabekmhopctxaeopcyxsijhldqwabezhikmnoptyxaikvopu");
  EXPECT_EQ(LookAlike("@AZ[\uFF00\uFF01\uFF21\uFF5E\uFF5F\u0404\u051E"), "@az[\uFF00!a~\uFF5F\u0404\u051E");
  EXPECT_EQ(LookAlike("a\u00AD\u034F\u180E\u200B\u200F\u2060\u2064\uFEFF\u202Eb"), "ab");
  EXPECT_EQ(LookAlike("\u00AC\u00AE\u200A\u2010\u205F\u2065\uFEFE"), "\u00AC\u00AE\u200A\u2010\u205F\u2065\uFEFE");
  // The first character a stored text may not hold.
  std::string found;
  for (const std::string text :
       {"tab\t", "\x1F\x7F", " ~\u00A0\u00A1", "a\x7F", "\u0080", "\u009F\u202E", "\u202E\x01"})
    found += ForbiddenCharacter(text) + "; ";
  EXPECT_EQ(found,
            "U+0009, a control character; U+001F, a control character; ; U+007F, a control character; U+0080, a "
            "control character; U+009F, a control character; U+202E, a bidirectional control; ");
  EXPECT_EQ(ForbiddenCharacter(std::string("a\0b", 3)) + ForbiddenCharacter("line\tone\nline two", true), "NUL");
  EXPECT_EQ(ForbiddenCharacter("line\r\n", true), "U+000D, a control character");
}

}  // namespace
}  // namespace quillmont::rules
