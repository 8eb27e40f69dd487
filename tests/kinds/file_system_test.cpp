#include "kinds/file_system.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "kind_test_util.h"
#include "kinds/disk.h"
#include "kinds/volume.h"

using kindtest::Held;
using kindtest::MakeTuple;
using kindtest::Named;
using kindtest::SerializeToText;
using kindtest::StubRecord;

namespace {

constexpr int64_t k4TB = 3907018584;  // KB of a 4 TB disk: does not fit 32 bits

class FileSystemTest : public ::testing::Test {
 protected:
  // A file system bound to the database but not filed in it, as the add method binds one
  // before reading it.
  Held<SrmFileSystem> Bound(const std::string& id = "") {
    Held<SrmFileSystem> fs(new SrmFileSystem(id));
    fs->setDatabase(&db_);
    return fs;
  }

  SrmResourceDatabase db_;
};

TEST_F(FileSystemTest, StartsEmpty) {
  Held<SrmFileSystem> fs(new SrmFileSystem("f1"));
  EXPECT_EQ(SRM_FILESYSTEM, fs->getType());
  EXPECT_EQ("f1", fs->getId());
  EXPECT_EQ(12, fs->getFlags());
  EXPECT_EQ(1, fs->getRefCount());
  EXPECT_EQ(nullptr, fs->getDatabase());
  EXPECT_EQ("", fs->getVolume());
  EXPECT_EQ(0, fs->getCapacityKB());
  EXPECT_EQ(0, fs->getMaxFileCnt());
  EXPECT_EQ("", Held<SrmFileSystem>(new SrmFileSystem())->getId());
}

TEST_F(FileSystemTest, WritesFullTupleWithEveryIntegerAndOnlySetTexts) {
  Held<SrmFileSystem> fs = Bound("f1");
  fs->setVolume("vol1");
  fs->setFSType("ufs");
  int rc = 0;
  EXPECT_EQ(
      "\"Type=FileSystem\",\"Id=f1\",\"Volume=vol1\",\"State=12\",\"FSType=ufs\",\"Pack=0\","
      "\"Encrypt=0\",\"FileCnt=0\",\"MaxFileCnt=0\",\"MaxFileSz=0\",\"CapacityKB=0\","
      "\"FreeSpaceKB=0\",\"UsedSpaceKB=0\",\"ReservedSpaceKB=0\",;\n",
      SerializeToText(fs.get(), 0, &rc));
  EXPECT_EQ(1, rc);

  fs->setPubId("p1");
  fs->setLId("g1");
  fs->setCapacity(k4TB);
  fs->setFreeSpace(5);
  fs->setUsedSpace(6);
  fs->setReservedSpace(7);
  fs->setPack(1);
  fs->setEncrypt(-2);
  fs->setFileCount(3);
  fs->setMaxFileCount(4);
  fs->setMaxFileSize(9);
  EXPECT_EQ(
      "\"Type=FileSystem\",\"Id=f1\",\"Volume=vol1\",\"PubId=p1\",\"State=12\",\"LId=g1\","
      "\"FSType=ufs\",\"Pack=1\",\"Encrypt=-2\",\"FileCnt=3\",\"MaxFileCnt=4\",\"MaxFileSz=9\","
      "\"CapacityKB=3907018584\",\"FreeSpaceKB=5\",\"UsedSpaceKB=6\",\"ReservedSpaceKB=7\",;\n",
      SerializeToText(fs.get(), 0));
}

TEST_F(FileSystemTest, ReferenceFormNamesTypeAndIdOnly) {
  Held<SrmFileSystem> fs = Bound("f1");
  fs->setVolume("vol1");
  for (int flags : {1, 3}) {
    EXPECT_EQ("\"Type=FileSystem\",\"Id=f1\",;\n", SerializeToText(fs.get(), flags));
  }
}

TEST_F(FileSystemTest, WritesNothingWithoutDatabase) {
  Held<SrmFileSystem> fs(new SrmFileSystem("f1"));
  int rc = 1;
  EXPECT_EQ("", SerializeToText(fs.get(), 0, &rc));
  EXPECT_EQ(0, rc);
}

TEST_F(FileSystemTest, SpaceSettersRefuseNegatives) {
  Held<SrmFileSystem> fs(new SrmFileSystem());
  using Set = int (SrmFileSystem::*)(int64_t);
  using Get = int64_t (SrmFileSystem::*)() const;
  const std::vector<std::pair<Set, Get>> figures = {
      {&SrmFileSystem::setCapacity, &SrmFileSystem::getCapacityKB},
      {&SrmFileSystem::setFreeSpace, &SrmFileSystem::getFreeSpaceKB},
      {&SrmFileSystem::setUsedSpace, &SrmFileSystem::getUsedSpaceKB},
      {&SrmFileSystem::setReservedSpace, &SrmFileSystem::getReservedSpaceKB}};
  for (const auto& [set, get] : figures) {
    EXPECT_EQ(1, (fs.get()->*set)(k4TB));
    EXPECT_EQ(0, (fs.get()->*set)(-1));
    EXPECT_EQ(k4TB, (fs.get()->*get)());
    EXPECT_EQ(1, (fs.get()->*set)(0));
    EXPECT_EQ(0, (fs.get()->*get)());
  }
}

// One element read into a file system whose figures start at 10 (flags 12).
struct ReadCase {
  const char* element;
  std::function<int64_t(const SrmFileSystem&)> field;
  int64_t expected;
};

TEST_F(FileSystemTest, ReadsEachElementByItsRule) {
  auto capacity = [](const SrmFileSystem& f) { return f.getCapacityKB(); };
  const std::vector<ReadCase> cases = {
      {"\"CapacityKB=3907018584\"", capacity, k4TB},
      {"\"CapacityKB=-5\"", capacity, 10},  // negative: ignored
      {"\"CapacityKB=12kb\"", capacity, 12},
      {"\"CapacityKB=none\"", capacity, 0},
      {"\"FreeSpaceKB=4294967296\"", [](const SrmFileSystem& f) { return f.getFreeSpaceKB(); },
       4294967296},
      {"\"UsedSpaceKB=-1\"", [](const SrmFileSystem& f) { return f.getUsedSpaceKB(); }, 10},
      {"\"ReservedSpaceKB= +8\"", [](const SrmFileSystem& f) { return f.getReservedSpaceKB(); }, 8},
      {"\"FileCnt=-3\"", [](const SrmFileSystem& f) { return f.getFileCnt(); }, -3},
      {"\"MaxFileCnt=77\"", [](const SrmFileSystem& f) { return f.getMaxFileCnt(); }, 77},
      {"\"MaxFileSz=2147483647\"", [](const SrmFileSystem& f) { return f.getMaxFileSz(); },
       2147483647},
      {"\"Pack=-4\"", [](const SrmFileSystem& f) { return f.getPack(); }, -4},
      {"\"Encrypt=3x\"", [](const SrmFileSystem& f) { return f.getEncrypt(); }, 3},
      {"\"State=48\"", [](const SrmFileSystem& f) { return f.getFlags(); }, 60},  // ORed
      {"\"State=1\"", [](const SrmFileSystem& f) { return f.getFlags(); }, 13},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.element);
    Held<SrmFileSystem> fs = Bound();
    fs->setCapacity(10);
    fs->setUsedSpace(10);
    auto tuple = MakeTuple({c.element});
    ASSERT_EQ(1, fs->deserialize(-1, tuple.get()));
    EXPECT_EQ(c.expected, c.field(*fs));
  }
}

