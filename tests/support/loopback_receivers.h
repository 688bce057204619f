#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

// Receivers on loopback for the delivery tests (snmptrapd, an SMTP server,
// a server that never answers), each stopped when the test ends, however it
// ends.
namespace quillmont::testing {

// A child process in a group of its own, its output to a file.
class Child {
 public:
  Child(std::vector<std::string> argv, const std::string& output) : pid_(fork()) {
    if (pid_ == 0) {
      setpgid(0, 0);
      prctl(PR_SET_PDEATHSIG, SIGTERM);  // gone with the test, even when it is killed
      const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(fd, 1), dup2(fd, 2);
      std::vector<char*> args;
      for (auto& a : argv) args.push_back(a.data());
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
    if (pid_ > 0) setpgid(pid_, pid_);
  }
  ~Child() { Stop(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  // Sends the signal to its group and waits; its wait status (-1 when it
  // was stopped before).
  int Stop(int signal = SIGTERM) {
    int status = -1;
    if (pid_ > 0) kill(-pid_, signal), waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_;
};

// A socket bound to a free port of 127.0.0.1.
inline int BoundSocket(int type, int& port) {
  const int fd = socket(AF_INET, type, 0);
  sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t len = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return fd;
}
inline int FreePort(int type) {
  int port = 0;
  close(BoundSocket(type, port));
  return port;
}

// A TCP listener that never accepts nor says a word.
class SilentServer {
 public:
  SilentServer() : fd_(BoundSocket(SOCK_STREAM, port_)) { listen(fd_, 8), fcntl(fd_, F_SETFL, O_NONBLOCK); }
  ~SilentServer() {
    for (int c : held_) close(c);
    close(fd_);
  }
  int Port() const { return port_; }
  // Whether a connection came; it is held open, still silent, so that the
  // client never sees it closed.
  bool Approached() const {
    const int c = accept(fd_, nullptr, nullptr);
    return c >= 0 && (held_.push_back(c), true);
  }

 private:
  int port_ = 0;
  int fd_;
  mutable std::vector<int> held_;
};

// A TCP port whose queue is full, so that a new connection's SYN is dropped
// and connecting never ends.
class DroppingPort {
 public:
  DroppingPort() : fd_(BoundSocket(SOCK_STREAM, port_)) {
    listen(fd_, 0);
    sockaddr_in a{AF_INET, htons(static_cast<std::uint16_t>(port_)), {htonl(INADDR_LOOPBACK)}, {}};
    for (int& c : fillers_) {
      c = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
  }
  ~DroppingPort() {
    for (int c : fillers_) close(c);
    close(fd_);
  }
  int Port() const { return port_; }

 private:
  int port_ = 0;
  int fd_;
  int fillers_[3] = {};
};

// Waits (at most 20 s) until the condition holds; a bound, not a speed check.
inline bool WaitUntil(const std::function<bool()>& condition) {
  for (int i = 0; i < 400 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return condition();
}

// A UDP port of 127.0.0.1 with a large buffer (thousands of traps arrive
// at once) that reads whatever comes: it counts the packets, and each run of
// 32 hex digits in them (the outbox's delivery ids).
class UdpCounter {
 public:
  UdpCounter() : fd_(BoundSocket(SOCK_DGRAM, port_)) {
    const int size = 32 << 20;
    if (setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
      setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    timeval wait{0, 100000};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    reader_ = std::thread([this] {
      char packet[4096];
      while (!stop_) {
        const ssize_t n = recv(fd_, packet, sizeof packet, 0);
        if (n <= 0) continue;
        ++packets_;
        for (std::size_t i = 0, run = 0; i < static_cast<std::size_t>(n); ++i) {
          run = std::isxdigit(static_cast<unsigned char>(packet[i])) ? run + 1 : 0;
          if (run != 32) continue;
          std::lock_guard lock(mutex_);
          ++ids_[std::string(packet + i - 31, 32)];
        }
      }
    });
  }
  ~UdpCounter() {
    stop_ = true;
    reader_.join();
    close(fd_);
  }
  UdpCounter(const UdpCounter&) = delete;
  UdpCounter& operator=(const UdpCounter&) = delete;
  int Port() const { return port_; }
  long Packets() const { return packets_; }
  std::map<std::string, int> Ids() {
    std::lock_guard lock(mutex_);
    return ids_;
  }

 private:
  int port_ = 0;
  int fd_;
  std::atomic<bool> stop_{false};
  std::atomic<long> packets_{0};
  std::mutex mutex_;
  std::map<std::string, int> ids_;
  std::thread reader_;
};

// snmptrapd in the foreground on 127.0.0.1, logging every trap with numeric
// OIDs, reading no configuration but its own.
class TrapReceiver {
 public:
  // On `port` when given, else a free one.
  explicit TrapReceiver(const TempDir& dir, int port = 0)
      : port_(port ? port : FreePort(SOCK_DGRAM)),
        log_(dir.File("traps.log")),
        child_(Args(dir, port_, log_), dir.File("trapd.out")) {}
  int Port() const { return port_; }
  std::string Log() const { return ReadText(log_); }
  bool Ready() const {
    return WaitUntil([&] { return Log().find("NET-SNMP version") != std::string::npos; });
  }

 private:
  static std::vector<std::string> Args(const TempDir& dir, int port, const std::string& log) {
    WriteText(dir.File("snmptrapd.conf"), "disableAuthorization yes\ndontRetainLogs yes\n");
    std::filesystem::create_directories(dir.File("snmp-state"));
    setenv("SNMP_PERSISTENT_DIR", dir.File("snmp-state").c_str(), 1);
    const std::string conf = dir.File("snmptrapd.conf"), pid = dir.File("snmptrapd.pid");
    return {"snmptrapd", "-f", "-C",           "-c",  conf, "-n", "-On", "-m",
            "",          "-M", "/nonexistent", "-Lf", log,  "-p", pid,   "udp:127.0.0.1:" + std::to_string(port)};
  }
  int port_;
  std::string log_;
  Child child_;
};

// tests/support/smtp_receiver.py on 127.0.0.1: Mails() are the mails it
// kept, in the order they came. With a certificate and key (PEM files) it
// speaks TLS from the first byte.
class MailReceiver {
 public:
  explicit MailReceiver(const TempDir& dir, const std::vector<std::string>& certificateAndKey = {}, int port = 0)
      : port_(port ? port : FreePort(SOCK_STREAM)),
        folder_(dir.File("mails")),
        child_(Args(port_, folder_, certificateAndKey), dir.File("smtpd.out")) {}
  int Port() const { return port_; }
  bool Ready() const {
    return WaitUntil([&] { return std::filesystem::exists(folder_ + "/ready"); });
  }
  std::vector<std::string> Mails() const {
    std::vector<std::string> out;
    while (std::filesystem::exists(folder_ + "/" + std::to_string(out.size() + 1) + ".eml"))
      out.push_back(ReadText(folder_ + "/" + std::to_string(out.size() + 1) + ".eml"));
    return out;
  }

 private:
  static std::vector<std::string> Args(int port, const std::string& folder, const std::vector<std::string>& tls) {
    std::vector<std::string> args{"/usr/bin/python3", QM_SMTP_RECEIVER, std::to_string(port), folder};
    args.insert(args.end(), tls.begin(), tls.end());
    return args;
  }
  int port_;
  std::string folder_;
  Child child_;
};

// tests/support/bad_smtp.py in one of its modes ("quiet-after-data", ...).
class BadMailServer {
 public:
  BadMailServer(const TempDir& dir, const std::string& mode)
      : port_(FreePort(SOCK_STREAM)),
        folder_(dir.File(mode)),
        child_({"/usr/bin/python3", QM_BAD_SMTP, mode, std::to_string(port_), folder_}, dir.File(mode + ".out")) {}
  int Port() const { return port_; }
  bool Ready() const {
    return WaitUntil([&] { return std::filesystem::exists(folder_ + "/ready"); });
  }
  // The RCPT TO addresses it was given, one a line.
  std::string Recipients() const { return ReadText(folder_ + "/rcpt"); }

 private:
  int port_;
  std::string folder_;
  Child child_;
};

// A name server on port 53 of a loopback address of its own (127.53.x.y, so
// that runs at the same time do not meet) that never answers; Wrap(command)
// runs the command in a mount namespace of its own whose resolv.conf names it.
class SilentNameServer {
 public:
  explicit SilentNameServer(const TempDir& dir) : conf_(dir.File("resolv.conf")) {
    const unsigned pick = static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(time(nullptr));
    sockaddr_in a{AF_INET, htons(53), {htonl(0x7F350000u | (pick & 0xFFFFu))}, {}};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    WriteText(conf_, std::string("nameserver ") + text + "\n");
    ready_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
             std::system("unshare -rm true 2>/dev/null") == 0;
  }
  ~SilentNameServer() { close(fd_); }
  // False where port 53 or a mount namespace is not ours to have.
  bool Ready() const { return ready_; }
  std::string Wrap(const std::string& command) const {
    return "unshare -rm sh -c 'mount --bind " + conf_ + " /etc/resolv.conf && exec " + command + "'";
  }

 private:
  std::string conf_;
  int fd_ = socket(AF_INET, SOCK_DGRAM, 0);
  bool ready_ = false;
};

}  // namespace quillmont::testing
