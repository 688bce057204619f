#include "quillmont/controls/selector.h"

#include <algorithm>
#include <unordered_map>

#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/keys.h"

namespace quillmont {
namespace detail {
namespace {

enum class Side { Available, Chosen, Gone };

// Sub-items beyond this index are refused: no list has that many columns,
// and a wild index must not allocate a wild amount.
constexpr int kMaxSubItem = 255;

}  // namespace

class SelectorRowImpl;

// What the selector, its rows and its row collections share. The row
// collections keep it alive, so rows handed out stay readable after the
// selector is gone.
struct SelectorModel {
  Selector* owner = nullptr;  // null once the selector is destroyed
  std::vector<std::string> captions;
  bool initialized = false;
  std::string filterText;
  bool filterEnabled = false;
  int filterColumnIndex = 1;

  // The rows of each side in display order. Rows that left a side stay in
  // its vector until the next Compact, so moving a row costs O(1).
  std::vector<std::shared_ptr<SelectorRowImpl>> available;
  std::vector<std::shared_ptr<SelectorRowImpl>> chosen;
  bool availableUnsorted = false;
  bool chosenUnsorted = false;
  // A row has left the side but is still in its vector. Without one, a
  // Compact has nothing to drop and costs nothing, so reading the rows one by
  // one through Item stays linear.
  bool availableStale = false;
  bool chosenStale = false;
  std::unordered_map<std::string, std::shared_ptr<SelectorRowImpl>> byKey;
  std::uint64_t nextOrdinal = 0;
  std::uint64_t nextChoice = 0;

  // The views show the rows as of the last sync.
  bool viewsStale = true;
  std::vector<std::shared_ptr<SelectorRowImpl>> availableView;
  std::vector<std::shared_ptr<SelectorRowImpl>> chosenView;

  std::vector<std::shared_ptr<SelectorRowImpl>>& Rows(Side side);
  void Compact(Side side);
  SelectorRowImpl* Find(const std::string& key) const;
  void MoveTo(SelectorRowImpl& row, Side side);
  bool Shown(const SelectorRowImpl& row) const;
  std::vector<std::string> CellsOf(const SelectorRowImpl& row) const;
  // The view of a side, or null once the selector is gone.
  ui::ListView* View(Side side) const {
    if (!owner || side == Side::Gone) return nullptr;
    return side == Side::Available ? owner->available_.get() : owner->chosen_.get();
  }
  void SyncViews() const {
    if (owner) owner->SyncViews();
  }
};

class SelectorRowImpl final : public SelectorRow, public std::enable_shared_from_this<SelectorRowImpl> {
 public:
  SelectorRowImpl(std::weak_ptr<SelectorModel> model, std::string text, std::string key, std::uint64_t ordinal)
      : model_(std::move(model)), text_(std::move(text)), key_(std::move(key)), ordinal_(ordinal) {}

  std::string Key() const override { return key_ + Selector::kKeySuffix; }
  std::string Text() const override { return text_; }
  std::string SubItem(int index) const override {
    if (index < 0 || index > kMaxSubItem)
      throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range: sub-item " + std::to_string(index));
    if (index == 0) return text_;
    const auto i = static_cast<std::size_t>(index);
    return i < subItems_.size() ? subItems_[i] : std::string();
  }
  void SetSubItem(int index, const std::string& text) override {
    if (index < 0 || index > kMaxSubItem)
      throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range: sub-item " + std::to_string(index));
    if (index == 0) {
      text_ = text;
    } else {
      const auto i = static_cast<std::size_t>(index);
      if (subItems_.size() <= i) subItems_.resize(i + 1);
      subItems_[i] = text;
    }
    if (auto model = model_.lock()) model->viewsStale = true;
  }
  bool Selected() const override {
    auto model = model_.lock();
    auto* view = model ? model->View(side) : nullptr;
    if (view && viewRow >= 0 && viewRow < view->ViewRowCount()) return view->IsRowSelected(viewRow);
    return selected;
  }
  void SetSelected(bool on) override {
    auto model = model_.lock();
    if (model) model->SyncViews();  // first: a sync reads the flags back from the views
    selected = on;
    if (!model) return;
    auto* view = model->View(side);
    if (view && viewRow >= 0) view->SetRowSelected(viewRow, on);  // not shown while the filter hides it
  }

  const std::string& PlainKey() const { return key_; }
  std::uint64_t Ordinal() const { return ordinal_; }

  Side side = Side::Available;
  bool inAvailable = true;  // present (perhaps stale) in SelectorModel::available
  bool inChosen = false;    // present (perhaps stale) in SelectorModel::chosen
  std::uint64_t choice = 0;
  bool selected = false;  // used while the row is in no view
  int viewRow = -1;

 private:
  std::weak_ptr<SelectorModel> model_;
  std::string text_;
  std::string key_;
  std::uint64_t ordinal_;
  std::vector<std::string> subItems_;
};

std::vector<std::shared_ptr<SelectorRowImpl>>& SelectorModel::Rows(Side side) {
  return side == Side::Chosen ? chosen : available;
}

void SelectorModel::Compact(Side side) {
  auto& rows = Rows(side);
  bool& stale = side == Side::Available ? availableStale : chosenStale;
  bool& unsorted = side == Side::Available ? availableUnsorted : chosenUnsorted;
  if (stale) {
    std::erase_if(rows, [side](const std::shared_ptr<SelectorRowImpl>& row) {
      if (row->side == side) return false;
      (side == Side::Available ? row->inAvailable : row->inChosen) = false;
      return true;
    });
    stale = false;
  }
  if (!unsorted) return;
  if (side == Side::Available)
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a->Ordinal() < b->Ordinal(); });
  else
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a->choice < b->choice; });
  unsorted = false;
}

