#include <algorithm>

#include "quillmont/platform/error.h"
#include "quillmont/platform/ui/controls.h"
#include "quillmont/rules/text.h"
#include "quillmont/storage/utf8.h"

namespace quillmont::ui {

Label::Label(std::string name, std::string caption) : Control(std::move(name)), caption_(std::move(caption)) {
  SetTabStop(false);
}

TextBox::TextBox(std::string name) : Control(std::move(name)) {}

void TextBox::SetText(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  // The caret goes to the end, where a user continues typing.
  selStart_ = utf8::CharCount(text_);
  selLength_ = 0;
  Change();
}

void TextBox::SetSelection(std::size_t start, std::size_t length) {
  const std::size_t count = utf8::CharCount(text_);
  selStart_ = std::min(start, count);
  selLength_ = std::min(length, count - selStart_);
}

std::string TextBox::SelectedText() const {
  const std::size_t from = utf8::ByteOffset(text_, selStart_);
  const std::size_t to = utf8::ByteOffset(text_, selStart_ + selLength_);
  return text_.substr(from, to - from);
}

void TextBox::ReplaceSelection(std::string_view with) {
  const std::size_t from = utf8::ByteOffset(text_, selStart_);
  const std::size_t to = utf8::ByteOffset(text_, selStart_ + selLength_);
  text_.replace(from, to - from, with);
  selStart_ += utf8::CharCount(with);
  selLength_ = 0;
  Change();
}

bool TextBox::InsertText(std::string_view text) {
  std::string piece(text);
  if (!multiLine_) {
    // A single-line field keeps the first line of what is pasted.
    const auto eol = piece.find_first_of("\r\n");
    if (eol != std::string::npos) piece.resize(eol);
  }
  if (maxLength_ > 0) {
    const std::size_t kept = utf8::CharCount(text_) - selLength_;
    const std::size_t room = kept >= maxLength_ ? 0 : maxLength_ - kept;
    std::string cut = utf8::Left(piece, room);
    // A line break is two characters; half of one would leave a stray CR.
    if (cut.size() < piece.size() && !cut.empty() && cut.back() == '\r' && piece[cut.size()] == '\n') cut.pop_back();
    piece = std::move(cut);
  }
  if (piece.empty() && selLength_ == 0) return false;
  ReplaceSelection(piece);
  return true;
}

void TextBox::DefaultKeyDown(KeyEventArgs& e) {
  const std::size_t count = utf8::CharCount(text_);
  switch (e.KeyCode) {
    case keys::Delete:
      if (selLength_ == 0 && selStart_ < count) selLength_ = 1;
      if (selLength_ > 0) ReplaceSelection("");
      break;
    case keys::Left:
      selStart_ = selLength_ > 0 ? selStart_ : (selStart_ > 0 ? selStart_ - 1 : 0);
      selLength_ = 0;
      break;
    case keys::Right:
      selStart_ = selLength_ > 0 ? selStart_ + selLength_ : std::min(selStart_ + 1, count);
      selLength_ = 0;
      break;
    case keys::Home:
      selStart_ = 0;
      selLength_ = 0;
      break;
    case keys::End:
      selStart_ = count;
      selLength_ = 0;
      break;
    default:
      if (e.KeyCode == 'A' && (e.Shift & shift::Ctrl)) SetSelection(0, count);
      break;
  }
}

void TextBox::DefaultKeyPress(KeyPressArgs& e) {
  const int ch = e.KeyAscii;
  if (ch == keys::Back) {
    if (selLength_ == 0 && selStart_ > 0) {
      --selStart_;
      selLength_ = 1;
    }
    if (selLength_ > 0) ReplaceSelection("");
    return;
  }
  if (ch == keys::Return) {
    if (multiLine_) InsertText("\r\n");
    return;
  }
  if (ch < 32 || ch == 127) return;  // other control characters insert nothing
  InsertText(utf8::Encode(static_cast<char32_t>(ch)));
}

ComboBox::ComboBox(std::string name) : Control(std::move(name)) {}

void ComboBox::AddItem(std::string text) {
  items_.push_back({std::move(text), 0});
  newIndex_ = static_cast<int>(items_.size()) - 1;
}

void ComboBox::Clear() {
  items_.clear();
  listIndex_ = -1;
  newIndex_ = -1;
}

void ComboBox::CheckIndex(int index) const {
  if (index < 0 || index >= ListCount())
    throw Error(ErrorCode::InvalidPropertyValue, "Invalid property value: no item " + std::to_string(index));
}

const std::string& ComboBox::List(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)].text;
}

std::int32_t ComboBox::ItemData(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)].data;
}

void ComboBox::SetItemData(int index, std::int32_t data) {
  CheckIndex(index);
  items_[static_cast<std::size_t>(index)].data = data;
}

void ComboBox::SetListIndex(int index) {
  if (index != -1) CheckIndex(index);
  if (index == listIndex_) return;
  listIndex_ = index;
  if (index >= 0) Click();
}

std::string ComboBox::Text() const {
  return listIndex_ >= 0 ? items_[static_cast<std::size_t>(listIndex_)].text : std::string();
}

void ComboBox::SetText(const std::string& text) {
  for (int i = 0; i < ListCount(); ++i) {
    if (items_[static_cast<std::size_t>(i)].text == text) {
      SetListIndex(i);
      return;
    }
  }
  SetListIndex(-1);
}

void ComboBox::UserChoose(int index) {
  CheckIndex(index);
  listIndex_ = index;
  Click();
}

void ComboBox::DefaultKeyDown(KeyEventArgs& e) {
  if (items_.empty()) return;
  int next = listIndex_;
  switch (e.KeyCode) {
    case keys::Up:
      next = std::max(0, listIndex_ - 1);
      break;
    case keys::Down:
      next = std::min(ListCount() - 1, listIndex_ + 1);
      break;
    case keys::Home:
      next = 0;
      break;
    case keys::End:
      next = ListCount() - 1;
      break;
    default:
      return;
  }
  if (next != listIndex_) UserChoose(next);
}

void ComboBox::DefaultKeyPress(KeyPressArgs& e) {
  // A letter picks the next item that starts with it, as in any list.
  if (e.KeyAscii <= 32 || e.KeyAscii > 127 || items_.empty()) return;
  // ASCII folding only: the first letter matches whatever the locale.
  const char wanted = rules::FoldAscii(static_cast<char>(e.KeyAscii));
  for (int step = 1; step <= ListCount(); ++step) {
    const int i = (std::max(listIndex_, -1) + step) % ListCount();
    const std::string& t = items_[static_cast<std::size_t>(i)].text;
    if (!t.empty() && rules::FoldAscii(t[0]) == wanted) {
      UserChoose(i);
      return;
    }
  }
}

CommandButton::CommandButton(std::string name, std::string caption)
    : Control(std::move(name)), caption_(std::move(caption)) {}

void CommandButton::DefaultKeyPress(KeyPressArgs& e) {
  if (e.KeyAscii == keys::Return || e.KeyAscii == keys::Space) Click();
}

MenuItem::MenuItem(std::string name, std::string caption) : name_(std::move(name)), caption_(std::move(caption)) {}

PopupMenu::PopupMenu(std::string name, std::string caption) : name_(std::move(name)), caption_(std::move(caption)) {}

std::shared_ptr<MenuItem> PopupMenu::AddItem(std::string name, std::string caption) {
  items_.push_back(std::make_shared<MenuItem>(std::move(name), std::move(caption)));
  return items_.back();
}

}  // namespace quillmont::ui
