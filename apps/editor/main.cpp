#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "apps/editor/cli.h"
#include "apps/editor/shutdown.h"
#include "store/pg_db.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  // A password given in --db stays out of ps from here on.
  for (int i = 1; i < argc; ++i) quillmont::store::HidePasswordInArgument(argv[i]);
  try {
    return quillmont::editor::RunProgram(args, std::cout, std::cerr);
  } catch (const quillmont::editor::Terminated& t) {
    // Every window has unwound and the terminal is restored by now.
    std::cerr << quillmont::editor::TerminationMessage(t);
    return 128 + t.signal;
  } catch (const std::exception& e) {
    std::cerr << "quillmont-editor: " << e.what() << "\n";
    return quillmont::editor::exit_code::Failure;
  }
}
