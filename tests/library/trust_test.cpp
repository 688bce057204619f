// Only files nobody but the user or root can have written decide what code
// runs; text from files reaches the terminal escaped; the boundary holds its
// limits. Giving a file to another user needs root (CI runs these as root).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "host/loader.h"
#include "quillmont/definitions/notification_definition.h"
#include "quillmont/library/boundary.h"
#include "quillmont/library/registration.h"
#include "quillmont/platform/terminal_text.h"
#include "tests/library/boundary_tab_host.h"
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

enum Plant { Nothing, GroupWritable, OpenFolder, OtherOwner, Link, Fifo, Huge, RelativeLibrary, WritableLibrary };

TEST(Trust, LoaderUsesOnlyFilesOfTheUserOrRoot) {
  const std::pair<Plant, const char*> cases[] = {{Nothing, ""},
                                                 {GroupWritable, "chmod go-w"},
                                                 {OpenFolder, "is writable by others"},
                                                 {OtherOwner, "belongs to"},
                                                 {Link, "symbolic link"},
                                                 {Fifo, "not a regular file"},
                                                 {Huge, "larger than 4 MiB"},
                                                 {RelativeLibrary, "absolute path"},
                                                 {WritableLibrary, "by group or others"}};
  for (const auto& [plant, refusal] : cases) {
    if (plant == OtherOwner && ::geteuid() != 0) continue;
    TempDir dir;
    const std::string path = dir.File("registry");
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
    fs::remove(path);
  }
  EXPECT_FALSE(fs::exists(dir.File("chosen")));
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
  const std::string list = std::string(QUILLMONT_REGSVR) + " --registry " + dir.File("registry") + " list >";
  ASSERT_EQ(std::system((list + dir.File("out")).c_str()), 0);
  EXPECT_NE(ReadText(dir.File("out")).find("A\\x1b]0;t\\x07  /\\u202e.so"), std::string::npos);
}

TEST(Trust, BoundaryKeepsItsLimits) {
  testing::BoundaryTabHost tabs;  // outlives the page that holds it
  TempDir dir;
  WriteText(dir.File("registry"), Registry(QUILLMONT_SHARED_LIBRARY));
  host::Loader loader(dir.File("registry"));
  auto folio = loader.Create<com::IFolioControl>("Quillmont.XEventEmailTab");
  ASSERT_TRUE(folio);
  // A count beyond the member's maximum is refused before any argument is read.
  com::VariantArg one[1] = {com::VariantArg::FromString("x")};
  EXPECT_EQ(folio->Invoke(typelib::kDispIsTabValid, one, 1u << 30, nullptr), com::DISP_E_BADPARAMCOUNT);
  // A huge name comes back in a failure text of sane size.
  com::DispId id = 0;
  EXPECT_EQ(folio->GetIDsOfNames(std::string(1 << 20, 'n').c_str(), &id), com::DISP_E_UNKNOWNNAME);
  EXPECT_LE(loader.LibraryFor("Quillmont.XEventEmailTab")->LastErrorText().size(), library::kMaxErrorTextBytes);
  // Reloading from inside SelectTab leaves the key handed over intact.
  auto definition = std::make_shared<BasicNotificationDefinition>();
  definition->SetIsNew(false);
  definition->SetHasEmail(true);
  definition->SetEmailSubject(std::string("Disk full"));
  auto reference = com::ObjectReference::Make(definition);
  com::VariantArg v = com::VariantArg::FromObject(reference.Get());
  com::HResult reloaded = com::E_FAIL;
  tabs.onSelectTab = [&] { reloaded = folio->LoadData(&v, "Other", &tabs); };
  ASSERT_EQ(folio->LoadData(&v, "Email", &tabs), com::S_OK);
  ComBool valid = ComTrue;
  EXPECT_EQ(folio->IsTabValid("Notification", &valid), com::S_OK);
  EXPECT_EQ(std::make_tuple(valid, reloaded, tabs.selected),
            std::make_tuple(ComFalse, com::S_OK, std::vector<std::string>{"Email"}));
}

}  // namespace
}  // namespace quillmont
