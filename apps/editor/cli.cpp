#include "apps/editor/cli.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <limits>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "apps/editor/delivery_log.h"
#include "apps/editor/dialogs.h"
#include "apps/editor/notification_list.h"
#include "apps/editor/terminal.h"
#include "apps/session/command_line.h"
#include "apps/session/startup.h"
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

// The questions of start-up, asked on the terminal before the editor's
// screen is up: only a "y" or "yes" agrees to a yes/no question.
class ConsoleFrontEnd final : public session::FrontEnd {
 public:
  ConsoleFrontEnd(std::istream& in, std::ostream& err) : in_(in), err_(err) {}
  int Message(const std::string& text, int buttons, const std::string&) override {
    // The message, then the question of its last paragraph.
    const std::size_t split = text.rfind("\n\n");
    Say(err_, text.substr(0, split));
    if (msgbox::LayoutOf(buttons).answers.size() < 2) return msgbox::AnswerOk;
    err_ << (split == std::string::npos ? "" : text.substr(split + 2)) << " [y/N] " << std::flush;
    std::string answer;
    std::getline(in_, answer);
    return answer == "y" || answer == "Y" || answer == "yes" ? msgbox::AnswerYes : msgbox::AnswerNo;
  }
  int Choice(const std::string&, const std::vector<std::string>& choices, const std::string&) override {
    return static_cast<int>(choices.size()) - 1;
  }
  std::optional<std::string> Text(const std::string&, const std::string&, const std::string&, std::size_t) override {
    return std::nullopt;
  }

 private:
  std::istream& in_;
  std::ostream& err_;
};

std::int32_t ParseNumber(const std::string& text) {
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value <= 0)
    throw std::invalid_argument("--export needs a notification number (a whole number from 1), not \"" + text + "\"");
  return value;
}

// --since: a UTC date or time (2026-12-07, 2026-12-07T06:00, with seconds
// or a Z), or a time that long ago (90s, 30m, 2h, 7d).
std::int64_t ParseSince(const std::string& text, std::int64_t now) {
  std::int64_t amount = 0;
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(text.data(), last, amount);
  if (ec == std::errc() && end + 1 == last && amount >= 0 && amount < 1000000) {
    for (const auto& [unit, ms] : {std::pair{'s', 1000LL}, {'m', 60000LL}, {'h', 3600000LL}, {'d', 86400000LL}})
      if (*end == unit) return now - amount * ms;
  }
  std::string utc = text;
  if (!utc.empty() && utc.back() == 'Z') utc.pop_back();
  for (const char* format : {"%Y-%m-%dT%H:%M:%S", "%Y-%m-%dT%H:%M", "%Y-%m-%d"}) {
    std::tm t{};
    std::istringstream in(utc);
    in >> std::get_time(&t, format);
    if (in && in.peek() == std::char_traits<char>::eof()) return static_cast<std::int64_t>(timegm(&t)) * 1000;
  }
  throw std::invalid_argument(
      "--since needs a UTC date or time (2026-12-07, 2026-12-07T06:00Z) or a time that long "
      "ago (90s, 30m, 2h, 7d), not \"" +
      text + "\"");
}

