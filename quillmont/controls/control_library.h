#pragma once

#include <memory>
#include <string>

#include "quillmont/framework/components.h"
#include "quillmont/platform/export.h"

namespace quillmont {

// Makes the default list, selector and column set.
class QUILLMONT_API DefaultControlLibrary : public ControlLibrary {
 public:
  std::shared_ptr<XStaticList> NewStaticList(const std::string& name) override;
  std::shared_ptr<XSelector> NewSelector(const std::string& name) override;
  std::shared_ptr<ListColumnSet> NewListColumnSet() override;
};

}  // namespace quillmont
