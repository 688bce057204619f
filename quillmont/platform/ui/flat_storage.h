#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

// Storage for many small rows: records and texts in fixed-size blocks. A
// block is small enough to come from the heap the program already has, and
// growing never copies what is stored, so a large fill neither needs the old
// and the new array at once nor touches fresh pages for every copy.
namespace quillmont::ui {

template <class T>
class BlockVector {
 public:
  static constexpr std::size_t kBlock = 1024;
  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  T& operator[](std::size_t i) noexcept { return blocks_[i / kBlock][i % kBlock]; }
  const T& operator[](std::size_t i) const noexcept { return blocks_[i / kBlock][i % kBlock]; }
  void push_back(const T& value) {
    if (size_ == blocks_.size() * kBlock) blocks_.push_back(std::unique_ptr<T[]>(new T[kBlock]));
    (*this)[size_++] = value;
  }
  // Keeps the first n records and frees the blocks no longer needed.
  void truncate(std::size_t n) {
    size_ = n;
    blocks_.resize((n + kBlock - 1) / kBlock);
  }
  void clear() { truncate(0); }

 private:
  std::vector<std::unique_ptr<T[]>> blocks_;
  std::size_t size_ = 0;
};

// Texts back to back, each addressed by a 32-bit offset. A text never
// straddles two blocks; one longer than a block gets a run of its own.
class TextArena {
 public:
  static constexpr std::uint32_t kBlock = 1U << 15;

  std::uint32_t Add(std::string_view text) {
    if (text.empty()) return 0;
    const std::uint64_t capacity = static_cast<std::uint64_t>(units_.size()) * kBlock;
    if (text.size() > capacity - end_) {
      const std::size_t units = (text.size() + kBlock - 1) / kBlock;
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
