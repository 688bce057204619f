// The library as a host that does not link it sees it: registered into a
// registry file, found there, loaded with dlopen and driven through its
// interface tables.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "host/loader.h"
#include "quillmont/library/boundary.h"
#include "quillmont/library/com.h"
#include "quillmont/library/registry_file.h"
#include "tests/library/boundary_tab_host.h"
#include "tests/support/panel_fixture.h"
#include "tests/support/temp_dir.h"

namespace quillmont::host {
namespace {

using com::ComPtr;
using com::VariantArg;
using testing::BoundaryTabHost;
using testing::Output;
using testing::ReadText;
using testing::ScopedEnv;
using testing::TempDir;
using testing::WriteText;

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = ComponentLibrary::Load(QUILLMONT_SHARED_LIBRARY);
    ASSERT_EQ(library_->CanUnloadNow(), com::S_OK);
  }

  TempDir dir_;
  std::string registry_ = dir_.File("registry");
  ScopedEnv env_{"QUILLMONT_REGISTRY", registry_.c_str()};
  std::shared_ptr<ComponentLibrary> library_;
};

TEST_F(EndToEnd, RegisterCreateByProgIdDriveReleaseAndUnregister) {
  ASSERT_EQ(library_->RegisterServer(), com::S_OK) << library_->LastErrorText();
  const auto classes = RegistryView::Open(registry_).Classes();
  ASSERT_EQ(classes.size(), 3u);
  for (const auto& c : classes) {
    EXPECT_TRUE(std::filesystem::equivalent(c.libraryPath, QUILLMONT_SHARED_LIBRARY)) << c.libraryPath;
    EXPECT_EQ(c.threadingModel, "Apartment");
  }

  Loader loader(registry_);
  BoundaryTabHost tabs;
  {
    // SNMP panel: load, ask, late-bound public member, save.
    auto folio = loader.Create<com::IFolioControl>("Quillmont.XEventSNMPTab");
    ASSERT_TRUE(folio);
    EXPECT_EQ(library_->CanUnloadNow(), com::S_FALSE);
    auto definition = testing::StoredDefinition({"nms.example:162"});
    auto reference = com::ObjectReference::Make(definition);
    VariantArg v = VariantArg::FromObject(reference.Get());
    ASSERT_EQ(folio->LoadData(&v, "SNMP", &tabs), com::S_OK) << library_->LastErrorText();
    EXPECT_EQ(definition->SnmpDetailsLoads(), 1);
    EXPECT_EQ(tabs.references, 2);

    ComBool answer = 1;
    EXPECT_EQ(folio->HandleTabProcess("", &answer), com::S_OK);
    EXPECT_EQ(answer, ComFalse);
    EXPECT_EQ(folio->IsTabValid("Notification", &answer), com::S_OK);
    EXPECT_EQ(answer, ComTrue);

    // Row 1 is shown in the entry fields: it duplicates itself, unless it is
    // the manager being edited.
    com::DispId id = 0;
    ASSERT_EQ(folio->GetIDsOfNames("HostPortExists", &id), com::S_OK);
    EXPECT_EQ(id, 0x6003002A);
    VariantArg result;
    ASSERT_EQ(folio->Invoke(id, nullptr, 0, &result), com::S_OK) << library_->LastErrorText();
    EXPECT_EQ(result.type, VariantArg::Boolean);
    EXPECT_EQ(result.boolean, ComTrue);
    auto managerRef = com::ObjectReference::Make(definition->SnmpManagers()->Manager(1));
    VariantArg manager = VariantArg::FromObject(managerRef.Get());
    auto snmp = folio.As<com::IXEventSNMPTab>();
    ASSERT_TRUE(snmp);
    EXPECT_EQ(snmp->HostPortExists(&manager, &answer), com::S_OK);
    EXPECT_EQ(answer, ComFalse);
    EXPECT_EQ(snmp->HostPortExists(nullptr, &answer), com::S_OK);
    EXPECT_EQ(answer, ComTrue);

    EXPECT_EQ(folio->SaveState(), com::S_OK);
    EXPECT_EQ(folio->LoadState(), com::S_OK);
    auto before = definition->SnmpManagers();
    EXPECT_EQ(folio->SaveData(), com::S_OK);
    ASSERT_NE(definition->SnmpManagers(), before) << "the panel hands over its own list";
    ASSERT_EQ(definition->SnmpManagers()->Count(), 1);
    EXPECT_EQ(definition->SnmpManagers()->Manager(1)->Host(), "nms.example");

    // A wrong definition fails with a reason and leaves the panel usable.
    VariantArg text = VariantArg::FromString("not a definition");
    EXPECT_EQ(folio->LoadData(&text, "SNMP", &tabs), com::DISP_E_EXCEPTION);
    EXPECT_NE(library_->LastErrorText().find("Error 13"), std::string::npos) << library_->LastErrorText();
    EXPECT_EQ(folio->IsTabValid("Notification", &answer), com::S_OK);
  }
  EXPECT_EQ(tabs.references, 1) << "the released panel gave the tab container back";
  EXPECT_EQ(library_->CanUnloadNow(), com::S_OK);

  {
    // E-mail panel: a subject without recipients is refused, and the page is
    // brought forward through the host's container, which may reload the page
    // right there: the key handed over stays intact.
    auto folio = loader.Create<com::IFolioControl>("Quillmont.XEventEmailTab");
    ASSERT_TRUE(folio);
    auto definition = testing::StoredDefinition({});  // a subject, no recipients
    auto reference = com::ObjectReference::Make(definition);
    VariantArg v = VariantArg::FromObject(reference.Get());
    com::HResult reloaded = com::E_FAIL;
    tabs.onSelectTab = [&] { reloaded = folio->LoadData(&v, "Other", &tabs); };
    ASSERT_EQ(folio->LoadData(&v, "Email", &tabs), com::S_OK) << library_->LastErrorText();
    ComBool answer = 1;
    EXPECT_EQ(folio->IsTabValid("Notification", &answer), com::S_OK);
    EXPECT_EQ(std::make_tuple(answer, reloaded, tabs.selected),
              std::make_tuple(ComFalse, com::S_OK, std::vector<std::string>{"Email"}));
    tabs.onSelectTab = nullptr;
    EXPECT_EQ(folio->SaveData(), com::S_OK);
    EXPECT_EQ(definition->Subject(), std::optional<std::string>("S"));
    auto email = folio.As<com::IXEventEmailTab>();
    ASSERT_TRUE(email);
    EXPECT_EQ(email->AddressExists(nullptr, &answer), com::S_OK);
    EXPECT_EQ(answer, ComFalse);

    // A count beyond the member's maximum is refused before any argument is
    // read; a huge name comes back in a failure text of sane size.
    VariantArg one[1] = {VariantArg::FromString("x")};
    EXPECT_EQ(folio->Invoke(typelib::kDispIsTabValid, one, 1u << 30, nullptr), com::DISP_E_BADPARAMCOUNT);
    com::DispId id = 0;
    EXPECT_EQ(folio->GetIDsOfNames(std::string(1 << 20, 'n').c_str(), &id), com::DISP_E_UNKNOWNNAME);
    EXPECT_LE(loader.LibraryFor("Quillmont.XEventEmailTab")->LastErrorText().size(), library::kMaxErrorTextBytes);
  }
  {
    // Events panel, found by its class identity.
    auto folio = loader.Create<com::IFolioControl>("{B6F92C63-E69D-11D6-BABE-000103C3BB5F}");
    ASSERT_TRUE(folio);
    ComBool answer = 1;
    EXPECT_EQ(folio->HandleTabProcess("Save", &answer), com::S_OK);
    EXPECT_EQ(answer, ComFalse);
    EXPECT_TRUE(folio.As<com::IXEventsTab>());
    ComPtr<com::IDispatch> source;
    EXPECT_EQ(folio->QueryInterface(Guid::Parse("{93B41FC5-3440-4217-8371-549258C51CEA}"), source.Out()), com::S_OK);
    EXPECT_EQ(library_->CanUnloadNow(), com::S_FALSE);
    EXPECT_EQ(loader.FreeUnusedLibraries(), 0u) << "a live panel keeps its library";
  }
  EXPECT_EQ(library_->CanUnloadNow(), com::S_OK);
  EXPECT_EQ(loader.LoadedCount(), 1u);
  // With every object released the loader lets its library go.
  EXPECT_EQ(loader.FreeUnusedLibraries(), 1u);
  EXPECT_EQ(loader.LoadedCount(), 0u);

  ASSERT_EQ(library_->UnregisterServer(), com::S_OK) << library_->LastErrorText();
  EXPECT_TRUE(RegistryView::Open(registry_).Classes().empty());
  try {
    loader.CreateRaw("Quillmont.XEventsTab", com::IUnknown::kIid);
    FAIL() << "an unregistered class was created";
  } catch (const LoaderError& e) {
    EXPECT_EQ(e.Code(), REGDB_E_CLASSNOTREG);
  }
}

