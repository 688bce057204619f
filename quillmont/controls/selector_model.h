#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "quillmont/controls/selector.h"
#include "quillmont/platform/ui/controls.h"
#include "quillmont/storage/flat_storage.h"

// The selector's model: its rows, their texts and keys, the key index and
// the two sides, apart from the control that shows them. Not installed.
namespace quillmont::detail {

enum class Side : std::uint8_t { Available, Chosen, Gone };

// Sub-items beyond this index are refused: no list has that many columns,
// and a wild index must not allocate a wild amount.
inline constexpr int kMaxSubItem = 255;
inline constexpr std::uint32_t kNoRow = 0xFFFFFFFFU;
// Garbage a buffer may carry before it is compacted, beyond its live size.
inline constexpr std::size_t kSlack = 4096;

inline std::uint32_t HashOf(std::string_view key) { return storage::HashText(key); }

[[noreturn]] void ThrowBadSubItem(int index);

// One row: its texts in SelectorModel::text, its sub-items 1..subCount as
// pool ids at SelectorModel::subItems[subFirst...].
struct RowRecord {
  std::uint64_t ordinal = 0;  // order of adding; the records stay sorted by it
  std::uint32_t choice = 0;   // stamp of the row's latest choosing
  std::uint32_t textOffset = 0;
  std::uint32_t textSize = 0;
  std::uint32_t keyOffset = 0;
  std::uint32_t keySize = 0;
  std::uint32_t keyHash = 0;
  std::uint32_t subFirst = 0;
  std::int32_t viewRow = -1;
  std::uint32_t handles = 0;  // SelectorRow handles on this row: kept while any
  std::uint16_t subCount = 0;
  Side side : 2 = Side::Available;
  bool selected : 1 = false;  // used while the row is in no view
  bool indexed : 1 = false;   // the key index names this row for its key
};
static_assert(sizeof(RowRecord) <= 48, "a row record stays small");

// The positions a view shows; the view reads the cells through it.
struct SideCells final : ui::ListView::CellSource {
  SideCells(std::shared_ptr<const SelectorModel> m, int c) : model(std::move(m)), columns(c) {}
  void ReadCells(int row, std::vector<std::string>& cells) const override;
  std::shared_ptr<const SelectorModel> model;
  int columns;
  std::vector<std::uint32_t> rows;
};

// What the selector, its rows and its row collections share. Handles and
// collections keep it alive, so rows handed out stay readable after the
// selector is gone.
struct SelectorModel {
  Selector* owner = nullptr;  // null once the selector is destroyed
  std::vector<std::string> captions;
  bool initialized = false;
  std::string filterText;
  bool filterEnabled = false;
  int filterColumnIndex = 1;

  storage::BlockVector<RowRecord> rows;
  storage::TextArena text;
  // Storage of rows no longer shown (replaced texts, and the texts and
  // sub-items of rows gone since the last compaction): what a compaction
  // would give back. Counting the gone rows matters: every filter change
  // drops a whole fill, and without them the buffers grew on each one.
  std::size_t deadText = 0;
  // Buffers kept between compactions and syncs, so that a filter change
  // reuses memory instead of asking for fresh pages every time.
  storage::TextArena spareText;
  std::vector<std::uint32_t> moved;
  std::vector<std::uint32_t> spareShown;
  std::vector<std::uint32_t> subItems;
  std::vector<std::uint32_t> spareSubItems;
  // Sub-items of rows gone or moved since the last compaction.
  std::size_t deadSubItems = 0;
  // Sub-item texts, each once; id 0 is the empty text.
  std::vector<std::string> pool{std::string()};
  std::unordered_map<std::string, std::uint32_t> poolIds;
  // A fill repeats a few texts (group names) in turn: recent ids by the
  // text's size and last character, found without hashing the text.
  std::array<std::uint32_t, 64> recentPooled{};
  // Row positions by key.
  storage::KeyIndex index;
  // Rows from this position on have not been offered to the index yet: a
  // fill that nobody looks up by key (a filter change) costs no hashing.
  std::size_t pendingFrom = 0;

  std::uint64_t nextOrdinal = 0;
  std::uint32_t nextChoice = 0;
  std::size_t availableCount = 0;
  std::size_t goneCount = 0;  // gone rows still in the records
  std::size_t goneKept = 0;   // of these, kept by the last compaction for their handles
  std::uint64_t epoch = 0;    // changes whenever records move

  // Chosen rows in the order chosen; an entry whose stamp is no longer its
  // row's (the row went back, or was chosen again) is dropped when read.
  struct Choice {
    std::uint32_t row;
    std::uint32_t stamp;
  };
  std::vector<Choice> chosen;
  bool chosenStale = false;
  // Positions of the available rows in order; rebuilt when needed.
  std::vector<std::uint32_t> availableOrder;
  bool availableOrderValid = true;

