#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "apps/editor/cli.h"
#include "apps/editor/shutdown.h"

int main(int argc, char** argv) {
  try {
    return quillmont::editor::RunProgram(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
  } catch (const quillmont::editor::Terminated& t) {
    // Every window has unwound and the terminal is restored by now.
    std::cerr << quillmont::editor::TerminationMessage(t);
    return 128 + t.signal;
  } catch (const std::exception& e) {
    std::cerr << "quillmont-editor: " << e.what() << "\n";
    return quillmont::editor::exit_code::Failure;
  }
}
