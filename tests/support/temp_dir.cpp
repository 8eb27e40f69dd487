#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <system_error>

ScopedTempDir::ScopedTempDir() {
  char pattern[] = "/tmp/resdb-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    ADD_FAILURE() << "cannot make a temporary directory";
    return;
  }
  path_ = pattern;
}

ScopedTempDir::~ScopedTempDir() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

int ScopedTempDir::entryCount() const {
  std::error_code error;
  std::filesystem::directory_iterator it(path_, error);
  if (error) return -1;
  return static_cast<int>(std::distance(it, std::filesystem::directory_iterator()));
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  const char* old = std::getenv(name);
  if (old != nullptr) {
    was_set_ = true;
    old_value_ = old;
  }
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (was_set_) {
    setenv(name_.c_str(), old_value_.c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}
