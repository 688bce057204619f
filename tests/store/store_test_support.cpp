#include "tests/store/store_test_support.h"

#include <unistd.h>

#include <atomic>

namespace quillmont::store::testing {
namespace {

class FakeRow : public SelectorRow {
 public:
  explicit FakeRow(std::string key) : key_(std::move(key)) {}
  std::string Key() const override { return key_; }
  std::string Text() const override { return key_; }
  std::string SubItem(int) const override { return {}; }
  void SetSubItem(int, const std::string&) override {}
  bool Selected() const override { return false; }
  void SetSelected(bool) override {}

 private:
  std::string key_;
};

}  // namespace

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("qm-store-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::shared_ptr<SelectorRow> FakeRows::Item(int position) const {
  return std::make_shared<FakeRow>(keys_.at(static_cast<std::size_t>(position - 1)));
}

}  // namespace quillmont::store::testing
