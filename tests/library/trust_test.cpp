// Only files nobody but the user or root can have written decide what code
// runs; text from files reaches the terminal escaped; the boundary holds its
// limits. Ownership cases give files to another user, which needs root.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "host/loader.h"
#include "quillmont/definitions/notification_definition.h"
#include "quillmont/library/boundary.h"
#include "quillmont/library/dispatch.h"
#include "quillmont/library/registration.h"
#include "quillmont/library/registry_store.h"
#include "quillmont/platform/terminal_text.h"
#include "tests/support/temp_dir.h"

namespace quillmont {
namespace {

namespace fs = std::filesystem;
using testing::ReadText;
using testing::TempDir;
using testing::WriteText;

constexpr uid_t kOtherUser = 65534;
constexpr const char* kNeedsRoot = "giving a file to another user needs root (CI runs these as root)";

std::string Contains(const std::string& text, const std::string& part) {
  return text.find(part) == std::string::npos ? "\"" + text + "\" lacks \"" + part + "\"" : "";
}

std::string RegistryNaming(const std::string& library) {
  registry::Document doc;
  doc.sections = registration::OurSections(library);
  return registry::Serialize(doc);
}

// What the loader says when asked for a class: "" when its library loads.
std::string LoaderRefusal(const std::string& registryPath) {
  try {
    host::Loader(registryPath).LibraryFor("Quillmont.XEventSNMPTab");
    return "";
  } catch (const host::LoaderError& e) {
    EXPECT_EQ(e.Code(), com::E_ACCESSDENIED) << e.what();
    return e.what();
  }
}

struct LoaderCase {
  const char* name;
  bool needsRoot;
  // Prepares the folder; writes the registry unless it did so itself.
  std::function<void(const TempDir&, const std::string& registry, std::string& library)> setup;
  const char* refusal;  // part of the message; "" when the class loads
};

TEST(Trust, LoaderUsesOnlyFilesOfTheUserOrRoot) {
  auto copyOfLibrary = [](const std::string& to, fs::perms perms) {
    fs::copy_file(QUILLMONT_SHARED_LIBRARY, to);
    fs::permissions(to, perms);
  };
  const LoaderCase cases[] = {
      {"own files", false, [](auto&, auto&, auto&) {}, ""},
      {"group-writable registry", false,
       [](auto&, auto& r, auto& l) { WriteText(r, RegistryNaming(l)), fs::permissions(r, fs::perms(0664)); },
       "chmod go-w"},
      {"folder writable by all", false, [](auto& d, auto&, auto&) { fs::permissions(d.File(""), fs::perms(01777)); },
       "is writable by others"},
      {"registry of another user", true,
       [](auto&, auto& r, auto& l) {
         WriteText(r, RegistryNaming(l));
         EXPECT_EQ(::chown(r.c_str(), kOtherUser, kOtherUser), 0);
       },
       "belongs to"},
      {"registry is a link", false,
       [](auto& d, auto& r, auto& l) {
         WriteText(d.File("real"), RegistryNaming(l)), fs::create_symlink(d.File("real"), r);
       },
       "symbolic link"},
      {"registry is a FIFO", false, [](auto&, auto& r, auto&) { ::mkfifo(r.c_str(), 0600); }, "not a regular file"},
      {"registry of 5 MiB", false,
       [](auto&, auto& r, auto& l) { WriteText(r, RegistryNaming(l)), fs::resize_file(r, 5 << 20); },
       "larger than 4 MiB"},
      {"relative library path", false, [](auto&, auto&, auto& l) { l = "libquillmont.so.8"; }, "absolute path"},
      {"group-writable library", false,
       [&](auto& d, auto&, auto& l) { copyOfLibrary(l = d.File("lib.so"), fs::perms(0775)); },
       "writable by group or others"},
      {"library of another user", true,
       [&](auto& d, auto&, auto& l) {
         copyOfLibrary(l = d.File("lib.so"), fs::perms(0755));
         EXPECT_EQ(::chown(l.c_str(), kOtherUser, 0), 0);
       },
       "belongs to"},
      {"library in an open folder", false,
       [&](auto& d, auto&, auto& l) {
         fs::create_directory(d.File("open")), fs::permissions(d.File("open"), fs::perms(0777)),
             copyOfLibrary(l = d.File("open/lib.so"), fs::perms(0755));
       },
       "is writable by others"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsRoot && ::geteuid() != 0) {
      std::printf("[  SKIPPED ] %s: %s\n", c.name, kNeedsRoot);
      continue;
    }
    TempDir dir;
    const std::string registry = dir.File("registry");
    std::string library = QUILLMONT_SHARED_LIBRARY;
    c.setup(dir, registry, library);
    if (!fs::exists(fs::symlink_status(registry))) WriteText(registry, RegistryNaming(library));
    EXPECT_EQ(Contains(LoaderRefusal(registry), c.refusal), "");
  }
}

TEST(Trust, RegistrationNeverWritesThroughLinksOrIntoOpenFolders) {
  TempDir dir;
  const std::string registry = dir.File("registry");
  // A link at the registry path, and one where a lock file used to be made.
  WriteText(dir.File("victim"), "");
  fs::create_symlink(dir.File("victim"), registry);
  fs::create_symlink(dir.File("chosen"), registry + ".lock");
  try {
    registration::Register(registry, "/lib/libquillmont.so");
    ADD_FAILURE() << "registered through a link";
  } catch (const Error& e) {
    EXPECT_EQ(Contains(e.what(), "symbolic link"), "");
  }
  EXPECT_EQ(ReadText(dir.File("victim")), "");
  EXPECT_TRUE(fs::is_symlink(registry));
  fs::remove(registry);
  // New files take the umask, but never become writable by others.
  for (const auto& [mask, mode] : {std::pair{0077, 0600}, {0, 0644}}) {
    const mode_t old = ::umask(static_cast<mode_t>(mask));
    registration::Register(registry, "/lib/libquillmont.so");
    ::umask(old);
    EXPECT_EQ(fs::status(registry).permissions(), fs::perms(mode)) << mask;
    EXPECT_TRUE(host::RegistryView::Open(registry).FindByProgId("Quillmont.XEventsTab"));
    fs::remove(registry);
  }
  EXPECT_FALSE(fs::exists(dir.File("chosen")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("")), {}), 2) << "only victim and the old lock link";

