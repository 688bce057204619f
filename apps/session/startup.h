#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "apps/session/front_end.h"
#include "quillmont/framework/services.h"
#include "store/definition_store.h"

// How the programs find and open their store: the same location rules, the
// same checks before anything is made, the same trust question.
namespace quillmont::session {

// The database a program opens.
struct Location {
  std::string path;  // a file path or a postgresql:// URI
  // The user named it (--db or $QUILLMONT_DB): it is made only in a folder
  // that exists, and edited when untrusted only on the user's word.
  bool named = false;
};

// $XDG_DATA_HOME/quillmont/quillmont.db (an absolute XDG_DATA_HOME only),
// else ~/.local/share/quillmont/quillmont.db; std::runtime_error when
// neither variable is usable.
std::string DefaultDatabasePath();

// The one named (--db), else $QUILLMONT_DB when set, else the default path.
Location FindDatabase(const std::optional<std::string>& given);

// A start-up that cannot go on; what() is the message for the user.
class StartRefused : public std::runtime_error {
 public:
  enum Code { Usage = 2, Refused = 4 };  // the programs' exit codes
  StartRefused(const std::string& message, Code code) : std::runtime_error(message), code_(code) {}
  int Code() const noexcept { return code_; }

 private:
  int code_;
};

// What is refused before anything is opened or made: a named file in a
// folder that does not exist (a mistyped path must not leave a sample
// database behind), and a default database someone else owns or may write.
void CheckBeforeEditing(const Location& location);

// Opens a store to edit, writing where this user may: after the checks
// above, makes the default database's folders, asks through ui whether to
// edit a named database someone else owns or may write, and seeds a store it
// created. Throws StartRefused.
std::shared_ptr<store::Store> OpenForEditing(const Location& location, FrontEnd& ui);

// A front end's own components for the panels of this thread, for as long
// as it lives: its message boxes, and the store's definitions, catalogue and
// settings. Lists, selectors and text services stay the library's.
class StoreServices {
 public:
  StoreServices(std::shared_ptr<MessageService> messages, const std::shared_ptr<store::Store>& store);
  ~StoreServices();
  StoreServices(const StoreServices&) = delete;
  StoreServices& operator=(const StoreServices&) = delete;
};

// Opens an existing store only to read: nothing is created, laid out,
// migrated or changed; a server connection gives up after connectTimeoutSeconds
// (0: the store's default). Throws what the store throws.
std::shared_ptr<store::Store> OpenForReading(const std::string& path, int busyTimeoutMs = 5000,
                                             int connectTimeoutSeconds = 0);

// Opens an existing store to record deliveries in (quillmont-notify,
// quillmont-dispatch): nothing is created; an older schema is migrated; a
// file this user may not write, or one someone else owns or may write, is
// refused (what() says why). Throws what the store throws.
std::shared_ptr<store::Store> OpenForSending(const std::string& path, int busyTimeoutMs = 5000,
                                             int connectTimeoutSeconds = 0);

}  // namespace quillmont::session
