// The editor core on a scripted terminal over a database with 100,000 more
// event types and one notification with 10,000 managers, 10,000 recipients
// and 10,000 chosen event types: opening it up to its first frame, a group
// filter change on its events page from the key to the redrawn frame, and a
// 1 MB paste into a Message.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "apps/editor/dialogs.h"
#include "apps/editor/editor_window.h"
#include "apps/editor/screen.h"
#include "apps/session/startup.h"
#include "bench/bench_support.h"
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/framework/runtime.h"
#include "store/host_objects.h"
#include "store/seed.h"
#include "tests/editor/scripted_terminal.h"

namespace quillmont::editor {
namespace {

constexpr int kTypes = 100000;
constexpr int kMembers = 10000;

using bench::Numbered;

// A database in a fresh private folder, seeded, with the big catalogue and
// the big notification added; removed with the folder.
struct BigDatabase {
  BigDatabase() {
    char folderName[] = "/tmp/qm-editor-bench-XXXXXX";
    if (!::mkdtemp(folderName)) std::abort();
    folder = folderName;
    path = folder + "/q.db";
    auto store = store::Store::Open(path);
    store::SeedDatabase(*store);
    store::Database& db = store->Db();
    store::WriteTransaction tx(db);
    auto type = db.Prepare("INSERT INTO event_types(type_key, name, group_id, sort_order) VALUES(?,?,?,?)");
    for (int i = 0; i < kTypes; ++i)
      type.Bind(1, Numbered("bench.type-", i))
          .Bind(2, Numbered("Bench event type ", i))
          .Bind(3, i % 15 + 1)
          .Bind(4, 1000 + i)
          .Run();
    db.Prepare("INSERT INTO notifications(name, event_group_id) VALUES('Big', 0)").Run();
    id = static_cast<std::int32_t>(db.QueryInt("SELECT MAX(id) FROM notifications"));
    auto manager = db.Prepare(
        "INSERT INTO snmp_managers(notification_id, position, host, port, version, time_format) VALUES(?,?,?,?,?,?)");
    auto recipient = db.Prepare("INSERT INTO email_recipients(notification_id, position, address) VALUES(?,?,?)");
    auto chosen = db.Prepare("INSERT INTO notification_event_types(notification_id, position, type_key) VALUES(?,?,?)");
    for (int i = 1; i <= kMembers; ++i) {
      manager.Bind(1, id).Bind(2, i).Bind(3, Numbered("host", i, ".example.net")).Bind(4, 162).Bind(5, "SNMP v2c");
      manager.Bind(6, "UTC").Run();
      recipient.Bind(1, id).Bind(2, i).Bind(3, Numbered("user", i, "@example.net")).Run();
      chosen.Bind(1, id).Bind(2, i).Bind(3, Numbered("bench.type-", (i - 1) * (kTypes / kMembers))).Run();
    }
    tx.Commit();
  }
  ~BigDatabase() { std::filesystem::remove_all(folder); }

