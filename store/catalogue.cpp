#include "store/catalogue.h"

#include "quillmont/definitions/key_index.h"
#include "quillmont/definitions/members.h"
#include "quillmont/platform/error.h"
#include "quillmont/storage/flat_storage.h"

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

// Entries are made in chunks that never move, so growing the catalogue
// copies nothing and touches each page once.
constexpr std::size_t kChunkBits = 12;
constexpr std::size_t kChunkEntries = std::size_t{1} << kChunkBits;

}  // namespace

struct Catalogue::Storage {
  std::vector<std::unique_ptr<Entry[]>> chunks;
  std::size_t count = 0;
  storage::TextArena text;  // each entry's key and name, back to back
  // Built at the first lookup by key, in one pass: a catalogue is often
  // listed without any key being looked up.
  std::once_flag indexed;
  storage::KeyIndex index;

  Entry& At(std::size_t position) const noexcept {
    return chunks[position >> kChunkBits][position & (kChunkEntries - 1)];
  }
  auto HashAt() const {
    return [this](std::uint32_t position) { return storage::HashText(At(position).KeyView()); };
  }

  // Positions go in in order, so a repeated key's first entry is the one
  // found.
  void Index() {
    index.Reserve(count, HashAt());
    for (std::size_t position = 0; position < count; ++position) {
      const std::string_view key = At(position).KeyView();
      index.Insert(
          storage::HashText(key), static_cast<std::uint32_t>(position),
          [&](std::uint32_t other) { return At(other).KeyView() == key; }, HashAt());
    }
  }

  std::uint32_t Find(std::string_view key) const {
    return index.Find(storage::HashText(key), [&](std::uint32_t position) { return At(position).KeyView() == key; });
  }
};

Catalogue::Catalogue() : storage_(std::make_shared<Storage>()) {}

void Catalogue::Append(std::string_view key, std::string_view name, std::int32_t groupId) {
  Storage& s = *storage_;
  if (s.count >= 0x7FFFFFFF) throw Error(ErrorCode::Failed, "The event catalogue is too large to load.");
  if (s.count == s.chunks.size() * kChunkEntries) s.chunks.push_back(std::make_unique<Entry[]>(kChunkEntries));
  const auto keyBytes = static_cast<std::uint32_t>(key.size());
  const auto nameBytes = static_cast<std::uint32_t>(name.size());
  const char* text = s.text.View(s.text.Add(key, name), keyBytes + nameBytes).data();
  s.At(s.count) = Entry(text, keyBytes, nameBytes, groupId);
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
  const std::uint32_t found = s.Find(key);
  return found == storage::KeyIndex::kNone ? nullptr : std::shared_ptr<EventType>(storage_, &s.At(found));
}

}  // namespace quillmont::store
