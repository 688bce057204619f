#pragma once

#include <string>

#include "apps/editor/screen.h"
#include "quillmont/platform/ui/control.h"
#include "store/definition_store.h"

namespace quillmont::editor {

// Sends a test of the notification to the rows of a page's list (its
// "stl"): the selected rows, or every row when none is selected, as the
// page holds them now (applied, saved or not). A progress line shows while
// it runs (Esc cancels what is not sent yet, the screen keeps redrawing),
// then a dialog lists each destination with its outcome. Nothing happens on
// a page without such a list, which gives false. The page is only read: the
// sending happens here, on a thread of its own.
bool SendTest(Screen& screen, store::Store& store, const std::string& notificationName, ui::UserControl& page);

// The delivery settings kept in the database, edited in a screen of their
// own; the SMTP password is never among them.
void EditDeliverySettings(Screen& screen, store::Store& store);

}  // namespace quillmont::editor
