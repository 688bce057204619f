// The default list and selector with 100,000 rows: filling, updating,
// removing every other row, and choosing a tenth of them. Each run also
// checks that the rows ended where they belong (a wrong row is an error of
// the run, not a slow one).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "quillmont/controls/column_set.h"
#include "quillmont/controls/selector.h"
#include "quillmont/controls/static_list.h"
#include "quillmont/definitions/members.h"
#include "quillmont/framework/definition.h"

namespace quillmont {
namespace {

// Appended rather than "literal" + std::to_string(i): g++ 12 at -O3 takes
// that for an overlapping copy (-Wrestrict) and stops the build.
std::string Numbered(const char* prefix, int i) {
  std::string text = prefix;
  text += std::to_string(i);
  return text;
}

constexpr int kRows = 100000;

void BM_StaticListHundredThousandRows(benchmark::State& state) {
  for (auto _ : state) {
    StaticList list("stl");
    auto columns = std::make_shared<ColumnSet>();
    columns->Add(std::make_shared<ListColumn>(256, "Host", 2000.0F, 0, true, 0), "", "");
    columns->Add(std::make_shared<ListColumn>(512, "Port", 1000.0F, 0, true, 0), "", "");
    list.SetColumns(columns);
    list.SetItems(std::make_shared<BasicSnmpManagerList>());
    std::vector<std::shared_ptr<BasicSnmpManager>> managers;
    managers.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
      managers.push_back(std::make_shared<BasicSnmpManager>());
      managers.back()->Init("owner", "host" + std::to_string(i), i % 65535 + 1, "SNMP v2c", "UTC");
      list.AddRow(managers.back());
    }
    for (int i = 0; i < kRows; i += 7) {
      managers[static_cast<std::size_t>(i)]->Update("upd" + std::to_string(i), 1, "SNMP v1", "UNIX");
      list.UpdateRow(managers[static_cast<std::size_t>(i)]);
    }
    auto doomed = std::make_shared<GenericItemList>();
    for (int i = 0; i < kRows; i += 2) doomed->Add(managers[static_cast<std::size_t>(i)]);
    list.RemoveRow(doomed);
    for (int i = 1; i < kRows; i += 1000) {
      managers[static_cast<std::size_t>(i)]->Update("late" + std::to_string(i), 2, "SNMP v1", "UNIX");
      list.UpdateRow(managers[static_cast<std::size_t>(i)]);
      if (list.RowCells(i / 2)[0] != "late" + std::to_string(i)) state.SkipWithError("an update reached another row");
    }
    if (list.RowCount() != kRows / 2 || list.RowCells(3)[0] != "upd7") state.SkipWithError("rows out of place");
  }
}
BENCHMARK(BM_StaticListHundredThousandRows)->Unit(benchmark::kMillisecond);

void BM_SelectorChoosesATenthOfHundredThousand(benchmark::State& state) {
  for (auto _ : state) {
    Selector x("xEvents");
    x.AddColumn("Event Type");
    x.AddColumn("Event Group");
    x.SetInitialized(true);
    for (int i = 0; i < kRows; ++i) x.AddAvailable(Numbered("Event ", i), Numbered("k", i));
    x.EndFill();
    for (int i = 0; i < kRows; i += 10) x.ChooseItem(Numbered("k", i));
    x.FinishLoad(1);
    if (x.ChosenItems()->Count() != kRows / 10 || x.AvailableList().ViewRowCount() != kRows - kRows / 10 ||
        x.ChosenItems()->Item(kRows / 10)->Key() != "k99990_" || !x.IsAvailable("k50001"))
      state.SkipWithError("rows on the wrong side");
  }
}
BENCHMARK(BM_SelectorChoosesATenthOfHundredThousand)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillmont
