// quillmont-regsvr: registers, unregisters and lists component libraries in
// the registry file, the way a host finds them at run time.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "host/loader.h"
#include "quillmont/library/registry_file.h"
#include "quillmont/platform/terminal_text.h"
#include "quillmont/version.h"

namespace {

using quillmont::text::ForTerminal;

int Usage(std::ostream& out, int code) {
  out << "Usage: quillmont-regsvr [--registry FILE] register [LIBRARY]\n"
         "       quillmont-regsvr [--registry FILE] unregister [LIBRARY]\n"
         "       quillmont-regsvr [--registry FILE] list\n"
         "       quillmont-regsvr --help | --version\n"
         "LIBRARY defaults to the " QUILLMONT_SONAME
         " installed beside this program\n"
         "(../" QUILLMONT_INSTALL_LIBDIR
         "/ from its folder); a relative LIBRARY is taken from the current\n"
         "folder. It is loaded as a host loads it: it and every folder above it must belong\n"
         "to you or root and be writable by neither group nor others.\n"
         "The registry file is FILE, else $QUILLMONT_REGISTRY, else $XDG_CONFIG_HOME/quillmont/registry,\n"
         "else ~/.config/quillmont/registry.\n";
  return code;
}

// The library installed beside this program, never one a search path finds.
std::string DefaultLibrary() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) throw std::runtime_error("cannot tell where this program lies (" + ec.message() + "); name the library");
  return (self.parent_path().parent_path() / QUILLMONT_INSTALL_LIBDIR / QUILLMONT_SONAME).string();
}

int RunServerCall(const std::string& command, const std::string& library) {
  // The same checks and the same loading through one descriptor as a host's.
  const std::string libraryPath = std::filesystem::absolute(library).string();
  auto lib = quillmont::host::ComponentLibrary::Load(libraryPath);
  const bool registering = command == "register";
  const quillmont::com::HResult hr = registering ? lib->RegisterServer() : lib->UnregisterServer();
  if (quillmont::com::Failed(hr)) {
    std::cerr << "quillmont-regsvr: " << (registering ? "DllRegisterServer" : "DllUnregisterServer") << " of "
              << ForTerminal(libraryPath) << " failed: " << ForTerminal(lib->LastErrorText()) << "\n";
    return 1;
  }
  std::cout << (registering ? "Registered " : "Unregistered ") << ForTerminal(lib->Path()) << "\n";
  return 0;
}

int List() {
  auto path = quillmont::registry::DefaultRegistryPath();
  if (!path) {
    std::cerr << "quillmont-regsvr: no registry file (set QUILLMONT_REGISTRY, XDG_CONFIG_HOME or HOME)\n";
    return 1;
  }
  const auto classes = quillmont::host::RegistryView::Open(*path).Classes();
  for (const auto& c : classes)
    std::cout << quillmont::registry::FormatGuid(c.classId.Bytes()) << "  "
              << (c.progId.empty() ? "-" : ForTerminal(c.progId)) << "  " << ForTerminal(c.libraryPath) << "\n";
  if (classes.empty()) std::cout << "No classes are registered in " << ForTerminal(*path) << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.size() >= 2 && args[0] == "--registry") {
      // The library reads the same variable, so both agree on the file.
      ::setenv("QUILLMONT_REGISTRY", args[1].c_str(), 1);
      args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) return Usage(std::cerr, 2);
    const std::string& command = args[0];
    if (command == "--help" || command == "-h") return Usage(std::cout, 0);
    if (command == "--version") {
      std::cout << "quillmont-regsvr " QUILLMONT_VERSION_TEXT "\n";
      return 0;
    }
    if ((command == "register" || command == "unregister") && args.size() <= 2)
      return RunServerCall(command, args.size() == 2 ? args[1] : DefaultLibrary());
    if (command == "list" && args.size() == 1) return List();
    return Usage(std::cerr, 2);
  } catch (const std::exception& e) {
    std::cerr << "quillmont-regsvr: " << ForTerminal(quillmont::text::Shortened(e.what(), 2000)) << "\n";
    return 1;
  }
}
