// Each panel arranging its controls when the host resizes it (the sizes
// alternate, so every iteration lays out). The layout touches a fixed set
// of controls; it must not depend on the rows the lists hold.
#include <benchmark/benchmark.h>

#include <memory>

#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/services/message_service.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"

namespace quillmont {
namespace {

template <class Panel>
void Resizes(benchmark::State& state) {
  ResetThreadServices();
  SetThreadMessageService(std::make_shared<ConsoleMessageService>(nullptr));
  {
    auto panel = Panel::Create();
    bool wide = false;
    for (auto _ : state) {
      wide = !wide;
      panel->SetSize(wide ? 9000.0F : 6000.0F, wide ? 7000.0F : 5000.0F);
      benchmark::DoNotOptimize(panel->Width());
    }
  }
  ResetThreadServices();
}

void BM_SnmpLayout(benchmark::State& state) { Resizes<XEventSNMPTab>(state); }
void BM_EmailLayout(benchmark::State& state) { Resizes<XEventEmailTab>(state); }
void BM_EventsLayout(benchmark::State& state) { Resizes<XEventsTab>(state); }
BENCHMARK(BM_SnmpLayout);
BENCHMARK(BM_EmailLayout);
BENCHMARK(BM_EventsLayout);

}  // namespace
}  // namespace quillmont
