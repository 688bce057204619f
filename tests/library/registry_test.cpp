#include <gtest/gtest.h>

#include <vector>

#include "quillmont/library/registry_file.h"

namespace quillmont::registry {
namespace {

constexpr const char* kForeign =
    "QuillmontRegistry 1\n"
    "# kept as written\n"
    "[CLSID/{11111111-2222-3333-4444-555555555555}]\n"
    "@=Somebody.Else\n"
    "InprocServer32=/opt/else/libelse.so\n"
    "; their own note\n"
    "[TypeLib/{D26CEE07-DF78-11D6-BABC-000103C3BB5F}/13.0]\n"
    "Path=/old/libquillmont.so\n"
    "[ProgID/Quillmont.XEventSNMPTabs]\n"
    "CLSID={11111111-2222-3333-4444-555555555555}\n";

TEST(RegistryFile, ParsesEscapesAndWritesBackWhatItRead) {
  Document doc;
  ASSERT_FALSE(Parse(kForeign, doc));
  ASSERT_EQ(doc.sections.size(), 3u);
  EXPECT_EQ(doc.leadingComments, std::vector<std::string>{"# kept as written"});
  EXPECT_EQ(doc.FindValue("clsid/{11111111-2222-3333-4444-555555555555}", "inprocserver32")->data,
            "/opt/else/libelse.so");

  Section s{"Odd/Key", {}};
  s.SetValue("Text", "back\\slash\nnew line\ttab\r=equals ");
  s.SetValue("@", "");
  doc.sections.push_back(s);
  const std::string text = Serialize(doc);
  Document again;
  ASSERT_FALSE(Parse(text, again));
  EXPECT_EQ(again.FindValue("Odd/Key", "Text")->data, "back\\slash\nnew line\ttab\r=equals ");
  EXPECT_EQ(again.FindValue("Odd/Key", "@")->data, "");
  EXPECT_EQ(Serialize(again), text);
  // Comments stay in their section.
  EXPECT_TRUE(again.sections[0].entries.back().comment);

  // RemoveTree takes whole key parts only.
  EXPECT_EQ(again.RemoveTree("CLSID/{11111111-2222-3333-4444-55555555555}"), 0u);
  EXPECT_EQ(again.RemoveTree("typelib/{D26CEE07-DF78-11D6-BABC-000103C3BB5F}"), 1u);

  EXPECT_FALSE(Parse("", doc));
  EXPECT_TRUE(doc.sections.empty());
  EXPECT_FALSE(Parse(" \n\n", doc));
}

}  // namespace
}  // namespace quillmont::registry
