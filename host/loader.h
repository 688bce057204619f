#pragma once

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quillmont/library/com.h"
#include "quillmont/library/entry_points.h"
#include "quillmont/platform/guid.h"

// The host side of run-time loading: find a class in the registry file by
// program identifier or class identity, load its library with dlopen and
// create objects through the library's class factory. Needs no symbol of
// Quillmont itself; link quillmont_host and the system's libdl.
namespace quillmont::host {

// Not in the registry.
inline constexpr com::HResult REGDB_E_CLASSNOTREG = static_cast<com::HResult>(0x80040154);

class LoaderError : public std::runtime_error {
 public:
  LoaderError(com::HResult code, const std::string& message) : std::runtime_error(message), code_(code) {}
  com::HResult Code() const noexcept { return code_; }

 private:
  com::HResult code_;
};

struct ClassRegistration {
  Guid classId;
  std::string name;
  std::string progId;
  std::string libraryPath;
  std::string threadingModel;
};

// The classes recorded in a registry file, as read at Open.
class RegistryView {
 public:
  // A missing file is an empty registry; a damaged one throws LoaderError,
  // and so does one that someone other than the user or root could have
  // written (E_ACCESSDENIED, with the check that failed and its remedy).
  static RegistryView Open(const std::string& path);

  // Program identifiers compare without regard to case.
  std::optional<ClassRegistration> FindByProgId(std::string_view progId) const;
  std::optional<ClassRegistration> FindByClassId(const Guid& classId) const;
  // A braced class identity or a program identifier.
  std::optional<ClassRegistration> Find(std::string_view classRef) const;
  std::vector<ClassRegistration> Classes() const;

 private:
  struct Data;
  std::shared_ptr<const Data> data_;
};

// One component library, loaded with dlopen, and its entry points.
class ComponentLibrary {
 public:
  // Throws LoaderError when the file cannot be loaded or lacks an entry
  // point, E_ACCESSDENIED when it fails the checks of OpenTrustedLibrary
  // (owned_file.h). What was checked is what is loaded.
  static std::shared_ptr<ComponentLibrary> Load(const std::string& path);
  // Unloads the library, unless it still has live objects: their code must
  // stay mapped.
  ~ComponentLibrary();
  ComponentLibrary(const ComponentLibrary&) = delete;
  ComponentLibrary& operator=(const ComponentLibrary&) = delete;

  const std::string& Path() const noexcept { return path_; }
  com::HResult CanUnloadNow() const;
  com::HResult GetClassObject(const Guid& classId, const Guid& iid, void** object) const;
  com::HResult RegisterServer() const;
  com::HResult UnregisterServer() const;
  // The library's failure text for the latest failed call on this thread.
  std::string LastErrorText() const;
  // Optional entry points; null when the library has none.
  const typelib::TypeLibrary* TypeLibrary() const;
  com::HResult ToolboxBitmap(std::int32_t id, const unsigned char** data, std::size_t* size) const;

 private:
  ComponentLibrary() = default;
  void* handle_ = nullptr;
  std::string path_;
  std::string loadedAs_;                              // /proc/self/fd/N
  std::pair<std::uint64_t, std::uint64_t> fileId_{};  // device and inode
  com::DllCanUnloadNowFn canUnloadNow_ = nullptr;
  com::DllGetClassObjectFn getClassObject_ = nullptr;
  com::DllRegisterServerFn registerServer_ = nullptr;
  com::DllUnregisterServerFn unregisterServer_ = nullptr;
  com::GetLastErrorTextFn lastErrorText_ = nullptr;
  com::GetTypeLibraryFn typeLibrary_ = nullptr;
  com::GetToolboxBitmapFn toolboxBitmap_ = nullptr;
};

// Creates objects of registered classes, loading each library once.
class Loader {
 public:
  // An empty path means the default registry file (QUILLMONT_REGISTRY, ...).
  explicit Loader(std::string registryPath = {});

  // A new object of the class, answering iid. classRef is a program identifier or a
  // braced class identity. Throws LoaderError (REGDB_E_CLASSNOTREG for a class
  // the registry does not know; E_ACCESSDENIED when the library it names is
  // not an absolute path to a file only the user or root can have written;
  // otherwise the failing call's code and text).
  // The result is AddRef'd for the caller.
  void* CreateRaw(std::string_view classRef, const Guid& iid);
  template <class T>
  com::ComPtr<T> Create(std::string_view classRef) {
    return com::ComPtr<T>::Attach(static_cast<T*>(CreateRaw(classRef, T::kIid)));
  }

  // The loaded library that serves classRef (loading it if needed).
  std::shared_ptr<ComponentLibrary> LibraryFor(std::string_view classRef);
  // Drops the libraries that report they can be unloaded; returns how many.
  std::size_t FreeUnusedLibraries();
  std::size_t LoadedCount() const noexcept { return loaded_.size(); }
  const std::string& RegistryPath() const noexcept { return registryPath_; }

 private:
  ClassRegistration Resolve(std::string_view classRef) const;
  std::shared_ptr<ComponentLibrary> LibraryAt(const std::string& path, std::string_view classRef);

  std::string registryPath_;
  std::map<std::string, std::shared_ptr<ComponentLibrary>> loaded_;
};

}  // namespace quillmont::host
