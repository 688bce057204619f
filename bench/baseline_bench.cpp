// The least work that fills a list: copying the texts the rows show into a
// vector, for the same rows the panel benchmarks load. Each panel figure is
// read as a ratio to the baseline of the same size.
#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/bench_support.h"
#include "quillmont/definitions/members.h"

namespace quillmont {
namespace {

using bench::Numbered;

// SNMP: four texts per manager.
void BM_BaselineSnmpRows(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<std::shared_ptr<SnmpManager>> managers;
  for (int i = 0; i < n; ++i) {
    auto m = std::make_shared<BasicSnmpManager>();
    m->Init("N-1", Numbered("host-", i), 162, "SNMP v2c", "UTC");
    managers.push_back(m);
  }
  for (auto _ : state) {
    std::vector<std::array<std::string, 4>> rows;
    rows.reserve(managers.size());
    for (const auto& m : managers)
      rows.push_back({m->Host(), std::to_string(m->Port()), m->Version(), m->TimeFormat()});
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_BaselineSnmpRows)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

// E-mail: one text per recipient.
void BM_BaselineEmailRows(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<std::shared_ptr<EmailRecipient>> recipients;
  for (int i = 0; i < n; ++i) {
    auto r = std::make_shared<BasicEmailRecipient>();
    r->Init(Variant("N-1"), Numbered("user", i) + "@example.com", Variant());
    recipients.push_back(r);
  }
  for (auto _ : state) {
    std::vector<std::string> rows;
    rows.reserve(recipients.size());
    for (const auto& r : recipients) rows.push_back(r->Address());
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_BaselineEmailRows)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

// Events: the name and the group name of every event type not chosen (nine
// in ten), the group name looked up by number.
void BM_BaselineEventRows(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto types = bench::EventTypes(n);
  std::unordered_map<std::int32_t, std::string> groups;
  for (int g = 1; g <= bench::kGroups; ++g) groups[g] = Numbered("Group ", g);
  for (auto _ : state) {
    std::vector<std::array<std::string, 2>> rows;
    rows.reserve(types.size());
    for (std::size_t i = 0; i < types.size(); ++i)
      if (i % 10 != 0) rows.push_back({types[i]->Name(), groups[types[i]->GroupID()]});
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_BaselineEventRows)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillmont
