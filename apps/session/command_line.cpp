#include "apps/session/command_line.h"

#include <algorithm>
#include <stdexcept>

namespace quillmont::session {

CommandLineParser::CommandLineParser(const std::string& program, const std::string& description)
    : app_(description, program) {}

void CommandLineParser::AddDatabase(const std::string& help) {
  app_.add_option_function<std::string>(
          "--db",
          [this](const std::string& value) {
            if (value.empty()) throw CLI::ValidationError("--db needs a file name or a postgresql:// URI");
            database_ = value;
          },
          help)
      ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
}

bool CommandLineParser::Parse(std::vector<std::string> args) {
  // CLI11 takes them last first.
  std::reverse(args.begin(), args.end());
  try {
    app_.parse(args);
  } catch (const CLI::CallForHelp&) {
    return false;
  } catch (const CLI::ParseError& e) {
    throw std::invalid_argument(e.what());
  }
  return true;
}

}  // namespace quillmont::session
