#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "quillmont/definitions/members.h"
#include "quillmont/definitions/notification_definition.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"
#include "tests/support/test_host.h"

namespace snmp_test {

using namespace quillmont;
using quillmont::testing::RecordingTabHost;

struct Mgr {
  std::string host;
  std::int32_t port;
  std::string version = "SNMP v1";
  std::string timeFormat = "UNIX";
};

// A stored (not new) definition holding these managers.
inline std::shared_ptr<BasicNotificationDefinition> Stored(const std::vector<Mgr>& managers) {
  auto def = std::make_shared<BasicNotificationDefinition>();
  def->SetIsNew(false);
  def->SetHasSnmp(true);
  def->SetManagerOwnerKey("N-42");
  auto list = std::make_shared<BasicSnmpManagerList>();
  for (const Mgr& m : managers) {
    auto manager = std::make_shared<BasicSnmpManager>();
    manager->Init("N-42", m.host, m.port, m.version, m.timeFormat);
    list->Add(manager);
  }
  def->SetSnmpManagers(list);
  return def;
}

inline std::shared_ptr<BasicNotificationDefinition> Fresh() {
  auto def = std::make_shared<BasicNotificationDefinition>();
  def->SetManagerOwnerKey("N-42");
  return def;
}

class SnmpTest : public ::testing::Test {
 protected:
  void Load(const std::shared_ptr<NotificationDefinition>& def) { panel->LoadData(Variant(def), "SNMP", host); }
  std::vector<std::string> Row(int row) const { return panel->stl().RowCells(row); }
  // What the entry fields show: host, port, version, time format.
  std::vector<std::string> Fields() const {
    return {panel->txtHost().Text(), panel->txtPort().Text(), panel->cboVersion().Text(),
            panel->cboTimeFormat().Text()};
  }
  bool FieldsEnabled() const {
    return panel->txtHost().Enabled() && panel->txtPort().Enabled() && panel->cboVersion().Enabled() &&
           panel->cboTimeFormat().Enabled();
  }
  void Retype(ui::TextBox& box, const std::string& text) {
    user.Focus(box);
    user.ClearText();
    user.Type(text);
  }
  quillmont::testing::ScriptedMessages& Messages() { return scope.Messages(); }

  quillmont::testing::ServiceScope scope;
  std::shared_ptr<XEventSNMPTab> panel = XEventSNMPTab::Create();
  ui::Driver user{*panel};
  std::shared_ptr<RecordingTabHost> host = std::make_shared<RecordingTabHost>();
};

}  // namespace snmp_test
