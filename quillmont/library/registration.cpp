#include "quillmont/library/registration.h"

#include "quillmont/library/registry_store.h"
#include "quillmont/library/type_library.h"
#include "quillmont/platform/error.h"

namespace quillmont::registration {
namespace {

std::string Id(const Guid& g) { return registry::FormatGuid(g.Bytes()); }

std::string LibraryVersion(const typelib::TypeLibrary& lib) {
  return std::to_string(lib.majorVersion) + "." + std::to_string(lib.minorVersion);
}

std::string TypeLibKey(const typelib::TypeLibrary& lib) { return "TypeLib/" + Id(lib.id) + "/" + LibraryVersion(lib); }

std::string Hex4(std::uint32_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string s(4, '0');
  for (int i = 3; i >= 0; --i, value >>= 4) s[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
  return s;
}

registry::Section MakeSection(std::string key, std::initializer_list<std::pair<std::string, std::string>> values) {
  registry::Section s{std::move(key), {}};
  for (const auto& [name, data] : values) s.SetValue(name, data);
  return s;
}

}  // namespace

std::vector<std::string> OurKeys() {
  const auto& lib = typelib::GetTypeLibrary();
  std::vector<std::string> keys{TypeLibKey(lib)};
  for (const auto& itf : lib.interfaces) keys.push_back("Interface/" + Id(itf.id));
  for (const auto& cls : lib.classes) {
    keys.push_back("CLSID/" + Id(cls.classId));
    keys.push_back("ProgID/" + std::string(cls.progId));
  }
  return keys;
}

std::vector<registry::Section> OurSections(const std::string& libraryPath) {
  const auto& lib = typelib::GetTypeLibrary();
  const std::string libId = Id(lib.id);
  const std::string version = LibraryVersion(lib);
  std::vector<registry::Section> sections;
  sections.push_back(MakeSection(TypeLibKey(lib), {{"@", std::string(lib.description)},
                                                   {"Name", std::string(lib.name)},
                                                   {"Locale", Hex4(lib.localeId)},
                                                   {"Flags", std::to_string(lib.flags)},
                                                   {"Path", libraryPath}}));
  for (const auto& itf : lib.interfaces) {
    sections.push_back(MakeSection("Interface/" + Id(itf.id),
                                   {{"@", std::string(itf.name)},
                                    {"Kind", itf.kind == typelib::InterfaceKind::Dual ? "dual" : "dispatch"},
                                    {"TypeLib", libId},
                                    {"Version", version}}));
  }
  for (const auto& cls : lib.classes) {
    registry::Section s = MakeSection("CLSID/" + Id(cls.classId),
                                      {{"@", std::string(cls.name)},
                                       {"ProgID", std::string(cls.progId)},
                                       {"InprocServer32", libraryPath},
                                       {"ThreadingModel", "Apartment"},
                                       {"TypeLib", libId},
                                       {"Version", version},
                                       {"MiscStatus", std::to_string(cls.miscStatus)},
                                       {"ToolboxBitmap32", libraryPath + ", " + std::to_string(cls.toolboxBitmap)},
                                       {"DefaultInterface", Id(cls.defaultInterface->id)},
                                       {"SourceInterface", Id(cls.sourceInterface->id)}});
    if (cls.control) s.SetValue("Control", "1");
    sections.push_back(std::move(s));
    sections.push_back(
        MakeSection("ProgID/" + std::string(cls.progId), {{"@", std::string(cls.name)}, {"CLSID", Id(cls.classId)}}));
  }
  return sections;
}

void Register(const std::string& registryPath, const std::string& libraryPath) {
  if (libraryPath.empty()) throw Error(ErrorCode::Failed, "The library's own path is unknown");
  auto sections = OurSections(libraryPath);
  const auto keys = OurKeys();
  registry::UpdateDocument(registryPath, [&](registry::Document& doc) {
    for (const auto& key : keys) doc.RemoveTree(key);
    for (auto& s : sections) doc.sections.push_back(s);
  });
}

void Unregister(const std::string& registryPath) {
  const auto keys = OurKeys();
  registry::UpdateDocument(registryPath, [&](registry::Document& doc) {
    for (const auto& key : keys) doc.RemoveTree(key);
  });
}

std::string RegistryPath() {
  auto path = registry::DefaultRegistryPath();
  if (!path) throw Error(ErrorCode::Failed, "No registry file: set QUILLMONT_REGISTRY, XDG_CONFIG_HOME or HOME");
  return *path;
}

}  // namespace quillmont::registration
