// The storage kept in chunks beside the records: the node pool of the resource lists, the
// global-id table and the text store records share with their database.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "db/global_id_table.h"
#include "db/srm_resource_database.h"
#include "kinds/disk.h"
#include "model/chunk_cache.h"
#include "model/node_pool.h"
#include "model/srm_resource_list.h"
#include "model/text_arena.h"

namespace {

TEST(NodePoolTest, GivenBackBlocksAreTakenAgainAndOtherSizesGoToOperatorNew) {
  SrmTextArena room;
  SrmNodePool pool(&room);
  void* first = pool.allocate(40);
  void* second = pool.allocate(40);
  EXPECT_NE(first, second);
  void* other_size = pool.allocate(200);  // not the pool's size: from operator new
  pool.deallocate(first, 40);
  EXPECT_EQ(first, pool.allocate(40));
  pool.deallocate(other_size, 200);
  // A block given back is taken again before the newest chunk's unused room.
  void* third = pool.allocate(40);  // a new chunk, with room left
  pool.deallocate(second, 40);
  EXPECT_EQ(second, pool.allocate(40));
  EXPECT_NE(third, second);
  // Chunks that grow up to the largest, over several of the arena's: no two blocks may overlap.
  std::vector<char*> blocks;
  for (int i = 0; i < 5000; ++i) {
    blocks.push_back(static_cast<char*>(pool.allocate(40)));
    std::memset(blocks.back(), i % 251, 40);
  }
  for (int i = 0; i < 5000; ++i)
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

// The largest chunks an arena gives back are kept, up to the bound, and taken again by the next
// arena instead of new ones; draining gives them all back.
TEST(ChunkCacheTest, KeepsLargestChunksForTheNextArenaUpToItsBound) {
  SrmChunkCache::Drain();
  EXPECT_EQ(nullptr, SrmChunkCache::Take());
  auto fill = [] {
    SrmTextArena arena;
    for (int i = 0; i < 400; ++i) std::memset(arena.allocate(1000), 'x', 1000);
  };
  fill();
  const size_t kept = SrmChunkCache::Drain();
  EXPECT_GE(kept, 3u);  // 400 KB: the chunks grow to the largest size within the first 128 KB
  fill();
  fill();  // takes the chunks the first one gave back
  EXPECT_EQ(kept, SrmChunkCache::Drain());
  std::vector<void*> blocks;
  for (size_t i = 0; i <= SrmChunkCache::kMaxKeptChunks; ++i)
    blocks.push_back(::operator new(SrmChunkCache::kKeptBlockBytes));
  for (size_t i = 0; i < SrmChunkCache::kMaxKeptChunks; ++i)
    EXPECT_TRUE(SrmChunkCache::Keep(blocks[i]));
  EXPECT_FALSE(SrmChunkCache::Keep(blocks.back()));
  ::operator delete(blocks.back());
  EXPECT_EQ(SrmChunkCache::kMaxKeptChunks, SrmChunkCache::Drain());
}

// A record made in its database's store keeps its text, wherever it came from (its own writes, a
// merge from a record of another store), and its memory however long it outlives its database;
// each field reads back as a C string. Every database that ends while the record lives on unlinks
// it, the second as much as the first.
TEST(RecordTextTest, OutlivesItsDatabaseAndTakesMergedTextIntoItsOwnStore) {
  const std::string name(300, 'n');  // longer than the store's first chunk
  auto db = std::make_unique<SrmResourceDatabase>();
  db->textStore()->keep(std::string(1000, 't'));  // a chunk of its own
  db->textStore()->keep("odd");  // the next chunk; the record's room must still come aligned
  SrmDisk* disk = SrmNewInStore<SrmDisk>(db->textStore(), db.get());  // its memory too
  EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(disk) % alignof(std::max_align_t));
  disk->setId("disk-1");
  const std::string_view first_id = disk->getId();
  disk->setName(name);
  ASSERT_EQ(1, db->addResource(disk));  // the list takes a reference; ours outlives it
  {
    SrmHeld<SrmDisk> newer(new SrmDisk());  // no database: a store of its own
    newer->setId("disk-1");
    newer->setModel("model-from-a-newer-scan");
    ASSERT_EQ(1, disk->mergeResource(newer.get()));
  }
  db.reset();
  EXPECT_EQ(nullptr, disk->getDatabase());
  auto second = std::make_unique<SrmResourceDatabase>();
  ASSERT_EQ(1, second->addResource(disk));
  disk->setDatabase(second.get());
  second.reset();
  EXPECT_EQ(nullptr, disk->getDatabase());
  {
    // A list made for one pass keeps its kinds in a store of its own, which goes with it, and
    // leaves the record's store alone.
    const int store_references = disk->heldTextStore()->getRefCount();
    SrmResourceList pass;
    ASSERT_EQ(1, pass.addResource(disk));
    EXPECT_EQ(store_references, disk->heldTextStore()->getRefCount());
  }
  disk->setId("disk-2");  // a replaced text stays readable until the store ends
  EXPECT_EQ("disk-1", first_id);
  disk->setSerialNum("serial after the database ended");
  EXPECT_EQ("disk-2", disk->getId());
  EXPECT_EQ(name, disk->getName());
  EXPECT_EQ("model-from-a-newer-scan", disk->getModel());
  EXPECT_EQ("serial after the database ended", disk->getSerialNum());
  EXPECT_EQ(name.size(), std::strlen(disk->getName().c_str()));
  disk->setName("");
  EXPECT_STREQ("", disk->getName().c_str());
  disk->Release();
}

}  // namespace
