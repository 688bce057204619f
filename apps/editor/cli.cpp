#include "apps/editor/cli.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <ostream>
#include <stdexcept>

#include "apps/editor/dialogs.h"
#include "apps/editor/notification_list.h"
#include "apps/editor/terminal.h"
#include "apps/session/location.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/terminal_text.h"
#include "quillmont/version.h"
#include "store/copy.h"
#include "store/host_objects.h"
#include "store/notification_io.h"
#include "store/pg_db.h"
#include "store/seed.h"

namespace quillmont::editor {
namespace {

// Every message line goes out escaped and of a readable size: it may quote
// a file name, an argument or text from the database.
std::ostream& Say(std::ostream& err, const std::string& message) {
  return err << "quillmont-editor: " << text::ForTerminal(text::Shortened(message, 1000)) << "\n";
}

// Asks on the terminal whether to edit a database someone else may have
// written; only a "y" or "yes" agrees.
bool ConfirmUntrusted(const std::string& why, std::istream& in, std::ostream& err) {
  Say(err, why);
  err << "Edit it anyway? Its owner can read and change every notification in it. [y/N] " << std::flush;
  std::string answer;
  std::getline(in, answer);
  return answer == "y" || answer == "Y" || answer == "yes";
}

std::int32_t ParseNumber(const std::string& text) {
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value <= 0)
    throw std::invalid_argument("--export needs a notification number (a whole number from 1), not \"" + text + "\"");
  return value;
}

// The editor's own components for the panels of this thread, for as long as
// the editor runs: its message boxes, and the store's definitions, catalogue
// and settings. Lists, selectors and text services stay the library's.
class HostServices {
 public:
  HostServices(Screen& screen, const std::shared_ptr<store::Store>& store) {
    SetThreadMessageService(std::make_shared<TerminalMessageService>(screen));
    SetThreadAppContext(std::make_shared<store::StoreAppContext>(store));
    SetThreadDefinitionLibrary(std::make_shared<store::StoreDefinitionLibrary>(store));
  }
  ~HostServices() { ResetThreadServices(); }
  HostServices(const HostServices&) = delete;
  HostServices& operator=(const HostServices&) = delete;
};

int RunEditor(const std::string& path, bool explicitPath, std::ostream& err) {
  std::error_code ec;
  const bool server = store::IsServerUri(path);
  // A server's database has no folder to make and no file owner to trust.
  const auto folder = server ? std::filesystem::path() : std::filesystem::path(path).parent_path();
  // A named database is made only in a folder that is there: a mistyped path
  // must not leave new folders and a sample database behind.
  if (explicitPath && !folder.empty() && !std::filesystem::exists(path, ec) &&
      !std::filesystem::is_directory(folder, ec)) {
    Say(err, "the folder " + folder.string() + " does not exist, so " + path +
                 " was not created (--db makes a new database only in an existing folder)");
    return exit_code::Usage;
  }
  // Someone else's database is refused before anything else happens, unless
  // it was named and the user agrees on the terminal below.
  if (std::string why = server ? std::string() : store::UntrustedReason(path); !why.empty() && !explicitPath) {
    Say(err, why + " It was not opened; to edit it anyway, name it with --db and confirm.");
    return exit_code::DatabaseRefused;
  }
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
    err << "quillmont-editor: the editor needs a terminal (use --list or --export in scripts)\n";
    return exit_code::NoTerminal;
  }
  std::shared_ptr<store::Store> store;
  try {
    if (!explicitPath && !folder.empty()) store::CreateDatabaseFolders(folder.string());
    store::OpenOptions options;
    options.access = store::Access::WriteIfAllowed;
    try {
      store = store::Store::Open(path, options);
    } catch (const store::UntrustedDatabase& e) {
      if (!ConfirmUntrusted(e.what(), std::cin, err)) throw;
      options.editUntrusted = true;
      store = store::Store::Open(path, options);
    }
    if (store->WasCreated()) store::SeedDatabase(*store);
  } catch (const std::exception& e) {
    Say(err, e.what());
    return exit_code::DatabaseRefused;
  }
  UseUtf8Locale();
  CursesTerminal terminal;
  Screen screen(terminal);
  HostServices services(screen, store);
  NotificationListScreen list(screen, store, StandardPages(), store->Db().Path());
  list.Run();
  return exit_code::Ok;
}

