// Only files nobody but the user or root can have written decide what code
// runs; text from files reaches the terminal escaped. Giving a file to
// another user needs root (CI runs these as root).
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "host/loader.h"
#include "quillmont/library/registration.h"
#include "quillmont/library/registry_file.h"
#include "quillmont/platform/error.h"
#include "quillmont/platform/terminal_text.h"
#include "tests/support/temp_dir.h"

namespace quillmont {
namespace {

namespace fs = std::filesystem;
using testing::ReadText, testing::TempDir, testing::WriteText;

std::string Registry(const std::string& library) {
  registry::Document doc;
  doc.sections = registration::OurSections(library);
  return registry::Serialize(doc);
}

enum Plant {
  Nothing,
  GroupWritable,
  OpenFolder,
  OpenAncestor,
  OtherOwner,
  Link,
  Fifo,
  Huge,
  RelativeLibrary,
  WritableLibrary
};

TEST(Trust, LoaderUsesOnlyFilesOfTheUserOrRoot) {
  const std::pair<Plant, const char*> cases[] = {{Nothing, ""},
                                                 {GroupWritable, "chmod go-w"},
                                                 {OpenFolder, "writable by group or others (mode 1777)"},
                                                 {OpenAncestor, "(mode 0777)"},
                                                 {OtherOwner, "belongs to"},
                                                 {Link, "symbolic link"},
                                                 {Fifo, "not a regular file"},
                                                 {Huge, "larger than 4 MiB"},
                                                 {RelativeLibrary, "absolute path"},
                                                 {WritableLibrary, "by group or others"}};
  for (const auto& [plant, refusal] : cases) {
    if (plant == OtherOwner && ::geteuid() != 0) continue;
    TempDir dir;
    const std::string path = plant == OpenAncestor ? dir.File("in/registry") : dir.File("registry");
    if (plant == OpenAncestor) {
      fs::create_directory(dir.File("in"));
      fs::permissions(dir.File(""), fs::perms(0777));
    }
    std::string library = plant == RelativeLibrary ? "libquillmont.so.8" : QUILLMONT_SHARED_LIBRARY;
    if (plant == WritableLibrary) {
      fs::copy_file(library, dir.File("lib.so"));
      fs::permissions(library = dir.File("lib.so"), fs::perms(0775));
    }
    if (plant == Fifo) {
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    }
    if (plant != Fifo) WriteText(plant == Link ? dir.File("real") : path, Registry(library));
    if (plant == Link) fs::create_symlink(dir.File("real"), path);
    if (plant == GroupWritable) fs::permissions(path, fs::perms(0664));
    if (plant == OpenFolder) fs::permissions(dir.File(""), fs::perms(01777));
    if (plant == OtherOwner) {
      ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    if (plant == Huge) fs::resize_file(path, 5 << 20);
    std::string why;
    try {
      host::Loader(path).LibraryFor("Quillmont.XEventSNMPTab");
    } catch (const host::LoaderError& e) {
      why = e.what();
      EXPECT_EQ(e.Code(), com::E_ACCESSDENIED);
    }
    EXPECT_TRUE(*refusal ? why.find(refusal) != std::string::npos : why.empty()) << plant << ": " << why;
  }
}

// Another user who may write a folder above the library (open to all, or
// to a group she shares) swaps the folder below it for one of hers while a
// host loads, over and over: her code must never run.
TEST(Trust, NoSwapAboveTheLibraryEverRunsAnotherUsersCode) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root (CI runs this as root)";
  const char* asked = std::getenv("QUILLMONT_RACE_ROUNDS");
  // A swap lands between a check by path and a load by path about once in a
  // few thousand rounds here.
  const int rounds = asked ? std::atoi(asked) : 5000;
  for (const mode_t openMode : {0777, 0775}) {
    TempDir dir(fs::path(QUILLMONT_SHARED_LIBRARY).parent_path());
    fs::permissions(dir.File(""), fs::perms(0711));
    const std::string open = dir.File("open"), mark = dir.File("mark");
    fs::create_directories(open + "/a/b");
    fs::permissions(open, fs::perms(openMode));
    ASSERT_EQ(::chown(open.c_str(), 0, 65534), 0);
    // The victim's own file; whether it loads does not matter here.
    WriteText(open + "/a/b/libq.so", "");
    WriteText(dir.File("registry"), Registry(open + "/a/b/libq.so"));
    testing::ScopedEnv markEnv("QM_FOREIGN_MARK", mark.c_str());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t attacker = ::fork();
    if (attacker == 0) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(1);
      fs::create_directories(open + "/x/b");
      fs::copy_file(QM_FOREIGN_LIBRARY, open + "/x/b/libq.so");
      if (::write(ready[1], "r", 1) != 1) ::_exit(1);
      for (;;) ::renameat2(AT_FDCWD, (open + "/a").c_str(), AT_FDCWD, (open + "/x").c_str(), RENAME_EXCHANGE);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the attacker did not start";
    int refused = 0;
    for (int round = 0; round < rounds; ++round) {
      try {
        host::Loader(dir.File("registry")).LibraryFor("Quillmont.XEventSNMPTab");
      } catch (const host::LoaderError& e) {
        refused += std::string(e.what()).find("chmod go-w " + open) != std::string::npos;
      }
    }
    ::kill(attacker, SIGKILL);
    ::waitpid(attacker, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_FALSE(fs::exists(mark)) << "another user's code ran within " << rounds << " rounds";
    EXPECT_EQ(refused, rounds) << "mode " << openMode;
  }
}

// quillmont-regsvr loads a library as a host does: never one a search path
// finds, nor one in a folder others may write, nor another user's.
TEST(Trust, TheRegistrationToolLoadsOnlyWhatTheLoaderWould) {
  TempDir open, trusted(fs::path(QUILLMONT_SHARED_LIBRARY).parent_path());
  const std::string mark = open.File("mark"), tool = std::string(QUILLMONT_REGSVR) + " --registry ";
  fs::copy_file(QM_FOREIGN_LIBRARY, open.File("libquillmont.so.8"));
  fs::copy_file(QM_FOREIGN_LIBRARY, trusted.File("libforeign.so"));
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(trusted.File("libforeign.so").c_str(), 65534, 65534), 0);
  }
  const std::pair<std::string, const char*> cases[] = {
      {"LD_LIBRARY_PATH=" + open.File("") + " " + tool + trusted.File("r") + " register", "No such file"},
      {"cd " + open.File("") + " && " + tool + trusted.File("r") + " register ./libquillmont.so.8",
       "writable by group or others"},
      {tool + trusted.File("r") + " register " + trusted.File("libforeign.so"), root ? "belongs to nobody" : ""},
      {"cd " + fs::path(QUILLMONT_SHARED_LIBRARY).parent_path().string() + " && " + tool + trusted.File("r") +
           " register ./" + fs::path(QUILLMONT_SHARED_LIBRARY).filename().string(),
       "Registered"},
  };
  for (const auto& [command, says] : cases) {
    int code = -1;
    const std::string out = testing::Output("QM_FOREIGN_MARK=" + mark + " " + command + " 2>&1", &code);
    EXPECT_NE(out.find(says), std::string::npos) << command << ": " << out;
    EXPECT_EQ(code, std::string(says) == "Registered" ? 0 : 1) << command;
  }
  EXPECT_FALSE(fs::exists(mark)) << "another user's code ran in quillmont-regsvr";
  EXPECT_NE(
      ReadText(trusted.File("r")).find("InprocServer32=" + fs::path(QUILLMONT_SHARED_LIBRARY).parent_path().string()),
      std::string::npos);
}

TEST(Trust, RegistrationNeverWritesThroughLinksOrIntoOpenFolders) {
  TempDir dir;
  const std::string path = dir.File("registry");
  WriteText(dir.File("victim"), "");
  fs::create_symlink(dir.File("victim"), path);
  fs::create_symlink(dir.File("chosen"), path + ".lock");  // where the lock file used to be
  EXPECT_THROW(registration::Register(path, "/lib/libquillmont.so"), Error);
  EXPECT_EQ(ReadText(dir.File("victim")), "");
  fs::remove(path);
  // New files take the umask, but never become writable by others.
  for (const auto& [mask, mode] : {std::pair{0077, 0600}, {0, 0644}}) {
    const mode_t old = ::umask(static_cast<mode_t>(mask));
    registration::Register(path, "/lib/libquillmont.so");
    ::umask(old);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(mode));
    EXPECT_EQ(ReadText(path), ReadText(QM_BITMAPS_DIR "/../registry.txt"));  // every key and value a host reads
    fs::remove(path);
  }
  EXPECT_FALSE(fs::exists(dir.File("chosen")));
  // The tool makes the registry's missing folders the user's alone, even under umask 000.
  TempDir homes;
  const std::string home = homes.File("home");
  EXPECT_NE(testing::Output("umask 000 && unset XDG_CONFIG_HOME QUILLMONT_REGISTRY && HOME=" + home + " " +
                            QUILLMONT_REGSVR + " register " + QUILLMONT_SHARED_LIBRARY + " 2>&1")
                .find("Registered"),
            std::string::npos);
  for (const char* folder : {"", "/.config", "/.config/quillmont"})
    EXPECT_EQ(fs::status(home + folder).permissions(), fs::perms(0700)) << folder;
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root (CI runs this as root)";
  // Another user's registry planted in a folder open to all stays as it is.
  fs::permissions(dir.File(""), fs::perms(01777));
  WriteText(path, Registry("/tmp/evil.so"));
  ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  EXPECT_THROW(registration::Register(path, "/lib/libquillmont.so"), Error);
  EXPECT_EQ(ReadText(path), Registry("/tmp/evil.so"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("")), {}), 3) << "victim, old lock link, planted file";
}