  // Another user's registry planted in a folder open to all is refused, not
  // half-replaced, and nothing is left beside it.
  if (::geteuid() != 0) GTEST_SKIP() << kNeedsRoot;
  fs::permissions(dir.File(""), fs::perms(01777));
  const std::string planted = RegistryNaming("/tmp/evil.so");
  WriteText(registry, planted);
  ASSERT_EQ(::chown(registry.c_str(), kOtherUser, kOtherUser), 0);
  EXPECT_THROW(registration::Register(registry, "/lib/libquillmont.so"), Error);
  EXPECT_EQ(ReadText(registry), planted);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("")), {}), 3);
}

TEST(Trust, TerminalTextIsEscaped) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain \xC3\xA9t\xC3\xA9", "plain \xC3\xA9t\xC3\xA9"},
      {"A\x1b]0;pwned\a\x1b[2J", "A\\x1b]0;pwned\\x07\\x1b[2J"},
      {"tab\tnl\ndel\x7f", "tab\\x09nl\\x0adel\\x7f"},
      {"c1 \xC2\x9B"
       "31m raw \x9B",
       "c1 \\u009b31m raw \\x9b"},
      {"bidi \xE2\x80\xAE"
       "cod.exe \xE2\x81\xA6",
       "bidi \\u202ecod.exe \\u2066"},
  };
  for (const auto& [raw, shown] : cases) EXPECT_EQ(text::ForTerminal(raw), shown);

  // quillmont-regsvr list shows a hostile registry escaped.
  TempDir dir;
  registry::Document doc;
  doc.sections.push_back({"CLSID/{11111111-2222-3333-4444-555555555555}",
                          {{false, "ProgID", "A\x1b]0;pwned\a"}, {false, "InprocServer32", "/x/\xE2\x80\xAE.so"}}});
  WriteText(dir.File("registry"), registry::Serialize(doc));
  std::string out;
  FILE* pipe = ::popen((std::string(QUILLMONT_REGSVR) + " --registry " + dir.File("registry") + " list").c_str(), "r");
  ASSERT_TRUE(pipe);
  std::array<char, 512> buffer{};
  while (std::fgets(buffer.data(), buffer.size(), pipe)) out += buffer.data();
  EXPECT_EQ(::pclose(pipe), 0);
  EXPECT_EQ(Contains(out, "A\\x1b]0;pwned\\x07  /x/\\u202e.so"), "");
}

