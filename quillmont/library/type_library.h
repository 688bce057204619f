#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "quillmont/platform/export.h"
#include "quillmont/platform/guid.h"

// The library's type library as data: what a host reads to find the panel
// classes, their interfaces and members, the public record type and the
// version of the library. Everything here is constant and lives as long as
// the library is loaded.
namespace quillmont::typelib {

// A Guid from its braced text, checked when the program is compiled.
consteval Guid GuidLiteral(const char (&text)[39]) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    throw "not a hex digit";
  };
  if (text[0] != '{' || text[37] != '}') throw "not a braced identity";
  std::array<std::uint8_t, 16> bytes{};
  int out = 0;
  for (int i = 1; i < 37;) {
    if (i == 9 || i == 14 || i == 19 || i == 24) {
      if (text[i] != '-') throw "misplaced dash";
      ++i;
      continue;
    }
    bytes[static_cast<std::size_t>(out++)] = static_cast<std::uint8_t>(hex(text[i]) * 16 + hex(text[i + 1]));
    i += 2;
  }
  return Guid(bytes);
}

using DispId = std::int32_t;
// A member whose dispatch id this library does not know (it belongs to a
// library of the host's).
inline constexpr DispId kUnknownDispId = -1;

// Type library flags.
inline constexpr std::uint32_t kLibFlagControl = 0x2;

// Miscellaneous-status bits registered for a control class.
namespace misc_status {
inline constexpr std::uint32_t RecomposeOnResize = 0x1;
inline constexpr std::uint32_t CantLinkInside = 0x10;
inline constexpr std::uint32_t InsideOut = 0x80;
inline constexpr std::uint32_t ActivateWhenVisible = 0x100;
inline constexpr std::uint32_t SimpleFrame = 0x10000;
inline constexpr std::uint32_t SetClientSiteFirst = 0x20000;
}  // namespace misc_status

struct LibraryReference {
  std::string_view name;
  std::string_view description;
  Guid id;
  std::uint16_t majorVersion;
  std::uint16_t minorVersion;
};

// Parameter flags.
namespace param {
inline constexpr std::uint32_t In = 0x1;
inline constexpr std::uint32_t Out = 0x2;
inline constexpr std::uint32_t Optional = 0x10;
inline constexpr std::uint32_t HasDefault = 0x20;
}  // namespace param

struct Parameter {
  std::string_view name;
  // Automation type name: "String", "Variant", "Boolean", "Long", or the
  // name of an interface ("TabHost", "SnmpManager", ...).
  std::string_view type;
  std::uint32_t flags;
  // The default value's text when flags has HasDefault ("Nothing").
  std::string_view defaultValue;
};

struct Member {
  std::string_view name;
  DispId dispId;
  // Automation type of the result; empty for none.
  std::string_view returnType;
  std::span<const Parameter> parameters;
};

enum class InterfaceKind { Dual, Dispatch };

// Interface flags.
namespace itf {
inline constexpr std::uint32_t Hidden = 0x1;
inline constexpr std::uint32_t NonExtensible = 0x2;
inline constexpr std::uint32_t Dual = 0x4;
}  // namespace itf

struct InterfaceInfo {
  std::string_view name;
  Guid id;
  InterfaceKind kind;
  std::uint32_t flags;
  // Members beyond the dispatch operations, in the order of the interface's
  // table.
  std::span<const Member> members;
  // The library that defines the interface (this one, or a referenced one).
  const LibraryReference* definedIn;
  // The interface whose events the object raises; null identity for none.
  Guid eventInterface;
};

struct ClassInfo {
  std::string_view name;
  Guid classId;
  std::string_view progId;
  const InterfaceInfo* defaultInterface;
  const InterfaceInfo* sourceInterface;
  // Every interface the class implements, the default one first.
  std::span<const InterfaceInfo* const> interfaces;
  std::int32_t toolboxBitmap;
  std::uint32_t miscStatus;
  bool control;

  bool SimpleFrame() const noexcept { return (miscStatus & misc_status::SimpleFrame) != 0; }
};

