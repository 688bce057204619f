#include "store/catalogue.h"

#include <cstring>

#include "quillmont/definitions/members.h"
#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/flat_storage.h"

namespace quillmont::store {
namespace {

class Entry final : public EventType {
 public:
  Entry() = default;
  Entry(const char* text, std::uint32_t keyBytes, std::uint32_t nameBytes, std::int32_t groupId)
      : text_(text), keyBytes_(keyBytes), nameBytes_(nameBytes), groupId_(groupId) {}
  std::string Key() const override { return std::string(KeyView()); }
  std::string Name() const override { return std::string(text_ + keyBytes_, nameBytes_); }
  std::int32_t GroupID() const override { return groupId_; }
  std::string_view KeyView() const noexcept { return {text_, keyBytes_}; }

 private:
  const char* text_ = nullptr;  // the key, then the name, in the catalogue's text blocks
  std::uint32_t keyBytes_ = 0;
  std::uint32_t nameBytes_ = 0;
  std::int32_t groupId_ = 0;
};

constexpr std::size_t kTextBlockBytes = std::size_t{1} << 18;
// Entries are made in chunks that never move, so growing the catalogue
// copies nothing and touches each page once.
constexpr std::size_t kChunkBits = 12;
constexpr std::size_t kChunkEntries = std::size_t{1} << kChunkBits;

}  // namespace

struct Catalogue::Storage {
  std::vector<std::unique_ptr<Entry[]>> chunks;
  std::size_t count = 0;
  std::vector<std::unique_ptr<char[]>> blocks;
  std::size_t blockUsed = kTextBlockBytes;
  std::size_t blockSize = kTextBlockBytes;

  // Built at the first lookup by key, in one pass: a catalogue is often
  // listed without any key being looked up. hash << 32 | position + 1.
  std::once_flag indexed;
  std::vector<std::uint64_t> slots;
  unsigned shift = 32;

  const char* Keep(std::string_view key, std::string_view name) {
    const std::size_t bytes = key.size() + name.size();
    if (blocks.empty() || blockSize - blockUsed < bytes) {
      blockSize = std::max(kTextBlockBytes, bytes);
      blocks.push_back(std::unique_ptr<char[]>(new char[blockSize]));  // written before it is read
      blockUsed = 0;
    }
    char* at = blocks.back().get() + blockUsed;
    if (!key.empty()) std::memcpy(at, key.data(), key.size());
    if (!name.empty()) std::memcpy(at + key.size(), name.data(), name.size());
    blockUsed += bytes;
    return at;
  }

  Entry& At(std::size_t position) const noexcept {
    return chunks[position >> kChunkBits][position & (kChunkEntries - 1)];
  }

  std::size_t Slot(std::uint32_t hash) const noexcept { return (hash * 0x9E3779B9u) >> shift; }

  void Index() {
    std::size_t size = 16;
    unsigned bits = 4;
    while (size < count * 2) {
      size *= 2;
      ++bits;
    }
    slots.assign(size, 0);
    shift = 32 - bits;
    for (std::size_t position = 0; position < count; ++position) {
      const std::string_view key = At(position).KeyView();
      const std::uint32_t hash = ui::detail::HashText(key);
      // Positions go in in order, so a repeated key's first entry comes
      // earlier on its probe path and is the one found.
      std::size_t i = Slot(hash);
      while (slots[i] != 0) i = (i + 1) & (size - 1);
      slots[i] = static_cast<std::uint64_t>(hash) << 32 | (position + 1);
    }
  }

  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
  std::size_t Find(std::string_view key, std::uint32_t hash) const noexcept {
    const std::size_t mask = slots.size() - 1;
    for (std::size_t i = Slot(hash);; i = (i + 1) & mask) {
      const std::uint64_t slot = slots[i];
      if (slot == 0) return npos;
      const std::size_t position = static_cast<std::uint32_t>(slot) - 1;
      if (static_cast<std::uint32_t>(slot >> 32) == hash && At(position).KeyView() == key) return position;
    }
  }
};

Catalogue::Catalogue() : storage_(std::make_shared<Storage>()) {}

void Catalogue::Append(std::string_view key, std::string_view name, std::int32_t groupId) {
  Storage& s = *storage_;
  if (s.count >= 0x7FFFFFFF) throw Error(ErrorCode::Failed, "The event catalogue is too large to load.");
  if (s.count == s.chunks.size() * kChunkEntries) s.chunks.push_back(std::make_unique<Entry[]>(kChunkEntries));
  const char* text = s.Keep(key, name);
  s.At(s.count) = Entry(text, static_cast<std::uint32_t>(key.size()), static_cast<std::uint32_t>(name.size()), groupId);
  ++s.count;
}

int Catalogue::Count() const { return static_cast<int>(storage_->count); }

std::shared_ptr<EventType> Catalogue::ItemAt(int position) const {
  if (position < 1 || position > Count()) detail::ThrowPositionOutOfRange(position);
  return std::shared_ptr<EventType>(storage_, &storage_->At(static_cast<std::size_t>(position - 1)));
}

std::shared_ptr<EventType> Catalogue::Item(const std::string& key) const {
  Storage& s = *storage_;
  std::call_once(s.indexed, [&s] { s.Index(); });
  const std::size_t found = s.Find(key, ui::detail::HashText(key));
  return found == Storage::npos ? nullptr : std::shared_ptr<EventType>(storage_, &s.At(found));
}

}  // namespace quillmont::store
