#include <algorithm>

#include "apps/editor/cell_width.h"
#include "apps/editor/dialogs.h"
#include "apps/editor/help.h"
#include "apps/editor/send_test.h"
#include "apps/session/delivery_fields.h"
#include "store/delivery_settings.h"

namespace quillmont::editor {
namespace {

constexpr const char* kTitle = session::kDeliverySettingsTitle;
using Settings = store::DeliverySettings;

// The message is edited on one line: a line break shows as \n and a
// backslash as \\; any other backslash stands for itself.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\\n") : c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out;
}
std::string Lines(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (text[i] == '\\' && (next == 'n' || next == '\\')) {
      out += next == 'n' ? '\n' : '\\';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// A field's text on the screen's one line.
std::string Shown(const session::DeliveryField& field, const Settings& settings) {
  return field.multiLine ? OneLine(field.get(settings)) : field.get(settings);
}

const std::vector<KeyHint>& Keys() {
  static const std::vector<KeyHint> keys = {
      {"Enter", "change"}, {"Ctrl+S", "save"}, {"Esc", "close"}, {"Up/Down", "choose"}, {"F1", "this help", false}};
  return keys;
}

}  // namespace

void EditDeliverySettings(Screen& screen, store::Store& store) {
  Settings settings;
  try {
    settings = store::LoadDeliverySettings(store);
  } catch (const std::exception& e) {
    ShowMessageBox(screen, std::string(e.what()) + "\n\nThe defaults are shown instead.", msgbox::Exclamation, kTitle);
  }
  const std::vector<session::DeliveryField>& rows = session::DeliveryFields();
  int selected = 0, top = 0;
  bool changed = false;
  std::string status;
  LayerScope layer(screen, [&](Canvas& canvas) {
    const int width = canvas.Width();
    canvas.Fill({0, 0, canvas.Height(), width});
    canvas.Fill({0, 0, 1, width}, U' ', attr::Reverse);
    canvas.Text(0, 0, FitCells(std::string(" ") + kTitle + (changed ? "  [changed]" : ""), width),
                attr::Reverse | attr::Bold, width);
    // On a short terminal the fields scroll so that the selected one stays in view.
    const int count = static_cast<int>(rows.size());
    const int room = std::clamp(canvas.Height() - 5, 1, count);
    top = std::clamp(top, std::max(0, selected - room + 1), std::min(selected, count - room));
    for (int i = top; i < top + room; ++i) {
      const int row = i - top + 2;
      const std::uint8_t a = i == selected ? attr::Reverse : attr::None;
      const session::DeliveryField& field = rows[static_cast<std::size_t>(i)];
      canvas.Fill({row, 0, 1, width}, U' ', a);
      canvas.Text(row, 1, field.label, a | attr::Bold, 22);
      canvas.Text(row, 24, FitCells(Shown(field, settings), std::max(0, width - 25)), a, std::max(0, width - 25));
    }
    const int note = room + 3;
    const char* notes[] = {"In the default message \\n is a line break and \\\\ a backslash.", session::kPasswordNote};
    for (int i = 0; i < 2 && note + i < canvas.Height() - 1; ++i)
      canvas.Text(note + i, 1, FitCells(notes[i], width - 2), attr::Dim, width - 2);
    DrawStatusLine(canvas, canvas.Height() - 1, status, Keys());
  });
  auto save = [&] {
    try {
      store::SaveDeliverySettings(store, settings);
      changed = false;
      status = store.ReadOnly() ? "Kept for this run (the database is read-only)" : "Saved";
      return true;
    } catch (const std::exception& e) {
      ShowMessageBox(screen, std::string("The settings were not saved.\n\n") + e.what(), msgbox::Critical, kTitle);
      return false;
    }
  };
  for (;;) {
    const InputEvent e = screen.Next();
    status.clear();
    const int count = static_cast<int>(rows.size());
    if (e.kind == InputEvent::Kind::Closed) return;
    if (e.IsKey(ui::keys::Up)) selected = (selected + count - 1) % count;
    if (e.IsKey(ui::keys::Down)) selected = (selected + 1) % count;
    if (e.IsKey(FunctionKey(1))) ShowHelp(screen, kTitle, Keys());
    if (e.IsKey('S', ui::shift::Ctrl)) save();
    if (e.IsKey(ui::keys::Return)) {
      const session::DeliveryField& row = rows[static_cast<std::size_t>(selected)];
      const std::string shown = Shown(row, settings);
      std::optional<std::string> value;
      if (!row.choices.empty()) {
        const auto at = std::find(row.choices.begin(), row.choices.end(), shown);
        const int chosen =
            ChooseFromList(screen, row.choices, {}, static_cast<int>(at - row.choices.begin()), selected - top + 3, 24);
        if (chosen >= 0) value = row.choices[static_cast<std::size_t>(chosen)];
      } else {
        value = AskText(screen, kTitle, std::string(row.label) + ":", shown, store::kMaxSettingLength);
      }
      if (!value || *value == shown) continue;
      if (const auto refused = row.set(settings, row.multiLine ? Lines(*value) : *value))
        ShowMessageBox(screen, *refused, msgbox::Exclamation, kTitle);
      else
        changed = true;
    }
    if (e.IsKey(ui::keys::Escape) || e.IsKey(FunctionKey(10))) {
      if (!changed) return;
      const int choice =
          AskChoice(screen, "Save the changed delivery settings?", {"Save", "Discard", "Go back"}, kTitle);
      if (choice == 1 || (choice == 0 && save())) return;
    }
  }
}

}  // namespace quillmont::editor
