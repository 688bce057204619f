#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "quillmont/library/boundary.h"
#include "quillmont/library/class_table.h"
#include "quillmont/library/dispatch.h"
#include "quillmont/library/entry_points.h"
#include "quillmont/library/panel_object.h"
#include "quillmont/library/type_library.h"
#include "quillmont/platform/error.h"
#include "quillmont/version.h"

namespace quillmont::library {
namespace {

using com::ComPtr;
using com::VariantArg;

// A panel that does nothing: these tests are about the object around it.
class FakePanel final : public quillmont::IFolioControl {
 public:
  bool HandleTabProcess(const std::string&) override { return false; }
  bool IsTabValid(const std::string&) override { return true; }
  void LoadState() override {}
  void SaveData() override {}
  void LoadData(const Variant&, const std::string&, std::shared_ptr<TabHost>) override {}
  void SaveState() override {}
};

Variant NoMember(quillmont::IFolioControl&, ArgList) { return Variant(); }

struct Fixture {
  Fixture() {
    const auto& info = *typelib::GetTypeLibrary().FindClass(typelib::kXEventSNMPTabClassId);
    member = {&info.defaultInterface->members[0], 0, 1, &NoMember};
    cls = {&info, [] { return std::shared_ptr<quillmont::IFolioControl>(); }, {&member, 1}};
    native = std::make_shared<FakePanel>();
    EXPECT_EQ(WrapPanel(cls, native, com::IXEventSNMPTab::kIid, object.Out()), com::S_OK);
  }
  DispatchMember member{};
  PanelClass cls{};
  std::shared_ptr<FakePanel> native;
  ComPtr<com::IXEventSNMPTab> object;
};

TEST(PanelObject, AnswersItsInterfacesWithOneIdentityAndCountsLifetime) {
  ASSERT_EQ(DllCanUnloadNow(), com::S_OK);
  {
    Fixture f;
    EXPECT_EQ(DllCanUnloadNow(), com::S_FALSE);
    auto unknown = f.object.As<com::IUnknown>();
    auto folio = f.object.As<com::IFolioControl>();
    auto dispatch = f.object.As<com::IDispatch>();
    ComPtr<com::IDispatch> source;
    ASSERT_EQ(f.object->QueryInterface(typelib::kXEventSNMPTabEventsId, source.Out()), com::S_OK);
    ASSERT_TRUE(unknown && folio && dispatch && source);
    // Every interface leads back to the same IUnknown.
    EXPECT_EQ(folio.As<com::IUnknown>().Get(), unknown.Get());
    EXPECT_EQ(source.As<com::IUnknown>().Get(), unknown.Get());
    com::DispId id = 0;
    EXPECT_EQ(source->GetIDsOfNames("HostPortExists", &id), com::DISP_E_UNKNOWNNAME);
    EXPECT_EQ(source->Invoke(1, nullptr, 0, nullptr), com::DISP_E_MEMBERNOTFOUND);

    ComPtr<com::IXEventEmailTab> wrong;
    EXPECT_EQ(f.object->QueryInterface(com::IXEventEmailTab::kIid, wrong.Out()), com::E_NOINTERFACE);
    EXPECT_FALSE(wrong);
    EXPECT_NE(std::string(QuillmontGetLastErrorText()).find("XEventSNMPTab"), std::string::npos);
    EXPECT_EQ(f.object->QueryInterface(com::IUnknown::kIid, nullptr), com::E_POINTER);

    // A native reference keeps the object (and so the library) alive.
    std::shared_ptr<Object> held;
    ASSERT_EQ(f.object.As<com::IObjectReference>()->Get(&held), com::S_OK);
    EXPECT_EQ(held.get(), static_cast<Object*>(f.native.get()));
    unknown.Reset();
    folio.Reset();
    dispatch.Reset();
    source.Reset();
    f.object.Reset();
    EXPECT_EQ(DllCanUnloadNow(), com::S_FALSE);
    held.reset();
    EXPECT_EQ(DllCanUnloadNow(), com::S_OK);
  }
  EXPECT_EQ(DllCanUnloadNow(), com::S_OK);
}

// What each member of the page contract takes, in the words a host reads
// when it passes one argument too many.
TEST(PanelObject, EachContractMemberTakesItsNumberOfArguments) {
  FakePanel panel;
  VariantArg args[4];
  std::string said;
  for (const DispatchMember& m : ContractMembers())
    if (InvokeMember(m, panel, args, static_cast<std::uint32_t>(m.maxArgs + 1), nullptr, nullptr) != com::S_OK)
      said += std::string(QuillmontGetLastErrorText()) + "; ";
  EXPECT_EQ(said,
            "HandleTabProcess takes 1 arguments, not 2; IsTabValid takes 1 arguments, not 2; LoadState takes 0 "
            "arguments, not 1; SaveData takes 0 arguments, not 1; LoadData takes 3 arguments, not 4; SaveState "
            "takes 0 arguments, not 1; ");
}

TEST(EntryPoints, ClassObjectsFactoriesAndLocks) {
  ASSERT_EQ(DllCanUnloadNow(), com::S_OK);
  void* raw = reinterpret_cast<void*>(1);
  const Guid unknownClass = Guid::Parse("{11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(DllGetClassObject(&unknownClass, &com::IClassFactory::kIid, &raw), com::CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(raw, nullptr);
  EXPECT_NE(std::string(QuillmontGetLastErrorText()).find("{11111111-2222-3333-4444-555555555555}"), std::string::npos);
  EXPECT_EQ(DllGetClassObject(&typelib::kXEventsTabClassId, &com::IClassFactory::kIid, nullptr), com::E_POINTER);
  EXPECT_EQ(DllGetClassObject(nullptr, &com::IClassFactory::kIid, &raw), com::E_INVALIDARG);
  EXPECT_EQ(DllGetClassObject(&typelib::kXEventsTabClassId, &com::IDispatch::kIid, &raw), com::E_NOINTERFACE);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), com::S_OK) << "a refused factory is not kept";

