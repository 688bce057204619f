#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quillmont/definitions/definition_library.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/services/app_context.h"
#include "quillmont/services/message_service.h"

// What the benchmarks share: numbered texts, fresh services, the events
// catalogue and the timing of a page's LoadData.
namespace quillmont::bench {

// Appending rather than "text" + number keeps g++ 12's -Wrestrict quiet at -O3.
inline std::string Numbered(std::string prefix, int number, const char* suffix = "") {
  prefix += std::to_string(number);
  prefix += suffix;
  return prefix;
}

// Fresh default services on this thread for the fixture's life; messages go
// nowhere.
struct FreshServices {
  FreshServices() {
    ResetThreadServices();
    SetThreadMessageService(std::make_shared<ConsoleMessageService>(nullptr));
  }
  ~FreshServices() { ResetThreadServices(); }
  FreshServices(const FreshServices&) = delete;
  FreshServices& operator=(const FreshServices&) = delete;
};

constexpr std::int32_t kGroups = 20;

// n event types "K<i>", spread over the groups 1 to kGroups.
inline std::vector<std::shared_ptr<EventType>> EventTypes(int n) {
  std::vector<std::shared_ptr<EventType>> types;
  types.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    types.push_back(std::make_shared<BasicEventType>(Numbered("K", i), Numbered("Event type ", i), i % kGroups + 1));
  return types;
}

// On fresh services: kGroups groups, a catalogue of n event types and a
// stored definition choosing every tenth of them.
struct EventsCatalogue : FreshServices {
  explicit EventsCatalogue(int n) {
    constexpr std::int32_t kNotification = 1;
    auto app = std::dynamic_pointer_cast<MemoryAppContext>(GetAppContext());
    auto library = std::dynamic_pointer_cast<BasicDefinitionLibrary>(GetDefinitionLibrary());
    std::vector<GroupRecord> groups;
    for (std::int32_t g = 1; g <= kGroups; ++g)
      groups.push_back({Variant(g), Variant(Numbered("Group ", g)), Variant("label")});
    app->SetEventGroups(std::move(groups));
    auto catalogue = std::make_shared<BasicEventTypeCollection>();
    std::vector<std::shared_ptr<EventType>> chosen;
    int i = 0;
    for (auto& type : EventTypes(n)) {
      if (i++ % 10 == 0) chosen.push_back(type);
      catalogue->Add(std::move(type));
    }
    app->SetEventTypes(catalogue);
    library->Store()->Store(kNotification, std::move(chosen));
    definition = library->NewDefinition(kNotification);
    definition->SetIsNew(false);
  }

  std::shared_ptr<BasicNotificationDefinition> definition;
};

// Times LoadData of the definition into a fresh page of state.range(0)
// rows; making the page and tearing its rows down are not part of the load.
// rows(page) reads what was loaded.
template <class Page, class Rows>
void TimeLoadData(benchmark::State& state, const std::shared_ptr<BasicNotificationDefinition>& definition,
                  const char* tabKey, Rows rows) {
  for (auto _ : state) {
    state.PauseTiming();
    auto page = Page::Create();
    state.ResumeTiming();
    page->LoadData(Variant(definition), tabKey, nullptr);
    benchmark::DoNotOptimize(rows(*page));
    state.PauseTiming();
    page.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetComplexityN(state.range(0));
}

}  // namespace quillmont::bench
