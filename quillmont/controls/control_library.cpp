#include "quillmont/controls/control_library.h"

#include "quillmont/controls/column_set.h"
#include "quillmont/controls/selector.h"
#include "quillmont/controls/static_list.h"

namespace quillmont {

std::shared_ptr<XStaticList> DefaultControlLibrary::NewStaticList(const std::string& name) {
  return std::make_shared<StaticList>(name);
}

std::shared_ptr<XSelector> DefaultControlLibrary::NewSelector(const std::string& name) {
  return std::make_shared<Selector>(name);
}

std::shared_ptr<ListColumnSet> DefaultControlLibrary::NewListColumnSet() { return std::make_shared<ColumnSet>(); }

}  // namespace quillmont
