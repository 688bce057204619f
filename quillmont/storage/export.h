#pragma once

#if !defined(__cplusplus) || __cplusplus < 202002L
#error "Quillmont's headers need C++20 (-std=c++20 or later)"
#endif

// Everything a host may use is marked QUILLMONT_API; the shared library hides
// the rest, so internal helpers never become part of the binary interface.
// A host linking the static library (QUILLMONT_STATIC) gets no default
// visibility from our headers, so its own shared library exports none of ours.
#if defined(QUILLMONT_STATIC) && !defined(QUILLMONT_BUILDING)
#define QUILLMONT_API
#else
#define QUILLMONT_API __attribute__((visibility("default")))
#endif

// On a private member of an exported class: kept out of the shared library's
// exports (the class, its public and protected members, its type information
// and virtual table stay exported). Never on a virtual function or on one an
// inline function of an installed header calls.
#define QUILLMONT_LOCAL __attribute__((visibility("hidden")))
