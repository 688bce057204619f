#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "quillmont/platform/export.h"
#include "quillmont/platform/ui/control.h"

namespace quillmont::ui {

enum class Alignment { Left, Right, Center };

class QUILLMONT_API Label : public Control {
 public:
  Label(std::string name, std::string caption = {});
  ControlKind Kind() const noexcept override { return ControlKind::Label; }
  std::string Caption() const override { return caption_; }
  void SetCaption(std::string caption) { caption_ = std::move(caption); }
  Alignment TextAlignment() const noexcept { return alignment_; }
  void SetAlignment(Alignment a) noexcept { alignment_ = a; }

 private:
  std::string caption_;
  Alignment alignment_ = Alignment::Left;
};

enum class ScrollBars { None, Horizontal, Vertical, Both };

// A text field. MaxLength (characters, 0 = no limit) limits what the user
// types or pastes, never what the program sets. Change is raised for every
// change of the text, by the user or the program; setting the same text again
// raises nothing.
class QUILLMONT_API TextBox : public Control {
 public:
  explicit TextBox(std::string name);
  ControlKind Kind() const noexcept override { return ControlKind::TextBox; }
  bool IsFocusable() const noexcept override { return true; }

  const std::string& Text() const noexcept { return text_; }
  void SetText(std::string text);
  std::size_t MaxLength() const noexcept { return maxLength_; }
  void SetMaxLength(std::size_t chars) noexcept { maxLength_ = chars; }
  bool MultiLine() const noexcept { return multiLine_; }
  void SetMultiLine(bool on) noexcept { multiLine_ = on; }
  ScrollBars Scroll() const noexcept { return scrollBars_; }
  void SetScrollBars(ScrollBars s) noexcept { scrollBars_ = s; }

  // Caret and selection, in characters.
  std::size_t SelStart() const noexcept { return selStart_; }
  std::size_t SelLength() const noexcept { return selLength_; }
  void SetSelection(std::size_t start, std::size_t length);
  std::string SelectedText() const;

  // User editing: replaces the selection with text, cut to what MaxLength
  // still allows; returns whether anything changed. One Change at most.
  bool InsertText(std::string_view text);

  Signal<> Change;

  void DefaultKeyDown(KeyEventArgs& e) override;
  void DefaultKeyPress(KeyPressArgs& e) override;

 private:
  QUILLMONT_LOCAL void ReplaceSelection(std::string_view with);
  std::string text_;
  std::size_t maxLength_ = 0;
  bool multiLine_ = false;
  ScrollBars scrollBars_ = ScrollBars::None;
  std::size_t selStart_ = 0;
  std::size_t selLength_ = 0;
};

// A drop-down list in list style: only its items can be chosen. Click is
// raised whenever an item becomes the chosen one, by the user or the program
// (the user choosing the item already shown raises it too); clearing the
// choice raises nothing.
class QUILLMONT_API ComboBox : public Control {
 public:
  explicit ComboBox(std::string name);
  ControlKind Kind() const noexcept override { return ControlKind::ComboBox; }
  bool IsFocusable() const noexcept override { return true; }

  void AddItem(std::string text);
  void Clear();
  int ListCount() const noexcept { return static_cast<int>(items_.size()); }
  const std::string& List(int index) const;
  std::int32_t ItemData(int index) const;
  void SetItemData(int index, std::int32_t data);
  // Index of the item added last, -1 when none.
  int NewIndex() const noexcept { return newIndex_; }

  // -1 when nothing is chosen. Error(InvalidPropertyValue) out of range.
  int ListIndex() const noexcept { return listIndex_; }
  void SetListIndex(int index);
  // The chosen item's text, "" when none.
  std::string Text() const;
  // Chooses the item with exactly this text; a text that is no item chooses
  // nothing and raises no error.
  void SetText(const std::string& text);

  // The user picks an item (from the opened list): raises Click even when the
  // item was already chosen.
  void UserChoose(int index);

  void DefaultKeyDown(KeyEventArgs& e) override;
  void DefaultKeyPress(KeyPressArgs& e) override;

 private:
  struct Item {
    std::string text;
    std::int32_t data = 0;
  };
  QUILLMONT_LOCAL void CheckIndex(int index) const;
  std::vector<Item> items_;
  int listIndex_ = -1;
  int newIndex_ = -1;
};

// Enter or Space on a focused button presses it.
class QUILLMONT_API CommandButton : public Control {
 public:
  CommandButton(std::string name, std::string caption = {});
  ControlKind Kind() const noexcept override { return ControlKind::CommandButton; }
  bool IsFocusable() const noexcept override { return true; }
  std::string Caption() const override { return caption_; }
  void SetCaption(std::string caption) { caption_ = std::move(caption); }
  void DefaultKeyPress(KeyPressArgs& e) override;

