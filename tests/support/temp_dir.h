// Scoped helpers for tests that make files: a fresh directory removed with its contents at the
// end of the scope, and an environment variable set (or unset) for the scope and then restored.
#ifndef RESDB_TESTS_SUPPORT_TEMP_DIR_H_
#define RESDB_TESTS_SUPPORT_TEMP_DIR_H_

#include <string>

// A new empty directory under /tmp, owned by the object; removed recursively when it goes.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  ~ScopedTempDir();

  const std::string& path() const { return path_; }
  // The number of entries in the directory.
  int entryCount() const;

 private:
  std::string path_;
};

// Sets name to value (or unsets it for a null value) and restores the former state at the end
// of the scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv();

 private:
  std::string name_;
  bool was_set_ = false;
  std::string old_value_;
};

#endif  // RESDB_TESTS_SUPPORT_TEMP_DIR_H_