int RunEditor(const session::Location& location, bool mouse, std::istream& in, std::ostream& err) {
  std::shared_ptr<store::Store> store;
  try {
    // Refused before the terminal is asked for: these need no terminal to say.
    session::CheckBeforeEditing(location);
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
      err << "quillmont-editor: the editor needs a terminal (use --list or --export in scripts)\n";
      return exit_code::NoTerminal;
    }
    if (const std::string unfit = TerminalUnfit(); !unfit.empty()) {
      err << "quillmont-editor: " << unfit << "; the editor needs a terminal that can (try TERM=xterm)\n";
      return exit_code::NoTerminal;
    }
    ConsoleFrontEnd questions(in, err);
    store = session::OpenForEditing(location, questions);
  } catch (const session::StartRefused& e) {
    Say(err, e.what());
    return e.Code();
  }
  try {
    UseUtf8Locale();
    CursesTerminal terminal(mouse);
    Screen screen(terminal);
    session::StoreServices services(std::make_shared<TerminalMessageService>(screen), store);
    NotificationListScreen list(screen, store, session::StandardPages(), store->Db().DisplayName());
    list.Run();
  } catch (const Error& e) {
    // A database that cannot be read (a stored value over its limit) is
    // refused as in every other mode, once the terminal is restored.
    if (e.Code() != ErrorCode::Corrupt) throw;
    Say(err, e.what());
    return exit_code::DatabaseRefused;
  }
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
      store = write ? store::Store::Open(path, open) : session::OpenForReading(path);
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
  std::shared_ptr<store::Store> to;
  try {
    auto from = session::OpenForReading(source);
    to = store::Store::Open(target);
    const store::CopyCounts counts = store::CopyStore(*from, *to);
    out << "copied " << counts.notifications << " notifications, " << counts.eventTypes << " event types and "
        << counts.settings << " settings from " << text::ForTerminal(from->Db().DisplayName()) << " to "
        << text::ForTerminal(to->Db().DisplayName()) << "; every table and the export of every notification match\n";
    return exit_code::Ok;
  } catch (const std::exception& e) {
    if (newFile)
      for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(target + suffix, ec);
    Say(err, e.what());
    // A server database laid out for the copy is emptied again.
    if (to && to->WasCreated() && store::IsServerUri(target)) try {
        store::RemoveServerLayout(to->Db());
      } catch (const std::exception& also) {
        Say(err, std::string("The tables made for the copy could not be removed again: ") + also.what());
      }
    return exit_code::DatabaseRefused;
  }
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  session::CommandLineParser parser("quillmont-editor", "Edits notifications in the terminal.");
  parser.AddDatabase("the database");
  CLI::App& app = parser.App();
  CommandLine cl;
  bool list = false, exportAll = false;
  std::string exportText;
  app.add_flag("--list", list);
  app.add_flag("--export-all", exportAll);
  CLI::Option* exportOption = app.add_option("--export", exportText);
  CLI::Option* importOption = app.add_option("--import", cl.importFile);
  CLI::Option* copyOption = app.add_option("--copy-to", cl.copyTarget);
  app.add_flag("--prune", cl.prune);
  app.add_flag("--dry-run", cl.dryRun);
  app.add_flag("--force", cl.force);
  app.add_flag("--no-mouse", cl.noMouse);
  bool deliveries = false;
  std::string sinceText, stateText;
  std::int32_t notification = 0;
  app.add_flag("--deliveries", deliveries);
  CLI::Option* notificationOption = app.add_option("--notification", notification);
  CLI::Option* sinceOption = app.add_option("--since", sinceText);
  CLI::Option* stateOption = app.add_option("--state", stateText);
  app.add_flag("--json", cl.json);
  if (!parser.Parse(args)) {
    cl.mode = parser.VersionAsked() ? CommandLine::Mode::Version : CommandLine::Mode::Help;
    return cl;
  }
  cl.database = parser.Database();
  const std::pair<bool, CommandLine::Mode> modes[] = {{list, CommandLine::Mode::List},
                                                      {exportAll, CommandLine::Mode::ExportAll},
                                                      {exportOption->count() > 0, CommandLine::Mode::Export},
                                                      {importOption->count() > 0, CommandLine::Mode::Import},
                                                      {copyOption->count() > 0, CommandLine::Mode::CopyTo},
                                                      {deliveries, CommandLine::Mode::Deliveries}};
  int given = 0;
  for (const auto& [set, mode] : modes)
    if (set) cl.mode = mode, ++given;
  if (given > 1)
    throw std::invalid_argument("choose one of --list, --export, --export-all, --import, --copy-to and --deliveries");
  if (cl.mode == CommandLine::Mode::Export) cl.exportNumber = ParseNumber(exportText);
  if (cl.mode == CommandLine::Mode::Import && cl.importFile.empty())
    throw std::invalid_argument("--import needs a file name, or - for standard input");
  if (cl.mode == CommandLine::Mode::CopyTo && cl.copyTarget.empty())
    throw std::invalid_argument("--copy-to needs a file name or a postgresql:// URI");
  if ((cl.prune || cl.dryRun || cl.force) && cl.mode != CommandLine::Mode::Import)
    throw std::invalid_argument("--prune, --dry-run and --force go with --import");
  const bool filtered = notificationOption->count() + sinceOption->count() + stateOption->count() > 0;
  if ((filtered || cl.json) && cl.mode != CommandLine::Mode::Deliveries)
    throw std::invalid_argument("--notification, --since, --state and --json go with --deliveries");
  if (notificationOption->count() > 0 && notification <= 0)
    throw std::invalid_argument("--notification needs a notification number (a whole number from 1)");
  if (notificationOption->count() > 0) cl.deliveries.notification = notification;
  if (sinceOption->count() > 0) cl.deliveries.since = ParseSince(sinceText, store::NowMs());
  if (stateOption->count() > 0) {
    cl.deliveries.state = store::StateFromName(stateText);
    if (!cl.deliveries.state)
      throw std::invalid_argument("--state is one of queued, sending, sent, failed and suppressed, not \"" + stateText +
                                  "\"");
  }
  cl.deliveries.limit = std::numeric_limits<int>::max();  // all of them
  if (cl.noMouse && cl.mode != CommandLine::Mode::Edit)
    throw std::invalid_argument("--no-mouse goes with the editor itself");
  return cl;
}

