#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quillmont/platform/export.h"
#include "quillmont/platform/guid.h"
#include "quillmont/platform/object.h"
#include "quillmont/platform/variant.h"

// The host's notification definition object library, as the panels see it.
// Positions are 1-based, as hosts number them. Every operation may throw
// quillmont::Error; the panels pass such errors on.
namespace quillmont {

class SelectorRows;

// An object a list row shows: the text of each column, by column id.
class QUILLMONT_API ListItem : public Object {
 public:
  virtual std::string ColumnText(int columnId) const = 0;
};

// An ordered collection of list items: the collection behind a list's rows.
class QUILLMONT_API ItemList : public Object {
 public:
  virtual int Count() const = 0;
  // Error(SubscriptOutOfRange) outside 1..Count.
  virtual std::shared_ptr<ListItem> Item(int position) const = 0;
  // Error(TypeMismatch) for an item this collection cannot hold.
  virtual void Add(std::shared_ptr<ListItem> item) = 0;
  // Removes the items at these positions (any order, each once).
  virtual void RemoveAt(const std::vector<int>& positions) = 0;
  virtual void Clear() = 0;
};

// A plain ordered collection of any list items (a list's selected items).
class QUILLMONT_API GenericItemList final : public ItemList {
 public:
  int Count() const override { return static_cast<int>(items_.size()); }
  std::shared_ptr<ListItem> Item(int position) const override;
  void Add(std::shared_ptr<ListItem> item) override;
  void RemoveAt(const std::vector<int>& positions) override;
  void Clear() override { items_.clear(); }

 private:
  std::vector<std::shared_ptr<ListItem>> items_;
};

// Column ids under which an SNMP manager shows its values.
namespace snmp_columns {
inline constexpr int Host = 256;
inline constexpr int Port = 512;
inline constexpr int Version = 768;
inline constexpr int TimeFormat = 1024;
}  // namespace snmp_columns
// Column id under which a recipient shows its address.
inline constexpr int kAddressColumn = 1;

class QUILLMONT_API SnmpManager : public ListItem {
 public:
  virtual void Init(const std::string& ownerKey, const std::string& host, std::int32_t port, const std::string& version,
                    const std::string& timeFormat) = 0;
  virtual void Update(const std::string& host, std::int32_t port, const std::string& version,
                      const std::string& timeFormat) = 0;
  virtual std::string OwnerKey() const = 0;
  virtual std::string Host() const = 0;
  virtual std::int32_t Port() const = 0;
  virtual std::string Version() const = 0;
  virtual std::string TimeFormat() const = 0;
};

class QUILLMONT_API SnmpManagerList : public ItemList {
 public:
  // Item(position) as an SnmpManager.
  virtual std::shared_ptr<SnmpManager> Manager(int position) const = 0;
};

class QUILLMONT_API EmailRecipient : public ListItem {
 public:
  // ownerKey holds the definition's owner key as text; the third argument is
  // passed empty. The result is not used by the panels.
  virtual Variant Init(const Variant& ownerKey, const std::string& address, const Variant& reserved) = 0;
  virtual std::string OwnerKey() const = 0;
  virtual std::string Address() const = 0;
  virtual void SetAddress(const std::string& address) = 0;
};

class QUILLMONT_API EmailRecipientList : public ItemList {
 public:
  virtual std::shared_ptr<EmailRecipient> Recipient(int position) const = 0;
};

class QUILLMONT_API EventType : public Object {
 public:
  virtual std::string Key() const = 0;
  virtual std::string Name() const = 0;
  virtual std::int32_t GroupID() const = 0;
};

// Event types in their own order, with lookup by key.
class QUILLMONT_API EventTypeCollection : public Object {
 public:
  virtual int Count() const = 0;
  // Enumeration: position 1..Count.
  virtual std::shared_ptr<EventType> ItemAt(int position) const = 0;
  // The event type with this key, or null when there is none (no error).
  virtual std::shared_ptr<EventType> Item(const std::string& key) const = 0;
};

// A set of event types, hashed by key.
class QUILLMONT_API EventTypeSet : public Object {
 public:
  virtual void Add(std::shared_ptr<EventType> eventType) = 0;
  virtual bool Exists(const std::string& key) const = 0;
  virtual int Count() const = 0;
};

// Reads the event types stored for a notification.
class QUILLMONT_API EventTypeReader : public Object {
 public:
  virtual std::shared_ptr<EventTypeCollection> GetEventTypes(std::int32_t notificationId) = 0;
};

class QUILLMONT_API NotificationDefinition : public Object {
 public:
  static constexpr Guid kInterfaceId{
      {0xE3, 0xFE, 0x2D, 0xEF, 0x3C, 0x53, 0x40, 0xD7, 0x99, 0x00, 0xC3, 0x07, 0xCE, 0x73, 0x06, 0x27}};

  // Called once by the SNMP (e-mail) panel's LoadData before anything is read.
  virtual void LoadSnmpDetails() = 0;
  virtual void LoadEmailDetails() = 0;
  // True while nothing of the definition is stored yet.
  virtual bool IsNew() const = 0;
  virtual bool HasSnmp() const = 0;
  virtual bool HasEmail() const = 0;

  // Null when there is no list.
  virtual std::shared_ptr<SnmpManagerList> SnmpManagers() const = 0;
  virtual void SetSnmpManagers(std::shared_ptr<SnmpManagerList> managers) = 0;
  virtual std::shared_ptr<EmailRecipientList> EmailRecipients() const = 0;
  virtual void SetEmailRecipients(std::shared_ptr<EmailRecipientList> recipients) = 0;
  virtual std::string ManagerOwnerKey() const = 0;
  virtual std::string RecipientOwnerKey() const = 0;

  // A null subject (message) reads as empty text; setting nullopt stores the
  // null that stands for the default.
  virtual std::string EmailSubject() const = 0;
  virtual void SetEmailSubject(const std::optional<std::string>& subject) = 0;
  virtual std::string EmailMessage() const = 0;
  virtual void SetEmailMessage(const std::optional<std::string>& message) = 0;

  virtual std::int32_t NotificationID() const = 0;
  // The group filter; 0 is all groups.
  virtual void SetEventGroupID(std::int32_t groupId) = 0;
  // The selector's chosen rows; each row key is an event type key followed
  // by the one character the selector appends.
  virtual void SetChosenEventTypes(std::shared_ptr<SelectorRows> chosenRows) = 0;
  // The event types chosen for this notification when the definition
  // carries them itself. Null (the default) has the events page ask the
  // definition library's EventTypeReader for those stored under
  // NotificationID.
  virtual std::shared_ptr<EventTypeCollection> StoredEventTypes() const { return nullptr; }
};

// What a panel creates of the definition library.
class QUILLMONT_API DefinitionLibrary : public Object {
 public:
  virtual std::shared_ptr<SnmpManager> NewSnmpManager() = 0;
  virtual std::shared_ptr<SnmpManagerList> NewSnmpManagerList() = 0;
  virtual std::shared_ptr<EmailRecipient> NewEmailRecipient() = 0;
  virtual std::shared_ptr<EmailRecipientList> NewEmailRecipientList() = 0;
  virtual std::shared_ptr<EventTypeSet> NewEventTypeSet() = 0;
  virtual std::shared_ptr<EventTypeReader> NewEventTypeReader() = 0;
};

}  // namespace quillmont
