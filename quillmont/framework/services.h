#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "quillmont/framework/components.h"
#include "quillmont/framework/definition.h"
#include "quillmont/framework/message_box.h"
#include "quillmont/platform/export.h"
#include "quillmont/platform/object.h"
#include "quillmont/platform/ui/controls.h"
#include "quillmont/platform/variant.h"

// The host's services, as the panels call them.
namespace quillmont {

class QUILLMONT_API MessageService : public Object {
 public:
  // Shows a modal message and returns the answer code.
  virtual int ShowMessage(const std::string& prompt, int buttons, const std::string& title, const std::string& helpFile,
                          int helpContext) = 0;
};

// Companion object attached to a text box; the panel only holds it.
class QUILLMONT_API TextBoxExtension : public Object {};

// What GetFocusTarget returns.
class QUILLMONT_API FocusTarget : public Object {
 public:
  virtual void Activate() = 0;
};

class QUILLMONT_API UiServices : public Object {
 public:
  // ignoreCase true: letters compare without regard to case.
  virtual bool TextEquals(const std::string& a, const std::string& b, bool ignoreCase) = 0;
  // Whether text is a whole number within [minimum, maximum]. value receives
  // the number when it is, message a reason when it is not.
  virtual bool IsWholeNumberInRange(const std::string& text, const Variant& minimum, const Variant& maximum,
                                    Variant& value, std::string& message) = 0;
  virtual std::shared_ptr<ListColumn> NewListColumn(int columnId, const std::string& caption, float width,
                                                    int alignment, bool visible, int sortType) = 0;
  virtual std::shared_ptr<TextBoxExtension> AttachTextBox(ui::TextBox& textBox) = 0;
  virtual std::shared_ptr<FocusTarget> GetFocusTarget() = 0;
};

class QUILLMONT_API SettingEntry : public Object {
 public:
  virtual Variant Value() const = 0;
  virtual void SetValue(const Variant& value) = 0;
};

class QUILLMONT_API SettingsCollection : public Object {
 public:
  // The entry for the key; a missing key gives an empty entry that can be
  // written and read back.
  virtual std::shared_ptr<SettingEntry> Item(const Variant& key) = 0;
};

// A forward cursor over event group records with fields "Group_id",
// "Group_Name" and "Group_Label". (Eof stands for the record set's EOF,
// a name the C library already takes.)
class QUILLMONT_API GroupRecordSet : public Object {
 public:
  virtual std::int32_t RecordCount() const = 0;
  virtual bool Eof() const = 0;
  // The named field of the current record; may be null. Error(NotFound) for
  // an unknown field, Error(InvalidProcedureCall) past the end or after Close.
  virtual Variant Fields(const std::string& name) const = 0;
  virtual void MoveNext() = 0;
  virtual void Close() = 0;
};

class QUILLMONT_API AppContext : public Object {
 public:
  virtual std::shared_ptr<SettingsCollection> Settings() = 0;
  virtual bool IsValidEmailAddress(const std::string& address) = 0;
  virtual std::shared_ptr<EventTypeCollection> EventTypes() = 0;
  // Null when there are no group records to read.
  virtual std::shared_ptr<GroupRecordSet> GetEventGroups() = 0;
};

}  // namespace quillmont
