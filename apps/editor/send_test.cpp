#include "apps/editor/send_test.h"

#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "apps/editor/cell_width.h"
#include "apps/editor/dialogs.h"
#include "delivery/delivery.h"
#include "quillmont/framework/components.h"
#include "quillmont/platform/terminal_text.h"

namespace quillmont::editor {
namespace {

constexpr const char* kTitle = "Send Test";
// The message box icon of a plain report.
constexpr int kInformation = 64;

// The destinations of the list's chosen rows, through the item interfaces.
delivery::Notification Destinations(XStaticList& list, const std::string& name) {
  delivery::Notification n;
  n.name = name;
  auto items = list.SelectedCount() > 0 ? list.SelectedItems() : list.Items();
  for (int i = 1; i <= items->Count(); ++i) {
    auto item = items->Item(i);
    if (auto m = std::dynamic_pointer_cast<SnmpManager>(item))
      n.managers.push_back({m->Host(), m->Port(), m->Version(), m->TimeFormat()});
    else if (auto r = std::dynamic_pointer_cast<EmailRecipient>(item))
      n.recipients.push_back(r->Address());
  }
  return n;
}

std::optional<std::string> FieldText(ui::UserControl& page, const char* name) {
  if (auto* box = dynamic_cast<ui::TextBox*>(page.Find(name))) return box->Text();
  return std::nullopt;
}

std::string HostName() {
  char name[256] = {};
  return gethostname(name, sizeof name - 1) == 0 ? name : "localhost";
}

}  // namespace

bool SendTest(Screen& screen, store::Store& store, const std::string& notificationName, ui::UserControl& page) {
  auto* list = dynamic_cast<XStaticList*>(page.Find("stl"));
  if (!list) return false;
  delivery::Notification n = Destinations(*list, notificationName);
  // The texts as the page shows them now.
  n.subject = FieldText(page, "txtSubject");
  n.message = FieldText(page, "txtMessage");
  const std::size_t total = n.managers.size() + n.recipients.size();
  if (total == 0) {
    ShowMessageBox(screen, "There is nothing to send a test to: the list has no rows.", msgbox::Exclamation, kTitle);
    return true;
  }
  store::DeliverySettings settings;
  try {
    settings = store::SettingsForDelivery(store);
  } catch (const std::exception& e) {
    ShowMessageBox(screen, std::string("The delivery settings cannot be used: ") + e.what(), msgbox::Critical, kTitle);
    return true;
  }
  const delivery::Event event{"test", "Test", HostName(),
                              "This is a test of the notification \"" + notificationName + "\" from quillmont-editor.",
                              std::chrono::system_clock::now()};

  // The sender reports here; the screen reads it between its redraws.
  struct Shared {
    std::mutex mutex;
    std::vector<delivery::Outcome> outcomes;
    std::atomic<bool> cancel{false}, done{false};
  };
  auto shared = std::make_shared<Shared>();
  delivery::Options options;
  options.cancel = &shared->cancel;
  options.onOutcome = [shared](const delivery::Outcome& o) {
    std::lock_guard lock(shared->mutex);
    shared->outcomes.push_back(o);
  };
  std::thread sender([shared, n, event, settings, options] {
    try {
      delivery::Deliver(n, event, settings, options);
    } catch (const std::exception&) {
      // Outcomes not reported by then show as missing from the dialog.
    }
    shared->done = true;
  });
  // However the wait ends (a signal's exception included), the sender is
  // told to stop and is waited for.
  struct Joiner {
    std::thread& thread;
    Shared& shared;
    ~Joiner() {
      shared.cancel = true;
      thread.join();
    }
  };
  {
    Joiner joiner{sender, *shared};
    LayerScope progress(screen, [&](Canvas& canvas) {
      std::size_t finished;
      {
        std::lock_guard lock(shared->mutex);
        finished = shared->outcomes.size();
      }
      std::string line = shared->cancel ? " Cancelling the test..."
                                        : " Sending a test: " + std::to_string(finished) + " of " +
                                              std::to_string(total) + " done. Esc cancels.";
      const int row = canvas.Height() - 1;
      canvas.Fill({row, 0, 1, canvas.Width()}, U' ', attr::Reverse | attr::Bold);
      canvas.Text(row, 0, FitCells(line, canvas.Width()), attr::Reverse | attr::Bold, canvas.Width());
    });
    while (!shared->done) {
      const InputEvent e = screen.Poll(100);
      if (e.IsKey(ui::keys::Escape) || e.IsKey('C', ui::shift::Ctrl) || e.kind == InputEvent::Kind::Closed)
        shared->cancel = true;
    }
  }
  int sent = 0;
  std::string text;
  for (const delivery::Outcome& o : shared->outcomes) {
    sent += o.sent ? 1 : 0;
    text += std::string(o.sent ? "sent: " : "FAILED: ") + text::ForTerminal(o.destination) +
            (o.sent ? "" : " - " + text::ForTerminal(o.detail)) + "\n";
  }
  const std::string head = std::to_string(sent) + " of " + std::to_string(total) + " sent.\n\n";
  ShowMessageBox(screen, head + text, sent == static_cast<int>(total) ? kInformation : msgbox::Exclamation, kTitle);
  return true;
}

}  // namespace quillmont::editor
