#include "quillmont/controls/selector_model.h"

#include <algorithm>
#include <utility>

#include "quillmont/platform/error.h"

namespace quillmont::detail {

void ThrowBadSubItem(int index) {
  throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range: sub-item " + std::to_string(index));
}

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
  // Sized once for all of them: growing the table row by row would rehash
  // the entries over and over.
  index.Reserve(index.Count() + rows.size() - pendingFrom, HashAt());
  for (; pendingFrom < rows.size(); ++pendingFrom) {
    RowRecord& r = rows[pendingFrom];
    r.keyHash = HashOf(KeyOf(r));
    IndexRow(static_cast<std::uint32_t>(pendingFrom));
  }
}

std::uint32_t SelectorModel::Find(std::string_view key) {
  IndexPending();
  const std::uint32_t hash = HashOf(key);
  return index.Find(hash, [&](std::uint32_t pos) {
    const RowRecord& r = rows[pos];
    return r.keyHash == hash && KeyOf(r) == key;
  });
}

bool SelectorModel::IndexRow(std::uint32_t pos) {
  RowRecord& r = rows[pos];
  const bool added = index.Insert(
      r.keyHash, pos,
      [&](std::uint32_t other) {
        const RowRecord& o = rows[other];
        return o.keyHash == r.keyHash && KeyOf(o) == KeyOf(r);
      },
      HashAt());
  r.indexed = r.indexed || added;
  return added;
}

void SelectorModel::RebuildIndex() {
  index.Clear();
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
  storage::TextArena& newText = spareText;
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

std::shared_ptr<SelectorRows> MakeSelectorRows(std::shared_ptr<SelectorModel> model, Side side) {
  return std::make_shared<SelectorRowsImpl>(std::move(model), side);
}

}  // namespace quillmont::detail
