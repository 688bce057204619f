#include "apps/editor/dialogs.h"

#include <algorithm>
#include <cctype>

#include "apps/editor/cell_width.h"
#include "apps/editor/renderer.h"
#include "quillmont/platform/error.h"
#include "quillmont/rules/text.h"
#include "quillmont/storage/utf8.h"

namespace quillmont::editor {
namespace {

namespace keys = ui::keys;

struct ButtonSpec {
  const char* caption;
  int answer;
};

// The mark of a message box's icon.
const char* MarkOf(msgbox::Icon icon) {
  switch (icon) {
    case msgbox::Icon::Critical:
      return "(X)";
    case msgbox::Icon::Question:
      return "(?)";
    case msgbox::Icon::Exclamation:
      return "(!)";
    case msgbox::Icon::Information:
      return "(i)";
    default:
      return nullptr;
  }
}

int Chars(const std::string& s) { return TextCells(s); }

Rect Centered(const Canvas& canvas, int height, int width) {
  width = std::min(width, canvas.Width());
  height = std::min(height, canvas.Height());
  return {std::max(0, (canvas.Height() - height) / 2), std::max(0, (canvas.Width() - width) / 2), height, width};
}

void DrawDialogFrame(Canvas& canvas, const Rect& box, const std::string& title) {
  // Nothing of the dialog lands outside its box.
  canvas.SetClip(box);
  canvas.Fill(box, U' ');
  canvas.Box(box, attr::Bold);
  if (!title.empty() && box.width > 6) {
    canvas.Put(box.row, box.col + 2, U' ', attr::Bold);
    const int used = canvas.Text(box.row, box.col + 3, FitCells(title, box.width - 6), attr::Bold, box.width - 6);
    canvas.Put(box.row, box.col + 3 + used, U' ', attr::Bold);
  }
}

char32_t Lower(char32_t c) { return c < 128 ? static_cast<char32_t>(rules::FoldAscii(static_cast<char>(c))) : c; }

}  // namespace

std::vector<std::string> WrapText(const std::string& text, int width) {
  const std::u32string chars = utf8::Decode(text);
  std::vector<std::string> lines;
  for (const TextLine& line : DisplayLines(chars, std::max(1, width))) {
    std::size_t length = line.length;
    while (length > 0 && (chars[line.start + length - 1] == U' ' || chars[line.start + length - 1] == U'\t')) --length;
    std::string out;
    for (std::size_t k = line.start; k < line.start + length; ++k) out += utf8::Encode(chars[k]);
    lines.push_back(std::move(out));
  }
  return lines;
}

namespace {

// The buttons of specs under the prompt; focus is the one Enter presses,
// escape the answer of Esc (0: none).
int ShowButtons(Screen& screen, const std::string& prompt, const std::vector<ButtonSpec>& specs, const char* icon,
                int focus, int escape, const std::string& title) {
  focus = std::clamp(focus, 0, static_cast<int>(specs.size()) - 1);
  std::vector<Rect> buttonRects(specs.size());

  auto layer = [&](Canvas& canvas) {
    const int iconWidth = icon ? 4 : 0;
    const int maxText = std::max(10, std::min(canvas.Width() - 8, 64) - iconWidth);
    const std::vector<std::string> lines = WrapText(prompt, maxText);
    int textWidth = 0;
    for (const auto& l : lines) textWidth = std::max(textWidth, Chars(l));
    int buttonsWidth = 0;
    for (const auto& b : specs) buttonsWidth += Chars(b.caption) + 4 + 2;
    const int width = std::max({textWidth + iconWidth + 4, buttonsWidth + 2, Chars(title) + 8, 20});
    const Rect box = Centered(canvas, static_cast<int>(lines.size()) + 5, width);
    DrawDialogFrame(canvas, box, title.empty() ? "Quillmont" : title);
    if (icon) canvas.Text(box.row + 2, box.col + 2, icon, attr::Bold);
    for (std::size_t i = 0; i < lines.size(); ++i)
      canvas.Text(box.row + 2 + static_cast<int>(i), box.col + 2 + iconWidth, lines[i], attr::None,
                  box.width - 4 - iconWidth);
    const int row = box.Bottom() - 2;
    int col = box.col + std::max(1, (box.width - buttonsWidth + 2) / 2);
    for (std::size_t i = 0; i < specs.size(); ++i) {
      const std::string caption = std::string("[ &") + specs[i].caption + " ]";
      const std::uint8_t a = static_cast<int>(i) == focus ? attr::Reverse | attr::Bold : attr::None;
      const int used = DrawCaption(canvas, row, col, caption, a, -1);
      buttonRects[i] = {row, col, 1, used};
      col += used + 2;
    }
  };
  LayerScope scope(screen, layer);
  const int count = static_cast<int>(specs.size());
  for (;;) {
    const InputEvent e = screen.Next();
    switch (e.kind) {
      case InputEvent::Kind::Key:
        if (e.keyCode == keys::Left || e.keyCode == keys::Up || (e.keyCode == keys::Tab && e.shift))
          focus = (focus + count - 1) % count;
        else if (e.keyCode == keys::Right || e.keyCode == keys::Down || e.keyCode == keys::Tab)
          focus = (focus + 1) % count;
        else if (e.keyCode == keys::Return || e.keyCode == keys::Space)
          return specs[static_cast<std::size_t>(focus)].answer;
        else if (e.keyCode == keys::Escape && escape != 0)
          return escape;
        break;
      case InputEvent::Kind::Text:
      case InputEvent::Kind::Alt:
        if (e.ch == U' ') return specs[static_cast<std::size_t>(focus)].answer;
        for (const auto& b : specs)
          if (Lower(static_cast<char32_t>(b.caption[0])) == Lower(e.ch)) return b.answer;
        break;
      case InputEvent::Kind::Mouse:
        if (e.button != InputEvent::Button::Left) break;
        for (std::size_t i = 0; i < specs.size(); ++i)
          if (buttonRects[i].Contains(e.row, e.col)) return specs[i].answer;
        break;
      case InputEvent::Kind::Closed:
        return specs.back().answer;
      default:
        break;
    }
  }
}

}  // namespace

bool KeepWaiting(Screen& screen) {
  static const std::string text = "Waiting for another program to finish writing\u2026 (Esc stops waiting)";
  LayerScope note(screen, [](Canvas& canvas) {
    const int width = std::min(canvas.Width(), Chars(text) + 4);
    const Rect box = Centered(canvas, 3, width);
    DrawDialogFrame(canvas, box, "Database Busy");
    canvas.Text(box.row + 1, box.col + 2, FitCells(text, box.width - 4), attr::None, box.width - 4);
  });
  // The wait between two tries of the lock; other keys are dropped.
  const InputEvent e = screen.Poll(50);
  return !e.IsKey(ui::keys::Escape) && e.kind != InputEvent::Kind::Closed;
}

int ShowMessageBox(Screen& screen, const std::string& prompt, int buttons, const std::string& title) {
  const msgbox::Layout layout = msgbox::LayoutOf(buttons);
  std::vector<ButtonSpec> specs;
  for (const int answer : layout.answers) specs.push_back({msgbox::CaptionOf(answer), answer});
  return ShowButtons(screen, prompt, specs, MarkOf(layout.icon), static_cast<int>(layout.defaultButton), layout.escape,
                     title);
}

int AskChoice(Screen& screen, const std::string& prompt, const std::vector<std::string>& choices,
              const std::string& title) {
  std::vector<ButtonSpec> specs;
  constexpr int kFirst = 100;  // clear of the answer codes
  for (std::size_t i = 0; i < choices.size(); ++i) specs.push_back({choices[i].c_str(), kFirst + static_cast<int>(i)});
  // Esc and a closed terminal take the last choice, which backs out.
  specs.back().answer = msgbox::AnswerCancel;
  // Enter takes it too (it drops nothing).
  const int answer = ShowButtons(screen, prompt, specs, MarkOf(msgbox::Icon::Exclamation),
                                 static_cast<int>(choices.size()) - 1, msgbox::AnswerCancel, title);
  return answer == msgbox::AnswerCancel ? static_cast<int>(choices.size()) - 1 : answer - kFirst;
}

std::optional<std::string> AskText(Screen& screen, const std::string& title, const std::string& prompt,
                                   const std::string& initial, std::size_t maxLength) {
  ui::UserControl panel("dlgAskText");
  auto field = panel.Add<ui::TextBox>("txtAnswer");
  field->SetMaxLength(maxLength);
  field->SetText(initial);
  field->SetFocus();
  // Typing replaces what the field offers.
  field->SetSelection(0, utf8::CharCount(initial));
  PanelView view;
  Rect okRect, cancelRect;
  auto layer = [&](Canvas& canvas) {
    const int width = std::min(canvas.Width(), std::max(50, Chars(prompt) + 4));
    const Rect box = Centered(canvas, 7, width);
    DrawDialogFrame(canvas, box, title);
    canvas.Text(box.row + 1, box.col + 2, FitCells(prompt, box.width - 4), attr::None, box.width - 4);
    const Rect fieldArea{box.row + 3, box.col + 2, 1, std::max(1, box.width - 4)};
    panel.SetSize(TwipsWide(fieldArea.width), TwipsHigh(1));
    field->Move(0, 0, TwipsWide(fieldArea.width), TwipsHigh(1));
    view.Draw(canvas, panel, fieldArea);
    const int row = box.Bottom() - 2;
    const int col = box.col + std::max(1, box.width / 2 - 10);
    okRect = {row, col, 1, DrawCaption(canvas, row, col, "[ OK ]", attr::Bold, -1)};
    cancelRect = {row, col + 10, 1, DrawCaption(canvas, row, col + 10, "[ Cancel ]", attr::None, -1)};
  };
  LayerScope scope(screen, layer);
  for (;;) {
    const InputEvent e = screen.Next();
    if (e.IsKey(keys::Return)) return field->Text();
    if (e.IsKey(keys::Escape) || e.kind == InputEvent::Kind::Closed) return std::nullopt;
    if (e.kind == InputEvent::Kind::Mouse && e.button == InputEvent::Button::Left) {
      if (okRect.Contains(e.row, e.col)) return field->Text();
      if (cancelRect.Contains(e.row, e.col)) return std::nullopt;
      continue;
    }
    if (e.kind == InputEvent::Kind::Key && e.keyCode == keys::Tab) continue;
    DeliverKey(panel, e);
  }
}

int ChooseFromList(Screen& screen, const std::vector<std::string>& items, const std::vector<bool>& enabled, int current,
                   int row, int col, int minWidth) {
  return ChooseFromList(screen, items, enabled, current, [=] { return Rect{row - 1, col, 1, minWidth}; });
}

int ChooseFromList(Screen& screen, const std::vector<std::string>& items, const std::vector<bool>& enabled, int current,
                   const std::function<Rect()>& field) {
  if (items.empty()) return -1;
  const int count = static_cast<int>(items.size());
  auto usable = [&](int i) {
    return i >= 0 && i < count &&
           (enabled.size() <= static_cast<std::size_t>(i) || enabled[static_cast<std::size_t>(i)]);
  };
  int focus = std::clamp(current, 0, count - 1);
  int top = 0;
  Rect box;
  auto layer = [&](Canvas& canvas) {
    const Rect at = field();
    int width = at.width;
    for (const auto& item : items) width = std::max(width, Chars(item) + 2);
    width = std::min(width + 2, canvas.Width());
    int height = std::min(count + 2, std::max(3, canvas.Height()));
    int r = at.Bottom();
    if (r + height > canvas.Height()) r = at.row >= height ? at.row - height : std::max(0, canvas.Height() - height);
    const int c = std::clamp(at.col, 0, std::max(0, canvas.Width() - width));
    box = {r, c, height, width};
    const int visible = height - 2;
    if (focus < top) top = focus;
    if (focus >= top + visible) top = focus - visible + 1;
    canvas.SetClip(box);
    canvas.Fill(box, U' ');
    canvas.Box(box, attr::Bold);
    for (int i = 0; i < visible && top + i < count; ++i) {
      const int index = top + i;
      std::uint8_t a = usable(index) ? attr::None : attr::Dim;
      if (index == focus) a |= attr::Reverse;
      canvas.Fill({box.row + 1 + i, box.col + 1, 1, box.width - 2}, U' ', a);
      canvas.Text(box.row + 1 + i, box.col + 2, FitCells(items[static_cast<std::size_t>(index)], box.width - 4), a,
                  box.width - 4);
    }
  };
  LayerScope scope(screen, layer);
  auto step = [&](int from, int delta) {
    for (int i = from + delta; i >= 0 && i < count; i += delta)
      if (usable(i)) return i;
    return from;
  };
  for (;;) {
    const InputEvent e = screen.Next();
    switch (e.kind) {
      case InputEvent::Kind::Key:
        if (e.keyCode == keys::Up) focus = step(focus, -1);
        if (e.keyCode == keys::Down) focus = step(focus, 1);
        if (e.keyCode == keys::Home) focus = step(-1, 1);
        if (e.keyCode == keys::End) focus = step(count, -1);
        if (e.keyCode == keys::PageUp) focus = std::max(0, focus - std::max(1, box.height - 2));
        if (e.keyCode == keys::PageDown) focus = std::min(count - 1, focus + std::max(1, box.height - 2));
        if ((e.keyCode == keys::Return || e.keyCode == keys::Space) && usable(focus)) return focus;
        if (e.keyCode == keys::Escape || e.keyCode == keys::Tab) return -1;
        break;
      case InputEvent::Kind::Text:
        if (e.ch == U' ' && usable(focus)) return focus;
        for (int k = 1; k <= count; ++k) {
          const int i = (focus + k) % count;
          const std::u32string text = utf8::Decode(items[static_cast<std::size_t>(i)]);
          if (usable(i) && !text.empty() && Lower(text[0]) == Lower(e.ch)) {
            focus = i;
            break;
          }
        }
        break;
      case InputEvent::Kind::Mouse: {
        if (e.button == InputEvent::Button::Drag || e.button == InputEvent::Button::Release) break;
        if (!box.Contains(e.row, e.col)) return -1;
        if (e.button == InputEvent::Button::WheelUp) focus = step(focus, -1);
        if (e.button == InputEvent::Button::WheelDown) focus = step(focus, 1);
        const int index = top + (e.row - box.row - 1);
        if (e.button == InputEvent::Button::Left && e.row > box.row && e.row < box.Bottom() - 1 && usable(index))
          return index;
        break;
      }
      case InputEvent::Kind::Closed:
        return -1;
      default:
        break;
    }
  }
}

void ShowError(Screen& screen, const std::exception& error, const std::string& title) {
  ShowMessageBox(screen, error.what(), msgbox::Critical, title);
}

int TerminalMessageService::ShowMessage(const std::string& prompt, int buttons, const std::string& title,
                                        const std::string&, int) {
  return ShowMessageBox(screen_, prompt, buttons, title.empty() && untitled_ ? untitled_() : title);
}

}  // namespace quillmont::editor
