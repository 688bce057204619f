#include "quillmont/services/app_context.h"

#include "quillmont/platform/error.h"
#include "quillmont/rules/fields.h"

namespace quillmont {
namespace {

class SettingValue final : public SettingEntry {
 public:
  explicit SettingValue(std::shared_ptr<std::mutex> mutex) : mutex_(std::move(mutex)) {}
  Variant Value() const override {
    std::lock_guard lock(*mutex_);
    return value_;
  }
  void SetValue(const Variant& value) override {
    std::lock_guard lock(*mutex_);
    value_ = value;
  }

 private:
  std::shared_ptr<std::mutex> mutex_;
  Variant value_;
};

// The catalogue before a host gives one.
class EmptyEventTypes final : public EventTypeCollection {
 public:
  int Count() const override { return 0; }
  std::shared_ptr<EventType> ItemAt(int position) const override {
    throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range: event type " + std::to_string(position));
  }
  std::shared_ptr<EventType> Item(const std::string&) const override { return nullptr; }
};

}  // namespace

bool IsValidEmailAddressText(std::string_view address) { return rules::IsValidEmailAddressText(address); }

std::shared_ptr<SettingEntry> MemorySettings::Item(const Variant& key) {
  const std::string folded = rules::FoldedAscii(key.ToString());
  std::lock_guard lock(*mutex_);
  auto& entry = entries_[folded];
  if (!entry) entry = std::make_shared<SettingValue>(mutex_);
  return entry;
}

bool MemorySettings::Contains(const std::string& key) const {
  const std::string folded = rules::FoldedAscii(key);
  std::lock_guard lock(*mutex_);
  return entries_.count(folded) > 0;
}

std::size_t MemorySettings::Size() const {
  std::lock_guard lock(*mutex_);
  return entries_.size();
}

MemoryGroupRecordSet::MemoryGroupRecordSet(std::vector<GroupRecord> records) : records_(std::move(records)) {}

std::int32_t MemoryGroupRecordSet::RecordCount() const { return static_cast<std::int32_t>(records_.size()); }

bool MemoryGroupRecordSet::Eof() const { return closed_ || current_ >= records_.size(); }

Variant MemoryGroupRecordSet::Fields(const std::string& name) const {
  const std::string field = rules::FoldedAscii(name);
  const bool known = field == "group_id" || field == "group_name" || field == "group_label";
  if (!known) throw Error(ErrorCode::NotFound, "Item cannot be found: field \"" + name + "\"");
  if (Eof())
    throw Error(ErrorCode::InvalidProcedureCall,
                "Invalid procedure call or argument: no current record (end of the records, or closed)");
  const GroupRecord& r = records_[current_];
  if (field == "group_id") return r.groupId;
  if (field == "group_name") return r.groupName;
  return r.groupLabel;
}

void MemoryGroupRecordSet::MoveNext() {
  if (Eof())
    throw Error(ErrorCode::InvalidProcedureCall,
                "Invalid procedure call or argument: no current record (end of the records, or closed)");
  ++current_;
}

MemoryAppContext::MemoryAppContext()
    : settings_(std::make_shared<MemorySettings>()), eventTypes_(std::make_shared<EmptyEventTypes>()) {}

std::shared_ptr<GroupRecordSet> MemoryAppContext::GetEventGroups() {
  if (!groups_) return nullptr;
  return std::make_shared<MemoryGroupRecordSet>(*groups_);
}

void MemoryAppContext::SetSettings(std::shared_ptr<SettingsCollection> settings) {
  settings_ = settings ? std::move(settings) : std::make_shared<MemorySettings>();
}

void MemoryAppContext::SetEventTypes(std::shared_ptr<EventTypeCollection> eventTypes) {
  eventTypes_ = eventTypes ? std::move(eventTypes) : std::make_shared<EmptyEventTypes>();
}

}  // namespace quillmont
