#include "host/loader.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <sstream>

#include "quillmont/library/registry_file.h"
#include "quillmont/platform/owned_file.h"
#include "quillmont/platform/terminal_text.h"

namespace quillmont::host {

struct RegistryView::Data {
  registry::Document doc;
};

namespace {

std::string Hex(com::HResult code) {
  std::ostringstream os;
  os << "0x" << std::hex << std::uppercase << static_cast<std::uint32_t>(code);
  return os.str();
}

std::string ValueOf(const registry::Document& doc, const std::string& key, std::string_view name) {
  const registry::Entry* e = doc.FindValue(key, name);
  return e ? e->data : std::string();
}

std::optional<ClassRegistration> ReadClass(const registry::Document& doc, const std::string& classKey) {
  const registry::Section* s = doc.Find(classKey);
  if (!s) return std::nullopt;
  auto bytes = registry::ParseGuid(std::string_view(classKey).substr(classKey.find('/') + 1));
  if (!bytes) return std::nullopt;
  ClassRegistration r;
  r.classId = Guid(*bytes);
  auto text = [&](std::string_view name) {
    const registry::Entry* e = s->FindValue(name);
    return e ? e->data : std::string();
  };
  r.name = text(registry::kDefaultValue);
  r.progId = text("ProgID");
  r.libraryPath = text("InprocServer32");
  r.threadingModel = text("ThreadingModel");
  return r;
}

// The descriptors libraries were loaded through, one per file. The system
// loader knows a library by every name it was opened as, so a descriptor
// stays open while its library is mapped (its number must never come to name
// another file), and a file loaded again is loaded through the same one.
struct LoadedFiles {
  std::mutex mutex;
  std::map<std::pair<std::uint64_t, std::uint64_t>, int> fds;  // (device, inode) -> descriptor
};

LoadedFiles& Loaded() {
  // Never destroyed: libraries may still be unloaded while the process exits.
  static auto* files = new LoadedFiles;
  return *files;
}

template <class Fn>
Fn Symbol(void* handle, const char* name, bool required, const std::string& path) {
  ::dlerror();
  void* p = ::dlsym(handle, name);
  if (!p && required) throw LoaderError(com::E_FAIL, path + " has no entry point " + name);
  return reinterpret_cast<Fn>(p);
}

}  // namespace

RegistryView RegistryView::Open(const std::string& path) {
  auto data = std::make_shared<Data>();
  // Whoever can write the registry chooses the code a host runs.
  const files::ReadResult file = files::ReadTrustedFile(path, "the registry file");
  if (file.status == files::ReadResult::Status::Refused || file.status == files::ReadResult::Status::Failed)
    throw LoaderError(com::E_ACCESSDENIED, file.message);
  if (file.status == files::ReadResult::Status::Ok) {
    if (auto fault = registry::Parse(file.text, data->doc))
      throw LoaderError(com::E_FAIL, "The registry file " + path + " is damaged (line " + std::to_string(fault->line) +
                                         ": " + fault->message + ")");
  }
  RegistryView view;
  view.data_ = std::move(data);
  return view;
}

std::optional<ClassRegistration> RegistryView::FindByClassId(const Guid& classId) const {
  return ReadClass(data_->doc, "CLSID/" + registry::FormatGuid(classId.Bytes()));
}

std::optional<ClassRegistration> RegistryView::FindByProgId(std::string_view progId) const {
  const std::string id = ValueOf(data_->doc, "ProgID/" + std::string(progId), "CLSID");
  auto bytes = registry::ParseGuid(id);
  if (!bytes) return std::nullopt;
  return FindByClassId(Guid(*bytes));
}

std::optional<ClassRegistration> RegistryView::Find(std::string_view classRef) const {
  if (!classRef.empty() && classRef.front() == '{') {
    auto bytes = registry::ParseGuid(classRef);
    return bytes ? FindByClassId(Guid(*bytes)) : std::nullopt;
  }
  return FindByProgId(classRef);
}

std::vector<ClassRegistration> RegistryView::Classes() const {
  std::vector<ClassRegistration> out;
  for (const auto& s : data_->doc.sections) {
    const std::string_view key = s.key;
    // Only the class keys themselves, not keys below them.
    if (key.size() == 6 + 38 && registry::IsKeyOrBelow(key, "CLSID"))
      if (auto r = ReadClass(data_->doc, s.key)) out.push_back(std::move(*r));
  }
  return out;
}

std::shared_ptr<ComponentLibrary> ComponentLibrary::Load(const std::string& path) {
  // Opened once and loaded through that descriptor: a path swapped after the
  // checks reaches nothing.
  std::string why;
  files::Fd fd = files::OpenTrustedLibrary(path, why);
  if (fd.Get() < 0) throw LoaderError(com::E_ACCESSDENIED, why);
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) throw LoaderError(com::E_FAIL, "Cannot load " + path);
  const std::pair<std::uint64_t, std::uint64_t> id{st.st_dev, st.st_ino};
  std::unique_lock lock(Loaded().mutex);
  // The same file (what the kept descriptor leads to is what was checked).
  const auto [kept, fresh] = Loaded().fds.emplace(id, fd.Get());
  if (fresh) fd.Release();
  const std::string name = "/proc/self/fd/" + std::to_string(kept->second);
  void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle && fresh) {
    ::close(kept->second);
    Loaded().fds.erase(kept);
  }
  lock.unlock();
  if (!handle) {
    const char* error = ::dlerror();
    std::string text = error ? error : "unknown reason";
    // The loader's text names the descriptor, not the file.
    if (text.rfind(name + ": ", 0) == 0) text.erase(0, name.size() + 2);
    throw LoaderError(com::E_FAIL, "Cannot load " + path + ": " + text);
  }
  std::shared_ptr<ComponentLibrary> lib(new ComponentLibrary());
  lib->handle_ = handle;
  lib->path_ = path;
  lib->loadedAs_ = name;
  lib->fileId_ = id;
  lib->canUnloadNow_ = Symbol<com::DllCanUnloadNowFn>(handle, "DllCanUnloadNow", true, path);
  lib->getClassObject_ = Symbol<com::DllGetClassObjectFn>(handle, "DllGetClassObject", true, path);
  lib->registerServer_ = Symbol<com::DllRegisterServerFn>(handle, "DllRegisterServer", true, path);
  lib->unregisterServer_ = Symbol<com::DllUnregisterServerFn>(handle, "DllUnregisterServer", true, path);
  lib->lastErrorText_ = Symbol<com::GetLastErrorTextFn>(handle, "QuillmontGetLastErrorText", false, path);
  lib->typeLibrary_ = Symbol<com::GetTypeLibraryFn>(handle, "QuillmontGetTypeLibrary", false, path);
  lib->toolboxBitmap_ = Symbol<com::GetToolboxBitmapFn>(handle, "QuillmontGetToolboxBitmap", false, path);
  return lib;
}

