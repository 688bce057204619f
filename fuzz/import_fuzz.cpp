// Arbitrary bytes as an import document, against a seeded database in
// memory. The first byte chooses --prune (bit 0) and --force (bit 1). An
// import either is refused cleanly, writing nothing, or leaves a sound
// database that holds exactly what was imported: the same document and the
// database's own export both import again without a change.
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "store/notification_io.h"
#include "store/seed.h"
#include "store/sqlite_db.h"

namespace {

using namespace quillmont::store;

bool AllUnchanged(const std::vector<ImportStep>& steps) {
  return std::all_of(steps.begin(), steps.end(),
                     [](const ImportStep& s) { return s.action == ImportStep::Action::Unchanged; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // Seeded once; each input gets a copy.
  static const auto seeded = std::make_shared<Store>(OpenMemoryDatabase());
  static const std::string before = (SeedDatabase(*seeded), ExportAllJson(*seeded));
  auto store = std::make_shared<Store>(OpenMemoryDatabase());
  auto handle = [](Store& s) { return static_cast<SqliteDatabase&>(s.Db()).Handle(); };
  sqlite3_backup* copy = sqlite3_backup_init(handle(*store), "main", handle(*seeded), "main");
  if (!copy || sqlite3_backup_step(copy, -1) != SQLITE_DONE || sqlite3_backup_finish(copy) != SQLITE_OK) std::abort();
  ImportOptions options;
  options.prune = (data[0] & 1) != 0;
  options.force = (data[0] & 2) != 0;
  const std::string document(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    ImportJson(*store, document, options);
  } catch (const ImportRefused& refused) {
    if (refused.Problems().empty() || ExportAllJson(*store) != before) std::abort();
    return 0;
  }
  options.force = true;
  if (store->Db().QueryInt("SELECT COUNT(*) FROM pragma_integrity_check WHERE integrity_check <> 'ok'") != 0 ||
      store->Db().QueryInt("SELECT COUNT(*) FROM pragma_foreign_key_check") != 0 ||
      !AllUnchanged(ImportJson(*store, document, options)) ||
      !AllUnchanged(ImportJson(*store, ExportAllJson(*store), options)))
    std::abort();
  return 0;
}