// What Error a store operation threw means for the exit code.
int ExitCodeOf(const Error& e) {
  if (e.Code() == ErrorCode::NotFound) return exit_code::NotFound;
  if (e.Code() == ErrorCode::Busy || e.Code() == ErrorCode::Corrupt) return exit_code::DatabaseRefused;
  return exit_code::Failure;
}

std::string ReadDocument(const std::string& file, std::istream& in) {
  if (file == "-") return store::ReadImportDocument(in, "standard input");
  std::ifstream stream(file, std::ios::binary);
  if (!stream)
    throw store::ImportRefused(store::ImportRefused::Reason::Invalid,
                               {file + ": cannot be opened (" + std::strerror(errno) + ")"});
  return store::ReadImportDocument(stream, file);
}

// One line per notification (action, number, name), then the counts.
void PrintSteps(const std::vector<store::ImportStep>& steps, bool dryRun, std::ostream& out) {
  static const char* const words[4][2] = {
      {"create", "created"}, {"replace", "replaced"}, {"unchanged", "unchanged"}, {"prune", "pruned"}};
  int counts[4] = {};
  for (const store::ImportStep& step : steps) {
    const int kind = static_cast<int>(step.action);
    ++counts[kind];
    out << words[kind][dryRun ? 0 : 1] << '\t' << (step.number ? std::to_string(step.number) : "new") << '\t'
        << text::ForTerminal(step.name) << '\n';
  }
  if (dryRun)
    out << "dry run: " << counts[0] << " to create, " << counts[1] << " to replace, " << counts[2] << " unchanged, "
        << counts[3] << " to prune; nothing was written\n";
  else
    out << "imported: " << counts[0] << " created, " << counts[1] << " replaced, " << counts[2] << " unchanged, "
        << counts[3] << " pruned\n";
}

int RunImport(const CommandLine& cl, const std::string& path, std::istream& in, std::ostream& out, std::ostream& err) {
  auto refused = [&err](const store::ImportRefused& e) {
    for (const std::string& problem : e.Problems()) Say(err, problem);
    Say(err, e.what());
    return exit_code::InputRefused;
  };
  // Read first: a document that cannot be read leaves the database untouched.
  std::string document;
  try {
    document = ReadDocument(cl.importFile, in);
  } catch (const store::ImportRefused& e) {
    return refused(e);
  }
  store::ImportOptions options;
  options.prune = cl.prune;
  options.force = cl.force;
  // The document is checked against a read-only connection first, so that a
  // refused one leaves the file as it was: not even migrated.
  const std::vector<bool> passes = cl.dryRun ? std::vector<bool>{false} : std::vector<bool>{false, true};
  for (const bool write : passes) {
    std::shared_ptr<store::Store> store;
    try {
      store::OpenOptions open;
      open.create = false;
      open.access = write ? store::Access::ReadWrite : store::Access::ReadOnly;
      store = store::Store::Open(path, open);
    } catch (const std::exception& e) {
      Say(err, e.what());
      return exit_code::DatabaseRefused;
    }
    if (cl.dryRun && !store->Untrusted().empty()) Say(err, "note: " + store->Untrusted() + " It was only read.");
    try {
      options.dryRun = !write;
      const auto steps = store::ImportJson(*store, document, options);
      if (write || cl.dryRun) PrintSteps(steps, cl.dryRun, out);
    } catch (const store::ImportRefused& e) {
      return refused(e);
    } catch (const Error& e) {
      Say(err, e.what());
      return ExitCodeOf(e);
    }
  }
  return exit_code::Ok;
}

