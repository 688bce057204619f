#include "quillmont/storage/flat_storage.h"

#include <new>
#include <utility>
#include <vector>

namespace quillmont::storage {
namespace {

// About as much as the lists of a few pages of 100,000 rows take.
constexpr std::size_t kMaxKeptBytes = std::size_t{32} << 20;

// Kept blocks by size; the sizes are few, as blocks double.
struct Spares {
  std::vector<std::pair<std::size_t, std::vector<void*>>> bySize;
  std::size_t bytes = 0;
  void Release() noexcept {
    for (auto& [size, blocks] : bySize)
      for (void* block : blocks) ::operator delete(block);
    bySize.clear();
    bytes = 0;
  }
  ~Spares();
};

// Set once the spares of this thread are gone (a list destroyed later, by a
// static destructor, frees its blocks).
thread_local bool sparesGone = false;
thread_local Spares spares;

Spares::~Spares() {
  Release();
  sparesGone = true;
}

}  // namespace

void ReleaseSpareBlocks() noexcept {
  if (!sparesGone) spares.Release();
}

namespace detail {

void* TakeBlock(std::size_t bytes) {
  if (!sparesGone)
    for (auto& [size, blocks] : spares.bySize)
      if (size == bytes && !blocks.empty()) {
        void* block = blocks.back();
        blocks.pop_back();
        spares.bytes -= bytes;
        return block;
      }
  return ::operator new(bytes);
}

void GiveBlock(void* block, std::size_t bytes) noexcept {
  if (sparesGone || spares.bytes + bytes > kMaxKeptBytes) {
    ::operator delete(block);
    return;
  }
  try {
    std::vector<void*>* slot = nullptr;
    for (auto& [size, blocks] : spares.bySize)
      if (size == bytes) slot = &blocks;
    if (!slot) slot = &spares.bySize.emplace_back(bytes, std::vector<void*>()).second;
    slot->push_back(block);
    spares.bytes += bytes;
  } catch (...) {
    ::operator delete(block);  // no room to keep it
  }
}

}  // namespace detail
}  // namespace quillmont::storage
