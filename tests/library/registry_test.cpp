#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>
#include <vector>

#include "quillmont/library/registration.h"
#include "quillmont/library/registry_file.h"
#include "quillmont/library/registry_store.h"
#include "quillmont/library/type_library.h"
#include "quillmont/platform/error.h"
#include "tests/support/temp_dir.h"

namespace quillmont::registry {
namespace {

using testing::ReadText;
using testing::ScopedEnv;
using testing::TempDir;
using testing::WriteText;

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

TEST(RegistryFile, DamagedTextIsReportedWithItsLine) {
  struct Case {
    const char* text;
    std::size_t line;
  };
  const Case cases[] = {
      {"Something else\n[A]\n", 1},
      {"QuillmontRegistry 1\nname=value\n", 2},
      {"QuillmontRegistry 1\n[A]\nx=bad \\q escape\n", 3},
      {"QuillmontRegistry 1\n[A]\nx=ends in \\\n", 3},
      {"QuillmontRegistry 1\n[A]\nno equals sign\n", 3},
      {"QuillmontRegistry 1\n[A]\n=no name\n", 3},
      {"QuillmontRegistry 1\n[unclosed\n", 2},
      {"QuillmontRegistry 2\n", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Document doc;
    auto fault = Parse(c.text, doc);
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->line, c.line);
    EXPECT_FALSE(fault->message.empty());
  }
  Document doc;
  const char binary[] = "QuillmontRegistry 1\n[A]\nx=\0y\n";
  EXPECT_TRUE(Parse(std::string(binary, sizeof binary - 1), doc));
}

TEST(RegistryPath, EnvironmentDecidesTheFile) {
  {
    ScopedEnv reg("QUILLMONT_REGISTRY", "/tmp/explicit");
    ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg");
    EXPECT_EQ(DefaultRegistryPath(), "/tmp/explicit");
  }
  ScopedEnv reg("QUILLMONT_REGISTRY", nullptr);
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg");
    EXPECT_EQ(DefaultRegistryPath(), "/xdg/quillmont/registry");
  }
  ScopedEnv home("HOME", "/home/someone");
  {
    // A relative XDG_CONFIG_HOME is ignored.
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative");
    EXPECT_EQ(DefaultRegistryPath(), "/home/someone/.config/quillmont/registry");
  }
  ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(DefaultRegistryPath(), "/home/someone/.config/quillmont/registry");
  ScopedEnv noHome("HOME", nullptr);
  EXPECT_FALSE(DefaultRegistryPath());
  EXPECT_THROW(registration::RegistryPath(), Error);
}

TEST(Registration, WritesOurClassesKeepsOthersAndIsIdempotent) {
  TempDir dir;
  const std::string path = dir.File("sub/registry");
  // The folder is made when missing.
  registration::Register(path, "/usr/lib/libquillmont.so.8");
  Document doc = ReadDocument(path);
  EXPECT_EQ(doc.FindValue("TypeLib/{D26CEE07-DF78-11D6-BABC-000103C3BB5F}/14.0", "Path")->data,
            "/usr/lib/libquillmont.so.8");
  EXPECT_EQ(doc.FindValue("TypeLib/{D26CEE07-DF78-11D6-BABC-000103C3BB5F}/14.0", "Flags")->data, "2");
  EXPECT_EQ(doc.FindValue("TypeLib/{D26CEE07-DF78-11D6-BABC-000103C3BB5F}/14.0", "Locale")->data, "0409");
  for (const auto& cls : typelib::GetTypeLibrary().classes) {
    SCOPED_TRACE(cls.name);
    const std::string key = "CLSID/" + cls.classId.ToString();
    EXPECT_EQ(doc.FindValue(key, "ProgID")->data, cls.progId);
    EXPECT_EQ(doc.FindValue(key, "InprocServer32")->data, "/usr/lib/libquillmont.so.8");
    EXPECT_EQ(doc.FindValue(key, "MiscStatus")->data, std::to_string(cls.miscStatus));
    EXPECT_EQ(doc.FindValue(key, "ToolboxBitmap32")->data,
              "/usr/lib/libquillmont.so.8, " + std::to_string(cls.toolboxBitmap));
    EXPECT_EQ(doc.FindValue(key, "Control")->data, "1");
    EXPECT_EQ(doc.FindValue(key, "ThreadingModel")->data, "Apartment");
    EXPECT_EQ(doc.FindValue("ProgID/" + std::string(cls.progId), "CLSID")->data, cls.classId.ToString());
  }
  EXPECT_EQ(doc.FindValue("CLSID/{3290481E-9000-46FA-86FE-80166AD7E696}", "ProgID")->data, "Quillmont.XEventSNMPTab");
  EXPECT_EQ(doc.FindValue("CLSID/{B6F92C63-E69D-11D6-BABE-000103C3BB5F}", "ProgID")->data, "Quillmont.XEventsTab");
  EXPECT_EQ(doc.FindValue("CLSID/{B6F92C66-E69D-11D6-BABE-000103C3BB5F}", "ProgID")->data, "Quillmont.XEventEmailTab");

  // Among foreign entries: they stay, ours are replaced, twice is once.
  WriteText(path, kForeign);
  ::chmod(path.c_str(), 0640);
  registration::Register(path, "/first/libquillmont.so");
  registration::Register(path, "/second/libquillmont.so");
  const std::string once = ReadText(path);
  registration::Register(path, "/second/libquillmont.so");
  EXPECT_EQ(ReadText(path), once);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u) << "the file keeps its mode";

