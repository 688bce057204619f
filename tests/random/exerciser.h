#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "quillmont/framework/services.h"
#include "quillmont/framework/tab_contract.h"
#include "quillmont/platform/ui/driver.h"
#include "tests/support/fault_injection.h"
#include "tests/support/test_host.h"

// Long random sequences of what a user and a host do to a panel, with the
// rules that must hold after every step. Shared by the seeded GoogleTest
// runs and the fuzz target (which feeds the choices from its input), so it
// uses no test framework itself: a broken rule is thrown as RuleBroken.
namespace quillmont::random_testing {

// Where the random decisions come from.
class Choices {
 public:
  virtual ~Choices() = default;
  // A number in [0, bound); bound 0 or 1 gives 0.
  virtual std::uint32_t Below(std::uint32_t bound) = 0;
  // No more input: a fuzz input is used up (a seeded source never is).
  virtual bool Exhausted() const { return false; }
  bool Percent(std::uint32_t percent) { return Below(100) < percent; }
  template <class T>
  const T& Pick(const std::vector<T>& from) {
    return from[Below(static_cast<std::uint32_t>(from.size()))];
  }
};

class SeededChoices final : public Choices {
 public:
  explicit SeededChoices(std::uint64_t seed) : engine_(seed) {}
  std::uint32_t Below(std::uint32_t bound) override {
    if (bound <= 1) return 0;
    return static_cast<std::uint32_t>(engine_() % bound);
  }

