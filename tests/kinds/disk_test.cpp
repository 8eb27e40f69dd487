#include "kinds/disk.h"

#include <gtest/gtest.h>

#include <string>

#include "db/srm_resource_database.h"
#include "kind_test_util.h"

using kindtest::Held;
using kindtest::MakeTuple;
using kindtest::SerializeToText;
using kindtest::StubRecord;

namespace {

const char kBareLine[] =
    "\"Type=Disk\",\"Id=d1\",\"Status=0\",\"State=13\",\"IdType=0\",\"Sign=-1\","
    "\"CapacityKB=0\",\"FreeSpaceKB=0\",\"AWRE=0\",\"AddrBus=0\",\"AddrTarget=0\","
    "\"AddrLUN=0\",\"LLTId=0\",\"DiskType=0\",\"RPM=0\",\"FactoryDefect=0\","
    "\"GrownDefect=0\",\"Sbc=0\",\"VendorVer=0\",;\n";

TEST(DiskTest, EveryConstructorMarksTheDisk) {
  SrmResourceDatabase db;
  Held<SrmDisk> plain(new SrmDisk()), named(new SrmDisk("d1")), bound(new SrmDisk(&db));
  for (SrmDisk* d : {plain.get(), named.get(), bound.get()}) {
    EXPECT_EQ(SRM_DISK, d->getType());
    EXPECT_EQ(13, d->getFlags());
    EXPECT_EQ(-1, d->getSign());
    EXPECT_EQ(0, d->getCapacityKB());
  }
  EXPECT_EQ("d1", named->getId());
  EXPECT_EQ(&db, bound->getDatabase());
  EXPECT_EQ(nullptr, plain->getDatabase());
}

TEST(DiskTest, WritesBareFullAndReferenceLines) {
  SrmResourceDatabase db;
  Held<SrmDisk> d(new SrmDisk(&db));
  d->setId("d1");
  int rc = 0;
  EXPECT_EQ(kBareLine, SerializeToText(d.get(), 0, &rc));
  EXPECT_EQ(1, rc);
  EXPECT_EQ("\"Type=Disk\",\"Id=d1\",;\n", SerializeToText(d.get(), 1, &rc));
  EXPECT_EQ(1, rc);
  // Without a database there is no buffer to write through.
  Held<SrmDisk> loose(new SrmDisk("d1"));
  EXPECT_EQ("", SerializeToText(loose.get(), 0, &rc));
  EXPECT_EQ(0, rc);
}

TEST(DiskTest, WritesItsLIdAndSizesPast32Bits) {
  SrmResourceDatabase db;
  Held<SrmDisk> d(new SrmDisk(&db));
  d->setId("d1");
  d->setLId("g1");
  d->setStatusDesc("ok");
  d->setName("c0t0d0");
  ASSERT_EQ(1, d->setCapacity(3907018584));
  ASSERT_EQ(1, d->setFreeSpace(4294967296));
  EXPECT_EQ(
      "\"Type=Disk\",\"Id=d1\",\"Status=0\",\"State=13\",\"LId=g1\",\"StatusDesc=ok\","
      "\"IdType=0\",\"Name=c0t0d0\",\"Sign=-1\",\"CapacityKB=3907018584\","
      "\"FreeSpaceKB=4294967296\",\"AWRE=0\",\"AddrBus=0\",\"AddrTarget=0\",\"AddrLUN=0\","
      "\"LLTId=0\",\"DiskType=0\",\"RPM=0\",\"FactoryDefect=0\",\"GrownDefect=0\",\"Sbc=0\","
      "\"VendorVer=0\",;\n",
      SerializeToText(d.get(), 0));
}

TEST(DiskTest, SizesRefuseNegatives) {
  Held<SrmDisk> d(new SrmDisk());
  ASSERT_EQ(1, d->setCapacity(10));
  EXPECT_EQ(0, d->setCapacity(-1));
  EXPECT_EQ(0, d->setFreeSpace(-1));
  EXPECT_EQ(10, d->getCapacityKB());
  EXPECT_EQ(0, d->getFreeSpaceKB());
}

TEST(DiskTest, ReadsFields) {
  Held<SrmDisk> d(new SrmDisk());
  auto tuple = MakeTuple({"\"Type=Disk\"", "\"Id=d1\"", "\"State=2\"", "\"AWRE=5\"",
                          "\"Sign= -7x\"", "\"CapacityKB=3907018584\"", "\"FreeSpaceKB=-5\"",
                          "\"Name=n\"", "\"Name=n2\"", "\"Unknown=1\"", "\"LId=g\""});
  ASSERT_EQ(1, d->deserialize(-1, tuple.get()));
  EXPECT_EQ("d1", d->getId());
  EXPECT_EQ(15, d->getFlags());  // 13 OR 2: bits already set stay set
  EXPECT_EQ(5, d->getAWRE());
  EXPECT_EQ(0, d->getAddrBus());
  EXPECT_EQ(-7, d->getSign());
  EXPECT_EQ(3907018584, d->getCapacityKB());
  EXPECT_EQ(0, d->getFreeSpaceKB());  // a negative size is ignored
  EXPECT_EQ("n2", d->getName());      // the last element wins
  EXPECT_EQ("g", d->getLId());
  EXPECT_EQ(0, d->deserialize(-1, nullptr));
}

TEST(DiskTest, ReadingStopsAtAnElementWithoutEquals) {
  Held<SrmDisk> d(new SrmDisk());
  auto tuple = MakeTuple({"\"Id=d1\"", "\"RPM=7200\"", "\"broken\"", "\"Make=m\""});
  ASSERT_EQ(1, d->deserialize(-1, tuple.get()));
  EXPECT_EQ(7200, d->getRPM());
  EXPECT_EQ("", d->getMake());
}

// Sign goes only into a disk that has none; the state words are ORed unless the newer is 0.
TEST(DiskTest, MergeRules) {
  struct Case {
    int32_t target_sign, other_sign, merged_sign;
  } cases[] = {{3, 7, 3}, {-1, 7, 7}, {-4, -1, -1}, {0, 9, 0}};
  for (const Case& c : cases) {
    Held<SrmDisk> target(new SrmDisk("d1")), other(new SrmDisk("d1"));
    target->setSign(c.target_sign);
    other->setSign(c.other_sign);
    ASSERT_EQ(1, target->mergeResource(other.get()));
    EXPECT_EQ(c.merged_sign, target->getSign()) << c.target_sign << " <- " << c.other_sign;
  }

  Held<SrmDisk> target(new SrmDisk("d1")), other(new SrmDisk("d1"));
  target->setFlags(12);
  other->setFlags(0);
  other->setRPM(7200);
  other->setAddrBus(0);
  target->setAddrBus(3);
  other->setCapacity(3907018584);
  other->setStatusDesc("ok");
  ASSERT_EQ(1, target->mergeResource(other.get()));
  EXPECT_EQ(12, target->getFlags());  // a zero word changes nothing
  EXPECT_EQ(7200, target->getRPM());
  EXPECT_EQ(3, target->getAddrBus());  // unset fields never clear
  EXPECT_EQ(3907018584, target->getCapacityKB());
  EXPECT_EQ("ok", target->getStatusDesc());
  EXPECT_TRUE(other->isMerged());
  EXPECT_FALSE(target->isMerged());

  // A merged argument is done: merging it again changes nothing.
  other->setRPM(1);
  EXPECT_EQ(1, target->mergeResource(other.get()));
  EXPECT_EQ(7200, target->getRPM());

  Held<SrmDisk> flagged(new SrmDisk("d1"));
  flagged->setFlags(32);
  ASSERT_EQ(1, target->mergeResource(flagged.get()));
  EXPECT_EQ(12 | 32, target->getFlags());
}

TEST(DiskTest, MergeRefusesNullAndOtherKindsAndItself) {
  Held<SrmDisk> d(new SrmDisk("d1"));
  Held<StubRecord> chunk(new StubRecord(SRM_DISKCHUNK, "d1"));
  EXPECT_EQ(0, d->mergeResource(nullptr));
  EXPECT_EQ(0, d->mergeResource(chunk.get()));
  EXPECT_EQ(1, d->mergeResource(d.get()));
  EXPECT_FALSE(d->isMerged());
}

}  // namespace