TEST_F(EndToEnd, FailuresCarryCodesAndReasons) {
  // A damaged registry is reported through the entry point and left alone.
  const std::string damaged = "QuillmontRegistry 1\n[CLSID/{x}]\nno value here\n";
  WriteText(registry_, damaged);
  EXPECT_EQ(library_->RegisterServer(), com::SELFREG_E_CLASS);
  EXPECT_NE(library_->LastErrorText().find("damaged"), std::string::npos) << library_->LastErrorText();
  EXPECT_EQ(library_->UnregisterServer(), com::SELFREG_E_CLASS);
  EXPECT_EQ(ReadText(registry_), damaged);
  EXPECT_THROW(RegistryView::Open(registry_), LoaderError);

  std::filesystem::remove(registry_);
  ASSERT_EQ(library_->RegisterServer(), com::S_OK);
  Loader loader(registry_);
  try {
    // Registered, but not an interface the class has.
    loader.CreateRaw("Quillmont.XEventsTab", com::IXEventSNMPTab::kIid);
    FAIL() << "an interface the class lacks was answered";
  } catch (const LoaderError& e) {
    EXPECT_EQ(e.Code(), com::E_NOINTERFACE);
    EXPECT_NE(std::string(e.what()).find("XEventsTab"), std::string::npos) << e.what();
  }
  EXPECT_THROW(loader.CreateRaw("Quillmont.Unknown", com::IUnknown::kIid), LoaderError);
  EXPECT_EQ(library_->CanUnloadNow(), com::S_OK) << "nothing is kept after a failed creation";
  // A host calling through the factory's table with no interface identity.
  {
    ComPtr<com::IClassFactory> factory;
    ASSERT_EQ(library_->GetClassObject(RegistryView::Open(registry_).Classes().at(0).classId, com::IClassFactory::kIid,
                                       factory.Out()),
              com::S_OK);
    void** table = *reinterpret_cast<void***>(factory.Get());
    void* object = &object;
    using Query = com::HResult (*)(com::IClassFactory*, const Guid*, void**);
    using Create = com::HResult (*)(com::IClassFactory*, com::IUnknown*, const Guid*, void**);
    EXPECT_EQ(reinterpret_cast<Query>(table[0])(factory.Get(), nullptr, &object), com::E_POINTER);
    EXPECT_EQ(reinterpret_cast<Create>(table[3])(factory.Get(), nullptr, nullptr, &object), com::E_POINTER);
    EXPECT_EQ(object, nullptr);
  }

  // A registry entry pointing at a file that is no library.
  registry::Document doc;
  ASSERT_FALSE(registry::Parse(ReadText(registry_), doc));
  for (auto& s : doc.sections)
    if (s.key == "CLSID/{B6F92C63-E69D-11D6-BABE-000103C3BB5F}") s.SetValue("InprocServer32", registry_);
  WriteText(registry_, registry::Serialize(doc));
  Loader other(registry_);
  EXPECT_THROW(other.CreateRaw("Quillmont.XEventsTab", com::IUnknown::kIid), LoaderError);
  EXPECT_EQ(other.LoadedCount(), 0u);

  // Loaded again and again, a file keeps one descriptor open, not one a load.
  auto open = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  const auto before = open();
  for (int i = 0; i < 20; ++i) ComponentLibrary::Load(QUILLMONT_SHARED_LIBRARY);
  EXPECT_EQ(open(), before);
}

