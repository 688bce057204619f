#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "store/definition_store.h"

// Notifications as JSON documents, for scripts and version control: one
// notification, all of them, and an import that applies a whole document or
// nothing.
namespace quillmont::store {

// The "formatVersion" every document carries; an import refuses others.
inline constexpr int kFormatVersion = 1;
// The largest document an import reads.
inline constexpr std::size_t kMaxImportBytes = std::size_t{64} << 20;

// One notification: formatVersion, number, name, revision, SNMP managers,
// recipients, subject and message (null for the default), the group filter
// and the chosen event types with their catalogue names.
std::string ExportJson(Store& store, std::int32_t id);
// {"formatVersion", "notifications": [...]}: every notification, in number
// order, each as ExportJson writes it (less the format version), read in one
// snapshot.
std::string ExportAllJson(Store& store);

struct ImportOptions {
  bool prune = false;   // delete stored notifications the document lacks
  bool dryRun = false;  // report what would happen, write nothing
  bool force = false;   // replace notifications changed since the export
};

struct ImportStep {
  enum class Action { Create, Replace, Unchanged, Prune };
  Action action = Action::Create;
  std::int32_t number = 0;  // the stored number (0: a new one, in a dry run)
  std::string name;
};

// An import that wrote nothing: every problem of the document, each
// "path: what is wrong", or the notifications changed since the export.
// Problems as they are found: the first ones listed, the rest only counted
// (a document can hold millions).
struct ProblemList {
  static constexpr std::size_t kListed = 100;
  std::vector<std::string> listed;
  std::size_t more = 0;
  void Add(std::string problem) {
    if (listed.size() < kListed)
      listed.push_back(std::move(problem));
    else
      ++more;
  }
  bool Empty() const noexcept { return listed.empty(); }
};

class ImportRefused : public Error {
 public:
  enum class Reason { Invalid, ChangedMeanwhile };
  // more: problems beyond those listed (a long list keeps its first ones).
  ImportRefused(Reason reason, std::vector<std::string> problems, std::size_t more = 0);
  Reason Why() const noexcept { return reason_; }
  const std::vector<std::string>& Problems() const noexcept { return problems_; }

 private:
  Reason reason_;
  std::vector<std::string> problems_;
};

// Applies an --export-all document: a notification is matched by name (as
// the store compares names); a new name is created (with the document's
// number when it is free, and its revision), a stored one replaced when it
// differs (its number kept, its revision advanced), the others left alone
// unless options.prune. Everything is checked first, as the pages check it;
// then all of it is written in one write transaction, or nothing.
// A notification whose stored revision is not the document's is refused
// (ChangedMeanwhile) unless options.force. Returns what was (or, in a dry
// run, would be) done, in document order, then the pruned ones.
std::vector<ImportStep> ImportJson(Store& store, std::string_view document, const ImportOptions& options);

// Reads a document from in, refusing (ImportRefused) more than
// kMaxImportBytes.
std::string ReadImportDocument(std::istream& in, const std::string& source);

}  // namespace quillmont::store
