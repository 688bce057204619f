#pragma once

#include <cstdint>
#include <string>

#include "apps/editor/screen.h"
#include "store/definition_store.h"
#include "store/outbox.h"

// The delivery log as the editor shows it: a notification's last delivery in
// the list, its recent attempts in a box, and the lines of --deliveries.
namespace quillmont::editor {

// "SNMP v2c trap to nms1.example:162", "e-mail to noc@example.org".
std::string DestinationText(const store::Destination& destination);

// A delivery's state and when it last changed, in local time, short enough
// for a list column: "sent 14:05" today, "queued Dec 06" this year, else
// "failed Dec 2025".
std::string LastDeliveryText(const store::Delivery& delivery, std::int64_t nowMs);

// The notification's recent attempts (the last 200), newest first, in a box
// that only reads; Esc closes it. A database without a delivery log (an
// older one, opened read-only) says so.
void ShowDeliveryLog(Screen& screen, store::Store& store, std::int32_t notification, const std::string& name);

// One attempt as a line of --deliveries: time (UTC), delivery, notification
// number and name, event key and node, attempt, result, destination and
// outcome, tab-separated, each text escaped as --list escapes names; or,
// for scripts, one JSON object (non-ASCII escaped).
std::string AttemptLine(const store::AttemptEntry& entry, bool json);

}  // namespace quillmont::editor
