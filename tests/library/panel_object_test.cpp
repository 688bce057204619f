#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillmont/library/boundary.h"
#include "quillmont/library/class_table.h"
#include "quillmont/library/entry_points.h"
#include "quillmont/library/panel_object.h"
#include "quillmont/platform/error.h"
#include "tests/library/boundary_tab_host.h"

namespace quillmont::library {
namespace {

using com::ComPtr;
using com::VariantArg;
using testing::BoundaryTabHost;

// A panel that records what reaches it, and fails on request.
class FakePanel final : public quillmont::IFolioControl {
 public:
  bool HandleTabProcess(const std::string& sProcess) override {
    calls.push_back("HandleTabProcess(" + sProcess + ")");
    return sProcess == "yes";
  }
  bool IsTabValid(const std::string& sMsgBoxTitle) override {
    calls.push_back("IsTabValid(" + sMsgBoxTitle + ")");
    if (sMsgBoxTitle == "fail") throw Error(ErrorCode::ObjectRequired, "Object required");
    return true;
  }
  void LoadState() override { calls.push_back("LoadState"); }
  void SaveData() override { calls.push_back("SaveData"); }
  void LoadData(const Variant& v, const std::string& sName, std::shared_ptr<TabHost> dtN) override {
    calls.push_back("LoadData(" + sName + ")");
    definition = v;
    host = std::move(dtN);
  }
  void SaveState() override { calls.push_back("SaveState"); }

