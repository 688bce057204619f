#include "quillmont/library/type_library.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillmont/events_panel/udt_event_group_types.h"
#include "quillmont/framework/tab_contract.h"
#include "quillmont/library/com.h"

namespace quillmont::typelib {
namespace {

std::vector<std::string> Names(std::span<const Member> members) {
  std::vector<std::string> names;
  for (const auto& m : members) names.emplace_back(m.name);
  return names;
}

TEST(TypeLibrary, LibraryIdentityVersionAndReferences) {
  const TypeLibrary& lib = GetTypeLibrary();
  EXPECT_EQ(lib.name, "Quillmont");
  EXPECT_EQ(lib.description, "Quillmont");
  EXPECT_EQ(lib.id.ToString(), "{D26CEE07-DF78-11D6-BABC-000103C3BB5F}");
  EXPECT_EQ(lib.majorVersion, 14);
  EXPECT_EQ(lib.minorVersion, 0);
  EXPECT_EQ(lib.localeId, 0x0409u);
  EXPECT_TRUE(lib.IsControlLibrary());

  ASSERT_EQ(lib.references.size(), 3u);
  EXPECT_EQ(lib.references[0].id.ToString(), "{00020430-0000-0000-C000-000000000046}");
  EXPECT_EQ(lib.references[0].majorVersion, 2);
  EXPECT_EQ(lib.references[1].id.ToString(), "{014EF207-640F-46A2-8573-AA503C3CA051}");
  EXPECT_EQ(lib.references[1].majorVersion, 2);
  EXPECT_EQ(lib.references[2].id.ToString(), "{B7C223D6-706C-11D3-8C44-00105A6449C9}");
  EXPECT_EQ(lib.references[2].majorVersion, 523);
  EXPECT_EQ(lib.references[2].minorVersion, 0);

  const VersionInfo& v = lib.version;
  EXPECT_EQ(v.fileVersion, (std::array<std::uint16_t, 4>{8, 7, 0, 258}));
  EXPECT_EQ(v.productVersion, v.fileVersion);
  EXPECT_EQ(v.fileVersionText, "8.07.0258");
  EXPECT_EQ(v.productVersionText, "8.07.0258");
  EXPECT_EQ(v.productName, "Quillmont");
  EXPECT_EQ(v.internalName, "Quillmont");
  EXPECT_EQ(v.originalFileName, "Quillmont.ocx");
  EXPECT_TRUE(v.selfRegister);
}

TEST(TypeLibrary, ClassesWithInterfacesBitmapsAndStatus) {
  const TypeLibrary& lib = GetTypeLibrary();
  struct Expected {
    const char* name;
    const char* classId;
    const char* progId;
    const char* defaultName;
    Guid defaultId;
    const char* sourceName;
    const char* sourceId;
    int bitmap;
    std::uint32_t status;
    bool simpleFrame;
  };
  const Expected expected[] = {
      {"XEventSNMPTab", "{3290481E-9000-46FA-86FE-80166AD7E696}", "Quillmont.XEventSNMPTab", "_XEventSNMPTab",
       com::IXEventSNMPTab::kIid, "__XEventSNMPTab", "{21D920EB-529C-47FD-9E4C-E441720C4FA5}", 30002, 0x20191, false},
      {"XEventsTab", "{B6F92C63-E69D-11D6-BABE-000103C3BB5F}", "Quillmont.XEventsTab", "_XEventsTab",
       com::IXEventsTab::kIid, "__XEventsTab", "{93B41FC5-3440-4217-8371-549258C51CEA}", 30001, 0x30191, true},
      {"XEventEmailTab", "{B6F92C66-E69D-11D6-BABE-000103C3BB5F}", "Quillmont.XEventEmailTab", "_XEventEmailTab",
       com::IXEventEmailTab::kIid, "__XEventEmailTab", "{BFBAFD5B-9DE7-46A8-9353-68E0D2030318}", 30000, 0x30191, true},
  };
  ASSERT_EQ(lib.classes.size(), 3u);
  for (const auto& e : expected) {
    SCOPED_TRACE(e.name);
    const ClassInfo* c = lib.FindClass(Guid::Parse(e.classId));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c, lib.FindClassByProgId(e.progId));
    EXPECT_EQ(c->name, e.name);
    EXPECT_TRUE(c->control);
    EXPECT_EQ(c->toolboxBitmap, e.bitmap);
    EXPECT_EQ(c->miscStatus, e.status);
    EXPECT_EQ(c->SimpleFrame(), e.simpleFrame);
    EXPECT_EQ(c->defaultInterface->name, e.defaultName);
    EXPECT_EQ(c->defaultInterface->id, e.defaultId);
    EXPECT_EQ(c->defaultInterface->kind, InterfaceKind::Dual);
    EXPECT_EQ(c->defaultInterface->flags & (itf::Hidden | itf::NonExtensible), itf::Hidden | itf::NonExtensible);
    EXPECT_EQ(c->sourceInterface->name, e.sourceName);
    EXPECT_EQ(c->sourceInterface->id.ToString(), e.sourceId);
    EXPECT_EQ(c->sourceInterface->kind, InterfaceKind::Dispatch);
    EXPECT_TRUE(c->sourceInterface->members.empty());
    // Default interface, the tab contract, the source interface.
    ASSERT_EQ(c->interfaces.size(), 3u);
    EXPECT_EQ(c->interfaces[0], c->defaultInterface);
    EXPECT_EQ(c->interfaces[1]->id, IFolioControl::kInterfaceId);
    EXPECT_EQ(c->interfaces[2], c->sourceInterface);
  }
  EXPECT_EQ(lib.FindClassByProgId("quillmont.xeventsnmptab"), lib.FindClass(kXEventSNMPTabClassId));
  EXPECT_EQ(lib.FindClassByProgId("Quillmont.Nothing"), nullptr);
  EXPECT_EQ(lib.FindClass(Guid{}), nullptr);
}

TEST(TypeLibrary, ContractTabHostPublicMembersAndRecord) {
  const TypeLibrary& lib = GetTypeLibrary();
  const InterfaceInfo* folio = lib.FindInterface(IFolioControl::kInterfaceId);
  ASSERT_NE(folio, nullptr);
  EXPECT_EQ(folio->id.ToString(), "{1D9CA846-AEA6-41C5-845C-25D5FCA30DA3}");
  EXPECT_EQ(Names(folio->members), (std::vector<std::string>{"HandleTabProcess", "IsTabValid", "LoadState", "SaveData",
                                                             "LoadData", "SaveState"}));
  EXPECT_EQ(folio->members[0].returnType, "Boolean");
  EXPECT_EQ(folio->members[1].parameters[0].name, "sMsgBoxTitle");
  ASSERT_EQ(folio->members[4].parameters.size(), 3u);
  EXPECT_EQ(folio->members[4].parameters[0].type, "Variant");
  EXPECT_EQ(folio->members[4].parameters[1].name, "sName");
  EXPECT_EQ(folio->members[4].parameters[2].type, "TabHost");
  EXPECT_EQ(folio->definedIn->id.ToString(), "{B7C223D6-706C-11D3-8C44-00105A6449C9}");

  const InterfaceInfo* host = lib.FindInterface(TabHost::kInterfaceId);
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(host->id.ToString(), "{0148DDC8-EF28-4475-A4A5-46E095881147}");
  EXPECT_EQ(host->eventInterface.ToString(), "{EE144391-E8C8-4B0E-9701-A3BACDB4451D}");
  EXPECT_EQ(Names(host->members), (std::vector<std::string>{"MarkChanged", "SelectTab"}));

  const Member& hostPort = lib.FindClass(kXEventSNMPTabClassId)->defaultInterface->members[0];
  EXPECT_EQ(hostPort.name, "HostPortExists");
  EXPECT_EQ(hostPort.dispId, 0x6003002A);
  EXPECT_EQ(hostPort.returnType, "Boolean");
  ASSERT_EQ(hostPort.parameters.size(), 1u);
  EXPECT_EQ(hostPort.parameters[0].name, "snmpMgrSeleted");
  EXPECT_EQ(hostPort.parameters[0].type, "SnmpManager");
  EXPECT_EQ(hostPort.parameters[0].flags & (param::In | param::Out | param::Optional),
            param::In | param::Out | param::Optional);
  EXPECT_EQ(hostPort.parameters[0].defaultValue, "Nothing");

  const Member& address = lib.FindClass(kXEventEmailTabClassId)->defaultInterface->members[0];
  EXPECT_EQ(address.name, "AddressExists");
  EXPECT_EQ(address.dispId, 0x6003002C);
  EXPECT_EQ(address.parameters[0].name, "addrNew");
  EXPECT_EQ(address.parameters[0].type, "EmailRecipient");
  EXPECT_TRUE(lib.FindClass(kXEventsTabClassId)->defaultInterface->members.empty());

  const RecordInfo* record = lib.FindRecord("udt_EventGroupTypes");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->id, udt_EventGroupTypes::kTypeId);
  ASSERT_EQ(record->fields.size(), 3u);
  EXPECT_EQ(record->fields[0].name, "GroupID");
  EXPECT_EQ(record->fields[0].type, "Long");
  EXPECT_EQ(record->fields[1].name, "GroupName");
  EXPECT_EQ(record->fields[2].name, "GroupLabel");
  EXPECT_EQ(record->fields[2].type, "String");
}

TEST(TypeLibrary, GuidLiteralMatchesTheParser) {
  constexpr Guid g = GuidLiteral("{e0f52572-de2d-4569-b032-959d5cf2daba}");
  EXPECT_EQ(g, Guid::Parse("{E0F52572-DE2D-4569-B032-959D5CF2DABA}"));
  EXPECT_EQ(com::IUnknown::kIid, Guid::Parse("{00000000-0000-0000-C000-000000000046}"));
  EXPECT_EQ(com::IClassFactory::kIid, Guid::Parse("{00000001-0000-0000-C000-000000000046}"));
  EXPECT_EQ(com::IDispatch::kIid, Guid::Parse("{00020400-0000-0000-C000-000000000046}"));
}

}  // namespace
}  // namespace quillmont::typelib
