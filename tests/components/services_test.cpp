#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

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
// (true is -1), and the message names the range the user may enter.
TEST(UiServices, WholeNumbersAreCheckedAgainstBoundsOfEveryKind) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* text;
    Variant low, high;
    const char* message;
    double value;
  };
  const Case cases[] = {
      {"1", Variant(1.5), Variant(7.9), "The number must be from 2 to 7.", 0},
      {" 02 ", Variant(1.5), Variant(7.9), "", 2},
      {"7", Variant(1.5), Variant(7.9), "", 7},
      {"8", Variant(1.5), Variant(7.9), "The number must be from 2 to 7.", 0},
      {"0", Variant(-3.5), Variant(-0.5), "The number must be from -3 to -1.", 0},
      {"0", Variant(-0.5), Variant(0.5), "", 0},
      {"1", Variant(std::int16_t{-5}), Variant(std::int32_t{0}), "The number must be from -5 to 0.", 0},
      {"0", Variant(true), Variant(), "", 0},
      {"-1", Variant(true), Variant(false), "Enter a whole number from -1 to 0.", 0},
      {"x", Variant(-inf), Variant(inf), "Enter a whole number from -infinity to infinity.", 0},
      {"99999999999", Variant(-inf), Variant(inf), "", 99999999999.0},
      {"1", Variant(inf), Variant(inf), "The number must be from infinity to infinity.", 0},
      {"2147483647", Variant(0.0), Variant(3e9), "", 2147483647.0},
      {"2147483648", Variant(0.0), Variant(3e9), "", 2147483648.0},
      {"3000000001", Variant(0.0), Variant(3e9), "The number must be from 0 to 3000000000.", 0},
  };
  DefaultUiServices ui;
  for (const Case& c : cases) {
    Variant value = Variant(1);
    std::string message;
    EXPECT_EQ(ui.IsWholeNumberInRange(c.text, c.low, c.high, value, message), *c.message == 0) << c.text;
    EXPECT_EQ(message, c.message) << c.text;
    EXPECT_EQ(value.GetType(), *c.message               ? Variant::Type::Empty
                               : c.value > 2147483647.0 ? Variant::Type::Double
                                                        : Variant::Type::Int32)
        << c.text;
    EXPECT_EQ(value.IsEmpty() ? 0.0 : value.ToDouble(), c.value) << c.text;
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