  // The views show the rows as of the last sync.
  bool viewsStale = true;
  std::shared_ptr<SideCells> availableView;
  std::shared_ptr<SideCells> chosenView;

  std::string_view TextOf(const RowRecord& r) const { return text.View(r.textOffset, r.textSize); }
  std::string_view KeyOf(const RowRecord& r) const { return text.View(r.keyOffset, r.keySize); }
  std::uint32_t SubId(const RowRecord& r, int index) const {
    return static_cast<std::uint32_t>(index) <= r.subCount ? subItems[r.subFirst + static_cast<std::size_t>(index) - 1]
                                                           : 0;
  }
  std::string SubItem(const RowRecord& r, int index) const {
    if (index < 0 || index > kMaxSubItem) ThrowBadSubItem(index);
    if (index == 0) return std::string(TextOf(r));
    return pool[SubId(r, index)];
  }
  void SetSubItem(std::uint32_t pos, int index, const std::string& value);
  std::uint32_t Pool(const std::string& value);
  std::uint32_t Append(std::string_view value) { return text.Add(value); }
  std::uint32_t PositionOf(std::uint64_t ordinal) const;

  std::uint32_t Find(std::string_view key);
  // Offers the pending rows to the index in the order they were added, as
  // if each had been offered when added.
  void IndexPending();
  bool IndexRow(std::uint32_t pos);  // false when the key is taken
  // The stored hash of a row's key (the index grows without hashing again).
  auto HashAt() const {
    return [this](std::uint32_t pos) { return rows[pos].keyHash; };
  }
  void RebuildIndex();
  void Compact();
  void DropStaleChoices();
  const std::vector<std::uint32_t>& AvailableOrder();
  void MoveTo(std::uint32_t pos, Side side);
  std::vector<std::uint32_t> ShownAvailable();

  // The view of a side, or null once the selector is gone.
  ui::ListView* View(Side side) const {
    if (!owner || side == Side::Gone) return nullptr;
    return side == Side::Available ? owner->available_.get() : owner->chosen_.get();
  }
  void SyncViews() const {
    if (owner) owner->SyncViews();
  }
};

// A handle on one row, as the selector and its row collections hand out.
class SelectorRowImpl final : public SelectorRow {
 public:
  SelectorRowImpl(std::shared_ptr<SelectorModel> model, std::uint32_t pos) : model_(std::move(model)) { Attach(pos); }
  ~SelectorRowImpl() override { --Record().handles; }

  // Points this handle at another row.
  void Repoint(std::uint32_t pos) {
    --Record().handles;
    Attach(pos);
  }

  std::string Key() const override {
    std::string key(model_->KeyOf(Record()));
    key += Selector::kKeySuffix;
    return key;
  }
  std::string Text() const override { return std::string(model_->TextOf(Record())); }
  std::string SubItem(int index) const override { return model_->SubItem(Record(), index); }
  void SetSubItem(int index, const std::string& text) override {
    if (index < 0 || index > kMaxSubItem) ThrowBadSubItem(index);
    model_->SetSubItem(Position(), index, text);
    model_->viewsStale = true;
  }
  bool Selected() const override {
    const RowRecord& r = Record();
    auto* view = model_->View(r.side);
    if (view && r.viewRow >= 0 && r.viewRow < view->ViewRowCount()) return view->IsRowSelected(r.viewRow);
    return r.selected;
  }
  void SetSelected(bool on) override {
    model_->SyncViews();  // first: a sync reads the flags back from the views
    RowRecord& r = Record();
    r.selected = on;
    auto* view = model_->View(r.side);
    if (view && r.viewRow >= 0) view->SetRowSelected(r.viewRow, on);  // not shown while the filter hides it
  }

 private:
  void Attach(std::uint32_t pos) {
    RowRecord& r = model_->rows[pos];
    ++r.handles;
    ordinal_ = r.ordinal;
    position_ = pos;
    epoch_ = model_->epoch;
  }
  std::uint32_t Position() const {
    if (epoch_ != model_->epoch) {
      position_ = model_->PositionOf(ordinal_);
      epoch_ = model_->epoch;
    }
    return position_;
  }
  RowRecord& Record() const { return model_->rows[Position()]; }

  std::shared_ptr<SelectorModel> model_;
  std::uint64_t ordinal_ = 0;
  mutable std::uint32_t position_ = 0;
  mutable std::uint64_t epoch_ = 0;
};

// The rows of one side, in their order.
std::shared_ptr<SelectorRows> MakeSelectorRows(std::shared_ptr<SelectorModel> model, Side side);

}  // namespace quillmont::detail
