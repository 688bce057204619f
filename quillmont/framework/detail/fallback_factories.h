#pragma once

#include "quillmont/framework/runtime.h"

// How the defaults module hands the runtime the components used where a host
// installed none. Not installed: hosts use InstallFactories.
namespace quillmont::detail {

// Called once, while the library is loaded, by the defaults module.
void SetFallbackFactories(const ComponentFactories& factories);

}  // namespace quillmont::detail
