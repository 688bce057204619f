#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

// Storage for many small rows: records and texts in fixed-size blocks.
// Growing never copies what is stored, so a large fill never needs the old
// and the new array at once, and at most one block stands partly empty.
//
// A block a list lets go is kept for the next list of the same thread (up to
// a bound) rather than freed: freeing many small blocks lets the C library
// shrink its heap, and the next large fill would then fault every page in
// again.
namespace quillmont::storage {

// Hands back the blocks kept on this thread, for a caller that wants the
// memory returned now (and for counting what a fill asks for afresh).
void ReleaseSpareBlocks() noexcept;

namespace detail {
void* TakeBlock(std::size_t bytes);
void GiveBlock(void* block, std::size_t bytes) noexcept;

// One block of raw storage, given back to the thread's spares when dropped.
class Block {
 public:
  explicit Block(std::size_t bytes) : data_(TakeBlock(bytes)), bytes_(bytes) {}
  Block(Block&& other) noexcept : data_(std::exchange(other.data_, nullptr)), bytes_(other.bytes_) {}
  Block& operator=(Block&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(bytes_, other.bytes_);
    return *this;
  }
  ~Block() {
    if (data_) GiveBlock(data_, bytes_);
  }
  void* Data() const noexcept { return data_; }

 private:
  void* data_;
  std::size_t bytes_;
};
}  // namespace detail

// A hash for the short texts rows are keyed by: eight bytes at a time,
// mixed by multiplication, inline rather than a call into the library's
// general-purpose hash (paid once per row key indexed or looked up).
inline std::uint32_t HashText(std::string_view text) noexcept {
  const char* p = text.data();
  std::size_t n = text.size();
  std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ n;
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * 0xBF58476D1CE4E5B9ULL;
    h ^= h >> 31;
  }
  if (n > 0) {
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < n; ++i) word |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    h = (h ^ word) * 0x94D049BB133111EBULL;
  }
  h = (h ^ (h >> 32)) * 0xD6E8FEB86659FD93ULL;
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

template <class T>
class BlockVector {
  static_assert(std::is_trivially_destructible_v<T> && std::is_trivially_copyable_v<T>,
                "records are dropped with their blocks, never destroyed one by one");

 public:
  static constexpr std::size_t kBlock = 1024;

  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  T& operator[](std::size_t i) noexcept { return *At(i); }
  const T& operator[](std::size_t i) const noexcept { return *At(i); }
  void push_back(const T& value) {
    if (size_ == blocks_.size() * kBlock) blocks_.emplace_back(kBlock * sizeof(T));
    ::new (static_cast<void*>(At(size_))) T(value);
    ++size_;
  }
  // Keeps the first n records and lets go of the blocks no longer needed.
  void truncate(std::size_t n) {
    size_ = n;
    while (blocks_.size() > (n + kBlock - 1) / kBlock) blocks_.pop_back();
  }
  void clear() { truncate(0); }

 private:
  T* At(std::size_t i) const noexcept { return std::launder(static_cast<T*>(blocks_[i / kBlock].Data())) + i % kBlock; }

  std::vector<detail::Block> blocks_;
  std::size_t size_ = 0;
};

// Texts back to back, each addressed by a 32-bit offset. A text never
// straddles two blocks; one longer than a block gets a run of its own.
class TextArena {
 public:
  static constexpr std::uint32_t kBlock = 1U << 15;

  std::uint32_t Add(std::string_view text) { return Add(text, {}); }
  // Two texts back to back, stored as one; the offset of the first.
  std::uint32_t Add(std::string_view first, std::string_view second) {
    const std::size_t size = first.size() + second.size();
    if (size == 0) return 0;
    const std::uint64_t capacity = static_cast<std::uint64_t>(units_.size()) * kBlock;
    if (size > capacity - end_) {
      const std::size_t units = (size + kBlock - 1) / kBlock;
      if (capacity + static_cast<std::uint64_t>(units) * kBlock > UINT32_MAX)
        throw std::length_error("text storage is full");
      detail::Block block(units * kBlock);
      for (std::size_t k = 0; k < units; ++k) units_.push_back(static_cast<char*>(block.Data()) + k * kBlock);
      owned_.push_back(std::move(block));
      end_ = capacity;
    }
    const auto offset = static_cast<std::uint32_t>(end_);
    char* at = units_[offset / kBlock] + offset % kBlock;
    if (!first.empty()) std::memcpy(at, first.data(), first.size());
    if (!second.empty()) std::memcpy(at + first.size(), second.data(), second.size());
    end_ += size;
    return offset;
  }
  std::string_view View(std::uint32_t offset, std::uint32_t size) const {
    if (size == 0) return {};
    return {units_[offset / kBlock] + offset % kBlock, size};
  }
  // Bytes taken so far, gaps and texts no longer used included.
  std::size_t Size() const noexcept { return static_cast<std::size_t>(end_); }
  void Clear() noexcept {
    owned_.clear();
    units_.clear();
    end_ = 0;
  }
  void Swap(TextArena& other) noexcept {
    owned_.swap(other.owned_);
    units_.swap(other.units_);
    std::swap(end_, other.end_);
  }

 private:
  std::vector<detail::Block> owned_;
  std::vector<char*> units_;
  std::uint64_t end_ = 0;
};

// Positions of records by the hashes of their keys: open addressing with
// linear probing, at most half full. The keys stay in the caller's records:
// same(position) says whether the record there holds the key looked for,
// hashAt(position) gives its key's hash when the table grows.
class KeyIndex {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFU;

  std::size_t Count() const noexcept { return count_; }
  // Room for count entries without growing.
  template <class HashAt>
  void Reserve(std::size_t count, HashAt hashAt) {
    std::size_t size = 64;
    while (size < (count + 1) * 2) size *= 2;
    if (size > slots_.size()) Rehash(size, hashAt);
  }
  // The position of the first record added with the key, or kNone.
  template <class Same>
  std::uint32_t Find(std::uint32_t hash, Same same) const {
    if (slots_.empty()) return kNone;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const std::uint32_t entry = slots_[i];
      if (entry == 0) return kNone;
      if (same(entry - 1)) return entry - 1;
    }
  }
  // Adds the position unless a record with the same key is there already
  // (then false: the first keeps the key).
  template <class Same, class HashAt>
  bool Insert(std::uint32_t hash, std::uint32_t position, Same same, HashAt hashAt) {
    if ((count_ + 1) * 2 > slots_.size()) Rehash(std::max<std::size_t>(64, slots_.size() * 2), hashAt);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    for (; slots_[i] != 0; i = (i + 1) & mask)
      if (same(slots_[i] - 1)) return false;
    slots_[i] = position + 1;
    ++count_;
    return true;
  }
  // Forgets every entry; the room stays.
  void Clear() noexcept {
    std::fill(slots_.begin(), slots_.end(), 0);
    count_ = 0;
  }

 private:
  template <class HashAt>
  void Rehash(std::size_t size, HashAt hashAt) {
    std::vector<std::uint32_t> old(size, 0);
    old.swap(slots_);
    const std::size_t mask = size - 1;
    for (const std::uint32_t entry : old) {
      if (entry == 0) continue;
      std::size_t i = hashAt(entry - 1) & mask;
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = entry;
    }
  }

  std::vector<std::uint32_t> slots_;  // position + 1; 0 is a free slot
  std::size_t count_ = 0;
};

}  // namespace quillmont::storage
