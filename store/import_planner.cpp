#include <map>
#include <set>

#include "quillmont/rules/fields.h"
#include "store/import_checker.h"
#include "store/notification_io.h"

// The import's planner: what a checked document creates, replaces, leaves
// and prunes, and then the writing of it in one transaction.
namespace quillmont::store {
namespace {

using namespace json;

bool SameContent(const NotificationRecord& a, const NotificationRecord& b) {
  auto sameManager = [](const StoredManager& x, const StoredManager& y) {
    return x.host == y.host && x.port == y.port && x.version == y.version && x.timeFormat == y.timeFormat;
  };
  return a.name == b.name && a.subject == b.subject && a.message == b.message && a.eventGroupId == b.eventGroupId &&
         a.recipients == b.recipients && a.eventTypeKeys == b.eventTypeKeys &&
         std::equal(a.managers.begin(), a.managers.end(), b.managers.begin(), b.managers.end(), sameManager);
}

}  // namespace

std::vector<ImportStep> ImportJson(Store& store, std::string_view document, const ImportOptions& options) {
  if (document.size() > kMaxImportBytes)
    throw ImportRefused(ImportRefused::Reason::Invalid,
                        {"document: larger than " + std::to_string(kMaxImportBytes >> 20) + " MB"});
  const InJson doc = Parse(document);
  if (!options.dryRun) store.RefuseIfReadOnly("importing");
  Database& db = store.Db();
  // Checked and planned inside the transaction that writes: no other save
  // comes between what was read and the commit.
  std::optional<WriteTransaction> tx;
  std::optional<ReadTransaction> snapshot;
  if (options.dryRun)
    snapshot.emplace(db);
  else
    tx.emplace(db);

  std::set<std::int64_t> groupIds;
  Statement groups = db.Prepare("SELECT Group_id FROM event_groups");
  while (groups.Step()) groupIds.insert(groups.Int(0));
  ProblemList problems;
  std::vector<Incoming> incoming = CheckDocument(doc, store.EventTypes(), std::move(groupIds), problems);
  if (!problems.Empty()) throw ImportRefused(ImportRefused::Reason::Invalid, std::move(problems.listed), problems.more);

  std::map<std::string, NotificationRecord> stored;  // name key -> record
  for (NotificationRecord& r : store.Reader().ReadAll()) stored.emplace(rules::NameKey(r.name), std::move(r));
  CheckLookAlikes(stored, incoming, problems);
  if (!problems.Empty()) throw ImportRefused(ImportRefused::Reason::Invalid, std::move(problems.listed), problems.more);
  std::vector<ImportStep> steps;
  std::vector<std::string> conflicts;
  std::set<std::int64_t> usedNumbers;
  std::set<std::string> matched;
  for (const auto& [key, r] : stored) usedNumbers.insert(r.id);
  for (const Incoming& in : incoming) {
    const std::string key = rules::NameKey(in.record.name);
    auto it = stored.find(key);
    if (it == stored.end()) {
      steps.push_back({ImportStep::Action::Create, 0, in.record.name});
      continue;
    }
    matched.insert(key);
    const NotificationRecord& current = it->second;
    if (SameContent(current, in.record)) {
      steps.push_back({ImportStep::Action::Unchanged, current.id, in.record.name});
      continue;
    }
    steps.push_back({ImportStep::Action::Replace, current.id, in.record.name});
    if (in.revision && *in.revision != current.revision && !options.force)
      conflicts.push_back(in.path + ": notification " + std::to_string(current.id) + " (" + Quoted(current.name) +
                          ") is at revision " + std::to_string(current.revision) + ", the document has revision " +
                          std::to_string(*in.revision));
  }
  if (!conflicts.empty()) throw ImportRefused(ImportRefused::Reason::ChangedMeanwhile, std::move(conflicts));
  if (options.prune)
    for (const auto& [key, r] : stored)
      if (!matched.count(key)) {
        steps.push_back({ImportStep::Action::Prune, r.id, r.name});
        usedNumbers.erase(r.id);
      }
  // A new notification keeps the document's number when it is free.
  for (std::size_t i = 0; i < incoming.size(); ++i)
    if (steps[i].action == ImportStep::Action::Create && incoming[i].number &&
        usedNumbers.insert(*incoming[i].number).second)
      steps[i].number = *incoming[i].number;
  if (options.dryRun) return steps;

  NotificationWriter writer = store.Writer();
  for (const ImportStep& step : steps)
    if (step.action == ImportStep::Action::Prune) writer.Delete(step.number);
  // Numbers taken from the document first, so no number chosen by the
  // database meets one of them.
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) writer.AfterOwnNumbers();
    for (std::size_t i = 0; i < incoming.size(); ++i) {
      ImportStep& step = steps[i];
      NotificationRecord r = incoming[i].record;
      r.modified = UtcNow();
      if (step.action == ImportStep::Action::Create && (step.number != 0) == (pass == 0)) {
        // The number is the document's, or the database's own choice.
        r.id = step.number;
        r.revision = incoming[i].revision.value_or(1);
        step.number = writer.Insert(r, step.number != 0);
        writer.WriteLists(step.number, r, true);
      } else if (step.action == ImportStep::Action::Replace && pass == 0) {
        writer.Update(step.number, r, std::nullopt);
        writer.WriteLists(step.number, r);
      }
    }
  }
  tx->Commit();
  return steps;
}

}  // namespace quillmont::store
