// The random-event runs of the panels with the decisions taken from the
// fuzz input: the first byte picks the panel and whether outside components
// fail, the rest drives the user and the host until it is used up.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "tests/random/exerciser.h"

using namespace quillmont::random_testing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t head = data[0];
  ByteChoices choices(data + 1, size - 1);
  const bool faults = (head & 0x80) != 0;
  auto plan = faults ? std::make_shared<quillmont::testing::FaultPlan>() : nullptr;
  std::unique_ptr<PanelExerciser> exerciser;
  switch (head % 3) {
    case 0:
      exerciser = MakeSnmpExerciser(choices, plan);
      break;
    case 1:
      exerciser = MakeEmailExerciser(choices, plan);
      break;
    default:
      exerciser = MakeEventsExerciser(choices, plan);
      break;
  }
  const std::string report = Run(*exerciser, choices, plan, {1000000, faults ? 25 : 0});
  if (!report.empty()) {
    std::fprintf(stderr, "panel rule broken: %s\n", report.c_str());
    std::abort();
  }
  return 0;
}
