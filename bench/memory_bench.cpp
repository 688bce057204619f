// Peak bytes per event type while the events panel loads, beside the
// copy-only baseline over the same catalogue. Every allocation of this
// program goes through a counting operator new, so this program measures
// bytes only; its times are not comparable with the other programs'.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/bench_support.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/storage/flat_storage.h"

namespace {

// Live and peak bytes requested; each block carries its size in front.
std::size_t liveBytes = 0;
std::size_t peakBytes = 0;
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (!block) throw std::bad_alloc();
  *reinterpret_cast<std::size_t*>(block) = size;
  liveBytes += size;
  if (liveBytes > peakBytes) peakBytes = liveBytes;
  return block + kHeader;
}

void Release(void* p) noexcept {
  if (!p) return;
  auto* block = static_cast<unsigned char*>(p) - kHeader;
  liveBytes -= *reinterpret_cast<std::size_t*>(block);
  std::free(block);
}

// Bytes above the level at construction, at the highest point since.
struct PeakWindow {
  PeakWindow() : start(liveBytes) { peakBytes = liveBytes; }
  std::size_t Peak() const { return peakBytes - start; }
  std::size_t start;
};

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace quillmont {
namespace {

using bench::EventTypes, bench::kGroups, bench::Numbered;

// The events panel over n event types with every tenth one chosen, as in
// the events benchmark.
void BM_EventsLoadPeakBytes(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const bench::EventsCatalogue catalogue(n);

  std::size_t peak = 0;
  std::size_t kept = 0;
  for (auto _ : state) {
    storage::ReleaseSpareBlocks();  // every byte of the load counts, none reused from the last one
    auto panel = XEventsTab::Create();
    PeakWindow window;
    panel->LoadData(Variant(catalogue.definition), "Events", nullptr);
    benchmark::DoNotOptimize(panel->xEvents().ChosenItems()->Count());
    peak = window.Peak();
    kept = liveBytes - window.start;
  }
  state.counters["peak_bytes_per_row"] = static_cast<double>(peak) / n;
  state.counters["kept_bytes_per_row"] = static_cast<double>(kept) / n;
}
BENCHMARK(BM_EventsLoadPeakBytes)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

// The baseline's rows: name and group name of the nine in ten not chosen.
void BM_BaselineEventRowsPeakBytes(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto types = EventTypes(n);
  std::unordered_map<std::int32_t, std::string> groups;
  for (int g = 1; g <= kGroups; ++g) groups[g] = Numbered("Group ", g);
  std::size_t peak = 0;
  for (auto _ : state) {
    PeakWindow window;
    std::vector<std::array<std::string, 2>> rows;
    rows.reserve(types.size());
    for (std::size_t t = 0; t < types.size(); ++t)
      if (t % 10 != 0) rows.push_back({types[t]->Name(), groups[types[t]->GroupID()]});
    benchmark::DoNotOptimize(rows.data());
    peak = window.Peak();
  }
  state.counters["peak_bytes_per_row"] = static_cast<double>(peak) / n;
  state.counters["kept_bytes_per_row"] = static_cast<double>(peak) / n;
}
BENCHMARK(BM_BaselineEventRowsPeakBytes)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillmont
