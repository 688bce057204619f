#include "quillmont/controls/selector.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/flat_storage.h"
#include "quillmont/platform/ui/keys.h"

namespace quillmont {
namespace detail {
namespace {

enum class Side : std::uint8_t { Available, Chosen, Gone };

// Sub-items beyond this index are refused: no list has that many columns,
// and a wild index must not allocate a wild amount.
constexpr int kMaxSubItem = 255;
constexpr std::uint32_t kNoRow = 0xFFFFFFFFU;
// Garbage a buffer may carry before it is compacted, beyond its live size.
constexpr std::size_t kSlack = 4096;

std::uint32_t HashOf(std::string_view key) { return ui::detail::HashText(key); }

void ThrowBadSubItem(int index) {
  throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range: sub-item " + std::to_string(index));
}

}  // namespace

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

  ui::BlockVector<RowRecord> rows;
  ui::TextArena text;
  // Storage of rows no longer shown (replaced texts, and the texts and
  // sub-items of rows gone since the last compaction): what a compaction
  // would give back. Counting the gone rows matters: every filter change
  // drops a whole fill, and without them the buffers grew on each one.
  std::size_t deadText = 0;
  // Buffers kept between compactions and syncs, so that a filter change
  // reuses memory instead of asking for fresh pages every time.
  ui::TextArena spareText;
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
  // Open addressing, linear probing: row position + 1, 0 for a free slot.
  std::vector<std::uint32_t> index;
  std::size_t indexedCount = 0;
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

void SideCells::ReadCells(int row, std::vector<std::string>& cells) const {
  const RowRecord& r = model->rows[rows[static_cast<std::size_t>(row)]];
  cells.reserve(static_cast<std::size_t>(columns));
  for (int i = 0; i < columns; ++i) cells.push_back(model->SubItem(r, std::min(i, kMaxSubItem)));
}

std::uint32_t SelectorModel::Pool(const std::string& value) {
  if (value.empty()) return 0;
  std::uint32_t& recent =
      recentPooled[(value.size() * 31 + static_cast<unsigned char>(value.back())) % recentPooled.size()];
  if (pool[recent] == value) return recent;
  auto [found, added] = poolIds.try_emplace(value, static_cast<std::uint32_t>(pool.size()));
  if (added) pool.push_back(value);
  return recent = found->second;
}

void SelectorModel::SetSubItem(std::uint32_t pos, int index, const std::string& value) {
  RowRecord& r = rows[pos];
  if (index == 0) {
    deadText += r.textSize;
    r.textOffset = Append(value);
    r.textSize = static_cast<std::uint32_t>(value.size());
    return;
  }
  const std::uint32_t id = Pool(value);
  const auto wanted = static_cast<std::uint32_t>(index);
  if (wanted > r.subCount) {
    if (r.subCount == 0 || r.subFirst + r.subCount != subItems.size()) {
      // Not last in the buffer: the row's sub-items move to its end.
      const std::size_t first = subItems.size();
      for (std::uint32_t i = 0; i < r.subCount; ++i) subItems.push_back(subItems[r.subFirst + i]);
      deadSubItems += r.subCount;
      r.subFirst = static_cast<std::uint32_t>(first);
    }
    subItems.resize(r.subFirst + wanted, 0);
    r.subCount = static_cast<std::uint16_t>(wanted);
  }
  subItems[r.subFirst + wanted - 1] = id;
}

std::uint32_t SelectorModel::PositionOf(std::uint64_t ordinal) const {
  std::size_t low = 0, high = rows.size();
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if (rows[mid].ordinal < ordinal)
      low = mid + 1;
    else
      high = mid;
  }
  return static_cast<std::uint32_t>(low);
}

void SelectorModel::IndexPending() {
  if (pendingFrom >= rows.size()) return;
  // Size the table once for all of them: growing it row by row would
  // rehash the entries over and over.
  std::size_t wanted = 64;
  while (wanted < (indexedCount + rows.size() - pendingFrom + 1) * 2) wanted *= 2;
  if (wanted > index.size()) {
    index.assign(wanted, 0);
    RebuildIndex();
  }
  for (; pendingFrom < rows.size(); ++pendingFrom) {
    RowRecord& r = rows[pendingFrom];
    r.keyHash = HashOf(KeyOf(r));
    IndexRow(static_cast<std::uint32_t>(pendingFrom));
  }
}

std::uint32_t SelectorModel::Find(std::string_view key) {
  IndexPending();
  if (index.empty()) return kNoRow;
  const std::uint32_t hash = HashOf(key);
  const std::size_t mask = index.size() - 1;
  for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const std::uint32_t entry = index[slot];
    if (entry == 0) return kNoRow;
    const RowRecord& r = rows[entry - 1];
    if (r.keyHash == hash && KeyOf(r) == key) return entry - 1;
  }
}

