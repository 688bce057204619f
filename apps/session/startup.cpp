#include "apps/session/startup.h"

#include <cstdlib>
#include <filesystem>

#include "quillmont/framework/runtime.h"
#include "store/host_objects.h"
#include "store/pg_db.h"
#include "store/seed.h"

namespace quillmont::session {
namespace {

// A server's database has no folder to make and no file owner to trust.
std::filesystem::path FolderOf(const Location& location) {
  return store::IsServerUri(location.path) ? std::filesystem::path()
                                           : std::filesystem::path(location.path).parent_path();
}

}  // namespace

std::string DefaultDatabasePath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data && std::filesystem::path(data).is_absolute())
    return (std::filesystem::path(data) / "quillmont" / "quillmont.db").string();
  const char* home = std::getenv("HOME");
  if (!home || !*home) throw std::runtime_error("neither XDG_DATA_HOME nor HOME is set; name a database with --db");
  return (std::filesystem::path(home) / ".local" / "share" / "quillmont" / "quillmont.db").string();
}

Location FindDatabase(const std::optional<std::string>& given) {
  const char* fromEnvironment = std::getenv("QUILLMONT_DB");
  const bool named = given || (fromEnvironment && *fromEnvironment);
  return {given ? *given : named ? std::string(fromEnvironment) : DefaultDatabasePath(), named};
}

void CheckBeforeEditing(const Location& location) {
  std::error_code ec;
  const auto folder = FolderOf(location);
  if (location.named && !folder.empty() && !std::filesystem::exists(location.path, ec) &&
      !std::filesystem::is_directory(folder, ec))
    throw StartRefused("the folder " + folder.string() + " does not exist, so " + location.path +
                           " was not created (--db makes a new database only in an existing folder)",
                       StartRefused::Usage);
  if (location.named || folder.empty()) return;
  if (const std::string why = store::UntrustedReason(location.path); !why.empty())
    throw StartRefused(why + " It was not opened; to edit it anyway, name it with --db and confirm.",
                       StartRefused::Refused);
}

std::shared_ptr<store::Store> OpenForEditing(const Location& location, FrontEnd& ui) {
  CheckBeforeEditing(location);
  try {
    const auto folder = FolderOf(location);
    if (!location.named && !folder.empty()) store::CreateDatabaseFolders(folder.string());
    store::OpenOptions options;
    options.access = store::Access::WriteIfAllowed;
    std::shared_ptr<store::Store> store;
    try {
      store = store::Store::Open(location.path, options);
    } catch (const store::UntrustedDatabase& e) {
      const std::string question =
          std::string(e.what()) + "\n\nEdit it anyway? Its owner can read and change every notification in it.";
      if (ui.Message(question, msgbox::YesNo | msgbox::Exclamation | msgbox::SecondDefault, "") != msgbox::AnswerYes)
        throw;
      options.editUntrusted = true;
      store = store::Store::Open(location.path, options);
    }
    if (store->WasCreated()) store::SeedDatabase(*store);
    return store;
  } catch (const std::exception& e) {
    throw StartRefused(e.what(), StartRefused::Refused);
  }
}

StoreServices::StoreServices(std::shared_ptr<MessageService> messages, const std::shared_ptr<store::Store>& store) {
  ResetThreadServices();
  SetThreadMessageService(std::move(messages));
  SetThreadAppContext(std::make_shared<store::StoreAppContext>(store));
  SetThreadDefinitionLibrary(std::make_shared<store::StoreDefinitionLibrary>(store));
}

StoreServices::~StoreServices() { ResetThreadServices(); }

namespace {

// An existing store, never created.
std::shared_ptr<store::Store> OpenExisting(const std::string& path, store::Access access, int busyTimeoutMs,
                                           int connectTimeoutSeconds) {
  store::OpenOptions options;
  options.create = false;
  options.access = access;
  options.busyTimeoutMs = busyTimeoutMs;
  if (connectTimeoutSeconds > 0) options.connectTimeoutSeconds = connectTimeoutSeconds;
  return store::Store::Open(path, options);
}

}  // namespace

std::shared_ptr<store::Store> OpenForReading(const std::string& path, int busyTimeoutMs, int connectTimeoutSeconds) {
  return OpenExisting(path, store::Access::ReadOnly, busyTimeoutMs, connectTimeoutSeconds);
}

std::shared_ptr<store::Store> OpenForSending(const std::string& path, int busyTimeoutMs, int connectTimeoutSeconds) {
  return OpenExisting(path, store::Access::ReadWrite, busyTimeoutMs, connectTimeoutSeconds);
}

}  // namespace quillmont::session