#ifdef QUILLMONT_REGSVR
TEST_F(EndToEnd, ExportsOnlyTheEntryPoints) {
  const std::string symbols = Output(std::string("nm -D --defined-only ") + QUILLMONT_SHARED_LIBRARY);
  ASSERT_FALSE(symbols.empty()) << "nm gave nothing";
  std::set<std::string> plain;
  bool internals = false;
  std::istringstream lines(symbols);
  for (std::string line; std::getline(lines, line);) {
    const std::string name = line.substr(line.rfind(' ') + 1);
    // Internals of the composition root stay hidden.
    if (name.find("9quillmont7library") != std::string::npos ||
        name.find("9quillmont12registration") != std::string::npos)
      internals = true;
    if (name.rfind("_Z", 0) != 0 && name.rfind("_", 0) != 0) plain.insert(name);
  }
  EXPECT_FALSE(internals) << symbols;
  EXPECT_EQ(plain, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                          "DllUnregisterServer", "QuillmontGetLastErrorText",
                                          "QuillmontGetToolboxBitmap", "QuillmontGetTypeLibrary"}));
  // The type library and the bitmaps through the library's own entry points.
  ASSERT_NE(library_->TypeLibrary(), nullptr);
  EXPECT_EQ(library_->TypeLibrary()->classes.size(), 3u);
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  EXPECT_EQ(library_->ToolboxBitmap(30001, &data, &size), com::S_OK);
  EXPECT_EQ(size, 238u);
}

TEST_F(EndToEnd, RegistrationTool) {
  const std::string tool = std::string(QUILLMONT_REGSVR) + " --registry " + registry_ + " ";
  EXPECT_NE(Output(tool + "register " + QUILLMONT_SHARED_LIBRARY + " 2>&1").find("Registered"), std::string::npos);
  const std::string listed = Output(tool + "list");
  EXPECT_NE(listed.find("{3290481E-9000-46FA-86FE-80166AD7E696}  Quillmont.XEventSNMPTab"), std::string::npos)
      << listed;
  EXPECT_NE(listed.find("Quillmont.XEventsTab"), std::string::npos);
  EXPECT_NE(listed.find("Quillmont.XEventEmailTab"), std::string::npos);
  EXPECT_NE(Output(tool + "unregister " + QUILLMONT_SHARED_LIBRARY + " 2>&1").find("Unregistered"), std::string::npos);
  EXPECT_NE(Output(tool + "list").find("No classes are registered"), std::string::npos);
  EXPECT_NE(Output(tool + "bogus 2>&1").find("Usage"), std::string::npos);
  EXPECT_EQ(::system((tool + "register /nonexistent/lib.so 2>/dev/null").c_str()) != 0, true);
}
#endif

}  // namespace
}  // namespace quillmont::host
