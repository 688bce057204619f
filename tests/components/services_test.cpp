#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>

#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/services/app_context.h"
#include "quillmont/services/ui_services.h"
#include "tests/support/reference_rules.h"

namespace quillmont {
namespace {

// The folding itself is the rules' (tests/rules).
TEST(UiServices, TextEqualsFoldsCaseOnlyWhenAsked) {
  DefaultUiServices ui;
  EXPECT_TRUE(ui.TextEquals("Host.Example", "host.EXAMPLE", true));
  EXPECT_FALSE(ui.TextEquals("Host.Example", "host.EXAMPLE", false));
  EXPECT_FALSE(ui.TextEquals("a b", "a_b", true));
}

// Bounds of every kind: a fractional one admits the whole numbers inside it
// (true is -1); the number taken (a double past the 32-bit range) or the
// message naming the range the user may enter.
TEST(UiServices, WholeNumbersAreCheckedAgainstBoundsOfEveryKind) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::tuple<const char*, Variant, Variant, const char*> cases[] = {
      {"1", 1.5, 7.9, "The number must be from 2 to 7."},
      {" 02 ", 1.5, 7.9, "2"},
      {"7", 1.5, 7.9, "7"},
      {"8", 1.5, 7.9, "The number must be from 2 to 7."},
      {"0", -3.5, -0.5, "The number must be from -3 to -1."},
      {"0", -0.5, 0.5, "0"},
      {"1", std::int16_t{-5}, 0, "The number must be from -5 to 0."},
      {"0", true, Variant(), "0"},
      {"-1", true, false, "Enter a whole number from -1 to 0."},
      {"x", -inf, inf, "Enter a whole number from -infinity to infinity."},
      {"99999999999", -inf, inf, "99999999999 double"},
      {"1", inf, inf, "The number must be from infinity to infinity."},
      {"2147483647", 0.0, 3e9, "2147483647"},
      {"2147483648", 0.0, 3e9, "2147483648 double"},
      {"3000000001", 0.0, 3e9, "The number must be from 0 to 3000000000."},
  };
  DefaultUiServices ui;
  for (const auto& [text, low, high, after] : cases) {
    Variant value = 1;
    std::string message;
    const bool ok = ui.IsWholeNumberInRange(text, low, high, value, message);
    EXPECT_EQ(ok ? value.ToString() + (value.GetType() == Variant::Type::Double ? " double" : "") : message, after);
    EXPECT_EQ(ok ? message.empty() : value.IsEmpty(), true) << text;
  }
  Variant value;
  std::string message;
  EXPECT_THROW(ui.IsWholeNumberInRange("1", Variant(std::nan("")), Variant(1), value, message), Error);
}

TEST(UiServices, AttachedTextBoxRestoresOnEscapeOnly) {
  DefaultUiServices ui;
  ui::UserControl panel("panel");
  auto first = panel.Add<ui::TextBox>("txtFirst");
  auto other = panel.Add<ui::TextBox>("txtOther");
  first->SetTabIndex(0);
  other->SetTabIndex(1);
  first->SetText("before");
  auto extension = ui.AttachTextBox(*first);
  ui::Driver driver(panel);
  int changes = 0;
  first->Change.Connect([&] { ++changes; });

  driver.Focus(*first);
  driver.Type("XY");
  EXPECT_EQ(first->Text(), "beforeXY");
  driver.PressKey(ui::keys::Escape);
  EXPECT_EQ(first->Text(), "before");
  EXPECT_EQ(changes, 3);
  // Unchanged text: Escape passes through untouched.
  int escapesSeen = 0;
  first->KeyPress.Connect([&](ui::KeyPressArgs& e) { escapesSeen += e.KeyAscii == ui::keys::Escape; });
  driver.PressKey(ui::keys::Escape);
  EXPECT_EQ(escapesSeen, 1);
  EXPECT_EQ(first->Text(), "before");
  // Other keys are the text box's own.
  driver.PressKey(ui::keys::Back);
  EXPECT_EQ(first->Text(), "befor");

  // The program setting the text while the field keeps the focus (an entry
  // applied, the fields reset) is what Escape goes back to afterwards.
  driver.Type("12");
  first->SetText("");
  driver.Type("Q");
  driver.PressKey(ui::keys::Escape);
  EXPECT_EQ(first->Text(), "");
  driver.PressKey(ui::keys::Delete);  // nothing to delete: no change, no harm
  driver.Paste("pasted");
  driver.PressKey(ui::keys::Escape);
  EXPECT_EQ(first->Text(), "pasted");
  driver.PressKey(ui::keys::Back);
  driver.PressKey(ui::keys::Escape);
  EXPECT_EQ(first->Text(), "pasted");
  first->SetText("befor");

  // Once the extension is released the habit stops; the box lives on.
  extension.reset();
  driver.Type("Z");
  driver.PressKey(ui::keys::Escape);
  EXPECT_EQ(first->Text(), "beforZ");
}

// The rules against the ones written in the test: every byte in each part
// of an address, and every short text of digits, blanks and signs as a port.
TEST(Rules, AddressCharactersAndPortTextsAgreeWithTheReferenceRules) {
  MemoryAppContext context;
  std::vector<std::string> addresses = {"",         "@x.org",   "a@",          "a",
                                        "a@@x.org", " a@x.org", "a@x.org\n",   "a@b.c, d@e.f",
                                        "a@x..org", "a@.x",     "\"a\"@x.org", "\xC3\xBCser@x.org"};
  for (int c = 1; c < 256; ++c) {
    const std::string ch(1, static_cast<char>(c));
    for (const std::string& a : {"a" + ch + "b@x.org", ch + "@x.org", "a@x" + ch + "y.org", "a@" + ch + "x.org",
                                 "a@x.or" + ch, "a@x" + ch + ".org", "a@x." + ch + "org"})
      addresses.push_back(a);
  }
  // The length limits: 64 before the "@", 63 per label, 254 in all.
  const std::string label(63, 'b');
  for (std::size_t name : {64u, 65u})
    for (std::size_t labels : {1u, 2u, 3u})
      for (std::size_t extra : {0u, 1u, 2u, 3u}) {
        std::string domain;
        for (std::size_t i = 0; i < labels; ++i) domain += label + ".";
        addresses.push_back(std::string(name, 'a') + "@" + domain + std::string(59 + extra, 'c'));
        addresses.push_back(std::string(name, 'a') + "@" + std::string(63 + extra, 'd') + ".org");
      }
  for (const auto& address : addresses)
    EXPECT_EQ(context.IsValidEmailAddress(address), testing::IsPlainAddress(address)) << "\"" << address << "\"";
  DefaultUiServices ui;
  const std::string alphabet = "0169 +-.";
  std::vector<std::string> texts = {""};
  for (std::size_t begin = 0, length = 0; length < 5; ++length) {
    const std::size_t end = texts.size();
    for (std::size_t i = begin; i < end; ++i)
      for (char c : alphabet) texts.push_back(texts[i] + c);
    begin = end;
  }
  texts.insert(texts.end(), {"65535", "65536", "99999", "000000000000000000000000000000065535", "1e3", "\t5", "0x10",
                             "&H10", std::string(40, '9'), "\xD9\xA1\xD9\xA2"});
  for (const auto& text : texts) {
    Variant value;
    std::string message;
    const auto port = testing::PortOf(text);
    ASSERT_EQ(ui.IsWholeNumberInRange(text, Variant(std::int16_t{1}), Variant(std::int32_t{65535}), value, message),
              port.has_value())
        << "\"" << text << "\"";
    if (port) {
      EXPECT_EQ(value.ToInt32(), *port) << text;
    }
    EXPECT_EQ(message.empty(), port.has_value()) << text;
  }
}

}  // namespace
}  // namespace quillmont
