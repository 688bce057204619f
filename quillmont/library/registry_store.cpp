#include "quillmont/library/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include "quillmont/platform/error.h"
#include "quillmont/platform/owned_file.h"

namespace quillmont::registry {
namespace {

using files::Fd;
using files::ReadResult;

constexpr const char* kWhat = "the registry file";

[[noreturn]] void ThrowSystem(const std::string& what, const std::string& path, int err) {
  throw Error(ErrorCode::Failed, what + " " + path + ": " + std::strerror(err));
}

// The file's text and mode; a missing file is an empty text without a mode.
ReadResult ReadChecked(int dirFd, const std::string& name, const std::string& path) {
  ReadResult r = dirFd >= 0 ? files::ReadTrustedAt(dirFd, name, kWhat, path) : files::ReadTrustedFile(path, kWhat);
  switch (r.status) {
    case ReadResult::Status::Ok:
    case ReadResult::Status::Missing:
      return r;
    case ReadResult::Status::Refused:
      throw Error(ErrorCode::Failed, r.message);
    case ReadResult::Status::Failed:
      break;
  }
  throw Error(ErrorCode::Failed, r.message);
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

// Writes text to a new file in the folder and renames it over name, so
// that the file is either the old or the new one, never a part. The new
// file is created where nothing was (no link is followed); an existing
// file's mode is kept, a new one gets 0644 less the umask (never writable
// by others, or the readers would refuse it).
void ReplaceFile(int dirFd, const std::string& name, const std::string& path, const std::string& text,
                 std::optional<mode_t> mode) {
  std::random_device random;
  std::string temp;
  Fd fd;
  for (int attempt = 0; attempt < 100 && fd.Get() < 0; ++attempt) {
    temp = "." + name + "." + std::to_string(random()) + ".tmp";
    fd = Fd(::openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode.value_or(0644)));
    if (fd.Get() < 0 && errno != EEXIST) ThrowSystem("Cannot create a file beside", path, errno);
  }
  if (fd.Get() < 0) ThrowSystem("Cannot create a file beside", path, EEXIST);
  try {
    WriteAll(fd.Get(), text, temp);
    if (mode && ::fchmod(fd.Get(), *mode) != 0) ThrowSystem("Cannot set the mode of", temp, errno);
    if (::fsync(fd.Get()) != 0) ThrowSystem("Cannot flush", temp, errno);
    if (::close(fd.Release()) != 0) ThrowSystem("Cannot close", temp, errno);
    if (::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) != 0)
      ThrowSystem("Cannot replace the registry file", path, errno);
  } catch (...) {
    ::unlinkat(dirFd, temp.c_str(), 0);
    throw;
  }
  // Make the rename itself durable; a failure here loses nothing.
  ::fsync(dirFd);
}

}  // namespace

Document ReadDocument(const std::string& path) { return ParseOrThrow(path, ReadChecked(-1, {}, path).text); }

void UpdateDocument(const std::string& path, const std::function<void(Document&)>& change) {
  if (path.empty()) throw Error(ErrorCode::Failed, "No registry file is named");
  const std::string name = files::NameOf(path);
  if (name.empty() || name == "." || name == "..")
    throw Error(ErrorCode::Failed, "The registry file " + path + " names a folder, not a file");
  const std::string folder = files::FolderOf(path);
  // Missing folders are made the user's alone under any umask (one others
  // could write would be refused below).
  std::filesystem::path sofar;
  for (const auto& part : std::filesystem::path(folder)) {
    sofar /= part;
    if (::mkdir(sofar.c_str(), 0700) != 0 && errno != EEXIST)
      ThrowSystem("Cannot create the folder", sofar.string(), errno);
  }
  // Everything happens relative to the folder's descriptor, and the lock is
  // taken on that descriptor: no lock file to plant a link at or to leave
  // behind, and a path swapped after the checks reaches nothing.
  ReadResult folderCheck;
  Fd dir = files::OpenTrustedFolder(folder, kWhat, folderCheck);
  if (dir.Get() < 0) throw Error(ErrorCode::Failed, folderCheck.message);
  while (::flock(dir.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) ThrowSystem("Cannot lock the folder", folder, errno);
  }
  // The lock is released when the descriptor closes.
  ReadResult before = ReadChecked(dir.Get(), name, path);
  const bool existed = before.status == ReadResult::Status::Ok;
  Document doc = ParseOrThrow(path, before.text);
  change(doc);
  const std::string after = Serialize(doc);
  if (existed && after == before.text) return;
  ReplaceFile(dir.Get(), name, path, after, existed ? std::optional<mode_t>(before.mode) : std::nullopt);
}

}  // namespace quillmont::registry
