#include "quillmont/library/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "quillmont/platform/error.h"

namespace quillmont::registry {
namespace {

[[noreturn]] void ThrowSystem(const std::string& what, const std::string& path, int err) {
  throw Error(ErrorCode::Failed, what + " " + path + ": " + std::strerror(err));
}

// A file descriptor closed on every way out.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const noexcept { return fd_; }
  int Release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

struct FileText {
  std::string text;
  std::optional<mode_t> mode;  // nothing when the file does not exist
};

FileText ReadFile(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) {
    if (errno == ENOENT) return {};
    ThrowSystem("Cannot open the registry file", path, errno);
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) ThrowSystem("Cannot read the registry file", path, errno);
  if (!S_ISREG(st.st_mode)) throw Error(ErrorCode::Failed, "The registry file " + path + " is not a regular file");
  FileText result;
  result.mode = st.st_mode & 07777;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowSystem("Cannot read the registry file", path, errno);
    }
    if (n == 0) break;
    result.text.append(buffer, static_cast<std::size_t>(n));
  }
  return result;
}

Document ParseOrThrow(const std::string& path, const std::string& text) {
  Document doc;
  if (auto fault = Parse(text, doc)) {
    throw Error(ErrorCode::Corrupt, "The registry file " + path + " is damaged (line " + std::to_string(fault->line) +
                                        ": " + fault->message + "); it was left as it is");
  }
  return doc;
}

void WriteAll(int fd, const std::string& text, const std::string& path) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowSystem("Cannot write", path, errno);
    }
    done += static_cast<std::size_t>(n);
  }
}

// Writes text beside path and renames it over path, so that the file is
// either the old or the new one, never a part.
void ReplaceFile(const std::string& path, const std::string& text, mode_t mode) {
  std::string temp = path + ".XXXXXX";
  Fd fd(::mkstemp(temp.data()));
  if (fd.Get() < 0) ThrowSystem("Cannot create a file beside", path, errno);
  try {
    WriteAll(fd.Get(), text, temp);
    if (::fchmod(fd.Get(), mode) != 0) ThrowSystem("Cannot set the mode of", temp, errno);
    if (::fsync(fd.Get()) != 0) ThrowSystem("Cannot flush", temp, errno);
    if (::close(fd.Release()) != 0) ThrowSystem("Cannot close", temp, errno);
    if (::rename(temp.c_str(), path.c_str()) != 0) ThrowSystem("Cannot replace the registry file", path, errno);
  } catch (...) {
    ::unlink(temp.c_str());
    throw;
  }
  // Make the rename itself durable; a failure here loses nothing.
  const std::string dir = std::filesystem::path(path).parent_path().string();
  Fd dirFd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd.Get() >= 0) ::fsync(dirFd.Get());
}

}  // namespace

Document ReadDocument(const std::string& path) { return ParseOrThrow(path, ReadFile(path).text); }

void UpdateDocument(const std::string& registryPath, const std::function<void(Document&)>& change) {
  if (registryPath.empty()) throw Error(ErrorCode::Failed, "No registry file is named");
  // A registry file that is a link (kept with a user's dotfiles, say) stays
  // one: the change goes to the file it points to.
  std::string path = registryPath;
  std::error_code linkError;
  if (std::filesystem::is_symlink(path, linkError)) {
    const auto target = std::filesystem::canonical(path, linkError);
    if (!linkError) path = target.string();
  }
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(parent, ec);
    if (ec) throw Error(ErrorCode::Failed, "Cannot create the folder " + parent.string() + ": " + ec.message());
  }
  const std::string lockPath = path + ".lock";
  Fd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (lock.Get() < 0) ThrowSystem("Cannot open the lock file", lockPath, errno);
  while (::flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) ThrowSystem("Cannot lock", lockPath, errno);
  }
  // The lock is released when the descriptor closes.
  FileText before = ReadFile(path);
  Document doc = ParseOrThrow(path, before.text);
  change(doc);
  const std::string after = Serialize(doc);
  if (before.mode && after == before.text) return;
  ReplaceFile(path, after, before.mode.value_or(0644));
}

}  // namespace quillmont::registry
