#pragma once

#include <functional>
#include <string>
#include <vector>

#include "quillmont/library/com.h"

namespace quillmont::testing {

// A host's tab container implemented at the boundary, as a foreign host
// would: it counts its references and records what the panel asked of it.
class BoundaryTabHost final : public com::ITabHost {
 public:
  com::HResult QueryInterface(const Guid& iid, void** out) override {
    if (!out) return com::E_POINTER;
    *out = nullptr;
    if (iid != com::IUnknown::kIid && iid != com::ITabHost::kIid) return com::E_NOINTERFACE;
    AddRef();
    *out = static_cast<com::ITabHost*>(this);
    return com::S_OK;
  }
  std::uint32_t AddRef() override { return static_cast<std::uint32_t>(++references); }
  std::uint32_t Release() override { return static_cast<std::uint32_t>(--references); }
  com::HResult MarkChanged() override {
    ++changes;
    return failing ? com::E_FAIL : com::S_OK;
  }
  com::HResult SelectTab(const char* tabKey) override {
    if (onSelectTab) onSelectTab();  // a host may reload the page right here
    selected.emplace_back(tabKey);
    return com::S_OK;
  }
  int references = 1;
  int changes = 0;
  bool failing = false;  // MarkChanged answers a failure code
  std::vector<std::string> selected;
  std::function<void()> onSelectTab;
};

}  // namespace quillmont::testing
