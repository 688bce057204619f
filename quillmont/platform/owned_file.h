#pragma once

// Files whose content decides what code runs or what is shown (the registry,
// the libraries it names) are used only when nobody but their owner, the
// user or root, can have written them. Header-only, like the registry
// format, so that the host-side loader checks the same way without linking
// the library.

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
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

// Whether the folder (open as fd) lies on a file system mounted read-only,
// where nobody can change what it holds.
inline bool OnReadOnlyMount(int fd) {
  struct statvfs vfs {};
  return fd >= 0 && ::fstatvfs(fd, &vfs) == 0 && (vfs.f_flag & ST_RDONLY) != 0;
}

// Why a folder with this status (open as fd, or -1) may not hold a trusted
// file, or "": whoever may write a folder may swap what it holds. It must
// belong to the user or root and be writable by neither group nor others,
// sticky or not (a folder on a read-only mount cannot be written at all).
// stickyRootAbove accepts a folder of root's with the sticky bit, such as
// /tmp, above the file's own folder: in it only an entry's owner can rename
// or remove that entry.
inline std::string FolderRefusal(const struct stat& st, int fd, const std::string& what, const std::string& folder,
                                 bool stickyRootAbove = false) {
  if (stickyRootAbove && st.st_uid == 0 && (st.st_mode & S_ISVTX)) return {};
  if (!OwnedByUserOrRoot(st) && !OnReadOnlyMount(fd))
    return "The folder " + folder + " on the way to " + what + " belongs to " + DescribeUser(st.st_uid) +
           ", not to you or root; keep the file in folders of your own.";
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) && !OnReadOnlyMount(fd))
    return "The folder " + folder + " on the way to " + what + " is writable by group or others (mode " +
           ModeText(st.st_mode) +
           "), who could put files of theirs there; keep the file in folders of your own, or take their write "
           "permission away: chmod go-w " +
           folder;
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

// The names of a path, without empty ones and ".".
inline std::deque<std::string> PathNames(const std::string& path) {
  std::deque<std::string> names;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start && path.compare(start, end - start, ".") != 0) names.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

// Where a walk ended: the checked folder (opened O_PATH) and the last name in
// it, which is never a link when links are followed.
struct TrustedPlace {
  ReadResult::Status status = ReadResult::Status::Failed;  // Ok, Missing (a folder), Refused or Failed
  std::string message;
  Fd folder;
  std::string folderPath;
  std::string name;  // empty when the path named the folder itself
};

