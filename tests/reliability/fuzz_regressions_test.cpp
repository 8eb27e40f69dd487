// The kept inputs of the database-loading fuzz target, replayed in the ordinary test runs: each
// once hung, crashed or failed a check. Loading must end, resolution must find a live computer,
// and what loads must write itself out.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "db/srm_resource_database.h"

namespace {

std::vector<std::string> RegressionFiles(const std::string& dir) {
  std::vector<std::string> files;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* entry = readdir(d)) {
      if (entry->d_name[0] != '.') files.push_back(dir + "/" + entry->d_name);
    }
    closedir(d);
  }
  return files;
}

TEST(FuzzRegressionsTest, KeptDatabaseTextsLoadAndWrite) {
  const std::vector<std::string> files =
      RegressionFiles(std::string(RESDB_FUZZ_DIR) + "/regressions/deserialize_fuzz");
  ASSERT_FALSE(files.empty());
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    int fd = memfd_create("regression", 0);
    ASSERT_GE(fd, 0);
    const std::string& bytes = text.str();
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), write(fd, bytes.data(), bytes.size()));
    lseek(fd, 0, SEEK_SET);
    SrmResourceDatabase db;
    db.deserialize(fd, nullptr);  // ends (a record stopping early once sent the walk back)
    close(fd);
    db.resolveDatabase();  // finds this computer (once left referring to a released record)
    int out = memfd_create("written", 0);
    ASSERT_GE(out, 0);
    EXPECT_EQ(1, db.serialize(out, 0));
    close(out);
  }
}

}  // namespace