TEST_F(FileSystemTest, ReadsTextsAndStopsAtElementWithoutEquals) {
  Held<SrmFileSystem> fs = Bound();
  auto tuple =
      MakeTuple({"\"Type=Disk\"", "\"Id=f1\"", "\"PubId=p\"", "\"LId=g\"", "\"FSType=vxfs\"",
                 "\"Bogus=1\"", "\"FSType=ufs\"", "\"junk\"", "\"Pack=3\""});
  EXPECT_EQ(1, fs->deserialize(-1, tuple.get()));
  EXPECT_EQ(SRM_FILESYSTEM, fs->getType());  // Type is not compared
  EXPECT_EQ("f1", fs->getId());
  EXPECT_EQ("p", fs->getPubId());
  EXPECT_EQ("g", fs->getLId());
  EXPECT_EQ("ufs", fs->getFSType());  // the later element wins
  EXPECT_EQ(0, fs->getPack());        // after the element without '='
  EXPECT_EQ(0, fs->deserialize(-1, nullptr));
}

TEST_F(FileSystemTest, VolumeNamedByGlobalIdIsStoredAsTheVolumesId) {
  ASSERT_EQ(1, db_.addResource(Named<SrmVolume>("vol1", "gvol1").get()));
  ASSERT_EQ(1, db_.addResource(Named<SrmDisk>("d1", "gdisk").get()));
  const struct {
    const char* value;
    bool bound;
    const char* stored;
  } cases[] = {
      {"gvol1", true, "vol1"},    // global id -> the volume's Id
      {"vol1", true, "vol1"},     // already the Id
      {"gvol2", true, "gvol2"},   // no such volume: kept as given
      {"gdisk", true, "gdisk"},   // a global id of another kind is no volume
      {"gvol1", false, "gvol1"},  // no database link: kept as given
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.value) + (c.bound ? " bound" : " unbound"));
    Held<SrmFileSystem> fs = c.bound ? Bound() : Held<SrmFileSystem>(new SrmFileSystem());
    auto tuple = MakeTuple({std::string("\"Volume=") + c.value + "\""});
    ASSERT_EQ(1, fs->deserialize(-1, tuple.get()));
    EXPECT_EQ(c.stored, fs->getVolume());
  }
}

