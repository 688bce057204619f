#pragma once

#include <memory>
#include <string>
#include <vector>

#include "quillmont/framework/components.h"
#include "quillmont/platform/export.h"

namespace quillmont {

// The default column set. Its layout text is
//   "v1;<id>:<width>:<visible 0|1>:<position>;..."
// one entry per column, widths in the shortest text that reads back as the
// same float. Reading a layout takes what it can understand and ignores the
// rest, so a damaged or foreign settings value never costs a column.
class QUILLMONT_API ColumnSet : public ListColumnSet {
 public:
  // Widths beyond this many twips (about 70 cm) are taken for garbage.
  static constexpr float kMaxWidth = 1.0e6F;

  // Error(ObjectRequired) for no column, Error(InvalidProcedureCall) for a
  // column id the set already has (ids name columns in the layout text).
  void Add(std::shared_ptr<ListColumn> column, const std::string& key, const std::string& before) override;
  int Count() const override { return static_cast<int>(columns_.size()); }
  std::shared_ptr<ListColumn> Item(int position) const override;
  // Positions outside 1..Count are taken as the nearest end.
  void MoveColumn(int columnId, int position) override;
  std::string LayoutState() const override;
  void SetLayoutState(const std::string& state) override;

  // The column with this id, or null.
  std::shared_ptr<ListColumn> FindById(int columnId) const;

 private:
  std::vector<std::shared_ptr<ListColumn>> columns_;  // display order
};

}  // namespace quillmont
