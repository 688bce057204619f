#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "quillmont/framework/runtime.h"
#include "quillmont/framework/services.h"
#include "quillmont/framework/tab_contract.h"

namespace quillmont::testing {

// A host tab container that records what the panel asked of it.
class RecordingTabHost : public TabHost {
 public:
  void MarkChanged() override { ++markChanged; }
  void SelectTab(std::string& tabKey) override { selectedTabs.push_back(tabKey); }

  int markChanged = 0;
  std::vector<std::string> selectedTabs;
};

// One message box a test expects, with the answer the user gives.
struct ExpectedMessage {
  std::string prompt;
  int buttons = 0;
  std::string title;
  int answer = msgbox::AnswerOk;
};

struct ShownMessage {
  std::string prompt;
  int buttons = 0;
  std::string title;
  std::string helpFile;
  int helpContext = 0;
  int answer = 0;
};

// A message service that plays the user: each message must be the next one
// scripted (prompt, buttons code and title), and gets the scripted answer.
// An unexpected message, or one left unshown when the service is verified or
// destroyed, fails the running test.
class ScriptedMessages : public MessageService {
 public:
  ~ScriptedMessages() override;

  ScriptedMessages& Expect(std::string prompt, int buttons, std::string title, int answer = msgbox::AnswerOk);
  int ShowMessage(const std::string& prompt, int buttons, const std::string& title, const std::string& helpFile,
                  int helpContext) override;
  // Fails the test for each expected message not shown yet, then forgets them.
  void Verify();

  std::vector<ShownMessage> shown;

 private:
  std::deque<ExpectedMessage> expected_;
};

// Gives the calling thread fresh default components and a scripted message
// service for the life of the scope (one test), and drops them afterwards.
class ServiceScope {
 public:
  ServiceScope();
  ~ServiceScope();
  ServiceScope(const ServiceScope&) = delete;
  ServiceScope& operator=(const ServiceScope&) = delete;

  ScriptedMessages& Messages() { return *messages_; }

 private:
  std::shared_ptr<ScriptedMessages> messages_;
};

}  // namespace quillmont::testing
