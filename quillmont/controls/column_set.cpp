#include "quillmont/controls/column_set.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>
#include <unordered_map>

#include "quillmont/platform/error.h"

namespace quillmont {
namespace {

constexpr std::string_view kVersionTag = "v1";

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return parts;
}

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

template <class Number>
bool ParseWhole(std::string_view s, Number& out) {
  s = TrimSpaces(s);
  if (s.empty()) return false;
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && ptr == s.data() + s.size();
}

bool ParseWidth(std::string_view s, float& out) {
  s = TrimSpaces(s);
  if (s.empty()) return false;
  float value = 0;
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || ptr != s.data() + s.size()) return false;
  if (!std::isfinite(value) || value < 0 || value > ColumnSet::kMaxWidth) return false;
  out = value;
  return true;
}

std::string FormatWidth(float width) {
  char buffer[64];
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, width);
  if (ec != std::errc()) return "0";
  return std::string(buffer, ptr);
}

}  // namespace

void ColumnSet::Add(std::shared_ptr<ListColumn> column, const std::string& /*key*/, const std::string& /*before*/) {
  if (!column) throw Error(ErrorCode::ObjectRequired, "Object required: no column to add");
  if (FindById(column->Id()))
    throw Error(ErrorCode::InvalidProcedureCall, "Invalid procedure call or argument: column " +
                                                     std::to_string(column->Id()) + " is already in the set");
  columns_.push_back(std::move(column));
}

std::shared_ptr<ListColumn> ColumnSet::Item(int position) const {
  if (position < 1 || position > Count())
    throw Error(ErrorCode::SubscriptOutOfRange, "Subscript out of range: column " + std::to_string(position));
  return columns_[static_cast<std::size_t>(position - 1)];
}

std::shared_ptr<ListColumn> ColumnSet::FindById(int columnId) const {
  for (const auto& c : columns_)
    if (c->Id() == columnId) return c;
  return nullptr;
}

void ColumnSet::MoveColumn(int columnId, int position) {
  auto it = std::find_if(columns_.begin(), columns_.end(), [&](const auto& c) { return c->Id() == columnId; });
  if (it == columns_.end())
    throw Error(ErrorCode::InvalidProcedureCall,
                "Invalid procedure call or argument: no column " + std::to_string(columnId));
  auto column = *it;
  columns_.erase(it);
  const auto index = static_cast<std::size_t>(std::clamp(position, 1, Count() + 1) - 1);
  columns_.insert(columns_.begin() + static_cast<std::ptrdiff_t>(index), std::move(column));
}

std::string ColumnSet::LayoutState() const {
  std::string text(kVersionTag);
  int position = 1;
  for (const auto& c : columns_) {
    text += ';';
    text += std::to_string(c->Id());
    text += ':';
    text += FormatWidth(c->Width());
    text += c->Visible() ? ":1:" : ":0:";
    text += std::to_string(position++);
  }
  return text;
}

void ColumnSet::SetLayoutState(const std::string& state) {
  const auto entries = Split(state, ';');
  if (TrimSpaces(entries.front()) != kVersionTag) return;  // empty, foreign or from a later version

  // Positions asked for, by column; columns the text does not place keep
  // their place relative to each other.
  std::unordered_map<const ListColumn*, std::int64_t> wanted;
  for (std::size_t i = 1; i < entries.size(); ++i) {
    const auto fields = Split(entries[i], ':');
    int id = 0;
    if (!ParseWhole(fields[0], id)) continue;
    auto column = FindById(id);
    if (!column) continue;
    float width = 0;
    if (fields.size() > 1 && ParseWidth(fields[1], width)) column->SetWidth(width);
    if (fields.size() > 2) {
      const auto v = TrimSpaces(fields[2]);
      if (v == "1") column->SetVisible(true);
      if (v == "0") column->SetVisible(false);
    }
    std::int64_t position = 0;
    if (fields.size() > 3 && ParseWhole(fields[3], position) && position >= 1 && position <= Count())
      wanted[column.get()] = position;
  }
  if (wanted.empty()) return;

  // Sort key: the asked position, or the present one; on a tie a column the
  // text placed goes first. Every column stays, each once.
  struct Slot {
    std::int64_t position;
    int placedFirst;
    std::size_t present;
    std::shared_ptr<ListColumn> column;
  };
  std::vector<Slot> slots;
  slots.reserve(columns_.size());
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    auto found = wanted.find(columns_[i].get());
    const bool placed = found != wanted.end();
    slots.push_back({placed ? found->second : static_cast<std::int64_t>(i + 1), placed ? 0 : 1, i, columns_[i]});
  }
  std::sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) {
    if (a.position != b.position) return a.position < b.position;
    if (a.placedFirst != b.placedFirst) return a.placedFirst < b.placedFirst;
    return a.present < b.present;
  });
  for (std::size_t i = 0; i < slots.size(); ++i) columns_[i] = std::move(slots[i].column);
}

}  // namespace quillmont
