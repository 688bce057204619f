#pragma once

#include "apps/session/pages.h"

namespace quillmont::editor {

using session::PageDescriptor;
using session::PendingEntry;
using session::StandardPages;

}  // namespace quillmont::editor
