// Loading the e-mail panel with 1,000 to 100,000 stored recipients, and
// applying one more address to such a list: both should grow linearly (an
// add looks once through the list for a duplicate address).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/bench_support.h"
#include "quillmont/definitions/definition_library.h"
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/ui/driver.h"
#include "quillmont/services/message_service.h"

namespace quillmont {
namespace {

std::string Address(const char* user, int number) { return bench::Numbered(user, number, "@example.com"); }

// Fresh default services on this thread and a stored definition holding n
// recipients.
struct Recipients : bench::FreshServices {
  explicit Recipients(int n) {
    definition = std::make_shared<BasicNotificationDefinition>();
    definition->SetIsNew(false);
    definition->SetHasEmail(true);
    definition->SetEmailSubject("Alert");
    definition->SetEmailMessage("Something happened");
    auto list = std::make_shared<BasicEmailRecipientList>();
    for (int i = 0; i < n; ++i) {
      auto recipient = std::make_shared<BasicEmailRecipient>();
      recipient->Init(Variant("N-1"), Address("user", i), Variant());
      list->Add(recipient);
    }
    definition->SetEmailRecipients(list);
  }

  std::shared_ptr<BasicNotificationDefinition> definition;
};

void BM_EmailLoadData(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Recipients recipients(n);
  bench::TimeLoadData<XEventEmailTab>(state, recipients.definition, "Email",
                                      [](XEventEmailTab& page) { return page.stl().RowCount(); });
}
BENCHMARK(BM_EmailLoadData)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_EmailApplyOneMore(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Recipients recipients(n);
  auto panel = XEventEmailTab::Create();
  panel->LoadData(Variant(recipients.definition), "Email", nullptr);
  ui::Driver user(*panel);
  int next = 0;
  for (auto _ : state) {
    state.PauseTiming();
    user.Click(panel->cmdNew());
    user.Type(Address("new", next++));
    state.ResumeTiming();
    user.Click(panel->cmdApply());
  }
  benchmark::DoNotOptimize(panel->stl().RowCount());
  state.SetComplexityN(n);
}
BENCHMARK(BM_EmailApplyOneMore)->RangeMultiplier(10)->Range(10000, 100000)->Unit(benchmark::kMicrosecond)->Complexity();

}  // namespace
}  // namespace quillmont