 private:
  std::mt19937_64 engine_;
};

// Reads the decisions from a byte string; once it is used up every answer is
// 0 and Exhausted is true.
class ByteChoices final : public Choices {
 public:
  ByteChoices(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint32_t Below(std::uint32_t bound) override;
  bool Exhausted() const override { return position_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// A rule that did not hold.
class RuleBroken : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

using testing::ShownMessage;

// Plays a user who answers message boxes at random: OK to an OK box; Yes, No
// or OK to a Yes/No box (only No cancels). Records what it was shown.
class AnsweringMessages final : public MessageService {
 public:
  explicit AnsweringMessages(Choices& choices) : choices_(choices) {}
  int ShowMessage(const std::string& prompt, int buttons, const std::string& title, const std::string& helpFile,
                  int helpContext) override;
  std::vector<ShownMessage> shown;

 private:
  Choices& choices_;
};

using testing::RecordingTabHost;
using testing::ServiceInstall;

// One panel under random use.
class PanelExerciser {
 public:
  virtual ~PanelExerciser();
  // Notes what the next step needs to know of the state before it (no
  // failure is armed while it runs).
  virtual void Prepare() = 0;
  // One random action of the user or the host. Returns what it did; errors
  // of the panel or its components pass through.
  virtual std::string Act() = 0;
  // Throws RuleBroken when the step had the wrong effect or a rule that
  // must always hold between calls is broken. strict = false after an
  // injected failure: then only the rules that no interrupted operation may
  // break (transient flags, the data) are checked.
  virtual void Verify(bool strict) = 0;
  // What a user does to get going again after an error; it must work.
  virtual std::string Recover() = 0;
  // Steps whose component errors the panel ignores by design (layout).
  virtual bool IgnoresErrors(const std::string& step) const { return step.rfind("resize", 0) == 0; }
  // The action Act was performing (also when it failed).
  const std::string& LastAction() const noexcept { return action_; }

 protected:
  // Notes the action and its kind, then does it.
  template <class Kind, class Act>
  std::string Step(Kind& kind, Kind k, const char* name, Act&& act) {
    action_ = name;
    kind = k;
    return act();
  }

  // The calls a host makes of every page, as often in each run: LoadData
  // for a roll (of 10) below 3, SaveData below 6, IsTabValid otherwise.
  template <class Op, class Panel, class Load>
  std::string PageCall(std::uint32_t roll, Op& op, Panel& panel, Load&& load, bool& valid, const char* title) {
    if (roll < 3) {
      op = Op::Load;
      load();
      return "host: LoadData";
    }
    if (roll < 6) {
      op = Op::Save;
      panel.SaveData();
      return "host: SaveData";
    }
    op = Op::Valid;
    valid = panel.IsTabValid(title);
    return "host: IsTabValid";
  }

  std::string action_;
};

// What each panel's run holds alike: the choices, the user who answers the
// message boxes, the components installed for the run, the panel with the
// user at its controls, and the host's tab container (and how it stood
// before the step).
template <class Panel>
class PanelRun : public PanelExerciser {
 public:
  PanelRun(Choices& choices, std::shared_ptr<testing::FaultPlan> plan, std::shared_ptr<AppContext> context,
           std::shared_ptr<DefinitionLibrary> library)
      : choices(choices),
        messages(std::make_shared<AnsweringMessages>(choices)),
        install(messages, std::move(context), std::move(library), std::move(plan)),
        panel(Panel::Create()),
        user(*panel) {}

  int Marks() const { return host ? host->markChanged : 0; }
  bool SameHost() const { return host && host == hostBefore; }

  Choices& choices;
  std::shared_ptr<AnsweringMessages> messages;
  ServiceInstall install;
  std::shared_ptr<Panel> panel;
  ui::Driver user;
  std::shared_ptr<RecordingTabHost> host, hostBefore;
  int markBefore = 0;
  bool tabValid = true;
  bool loadFailed = false;  // the last LoadData failed

 protected:
  // Before a step: no message shown yet, and the container as it stands.
  void NoteHost() {
    messages->shown.clear();
    markBefore = Marks();
    hostBefore = host;
  }
  // The host loads the definition, with a container nine times in ten.
  void HostLoads(const std::shared_ptr<NotificationDefinition>& definition, const char* tabKey) {
    host = choices.Percent(90) ? std::make_shared<RecordingTabHost>() : nullptr;
    loadFailed = true;
    panel->LoadData(Variant(definition), tabKey, host);
    loadFailed = false;
  }
};

// Texts the user types: single characters (ASCII, blanks, non-ASCII) and
// whole words, chosen by the caller's mix.
const std::vector<std::string>& RandomFragments();

std::unique_ptr<PanelExerciser> MakeSnmpExerciser(Choices& choices, std::shared_ptr<testing::FaultPlan> plan = {});
std::unique_ptr<PanelExerciser> MakeEmailExerciser(Choices& choices, std::shared_ptr<testing::FaultPlan> plan = {});
std::unique_ptr<PanelExerciser> MakeEventsExerciser(Choices& choices, std::shared_ptr<testing::FaultPlan> plan = {});

struct RunOptions {
  long steps = 0;
  // Arm a failure on a random near call before this percentage of steps.
  int faultPercent = 0;
};

// Runs the steps (or until the choices are used up), checking the rules
// after each. Returns "" when every rule held, otherwise a report naming the
// broken rule and the last steps.
std::string Run(PanelExerciser& exerciser, Choices& choices, std::shared_ptr<testing::FaultPlan> plan,
                const RunOptions& options);

// Step count from QUILLMONT_RANDOM_STEPS, else the default (a tenth of it
// under the sanitizers, which slow every call down).
long StepsFromEnvironment(long byDefault);
// Seed from QUILLMONT_RANDOM_SEED, else the default.
std::uint64_t SeedFromEnvironment(std::uint64_t byDefault);

// Throws RuleBroken with the message when the condition fails.
inline void Require(bool condition, const std::string& rule) {
  if (!condition) throw RuleBroken(rule);
}

// User gestures every panel's run makes alike; each returns what it did.
// Clicks with Shift or Ctrl on one row, or selects none, one or several rows.
std::string SelectRandomRows(ui::Driver& user, Choices& choices, ui::ListView& list);
// One navigation or selection key on the list, sometimes with Shift or Ctrl.
std::string PressRandomListKey(ui::Driver& user, Choices& choices, ui::ListView& list);
// Alt with one of the letters (the panel's own and some it does not use).
std::string PressRandomAccessKey(ui::Driver& user, Choices& choices, const std::string& letters);
std::string PressTab(ui::Driver& user, Choices& choices);
std::string ResizeRandomly(ui::Driver& user, Choices& choices, std::uint32_t maxWidth, std::uint32_t maxHeight);

}  // namespace quillmont::random_testing
