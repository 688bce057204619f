#pragma once

// Everything a host may use is marked QUILLMONT_API; the shared library hides
// the rest, so internal helpers never become part of the binary interface.
#define QUILLMONT_API __attribute__((visibility("default")))
