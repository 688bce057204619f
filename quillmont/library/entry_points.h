#pragma once

#include <cstddef>
#include <cstdint>

#include "quillmont/library/com.h"
#include "quillmont/library/type_library.h"
#include "quillmont/platform/export.h"

// The C entry points of libquillmont. A host that loads the library at run
// time finds them with dlsym (the pointer types are below); none of them
// lets an exception out, and on failure QuillmontGetLastErrorText() holds the
// reason.
extern "C" {

// S_OK when no panel, class factory or server lock of the library is alive
// (the library may be unloaded), S_FALSE otherwise.
QUILLMONT_API quillmont::com::HResult DllCanUnloadNow();

// The class factory of a panel class (iid: IUnknown or IClassFactory).
// CLASS_E_CLASSNOTAVAILABLE for a class identity that is not ours.
QUILLMONT_API quillmont::com::HResult DllGetClassObject(const quillmont::Guid* classId, const quillmont::Guid* iid,
                                                        void** object);

// Writes the type library and the three classes into the registry file
// (QUILLMONT_REGISTRY, else $XDG_CONFIG_HOME/quillmont/registry, else
// ~/.config/quillmont/registry); SELFREG_E_CLASS when that fails.
QUILLMONT_API quillmont::com::HResult DllRegisterServer();

// Removes exactly what DllRegisterServer wrote; SELFREG_E_CLASS on failure.
QUILLMONT_API quillmont::com::HResult DllUnregisterServer();

// Why the latest failed call of this thread failed; "" after a success. The
// text stays valid until the thread's next call into the library.
QUILLMONT_API const char* QuillmontGetLastErrorText();

// The toolbox bitmap with this resource id (30000, 30001, 30002) as the bytes
// of a bitmap file; E_INVALIDARG for another id. The bytes live as long as
// the library stays loaded.
QUILLMONT_API quillmont::com::HResult QuillmontGetToolboxBitmap(std::int32_t id, const unsigned char** data,
                                                                std::size_t* size);

// The type library, for hosts that enumerate it.
QUILLMONT_API const quillmont::typelib::TypeLibrary* QuillmontGetTypeLibrary();

}  // extern "C"

namespace quillmont::com {
using DllCanUnloadNowFn = HResult (*)();
using DllGetClassObjectFn = HResult (*)(const Guid*, const Guid*, void**);
using DllRegisterServerFn = HResult (*)();
using DllUnregisterServerFn = HResult (*)();
using GetLastErrorTextFn = const char* (*)();
using GetToolboxBitmapFn = HResult (*)(std::int32_t, const unsigned char**, std::size_t*);
using GetTypeLibraryFn = const typelib::TypeLibrary* (*)();
}  // namespace quillmont::com
