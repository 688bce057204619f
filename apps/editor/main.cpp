#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "apps/editor/cli.h"

int main(int argc, char** argv) {
  try {
    return quillmont::editor::RunProgram(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "quillmont-editor: " << e.what() << "\n";
    return quillmont::editor::exit_code::Failure;
  }
}
