#pragma once

#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "apps/editor/dialogs.h"
#include "apps/editor/screen.h"
#include "apps/session/startup.h"
#include "quillmont/framework/runtime.h"
#include "store/definition_store.h"
#include "store/host_objects.h"
#include "store/seed.h"
#include "tests/editor/scripted_terminal.h"
#include "tests/support/temp_dir.h"

namespace quillmont::editor::testing {

using quillmont::testing::TempDir;

// A seeded store and the editor's services on a scripted terminal, as the
// program sets them up.
class EditorFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    store::OpenOptions options;
    options.busyTimeoutMs = 50;
    store = store::Store::Open(dir.File("q.db"), options);
    store::SeedDatabase(*store);
    services.emplace(std::make_shared<TerminalMessageService>(screen), store);
  }
  void TearDown() override {
    EXPECT_TRUE(terminal.Finished()) << "the script was not played to its end";
    services.reset();
  }

  TempDir dir;
  ScriptedTerminal terminal{24, 80};
  Screen screen{terminal};
  std::shared_ptr<store::Store> store;
  std::optional<session::StoreServices> services;
};

}  // namespace quillmont::editor::testing
