#include "tests/support/pg/pg_cluster.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "store/pg_db.h"

namespace quillmont::testing {
namespace {

// The newest installed server's programs (Debian keeps them out of PATH).
std::string ServerBin() {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec))
    if (std::filesystem::exists(entry.path() / "bin" / "initdb")) found.push_back((entry.path() / "bin").string());
  std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  if (found.empty())
    throw std::runtime_error("no PostgreSQL server programs in /usr/lib/postgresql (install the postgresql package)");
  return found.back();
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace

PgCluster& PgCluster::Shared() {
  static PgCluster cluster;
  return cluster;
}

PgCluster::PgCluster() : bin_(ServerBin()) {
  std::string tmpl = (std::filesystem::temp_directory_path() / "quillmont-pg-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot make a folder for the test server");
  dir_ = tmpl;
  if (::geteuid() == 0) {
    const passwd* pg = ::getpwnam("postgres");
    if (!pg || ::chown(dir_.c_str(), pg->pw_uid, pg->pw_gid) != 0)
      throw std::runtime_error("running as root, and the postgres user cannot own " + dir_);
    asUser_ = "runuser -u postgres -- ";
  }
  // The watcher: its standard input is a pipe only this process writes, so
  // it reads end-of-file when this process is gone, and then cleans up. Its
  // own session keeps it alive when the test's process group is killed.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
  const std::string cleanup = "cat >/dev/null; " + asUser_ + bin_ + "/pg_ctl -D " + dir_ +
                              "/data -m immediate stop >/dev/null 2>&1; rm -rf " + dir_;
  if (const pid_t pid = ::fork(); pid == 0) {
    ::setsid();
    ::dup2(fds[0], 0);
    ::execl("/bin/sh", "sh", "-c", cleanup.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[0]);  // the write end stays open (and unshared) until exit

  Run(bin_ + "/initdb -D " + dir_ + "/data -U qm -A trust -E UTF8 --no-locale --no-sync", "initdb");
  std::ofstream(dir_ + "/data/pg_hba.conf") << "local all guarded scram-sha-256\nlocal all all trust\n";
  Start();
  store::PgDatabase admin(Uri("postgres"), false, 5000);
  admin.Exec("CREATE ROLE guarded LOGIN PASSWORD 'right-password'");
}

void PgCluster::Run(const std::string& command, const char* what) const {
  const std::string log = dir_ + "/" + what + ".log";
  if (std::system((asUser_ + command + " >>" + log + " 2>&1").c_str()) != 0)
    throw std::runtime_error(std::string(what) + " failed:\n" + Slurp(log) + Slurp(dir_ + "/server.log"));
}

void PgCluster::Start() {
  Run(bin_ + "/pg_ctl -D " + dir_ + "/data -w -t 60 -l " + dir_ + "/server.log -o \"-k " + dir_ +
          " -c listen_addresses='' -c fsync=off -c full_page_writes=off\" start",
      "start");
}

void PgCluster::Stop() { Run(bin_ + "/pg_ctl -D " + dir_ + "/data -w -m fast stop", "stop"); }

std::string PgCluster::Uri(const std::string& database, const std::string& user) const {
  return "postgresql:///" + database + "?host=" + dir_ + "&user=" + user;
}

std::string PgCluster::NewDatabase() {
  const std::string name = "qm" + std::to_string(++databases_);
  store::PgDatabase admin(Uri("postgres"), false, 5000);
  admin.Exec("CREATE DATABASE " + name);
  return Uri(name);
}

}  // namespace quillmont::testing
