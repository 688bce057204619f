#pragma once

#include <functional>
#include <string>

#include "quillmont/library/registry_file.h"

// Reading and changing the registry file on disk. The file is used only
// when it is the user's (or root's) own, unwritable by others, in a folder
// others cannot write to (see owned_file.h); a link at its place is refused,
// never followed. Changes are made under an exclusive lock (flock on the
// folder) and land atomically (written beside the file, then renamed over
// it), so two registrations at once both keep their entries and a reader
// never sees half a file.
namespace quillmont::registry {

// Throws Error(Corrupt) for a damaged file, Error(Failed) when it cannot be
// read or is refused; a missing file reads as an empty registry.
Document ReadDocument(const std::string& path);

// Reads the file under the lock, applies change and writes the result back
// if it differs. A damaged file is reported (Error(Corrupt)) and left as it
// is; so is the file when change throws.
void UpdateDocument(const std::string& path, const std::function<void(Document&)>& change);

}  // namespace quillmont::registry