struct RecordField {
  std::string_view name;
  std::string_view type;
};

struct RecordInfo {
  std::string_view name;
  Guid id;
  std::span<const RecordField> fields;
};

struct VersionInfo {
  std::array<std::uint16_t, 4> fileVersion;
  std::array<std::uint16_t, 4> productVersion;
  std::string_view fileVersionText;
  std::string_view productVersionText;
  std::string_view productName;
  std::string_view internalName;
  // The file name the library carries in its version record.
  std::string_view originalFileName;
  // The file this platform builds.
  std::string_view platformFileName;
  // The library registers itself (DllRegisterServer).
  bool selfRegister;
};

struct QUILLMONT_API TypeLibrary {
  std::string_view name;
  std::string_view description;
  Guid id;
  std::uint16_t majorVersion;
  std::uint16_t minorVersion;
  std::uint32_t localeId;
  std::uint32_t flags;
  std::span<const LibraryReference> references;
  std::span<const ClassInfo> classes;
  // The interfaces this library defines.
  std::span<const InterfaceInfo> interfaces;
  // Interfaces of referenced libraries that the classes implement or use.
  std::span<const InterfaceInfo> importedInterfaces;
  std::span<const RecordInfo> records;
  VersionInfo version;

  bool IsControlLibrary() const noexcept { return (flags & kLibFlagControl) != 0; }
  const ClassInfo* FindClass(const Guid& classId) const noexcept;
  // Program identifiers compare without regard to case.
  const ClassInfo* FindClassByProgId(std::string_view progId) const noexcept;
  // Own and imported interfaces.
  const InterfaceInfo* FindInterface(const Guid& interfaceId) const noexcept;
  const RecordInfo* FindRecord(std::string_view name) const noexcept;
};

QUILLMONT_API const TypeLibrary& GetTypeLibrary() noexcept;

// Identities that code elsewhere names directly.
inline constexpr Guid kLibraryId = GuidLiteral("{D26CEE07-DF78-11D6-BABC-000103C3BB5F}");
inline constexpr Guid kXEventSNMPTabClassId = GuidLiteral("{3290481E-9000-46FA-86FE-80166AD7E696}");
inline constexpr Guid kXEventsTabClassId = GuidLiteral("{B6F92C63-E69D-11D6-BABE-000103C3BB5F}");
inline constexpr Guid kXEventEmailTabClassId = GuidLiteral("{B6F92C66-E69D-11D6-BABE-000103C3BB5F}");
inline constexpr Guid kXEventSNMPTabInterfaceId = GuidLiteral("{B892C4C5-36A6-49FA-84FB-FA74279B2506}");
inline constexpr Guid kXEventsTabInterfaceId = GuidLiteral("{D744F371-481E-4CFA-9B60-623D6EC73DD4}");
inline constexpr Guid kXEventEmailTabInterfaceId = GuidLiteral("{A00B7287-0B27-4F0E-A87B-069C3C90D77D}");
inline constexpr Guid kXEventSNMPTabEventsId = GuidLiteral("{21D920EB-529C-47FD-9E4C-E441720C4FA5}");
inline constexpr Guid kXEventsTabEventsId = GuidLiteral("{93B41FC5-3440-4217-8371-549258C51CEA}");
inline constexpr Guid kXEventEmailTabEventsId = GuidLiteral("{BFBAFD5B-9DE7-46A8-9353-68E0D2030318}");

// Dispatch ids of the public members and of the tab contract's operations.
inline constexpr DispId kDispHostPortExists = 0x6003002A;
inline constexpr DispId kDispAddressExists = 0x6003002C;
inline constexpr DispId kDispHandleTabProcess = 0x60030000;
inline constexpr DispId kDispIsTabValid = 0x60030001;
inline constexpr DispId kDispLoadState = 0x60030002;
inline constexpr DispId kDispSaveData = 0x60030003;
inline constexpr DispId kDispLoadData = 0x60030004;
inline constexpr DispId kDispSaveState = 0x60030005;

}  // namespace quillmont::typelib