ComponentLibrary::~ComponentLibrary() {
  if (handle_ && canUnloadNow_ && canUnloadNow_() == com::S_OK) ::dlclose(handle_);
  // Its descriptor goes once the library is no longer mapped at all.
  const std::lock_guard lock(Loaded().mutex);
  if (void* still = ::dlopen(loadedAs_.c_str(), RTLD_LAZY | RTLD_NOLOAD)) {
    ::dlclose(still);
  } else if (auto it = Loaded().fds.find(fileId_); it != Loaded().fds.end()) {
    ::close(it->second);
    Loaded().fds.erase(it);
  }
}

com::HResult ComponentLibrary::CanUnloadNow() const { return canUnloadNow_(); }

com::HResult ComponentLibrary::GetClassObject(const Guid& classId, const Guid& iid, void** object) const {
  return getClassObject_(&classId, &iid, object);
}

com::HResult ComponentLibrary::RegisterServer() const { return registerServer_(); }
com::HResult ComponentLibrary::UnregisterServer() const { return unregisterServer_(); }

std::string ComponentLibrary::LastErrorText() const {
  const char* text = lastErrorText_ ? lastErrorText_() : nullptr;
  return text ? text : "";
}

const typelib::TypeLibrary* ComponentLibrary::TypeLibrary() const { return typeLibrary_ ? typeLibrary_() : nullptr; }

com::HResult ComponentLibrary::ToolboxBitmap(std::int32_t id, const unsigned char** data, std::size_t* size) const {
  return toolboxBitmap_ ? toolboxBitmap_(id, data, size) : com::E_NOTIMPL;
}

Loader::Loader(std::string registryPath) : registryPath_(std::move(registryPath)) {
  if (registryPath_.empty()) registryPath_ = registry::DefaultRegistryPath().value_or("");
}

ClassRegistration Loader::Resolve(std::string_view classRef) const {
  if (registryPath_.empty())
    throw LoaderError(REGDB_E_CLASSNOTREG, "No registry file: set QUILLMONT_REGISTRY, XDG_CONFIG_HOME or HOME");
  auto found = RegistryView::Open(registryPath_).Find(classRef);
  const std::string shownRef = text::Shortened(classRef);
  if (!found) throw LoaderError(REGDB_E_CLASSNOTREG, "The class " + shownRef + " is not registered");
  if (found->libraryPath.empty()) throw LoaderError(REGDB_E_CLASSNOTREG, "The class " + shownRef + " names no library");
  return *found;
}

std::shared_ptr<ComponentLibrary> Loader::LibraryAt(const std::string& path, std::string_view classRef) {
  if (auto it = loaded_.find(path); it != loaded_.end()) return it->second;
  std::shared_ptr<ComponentLibrary> lib;
  try {
    lib = ComponentLibrary::Load(path);
  } catch (const LoaderError& e) {
    if (e.Code() != com::E_ACCESSDENIED) throw;
    throw LoaderError(e.Code(), "The class " + text::Shortened(classRef) + " is not loaded. " + e.what());
  }
  loaded_.emplace(path, lib);
  return lib;
}

std::shared_ptr<ComponentLibrary> Loader::LibraryFor(std::string_view classRef) {
  return LibraryAt(Resolve(classRef).libraryPath, classRef);
}

void* Loader::CreateRaw(std::string_view classRef, const Guid& iid) {
  const ClassRegistration reg = Resolve(classRef);
  auto lib = LibraryAt(reg.libraryPath, classRef);
  auto fail = [&](const char* step, com::HResult hr) {
    std::string why = lib->LastErrorText();
    throw LoaderError(hr, std::string(step) + " failed for " + text::Shortened(classRef) + " (" + Hex(hr) + ")" +
                              (why.empty() ? "" : ": " + text::Shortened(why, 1000)));
  };
  com::ComPtr<com::IClassFactory> factory;
  com::HResult hr = lib->GetClassObject(reg.classId, com::IClassFactory::kIid, factory.Out());
  if (com::Failed(hr)) fail("DllGetClassObject", hr);
  void* object = nullptr;
  hr = factory->CreateInstance(nullptr, iid, &object);
  if (com::Failed(hr)) fail("CreateInstance", hr);
  return object;
}

std::size_t Loader::FreeUnusedLibraries() {
  std::size_t freed = 0;
  for (auto it = loaded_.begin(); it != loaded_.end();) {
    if (it->second.use_count() == 1 && it->second->CanUnloadNow() == com::S_OK) {
      it = loaded_.erase(it);
      ++freed;
    } else {
      ++it;
    }
  }
  return freed;
}

}  // namespace quillmont::host
