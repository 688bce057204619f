#include "store/host_objects.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "quillmont/definitions/members.h"
#include "quillmont/rules/fields.h"

namespace quillmont::store {
namespace {

bool SameField(std::string_view a, std::string_view b) { return rules::EqualsIgnoringAsciiCase(a, b); }

}  // namespace

GroupCursor::GroupCursor(std::shared_ptr<Database> db) : db_(std::move(db)) {
  count_ = static_cast<std::int32_t>(db_->QueryInt("SELECT COUNT(*) FROM event_groups"));
  rows_ = std::make_unique<Statement>(
      db_->Prepare("SELECT Group_id, Group_Name, Group_Label FROM event_groups ORDER BY sort_order, Group_id"));
  hasRow_ = rows_->Step();
}

Variant GroupCursor::Fields(const std::string& name) const {
  int column = -1;
  if (SameField(name, "Group_id"))
    column = 0;
  else if (SameField(name, "Group_Name"))
    column = 1;
  else if (SameField(name, "Group_Label"))
    column = 2;
  if (column < 0) throw Error(ErrorCode::NotFound, "Item cannot be found in the collection: " + name);
  if (!rows_ || !hasRow_)
    throw Error(ErrorCode::InvalidProcedureCall, "Either BOF or EOF is True, or the record set is closed");
  if (rows_->IsNull(column)) return Variant::Null();
  if (column == 0) return Variant(static_cast<std::int32_t>(rows_->Int(0)));
  return Variant(rows_->Text(column, kMaxCatalogueTextLength, "an event group name"));
}

void GroupCursor::MoveNext() {
  if (!rows_ || !hasRow_)
    throw Error(ErrorCode::InvalidProcedureCall, "Either BOF or EOF is True, or the record set is closed");
  hasRow_ = rows_->Step();
}

void GroupCursor::Close() {
  rows_.reset();
  hasRow_ = false;
}

Variant StoredSettingEntry::Value() const {
  auto value = store_->Setting(key_);
  return value ? Variant(*value) : Variant();
}

void StoredSettingEntry::SetValue(const Variant& value) {
  if (value.IsEmpty() || value.IsNull())
    store_->SetSetting(key_, std::nullopt);
  else
    store_->SetSetting(key_, value.ToString());
}

std::shared_ptr<SettingEntry> StoredSettings::Item(const Variant& key) {
  const std::string text = key.ToString();
  if (text.empty()) throw Error(ErrorCode::InvalidProcedureCall, "A setting needs a key");
  return std::make_shared<StoredSettingEntry>(store_, text);
}

std::shared_ptr<SettingsCollection> StoreAppContext::Settings() { return std::make_shared<StoredSettings>(store_); }

// The same rule as the library's pages use, so that an address the editor
// accepts is one the delivery side and other hosts accept too.
bool StoreAppContext::IsValidEmailAddress(const std::string& address) {
  return rules::IsValidEmailAddressText(address);
}

std::shared_ptr<SnmpManager> StoreDefinitionLibrary::NewSnmpManager() { return std::make_shared<BasicSnmpManager>(); }
std::shared_ptr<SnmpManagerList> StoreDefinitionLibrary::NewSnmpManagerList() {
  return std::make_shared<BasicSnmpManagerList>();
}
std::shared_ptr<EmailRecipient> StoreDefinitionLibrary::NewEmailRecipient() {
  return std::make_shared<BasicEmailRecipient>();
}
std::shared_ptr<EmailRecipientList> StoreDefinitionLibrary::NewEmailRecipientList() {
  return std::make_shared<BasicEmailRecipientList>();
}
std::shared_ptr<EventTypeSet> StoreDefinitionLibrary::NewEventTypeSet() {
  return std::make_shared<BasicEventTypeSet>();
}
std::shared_ptr<EventTypeReader> StoreDefinitionLibrary::NewEventTypeReader() {
  return std::make_shared<StoreEventTypeReader>(store_);
}

}  // namespace quillmont::store