bool SelectorModel::IndexRow(std::uint32_t pos) {
  if ((indexedCount + 1) * 2 > index.size()) {
    // Twice the size; the records' stored hashes spare hashing the keys again.
    index.assign(std::max<std::size_t>(64, index.size() * 2), 0);
    RebuildIndex();
  }
  RowRecord& r = rows[pos];
  const std::size_t mask = index.size() - 1;
  std::size_t slot = r.keyHash & mask;
  for (; index[slot] != 0; slot = (slot + 1) & mask) {
    const RowRecord& other = rows[index[slot] - 1];
    if (other.keyHash == r.keyHash && KeyOf(other) == KeyOf(r)) return false;  // the first row keeps its key
  }
  index[slot] = pos + 1;
  ++indexedCount;
  r.indexed = true;
  return true;
}

void SelectorModel::RebuildIndex() {
  std::fill(index.begin(), index.end(), 0);
  indexedCount = 0;
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i].indexed) IndexRow(static_cast<std::uint32_t>(i));
}

void SelectorModel::DropStaleChoices() {
  if (!chosenStale) return;
  std::erase_if(chosen, [this](const Choice& c) {
    const RowRecord& r = rows[c.row];
    return r.side != Side::Chosen || r.choice != c.stamp;
  });
  chosenStale = false;
}

const std::vector<std::uint32_t>& SelectorModel::AvailableOrder() {
  if (availableOrderValid) return availableOrder;
  availableOrder.clear();
  availableOrder.reserve(availableCount);
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i].side == Side::Available) availableOrder.push_back(static_cast<std::uint32_t>(i));
  availableOrderValid = true;
  return availableOrder;
}

void SelectorModel::MoveTo(std::uint32_t pos, Side side) {
  RowRecord& r = rows[pos];
  if (r.side == Side::Available) --availableCount;
  if (r.side == Side::Chosen) chosenStale = true;
  r.side = side;
  r.selected = false;
  r.viewRow = -1;
  if (side == Side::Chosen) {
    r.choice = ++nextChoice;
    chosen.push_back({pos, r.choice});
  } else {
    ++availableCount;  // back to its place among the others: the records keep the order of adding
  }
  availableOrderValid = false;
  viewsStale = true;
}

std::vector<std::uint32_t> SelectorModel::ShownAvailable() {
  std::vector<std::uint32_t> shown = std::move(spareShown);
  shown.clear();
  shown.reserve(availableCount);
  const bool filtered = filterEnabled && !filterText.empty();
  if (filtered && filterColumnIndex > kMaxSubItem) ThrowBadSubItem(filterColumnIndex);
  if (filtered && filterColumnIndex > 0) {
    // Compare pool ids: a text not in the pool is no row's sub-item.
    const auto found = poolIds.find(filterText);
    const std::uint32_t wanted = found == poolIds.end() ? kNoRow : found->second;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const RowRecord& r = rows[i];
      if (r.side == Side::Available && SubId(r, filterColumnIndex) == wanted)
        shown.push_back(static_cast<std::uint32_t>(i));
    }
    return shown;
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const RowRecord& r = rows[i];
    if (r.side == Side::Available && (!filtered || TextOf(r) == filterText))
      shown.push_back(static_cast<std::uint32_t>(i));
  }
  return shown;
}

