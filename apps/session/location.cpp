#include "apps/session/location.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace quillmont::session {

std::string DefaultDatabasePath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data && std::filesystem::path(data).is_absolute())
    return (std::filesystem::path(data) / "quillmont" / "quillmont.db").string();
  const char* home = std::getenv("HOME");
  if (!home || !*home) throw std::runtime_error("neither XDG_DATA_HOME nor HOME is set; name a database with --db");
  return (std::filesystem::path(home) / ".local" / "share" / "quillmont" / "quillmont.db").string();
}

std::string DatabaseLocation(const std::optional<std::string>& given, bool& named) {
  const char* fromEnvironment = std::getenv("QUILLMONT_DB");
  named = given || (fromEnvironment && *fromEnvironment);
  return given ? *given : named ? std::string(fromEnvironment) : DefaultDatabasePath();
}

}  // namespace quillmont::session
