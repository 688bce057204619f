#include <algorithm>
#include <charconv>
#include <functional>

#include "apps/editor/cell_width.h"
#include "apps/editor/dialogs.h"
#include "apps/editor/help.h"
#include "apps/editor/send_test.h"
#include "store/delivery_settings.h"

namespace quillmont::editor {
namespace {

constexpr const char* kTitle = "Delivery Settings";
using Settings = store::DeliverySettings;

struct Row {
  const char* label;
  std::function<std::string(const Settings&)> get;
  // Returns false (having said why) for text it cannot take.
  std::function<bool(Settings&, const std::string&)> set;
  std::vector<std::string> choices = {};  // chosen from a list when not empty
};

bool SetNumber(Screen& screen, int& field, const std::string& text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) {
    ShowMessageBox(screen, "Please enter a whole number.", msgbox::Exclamation, kTitle);
    return false;
  }
  field = value;
  return true;
}

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

std::vector<std::string> TlsNames() {
  std::vector<std::string> names;
  for (auto tls : store::kTlsModes) names.push_back(store::TlsName(tls));
  return names;
}

std::vector<Row> Rows(Screen& screen) {
  auto text = [](std::string Settings::*field) {
    return std::make_pair([field](const Settings& s) { return s.*field; },
                          [field](Settings& s, const std::string& v) { return s.*field = v, true; });
  };
  auto number = [&screen](int Settings::*field) {
    return std::make_pair(
        [field](const Settings& s) { return std::to_string(s.*field); },
        [&screen, field](Settings& s, const std::string& v) { return SetNumber(screen, s.*field, v); });
  };
  std::vector<Row> rows;
  auto add = [&rows](const char* label, auto accessors) { rows.push_back({label, accessors.first, accessors.second}); };
  add("SNMP community", text(&Settings::snmpCommunity));
  // Checked as it is entered: an OID that cannot go out exactly is refused.
  rows.push_back({"SNMP enterprise OID", [](const Settings& s) { return s.snmpEnterprise; },
                  [&screen](Settings& s, const std::string& v) {
                    Settings alone;  // the defaults, so that only the OID can be at fault
                    alone.snmpEnterprise = v;
                    try {
                      store::CheckDeliverySettings(alone);
                    } catch (const std::exception& e) {
                      ShowMessageBox(screen, e.what(), msgbox::Exclamation, kTitle);
                      return false;
                    }
                    s.snmpEnterprise = v;
                    return true;
                  }});
  add("SMTP server", text(&Settings::smtpServer));
  add("SMTP port", number(&Settings::smtpPort));
  rows.push_back({"SMTP TLS", [](const Settings& s) { return std::string(store::TlsName(s.smtpTls)); },
                  [](Settings& s, const std::string& v) { return s.smtpTls = store::TlsFromName(v), true; },
                  TlsNames()});
  add("From address", text(&Settings::mailFrom));
  add("SMTP user", text(&Settings::smtpUser));
  add("Password file", text(&Settings::smtpPasswordFile));
  add("SMTP CA file", text(&Settings::smtpCaFile));
  add("Default subject", text(&Settings::defaultSubject));
  rows.push_back({"Default message", [](const Settings& s) { return OneLine(s.defaultMessage); },
                  [](Settings& s, const std::string& v) { return s.defaultMessage = Lines(v), true; }});
  add("Connect timeout (s)", number(&Settings::connectTimeoutSeconds));
  add("Timeout (s)", number(&Settings::timeoutSeconds));
  return rows;
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
  const std::vector<Row> rows = Rows(screen);
  int selected = 0;
  bool changed = false;
  std::string status;
  LayerScope layer(screen, [&](Canvas& canvas) {
    const int width = canvas.Width();
    canvas.Fill({0, 0, canvas.Height(), width});
    canvas.Fill({0, 0, 1, width}, U' ', attr::Reverse);
    canvas.Text(0, 0, FitCells(std::string(" ") + kTitle + (changed ? "  [changed]" : ""), width),
                attr::Reverse | attr::Bold, width);
    for (std::size_t i = 0; i < rows.size() && static_cast<int>(i) + 2 < canvas.Height() - 3; ++i) {
      const int row = static_cast<int>(i) + 2;
      const std::uint8_t a = static_cast<int>(i) == selected ? attr::Reverse : attr::None;
      canvas.Fill({row, 0, 1, width}, U' ', a);
      canvas.Text(row, 1, rows[i].label, a | attr::Bold, 22);
      canvas.Text(row, 24, FitCells(rows[i].get(settings), std::max(0, width - 25)), a, std::max(0, width - 25));
    }
    const int note = static_cast<int>(rows.size()) + 3;
    const char* notes[] = {"In the default message \\n is a line break and \\\\ a backslash.",
                           "The SMTP password is never stored: it comes from QUILLMONT_SMTP_PASSWORD or the "
                           "password file, which only you may read."};
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
      const Row& row = rows[static_cast<std::size_t>(selected)];
      std::optional<std::string> value;
      if (!row.choices.empty()) {
        const auto at = std::find(row.choices.begin(), row.choices.end(), row.get(settings));
        const int chosen =
            ChooseFromList(screen, row.choices, {}, static_cast<int>(at - row.choices.begin()), selected + 3, 24);
        if (chosen >= 0) value = row.choices[static_cast<std::size_t>(chosen)];
      } else {
        value = AskText(screen, kTitle, std::string(row.label) + ":", row.get(settings), store::kMaxSettingLength);
      }
      if (value && *value != row.get(settings) && row.set(settings, *value)) changed = true;
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
