#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iomanip>
#include <map>
#include <sstream>

#include "quillmont/platform/error.h"
#include "quillmont/rules/characters.h"
#include "quillmont/rules/fields.h"

namespace quillmont::rules {
namespace {

// The rules the pages, the import, delivery and the settings share, at the
// edges written in tests/rules/fields.txt.
TEST(Rules, AcceptAndRefuseAtTheirEdges) {
  const std::map<std::string, std::function<bool(const std::string&, const std::string&)>> rules = {
      {"port", [](auto& a, auto&) { return IsPort(std::stoll(a)); }},
      // An OID is read out of a longer text, as a field's view is.
      {"oid", [](auto& a, auto&) { return IsOid(std::string_view(a + "9").substr(0, a.size())); }},
      {"version", [](auto& a, auto&) { return IsSnmpVersion(a); }},
      {"time", [](auto& a, auto&) { return IsTimeFormat(a); }},
      {"own", [](auto& a, auto&) { return IsOwnText(a); }},
      {"same", [](auto& a, auto& b) { return EqualsIgnoringAsciiCase(a, b); }},
      {"break", [](auto& a, auto&) { return HasLineBreak(a); }}};
  std::ifstream file(QM_RULES_DIR "/fields.txt");
  ASSERT_TRUE(file);
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    std::string rule, a, b, answer;
    in >> rule >> std::quoted(a);
    if (rule == "same") in >> std::quoted(b);
    EXPECT_EQ(rules.at(rule)(a, b), (in >> answer, answer == "yes")) << line;
  }
  EXPECT_TRUE(HasLineBreak("a\rb") && HasLineBreak("a\nb") && !IsOwnStoredText(std::nullopt));
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
