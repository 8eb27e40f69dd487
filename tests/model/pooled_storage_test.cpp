// The storage kept in chunks beside the records: the node pool of the resource lists and the
// global-id table.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "db/global_id_table.h"
#include "model/node_pool.h"

namespace {

TEST(NodePoolTest, GivenBackBlocksAreTakenAgainAndOtherSizesGoToOperatorNew) {
  SrmNodePool pool;
  void* first = pool.allocate(40);
  void* second = pool.allocate(40);
  EXPECT_NE(first, second);
  void* other_size = pool.allocate(200);  // not the pool's size: from operator new
  pool.deallocate(first, 40);
  EXPECT_EQ(first, pool.allocate(40));
  pool.deallocate(other_size, 200);
  std::vector<char*> blocks;  // the pool's own room, then chunks that grow: none may overlap
  for (int i = 0; i < 1000; ++i) {
    blocks.push_back(static_cast<char*>(pool.allocate(40)));
    std::memset(blocks.back(), i % 251, 40);
  }
  for (int i = 0; i < 1000; ++i)
    EXPECT_EQ(std::string(40, static_cast<char>(i % 251)), std::string(blocks[i], 40));
}

TEST(GlobalIdTableTest, EntersManyFindsEachAndNeverReplaces) {
  SrmGlobalIdTable table;
  EXPECT_EQ("", table.find("g1"));
  const std::string long_id(70000, 'x');  // longer than any text chunk
  for (int i = 0; i < 2000; ++i) {
    const std::string gid = "naa.6006" + std::to_string(i);
    ASSERT_TRUE(table.add(gid, i == 700 ? long_id : "c2t" + std::to_string(i)));
  }
  EXPECT_FALSE(table.add("naa.60065", "other"));
  for (int i = 0; i < 2000; ++i) {
    const std::string gid = "naa.6006" + std::to_string(i);
    EXPECT_EQ(i == 700 ? long_id : "c2t" + std::to_string(i), table.find(gid)) << gid;
  }
  EXPECT_EQ("", table.find("naa.60062000"));
  EXPECT_TRUE(table.add("", ""));  // the database refuses empty texts; the table keeps them
  EXPECT_FALSE(table.add("", "y"));
}

}  // namespace
