#pragma once

#include <string>
#include <vector>

#include "quillmont/library/registry_file.h"

// What the library writes into the registry file, and its removal.
namespace quillmont::registration {

// The sections that register the type library, its interfaces and the three
// classes for the library at libraryPath.
std::vector<registry::Section> OurSections(const std::string& libraryPath);
// The keys under which everything of ours lives; removing these trees
// removes exactly our entries.
std::vector<std::string> OurKeys();

// Registers (replacing an earlier registration of ours) and unregisters in
// the given registry file, under its lock. Throw quillmont::Error on failure;
// the file is then as it was.
void Register(const std::string& registryPath, const std::string& libraryPath);
void Unregister(const std::string& registryPath);

// The registry file the entry points use (see DefaultRegistryPath); throws
// Error(Failed) when no path can be made.
std::string RegistryPath();

}  // namespace quillmont::registration
