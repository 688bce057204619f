#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

// The command line of the three programs, on CLI11: each adds its own
// options to App(); --db, -h/--help, --version and the treatment of mistakes
// are the same everywhere.
namespace quillmont::session {

class CommandLineParser {
 public:
  CommandLineParser(const std::string& program, const std::string& description);
  CLI::App& App() noexcept { return app_; }
  // Adds --db (a file or a postgresql:// URI), at this place in the help.
  void AddDatabase(const std::string& help);
  // Parses the arguments after the program's name. False when help or the
  // version was asked for (Answer() is the text to print); std::invalid_argument
  // with a message for the user when they are wrong.
  bool Parse(std::vector<std::string> args);
  std::string Help() const { return app_.help(); }
  bool VersionAsked() const noexcept { return versionAsked_; }
  // "PROGRAM VERSION" after --version, else the help.
  std::string Answer() const;
  // --db, once and not empty; nullopt when not given.
  const std::optional<std::string>& Database() const noexcept { return database_; }

 private:
  CLI::App app_;
  std::optional<std::string> database_;
  std::string program_;
  bool versionAsked_ = false;
};

}  // namespace quillmont::session
