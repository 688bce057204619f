#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "store/outbox.h"

// The command line of quillmont-editor: the interactive editor, and the
// --list, --export, --export-all, --import and --deliveries modes for scripts.
namespace quillmont::editor {

namespace exit_code {
inline constexpr int Ok = 0;
inline constexpr int Failure = 1;          // anything unexpected
inline constexpr int Usage = 2;            // bad arguments
inline constexpr int NotFound = 3;         // no such notification
inline constexpr int DatabaseRefused = 4;  // missing, not a database, damaged, newer, locked, unreachable
inline constexpr int NoTerminal = 5;       // the interactive editor needs a terminal
inline constexpr int InputRefused = 6;     // an import refused: nothing was written
}  // namespace exit_code

struct CommandLine {
  enum class Mode { Edit, List, Export, ExportAll, Import, CopyTo, Deliveries, Help, Version };
  Mode mode = Mode::Edit;
  std::optional<std::string> database;
  std::int32_t exportNumber = 0;
  std::string importFile;  // "-" for standard input
  std::string copyTarget;  // a path or URI
  bool prune = false, dryRun = false, force = false;
  bool noMouse = false;  // the terminal keeps its own mouse (selecting text)
  // --deliveries: which attempts, and as JSON lines.
  store::LogFilter deliveries;
  bool json = false;
};

// Throws std::invalid_argument with a message for the user.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText();

// The whole program; in, out and err stand for stdin, stdout and stderr.
int RunProgram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunProgram(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace quillmont::editor
