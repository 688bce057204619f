#pragma once

#include <memory>

#include "quillmont/library/class_table.h"
#include "quillmont/library/com.h"

// The objects a host holds at the boundary: a panel with its interfaces, and
// the class factory that makes it.
namespace quillmont::library {

// Wraps native (a panel of class cls) and answers iid on it. On failure
// nothing is kept and *object is null.
com::HResult WrapPanel(const PanelClass& cls, std::shared_ptr<quillmont::IFolioControl> native, const Guid& iid,
                       void** object);

// A new class factory for cls, answering iid (IUnknown or IClassFactory).
com::HResult CreateClassFactory(const PanelClass& cls, const Guid& iid, void** object);

}  // namespace quillmont::library
