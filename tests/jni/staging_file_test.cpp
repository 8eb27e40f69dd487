#include "jni/staging_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>
#include <climits>
#include <cstring>
#include <string>

#include "temp_dir.h"

namespace {

struct PcopyCase {
  const char* src;
  const char* expected;
};

TEST(PcopyTest, DropsOneTrailingSlash) {
  const PcopyCase cases[] = {
      {"/var/tmp/", "/var/tmp"}, {"/tmp", "/tmp"}, {"dir//", "dir/"}, {"/", ""}, {"", ""},
      {"a/b/c/", "a/b/c"},
  };
  for (const PcopyCase& c : cases) {
    char dst[32];
    std::memset(dst, 'x', sizeof(dst));
    EXPECT_EQ(dst, pcopy(dst, c.src));
    EXPECT_STREQ(c.expected, dst) << "source " << c.src;
  }
}

TEST(PcopyTest, NullSourceLeavesDestination) {
  char dst[] = "unchanged";
  EXPECT_EQ(dst, pcopy(dst, nullptr));
  EXPECT_STREQ("unchanged", dst);
}

// The path a descriptor was opened under, as the kernel reports it.
std::string pathOf(FILE* file) {
  char link[64];
  std::snprintf(link, sizeof(link), "/proc/self/fd/%d", fileno(file));
  char target[PATH_MAX + 1];
  ssize_t n = readlink(link, target, PATH_MAX);
  return n < 0 ? std::string() : std::string(target, n);
}

// Checks that file is an anonymous staging file made in dir, and closes it.
void expectStagedIn(FILE* file, const std::string& dir) {
  ASSERT_NE(nullptr, file);
  std::string path = pathOf(file);
  const std::string prefix = dir + "/SRDBR";
  EXPECT_EQ(0u, path.rfind(prefix, 0)) << path;
  EXPECT_EQ(prefix.size() + 6 + std::strlen(" (deleted)"), path.size()) << path;
  EXPECT_NE(std::string::npos, path.find(" (deleted)")) << "the file still has a name: " << path;
  std::fclose(file);
}

bool usable(const char* dir) {
  return access(dir, W_OK | X_OK) == 0;
}

TEST(MktmpfileTest, EnvironmentWinsOverPreferredDirectory) {
  ScopedTempDir env_dir, preferred;
  ScopedEnv tmpdir("TMPDIR", env_dir.path().c_str());
  expectStagedIn(mktmpfile(preferred.path().c_str()), env_dir.path());
  EXPECT_EQ(0, env_dir.entryCount());
  EXPECT_EQ(0, preferred.entryCount());
}

TEST(MktmpfileTest, PreferredDirectoryWhenEnvironmentUnusable) {
  ScopedTempDir preferred;
  const std::string missing = preferred.path() + "/missing";
  const char* unusable[] = {nullptr, "", missing.c_str()};
  for (const char* value : unusable) {
    ScopedEnv tmpdir("TMPDIR", value);
    expectStagedIn(mktmpfile(preferred.path().c_str()), preferred.path());
  }
  EXPECT_EQ(0, preferred.entryCount());
}

TEST(MktmpfileTest, TrailingSlashIsDropped) {
  ScopedTempDir env_dir, preferred;
  {
    ScopedEnv tmpdir("TMPDIR", (env_dir.path() + "/").c_str());
    expectStagedIn(mktmpfile(nullptr), env_dir.path());
  }
  ScopedEnv tmpdir("TMPDIR", nullptr);
  expectStagedIn(mktmpfile((preferred.path() + "/").c_str()), preferred.path());
}

TEST(MktmpfileTest, SystemDefaultsLast) {
  ASSERT_TRUE(usable("/var/tmp") || usable("/tmp"));
  const std::string fallback = usable("/var/tmp") ? "/var/tmp" : "/tmp";
  ScopedTempDir scratch;
  const std::string missing = scratch.path() + "/missing";
  ScopedEnv tmpdir("TMPDIR", missing.c_str());
  expectStagedIn(mktmpfile(missing.c_str()), fallback);
  expectStagedIn(mktmpfile(nullptr), fallback);
  expectStagedIn(mktmpfile(""), fallback);
}

// Directory names far longer than the fixed room for the defaults and the template.
TEST(MktmpfileTest, LongDirectoryNames) {
  ScopedTempDir base;
  std::string deep = base.path();
  for (int i = 0; i < 4; ++i) {
    deep += "/" + std::string(60, static_cast<char>('a' + i));
    ASSERT_EQ(0, mkdir(deep.c_str(), 0700));
  }
  {
    ScopedEnv tmpdir("TMPDIR", deep.c_str());
    expectStagedIn(mktmpfile("/nonexistent"), deep);
  }
  ScopedEnv tmpdir("TMPDIR", "/nonexistent");
  expectStagedIn(mktmpfile((deep + "/").c_str()), deep);
}

// A directory that access() accepts but that cannot hold files: nothing is made, nothing leaks.
TEST(MktmpfileTest, CreationFailureGivesNull) {
  ScopedTempDir base;
  const std::string file = base.path() + "/plain";
  FILE* plain = std::fopen(file.c_str(), "w");
  ASSERT_NE(nullptr, plain);
  std::fclose(plain);
  ASSERT_EQ(0, chmod(file.c_str(), 0700));  // searchable for access(), yet not a directory
  ScopedEnv tmpdir("TMPDIR", file.c_str());
  EXPECT_EQ(nullptr, mktmpfile(nullptr));
  EXPECT_EQ(1, base.entryCount());
}

TEST(MktmpfileTest, ReadsBackThroughItsDescriptor) {
  ScopedTempDir dir;
  ScopedEnv tmpdir("TMPDIR", dir.path().c_str());
  FILE* file = mktmpfile(nullptr);
  ASSERT_NE(nullptr, file);
  ASSERT_NE(EOF, std::fputs("\"Type=Disk\",;\n", file));
  ASSERT_EQ(0, std::fflush(file));
  std::rewind(file);
  char buffer[32] = {};
  EXPECT_EQ(14, read(fileno(file), buffer, sizeof(buffer)));
  EXPECT_STREQ("\"Type=Disk\",;\n", buffer);
  std::fclose(file);
}

}  // namespace