// Looks path up one name at a time from the root, each name in a folder
// already checked (FolderRefusal), so that nothing on the way can be swapped
// between the check and the use. Links are followed, their targets walked
// the same way (at most 40); the last name is followed only when followLast.
// With wantFolder every name is a folder and the result is the last one.
inline TrustedPlace WalkTrusted(const std::string& path, const std::string& what, bool followLast, bool stickyRootAbove,
                                bool wantFolder = false) {
  TrustedPlace place;
  auto fail = [&place](ReadResult::Status status, std::string message) {
    place.status = status;
    place.message = std::move(message);
    place.folder = Fd();
    return std::move(place);
  };
  std::string full = path;
  if (!full.empty() && full.front() != '/') {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd))
      return fail(ReadResult::Status::Failed, std::string("Cannot tell the current folder: ") + std::strerror(errno));
    full = std::string(cwd) + "/" + full;
  }
  std::deque<std::string> names = PathNames(full);
  if (!wantFolder && (names.empty() || full.back() == '/'))
    return fail(ReadResult::Status::Failed, Sentence(what) + " " + path + " names a folder, not a file.");
  Fd dir;
  std::string at;
  // Enters the folder next (reached as shown) after checking it.
  auto enter = [&](int next, const std::string& shown) -> std::string {
    Fd fd(next);
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0) {
      const int err = errno;
      if (err == ENOTDIR) return shown + " is not a folder";
      return "Cannot open the folder " + shown + " on the way to " + what + ": " + std::strerror(err);
    }
    std::string why = FolderRefusal(st, fd.Get(), what, shown, stickyRootAbove);
    if (why.empty()) {
      dir = std::move(fd);
      at = shown;
    }
    return why;
  };
  auto root = [&] { return enter(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC), "/"); };
  auto cannot = [&what](const char* doing, const std::string& shown, const std::string& why) {
    return std::string(doing) + " " + shown + " on the way to " + what + why;
  };
  if (std::string why = root(); !why.empty()) return fail(ReadResult::Status::Refused, why);
  int links = 0;
  while (!names.empty()) {
    const std::string name = names.front();
    names.pop_front();
    const bool last = names.empty() && !wantFolder;
    if (name == "..") {
      if (std::string why = enter(::openat(dir.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC), FolderOf(at));
          !why.empty())
        return fail(ReadResult::Status::Refused, why);
      continue;
    }
    std::string shown = at == "/" ? std::string() : at;
    shown.append("/").append(name);
    struct stat st {};
    if (::fstatat(dir.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      const int err = errno;
      if (err == ENOENT && last) {
        place.name = name;
        break;
      }
      return fail(err == ENOENT ? ReadResult::Status::Missing : ReadResult::Status::Failed,
                  cannot("Cannot open the folder", shown, std::string(": ") + std::strerror(err)));
    }
    if (S_ISLNK(st.st_mode) && (!last || followLast)) {
      char target[PATH_MAX];
      const ssize_t n = ::readlinkat(dir.Get(), name.c_str(), target, sizeof target);
      if (++links > 40 || n <= 0 || n >= static_cast<ssize_t>(sizeof target))
        return fail(ReadResult::Status::Failed, cannot("Cannot follow the link", shown, "."));
      const std::string link(target, static_cast<std::size_t>(n));
      std::deque<std::string> more = PathNames(link);
      names.insert(names.begin(), more.begin(), more.end());
      if (link.front() == '/')
        if (std::string why = root(); !why.empty()) return fail(ReadResult::Status::Refused, why);
      if (names.empty() && !wantFolder) return fail(ReadResult::Status::Failed, "The link " + shown + " leads to /.");
      continue;
    }
    if (last) {
      place.name = name;
      break;
    }
    if (std::string why =
            enter(::openat(dir.Get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC), shown);
        !why.empty())
      return fail(ReadResult::Status::Refused, why);
  }
  // The file's own folder: a sticky folder is not enough there.
  struct stat st {};
  if (stickyRootAbove && ::fstat(dir.Get(), &st) == 0)
    if (std::string why = FolderRefusal(st, dir.Get(), what, at); !why.empty())
      return fail(ReadResult::Status::Refused, why);
  place.status = ReadResult::Status::Ok;
  place.folder = std::move(dir);
  place.folderPath = at;
  return place;
}

// The folder that holds a file, opened for openat and flock after checking
// it and every folder above it. On failure the result is -1 and r says why
// (Missing when the folder does not exist).
inline Fd OpenTrustedFolder(const std::string& folder, const std::string& what, ReadResult& r) {
  TrustedPlace place = WalkTrusted(folder, what, true, true, true);
  if (place.status != ReadResult::Status::Ok) {
    r.status = place.status;
    r.message = place.message;
    return Fd();
  }
  Fd fd(::openat(place.folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() < 0) {
    r.status = ReadResult::Status::Failed;
    r.message = "Cannot open the folder " + folder + " of " + what + ": " + std::strerror(errno);
  }
  return fd;
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
      r.message = "Cannot read ";
      r.message.append(what).append(" ").append(path).append(": ").append(std::strerror(errno));
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
  TrustedPlace place = WalkTrusted(path, what, false, true);
  if (place.status != ReadResult::Status::Ok) {
    ReadResult r;
    r.status = place.status;
    r.message = place.message;
    return r;
  }
  return ReadTrustedAt(place.folder.Get(), place.name, what, path, maxBytes);
}

// A shared library opened for loading (as /proc/self/fd/N, so that what was
// checked is what runs), or -1 with why set. The path must be absolute; every
// folder from the root down must pass FolderRefusal (no sticky folder is
// enough), and the file it leads to (links are followed, as for versioned
// library names) FileRefusal.
inline Fd OpenTrustedLibrary(const std::string& path, std::string& why) {
  if (path.empty() || path.front() != '/') {
    why = "The library " + path + " is not named by an absolute path; name it by its full path.";
    return Fd();
  }
  TrustedPlace place = WalkTrusted(path, "the library " + path, true, false);
  if (place.status != ReadResult::Status::Ok) {
    why = place.message;
    return Fd();
  }
  Fd fd(::openat(place.folder.Get(), place.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat st {};
  if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0) {
    why = "Cannot find the library " + path + ": " + std::strerror(errno) + "; register it again.";
    return Fd();
  }
  why = FileRefusal(st, "the library", path);
  return why.empty() ? std::move(fd) : Fd();
}

}  // namespace quillmont::files
