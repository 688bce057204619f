#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

// Receivers on loopback for the delivery tests: child processes that are
// always stopped, and free ports.
namespace quillmont::testing {

// A child process in a group of its own, output to a file; stopped (with
// whatever it started) when the object goes, also when a test fails.
class Child {
 public:
  Child(std::vector<std::string> argv, const std::string& output) {
    pid_ = fork();
    if (pid_ == 0) {
      setpgid(0, 0);
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
  void Stop() {
    if (pid_ <= 0) return;
    kill(-pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// A port nobody uses at the moment of asking.
inline int FreePort(int type) {
  const int fd = socket(AF_INET, type, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

// A TCP listener that never accepts nor says a word.
class SilentServer {
 public:
  SilentServer() : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd_, 8);
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~SilentServer() { close(fd_); }
  int Port() const { return port_; }
  // Whether a connection is waiting to be accepted.
  bool Approached() const {
    fcntl(fd_, F_SETFL, O_NONBLOCK);
    const int c = accept(fd_, nullptr, nullptr);
    if (c >= 0) close(c);
    return c >= 0;
  }

 private:
  int fd_;
  int port_ = 0;
};

// Waits (at most 20 s) until the condition holds; a bound, not a speed check.
inline bool WaitUntil(const std::function<bool()>& condition) {
  for (int i = 0; i < 400; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return condition();
}

// snmptrapd in the foreground on 127.0.0.1, logging every trap it gets with
// numeric OIDs; Ready() once it listens.
class TrapReceiver {
 public:
  explicit TrapReceiver(const TempDir& dir)
      : port_(FreePort(SOCK_DGRAM)),
        log_(dir.File("traps.log")),
        child_(Args(dir, port_, log_), dir.File("snmptrapd.out")) {}
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
    return {"snmptrapd",
            "-f",
            "-C",
            "-c",
            dir.File("snmptrapd.conf"),
            "-n",
            "-On",
            "-m",
            "",
            "-M",
            "/nonexistent",
            "-Lf",
            log,
            "-p",
            dir.File("snmptrapd.pid"),
            "udp:127.0.0.1:" + std::to_string(port)};
  }
  int port_;
  std::string log_;
  Child child_;
};

// An SMTP server on 127.0.0.1 (Debian's python3-aiosmtpd) that keeps each mail as a file
// "MAIL FROM ...\nRCPT TO ...\n" followed by the data, and rejects every
// recipient whose address starts with "refuse@".
class MailReceiver {
 public:
  explicit MailReceiver(const TempDir& dir)
      : port_(FreePort(SOCK_STREAM)),
        folder_(dir.File("mails")),
        child_({"/usr/bin/python3", Script(dir), std::to_string(port_), folder_}, dir.File("smtpd.out")) {}
  int Port() const { return port_; }
  bool Ready() const {
    return WaitUntil([&] { return std::filesystem::exists(folder_ + "/ready"); });
  }
  std::vector<std::string> Mails() const {
    std::vector<std::string> out;
    for (int i = 1; std::filesystem::exists(folder_ + "/" + std::to_string(i) + ".eml"); ++i)
      out.push_back(ReadText(folder_ + "/" + std::to_string(i) + ".eml"));
    return out;
  }
  void Stop() { child_.Stop(); }

 private:
  static std::string Script(const TempDir& dir) {
    WriteText(dir.File("smtpd.py"), R"py(import os, sys, time
from aiosmtpd.controller import Controller
port, folder = int(sys.argv[1]), sys.argv[2]
os.makedirs(folder, exist_ok=True)
class Handler:
    count = 0
    async def handle_RCPT(self, server, session, envelope, address, options):
        if address.startswith('refuse@'):
            return '550 5.1.1 <%s>: no such mailbox here' % address
        envelope.rcpt_tos.append(address)
        return '250 OK'
    async def handle_DATA(self, server, session, envelope):
        Handler.count += 1
        head = 'MAIL FROM %s\nRCPT TO %s\n' % (envelope.mail_from, ','.join(envelope.rcpt_tos))
        with open(os.path.join(folder, '%d.eml' % Handler.count), 'wb') as f:
            f.write(head.encode() + envelope.original_content)
        return '250 OK'
controller = Controller(Handler(), hostname='127.0.0.1', port=port)
controller.start()
open(os.path.join(folder, 'ready'), 'w').close()
while True:
    time.sleep(60)
)py");
    return dir.File("smtpd.py");
  }
  int port_;
  std::string folder_;
  Child child_;
};

}  // namespace quillmont::testing