std::string UsageText() {
  return "Usage: quillmont-editor [--db DB] [--no-mouse] edit notifications in the terminal\n"
         "                                    (--no-mouse: the terminal keeps its mouse)\n"
         "       quillmont-editor [--db DB] --list       list the notifications (number TAB name)\n"
         "       quillmont-editor [--db DB] --export N   print notification N as JSON\n"
         "       quillmont-editor [--db DB] --export-all print every notification as JSON\n"
         "       quillmont-editor [--db DB] --import FILE [--prune] [--dry-run] [--force]\n"
         "                                    apply a document of --export-all (- reads stdin)\n"
         "       quillmont-editor [--db DB] --copy-to TARGET\n"
         "                                    copy everything into a new, empty store\n"
         "       quillmont-editor [--db DB] --deliveries [--notification N] [--since TIME]\n"
         "                                    [--state S] [--json]\n"
         "                                    list the delivery log, one attempt a line\n"
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
         "--export-all and --deliveries do the same.\n"
         "\n"
         "--deliveries lists every attempt of the delivery log, newest first: time (UTC),\n"
         "delivery, notification number and name, event key and node, attempt (0: not\n"
         "tried yet), result (sent, retry, failed, lost, or the state of one not tried),\n"
         "destination and outcome, separated by tabs, with control characters written\n"
         "out as --list does; --json prints one JSON object a line instead. --notification\n"
         "keeps one notification's, --state S the deliveries in state S (queued, sending,\n"
         "sent, failed, suppressed), --since TIME the attempts from TIME on: a UTC date or\n"
         "time (2026-12-07, 2026-12-07T06:00Z) or a time that long ago (90s, 30m, 2h,\n"
         "7d). A database an older version made has no log: nothing is listed, and a\n"
         "note on standard error says so.\n"
         "\n"
         "--import matches notifications by name: a new name is created, a stored one is\n"
         "replaced (its number kept, its revision advanced); the others stay unless\n"
         "--prune deletes them. Every notification is checked as the pages check it (and\n"
         "no text may hold control, bidirectional or NUL characters, nor a name differ\n"
         "from another only in invisible or look-alike ones), and every problem is\n"
         "reported with its place in the document (e.g.\n"
         "notifications[2].snmpManagers[0].port; the first 100 are listed); then all of\n"
         "it is written in one transaction, or nothing. A notification whose revision in\n"
         "the database is not the document's was changed after the export: the import is\n"
         "refused unless --force. --dry-run says what would be created, replaced, left\n"
         "unchanged and pruned, and writes nothing. A document may have at most 64 MB.\n"
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
  session::Location location;
  try {
    location = session::FindDatabase(cl.database);
  } catch (const std::exception& e) {
    Say(err, e.what());
    return exit_code::Usage;
  }
  const std::string& path = location.path;
  if (cl.mode == CommandLine::Mode::Edit) return RunEditor(location, !cl.noMouse, in, err);
  if (cl.mode == CommandLine::Mode::CopyTo) return RunCopy(path, cl.copyTarget, out, err);
  if (cl.mode == CommandLine::Mode::Import) return RunImport(cl, path, in, out, err);

  std::shared_ptr<store::Store> store;
  try {
    store = session::OpenForReading(path);
  } catch (const std::exception& e) {
    Say(err, e.what());
    return exit_code::DatabaseRefused;
  }
  // Read-only modes may read anybody's database, but say whose it is.
  if (!store->Untrusted().empty()) Say(err, "note: " + store->Untrusted() + " It was only read.");
  try {
    if (cl.mode == CommandLine::Mode::Deliveries) {
      if (!store::HasOutbox(store->Db()))
        Say(err,
            "note: this database has no delivery log: an older version made it, and read-only it is not "
            "brought up to date");
      for (const store::AttemptEntry& entry : store::ListAttempts(store->Db(), cl.deliveries))
        out << AttemptLine(entry, cl.json) << '\n';
      return exit_code::Ok;
    }
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
