#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "quillmont/framework/components.h"

namespace quillmont::store::testing {

// A fresh folder per test, removed afterwards.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Selector rows as the selector hands them over: keys with one appended
// character.
class FakeRows : public SelectorRows {
 public:
  explicit FakeRows(std::vector<std::string> keys) : keys_(std::move(keys)) {}
  int Count() const override { return static_cast<int>(keys_.size()); }
  std::shared_ptr<SelectorRow> Item(int position) const override;

 private:
  std::vector<std::string> keys_;
};

}  // namespace quillmont::store::testing