// Drops the gone rows nobody holds, and the texts no row uses; every
// position kept elsewhere is moved along.
void SelectorModel::Compact() {
  const bool dropRows = goneCount > goneKept;
  // A gone row whose text is replaced later counts twice: the live sizes
  // stop at zero.
  const auto live = [](std::size_t all, std::size_t dead) { return all > dead ? all - dead : 0; };
  const bool dropText = deadText > live(text.Size(), deadText) + kSlack;
  const bool dropSubItems = deadSubItems > live(subItems.size(), deadSubItems) + kSlack;
  const bool dropPool = pool.size() > rows.size() + kSlack;
  if (!dropRows && !dropText && !dropSubItems && !dropPool) return;

  moved.assign(dropRows ? rows.size() : 0, kNoRow);
  ui::TextArena& newText = spareText;
  newText.Clear();
  // The spare buffer keeps its capacity, so after a few compactions
  // neither buffer has to grow (and fault in fresh pages) again.
  std::vector<std::uint32_t> newSubItems = std::move(spareSubItems);
  newSubItems.clear();
  std::vector<std::string> newPool{std::string()};
  std::unordered_map<std::uint32_t, std::uint32_t> poolMoved;
  if (dropSubItems || dropPool) newSubItems.reserve(live(subItems.size(), deadSubItems));
  std::size_t write = 0;
  std::size_t pendingAt = pendingFrom;
  goneCount = 0;
  for (std::size_t read = 0; read < rows.size(); ++read) {
    if (read == pendingFrom) pendingAt = write;
    RowRecord r = rows[read];
    if (dropRows) {
      if (r.side == Side::Gone && r.handles == 0) continue;
      moved[read] = static_cast<std::uint32_t>(write);
    }
    if (r.side == Side::Gone) ++goneCount;
    if (dropText) {
      r.textOffset = newText.Add(text.View(r.textOffset, r.textSize));
      r.keyOffset = newText.Add(text.View(r.keyOffset, r.keySize));
    }
    if (dropSubItems || dropPool) {
      const auto first = static_cast<std::uint32_t>(newSubItems.size());
      for (std::uint32_t i = 0; i < r.subCount; ++i) {
        std::uint32_t id = subItems[r.subFirst + i];
        if (dropPool && id != 0) {
          auto [slot, added] = poolMoved.try_emplace(id, static_cast<std::uint32_t>(newPool.size()));
          if (added) newPool.push_back(std::move(pool[id]));
          id = slot->second;
        }
        newSubItems.push_back(id);
      }
      r.subFirst = first;
    }
    rows[write++] = r;
  }
  if (pendingFrom >= rows.size()) pendingAt = write;
  rows.truncate(write);
  pendingFrom = pendingAt;
  goneKept = goneCount;
  if (dropText) {
    text.Swap(newText);
    newText.Clear();
    deadText = 0;
  }
  if (dropSubItems || dropPool) {
    spareSubItems = std::exchange(subItems, std::move(newSubItems));
    deadSubItems = 0;
  } else {
    spareSubItems = std::move(newSubItems);
  }
  if (dropPool) {
    pool = std::move(newPool);
    poolIds.clear();
    for (std::uint32_t id = 1; id < pool.size(); ++id) poolIds.emplace(pool[id], id);
    recentPooled.fill(0);
  }
  if (!dropRows) return;
  for (auto& c : chosen) c.row = moved[c.row];
  std::erase_if(chosen, [](const Choice& c) { return c.row == kNoRow; });
  for (auto* view : {availableView.get(), chosenView.get()})
    if (view)
      for (auto& pos : view->rows) pos = moved[pos];
  for (auto& pos : availableOrder) pos = moved[pos];
  ++epoch;
  RebuildIndex();
}

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

