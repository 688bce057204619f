#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "apps/session/front_end.h"
#include "delivery/delivery.h"
#include "quillmont/platform/ui/control.h"
#include "store/definition_store.h"

// A test of a notification, sent from a page to the rows of its list (its
// "stl"): the selected rows, or every row when none is selected, with the
// page's texts as it holds them now (applied, saved or not). The page is only
// read; the sending runs on a thread of its own, through the delivery engine,
// and ends by a deadline the user is shown, or sooner when stopped.
namespace quillmont::session {

inline constexpr const char* kTestTitle = "Send Test";

class TestSend {
 public:
  // What a test of the page would send; nullopt for a page without a list.
  static std::optional<delivery::Notification> Of(ui::UserControl& page, const std::string& name);
  // Starts sending. The deadline is the settings' bound of one send from now
  // (the sends run side by side).
  TestSend(delivery::Notification notification, const store::DeliverySettings& settings, const std::string& program);
  // Stops what is not sent yet and waits for the thread.
  ~TestSend();
  TestSend(const TestSend&) = delete;
  TestSend& operator=(const TestSend&) = delete;

  void Stop();
  bool Done() const;
  std::size_t Total() const noexcept { return total_; }
  // "Sending a test: 1 of 3 done; it gives up at 14:02:07 (12 s left)."
  std::string Progress() const;
  // Each destination's outcome so far (every one once Done).
  std::vector<delivery::Outcome> Outcomes() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::size_t total_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  std::chrono::system_clock::time_point shownDeadline_;
  std::thread sender_;
};

// Starts a test of the page, or says why there is none (no rows, delivery
// settings that cannot be used) and gives null. A page without a list gives
// null and says nothing: hasList tells it apart.
std::unique_ptr<TestSend> StartTestSend(FrontEnd& ui, store::Store& store, const std::string& name,
                                        ui::UserControl& page, const std::string& program, bool& hasList);

}  // namespace quillmont::session