 private:
  std::string caption_;
};

// A multi-column list of text rows in which the user selects rows: a click
// selects one row, Ctrl+click toggles a row, Shift+click selects a range;
// Up/Down/Home/End move, Shift with them extends, Space toggles. Row
// positions here are 0-based. SelectionChanged is raised once whenever the
// set of selected rows changes, whoever changed it.
class QUILLMONT_API ListView : public Control {
 public:
  struct Column {
    int id = 0;
    std::string caption;
    float width = 0;
    bool visible = true;
  };

  // Where a view's rows come from when a model keeps them: the view holds
  // only their count and selection and reads a row's cells when asked.
  class CellSource {
   public:
    virtual ~CellSource() = default;
    // The cells of view row `row` (0-based) into `cells`, which comes in empty.
    virtual void ReadCells(int row, std::vector<std::string>& cells) const = 0;
  };

  explicit ListView(std::string name);
  ~ListView() override;
  ControlKind Kind() const noexcept override { return ControlKind::ListView; }
  bool IsFocusable() const noexcept override { return true; }

  bool MultiSelect() const noexcept { return multiSelect_; }
  void SetMultiSelect(bool on) noexcept { multiSelect_ = on; }

  // Columns in display order.
  const std::vector<Column>& ViewColumns() const noexcept { return columns_; }
  void SetViewColumns(std::vector<Column> columns);

  int ViewRowCount() const noexcept { return static_cast<int>(selected_.size()); }
  // The reference stays valid until the rows next change.
  const std::vector<std::string>& RowCells(int row) const;
  // The same cells into `cells` (replacing what it held), kept nowhere else:
  // for a view that reads many rows once each.
  void ReadRowCells(int row, std::vector<std::string>& cells) const;
  void AppendViewRow(std::vector<std::string> cells);
  void SetRowCells(int row, std::vector<std::string> cells);
  // The same, copying from cells the caller keeps (a buffer it reuses).
  void AppendViewRowFrom(std::span<const std::string> cells);
  void SetRowCellsFrom(int row, std::span<const std::string> cells);
  // Removes the rows at these positions (any order); one SelectionChanged if
  // a selected row went.
  void RemoveViewRows(std::vector<int> rows);
  void ClearViewRows();
  // Replaces the rows by `count` rows read from `source`, none selected;
  // raises SelectionChanged as ClearViewRows does. Rows appended, set or
  // removed later are held by the view again.
  void ShowSourceRows(std::shared_ptr<const CellSource> source, int count);

  bool IsRowSelected(int row) const;
  int ViewSelectedCount() const noexcept { return selectedCount_; }
  std::vector<int> SelectedRows() const;
  // Program selection changes; each raises SelectionChanged once if the set
  // of selected rows changed.
  void SetRowSelected(int row, bool selected);
  void SelectOnly(int row);
  void ClearViewSelection();
  // The row with the keyboard caret, -1 when none; first row shown.
  int CaretRow() const noexcept { return caret_; }
  // Puts the caret on the row, leaving the selection as it is, and scrolls
  // it into view (hosts keep the caret in view): for a row just added.
  void ShowRow(int row);
  int TopRow() const noexcept { return topRow_; }
  void SetTopRow(int row);
  // Rows that PageUp/PageDown move by: the rows the host shows at a time.
  int PageRows() const noexcept { return pageRows_; }
  void SetPageRows(int rows) noexcept { pageRows_ = rows > 0 ? rows : 1; }

  // User actions.
  void UserClickRow(int row, int shiftState = 0);
  void UserClickEmpty();
  // Right-click: on an unselected row first selects just that row.
  void UserContextMenu(int row, float x = 0, float y = 0);

  Signal<> SelectionChanged;
  Signal<float, float> ContextMenu;

  void DefaultKeyDown(KeyEventArgs& e) override;
  void DefaultKeyPress(KeyPressArgs& e) override;

 private:
  // A held row's cells: cells_[first, first + count), their texts in text_.
  struct HeldRow {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
  };
  struct Cell {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
  };
  QUILLMONT_LOCAL void CheckRow(int row) const;
  // Applies a new selection state to one row without raising; true if changed.
  QUILLMONT_LOCAL bool Mark(int row, bool selected);
  QUILLMONT_LOCAL void SelectRange(int from, int to, bool keepOthers);
  QUILLMONT_LOCAL void EnsureVisible(int row);
  QUILLMONT_LOCAL HeldRow Hold(std::span<const std::string> cells);
  QUILLMONT_LOCAL bool SameCells(const HeldRow& row, std::span<const std::string> cells) const;
  // Turns source rows into held ones before an edit.
  QUILLMONT_LOCAL void HoldSourceRows();
  // Drops the texts and cells no row uses any more once they outweigh the rest.
  QUILLMONT_LOCAL void CompactIfWasteful();

