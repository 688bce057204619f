#pragma once

#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "quillmont/library/com.h"
#include "quillmont/platform/error.h"

// What every call across the C boundary shares: the per-thread failure text,
// the catch-all that keeps exceptions inside, and the count of live objects
// that decides whether the library may be unloaded.
namespace quillmont::library {

// A failure of the boundary itself (bad argument, unknown member), with the
// code it returns.
class BoundaryError : public std::runtime_error {
 public:
  BoundaryError(com::HResult code, const std::string& message) : std::runtime_error(message), code_(code) {}
  com::HResult Code() const noexcept { return code_; }

 private:
  com::HResult code_;
};

// Longer failure texts are cut to this many bytes.
inline constexpr std::size_t kMaxErrorTextBytes = 1024;

void ClearLastError() noexcept;
void SetLastError(const std::string& text) noexcept;
const char* LastErrorText() noexcept;
// "0x80004005"
std::string HexCode(com::HResult code);

// Runs body (which returns an HResult) with this thread's failure text
// cleared; turns any exception into a failure code and its text: a
// BoundaryError into its own code, quillmont::Error into failureCode with
// "Error <number>: <message>", running out of memory into E_OUTOFMEMORY.
template <class Body>
com::HResult Guard(com::HResult failureCode, Body&& body) noexcept {
  ClearLastError();
  try {
    return std::forward<Body>(body)();
  } catch (const BoundaryError& e) {
    SetLastError(e.what());
    return e.Code();
  } catch (const Error& e) {
    SetLastError("Error " + std::to_string(e.Number()) + ": " + e.what());
    return failureCode;
  } catch (const std::bad_alloc&) {
    SetLastError("Out of memory");
    return com::E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    SetLastError(e.what());
    return failureCode;
  } catch (...) {
    SetLastError("An unknown failure");
    return failureCode;
  }
}

// Live objects (panels and class factories) and server locks.
void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
void AddServerLock() noexcept;
// False when there was no lock to remove.
bool RemoveServerLock() noexcept;
bool CanUnload() noexcept;

}  // namespace quillmont::library