  ComPtr<com::IClassFactory> factory;
  ASSERT_EQ(DllGetClassObject(&typelib::kXEventsTabClassId, &com::IClassFactory::kIid, factory.Out()), com::S_OK);
  EXPECT_EQ(DllCanUnloadNow(), com::S_FALSE);
  ComPtr<com::IUnknown> outer = factory.As<com::IUnknown>();
  ComPtr<com::IUnknown> made;
  EXPECT_EQ(factory->CreateInstance(outer.Get(), com::IUnknown::kIid, made.Out()), com::CLASS_E_NOAGGREGATION);
  EXPECT_FALSE(made);
  outer.Reset();

  EXPECT_EQ(factory->LockServer(ComTrue), com::S_OK);
  factory.Reset();
  EXPECT_EQ(DllCanUnloadNow(), com::S_FALSE) << "a lock keeps the library";
  ASSERT_EQ(DllGetClassObject(&typelib::kXEventsTabClassId, &com::IUnknown::kIid, factory.Out()), com::S_OK);
  EXPECT_EQ(factory->LockServer(ComFalse), com::S_OK);
  EXPECT_EQ(factory->LockServer(ComFalse), com::E_UNEXPECTED);
  factory.Reset();
  EXPECT_EQ(DllCanUnloadNow(), com::S_OK);

  const unsigned char* data = nullptr;
  std::size_t size = 0;
  EXPECT_EQ(QuillmontGetToolboxBitmap(29999, &data, &size), com::E_INVALIDARG);
  EXPECT_EQ(QuillmontGetToolboxBitmap(30000, nullptr, &size), com::E_POINTER);
  // Each class's picture (16 x 15 pixels, 16 colours), byte for byte as a host
  // gets it; the stored files open in any image viewer.
  for (int id : {30000, 30001, 30002}) {
    ASSERT_EQ(QuillmontGetToolboxBitmap(id, &data, &size), com::S_OK);
    std::ifstream file(QM_BITMAPS_DIR "/" + std::to_string(id) + ".bmp", std::ios::binary);
    const std::string stored{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), stored) << id;
  }
  EXPECT_EQ(QuillmontGetTypeLibrary(), &typelib::GetTypeLibrary());
  // One version text: the library's record says what the programs and the header say.
  EXPECT_EQ(typelib::GetTypeLibrary().version.fileVersionText, QUILLMONT_VERSION_TEXT);
}

// Identities are typed once as literals; each must be the one the parser reads.
TEST(TypeLibrary, GuidLiteralMatchesTheParser) {
  constexpr Guid g = typelib::GuidLiteral("{e0f52572-de2d-4569-b032-959d5cf2daba}");
  EXPECT_EQ(g, Guid::Parse("{E0F52572-DE2D-4569-B032-959D5CF2DABA}"));
  EXPECT_EQ(com::IUnknown::kIid, Guid::Parse("{00000000-0000-0000-C000-000000000046}"));
  EXPECT_EQ(com::IClassFactory::kIid, Guid::Parse("{00000001-0000-0000-C000-000000000046}"));
  EXPECT_EQ(com::IDispatch::kIid, Guid::Parse("{00020400-0000-0000-C000-000000000046}"));
}

}  // namespace
}  // namespace quillmont::library
