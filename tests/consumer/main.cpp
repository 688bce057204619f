// Uses a few public pieces of an installed Quillmont the way a host does and
// exits 0 when each behaves.
#include <cstdio>
#include <string>

#include "quillmont/framework/runtime.h"
#include "quillmont/framework/tab_contract.h"
#include "quillmont/platform/error.h"
#include "quillmont/platform/guid.h"
#include "quillmont/platform/ui/controls.h"
#include "quillmont/platform/ui/driver.h"

namespace {

int Fail(const std::string& what) {
  std::fprintf(stderr, "consumer: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main() {
  using namespace quillmont;

  const Guid id = Guid::Parse("0148ddc8-ef28-4475-a4a5-46e095881147");
  if (id != TabHost::kInterfaceId) return Fail("parsed Guid differs from TabHost's identity: " + id.ToString());
  if (id.ToString() != "{0148DDC8-EF28-4475-A4A5-46E095881147}") return Fail("Guid printed as " + id.ToString());

  // An error raised inside the library is caught here by its type, which
  // only works when the type's identity is shared across the boundary.
  try {
    Guid::Parse("{not-a-guid}");
    return Fail("a malformed Guid was accepted");
  } catch (const Error& e) {
    if (e.Code() != ErrorCode::InvalidPropertyValue) return Fail("wrong error code " + std::to_string(e.Number()));
  }

  ui::UserControl panel("ucConsumer");
  auto label = panel.Add<ui::Label>("lblHost", "&Host:");
  label->SetTabIndex(0);
  auto box = panel.Add<ui::TextBox>("txtHost");
  box->SetTabIndex(1);
  box->SetMaxLength(4);
  int changes = 0;
  box->Change.Connect([&changes] { ++changes; });

  ui::Driver driver(panel);
  if (!driver.AccessKey('h') || !box->HasFocus()) return Fail("Alt+H did not focus the text box");
  if (!driver.Type("hostname")) return Fail("typing was refused");
  if (box->Text() != "host") return Fail("text box holds '" + box->Text() + "'");
  if (changes != 4) return Fail("Change raised " + std::to_string(changes) + " times");

  // The per-thread runtime is part of the exported surface too.
  ResetFactories();
  ResetThreadServices();

  std::puts("consumer: ok");
  return 0;
}
