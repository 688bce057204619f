#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "quillmont/definitions/definition_library.h"
#include "quillmont/definitions/members.h"
#include "quillmont/definitions/notification_definition.h"
#include "quillmont/platform/ui/driver.h"
#include "tests/support/test_host.h"

namespace quillmont::testing {

// The one fixture shape of the panel suites: fresh default components with a
// scripted message service, the panel, the user at its controls and the tab
// container it reports to.
template <class Panel>
class PanelTest : public ::testing::Test {
 protected:
  ScriptedMessages& Messages() { return scope.Messages(); }
  // The user types over the whole text of the box.
  void Retype(ui::TextBox& box, const std::string& text) {
    user.Focus(box);
    user.ClearText();
    user.Type(text);
  }

  ServiceScope scope;
  std::shared_ptr<Panel> panel = Panel::Create();
  ui::Driver user{*panel};
  std::shared_ptr<RecordingTabHost> host = std::make_shared<RecordingTabHost>();
};

// A stored definition with SNMP managers "host:port" (version SNMP v1, time
// format UNIX) and e-mail recipients, owned by "N-42".
inline std::shared_ptr<BasicNotificationDefinition> StoredDefinition(const std::vector<std::string>& managers,
                                                                     const std::vector<std::string>& recipients = {}) {
  auto def = std::make_shared<BasicNotificationDefinition>();
  def->SetIsNew(false);
  def->SetHasSnmp(true);
  def->SetHasEmail(true);
  def->SetManagerOwnerKey("N-42");
  def->SetRecipientOwnerKey("N-42");
  def->SetEmailSubject("S");
  def->SetEmailMessage("M");
  auto snmp = std::make_shared<BasicSnmpManagerList>();
  for (const auto& m : managers) {
    auto manager = std::make_shared<BasicSnmpManager>();
    const auto colon = m.find(':');
    manager->Init("N-42", m.substr(0, colon), std::stoi(m.substr(colon + 1)), "SNMP v1", "UNIX");
    snmp->Add(manager);
  }
  def->SetSnmpManagers(snmp);
  auto email = std::make_shared<BasicEmailRecipientList>();
  for (const auto& a : recipients) {
    auto recipient = std::make_shared<BasicEmailRecipient>();
    recipient->Init(Variant("N-42"), a, Variant());
    email->Add(recipient);
  }
  def->SetEmailRecipients(email);
  return def;
}

inline std::shared_ptr<BasicNotificationDefinition> NewDefinition() {
  auto def = std::make_shared<BasicNotificationDefinition>();
  def->SetManagerOwnerKey("N-42");
  def->SetRecipientOwnerKey("N-42");
  return def;
}

}  // namespace quillmont::testing
