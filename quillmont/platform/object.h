#pragma once

#include "quillmont/platform/export.h"

namespace quillmont {

// Base of every object that may travel inside a Variant as an object
// reference. Reference counting is std::shared_ptr's.
class QUILLMONT_API Object {
 public:
  virtual ~Object();

 protected:
  Object() = default;
  Object(const Object&) = default;
  Object& operator=(const Object&) = default;
};

}  // namespace quillmont
