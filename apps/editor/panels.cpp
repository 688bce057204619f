#include "apps/editor/panels.h"

#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"

namespace quillmont::editor {

std::vector<PageDescriptor> StandardPages() {
  return {
      {"Events", "Events", [] { return std::shared_ptr<ui::UserControl>(XEventsTab::Create()); }},
      {"SNMP", "SNMP Managers", [] { return std::shared_ptr<ui::UserControl>(XEventSNMPTab::Create()); }},
      {"Email", "E-Mail", [] { return std::shared_ptr<ui::UserControl>(XEventEmailTab::Create()); }},
  };
}

}  // namespace quillmont::editor
