// --export-all and --import on the command line: options, output, exit codes.
#include <gtest/gtest.h>

#include <sstream>

#include "apps/editor/cli.h"
#include "store/notification_io.h"
#include "store/seed.h"
#include "tests/support/temp_dir.h"

namespace quillmont::editor {
namespace {

TEST(ImportCommandLine, ExportsAllAndImportsFromStandardInput) {
  EXPECT_THROW(ParseCommandLine({"--prune"}), std::invalid_argument);

  testing::TempDir dir;
  const std::string db = dir.File("q.db");
  store::SeedDatabase(*store::Store::Open(db));
  auto run = [&db](std::vector<std::string> args, const std::string& input, std::string* output = nullptr) {
    args.insert(args.begin(), {"--db", db});
    std::istringstream in(input);
    std::ostringstream out, err;
    const int code = RunProgram(args, in, out, err);
    if (output) *output = out.str() + err.str();
    return code;
  };
  std::string exported, output;
  EXPECT_EQ(run({"--export-all"}, "", &exported), exit_code::Ok);
  EXPECT_EQ(exported, store::ExportAllJson(*store::Store::Open(db)));
  EXPECT_EQ(run({"--import", "-", "--dry-run"}, exported, &output), exit_code::Ok);
  EXPECT_NE(output.find("unchanged\t1\tCore network outage\n"), std::string::npos) << output;
  EXPECT_NE(output.find("dry run: 0 to create, 0 to replace, 2 unchanged, 0 to prune"), std::string::npos) << output;

  const std::string bad = R"({"formatVersion": 1, "notifications": [{"name": "x", "eventTypes": ["nope"]}]})";
  EXPECT_EQ(run({"--import", "-"}, bad, &output), exit_code::InputRefused);
  EXPECT_NE(output.find("notifications[0].eventTypes[0]: \"nope\" is not an event type"), std::string::npos) << output;
  EXPECT_EQ(run({"--import", dir.File("missing.json")}, "", &output), exit_code::InputRefused);
  EXPECT_EQ(run({"--import", "-"}, exported, &output), exit_code::Ok);
  EXPECT_NE(output.find("imported: 0 created, 0 replaced, 2 unchanged, 0 pruned"), std::string::npos) << output;
  EXPECT_EQ(run({"--help"}, "", &output), exit_code::Ok);
  EXPECT_NE(output.find("6  input refused"), std::string::npos);
}

}  // namespace
}  // namespace quillmont::editor
