#include "kinds/disk_chunk.h"

#include <gtest/gtest.h>

#include <string>

#include "db/srm_resource_database.h"
#include "kind_test_util.h"
#include "kinds/disk.h"

using kindtest::Held;
using kindtest::MakeTuple;
using kindtest::SerializeToText;
using kindtest::StubRecord;

namespace {

TEST(DiskChunkTest, WritesFullAndReferenceLines) {
  SrmResourceDatabase db;
  Held<SrmDiskChunk> c(new SrmDiskChunk("c1"));
  c->setDatabase(&db);
  c->setDiskChunk("s0");
  c->setDisk("d1");
  ASSERT_EQ(1, c->setStartAndLength(0, 2048));
  EXPECT_EQ(
      "\"Type=DiskChunk\",\"Id=c1\",\"State=12\",\"DiskChunk=s0\",\"Disk=d1\",\"Start=0\","
      "\"Length=2048\",;\n",
      SerializeToText(c.get(), 0));
  EXPECT_EQ("\"Type=DiskChunk\",\"Id=c1\",;\n", SerializeToText(c.get(), 1));
  ASSERT_EQ(1, c->setStartAndLength(4294967296, 3907018584));
  c->setDisk("");
  EXPECT_EQ(
      "\"Type=DiskChunk\",\"Id=c1\",\"State=12\",\"DiskChunk=s0\",\"Start=4294967296\","
      "\"Length=3907018584\",;\n",
      SerializeToText(c.get(), 0));
}

// Start and Length are set together, at the end of the tuple, and only when neither is
// negative.
TEST(DiskChunkTest, ReadsPositionTogether) {
  struct Case {
    const char* start;  // null: no Start element
    const char* length;
    int64_t want_start, want_length;
  } cases[] = {
      {"5", "10", 5, 10},        {nullptr, nullptr, 0, 0},
      {"-1", "10", 1, 2},  // unchanged
      {"7", "-3", 1, 2},         {"4294967296", "3907018584", 4294967296, 3907018584},
      {"12abc", nullptr, 12, 0},
  };
  for (const Case& c : cases) {
    Held<SrmDiskChunk> chunk(new SrmDiskChunk());
    chunk->setStartAndLength(1, 2);
    auto tuple = MakeTuple({"\"Id=c1\""});
    if (c.start) tuple->addElement(std::string("\"Start=") + c.start + "\"");
    if (c.length) tuple->addElement(std::string("\"Length=") + c.length + "\"");
    ASSERT_EQ(1, chunk->deserialize(-1, tuple.get()));
    EXPECT_EQ(c.want_start, chunk->getStart()) << (c.start ? c.start : "-");
    EXPECT_EQ(c.want_length, chunk->getLength()) << (c.length ? c.length : "-");
  }
}

TEST(DiskChunkTest, ReadsStateOrdAndRefusesNull) {
  Held<SrmDiskChunk> c(new SrmDiskChunk());
  auto tuple = MakeTuple({"\"State=1\"", "\"DiskChunk=s1\""});
  ASSERT_EQ(1, c->deserialize(-1, tuple.get()));
  EXPECT_EQ(13, c->getFlags());
  EXPECT_EQ("s1", c->getDiskChunk());
  EXPECT_EQ(0, c->deserialize(-1, nullptr));
}

TEST(DiskChunkTest, DiskNamedByGlobalIdIsStoredByItsId) {
  SrmResourceDatabase db;
  Held<SrmDisk> disk(new SrmDisk("D1"));
  disk->setLId("G1");
  ASSERT_EQ(1, db.addResource(disk.get()));
  struct Case {
    bool bound;
    const char* value;
    const char* stored;
  } cases[] = {{true, "G1", "D1"}, {true, "D1", "D1"}, {true, "X", "X"}, {false, "G1", "G1"}};
  for (const Case& c : cases) {
    Held<SrmDiskChunk> chunk(new SrmDiskChunk());
    if (c.bound) chunk->setDatabase(&db);
    auto tuple = MakeTuple({std::string("\"Disk=") + c.value + "\""});
    ASSERT_EQ(1, chunk->deserialize(-1, tuple.get()));
    EXPECT_EQ(c.stored, chunk->getDisk()) << c.value;
  }
}

TEST(DiskChunkTest, MergeRules) {
  Held<SrmDiskChunk> target(new SrmDiskChunk("c1")), zero(new SrmDiskChunk("c1"));
  target->setStartAndLength(100, 200);
  target->setDisk("d1");
  target->setFlags(12);
  zero->setFlags(44);
  ASSERT_EQ(1, target->mergeResource(zero.get()));
  EXPECT_EQ(100, target->getStart());  // a chunk without a position keeps the target's
  EXPECT_EQ(200, target->getLength());
  EXPECT_EQ("d1", target->getDisk());
  EXPECT_EQ(12, target->getFlags());  // flags are not merged
  EXPECT_TRUE(zero->isMerged());

  Held<SrmDiskChunk> moved(new SrmDiskChunk("c1"));
  moved->setStartAndLength(0, 5);
  moved->setDisk("d2");
  moved->setDiskChunk("s2");
  ASSERT_EQ(1, target->mergeResource(moved.get()));
  EXPECT_EQ(0, target->getStart());
  EXPECT_EQ(5, target->getLength());
  EXPECT_EQ("d2", target->getDisk());
  EXPECT_EQ("s2", target->getDiskChunk());

  Held<StubRecord> disk(new StubRecord(SRM_DISK, "c1"));
  EXPECT_EQ(0, target->mergeResource(disk.get()));
  EXPECT_EQ(0, target->mergeResource(nullptr));
}

}  // namespace
