#include "quillmont/library/boundary.h"

#include <atomic>
#include <cstdio>

#include "quillmont/platform/terminal_text.h"

namespace quillmont::library {
namespace {

std::string& LastError() noexcept {
  thread_local std::string text;
  return text;
}

std::atomic<long> gObjects{0};
std::atomic<long> gLocks{0};

}  // namespace

void ClearLastError() noexcept { LastError().clear(); }

void SetLastError(const std::string& text) noexcept {
  try {
    // Texts that quote a caller's input stay a readable size.
    LastError() = text::Shortened(text, kMaxErrorTextBytes);
  } catch (...) {
    // Without memory for the text the code alone has to do.
    LastError().clear();
  }
}

const char* LastErrorText() noexcept { return LastError().c_str(); }

std::string HexCode(com::HResult code) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(code));
  return buffer;
}

void ObjectCreated() noexcept { gObjects.fetch_add(1); }
void ObjectDestroyed() noexcept { gObjects.fetch_sub(1); }
void AddServerLock() noexcept { gLocks.fetch_add(1); }

bool RemoveServerLock() noexcept {
  long locks = gLocks.load();
  while (locks > 0)
    if (gLocks.compare_exchange_weak(locks, locks - 1)) return true;
  return false;
}

bool CanUnload() noexcept { return gObjects.load() == 0 && gLocks.load() == 0; }

}  // namespace quillmont::library
