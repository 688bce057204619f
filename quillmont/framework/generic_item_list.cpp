#include <algorithm>

#include "quillmont/framework/definition.h"
#include "quillmont/platform/error.h"

namespace quillmont {

std::shared_ptr<ListItem> GenericItemList::Item(int position) const {
  if (position < 1 || position > Count()) throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range");
  return items_[static_cast<std::size_t>(position - 1)];
}

void GenericItemList::Add(std::shared_ptr<ListItem> item) {
  if (!item) throw Error(ErrorCode::ObjectRequired, "Object required");
  items_.push_back(std::move(item));
}

void GenericItemList::RemoveAt(const std::vector<int>& positions) {
  std::vector<bool> drop(items_.size(), false);
  for (int p : positions) {
    if (p < 1 || p > Count()) throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range");
    drop[static_cast<std::size_t>(p - 1)] = true;
  }
  std::size_t i = 0;
  std::erase_if(items_, [&](const auto&) { return drop[i++]; });
}

}  // namespace quillmont
