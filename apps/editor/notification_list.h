#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "apps/editor/dialogs.h"
#include "apps/editor/help.h"
#include "apps/editor/screen.h"
#include "apps/session/notification_session.h"
#include "apps/session/pages.h"
#include "store/definition_store.h"
#include "store/outbox.h"

namespace quillmont::editor {

// The first screen: the stored notifications, to open, create, delete, or
// leave.
class NotificationListScreen {
 public:
  NotificationListScreen(Screen& screen, std::shared_ptr<store::Store> store,
                         std::vector<session::PageDescriptor> pages, std::string location);
  ~NotificationListScreen();

  void Run();
  void HandleEvent(const InputEvent& event);
  void Draw(Canvas& canvas);
  bool Done() const noexcept { return done_; }
  const std::vector<store::NotificationSummary>& Rows() const noexcept { return rows_; }
  int Selected() const noexcept { return selected_; }

 private:
  void Reload(std::int32_t keepId = 0);
  // The row of keepId stays chosen (the same position when it is gone).
  void Keep(std::int32_t keepId);
  void OpenSelected();
  void NewNotification();
  void DeleteSelected();
  void RenameSelected();
  // Reloads the rows when another program committed since the last look.
  void CatchUp();
  // Each notification's last delivery, read again; none when the log cannot
  // be read (the list stays usable without it).
  void LoadLastDeliveries();
  void ShowDeliveries();
  void Edit(std::shared_ptr<store::StoredDefinition> definition);
  void Move(int to);
  static const std::vector<KeyHint>& Keys();
  // The smallest terminal the list can be drawn in.
  static constexpr LayerMinSize kMinSize{6, 40};

  Screen& screen_;
  std::shared_ptr<store::Store> store_;
  std::vector<session::PageDescriptor> pages_;
  std::string location_;
  TerminalFrontEnd frontEnd_;
  session::NotificationIndex index_;
  const std::vector<store::NotificationSummary>& rows_;
  std::map<std::int32_t, store::Delivery> last_;
  std::chrono::steady_clock::time_point lastLoaded_;
  int selected_ = 0;
  int top_ = 0;
  int visibleRows_ = 1;
  int firstRow_ = 3;
  bool done_ = false;
};

}  // namespace quillmont::editor