  doc = ReadDocument(path);
  EXPECT_EQ(doc.FindValue("CLSID/{3290481E-9000-46FA-86FE-80166AD7E696}", "InprocServer32")->data,
            "/second/libquillmont.so");
  EXPECT_EQ(doc.sections.size(), 3u + registration::OurSections("x").size());
  Document foreign;
  ASSERT_FALSE(Parse(kForeign, foreign));
  for (const auto& s : foreign.sections) {
    const Section* kept = doc.Find(s.key);
    ASSERT_NE(kept, nullptr) << s.key;
    EXPECT_EQ(kept->entries.size(), s.entries.size());
  }
  EXPECT_EQ(doc.leadingComments, foreign.leadingComments);

  // Unregistering removes exactly ours, and leaves the foreign text as it was.
  registration::Unregister(path);
  EXPECT_EQ(ReadText(path), Serialize(foreign));
  registration::Unregister(path);
  EXPECT_EQ(ReadText(path), Serialize(foreign));
}

TEST(Registration, DamagedFileIsReportedAndLeftAlone) {
  TempDir dir;
  const std::string path = dir.File("registry");
  const std::string damaged = "QuillmontRegistry 1\n[CLSID/{x}]\nbroken line\n";
  WriteText(path, damaged);
  try {
    registration::Register(path, "/lib/libquillmont.so");
    FAIL() << "a damaged file was accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::Corrupt);
    EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
  }
  EXPECT_THROW(registration::Unregister(path), Error);
  EXPECT_EQ(ReadText(path), damaged);

  // A change that fails leaves the file as it was, and no stray temporary.
  registration::Register(dir.File("good"), "/lib/libquillmont.so");
  const std::string before = ReadText(dir.File("good"));
  EXPECT_THROW(UpdateDocument(dir.File("good"),
                              [](Document& doc) {
                                doc.sections.clear();
                                throw Error(ErrorCode::Failed, "changed my mind");
                              }),
               Error);
  EXPECT_EQ(ReadText(dir.File("good")), before);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.File(""))) ++files;
  EXPECT_EQ(files, 2u);  // registry and good: no lock file, no temporary
}

TEST(Registration, ConcurrentChangesLoseNothing) {
  TempDir dir;
  const std::string path = dir.File("registry");
  constexpr int kWriters = 4;
  constexpr int kEach = 15;
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      for (int i = 0; i < kEach; ++i) {
        UpdateDocument(path, [&](Document& doc) {
          doc.sections.push_back({"Other/" + std::to_string(w) + "/" + std::to_string(i), {{false, "@", "x"}}});
        });
        if (i % 5 == 0) registration::Register(path, "/lib/libquillmont.so");
      }
    });
  }
  for (auto& t : threads) t.join();
  Document doc = ReadDocument(path);
  for (int w = 0; w < kWriters; ++w)
    for (int i = 0; i < kEach; ++i)
      EXPECT_NE(doc.Find("Other/" + std::to_string(w) + "/" + std::to_string(i)), nullptr) << w << "/" << i;
  EXPECT_EQ(doc.sections.size(), kWriters * kEach + registration::OurSections("x").size());
}

}  // namespace
}  // namespace quillmont::registry