SelectorRowImpl* SelectorModel::Find(const std::string& key) const {
  auto found = byKey.find(key);
  return found == byKey.end() ? nullptr : found->second.get();
}

void SelectorModel::MoveTo(SelectorRowImpl& row, Side side) {
  if (row.inAvailable && side != Side::Available) availableStale = true;
  if (row.inChosen && side != Side::Chosen) chosenStale = true;
  row.side = side;
  row.selected = false;
  row.viewRow = -1;
  if (side == Side::Chosen) {
    row.choice = ++nextChoice;
    if (row.inChosen)
      chosenUnsorted = true;  // still in the vector at its earlier place
    else
      chosen.push_back(row.shared_from_this());
    row.inChosen = true;
  } else {
    if (!row.inAvailable) available.push_back(row.shared_from_this());
    row.inAvailable = true;
    availableUnsorted = true;  // back to its place among the others
  }
  viewsStale = true;
}

bool SelectorModel::Shown(const SelectorRowImpl& row) const {
  if (!filterEnabled || filterText.empty()) return true;
  return row.SubItem(filterColumnIndex) == filterText;
}

std::vector<std::string> SelectorModel::CellsOf(const SelectorRowImpl& row) const {
  const int count = std::max<int>(1, static_cast<int>(captions.size()));
  std::vector<std::string> cells;
  cells.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) cells.push_back(row.SubItem(std::min(i, kMaxSubItem)));
  return cells;
}

namespace {

class SelectorRowsImpl final : public SelectorRows {
 public:
  SelectorRowsImpl(std::shared_ptr<SelectorModel> model, Side side) : model_(std::move(model)), side_(side) {}
  int Count() const override {
    model_->Compact(side_);
    return static_cast<int>(model_->Rows(side_).size());
  }
  std::shared_ptr<SelectorRow> Item(int position) const override {
    model_->Compact(side_);
    const auto& rows = model_->Rows(side_);
    if (position < 1 || static_cast<std::size_t>(position) > rows.size())
      throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range: row " + std::to_string(position));
    return rows[static_cast<std::size_t>(position - 1)];
  }

 private:
  std::shared_ptr<SelectorModel> model_;
  Side side_;
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

Selector::~Selector() { model_->owner = nullptr; }

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
  for (auto& row : m.available) {
    row->inAvailable = false;
    if (row->side != Side::Available) continue;
    row->side = Side::Gone;
    row->viewRow = -1;
    auto found = m.byKey.find(row->PlainKey());
    if (found != m.byKey.end() && found->second == row) m.byKey.erase(found);
  }
  m.available.clear();
  m.availableUnsorted = false;
  m.availableStale = false;
  m.viewsStale = true;
}

std::shared_ptr<SelectorRow> Selector::AddAvailable(const std::string& text, const std::string& key) {
  auto& m = *model_;
  auto row = std::make_shared<detail::SelectorRowImpl>(model_, text, key, m.nextOrdinal++);
  m.available.push_back(row);
  m.byKey.try_emplace(key, row);  // the first row with a key keeps it
  m.viewsStale = true;
  return row;
}

void Selector::EndFill() { SyncViews(); }

void Selector::ChooseItem(const std::string& key) {
  auto* row = model_->Find(key);
  if (row && row->side == Side::Available) model_->MoveTo(*row, Side::Chosen);
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
  const auto* row = model_->Find(key);
  return row && row->side == Side::Chosen;
}

bool Selector::IsAvailable(const std::string& key) const {
  const auto* row = model_->Find(key);
  return row && row->side == Side::Available;
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
  for (int r : rows) model_->MoveTo(*model_->availableView[static_cast<std::size_t>(r)], Side::Chosen);
  SyncViews();
  ChosenRowsChanged();
  return true;
}

bool Selector::RemoveSelected() {
  SyncViews();
  const auto rows = chosen_->SelectedRows();
  if (rows.empty()) return false;
  for (int r : rows) model_->MoveTo(*model_->chosenView[static_cast<std::size_t>(r)], Side::Available);
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
  for (std::size_t i = 0; i < m.availableView.size(); ++i)
    if (m.availableView[i]->viewRow == static_cast<int>(i) && i < static_cast<std::size_t>(available_->ViewRowCount()))
      m.availableView[i]->selected = available_->IsRowSelected(static_cast<int>(i));
  for (std::size_t i = 0; i < m.chosenView.size(); ++i)
    if (m.chosenView[i]->viewRow == static_cast<int>(i) && i < static_cast<std::size_t>(chosen_->ViewRowCount()))
      m.chosenView[i]->selected = chosen_->IsRowSelected(static_cast<int>(i));

  m.Compact(Side::Available);
  m.Compact(Side::Chosen);

  auto rebuild = [&m](ui::ListView& view, std::vector<std::shared_ptr<detail::SelectorRowImpl>>& rows,
                      std::vector<std::shared_ptr<detail::SelectorRowImpl>>& shown, bool filtered) {
    for (auto& row : shown) row->viewRow = -1;
    shown.clear();
    view.ClearViewRows();
    for (auto& row : rows) {
      row->viewRow = -1;
      if (filtered && !m.Shown(*row)) continue;
      row->viewRow = static_cast<int>(shown.size());
      shown.push_back(row);
      view.AppendViewRow(m.CellsOf(*row));
    }
    for (auto& row : shown)
      if (row->selected) view.SetRowSelected(row->viewRow, true);
  };
  m.viewsStale = false;
  rebuild(*available_, m.available, m.availableView, true);
  rebuild(*chosen_, m.chosen, m.chosenView, false);
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
