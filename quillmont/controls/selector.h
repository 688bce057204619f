#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quillmont/framework/components.h"
#include "quillmont/platform/export.h"

namespace quillmont {

namespace detail {
struct SelectorModel;
class SelectorRowImpl;
}  // namespace detail

// The default two-list selector: the available rows on the left, the
// chosen rows on the right, and ">" / "<" between them.
//
// Keys: every row key is the key given to AddAvailable followed by "_".
// Keys are expected to be unique; ChooseItem, IsChosen and IsAvailable find
// the first row added with a key (a hash lookup, no scan).
//
// Storage: the rows are small records in one array, in the order they were
// added, their texts and keys in one shared buffer and their sub-items as
// ids of pooled texts; the key index is a table of row positions. The
// SelectorRow objects handed out are handles made when asked for; the two
// views hold only the positions they show and read a row's cells when these
// are looked at. So a row costs no allocation of its own.
//
// Rows move between the sides in constant time; the two views are brought
// up to date in one linear pass when they are next looked at: at EndFill,
// FinishLoad, any read of the row collections, the accessors of the views
// and buttons, focus, resize or a user action. So loading 100,000 rows and
// choosing 10,000 of them costs a few linear passes, not one per row.
//
// Filter: with FilterEnabled and a non-empty FilterText, the available
// view hides rows whose sub-item FilterColumnIndex (1 = second column,
// 0 = the row text) differs from the text. AvailableItems still holds them.
//
// Initialized(true) gives both views the columns added so far; a later
// AddColumn starts a new set of columns (a caller that initialises the
// selector again describes its columns afresh instead of doubling them).
// EndFill ends a fill of the available rows; FinishLoad ends a load (the
// chosen rows made by ChooseItem are shown, nothing is sorted).
//
// The user chooses the selected available rows with ">" or Enter in the
// available view (ChosenRowsChanged), and takes selected chosen rows back
// with "<" or Enter in the chosen view (ChosenRowsRemoved). A row taken
// back returns to its place among the available rows.
class QUILLMONT_API Selector : public XSelector {
 public:
  static constexpr char kKeySuffix = '_';

  explicit Selector(std::string name);
  ~Selector() override;

  void AddColumn(const std::string& caption) override;
  int ColumnCount() const override;
  // Error(SubscriptOutOfRange) outside 1..ColumnCount.
  std::string ColumnCaption(int position) const override;
  void SetInitialized(bool on) override;
  bool Initialized() const override;
  void SetFilterText(const std::string& text) override;
  std::string FilterText() const override;
  bool FilterEnabled() const override;
  void SetFilterEnabled(bool on) override;
  int FilterColumnIndex() const override;
  // Error(InvalidPropertyValue) for a negative index.
  void SetFilterColumnIndex(int index) override;

  void ClearAvailable() override;
  std::shared_ptr<SelectorRow> AddAvailable(const std::string& text, const std::string& key) override;
  void EndFill() override;
  void ChooseItem(const std::string& key) override;
  void FinishLoad(std::int32_t mode) override;
  std::shared_ptr<SelectorRows> ChosenItems() const override;
  std::shared_ptr<SelectorRows> AvailableItems() const override;
  bool IsChosen(const std::string& key) const override;
  bool IsAvailable(const std::string& key) const override;

  ui::ListView& AvailableList() override;
  ui::ListView& ChosenList() override;
  ui::CommandButton& ChooseButton() override;
  ui::CommandButton& RemoveButton() override;

  void SetFocus() override;

  // Moves the rows selected in one view to the other side, as the buttons
  // do (with the same events). Return whether any row moved.
  bool ChooseSelected();
  bool RemoveSelected();

 protected:
  void OnSizeChanged() override;

 private:
  friend struct detail::SelectorModel;
  QUILLMONT_LOCAL void SyncViews();
  QUILLMONT_LOCAL void ShowColumns();
  QUILLMONT_LOCAL void Layout();

  std::shared_ptr<detail::SelectorModel> model_;
  // The handle AddAvailable gave last; pointed at the next row when nobody
  // else holds it, so a fill makes one handle, not one per row.
  std::shared_ptr<detail::SelectorRowImpl> spare_;
  std::shared_ptr<ui::ListView> available_;
  std::shared_ptr<ui::ListView> chosen_;
  std::shared_ptr<ui::CommandButton> choose_;
  std::shared_ptr<ui::CommandButton> remove_;
};

}  // namespace quillmont
