// The column layout text a host keeps in its settings store may hold
// anything. Reading it must never throw, lose or double a column, and what
// the set writes back must read back to itself.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "quillmont/controls/column_set.h"
#include "quillmont/controls/static_list.h"
#include "quillmont/framework/components.h"

namespace {

using quillmont::ColumnSet;
using quillmont::ListColumn;

void Check(bool condition, const char* rule) {
  if (condition) return;
  std::fprintf(stderr, "layout state: %s\n", rule);
  std::abort();
}

std::shared_ptr<ColumnSet> SnmpColumns() {
  auto set = std::make_shared<ColumnSet>();
  set->Add(std::make_shared<ListColumn>(256, "Host", 2000.0F, 0, true, 0), "", "");
  set->Add(std::make_shared<ListColumn>(512, "Port", 1000.0F, 0, true, 0), "", "");
  set->Add(std::make_shared<ListColumn>(768, "Version", 1000.0F, 0, true, 0), "", "");
  set->Add(std::make_shared<ListColumn>(1024, "Time Format", 1200.0F, 0, true, 0), "", "");
  return set;
}

void CheckColumns(const ColumnSet& set) {
  Check(set.Count() == 4, "the set keeps its four columns");
  std::set<int> ids;
  for (int i = 1; i <= 4; ++i) {
    ids.insert(set.Item(i)->Id());
    const float width = set.Item(i)->Width();
    Check(width >= 0 && width <= ColumnSet::kMaxWidth, "every width is a sensible number of twips");
  }
  Check(ids == std::set<int>({256, 512, 768, 1024}), "each column once");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  auto set = SnmpColumns();
  set->SetLayoutState(text);
  CheckColumns(*set);
  // Also behind a version tag, so the entries themselves are read.
  auto tagged = SnmpColumns();
  tagged->SetLayoutState("v1;" + text);
  CheckColumns(*tagged);

  const std::string written = tagged->LayoutState();
  auto again = SnmpColumns();
  again->SetLayoutState(written);
  CheckColumns(*again);
  Check(again->LayoutState() == written, "the written layout reads back to itself");
  for (int i = 1; i <= 4; ++i)
    Check(again->Item(i)->Width() == tagged->Item(i)->Width() && again->Item(i)->Id() == tagged->Item(i)->Id() &&
              again->Item(i)->Visible() == tagged->Item(i)->Visible(),
          "widths, order and visibility survive the round trip exactly");

  // A list shows what the layout says.
  quillmont::StaticList list("stl");
  list.SetColumns(tagged);
  list.ApplyColumnLayout();
  Check(list.ViewColumns().size() == 4, "the list shows every column");
  list.CaptureColumnLayout();
  Check(tagged->LayoutState() == written, "capturing an applied layout changes nothing");
  return 0;
}
