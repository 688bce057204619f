#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "quillmont/storage/flat_storage.h"

// The definition layer's storage, inside the library: not installed.
namespace quillmont::detail {

// Error(SubscriptOutOfRange) naming the position: the definitions' lists
// and the store's catalogue count from 1.
[[noreturn]] void ThrowPositionOutOfRange(int position);

// Items in fixed-size blocks taken from the thread's spare blocks: a page
// that loads 100,000 rows, lets them go and loads them again reuses pages
// already touched instead of growing (and faulting in) one large array.
// Blocks of 4 KiB keep a short list small (a page's memory per row is
// counted from its first rows on).
template <class T>
class BlockList {
 public:
  static constexpr std::size_t kBlock = 4096 / sizeof(T) > 0 ? 4096 / sizeof(T) : 1;

  BlockList() = default;
  BlockList(const BlockList&) = delete;
  BlockList& operator=(const BlockList&) = delete;
  ~BlockList() { clear(); }

  std::size_t size() const noexcept { return size_; }
  const T& operator[](std::size_t i) const noexcept { return *At(i); }
  void push_back(T value) {
    if (size_ == blocks_.size() * kBlock) blocks_.emplace_back(kBlock * sizeof(T));
    ::new (static_cast<void*>(At(size_))) T(std::move(value));
    ++size_;
  }
  void clear() noexcept { Truncate(0); }
  // Keeps, in order, the items whose drop flag is false.
  void Keep(const std::vector<bool>& drop) noexcept {
    std::size_t write = 0;
    for (std::size_t read = 0; read < size_; ++read) {
      if (drop[read]) continue;
      if (write != read) *At(write) = std::move(*At(read));
      ++write;
    }
    Truncate(write);
  }

 private:
  static_assert(std::is_nothrow_move_constructible_v<T> && std::is_nothrow_move_assignable_v<T>);
  T* At(std::size_t i) const noexcept { return std::launder(static_cast<T*>(blocks_[i / kBlock].Data())) + i % kBlock; }
  void Truncate(std::size_t n) noexcept {
    while (size_ > n) At(--size_)->~T();
    while (blocks_.size() > (n + kBlock - 1) / kBlock) blocks_.pop_back();
  }

  std::vector<storage::detail::Block> blocks_;
  std::size_t size_ = 0;
};

// Keys in the order added, found through the storage layer's index of
// positions by hash (the first copy of a key is the one found).
//
// Keys pushed are indexed when a key is next looked up, in one pass into a
// table sized for all of them: a catalogue read from a store is often shown
// before anyone looks a key up in it. Lookups may run on several threads at
// once.
class KeyIndex {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  std::size_t Size() const noexcept { return keys_.size(); }
  void Reserve(std::size_t count);
  // The position of the first key equal to this one, or npos.
  std::size_t Find(const std::string& key) const;
  // Adds the key at the end; only its first copy is found.
  void Push(std::string key);
  // Adds the key unless it is there; true when added.
  bool Insert(std::string key);

 private:
  std::size_t FindIndexed(const std::string& key, std::uint32_t hash) const;
  void IndexPending() const;

  BlockList<std::string> keys_;  // blocks, so a fresh index reuses touched pages
  mutable storage::KeyIndex index_;
  // Keys from this position on are not in the index yet.
  mutable std::atomic<std::size_t> pendingFrom_{0};
  mutable std::mutex pendingLock_;
};

}  // namespace quillmont::detail
