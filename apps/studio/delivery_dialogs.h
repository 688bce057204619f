#pragma once

#include <QString>

#include "apps/studio/qt_front_end.h"
#include "store/definition_store.h"

namespace quillmont::ui {
class UserControl;
}

namespace quillmont::studio {

// The delivery settings in a dialog: the terminal editor's fields, each
// taken back with the same checks, saved together. What to show in a status
// bar afterwards ("Saved", empty when nothing was saved).
QString EditDeliverySettings(store::Store& store, QWidget* parent);

// A test of the notification from a page (Ctrl+T): a progress dialog with
// its deadline and a Stop button while it runs, then the result list. False
// for a page without a list to send to.
bool SendTest(store::Store& store, QtFrontEnd& ui, const std::string& name, ui::UserControl& page, QWidget* parent);

}  // namespace quillmont::studio
