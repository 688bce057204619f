// Loading the SNMP panel with 1,000 to 100,000 stored managers, and applying
// one more manager to such a list: both should grow linearly with the list
// (applying scans the list once for a duplicate host and port).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/bench_support.h"
#include "quillmont/definitions/definition_library.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/services/message_service.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"

namespace quillmont {
namespace {

using bench::Numbered;

// Fresh default services on this thread and a stored definition holding n
// managers, all on one port so that the duplicate check compares every host.
struct Managers : bench::FreshServices {
  explicit Managers(int n) {
    definition = std::make_shared<BasicNotificationDefinition>();
    definition->SetIsNew(false);
    definition->SetHasSnmp(true);
    auto list = std::make_shared<BasicSnmpManagerList>();
    for (int i = 0; i < n; ++i) {
      auto manager = std::make_shared<BasicSnmpManager>();
      manager->Init("N-1", Numbered("host-", i), 162, "SNMP v2c", "UTC");
      list->Add(manager);
    }
    definition->SetSnmpManagers(list);
  }

  std::shared_ptr<BasicNotificationDefinition> definition;
};

void BM_LoadData(benchmark::State& state) {
  Managers managers(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto panel = XEventSNMPTab::Create();
    panel->LoadData(Variant(managers.definition), "SNMP", nullptr);
    benchmark::DoNotOptimize(panel->stl().RowCount());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LoadData)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_ApplyOneMore(benchmark::State& state) {
  Managers managers(static_cast<int>(state.range(0)));
  auto panel = XEventSNMPTab::Create();
  panel->LoadData(Variant(managers.definition), "SNMP", nullptr);
  ui::Driver user(*panel);
  int next = 0;
  for (auto _ : state) {
    state.PauseTiming();
    user.Click(panel->cmdNew());
    user.Type(Numbered("new-", next++));
    user.TypeInto(panel->txtPort(), "162");
    state.ResumeTiming();
    user.Click(panel->cmdApply());
  }
  benchmark::DoNotOptimize(panel->stl().RowCount());
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ApplyOneMore)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMicrosecond)->Complexity();

}  // namespace
}  // namespace quillmont
