#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/random/exerciser.h"

// Long seeded runs of random user and host actions on each panel, checking
// the panel's rules after every step. QUILLMONT_RANDOM_STEPS sets the number
// of steps and QUILLMONT_RANDOM_SEED the seed; a failure prints the seed and
// the last steps, so the run can be repeated exactly.
namespace quillmont::random_testing {
namespace {

using Factory = std::function<std::unique_ptr<PanelExerciser>(Choices&, std::shared_ptr<testing::FaultPlan>)>;

constexpr long kSteps = 200000;
constexpr long kFaultSteps = 50000;

void RunPanel(const Factory& make, std::uint64_t defaultSeed, long defaultSteps, int faultPercent) {
  const std::uint64_t seed = SeedFromEnvironment(defaultSeed);
  const long steps = StepsFromEnvironment(defaultSteps);
  SeededChoices choices(seed);
  auto plan = faultPercent > 0 ? std::make_shared<testing::FaultPlan>() : nullptr;
  auto exerciser = make(choices, plan);
  const std::string report = Run(*exerciser, choices, plan, {steps, faultPercent});
  EXPECT_EQ(report, "") << "seed " << seed << " (QUILLMONT_RANDOM_SEED=" << seed << " repeats it), " << steps
                        << " steps";
}

TEST(RandomUse, SnmpPanel) { RunPanel(MakeSnmpExerciser, 20240601, kSteps, 0); }

TEST(RandomFaults, SnmpPanel) { RunPanel(MakeSnmpExerciser, 20240602, kFaultSteps, 25); }

TEST(RandomUse, EmailPanel) { RunPanel(MakeEmailExerciser, 20240611, kSteps, 0); }

TEST(RandomFaults, EmailPanel) { RunPanel(MakeEmailExerciser, 20240612, kFaultSteps, 25); }

TEST(RandomUse, EventsPanel) { RunPanel(MakeEventsExerciser, 20240621, kSteps, 0); }

TEST(RandomFaults, EventsPanel) { RunPanel(MakeEventsExerciser, 20240622, kFaultSteps, 25); }

}  // namespace
}  // namespace quillmont::random_testing
