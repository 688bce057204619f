#include "apps/session/test_send.h"

#include <unistd.h>

#include <atomic>
#include <ctime>
#include <mutex>

#include "quillmont/framework/components.h"
#include "quillmont/framework/services.h"
#include "quillmont/platform/ui/controls.h"

namespace quillmont::session {
namespace {

std::optional<std::string> FieldText(ui::UserControl& page, const char* name) {
  if (auto* box = dynamic_cast<ui::TextBox*>(page.Find(name))) return box->Text();
  return std::nullopt;
}

std::string HostName() {
  char name[256] = {};
  return gethostname(name, sizeof name - 1) == 0 ? name : "localhost";
}

}  // namespace

struct TestSend::Shared {
  mutable std::mutex mutex;
  std::vector<delivery::Outcome> outcomes;
  std::atomic<bool> cancel{false}, done{false};
};

std::optional<delivery::Notification> TestSend::Of(ui::UserControl& page, const std::string& name) {
  auto* list = dynamic_cast<XStaticList*>(page.Find("stl"));
  if (!list) return std::nullopt;
  delivery::Notification n;
  n.name = name;
  // The destinations of the chosen rows, through the item interfaces.
  auto items = list->SelectedCount() > 0 ? list->SelectedItems() : list->Items();
  for (int i = 1; i <= items->Count(); ++i) {
    auto item = items->Item(i);
    if (auto m = std::dynamic_pointer_cast<SnmpManager>(item))
      n.managers.push_back({m->Host(), m->Port(), m->Version(), m->TimeFormat()});
    else if (auto r = std::dynamic_pointer_cast<EmailRecipient>(item))
      n.recipients.push_back(r->Address());
  }
  n.subject = FieldText(page, "txtSubject");
  n.message = FieldText(page, "txtMessage");
  return n;
}

TestSend::TestSend(delivery::Notification notification, const store::DeliverySettings& settings,
                   const std::string& program)
    : shared_(std::make_shared<Shared>()),
      total_(notification.managers.size() + notification.recipients.size()),
      deadline_(std::chrono::steady_clock::now() + std::chrono::seconds(settings.timeoutSeconds)),
      shownDeadline_(std::chrono::system_clock::now() + std::chrono::seconds(settings.timeoutSeconds)) {
  const delivery::Event event{"test", "Test", HostName(),
                              "This is a test of the notification \"" + notification.name + "\" from " + program + ".",
                              std::chrono::system_clock::now()};
  delivery::Options options;
  options.deadline = deadline_;
  options.cancel = &shared_->cancel;
  options.onOutcome = [shared = shared_.get()](const delivery::Outcome& o) {
    std::lock_guard lock(shared->mutex);
    shared->outcomes.push_back(o);
  };
  sender_ = std::thread([shared = shared_, n = std::move(notification), event, settings, options] {
    try {
      delivery::Deliver(n, event, settings, options);
    } catch (const std::exception&) {
      // Outcomes not reported by then are missing from the result list.
    }
    shared->done = true;
  });
}

TestSend::~TestSend() {
  Stop();
  sender_.join();
}

void TestSend::Stop() { shared_->cancel = true; }
bool TestSend::Done() const { return shared_->done; }

std::vector<delivery::Outcome> TestSend::Outcomes() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->outcomes;
}

std::string TestSend::Progress() const {
  if (shared_->cancel) return "Stopping the test...";
  std::size_t finished;
  {
    std::lock_guard lock(shared_->mutex);
    finished = shared_->outcomes.size();
  }
  const std::time_t at = std::chrono::system_clock::to_time_t(shownDeadline_);
  std::tm local{};
  localtime_r(&at, &local);
  char clock[16];
  std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
  const auto left = std::chrono::ceil<std::chrono::seconds>(deadline_ - std::chrono::steady_clock::now()).count();
  return "Sending a test: " + std::to_string(finished) + " of " + std::to_string(total_) + " done; it gives up at " +
         clock + " (" + std::to_string(std::max<long long>(0, left)) + " s left).";
}

std::unique_ptr<TestSend> StartTestSend(FrontEnd& ui, store::Store& store, const std::string& name,
                                        ui::UserControl& page, const std::string& program, bool& hasList) {
  std::optional<delivery::Notification> n = TestSend::Of(page, name);
  hasList = n.has_value();
  if (!n) return nullptr;
  if (n->managers.empty() && n->recipients.empty()) {
    ui.Message("There is nothing to send a test to: the list has no rows.", msgbox::Exclamation, kTestTitle);
    return nullptr;
  }
  store::DeliverySettings settings;
  try {
    settings = store::SettingsForDelivery(store);
  } catch (const std::exception& e) {
    ui.Message(std::string("The delivery settings cannot be used: ") + e.what(), msgbox::Critical, kTestTitle);
    return nullptr;
  }
  return std::make_unique<TestSend>(std::move(*n), settings, program);
}

}  // namespace quillmont::session
