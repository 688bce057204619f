#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "quillmont/definitions/members.h"
#include "quillmont/definitions/notification_definition.h"
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/platform/ui/driver.h"
#include "tests/support/test_host.h"

namespace quillmont::email_test {

using testing::RecordingTabHost;
using testing::ScriptedMessages;
using testing::ServiceScope;

inline constexpr const char* kTabKey = "EmailTab";
inline constexpr const char* kDefault = "<Default>";

inline std::shared_ptr<BasicEmailRecipient> Recipient(const std::string& address, const std::string& owner = "N1") {
  auto r = std::make_shared<BasicEmailRecipient>();
  r->Init(Variant(owner), address, Variant());
  return r;
}

inline std::shared_ptr<BasicEmailRecipientList> RecipientList(const std::vector<std::string>& addresses) {
  auto list = std::make_shared<BasicEmailRecipientList>();
  for (const auto& a : addresses) list->Add(Recipient(a));
  return list;
}

// A stored definition with an e-mail part.
inline std::shared_ptr<BasicNotificationDefinition> StoredDefinition(std::optional<std::string> subject,
                                                                     std::optional<std::string> message,
                                                                     const std::vector<std::string>& addresses) {
  auto d = std::make_shared<BasicNotificationDefinition>();
  d->SetIsNew(false);
  d->SetHasEmail(true);
  d->SetRecipientOwnerKey("N7");
  d->SetEmailSubject(subject);
  d->SetEmailMessage(message);
  d->SetEmailRecipients(RecipientList(addresses));
  return d;
}

inline std::shared_ptr<BasicNotificationDefinition> NewDefinition() {
  auto d = std::make_shared<BasicNotificationDefinition>();
  d->SetRecipientOwnerKey("N7");
  return d;
}

class EmailPanelTest : public ::testing::Test {
 protected:
  ScriptedMessages& Messages() { return scope_.Messages(); }

  void Load(const std::shared_ptr<NotificationDefinition>& definition) { Load(definition, host_); }
  void Load(const std::shared_ptr<NotificationDefinition>& definition, std::shared_ptr<TabHost> host) {
    panel_->LoadData(Variant(definition), kTabKey, std::move(host));
  }

  // The addresses the list shows, top to bottom.
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < panel_->stl().RowCount(); ++i) rows.push_back(panel_->stl().RowCells(i).at(0));
    return rows;
  }

  // Types into the address field and presses Enter.
  void EnterAddress(const std::string& text) {
    ASSERT_TRUE(drive_.TypeInto(panel_->txtAddress(), text));
    drive_.PressKey(ui::keys::Return);
  }

  ServiceScope scope_;
  std::shared_ptr<XEventEmailTab> panel_ = XEventEmailTab::Create();
  ui::Driver drive_{*panel_};
  std::shared_ptr<RecordingTabHost> host_ = std::make_shared<RecordingTabHost>();
};

}  // namespace quillmont::email_test
