#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

// Storage for many small rows: records and texts in blocks that double in
// size. Growing never copies what is stored, so a large fill never needs the
// old and the new array at once; and a large list lives in a few large
// blocks, which the C library hands back whole when the list goes instead of
// trimming its heap block by block (a trimmed heap makes the next fill fault
// every page in again).
namespace quillmont::ui {

template <class T>
class BlockVector {
 public:
  // Block k holds kFirst << k records and starts at kFirst * (2^k - 1).
  static constexpr std::size_t kFirstShift = 10;
  static constexpr std::size_t kFirst = std::size_t{1} << kFirstShift;

  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  T& operator[](std::size_t i) noexcept { return At(i); }
  const T& operator[](std::size_t i) const noexcept { return const_cast<BlockVector*>(this)->At(i); }
  void push_back(const T& value) {
    if (size_ == capacity_) {
      const std::size_t length = kFirst << blocks_.size();
      blocks_.push_back(std::unique_ptr<T[]>(new T[length]));
      capacity_ += length;
    }
    At(size_++) = value;
  }
  // Keeps the first n records and frees the blocks no longer needed.
  void truncate(std::size_t n) {
    size_ = n;
    while (!blocks_.empty() && capacity_ - (kFirst << (blocks_.size() - 1)) >= n) {
      capacity_ -= kFirst << (blocks_.size() - 1);
      blocks_.pop_back();
    }
  }
  void clear() { truncate(0); }

 private:
  T& At(std::size_t i) noexcept {
    const std::size_t shifted = (i >> kFirstShift) + 1;  // 2^k .. 2^(k+1) - 1 within block k
    const auto block = static_cast<std::size_t>(std::bit_width(shifted)) - 1;
    return blocks_[block][i - ((kFirst << block) - kFirst)];
  }

  std::vector<std::unique_ptr<T[]>> blocks_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// Texts back to back, each addressed by a 32-bit offset, in runs of
// contiguous units. A text never straddles two runs; each new run is as large
// as all before it (and at least as long as the text), so runs double.
class TextArena {
 public:
  static constexpr std::uint32_t kBlock = 1U << 15;

  std::uint32_t Add(std::string_view text) {
    if (text.empty()) return 0;
    const std::uint64_t capacity = static_cast<std::uint64_t>(units_.size()) * kBlock;
    if (text.size() > capacity - end_) {
      const std::size_t needed = (text.size() + kBlock - 1) / kBlock;
      std::size_t units = std::max<std::size_t>(needed, units_.size());
      if (capacity + static_cast<std::uint64_t>(units) * kBlock > UINT32_MAX) units = needed;  // near the limit
      if (capacity + static_cast<std::uint64_t>(units) * kBlock > UINT32_MAX)
        throw std::length_error("text storage is full");
      std::unique_ptr<char[]> block(new char[units * kBlock]);
      for (std::size_t k = 0; k < units; ++k) units_.push_back(block.get() + k * kBlock);
      owned_.push_back(std::move(block));
      end_ = capacity;
    }
    const auto offset = static_cast<std::uint32_t>(end_);
    std::memcpy(units_[offset / kBlock] + offset % kBlock, text.data(), text.size());
    end_ += text.size();
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
  std::vector<std::unique_ptr<char[]>> owned_;
  std::vector<char*> units_;
  std::uint64_t end_ = 0;
};

}  // namespace quillmont::ui
