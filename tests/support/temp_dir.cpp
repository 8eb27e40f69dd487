#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>

namespace fs = std::filesystem;

ScopedTempDir::ScopedTempDir() {
  char pattern[] = "/tmp/resdb-test-XXXXXX";
  if (mkdtemp(pattern) != nullptr) path_ = pattern;
  EXPECT_FALSE(path_.empty()) << "cannot make a temporary directory";
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ignored;
  if (!path_.empty()) fs::remove_all(path_, ignored);
}

int ScopedTempDir::entryCount() const {
  std::error_code error;
  fs::directory_iterator it(path_, error);
  return error ? -1 : static_cast<int>(std::distance(it, fs::directory_iterator()));
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  const char* old = std::getenv(name);
  was_set_ = old != nullptr;
  if (was_set_) old_value_ = old;
  if (value != nullptr) setenv(name, value, 1);
  if (value == nullptr) unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (was_set_) setenv(name_.c_str(), old_value_.c_str(), 1);
  if (!was_set_) unsetenv(name_.c_str());
}