// Copies a whole store into a new, empty one; a target file this made is
// removed again when the copy fails.
int RunCopy(const std::string& source, const std::string& target, std::ostream& out, std::ostream& err) {
  std::error_code ec;
  const bool newFile = !store::IsServerUri(target) && !std::filesystem::exists(target, ec);
  try {
    store::OpenOptions read;
    read.create = false;
    read.access = store::Access::ReadOnly;
    auto from = store::Store::Open(source, read);
    auto to = store::Store::Open(target);
    const store::CopyCounts counts = store::CopyStore(*from, *to);
    out << "copied " << counts.notifications << " notifications, " << counts.eventTypes << " event types and "
        << counts.settings << " settings from " << text::ForTerminal(from->Db().Path()) << " to "
        << text::ForTerminal(to->Db().Path()) << "; every table and the export of every notification match\n";
    return exit_code::Ok;
  } catch (const std::exception& e) {
    if (newFile)
      for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(target + suffix, ec);
    Say(err, e.what());
    return exit_code::DatabaseRefused;
  }
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  bool modeSet = false;
  auto setMode = [&](CommandLine::Mode mode) {
    if (modeSet && cl.mode != mode)
      throw std::invalid_argument("choose one of --list, --export, --export-all, --import and --copy-to");
    cl.mode = mode;
    modeSet = true;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const std::string& option) -> std::string {
      if (a.size() > option.size() && a.compare(0, option.size() + 1, option + "=") == 0)
        return a.substr(option.size() + 1);
      if (i + 1 >= args.size()) throw std::invalid_argument(option + " needs a value");
      return args[++i];
    };
    if (a == "-h" || a == "--help") {
      cl.mode = CommandLine::Mode::Help;
      return cl;
    }
    if (a == "--version") {
      cl.mode = CommandLine::Mode::Version;
      return cl;
    }
    if (a == "--list") {
      setMode(CommandLine::Mode::List);
    } else if (a == "--export-all") {
      setMode(CommandLine::Mode::ExportAll);
    } else if (a == "--import" || a.rfind("--import=", 0) == 0) {
      if (!cl.importFile.empty()) throw std::invalid_argument("--import given twice");
      setMode(CommandLine::Mode::Import);
      cl.importFile = value("--import");
      if (cl.importFile.empty()) throw std::invalid_argument("--import needs a file name, or - for standard input");
    } else if (a == "--copy-to" || a.rfind("--copy-to=", 0) == 0) {
      setMode(CommandLine::Mode::CopyTo);
      cl.copyTarget = value("--copy-to");
      if (cl.copyTarget.empty()) throw std::invalid_argument("--copy-to needs a file name or a postgresql:// URI");
    } else if (a == "--prune") {
      cl.prune = true;
    } else if (a == "--dry-run") {
      cl.dryRun = true;
    } else if (a == "--force") {
      cl.force = true;
    } else if (a == "--export" || a.rfind("--export=", 0) == 0) {
      setMode(CommandLine::Mode::Export);
      cl.exportNumber = ParseNumber(value("--export"));
    } else if (a == "--db" || a.rfind("--db=", 0) == 0) {
      if (cl.database) throw std::invalid_argument("--db given twice");
      cl.database = value("--db");
      if (cl.database->empty()) throw std::invalid_argument("--db needs a file name or a postgresql:// URI");
    } else {
      throw std::invalid_argument("unknown argument \"" + a + "\"");
    }
  }
  if ((cl.prune || cl.dryRun || cl.force) && cl.mode != CommandLine::Mode::Import)
    throw std::invalid_argument("--prune, --dry-run and --force go with --import");
  return cl;
}

std::string DefaultDatabasePath() { return session::DefaultDatabasePath(); }

