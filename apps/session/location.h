#pragma once

#include <optional>
#include <string>

namespace quillmont::session {

// $XDG_DATA_HOME/quillmont/quillmont.db, else ~/.local/share/quillmont/
// quillmont.db; std::runtime_error when neither variable is set.
std::string DefaultDatabasePath();

// The database a program opens: the one named (--db), else $QUILLMONT_DB
// when set, else the default path. named is set to whether the user named
// it (a named file is created only in a folder that exists).
std::string DatabaseLocation(const std::optional<std::string>& given, bool& named);

}  // namespace quillmont::session
