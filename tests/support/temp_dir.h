// Scoped helpers for tests that make files: a fresh directory removed with its contents at the
// end of the scope, and an environment variable set (or unset, for a null value) for the scope.
#ifndef RESDB_TESTS_SUPPORT_TEMP_DIR_H_
#define RESDB_TESTS_SUPPORT_TEMP_DIR_H_

#include <string>

class ScopedTempDir {
 public:
  ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  ~ScopedTempDir();
  const std::string& path() const { return path_; }
  int entryCount() const;  // the number of entries in the directory

 private:
  std::string path_;
};

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