std::string UsageText() {
  return "Usage: quillmont-editor [--db DB]              edit notifications in the terminal\n"
         "       quillmont-editor [--db DB] --list       list the notifications (number TAB name)\n"
         "       quillmont-editor [--db DB] --export N   print notification N as JSON\n"
         "       quillmont-editor [--db DB] --export-all print every notification as JSON\n"
         "       quillmont-editor [--db DB] --import FILE [--prune] [--dry-run] [--force]\n"
         "                                    apply a document of --export-all (- reads stdin)\n"
         "       quillmont-editor [--db DB] --copy-to TARGET\n"
         "                                    copy everything into a new, empty store\n"
         "\n"
         "DB is a file path (SQLite), or a postgresql:// URI or libpq key-value string\n"
         "(host=... dbname=...) for a database on a PostgreSQL server, e.g.\n"
         "postgresql://noc@db.example.net/quillmont?sslmode=verify-full; $QUILLMONT_DB\n"
         "sets it when --db is not given. A password written in --db is hidden from ps\n"
         "once read, but other users may see it before that: keep it in $QUILLMONT_DB,\n"
         "~/.pgpass (or PGPASSFILE) or a service file instead. Messages never show one.\n"
         "An empty server database is laid out (and given the sample catalogue) by the\n"
         "editor; other editors on the same server learn of each save at once.\n"
         "\n"
         "--copy-to copies the catalogue, every notification (number and revision kept)\n"
         "and the settings from DB to TARGET (a path or URI, either backend), which must\n"
         "be empty, in one transaction; the copy is compared with the source, table by\n"
         "table and export by export, before it is committed.\n"
         "\n"
         "The database defaults to $XDG_DATA_HOME/quillmont/quillmont.db (or\n"
         "~/.local/share/quillmont/quillmont.db); the editor creates it, and its folders,\n"
         "with a sample catalogue on first run. With --db the editor creates a missing\n"
         "database only when its folder exists. A database this user cannot write (or\n"
         "whose folder it cannot write) is opened read-only: it can be read, not saved.\n"
         "Several editors may work on one database: a save over another's save or\n"
         "deletion writes nothing and asks what to do; a typed entry not applied yet is\n"
         "asked about on save and close.\n"
         "\n"
         "A database another user owns, or that others may write, is refused by the\n"
         "editor unless it is named with --db and you confirm; --list and --export read it\n"
         "and say whose it is.\n"
         "\n"
         "--list and --export only read: they never create, lay out, migrate or change a\n"
         "database (not even its journal mode), and they read a read-only file or folder.\n"
         "--export-all does the same.\n"
         "\n"
         "--import matches notifications by name: a new name is created, a stored one is\n"
         "replaced (its number kept, its revision advanced); the others stay unless\n"
         "--prune deletes them. Every notification is checked as the pages check it, and\n"
         "every problem is reported with its place in the document (e.g.\n"
         "notifications[2].snmpManagers[0].port); then all of it is written in one\n"
         "transaction, or nothing. A notification whose revision in the database is not\n"
         "the document's was changed after the export: the import is refused unless\n"
         "--force. --dry-run says what would be created, replaced, left unchanged and\n"
         "pruned, and writes nothing. A document may have at most 64 MB.\n"
         "\n"
         "Exit codes:\n"
         "  0  done\n"
         "  1  unexpected failure\n"
         "  2  usage: bad arguments, or the folder of a --db database does not exist\n"
         "  3  not found: no notification with that number\n"
         "  4  database refused: missing, empty, not a database, of another program, damaged,\n"
         "     of a newer version, or locked; a refused file is left unchanged; a server\n"
         "     that cannot be reached, a login refused, a database the server lacks; a\n"
         "     --copy-to target that is not empty or a copy that failed\n"
         "  5  no terminal: the editor was started without one\n"
         "  6  input refused: the import document cannot be read, is over 64 MB, is not JSON,\n"
         "     breaks a rule, or holds notifications changed since it was exported; nothing\n"
         "     was written\n";
}

int RunProgram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunProgram(args, std::cin, out, err);
}

int RunProgram(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
  CommandLine cl;
  try {
    cl = ParseCommandLine(args);
  } catch (const std::invalid_argument& e) {
    Say(err, e.what()) << "Try 'quillmont-editor --help'.\n";
    return exit_code::Usage;
  }
  if (cl.mode == CommandLine::Mode::Help) {
    out << UsageText();
    return exit_code::Ok;
  }
  if (cl.mode == CommandLine::Mode::Version) {
    out << "quillmont-editor " QUILLMONT_VERSION_TEXT "\n";
    return exit_code::Ok;
  }
  std::string path;
  bool named = false;
  try {
    path = session::DatabaseLocation(cl.database, named);
  } catch (const std::exception& e) {
    Say(err, e.what());
    return exit_code::Usage;
  }
  if (cl.mode == CommandLine::Mode::Edit) return RunEditor(path, named, err);
  if (cl.mode == CommandLine::Mode::CopyTo) return RunCopy(path, cl.copyTarget, out, err);
  if (cl.mode == CommandLine::Mode::Import) return RunImport(cl, path, in, out, err);

  std::shared_ptr<store::Store> store;
  try {
    store::OpenOptions options;
    options.create = false;
    options.access = store::Access::ReadOnly;
    store = store::Store::Open(path, options);
  } catch (const std::exception& e) {
    Say(err, e.what());
    return exit_code::DatabaseRefused;
  }
  // Read-only modes may read anybody's database, but say whose it is.
  if (!store->Untrusted().empty()) Say(err, "note: " + store->Untrusted() + " It was only read.");
  try {
    if (cl.mode == CommandLine::Mode::List) {
      for (const auto& row : store->ListNotifications()) out << row.id << '\t' << text::ForTerminal(row.name) << '\n';
      return exit_code::Ok;
    }
    out << (cl.mode == CommandLine::Mode::ExportAll ? store::ExportAllJson(*store)
                                                    : store::ExportJson(*store, cl.exportNumber));
    return exit_code::Ok;
  } catch (const Error& e) {
    Say(err, e.what());
    return ExitCodeOf(e);
  }
}

}  // namespace quillmont::editor
