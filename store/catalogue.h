#pragma once
// The event catalogue as read from a store: every entry's texts in the
// storage module's text blocks and the entries in chunks of thousands, so reading 100,000
// event types makes no allocation per type and the catalogue holds about a
// third of the memory an object per type, with its own texts, would.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "quillmont/framework/definition.h"

namespace quillmont::store {

class Catalogue final : public EventTypeCollection {
 public:
  Catalogue();
  // Adds an event type at the end; a key already there keeps answering
  // lookups with its first entry. Only while the catalogue is being read:
  // entries are not added once it is handed out.
  void Append(std::string_view key, std::string_view name, std::int32_t groupId);

  int Count() const override;
  // The entries handed out share the catalogue's storage, which lives as
  // long as any of them does; the same position gives the same object.
  std::shared_ptr<EventType> ItemAt(int position) const override;
  std::shared_ptr<EventType> Item(const std::string& key) const override;

 private:
  struct Storage;
  std::shared_ptr<Storage> storage_;
};

}  // namespace quillmont::store
