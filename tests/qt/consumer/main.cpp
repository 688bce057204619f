// Shows a page of an installed Quillmont in a Qt widget offscreen and exits 0
// when its native widgets answer as the page does.
#include <QApplication>
#include <QLineEdit>
#include <cstdio>

#include "adapters/qt/panel_widget.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  auto panel = quillmont::XEventSNMPTab::Create();
  quillmont::qt::PanelWidget page(panel);
  auto* host = qobject_cast<QLineEdit*>(page.WidgetFor(panel->txtHost()));
  if (!host || page.size() != page.DesignSize()) {
    std::fputs("qt consumer: no line edit for txtHost, or not at the design size\n", stderr);
    return 1;
  }
  panel->txtHost().SetText("nms.example.org");
  page.Sync();
  if (host->text() != "nms.example.org") {
    std::fputs("qt consumer: the line edit did not follow the page\n", stderr);
    return 1;
  }
  std::puts("qt consumer: ok");
  return 0;
}