TEST_F(FileSystemTest, MergeCopiesByItsOwnRulesAndMarksItself) {
  Held<SrmFileSystem> fs = Bound("f1");
  fs->setLId("g1");
  fs->setVolume("vol1");
  fs->setFSType("ufs");
  fs->setCapacity(200);
  fs->setFreeSpace(100);
  fs->setUsedSpace(50);
  fs->setFileCount(9);
  fs->setMaxFileSize(8);
  fs->setPack(3);
  fs->setEncrypt(4);

  Held<SrmFileSystem> newer(new SrmFileSystem("f1"));
  newer->setLId("g2");
  newer->setVolume("vol2");
  newer->setCapacity(k4TB);
  newer->setFileCount(-1);    // negative: not copied
  newer->setMaxFileCount(0);  // 0 is copied
  newer->setMaxFileSize(0);
  newer->setEncrypt(5);
  newer->setFlags(12 | 32);

  EXPECT_EQ(1, fs->mergeResource(newer.get()));
  EXPECT_EQ("", fs->getFSType());  // copied even when empty
  EXPECT_EQ(k4TB, fs->getCapacityKB());
  EXPECT_EQ(0, fs->getFreeSpaceKB());  // a 0 overwrites
  EXPECT_EQ(0, fs->getUsedSpaceKB());
  EXPECT_EQ(9, fs->getFileCnt());
  EXPECT_EQ(0, fs->getMaxFileSz());
  EXPECT_EQ(3, fs->getPack());  // Pack and Encrypt only when not 0
  EXPECT_EQ(5, fs->getEncrypt());
  EXPECT_EQ("vol1", fs->getVolume());  // never merged
  EXPECT_EQ("g1", fs->getLId());
  EXPECT_EQ(12 | 16, fs->getFlags());  // this one marked; the argument's flags not taken
  EXPECT_EQ(12 | 32, newer->getFlags());
}

TEST_F(FileSystemTest, TakesOneMergeOnlyAndWritesItsMergedMark) {
  Held<SrmFileSystem> fs = Bound("f1");
  Held<SrmFileSystem> first(new SrmFileSystem("f1"));
  first->setFSType("ufs");
  first->setFlags(12 | 16);  // a merged argument does not stop a file system's merge
  EXPECT_EQ(1, fs->mergeResource(first.get()));
  EXPECT_EQ("ufs", fs->getFSType());

  Held<SrmFileSystem> second(new SrmFileSystem("f1"));
  second->setFSType("zfs");
  second->setCapacity(5);
  EXPECT_EQ(1, fs->mergeResource(second.get()));
  EXPECT_EQ("ufs", fs->getFSType());
  EXPECT_EQ(0, fs->getCapacityKB());
  EXPECT_EQ(0, second->isMerged());
  EXPECT_NE(std::string::npos, SerializeToText(fs.get(), 0).find("\"State=28\","));
}

TEST_F(FileSystemTest, MergeRefusesNullAndOtherKinds) {
  Held<SrmFileSystem> fs = Bound("f1");
  Held<StubRecord> volume(new StubRecord(SRM_VOLUME, "f1"));
  EXPECT_EQ(0, fs->mergeResource(nullptr));
  EXPECT_EQ(0, fs->mergeResource(volume.get()));
  EXPECT_EQ(0, fs->isMerged());
  EXPECT_EQ(12, volume->getFlags());
}

}  // namespace
