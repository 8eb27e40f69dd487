// Where a batch is staged (the first usable of $TMPDIR, the agent's directory, /var/tmp, /tmp;
// the file is nameless from the start), and what print answers when the report cannot be had.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "cimapi_testing.h"
#include "db/srm_resource_database.h"
#include "jni/print_report.h"
#include "jni/staging_file.h"
#include "kinds/computer.h"
#include "temp_dir.h"

static bool unlink_fails = false;  // unlink, as the library sees it here, fails while set
extern "C" int unlink(const char* path) {
  return unlink_fails ? -1 : unlinkat(AT_FDCWD, path, 0);
}

namespace {

TEST(StagingTest, PcopyDropsOneTrailingSlash) {
  const char* cases[][2] = {
      {"/var/tmp/", "/var/tmp"}, {"/tmp", "/tmp"}, {"dir//", "dir/"}, {"/", ""}, {"", ""}};
  for (const auto& c : cases) {
    char dst[16] = "unchanged";
    EXPECT_EQ(dst, pcopy(dst, c[0]));
    EXPECT_STREQ(c[1], dst) << c[0];
    EXPECT_STREQ(c[1], pcopy(dst, nullptr));
  }
}

// Checks that file was made in dir and has no name left, and closes it.
void ExpectStagedIn(FILE* file, const std::string& dir) {
  ASSERT_NE(nullptr, file);
  char target[PATH_MAX + 1] = {};
  std::string link = "/proc/self/fd/" + std::to_string(fileno(file));
  ASSERT_GT(readlink(link.c_str(), target, PATH_MAX), 0);
  EXPECT_EQ(dir + "/SRDBRxxxxxx (deleted)",
            std::string(target).replace(dir.size() + 6, 6, "xxxxxx"));
  std::fclose(file);
}

TEST(StagingTest, FirstUsableDirectoryWins) {
  ScopedTempDir env_dir, preferred;
  std::string deep = preferred.path() + "/" + std::string(200, 'd');  // beyond any fixed room
  ASSERT_EQ(0, mkdir(deep.c_str(), 0700));
  const std::string missing = env_dir.path() + "/missing";
  const std::string env_slash = env_dir.path() + "/";
  const std::string fallback = access("/var/tmp", W_OK | X_OK) == 0 ? "/var/tmp" : "/tmp";
  const struct {
    const char* tmpdir;
    std::string preferred, expected;
  } cases[] = {
      {env_dir.path().c_str(), preferred.path(), env_dir.path()},
      {env_slash.c_str(), "", env_dir.path()},
      {nullptr, deep + "/", deep},
      {"", deep, deep},
      {missing.c_str(), missing, fallback},
      {missing.c_str(), "", fallback},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    ScopedEnv tmpdir("TMPDIR", c.tmpdir);
    ExpectStagedIn(mktmpfile(c.preferred.c_str()), c.expected);
  }
  EXPECT_EQ(0, env_dir.entryCount());
  EXPECT_EQ(1, preferred.entryCount());
}

// A directory that access() accepts but that cannot hold files: nothing is made.
TEST(StagingTest, CreationFailureGivesNull) {
  ScopedTempDir base;
  const std::string plain = base.path() + "/plain";
  std::fclose(std::fopen(plain.c_str(), "w"));
  ASSERT_EQ(0, chmod(plain.c_str(), 0700));
  ScopedEnv tmpdir("TMPDIR", plain.c_str());
  EXPECT_EQ(nullptr, mktmpfile(nullptr));
  EXPECT_EQ(1, base.entryCount());

  // A file that would keep its name is refused, and its descriptor closed.
  ScopedEnv usable("TMPDIR", base.path().c_str());
  const int lowest_free = dup(0);
  close(lowest_free);
  unlink_fails = true;
  EXPECT_EQ(nullptr, mktmpfile(nullptr));
  unlink_fails = false;
  EXPECT_EQ(lowest_free, fcntl(0, F_DUPFD, 0));
  close(lowest_free);
}

TEST(PrintReportTest, ModifiedUtf8) {
  const struct {
    const char* text;
    bool valid;
  } cases[] = {
      {"plain <ascii> text longer than thirty-two bytes, twice over", true},
      {"caf\xC3\xA9", true},
      {"\xE2\x82\xAC", true},
      {"\xC0\x80", true},           // the two-byte NUL
      {"\xDF\xBF", true},           // the last two-byte form
      {"\xF0\x9F\x98\x80", false},  // four bytes
      {"\xE9", false},              // a lone Latin-1 byte
      {"\xC3", false},              // cut short
      {"\x80", false},              // stray continuation
      {"\xE0\x80\xAF", false},      // overlong
      {"\xE0\xA0\x80", true},       // the shortest three-byte form
      {"\xC1\xBF", false},          // overlong
      {"\xC0\x81", false},
      {"\xE2\x28\xA1", false},
      {"01234567890123456789012345678901234567\xFF", false},
      {"\xFF"
       "0123456789012345678901234567890123456789",
       false},  // in a 32-byte run
      {"\xFF"
       "0123456789",
       false},  // in an 8-byte run
      {"0123456789012345678901234567890\xC3\xA9", true},
  };
  for (const auto& c : cases) EXPECT_EQ(c.valid, IsModifiedUtf8(c.text)) << c.text;
}

TEST(PrintReportTest, ErrorTextsAndAllocationFailures) {
  SrmResourceDatabase db;
  EXPECT_EQ("ERROR 2", printReport(&db));  // no computer
  auto* c = new SrmComputer("h1");
  c->setOS("Linux 6.1");
  db.addComputer(c, 1);
  c->Release();
  db.getThisComputer();
  const std::string whole = printReport(&db);
  ASSERT_EQ(0u, whole.find("<VALUE.OBJECT>\r\n")) << whole;
  bool failed = false;
  for (long step = 0; step < 120; ++step) {
    nmspc_cim::cim_testFailAllocationsAfter(step);
    std::string text = printReport(&db);
    nmspc_cim::cim_testFailAllocationsAfter(-1);
    if (text == whole) continue;
    failed = true;
    EXPECT_EQ(0u, text.find("ERROR ")) << step << ": " << text;
  }
  EXPECT_TRUE(failed);
}

}  // namespace
