// quillmont-studio: the notifications of a store (a SQLite file or a
// postgresql:// URI) in desktop windows.
#include <QApplication>
#include <QMessageBox>
#include <filesystem>
#include <iostream>
#include <string>

#include "adapters/qt/message_box_service.h"
#include "apps/session/location.h"
#include "apps/studio/studio_window.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/version.h"
#include "store/host_objects.h"
#include "store/pg_db.h"
#include "store/seed.h"

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
  std::optional<std::string> given;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--db" && i + 1 < args.size()) {
      given = args[++i].toStdString();
    } else if (args[i].startsWith("--db=")) {
      given = args[i].mid(5).toStdString();
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  std::shared_ptr<store::Store> store;
  std::string location;
  try {
    bool named = false;
    location = session::DatabaseLocation(given, named);
    store::OpenOptions options;
    options.access = store::Access::WriteIfAllowed;
    // The default database is made with its folders on first run, as the
    // terminal editor makes it; a named one only in a folder that exists.
    const auto folder = std::filesystem::path(location).parent_path();
    if (!named && !store::IsServerUri(location) && !folder.empty()) store::CreateDatabaseFolders(folder.string());
    try {
      store = store::Store::Open(location, options);
    } catch (const store::UntrustedDatabase& e) {
      if (QMessageBox::warning(
              nullptr, "Quillmont Studio",
              QString::fromStdString(std::string(e.what()) + "\n\nEdit it anyway? Its owner can read and change every "
                                                             "notification in it."),
              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return 4;
      options.editUntrusted = true;
      store = store::Store::Open(location, options);
    }
    if (store->WasCreated()) store::SeedDatabase(*store);
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, "Quillmont Studio", QString::fromStdString(e.what()));
    return 4;
  }
  SetThreadMessageService(std::make_shared<qt::MessageBoxService>());
  SetThreadAppContext(std::make_shared<store::StoreAppContext>(store));
  SetThreadDefinitionLibrary(std::make_shared<store::StoreDefinitionLibrary>(store));
  int code = 0;
  {
    studio::StudioWindow window(store, store->Db().Path());
    window.show();
    code = QApplication::exec();
  }
  ResetThreadServices();
  return code;
}
