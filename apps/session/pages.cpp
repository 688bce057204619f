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

// A list's rows, cells and rows apart by separators no cell holds.
std::string Rows(const ui::ListView& list) {
  std::string out;
  std::vector<std::string> cells;
  for (int row = 0; row < list.ViewRowCount(); ++row) {
    list.ReadRowCells(row, cells);
    for (const std::string& cell : cells) out += cell + '\x1f';
    out += '\x1e';
  }
  return out;
}

std::string EventsContent(ui::UserControl& view) {
  return Rows(dynamic_cast<XEventsTab&>(view).xEvents().ChosenList());
}

std::string ManagersContent(ui::UserControl& view) { return Rows(dynamic_cast<XEventSNMPTab&>(view).stl()); }

std::string EmailContent(ui::UserControl& view) {
  auto& page = dynamic_cast<XEventEmailTab&>(view);
  return Rows(page.stl()) + '\x1d' + page.txtSubject().Text() + '\x1d' + page.txtMessage().Text();
}

}  // namespace

std::vector<PageDescriptor> StandardPages() {
  return {
      {"Events", "Events", [] { return std::shared_ptr<ui::UserControl>(XEventsTab::Create()); }, nullptr,
       EventsContent, "Event Types"},
      {"SNMP", "SNMP Managers", [] { return std::shared_ptr<ui::UserControl>(XEventSNMPTab::Create()); },
       PendingManager, ManagersContent, "Add SNMP Manager"},
      {"Email", "E-Mail", [] { return std::shared_ptr<ui::UserControl>(XEventEmailTab::Create()); }, PendingRecipient,
       EmailContent, "Add Email Address"},
  };
}

}  // namespace quillmont::session
