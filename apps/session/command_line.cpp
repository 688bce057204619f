#include "apps/session/command_line.h"

#include <algorithm>
#include <stdexcept>

#include "quillmont/version.h"

namespace quillmont::session {

CommandLineParser::CommandLineParser(const std::string& program, const std::string& description)
    : app_(description, program), program_(program) {
  app_.add_flag_callback(
      "--version", [this] { versionAsked_ = true; }, "print the version and exit");
}

std::string CommandLineParser::Answer() const {
  return versionAsked_ ? program_ + " " QUILLMONT_VERSION_TEXT "\n" : app_.help();
}

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
    versionAsked_ = false;
    return false;
  } catch (const CLI::ParseError& e) {
    // --version answers even beside a missing required option.
    if (versionAsked_) return false;
    throw std::invalid_argument(e.what());
  }
  return !versionAsked_;
}

}  // namespace quillmont::session
