// Another user's library: all it does is leave a mark in the file named by
// QM_FOREIGN_MARK when it is loaded, so a test can count the loads.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace {

__attribute__((constructor)) void LeaveMark() {
  const char* mark = std::getenv("QM_FOREIGN_MARK");
  if (!mark) return;
  const int fd = ::open(mark, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  if (::write(fd, "x", 1) != 1) ::_exit(99);
  ::close(fd);
}

}  // namespace
