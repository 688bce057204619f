// A host's own shared library (a plugin) built on the static library: it
// exports its entry point and none of Quillmont's symbols.
#include "quillmont/snmp_panel/x_event_snmp_tab.h"

extern "C" __attribute__((visibility("default"))) int consumer_plugin_entry() {
  return quillmont::XEventSNMPTab::Create()->IsTabValid("Notification") ? 0 : 1;
}
