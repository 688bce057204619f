#include "quillmont/controls/selector.h"

#include <algorithm>
#include <utility>

#include "quillmont/controls/selector_model.h"
#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/keys.h"

namespace quillmont {

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

std::shared_ptr<SelectorRows> Selector::ChosenItems() const { return detail::MakeSelectorRows(model_, Side::Chosen); }

std::shared_ptr<SelectorRows> Selector::AvailableItems() const {
  return detail::MakeSelectorRows(model_, Side::Available);
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
