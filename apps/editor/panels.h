#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "quillmont/platform/ui/controls.h"

namespace quillmont::editor {

// One page of the editor window: its tab key (handed to LoadData), the tab
// caption and how to make the panel (a ui::UserControl that implements the
// tab contract).
struct PageDescriptor {
  std::string key;
  std::string caption;
  std::function<std::shared_ptr<ui::UserControl>()> create;
};

// The three pages of a notification: "Events", "SNMP", "Email".
std::vector<PageDescriptor> StandardPages();

}  // namespace quillmont::editor