  std::vector<Column> columns_;
  // Rows held by the view (unless source_ is set): one record each, every
  // cell's text in one shared buffer, so a row costs no allocation of its own.
  struct Storage;
  std::unique_ptr<Storage> storage_;
  std::size_t usedCells_ = 0;
  std::size_t usedText_ = 0;
  std::shared_ptr<const CellSource> source_;
  // One flag per row.
  std::vector<unsigned char> selected_;
  // Rows RowCells has handed out as vectors since the rows last changed.
  mutable std::unordered_map<int, std::vector<std::string>> shown_;
  int selectedCount_ = 0;
  int caret_ = -1;
  int anchor_ = -1;
  int topRow_ = 0;
  int pageRows_ = 10;
  bool multiSelect_ = true;
};

// A menu entry of a pop-up menu.
class QUILLMONT_API MenuItem {
 public:
  MenuItem(std::string name, std::string caption);
  const std::string& Name() const noexcept { return name_; }
  const std::string& Caption() const noexcept { return caption_; }
  bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool on) noexcept { enabled_ = on; }
  bool Visible() const noexcept { return visible_; }
  void SetVisible(bool on) noexcept { visible_ = on; }
  Signal<> Click;

 private:
  std::string name_;
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
};

// A pop-up (context) menu owned by a panel, never shown as a menu bar.
class QUILLMONT_API PopupMenu {
 public:
  PopupMenu(std::string name, std::string caption);
  const std::string& Name() const noexcept { return name_; }
  const std::string& Caption() const noexcept { return caption_; }
  std::shared_ptr<MenuItem> AddItem(std::string name, std::string caption);
  const std::vector<std::shared_ptr<MenuItem>>& Items() const noexcept { return items_; }

 private:
  std::string name_;
  std::string caption_;
  std::vector<std::shared_ptr<MenuItem>> items_;
};

// The panel itself: the root of its controls. It routes the user's keys to
// the active control (after its own handlers when KeyPreview is on), walks
// the tab order, answers access keys, holds the open pop-up menu and raises
// Resize when the host changes its size.
class QUILLMONT_API UserControl : public Container {
 public:
  explicit UserControl(std::string name);
  ~UserControl() override;
  ControlKind Kind() const noexcept override { return ControlKind::UserControl; }

  // The thread that created the panel: its services are that thread's, so
  // the host's calls and the user's gestures are taken only there.
  std::thread::id OwnerThread() const noexcept { return owner_; }

  bool KeyPreview() const noexcept { return keyPreview_; }
  void SetKeyPreview(bool on) noexcept { keyPreview_ = on; }

  // The control with the focus inside this panel, or null.
  Control* ActiveControl() const noexcept { return active_; }
  void SetActiveControl(Control* control);
  // Every control below the panel in tab order.
  std::vector<Control*> TabOrder() const;
  // Moves the focus to the next (or previous) control that can take it.
  void FocusNext(bool backwards = false);

  // The host sets the panel's size; Resize follows every change of it.
  void SetSize(float width, float height);
  Signal<> Resize;

  // Pop-up menus.
  std::shared_ptr<PopupMenu> AddPopupMenu(std::string name, std::string caption);
  void ShowPopupMenu(PopupMenu& menu, float x = 0, float y = 0);
  PopupMenu* OpenPopupMenu() const noexcept { return openPopup_; }
  void ClosePopupMenu() noexcept { openPopup_ = nullptr; }
  // Raised when a pop-up menu opens, so a host can draw it.
  Signal<PopupMenu&, float, float> PopupShown;

  // User input, routed as the window system routes it.
  void RouteKeyDown(KeyEventArgs& e);
  void RouteKeyPress(KeyPressArgs& e);
  void RouteKeyUp(KeyEventArgs& e);
  // Alt+letter: a label's key focuses the control after it in tab order, a
  // button's key presses it. Returns whether any control answered.
  bool RouteAccessKey(char letter);

 private:
  QUILLMONT_LOCAL Control* InputTarget() const noexcept;
  std::thread::id owner_ = std::this_thread::get_id();
  Control* active_ = nullptr;
  bool keyPreview_ = false;
  PopupMenu* openPopup_ = nullptr;
  std::vector<std::shared_ptr<PopupMenu>> menus_;
};

}  // namespace quillmont::ui
