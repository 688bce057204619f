// Loading the events panel and changing its group filter over catalogues of
// 1,000 to 100,000 event types with every tenth one chosen: both should grow
// linearly with the catalogue.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "quillmont/definitions/definition_library.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/services/app_context.h"
#include "quillmont/services/message_service.h"

namespace quillmont {
namespace {

constexpr std::int32_t kGroups = 20;
constexpr std::int32_t kNotification = 1;

// Appending rather than "text" + number keeps g++ 12's -Wrestrict quiet at -O3.
std::string Numbered(std::string prefix, int number) {
  prefix += std::to_string(number);
  return prefix;
}

// Fresh default services on this thread, a catalogue of n event types spread
// over kGroups groups, and a stored definition choosing every tenth of them.
struct Catalogue {
  explicit Catalogue(int n) {
    ResetThreadServices();
    SetThreadMessageService(std::make_shared<ConsoleMessageService>(nullptr));
    auto app = std::dynamic_pointer_cast<MemoryAppContext>(GetAppContext());
    auto library = std::dynamic_pointer_cast<BasicDefinitionLibrary>(GetDefinitionLibrary());

    std::vector<GroupRecord> groups;
    for (std::int32_t g = 1; g <= kGroups; ++g)
      groups.push_back({Variant(g), Variant(Numbered("Group ", g)), Variant("label")});
    app->SetEventGroups(std::move(groups));

    auto types = std::make_shared<BasicEventTypeCollection>();
    std::vector<std::shared_ptr<EventType>> chosen;
    for (int i = 0; i < n; ++i) {
      auto type = std::make_shared<BasicEventType>(Numbered("K", i), Numbered("Event type ", i), i % kGroups + 1);
      types->Add(type);
      if (i % 10 == 0) chosen.push_back(type);
    }
    app->SetEventTypes(types);
    library->Store()->Store(kNotification, std::move(chosen));
    definition = library->NewDefinition(kNotification);
    definition->SetIsNew(false);
  }
  ~Catalogue() { ResetThreadServices(); }

  std::shared_ptr<BasicNotificationDefinition> definition;
};

void BM_LoadData(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Catalogue catalogue(n);
  for (auto _ : state) {
    state.PauseTiming();
    auto panel = XEventsTab::Create();
    state.ResumeTiming();
    panel->LoadData(Variant(catalogue.definition), "Events", nullptr);
    benchmark::DoNotOptimize(panel->xEvents().ChosenItems()->Count());
    state.PauseTiming();
    panel.reset();  // tearing down the rows is not part of the load
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.SetComplexityN(n);
}

// The user switches the filter between one group and all groups: the
// available rows are rebuilt each time around the chosen ones.
void BM_FilterChange(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Catalogue catalogue(n);
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
