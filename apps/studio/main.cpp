// quillmont-studio: the notifications of a store (a SQLite file or a
// postgresql:// URI) in desktop windows.
#include <QApplication>
#include <iostream>
#include <string>

#include "adapters/qt/message_box_service.h"
#include "apps/session/command_line.h"
#include "apps/session/startup.h"
#include "apps/studio/studio_window.h"
#include "quillmont/version.h"
#include "store/pg_db.h"

namespace {

constexpr const char* kUsage =
    "Usage: quillmont-studio [--db PATH|URI]   (default: $QUILLMONT_DB, else the editor's database)\n"
    "       quillmont-studio --help | --version\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace quillmont;
  // Answered before Qt starts, so they work without a display.
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "quillmont-studio " QUILLMONT_VERSION_TEXT "\n";
      return 0;
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Quillmont Studio");
  session::CommandLineParser parser("quillmont-studio", "The notifications of a store in desktop windows.");
  parser.AddDatabase("the database");
  std::vector<std::string> args;
  // Qt has taken its own arguments out by now.
  for (const QString& arg : QApplication::arguments().mid(1)) args.push_back(arg.toStdString());
  int usage = -1;  // the exit code after the usage line
  try {
    if (!parser.Parse(args)) usage = 0;
  } catch (const std::invalid_argument&) {
    usage = session::StartRefused::Usage;
  }
  if (usage >= 0) {
    std::cerr << kUsage;
    return usage;
  }
  for (int i = 1; i < argc; ++i) store::HidePasswordInArgument(argv[i]);  // out of ps
  int refused = 0;
  const std::shared_ptr<store::Store> store = studio::OpenStudioStore(parser.Database(), refused);
  if (!store) return refused;
  session::StoreServices services(std::make_shared<qt::MessageBoxService>(), store);
  studio::StudioWindow window(store, store->Db().DisplayName());
  window.show();
  return QApplication::exec();
}
