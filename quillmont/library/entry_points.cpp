#include "quillmont/library/entry_points.h"

#include <dlfcn.h>

#include <filesystem>

#include "quillmont/library/bitmaps.h"
#include "quillmont/library/boundary.h"
#include "quillmont/library/class_table.h"
#include "quillmont/library/panel_object.h"
#include "quillmont/library/registration.h"

namespace quillmont::library {
namespace {

// Any function of this file serves to find the file the code was loaded
// from; a hidden one cannot be interposed by a same-named symbol elsewhere.
std::string OwnLibraryPath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&OwnLibraryPath), &info) == 0 || !info.dli_fname || !*info.dli_fname)
    throw Error(ErrorCode::Failed, "Cannot tell the file this library was loaded from");
  std::filesystem::path path(info.dli_fname);
  // A host that loaded the file through a descriptor (/proc/self/fd/N, so
  // that what it checked is what runs) keeps that descriptor open while the
  // library is loaded: the file is where it leads. The version's name
  // (libquillmont.so.8) beside it is kept when it leads to the same file, so
  // that an update in place keeps the registration.
  if (path.string().rfind("/proc/self/fd/", 0) == 0) {
    std::error_code ec;
    path = std::filesystem::read_symlink(path, ec);
    if (ec) throw Error(ErrorCode::Failed, "Cannot tell the file this library was loaded from: " + ec.message());
    const std::filesystem::path named = path.parent_path() / QUILLMONT_SONAME;
    if (std::filesystem::equivalent(named, path, ec)) path = named;
  }
  if (path.is_relative()) path = std::filesystem::absolute(path);
  return path.lexically_normal().string();
}

}  // namespace
}  // namespace quillmont::library

using namespace quillmont;
using namespace quillmont::library;

extern "C" {

com::HResult DllCanUnloadNow() {
  ClearLastError();
  return CanUnload() ? com::S_OK : com::S_FALSE;
}

com::HResult DllGetClassObject(const Guid* classId, const Guid* iid, void** object) {
  return Guard(com::E_FAIL, [&] {
    if (!object) throw BoundaryError(com::E_POINTER, "No place for the class factory");
    *object = nullptr;
    if (!classId || !iid)
      throw BoundaryError(com::E_INVALIDARG, "A class identity and an interface identity are needed");
    const PanelClass* cls = FindPanelClass(*classId);
    if (!cls) throw BoundaryError(com::CLASS_E_CLASSNOTAVAILABLE, "This library has no class " + classId->ToString());
    return CreateClassFactory(*cls, *iid, object);
  });
}

com::HResult DllRegisterServer() {
  return Guard(com::SELFREG_E_CLASS, [] {
    registration::Register(registration::RegistryPath(), OwnLibraryPath());
    return com::S_OK;
  });
}

com::HResult DllUnregisterServer() {
  return Guard(com::SELFREG_E_CLASS, [] {
    registration::Unregister(registration::RegistryPath());
    return com::S_OK;
  });
}

const char* QuillmontGetLastErrorText() { return LastErrorText(); }

com::HResult QuillmontGetToolboxBitmap(std::int32_t id, const unsigned char** data, std::size_t* size) {
  return Guard(com::E_FAIL, [&] {
    if (!data || !size) throw BoundaryError(com::E_POINTER, "No place for the bitmap");
    *data = nullptr;
    *size = 0;
    const auto bitmap = ToolboxBitmap(id);
    if (bitmap.empty()) throw BoundaryError(com::E_INVALIDARG, "No bitmap with id " + std::to_string(id));
    *data = bitmap.data();
    *size = bitmap.size();
    return com::S_OK;
  });
}

const typelib::TypeLibrary* QuillmontGetTypeLibrary() { return &typelib::GetTypeLibrary(); }

}  // extern "C"