namespace {

class SelectorRowsImpl final : public SelectorRows {
 public:
  SelectorRowsImpl(std::shared_ptr<SelectorModel> model, Side side) : model_(std::move(model)), side_(side) {}
  int Count() const override {
    if (side_ == Side::Available) return static_cast<int>(model_->availableCount);
    model_->DropStaleChoices();
    return static_cast<int>(model_->chosen.size());
  }
  std::shared_ptr<SelectorRow> Item(int position) const override {
    const int count = Count();
    if (position < 1 || position > count)
      throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range: row " + std::to_string(position));
    const auto i = static_cast<std::size_t>(position - 1);
    const std::uint32_t pos = side_ == Side::Available ? model_->AvailableOrder()[i] : model_->chosen[i].row;
    if (spare_ && spare_.use_count() == 1)
      spare_->Repoint(pos);
    else
      spare_ = std::make_shared<SelectorRowImpl>(model_, pos);
    return spare_;
  }

 private:
  std::shared_ptr<SelectorModel> model_;
  Side side_;
  // The handle Item gave last; pointed at the next row when nobody else
  // holds it, so reading every row makes one handle, not one per row.
  mutable std::shared_ptr<SelectorRowImpl> spare_;
};

}  // namespace
}  // namespace detail

using detail::Side;

Selector::Selector(std::string name)
    : XSelector(std::move(name)),
      model_(std::make_shared<detail::SelectorModel>()),
      available_(Add<ui::ListView>("lstAvailable")),
      chosen_(Add<ui::ListView>("lstChosen")),
      choose_(Add<ui::CommandButton>("cmdChoose", ">")),
      remove_(Add<ui::CommandButton>("cmdRemove", "<")) {
  model_->owner = this;
  available_->SetTabIndex(0);
  choose_->SetTabIndex(1);
  remove_->SetTabIndex(2);
  chosen_->SetTabIndex(3);
  choose_->Click.Connect([this] { ChooseSelected(); });
  remove_->Click.Connect([this] { RemoveSelected(); });
  // Enter in a view moves its selected rows across, as a double-click does.
  available_->KeyPress.Connect([this](ui::KeyPressArgs& e) {
    if (e.KeyAscii != ui::keys::Return) return;
    e.KeyAscii = 0;
    ChooseSelected();
  });
  chosen_->KeyPress.Connect([this](ui::KeyPressArgs& e) {
    if (e.KeyAscii != ui::keys::Return) return;
    e.KeyAscii = 0;
    RemoveSelected();
  });
}

Selector::~Selector() {
  spare_.reset();
  model_->owner = nullptr;
  // The views' cell readers keep the model; the model lets go of them.
  model_->availableView.reset();
  model_->chosenView.reset();
}

void Selector::AddColumn(const std::string& caption) {
  if (model_->initialized) {
    model_->captions.clear();
    model_->initialized = false;
  }
  model_->captions.push_back(caption);
}

int Selector::ColumnCount() const { return static_cast<int>(model_->captions.size()); }

std::string Selector::ColumnCaption(int position) const {
  if (position < 1 || position > ColumnCount())
    throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range: column " + std::to_string(position));
  return model_->captions[static_cast<std::size_t>(position - 1)];
}

void Selector::SetInitialized(bool on) {
  model_->initialized = on;
  if (!on) return;
  ShowColumns();
  model_->viewsStale = true;
  SyncViews();
}

bool Selector::Initialized() const { return model_->initialized; }

void Selector::SetFilterText(const std::string& text) {
  if (text == model_->filterText) return;
  model_->filterText = text;
  model_->viewsStale = true;
}

std::string Selector::FilterText() const { return model_->filterText; }
bool Selector::FilterEnabled() const { return model_->filterEnabled; }

void Selector::SetFilterEnabled(bool on) {
  if (on == model_->filterEnabled) return;
  model_->filterEnabled = on;
  model_->viewsStale = true;
}

int Selector::FilterColumnIndex() const { return model_->filterColumnIndex; }

void Selector::SetFilterColumnIndex(int index) {
  if (index < 0)
    throw Error(ErrorCode::InvalidPropertyValue, "Invalid property value: filter column " + std::to_string(index));
  if (index == model_->filterColumnIndex) return;
  model_->filterColumnIndex = index;
  model_->viewsStale = true;
}

