#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quillmont/platform/ui/controls.h"

namespace quillmont::session {

// An edit held in a page's entry fields and not applied to its list yet:
// what it is (for the question), and the page's own buttons that apply it and
// that start over without it.
struct PendingEntry {
  std::string what;
  ui::CommandButton* apply = nullptr;
  ui::CommandButton* discard = nullptr;
};

// One page of the editor window: its tab key (handed to LoadData), the tab
// caption and how to make the panel (a ui::UserControl that implements the
// tab contract).
struct PageDescriptor {
  std::string key;
  std::string caption;
  std::function<std::shared_ptr<ui::UserControl>()> create;
  // For a page with entry fields: the edit they hold unapplied, if any.
  std::function<std::optional<PendingEntry>(ui::UserControl&)> pendingEntry = nullptr;
  // What a save writes of the page, as a text to compare with what was
  // loaded: clicks that leave it as it was (New, a choice taken back) are no
  // change.
  std::function<std::string(ui::UserControl&)> content = nullptr;
  // The title of a box the page leaves untitled (a port or an address
  // refused): what its entries are for, as its own boxes about them are
  // titled, so every refusal of an entry reads alike.
  std::string messageTitle = {};
};

// The three pages of a notification: "Events", "SNMP", "Email".
std::vector<PageDescriptor> StandardPages();

}  // namespace quillmont::session
