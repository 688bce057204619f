#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "quillmont/framework/definition.h"
#include "quillmont/platform/export.h"
#include "quillmont/platform/object.h"
#include "quillmont/platform/ui/control.h"
#include "quillmont/platform/ui/controls.h"

// The outside list and selector controls as the panels use them.
namespace quillmont {

// One column of a list: made by UiServices::NewListColumn, kept in a
// ListColumnSet. Width in twips.
class QUILLMONT_API ListColumn : public Object {
 public:
  ListColumn(int id, std::string caption, float width, int alignment, bool visible, int sortType)
      : id_(id),
        caption_(std::move(caption)),
        width_(width),
        alignment_(alignment),
        visible_(visible),
        sortType_(sortType) {}
  int Id() const noexcept { return id_; }
  const std::string& Caption() const noexcept { return caption_; }
  float Width() const noexcept { return width_; }
  void SetWidth(float width) noexcept { width_ = width; }
  int Alignment() const noexcept { return alignment_; }
  bool Visible() const noexcept { return visible_; }
  void SetVisible(bool visible) noexcept { visible_ = visible; }
  int SortType() const noexcept { return sortType_; }

 private:
  int id_;
  std::string caption_;
  float width_;
  int alignment_;
  bool visible_;
  int sortType_;
};

// A list's columns, with their layout (widths, display order, visibility)
// as a versioned text a host stores between uses.
class QUILLMONT_API ListColumnSet : public Object {
 public:
  // key and before are accepted for compatibility; the panels pass "".
  virtual void Add(std::shared_ptr<ListColumn> column, const std::string& key, const std::string& before) = 0;
  virtual int Count() const = 0;
  // Columns in display order, 1..Count.
  virtual std::shared_ptr<ListColumn> Item(int position) const = 0;
  // Moves a column (by id) to a display position; Error(InvalidProcedureCall)
  // for an unknown id.
  virtual void MoveColumn(int columnId, int position) = 0;
  // The layout as text. Setting accepts any text: what it cannot read it
  // ignores, and it never loses a column.
  virtual std::string LayoutState() const = 0;
  virtual void SetLayoutState(const std::string& state) = 0;
};

// The multi-column list of the SNMP and e-mail panels. Rows show the items of
// the collection in Items, column by column id. Several rows can be selected.
// SelectionChanged is raised whenever the set of selected rows changes, also
// by RemoveRow, SelectRow and ClearSelection; ContextMenu on a right-click.
class QUILLMONT_API XStaticList : public ui::ListView {
 public:
  using ui::ListView::ListView;

  virtual std::shared_ptr<ListColumnSet> Columns() const = 0;
  virtual void SetColumns(std::shared_ptr<ListColumnSet> columns) = 0;
  virtual bool ConfigFlag1() const = 0;
  virtual void SetConfigFlag1(bool on) = 0;
  virtual bool ConfigFlag2() const = 0;
  virtual void SetConfigFlag2(bool on) = 0;
  virtual bool ConfigFlag3() const = 0;
  virtual void SetConfigFlag3(bool on) = 0;

  // Never null: an empty collection until a panel hands one over. Setting
  // it shows that collection's items.
  virtual std::shared_ptr<ItemList> Items() const = 0;
  virtual void SetItems(std::shared_ptr<ItemList> items) = 0;
  // Appends the item to Items and shows it as the last row.
  virtual void AddRow(std::shared_ptr<ListItem> item) = 0;
  // Redraws the row of this item (it must be in Items).
  virtual void UpdateRow(std::shared_ptr<ListItem> item) = 0;
  // Removes the rows of these items (from Items too).
  virtual void RemoveRow(std::shared_ptr<ItemList> items) = 0;
  // Redraws every row from Items.
  virtual void RefreshRows() = 0;
  // Selects only the row at this position (1-based); nothing for a position
  // that is no row.
  virtual void SelectRow(int position) = 0;
  virtual void ClearSelection() = 0;
  virtual int RowCount() const = 0;
  virtual int SelectedCount() const = 0;
  // The selected items in row order.
  virtual std::shared_ptr<ItemList> SelectedItems() const = 0;
  // Columns' layout -> view, and view -> columns' layout.
  virtual void ApplyColumnLayout() = 0;
  virtual void CaptureColumnLayout() = 0;
};

// One row of a selector list.
class QUILLMONT_API SelectorRow : public Object {
 public:
  // The key as given to AddAvailable followed by the selector's one
  // appended character.
  virtual std::string Key() const = 0;
  virtual std::string Text() const = 0;
  // Sub-item i is column i + 1 (sub-item 1 is the second column).
  virtual std::string SubItem(int index) const = 0;
  virtual void SetSubItem(int index, const std::string& text) = 0;
  virtual bool Selected() const = 0;
  virtual void SetSelected(bool selected) = 0;
};

// A selector's row collection: Count, Item(1..Count), in display order.
class QUILLMONT_API SelectorRows : public Object {
 public:
  virtual int Count() const = 0;
  virtual std::shared_ptr<SelectorRow> Item(int position) const = 0;
};

// The two-list selector of the events panel: available rows on one side,
// chosen rows on the other; the user moves rows between them.
// ChosenRowsChanged is raised when the user chooses rows, ChosenRowsRemoved
// when the user takes rows back; the program's ChooseItem raises neither.
class QUILLMONT_API XSelector : public ui::Composite {
 public:
  using ui::Composite::Composite;

  virtual void AddColumn(const std::string& caption) = 0;
  virtual int ColumnCount() const = 0;
  virtual std::string ColumnCaption(int position) const = 0;  // 1-based
  virtual void SetInitialized(bool on) = 0;
  virtual bool Initialized() const = 0;
  // Available rows whose filter column differs from a non-empty filter text
  // are not shown.
  virtual void SetFilterText(const std::string& text) = 0;
  virtual std::string FilterText() const = 0;
  virtual bool FilterEnabled() const = 0;
  virtual void SetFilterEnabled(bool on) = 0;
  virtual int FilterColumnIndex() const = 0;
  virtual void SetFilterColumnIndex(int index) = 0;

  virtual void ClearAvailable() = 0;
  virtual std::shared_ptr<SelectorRow> AddAvailable(const std::string& text, const std::string& key) = 0;
  virtual void EndFill() = 0;
  // Moves the available row added with this key (without the appended
  // character) to the chosen rows; nothing when there is none.
  virtual void ChooseItem(const std::string& key) = 0;
  virtual void FinishLoad(std::int32_t mode) = 0;
  virtual std::shared_ptr<SelectorRows> ChosenItems() const = 0;
  virtual std::shared_ptr<SelectorRows> AvailableItems() const = 0;
  // Membership by key as added (without the appended character).
  virtual bool IsChosen(const std::string& key) const = 0;
  virtual bool IsAvailable(const std::string& key) const = 0;

  // The parts the user works with.
  virtual ui::ListView& AvailableList() = 0;
  virtual ui::ListView& ChosenList() = 0;
  virtual ui::CommandButton& ChooseButton() = 0;
  virtual ui::CommandButton& RemoveButton() = 0;

  ui::Signal<> ChosenRowsChanged;
  ui::Signal<> ChosenRowsRemoved;
};

// What a panel creates of the outside controls.
class QUILLMONT_API ControlLibrary : public Object {
 public:
  virtual std::shared_ptr<XStaticList> NewStaticList(const std::string& name) = 0;
  virtual std::shared_ptr<XSelector> NewSelector(const std::string& name) = 0;
  virtual std::shared_ptr<ListColumnSet> NewListColumnSet() = 0;
};

}  // namespace quillmont