TEST(Trust, TerminalTextIsEscaped) {
  EXPECT_EQ(text::ForTerminal("\xC3\xA9 A\x1b]0;t\a\tdel\x7f c1 \xC2\x9B raw \x9B bidi \xE2\x80\xAE \xE2\x81\xA6"),
            "\xC3\xA9 A\\x1b]0;t\\x07\\x09del\\x7f c1 \\u009b raw \\x9b bidi \\u202e \\u2066");
  // quillmont-regsvr list shows a hostile registry escaped.
  TempDir dir;
  registry::Document doc;
  doc.sections.push_back({"CLSID/{11111111-2222-3333-4444-555555555555}",
                          {{false, "ProgID", "A\x1b]0;t\a"}, {false, "InprocServer32", "/\xE2\x80\xAE.so"}}});
  WriteText(dir.File("registry"), registry::Serialize(doc));
  int code = -1;
  const std::string list =
      testing::Output(std::string(QUILLMONT_REGSVR) + " --registry " + dir.File("registry") + " list", &code);
  EXPECT_EQ(code, 0);
  EXPECT_NE(list.find("A\\x1b]0;t\\x07  /\\u202e.so"), std::string::npos) << list;
}

// What the registry file holds besides our entries survives a read and a
// write.
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
  registry::Document doc;
  ASSERT_FALSE(registry::Parse(kForeign, doc));
  ASSERT_EQ(doc.sections.size(), 3u);
  EXPECT_EQ(doc.leadingComments, std::vector<std::string>{"# kept as written"});
  EXPECT_EQ(doc.FindValue("clsid/{11111111-2222-3333-4444-555555555555}", "inprocserver32")->data,
            "/opt/else/libelse.so");

  registry::Section s{"Odd/Key", {}};
  s.SetValue("Text", "back\\slash\nnew line\ttab\r=equals ");
  s.SetValue("@", "");
  doc.sections.push_back(s);
  const std::string text = registry::Serialize(doc);
  registry::Document again;
  ASSERT_FALSE(registry::Parse(text, again));
  EXPECT_EQ(again.FindValue("Odd/Key", "Text")->data, "back\\slash\nnew line\ttab\r=equals ");
  EXPECT_EQ(again.FindValue("Odd/Key", "@")->data, "");
  EXPECT_EQ(registry::Serialize(again), text);
  // Comments stay in their section.
  EXPECT_TRUE(again.sections[0].entries.back().comment);

  // RemoveTree takes whole key parts only.
  EXPECT_EQ(again.RemoveTree("CLSID/{11111111-2222-3333-4444-55555555555}"), 0u);
  EXPECT_EQ(again.RemoveTree("typelib/{D26CEE07-DF78-11D6-BABC-000103C3BB5F}"), 1u);

  EXPECT_FALSE(registry::Parse("", doc));
  EXPECT_TRUE(doc.sections.empty());
  EXPECT_FALSE(registry::Parse(" \n\n", doc));
}

}  // namespace
}  // namespace quillmont