  std::string folder, path;
  std::int32_t id = 0;
};

const BigDatabase& Database() {
  static const BigDatabase db;
  return db;
}

// The editor's services on a scripted terminal, over a store of its own (so
// its catalogue is read afresh, as when the editor starts).
struct Editor {
  testing::ScriptedTerminal terminal{40, 120};
  Screen screen{terminal};
  std::shared_ptr<store::Store> store = store::Store::Open(Database().path);
  session::StoreServices services{std::make_shared<TerminalMessageService>(screen), store};
};

// Opens the big notification on its three pages in the editor and draws the
// first frame; the store's first open of it, so its catalogue is read too.
void OpenAndDraw(benchmark::State& state, Editor& editor) {
  auto window = std::make_unique<EditorWindow>(editor.screen, *editor.store,
                                               editor.store->OpenDefinition(Database().id), session::StandardPages());
  if (!window->Open()) state.SkipWithError("the notification did not open");
  auto layer = std::make_unique<LayerScope>(
      editor.screen, [&window](Canvas& canvas) { window->Draw(canvas); }, EditorWindow::kMinSize);
  editor.screen.Redraw();
  benchmark::DoNotOptimize(editor.terminal.Frame());
  state.PauseTiming();  // closing is not part of opening
  layer.reset();
  window.reset();
}

// Starting the editor and opening the notification: a new store (with its
// check of the file) reads the catalogue, the window opens the notification
// and draws its first frame. "first" is the first iteration, the one a new
// process pays: its memory comes fresh from the system.
void BM_EditorOpenBigNotification(benchmark::State& state) {
  Database();
  double first = -1;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto editor = std::make_unique<Editor>();
    OpenAndDraw(state, *editor);
    if (first < 0) first = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    editor.reset();
    state.ResumeTiming();
  }
  state.counters["first_ms"] = first;
}
BENCHMARK(BM_EditorOpenBigNotification)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same from the list, where the store is open already: opening the
// notification the first time in the session (the catalogue not yet read).
void BM_EditorOpenFromList(benchmark::State& state) {
  Database();
  for (auto _ : state) {
    state.PauseTiming();
    auto editor = std::make_unique<Editor>();
    state.ResumeTiming();
    OpenAndDraw(state, *editor);
    editor.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_EditorOpenFromList)->Unit(benchmark::kMillisecond)->Iterations(10);

// Down and Up in the group filter alternate between all groups and the
// first; each key is read from the terminal, handled and drawn (the frame
// of one key is drawn when the next one is read).
void BM_EditorGroupFilterChange(benchmark::State& state) {
  Editor editor;
  EditorWindow window(editor.screen, *editor.store, editor.store->OpenDefinition(Database().id),
                      session::StandardPages());
  if (!window.Open()) state.SkipWithError("the notification did not open");
  LayerScope layer(
      editor.screen, [&window](Canvas& canvas) { window.Draw(canvas); }, EditorWindow::kMinSize);
  editor.screen.Redraw();
  bool down = true;
  for (auto _ : state) {
    // A filter change moves the focus to the available rows: Alt+G first
    // goes back to the group filter, as the user would.
    window.HandleEvent(InputEvent::MakeAlt(U'g'));
    editor.terminal.Key(down ? ui::keys::Down : ui::keys::Up);
    window.HandleEvent(editor.screen.Next());  // draws the frame of the key before, then reads this one
    down = !down;
  }
  auto* page = dynamic_cast<XEventsTab*>(&window.ActivePanel());
  if (!page || page->cboGroupEvents().ListIndex() != (down ? 0 : 1))
    state.SkipWithError("the keys did not change the group filter");
}
BENCHMARK(BM_EditorGroupFilterChange)->Unit(benchmark::kMillisecond);

// A 1 MB bracketed paste of 72-character lines into the Message of a
// sample notification, from the event to the redrawn frame: one insertion,
// cut to the field's 65,536 characters (the status line says so). The
// Message is reset to "<Default>" between pastes, outside the timing.
void BM_EditorPasteOneMegabyte(benchmark::State& state) {
  Editor editor;
  EditorWindow window(editor.screen, *editor.store, editor.store->OpenDefinition(1), session::StandardPages());
  if (!window.Open()) state.SkipWithError("the notification did not open");
  LayerScope layer(
      editor.screen, [&window](Canvas& canvas) { window.Draw(canvas); }, EditorWindow::kMinSize);
  window.HandleEvent(InputEvent::MakeAlt(U'3'));
  std::string line(71, 'x');
  line += '\r';
  std::string pasted;
  while (pasted.size() < (1u << 20)) pasted += line;
  auto* page = dynamic_cast<XEventEmailTab*>(&window.ActivePanel());
  if (!page) state.SkipWithError("the e-mail page did not come forward");
  for (auto _ : state) {
    state.PauseTiming();
    window.HandleEvent(InputEvent::MakeAlt(U't'));  // Reset: "<Default>"
    window.HandleEvent(InputEvent::MakeAlt(U'm'));  // entered: typing replaces it
    state.ResumeTiming();
    window.HandleEvent(InputEvent::MakePaste(pasted));
    editor.screen.Redraw();
  }
  if (!page || page->txtMessage().Text().size() != 65536) state.SkipWithError("the paste did not fill the Message");
}
BENCHMARK(BM_EditorPasteOneMegabyte)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillmont::editor
