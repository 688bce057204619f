#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "quillmont/definitions/members.h"
#include "store/definition_store.h"
#include "store/seed.h"
#include "tests/support/pg/pg_cluster.h"
#include "tests/support/temp_dir.h"

// The store's rules are its own, not a backend's: a suite on BackendTest runs
// each test on a file and on a server database (QM_ON_BOTH_BACKENDS).
namespace quillmont::store {

class BackendTest : public ::testing::TestWithParam<Backend> {
 protected:
  // A new, empty database of the test's backend.
  std::string NewLocation() {
    return GetParam() == Backend::Sqlite ? dir_.File("q" + std::to_string(++files_) + ".db")
                                         : quillmont::testing::PgCluster::Shared().NewDatabase();
  }

 private:
  quillmont::testing::TempDir dir_;
  int files_ = 0;
};

#define QM_ON_BOTH_BACKENDS(Suite)                                                                 \
  INSTANTIATE_TEST_SUITE_P(Backends, Suite, ::testing::Values(Backend::Sqlite, Backend::Postgres), \
                           [](const auto& info) { return info.param == Backend::Sqlite ? "Sqlite" : "Postgres"; })

// What a step refused with, or "(done)".
inline std::string Failure(const std::function<void()>& step) try {
  step();
  return "(done)";
} catch (const std::exception& e) {
  return e.what();
}

// A store opened at the location, seeded when it was created.
inline std::shared_ptr<Store> OpenSeeded(const std::string& location, const OpenOptions& options = {}) {
  auto store = Store::Open(location, options);
  if (store->WasCreated()) SeedDatabase(*store);
  return store;
}

// SNMP managers "host:port" (SNMP v1, UNIX time) of the owner "owner".
inline std::shared_ptr<SnmpManagerList> Managers(const std::vector<std::pair<std::string, int>>& entries) {
  auto list = std::make_shared<BasicSnmpManagerList>();
  for (const auto& [host, port] : entries) {
    auto m = std::make_shared<BasicSnmpManager>();
    m->Init("owner", host, port, "SNMP v1", "UNIX");
    list->Add(m);
  }
  return list;
}

}  // namespace quillmont::store
