// The kept inputs of the database-loading fuzz target, replayed in the ordinary test runs: each
// once hung, crashed or failed a check. Loading must end, resolution must find a live computer,
// and what loads must write itself out.
#include <dirent.h>
#include <sys/mman.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "db/srm_resource_database.h"

TEST(FuzzRegressionsTest, KeptDatabaseTextsLoadAndWrite) {
  const std::string dir = std::string(RESDB_FUZZ_DIR) + "/regressions/deserialize_fuzz";
  DIR* d = opendir(dir.c_str());
  ASSERT_NE(nullptr, d);
  int files = 0;
  while (dirent* entry = readdir(d)) {
    if (entry->d_name[0] == '.') continue;
    SCOPED_TRACE(entry->d_name);
    ++files;
    std::ostringstream text;
    text << std::ifstream(dir + "/" + entry->d_name, std::ios::binary).rdbuf();
    const int fd = memfd_create("regression", 0), out = memfd_create("written", 0);
    ASSERT_EQ(static_cast<ssize_t>(text.str().size()),
              write(fd, text.str().data(), text.str().size()));
    lseek(fd, 0, SEEK_SET);
    SrmResourceDatabase db;
    db.deserialize(fd, nullptr);  // ends (a record stopping early once sent the walk back)
    db.resolveDatabase();         // finds this computer (once left referring to a released record)
    EXPECT_EQ(1, db.serialize(out, 0));
    close(fd);
    close(out);
  }
  closedir(d);
  EXPECT_GT(files, 0);
}
