#pragma once

#include <string>

namespace quillmont::testing {

// A PostgreSQL server of the tests' own: initdb into a temporary folder, and
// the server listening on a Unix socket in that folder only (no TCP). As
// root it runs as the postgres user, which the server requires. A watcher
// process stops it and removes the folder when this process ends, however it
// ends.
class PgCluster {
 public:
  // Started on first use; throws std::runtime_error (with the server's log)
  // when it cannot start.
  static PgCluster& Shared();

  // A new, empty database; its postgresql:// URI.
  std::string NewDatabase();
  // The URI of a database for a user (trusted; "guarded" logs in with the
  // password "right-password").
  std::string Uri(const std::string& database, const std::string& user = "qm") const;
  // Stops the server (fast shutdown: connections are cut) and starts it
  // again.
  void Stop();
  void Start();

 private:
  PgCluster();
  void Run(const std::string& command, const char* what) const;

  std::string bin_, dir_, asUser_;
  int databases_ = 0;
};

}  // namespace quillmont::testing
