#pragma once

#include <memory>
#include <span>

#include "quillmont/framework/tab_contract.h"
#include "quillmont/library/dispatch.h"
#include "quillmont/library/type_library.h"
#include "quillmont/platform/guid.h"

// The panel classes the library hands out: for each, its entry in the type
// library, how to make one, and its public members beyond the tab contract.
namespace quillmont::library {

struct PanelClass {
  const typelib::ClassInfo* info;
  // Makes a panel with this thread's outside components.
  std::shared_ptr<quillmont::IFolioControl> (*create)();
  std::span<const DispatchMember> members;
};

std::span<const PanelClass> PanelClasses();
const PanelClass* FindPanelClass(const Guid& classId);

// The member of cls (contract or its own) with this dispatch id or name
// (names without regard to case); null when there is none.
const DispatchMember* FindMember(const PanelClass& cls, typelib::DispId dispId);
const DispatchMember* FindMember(const PanelClass& cls, std::string_view name);

}  // namespace quillmont::library
