#include "quillmont/library/type_library.h"

#include <algorithm>

#include "quillmont/framework/tab_contract.h"
#include "quillmont/rules/text.h"
#include "quillmont/version.h"

namespace quillmont::typelib {
namespace {

constexpr LibraryReference kReferences[] = {
    {"stdole", "OLE Automation", GuidLiteral("{00020430-0000-0000-C000-000000000046}"), 2, 0},
    {"NotificationDefinitions", "Notification definition object library",
     GuidLiteral("{014EF207-640F-46A2-8573-AA503C3CA051}"), 2, 0},
    {"TabLibrary", "Host tab library", GuidLiteral("{B7C223D6-706C-11D3-8C44-00105A6449C9}"), 523, 0},
};
constexpr const LibraryReference* kDefinitionLibrary = &kReferences[1];
constexpr const LibraryReference* kTabLibrary = &kReferences[2];

// The tab contract, in the order of its table.
constexpr Parameter kProcessParams[] = {{"sProcess", "String", param::In, ""}};
constexpr Parameter kTitleParams[] = {{"sMsgBoxTitle", "String", param::In, ""}};
constexpr Parameter kLoadDataParams[] = {
    {"v", "Variant", param::In, ""},
    {"sName", "String", param::In, ""},
    {"dtN", "TabHost", param::In, ""},
};
constexpr Member kFolioMembers[] = {
    {"HandleTabProcess", kDispHandleTabProcess, "Boolean", kProcessParams},
    {"IsTabValid", kDispIsTabValid, "Boolean", kTitleParams},
    {"LoadState", kDispLoadState, "", {}},
    {"SaveData", kDispSaveData, "", {}},
    {"LoadData", kDispLoadData, "", kLoadDataParams},
    {"SaveState", kDispSaveState, "", {}},
};

constexpr Parameter kSelectTabParams[] = {{"TabKey", "String", param::In | param::Out, ""}};
constexpr Member kTabHostMembers[] = {
    {"MarkChanged", kUnknownDispId, "", {}},
    {"SelectTab", kUnknownDispId, "", kSelectTabParams},
};

constexpr InterfaceInfo kImported[] = {
    {"IFolioControl", IFolioControl::kInterfaceId, InterfaceKind::Dual, itf::Dual, kFolioMembers, kTabLibrary, Guid{}},
    {"TabHost", TabHost::kInterfaceId, InterfaceKind::Dual, itf::Dual, kTabHostMembers, kTabLibrary,
     TabHost::kEventsId},
    {"NotificationDefinition",
     GuidLiteral("{E3FE2DEF-3C53-40D7-9900-C307CE730627}"),
     InterfaceKind::Dual,
     itf::Dual,
     {},
     kDefinitionLibrary,
     Guid{}},
};
constexpr const InterfaceInfo* kFolio = &kImported[0];

constexpr Parameter kHostPortParams[] = {
    {"snmpMgrSeleted", "SnmpManager", param::In | param::Out | param::Optional | param::HasDefault, "Nothing"}};
constexpr Member kSnmpMembers[] = {{"HostPortExists", kDispHostPortExists, "Boolean", kHostPortParams}};
constexpr Parameter kAddressParams[] = {{"addrNew", "EmailRecipient", param::In | param::Out | param::Optional, ""}};
constexpr Member kEmailMembers[] = {{"AddressExists", kDispAddressExists, "Boolean", kAddressParams}};

constexpr std::uint32_t kDefaultFlags = itf::Hidden | itf::NonExtensible | itf::Dual;

// Default interfaces first, then the (member-less) source interfaces.
constexpr InterfaceInfo kInterfaces[] = {
    {"_XEventSNMPTab", kXEventSNMPTabInterfaceId, InterfaceKind::Dual, kDefaultFlags, kSnmpMembers, nullptr, Guid{}},
    {"_XEventsTab", kXEventsTabInterfaceId, InterfaceKind::Dual, kDefaultFlags, {}, nullptr, Guid{}},
    {"_XEventEmailTab", kXEventEmailTabInterfaceId, InterfaceKind::Dual, kDefaultFlags, kEmailMembers, nullptr, Guid{}},
    {"__XEventSNMPTab", kXEventSNMPTabEventsId, InterfaceKind::Dispatch, 0, {}, nullptr, Guid{}},
    {"__XEventsTab", kXEventsTabEventsId, InterfaceKind::Dispatch, 0, {}, nullptr, Guid{}},
    {"__XEventEmailTab", kXEventEmailTabEventsId, InterfaceKind::Dispatch, 0, {}, nullptr, Guid{}},
};

constexpr const InterfaceInfo* kSnmpInterfaces[] = {&kInterfaces[0], kFolio, &kInterfaces[3]};
constexpr const InterfaceInfo* kEventsInterfaces[] = {&kInterfaces[1], kFolio, &kInterfaces[4]};
constexpr const InterfaceInfo* kEmailInterfaces[] = {&kInterfaces[2], kFolio, &kInterfaces[5]};

constexpr std::uint32_t kControlStatus = misc_status::RecomposeOnResize | misc_status::CantLinkInside |
                                         misc_status::InsideOut | misc_status::ActivateWhenVisible |
                                         misc_status::SetClientSiteFirst;
static_assert(kControlStatus == 0x20191);
static_assert((kControlStatus | misc_status::SimpleFrame) == 0x30191);

constexpr ClassInfo kClasses[] = {
    {"XEventSNMPTab", kXEventSNMPTabClassId, "Quillmont.XEventSNMPTab", &kInterfaces[0], &kInterfaces[3],
     kSnmpInterfaces, 30002, kControlStatus, true},
    {"XEventsTab", kXEventsTabClassId, "Quillmont.XEventsTab", &kInterfaces[1], &kInterfaces[4], kEventsInterfaces,
     30001, kControlStatus | misc_status::SimpleFrame, true},
    {"XEventEmailTab", kXEventEmailTabClassId, "Quillmont.XEventEmailTab", &kInterfaces[2], &kInterfaces[5],
     kEmailInterfaces, 30000, kControlStatus | misc_status::SimpleFrame, true},
};

constexpr RecordField kGroupFields[] = {{"GroupID", "Long"}, {"GroupName", "String"}, {"GroupLabel", "String"}};
constexpr RecordInfo kRecords[] = {
    {"udt_EventGroupTypes", GuidLiteral("{E0F52572-DE2D-4569-B032-959D5CF2DABA}"), kGroupFields},
};

constexpr std::array<std::uint16_t, 4> kVersion{QUILLMONT_VERSION_MAJOR, QUILLMONT_VERSION_MINOR,
                                                QUILLMONT_VERSION_PATCH, QUILLMONT_VERSION_TWEAK};

constexpr TypeLibrary kLibrary{
    "Quillmont",
    "Quillmont",
    kLibraryId,
    14,
    0,
    0x0409,
    kLibFlagControl,
    kReferences,
    kClasses,
    kInterfaces,
    kImported,
    kRecords,
    VersionInfo{kVersion, kVersion, QUILLMONT_VERSION_TEXT, QUILLMONT_VERSION_TEXT, "Quillmont", "Quillmont",
                "Quillmont.ocx", "libquillmont.so", true},
};

}  // namespace

const TypeLibrary& GetTypeLibrary() noexcept { return kLibrary; }

const ClassInfo* TypeLibrary::FindClass(const Guid& classId) const noexcept {
  for (const auto& c : classes)
    if (c.classId == classId) return &c;
  return nullptr;
}

const ClassInfo* TypeLibrary::FindClassByProgId(std::string_view progId) const noexcept {
  for (const auto& c : classes)
    if (rules::EqualsIgnoringAsciiCase(c.progId, progId)) return &c;
  return nullptr;
}

const InterfaceInfo* TypeLibrary::FindInterface(const Guid& interfaceId) const noexcept {
  for (const auto& i : interfaces)
    if (i.id == interfaceId) return &i;
  for (const auto& i : importedInterfaces)
    if (i.id == interfaceId) return &i;
  return nullptr;
}

const RecordInfo* TypeLibrary::FindRecord(std::string_view recordName) const noexcept {
  for (const auto& r : records)
    if (r.name == recordName) return &r;
  return nullptr;
}

}  // namespace quillmont::typelib
