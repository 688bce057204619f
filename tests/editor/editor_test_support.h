#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "apps/editor/dialogs.h"
#include "apps/editor/screen.h"
#include "quillmont/framework/runtime.h"
#include "store/definition_store.h"
#include "store/host_objects.h"
#include "store/seed.h"
#include "tests/editor/scripted_terminal.h"

namespace quillmont::editor::testing {

class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("qm-editor-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A seeded store and the editor's services on a scripted terminal, as the
// program sets them up.
class EditorFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    store::OpenOptions options;
    options.busyTimeoutMs = 50;
    store = store::Store::Open(dir.File("q.db"), options);
    store::SeedDatabase(*store);
    ResetThreadServices();
    SetThreadMessageService(std::make_shared<TerminalMessageService>(screen));
    SetThreadAppContext(std::make_shared<store::StoreAppContext>(store));
    SetThreadDefinitionLibrary(std::make_shared<store::StoreDefinitionLibrary>(store));
  }
  void TearDown() override {
    EXPECT_TRUE(terminal.Finished()) << "the script was not played to its end";
    ResetThreadServices();
  }

  TempDir dir;
  ScriptedTerminal terminal{24, 80};
  Screen screen{terminal};
  std::shared_ptr<store::Store> store;
};

}  // namespace quillmont::editor::testing