void Selector::ClearAvailable() {
  auto& m = *model_;
  // Pending rows that all go now never held a key another row asks for.
  // One that stays (chosen since) may have, so then they are all offered.
  bool pendingStays = false;
  for (std::size_t i = m.pendingFrom; i < m.rows.size() && !pendingStays; ++i)
    pendingStays = m.rows[i].side != Side::Available;
  if (pendingStays) m.IndexPending();
  m.pendingFrom = m.rows.size();
  bool unindexed = false;
  for (std::size_t i = 0; i < m.rows.size(); ++i) {
    auto& r = m.rows[i];
    if (r.side != Side::Available) continue;
    r.side = Side::Gone;
    r.viewRow = -1;
    m.deadText += r.textSize + r.keySize;
    m.deadSubItems += r.subCount;
    unindexed = unindexed || r.indexed;
    r.indexed = false;
    ++m.goneCount;
  }
  if (unindexed) m.RebuildIndex();
  m.availableCount = 0;
  m.availableOrder.clear();
  m.availableOrderValid = true;
  m.viewsStale = true;
}

std::shared_ptr<SelectorRow> Selector::AddAvailable(const std::string& text, const std::string& key) {
  auto& m = *model_;
  detail::RowRecord r;
  r.ordinal = m.nextOrdinal++;
  r.textOffset = m.Append(text);
  r.textSize = static_cast<std::uint32_t>(text.size());
  r.keyOffset = m.Append(key);
  r.keySize = static_cast<std::uint32_t>(key.size());
  r.subFirst = static_cast<std::uint32_t>(m.subItems.size());
  const auto pos = static_cast<std::uint32_t>(m.rows.size());
  m.rows.push_back(r);
  ++m.availableCount;
  if (m.availableOrderValid) m.availableOrder.push_back(pos);
  m.viewsStale = true;
  if (spare_ && spare_.use_count() == 1)
    spare_->Repoint(pos);
  else
    spare_ = std::make_shared<detail::SelectorRowImpl>(model_, pos);
  return spare_;
}

void Selector::EndFill() { SyncViews(); }

void Selector::ChooseItem(const std::string& key) {
  const auto pos = model_->Find(key);
  if (pos != detail::kNoRow && model_->rows[pos].side == Side::Available) model_->MoveTo(pos, Side::Chosen);
}

void Selector::FinishLoad(std::int32_t /*mode*/) {
  SyncViews();
  if (chosen_->ViewRowCount() > 0) chosen_->SetTopRow(0);
}

std::shared_ptr<SelectorRows> Selector::ChosenItems() const {
  return std::make_shared<detail::SelectorRowsImpl>(model_, Side::Chosen);
}

std::shared_ptr<SelectorRows> Selector::AvailableItems() const {
  return std::make_shared<detail::SelectorRowsImpl>(model_, Side::Available);
}

bool Selector::IsChosen(const std::string& key) const {
  const auto pos = model_->Find(key);
  return pos != detail::kNoRow && model_->rows[pos].side == Side::Chosen;
}

bool Selector::IsAvailable(const std::string& key) const {
  const auto pos = model_->Find(key);
  return pos != detail::kNoRow && model_->rows[pos].side == Side::Available;
}

ui::ListView& Selector::AvailableList() {
  SyncViews();
  return *available_;
}

ui::ListView& Selector::ChosenList() {
  SyncViews();
  return *chosen_;
}

ui::CommandButton& Selector::ChooseButton() {
  SyncViews();
  return *choose_;
}

ui::CommandButton& Selector::RemoveButton() {
  SyncViews();
  return *remove_;
}

void Selector::SetFocus() {
  SyncViews();
  XSelector::SetFocus();
}

bool Selector::ChooseSelected() {
  SyncViews();
  const auto rows = available_->SelectedRows();
  if (rows.empty()) return false;
  const auto shown = model_->availableView;  // the positions stay put until the next sync
  for (int r : rows) model_->MoveTo(shown->rows[static_cast<std::size_t>(r)], Side::Chosen);
  SyncViews();
  ChosenRowsChanged();
  return true;
}

