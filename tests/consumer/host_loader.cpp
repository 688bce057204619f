// A host that creates a page by program identifier through the installed
// loader (Quillmont::host), linking nothing else of Quillmont. The registry
// file is the first argument.
#include <cstdio>

#include "quillmont/host/loader.h"

int main(int argc, char** argv) {
  using namespace quillmont;
  if (argc != 2) return 2;
  try {
    host::Loader loader(argv[1]);
    auto page = loader.Create<com::IFolioControl>("Quillmont.XEventSNMPTab");
    ComBool valid = ComFalse;
    if (!page || page->IsTabValid("Notification", &valid) != com::S_OK || valid != ComTrue) {
      std::fputs("host_loader: the page did not answer\n", stderr);
      return 1;
    }
  } catch (const host::LoaderError& e) {
    std::fprintf(stderr, "host_loader: %s\n", e.what());
    return 1;
  }
  std::puts("host_loader: ok");
  return 0;
}
