#include <gtest/gtest.h>

#include <fstream>
#include <iomanip>
#include <sstream>
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
  EXPECT_TRUE(ui.TextEquals("Host.Example", "host.EXAMPLE", true) &&
              !ui.TextEquals("Host.Example", "host.EXAMPLE", false) && !ui.TextEquals("a b", "a_b", true));
  EXPECT_EQ(ui.NewListColumn(1, "Hidden", 0, 0, false, 0)->Width(), 0.0F);  // a column may be narrowed to nothing
}

// The whole numbers of tests/components/whole_numbers.txt against their bounds.
TEST(UiServices, WholeNumbersAreCheckedAgainstBoundsOfEveryKind) {
  const auto bound = [](const std::string& t) -> Variant {
    if (t == "empty" || t == "true" || t == "false") return t == "empty" ? Variant() : Variant(t == "true");
    if (t.back() == 's') return static_cast<std::int16_t>(std::stoi(t));
    return t.find_first_of(".na") != std::string::npos ? Variant(std::stod(t)) : Variant(std::stoi(t));
  };
  std::ifstream file(QM_COMPONENTS_DIR "/whole_numbers.txt");
  ASSERT_TRUE(file);
  DefaultUiServices ui;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    std::string text, low, high, message;
    in >> std::quoted(text) >> low >> high;
    Variant value = 1;  // a refused call leaves it empty, a failed one untouched
    bool ok = false;
    try {
      ok = ui.IsWholeNumberInRange(text, bound(low), bound(high), value, message);
    } catch (const Error& e) {
      message = "Error " + std::to_string(static_cast<int>(e.Code()));
    }
    EXPECT_EQ(ok ? message.empty() : value.IsEmpty() || message == "Error 5", true) << line;
    const std::string type = value.GetType() == Variant::Type::Double ? " double" : "";
    EXPECT_EQ(ok ? value.ToString() + type : message, line.substr(line.find(" => ") + 4)) << line;
  }
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
  driver.Type(" Y");
  EXPECT_EQ(first->Text(), "before Y");
  driver.PressKey(ui::keys::Escape);
  EXPECT_EQ(std::pair(first->Text(), changes), std::pair(std::string("before"), 3));
  // Unchanged text: Escape passes through untouched.
  int escapesSeen = 0;
  first->KeyPress.Connect([&](ui::KeyPressArgs& e) { escapesSeen += e.KeyAscii == ui::keys::Escape; });
  driver.PressKey(ui::keys::Escape);
  EXPECT_EQ(std::pair(first->Text(), escapesSeen), std::pair(std::string("before"), 1));
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
  driver.PressKey(ui::keys::Back);  // both erasing keys are typing
  driver.PressKey(ui::keys::Home);
  driver.PressKey(ui::keys::Delete);
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
    EXPECT_EQ(port ? value.ToInt32() : 0, port.value_or(0)) << text;
    EXPECT_EQ(message.empty(), port.has_value()) << text;
  }
}

}  // namespace
}  // namespace quillmont
