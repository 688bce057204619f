#pragma once

// Files whose content decides what code runs or what is shown (the registry,
// the libraries it names) are used only when nobody but their owner, the
// user or root, can have written them. Header-only, like the registry
// format, so that the host-side loader checks the same way without linking
// the library.

#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace quillmont::files {

// Configuration files are small; anything bigger is a mistake or an attack.
inline constexpr std::size_t kMaxConfigBytes = std::size_t{4} << 20;

// A file descriptor closed on every way out.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd(Fd&& other) noexcept : fd_(other.Release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = other.Release();
    }
    return *this;
  }
  int Get() const noexcept { return fd_; }
  int Release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// "alice (uid 1001)", or "uid 1001" for a user without a name.
inline std::string DescribeUser(uid_t uid) {
  struct passwd pw {};
  struct passwd* found = nullptr;
  char buffer[1024];
  if (::getpwuid_r(uid, &pw, buffer, sizeof buffer, &found) == 0 && found && found->pw_name)
    return std::string(found->pw_name) + " (uid " + std::to_string(uid) + ")";
  return "uid " + std::to_string(uid);
}

inline std::string ModeText(mode_t mode) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%04o", static_cast<unsigned>(mode & 07777));
  return buffer;
}

// what with its first letter in upper case, to start a sentence.
inline std::string Sentence(std::string what) {
  if (!what.empty() && what[0] >= 'a' && what[0] <= 'z') what[0] = static_cast<char>(what[0] - 'a' + 'A');
  return what;
}

inline bool OwnedByUserOrRoot(const struct stat& st) { return st.st_uid == ::geteuid() || st.st_uid == 0; }

// Why a file with this status may not be trusted, or "" when it may. what
// names the file for the user ("the registry file").
inline std::string FileRefusal(const struct stat& st, const std::string& what, const std::string& path) {
  const std::string subject = Sentence(what) + " " + path;
  if (!S_ISREG(st.st_mode)) return subject + " is not a regular file; name a regular file instead.";
  if (!OwnedByUserOrRoot(st))
    return subject + " belongs to " + DescribeUser(st.st_uid) +
           ", not to you or root; use a file of your own (remove this one, or have it given to you with chown).";
  if (st.st_mode & (S_IWGRP | S_IWOTH))
    return subject + " is writable by group or others (mode " + ModeText(st.st_mode) +
           "); take their write permission away: chmod go-w " + path;
  return {};
}

// Why a folder with this status may not hold a trusted file, or "".
inline std::string FolderRefusal(const struct stat& st, const std::string& what, const std::string& folder) {
  if (st.st_mode & S_IWOTH)
    return "The folder " + folder + " of " + what + " is writable by others (mode " + ModeText(st.st_mode) +
           "); keep the file in a folder of your own, or take their write permission away: chmod o-w " + folder;
  return {};
}

inline std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

inline std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct ReadResult {
  enum class Status { Ok, Missing, Refused, Failed };
  Status status = Status::Failed;
  std::string text;
  mode_t mode = 0;
  // For Refused and Failed: the whole message for the user.
  std::string message;
};

// The folder that holds a file, opened for openat and checked. On failure
// the result is -1 and r says why (Missing when the folder does not exist).
inline Fd OpenTrustedFolder(const std::string& folder, const std::string& what, ReadResult& r) {
  Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat st {};
  if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0) {
    const int err = errno;
    r.status = err == ENOENT ? ReadResult::Status::Missing : ReadResult::Status::Failed;
    r.message = "Cannot open the folder " + folder + " of " + what + ": " + std::strerror(err);
    return Fd();
  }
  r.message = FolderRefusal(st, what, folder);
  if (r.message.empty()) return fd;
  r.status = ReadResult::Status::Refused;
  return Fd();
}

// Reads name in the folder dirFd without following a link or blocking on a
// FIFO, after the checks above; at most maxBytes.
inline ReadResult ReadTrustedAt(int dirFd, const std::string& name, const std::string& what, const std::string& path,
                                std::size_t maxBytes = kMaxConfigBytes) {
  ReadResult r;
  Fd fd(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.Get() < 0) {
    const int err = errno;
    if (err == ENOENT) {
      r.status = ReadResult::Status::Missing;
    } else if (err == ELOOP) {
      r.status = ReadResult::Status::Refused;
      r.message = Sentence(what) + " " + path +
                  " is a symbolic link; name the file it points to instead, or put that file here.";
    } else {
      r.message = "Cannot open " + what + " " + path + ": " + std::strerror(err);
    }
    return r;
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) {
    r.message = "Cannot read " + what + " " + path + ": " + std::strerror(errno);
    return r;
  }
  r.message = FileRefusal(st, what, path);
  if (r.message.empty() && static_cast<std::size_t>(st.st_size) > maxBytes)
    r.message = Sentence(what) + " " + path + " is larger than " + std::to_string(maxBytes >> 20) + " MiB (" +
                std::to_string(st.st_size) + " bytes); it is not read.";
  if (!r.message.empty()) {
    r.status = ReadResult::Status::Refused;
    return r;
  }
  r.mode = st.st_mode & 07777;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      r.message = "Cannot read " + what + " " + path + ": " + std::strerror(errno);
      return r;
    }
    if (n == 0) break;
    // A file that grows while it is read is cut off at the limit.
    if (r.text.size() + static_cast<std::size_t>(n) > maxBytes) {
      r.status = ReadResult::Status::Refused;
      r.message =
          Sentence(what) + " " + path + " grew beyond " + std::to_string(maxBytes >> 20) + " MiB while it was read.";
      return r;
    }
    r.text.append(buffer, static_cast<std::size_t>(n));
  }
  r.status = ReadResult::Status::Ok;
  return r;
}

// The whole check and read for a file named by path.
inline ReadResult ReadTrustedFile(const std::string& path, const std::string& what,
                                  std::size_t maxBytes = kMaxConfigBytes) {
  ReadResult r;
  Fd dir = OpenTrustedFolder(FolderOf(path), what, r);
  if (dir.Get() < 0) return r;
  return ReadTrustedAt(dir.Get(), NameOf(path), what, path, maxBytes);
}

// Why a shared library at path may not be loaded, or "" when it may: the
// path must be absolute, and the file it leads to (links are allowed, as
// for versioned library names) and the folders on the way must pass the
// checks above.
inline std::string LibraryRefusal(const std::string& path) {
  const std::string what = "the library";
  if (path.empty() || path.front() != '/')
    return "The library " + path + " is not named by an absolute path; register it again by its full path.";
  char resolved[PATH_MAX];
  if (!::realpath(path.c_str(), resolved))
    return "Cannot find the library " + path + ": " + std::strerror(errno) + "; register it again.";
  struct stat st {};
  if (::stat(resolved, &st) != 0) return "Cannot find the library " + path + ": " + std::strerror(errno);
  std::string why = FileRefusal(st, what, resolved);
  for (const std::string& folder : {FolderOf(path), FolderOf(resolved)}) {
    if (!why.empty()) break;
    struct stat dirSt {};
    if (::stat(folder.c_str(), &dirSt) != 0) return "Cannot open the folder " + folder + ": " + std::strerror(errno);
    why = FolderRefusal(dirSt, "the library " + path, folder);
  }
  return why;
}

}  // namespace quillmont::files