// A container that loads the page again from inside SelectTab.
class ReloadingTabHost final : public com::ITabHost {
 public:
  com::HResult QueryInterface(const Guid& iid, void** out) override {
    *out = iid == com::IUnknown::kIid || iid == com::ITabHost::kIid ? static_cast<com::ITabHost*>(this) : nullptr;
    return *out ? com::S_OK : com::E_NOINTERFACE;
  }
  std::uint32_t AddRef() override { return 2; }
  std::uint32_t Release() override { return 1; }
  com::HResult MarkChanged() override { return com::S_OK; }
  com::HResult SelectTab(const char* tabKey) override {
    reloaded = folio->LoadData(definition, "Other", this);
    selected = tabKey;
    return com::S_OK;
  }
  com::IFolioControl* folio = nullptr;
  const com::VariantArg* definition = nullptr;
  com::HResult reloaded = com::E_FAIL;
  std::string selected;
};

TEST(Trust, BoundaryKeepsItsLimits) {
  TempDir dir;
  WriteText(dir.File("registry"), RegistryNaming(QUILLMONT_SHARED_LIBRARY));
  host::Loader loader(dir.File("registry"));
  auto folio = loader.Create<com::IFolioControl>("Quillmont.XEventEmailTab");
  ASSERT_TRUE(folio);
  auto library = loader.LibraryFor("Quillmont.XEventEmailTab");

  // A count beyond the member's maximum is refused before any argument is read.
  auto dispatch = folio.As<com::IDispatch>();
  com::VariantArg one[1] = {com::VariantArg::FromString("x")};
  EXPECT_EQ(dispatch->Invoke(typelib::kDispIsTabValid, one, 1u << 30, nullptr), com::DISP_E_BADPARAMCOUNT);
  // A huge name comes back in a failure text of sane size.
  com::DispId id = 0;
  EXPECT_EQ(dispatch->GetIDsOfNames(std::string(1 << 20, 'n').c_str(), &id), com::DISP_E_UNKNOWNNAME);
  EXPECT_LE(library->LastErrorText().size(), library::kMaxErrorTextBytes);

  // Reloading from inside SelectTab leaves the key handed over intact.
  auto definition = std::make_shared<BasicNotificationDefinition>();
  definition->SetIsNew(false);
  definition->SetHasEmail(true);
  definition->SetEmailSubject(std::string("Disk full"));
  auto reference = com::ObjectReference::Make(definition);
  com::VariantArg v = com::VariantArg::FromObject(reference.Get());
  ReloadingTabHost tabs;
  tabs.folio = folio.Get();
  tabs.definition = &v;
  ASSERT_EQ(folio->LoadData(&v, "Email", &tabs), com::S_OK);
  ComBool valid = ComTrue;
  EXPECT_EQ(folio->IsTabValid("Notification", &valid), com::S_OK);
  EXPECT_EQ(valid, ComFalse);
  EXPECT_EQ(tabs.reloaded, com::S_OK);
  EXPECT_EQ(tabs.selected, "Email");
}

}  // namespace
}  // namespace quillmont