  std::vector<std::string> calls;
  Variant definition;
  std::shared_ptr<TabHost> host;
};

class FakeManager final : public Object {};

std::shared_ptr<Object> gLastMemberArg;
bool gMemberCalled = false;

Variant RecordMember(quillmont::IFolioControl&, ArgList args) {
  gLastMemberArg = OptionalObjectArg<FakeManager>(args, 0, "snmpMgrSeleted");
  gMemberCalled = true;
  return gLastMemberArg != nullptr;
}

struct Fixture {
  Fixture() {
    const auto& info = *typelib::GetTypeLibrary().FindClass(typelib::kXEventSNMPTabClassId);
    member = {&info.defaultInterface->members[0], 0, 1, &RecordMember};
    cls = {&info, [] { return std::shared_ptr<quillmont::IFolioControl>(); }, {&member, 1}};
    native = std::make_shared<FakePanel>();
    EXPECT_EQ(WrapPanel(cls, native, com::IXEventSNMPTab::kIid, object.Out()), com::S_OK);
    gLastMemberArg.reset();
    gMemberCalled = false;
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
    auto events = f.object.As<com::IDispatch>();
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
    events.Reset();
    source.Reset();
    f.object.Reset();
    EXPECT_EQ(DllCanUnloadNow(), com::S_FALSE);
    held.reset();
    EXPECT_EQ(DllCanUnloadNow(), com::S_OK);
  }
  EXPECT_EQ(DllCanUnloadNow(), com::S_OK);
}

TEST(PanelObject, ContractThroughTheTableAndByDispatch) {
  Fixture f;
  auto folio = f.object.As<com::IFolioControl>();
  ComBool result = 7;
  EXPECT_EQ(folio->HandleTabProcess("yes", &result), com::S_OK);
  EXPECT_EQ(result, ComTrue);
  EXPECT_EQ(folio->HandleTabProcess(nullptr, &result), com::S_OK);
  EXPECT_EQ(result, ComFalse);
  EXPECT_EQ(folio->HandleTabProcess("x", nullptr), com::E_POINTER);

  // A failure of the panel comes back as a code with the error's text, and
  // leaves the object usable.
  EXPECT_EQ(folio->IsTabValid("fail", &result), com::DISP_E_EXCEPTION);
  EXPECT_STREQ(QuillmontGetLastErrorText(), "Error 424: Object required");
  EXPECT_EQ(folio->IsTabValid("Title", &result), com::S_OK);
  EXPECT_EQ(result, ComTrue);
  EXPECT_STREQ(QuillmontGetLastErrorText(), "");

  BoundaryTabHost host;
  auto definition = std::make_shared<FakeManager>();
  auto reference = com::ObjectReference::Make(definition);
  VariantArg v = VariantArg::FromObject(reference.Get());
  EXPECT_EQ(folio->LoadData(&v, "SNMP", &host), com::S_OK);
  EXPECT_EQ(f.native->definition.ToObject(), definition);
  ASSERT_NE(f.native->host, nullptr);
  EXPECT_EQ(host.references, 2) << "the panel holds the container";
  f.native->host->MarkChanged();
  std::string key = "SNMP";
  f.native->host->SelectTab(key);
  EXPECT_EQ(host.changes, 1);
  EXPECT_EQ(host.selected, std::vector<std::string>{"SNMP"});
  host.failing = true;
  EXPECT_THROW(f.native->host->MarkChanged(), Error);
  EXPECT_EQ(folio->LoadData(nullptr, "SNMP", nullptr), com::E_POINTER);
  EXPECT_EQ(folio->LoadState(), com::S_OK);
  EXPECT_EQ(folio->SaveData(), com::S_OK);
  EXPECT_EQ(folio->SaveState(), com::S_OK);

  // The same operations late-bound, by name without regard to case.
  com::DispId id = 0;
  ASSERT_EQ(folio->GetIDsOfNames("loaddata", &id), com::S_OK);
  EXPECT_EQ(id, typelib::kDispLoadData);
  ASSERT_EQ(folio->GetIDsOfNames("HandleTabProcess", &id), com::S_OK);
  EXPECT_EQ(id, 0x60030000);
  EXPECT_EQ(folio->GetIDsOfNames("Nope", &id), com::DISP_E_UNKNOWNNAME);
  VariantArg yes = VariantArg::FromString("yes");
  VariantArg out;
  EXPECT_EQ(folio->Invoke(id, &yes, 1, &out), com::S_OK);
  EXPECT_EQ(out.type, VariantArg::Boolean);
  EXPECT_EQ(out.boolean, -1);
  // Numbers convert to text as automation converts them.
  VariantArg number = VariantArg::FromInt32(42);
  EXPECT_EQ(folio->Invoke(id, &number, 1, &out), com::S_OK);
  EXPECT_EQ(out.boolean, 0);
  EXPECT_EQ(f.native->calls.back(), "HandleTabProcess(42)");

  const auto callsBefore = f.native->calls.size();
  EXPECT_EQ(folio->Invoke(id, nullptr, 0, &out), com::DISP_E_BADPARAMCOUNT);
  VariantArg two[2] = {yes, yes};
  EXPECT_EQ(folio->Invoke(id, two, 2, &out), com::DISP_E_BADPARAMCOUNT);
  VariantArg object = VariantArg::FromObject(reference.Get());
  EXPECT_EQ(folio->Invoke(id, &object, 1, &out), com::DISP_E_TYPEMISMATCH);
  VariantArg odd;
  odd.type = 0x2000;
  EXPECT_EQ(folio->Invoke(id, &odd, 1, &out), com::DISP_E_BADVARTYPE);
  EXPECT_EQ(folio->Invoke(0x12345, nullptr, 0, &out), com::DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(f.native->calls.size(), callsBefore) << "no refused call reached the panel";

  // LoadData's dtN must be a tab container.
  VariantArg args[3] = {v, VariantArg::FromString("k"), VariantArg::FromObject(reference.Get())};
  EXPECT_EQ(folio->Invoke(typelib::kDispLoadData, args, 3, nullptr), com::DISP_E_TYPEMISMATCH);
  EXPECT_NE(std::string(QuillmontGetLastErrorText()).find("dtN"), std::string::npos);
  f.native->host.reset();
  EXPECT_EQ(host.references, 1) << "the container's reference was given back";
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
  EXPECT_EQ(QuillmontGetTypeLibrary(), &typelib::GetTypeLibrary());
}

TEST(EntryPoints, ToolboxBitmapsAre16By15In16Colours) {
  for (int id : {30000, 30001, 30002}) {
    SCOPED_TRACE(id);
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    ASSERT_EQ(QuillmontGetToolboxBitmap(id, &data, &size), com::S_OK);
    auto u32 = [&](std::size_t at) {
      return static_cast<std::uint32_t>(data[at] | data[at + 1] << 8 | data[at + 2] << 16 | data[at + 3] << 24);
    };
    ASSERT_GE(size, 54u);
    EXPECT_EQ(data[0], 'B');
    EXPECT_EQ(data[1], 'M');
    EXPECT_EQ(u32(2), size);
    EXPECT_EQ(u32(18), 16u);
    EXPECT_EQ(u32(22), 15u);
    EXPECT_EQ(data[28], 4) << "bits per pixel";
    EXPECT_EQ(u32(46), 16u) << "colours";
    EXPECT_EQ(size, u32(10) + 8u * 15u);
  }
  // Each class has a picture of its own.
  const unsigned char* a = nullptr;
  const unsigned char* b = nullptr;
  std::size_t sa = 0, sb = 0;
  QuillmontGetToolboxBitmap(30000, &a, &sa);
  QuillmontGetToolboxBitmap(30002, &b, &sb);
  EXPECT_NE(std::vector<unsigned char>(a, a + sa), std::vector<unsigned char>(b, b + sb));
}

}  // namespace
}  // namespace quillmont::library
