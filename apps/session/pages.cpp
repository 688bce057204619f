#include "apps/session/pages.h"

#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"

namespace quillmont::session {

namespace {

std::optional<PendingEntry> PendingManager(ui::UserControl& view) {
  auto* page = dynamic_cast<XEventSNMPTab*>(&view);
  if (!page || !page->HasUnappliedEntry()) return std::nullopt;
  return PendingEntry{"the SNMP manager \"" + page->txtHost().Text() + ":" + page->txtPort().Text() + "\"",
                      &page->cmdApply(), &page->cmdNew()};
}

std::optional<PendingEntry> PendingRecipient(ui::UserControl& view) {
  auto* page = dynamic_cast<XEventEmailTab*>(&view);
  if (!page || !page->HasUnappliedEntry()) return std::nullopt;
  return PendingEntry{"the address \"" + page->txtAddress().Text() + "\"", &page->cmdApply(), &page->cmdNew()};
}

}  // namespace

std::vector<PageDescriptor> StandardPages() {
  return {
      {"Events", "Events", [] { return std::shared_ptr<ui::UserControl>(XEventsTab::Create()); }, nullptr},
      {"SNMP", "SNMP Managers", [] { return std::shared_ptr<ui::UserControl>(XEventSNMPTab::Create()); },
       PendingManager},
      {"Email", "E-Mail", [] { return std::shared_ptr<ui::UserControl>(XEventEmailTab::Create()); }, PendingRecipient},
  };
}

}  // namespace quillmont::session
