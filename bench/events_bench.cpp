// Loading the events panel and changing its group filter over catalogues of
// 1,000 to 100,000 event types with every tenth one chosen: both should grow
// linearly with the catalogue.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/platform/ui/driver.h"

namespace quillmont {
namespace {

using bench::EventsCatalogue;

void BM_LoadData(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  EventsCatalogue catalogue(n);
  bench::TimeLoadData<XEventsTab>(state, catalogue.definition, "Events",
                                  [](XEventsTab& page) { return page.xEvents().ChosenItems()->Count(); });
}

// The user switches the filter between one group and all groups: the
// available rows are rebuilt each time around the chosen ones.
void BM_FilterChange(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  EventsCatalogue catalogue(n);
  auto panel = XEventsTab::Create();
  panel->LoadData(Variant(catalogue.definition), "Events", nullptr);
  ui::Driver driver(*panel);
  int entry = 1;
  for (auto _ : state) {
    driver.ChooseIndex(panel->cboGroupEvents(), entry);
    entry = 1 - entry;
    benchmark::DoNotOptimize(panel->xEvents().AvailableList().ViewRowCount());
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.SetComplexityN(n);
}

BENCHMARK(BM_LoadData)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_FilterChange)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
}  // namespace quillmont