bool Selector::RemoveSelected() {
  SyncViews();
  const auto rows = chosen_->SelectedRows();
  if (rows.empty()) return false;
  const auto shown = model_->chosenView;
  for (int r : rows) model_->MoveTo(shown->rows[static_cast<std::size_t>(r)], Side::Available);
  SyncViews();
  ChosenRowsRemoved();
  return true;
}

void Selector::ShowColumns() {
  std::vector<ui::ListView::Column> columns;
  const auto& captions = model_->captions;
  // The row text (a name) gets twice the share of each sub-item column.
  const float width = captions.empty() ? 0.0F : available_->Width() / static_cast<float>(captions.size() + 1);
  for (std::size_t i = 0; i < captions.size(); ++i)
    columns.push_back({static_cast<int>(i + 1), captions[i], i == 0 ? 2 * width : width, true});
  available_->SetViewColumns(columns);
  chosen_->SetViewColumns(std::move(columns));
}

void Selector::SyncViews() {
  auto& m = *model_;
  if (!m.viewsStale) return;
  // Keep what the user selected in the views as they stand.
  const auto readBack = [&m](const detail::SideCells* shown, const ui::ListView& view) {
    if (!shown) return;
    const std::size_t count = std::min(shown->rows.size(), static_cast<std::size_t>(view.ViewRowCount()));
    for (std::size_t i = 0; i < count; ++i) {
      auto& r = m.rows[shown->rows[i]];
      if (r.viewRow == static_cast<int>(i)) r.selected = view.IsRowSelected(static_cast<int>(i));
    }
  };
  readBack(m.availableView.get(), *available_);
  readBack(m.chosenView.get(), *chosen_);

  const int columns = std::max<int>(1, static_cast<int>(m.captions.size()));
  auto available = std::make_shared<detail::SideCells>(model_, columns);
  available->rows = m.ShownAvailable();
  m.DropStaleChoices();
  auto chosen = std::make_shared<detail::SideCells>(model_, columns);
  chosen->rows.reserve(m.chosen.size());
  for (const auto& c : m.chosen) chosen->rows.push_back(c.row);
  for (std::size_t i = 0; i < m.rows.size(); ++i) m.rows[i].viewRow = -1;

  m.viewsStale = false;
  // The old views stay readable until each is replaced; records move only
  // after both are.
  const auto show = [&m](ui::ListView& view, std::shared_ptr<detail::SideCells>& slot,
                         std::shared_ptr<detail::SideCells> rows) {
    std::vector<int> selected;
    for (std::size_t i = 0; i < rows->rows.size(); ++i) {
      auto& r = m.rows[rows->rows[i]];
      r.viewRow = static_cast<int>(i);
      if (r.selected) selected.push_back(static_cast<int>(i));
    }
    const int count = static_cast<int>(rows->rows.size());
    auto old = std::exchange(slot, rows);
    view.ShowSourceRows(std::move(rows), count);
    if (old && old.use_count() == 1 && old->rows.capacity() > m.spareShown.capacity())
      m.spareShown = std::move(old->rows);  // nobody reads the old positions any more
    old.reset();
    for (int row : selected) view.SetRowSelected(row, true);
  };
  show(*available_, m.availableView, std::move(available));
  show(*chosen_, m.chosenView, std::move(chosen));
  m.Compact();
}

void Selector::OnSizeChanged() {
  Layout();
  ShowColumns();
}

void Selector::Layout() {
  constexpr float kGap = 60.0F;
  const float width = Width();
  const float height = Height();
  const float buttonWidth = std::min(495.0F, std::max(0.0F, width - 2 * kGap));
  const float buttonHeight = std::min(375.0F, std::max(0.0F, (height - kGap) / 2));
  const float listWidth = std::max(0.0F, (width - buttonWidth - 2 * kGap) / 2);
  const float middle = height / 2;
  available_->Move(0, 0, listWidth, height);
  choose_->Move(listWidth + kGap, std::max(0.0F, middle - kGap / 2 - buttonHeight), buttonWidth, buttonHeight);
  remove_->Move(listWidth + kGap, middle + kGap / 2, buttonWidth, buttonHeight);
  chosen_->Move(listWidth + 2 * kGap + buttonWidth, 0, listWidth, height);
}

}  // namespace quillmont
