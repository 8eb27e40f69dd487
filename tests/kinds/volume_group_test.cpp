#include "kinds/volume_group.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "kind_test_util.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "kinds/volume.h"
#include "kinds/volume_manager.h"

using kindtest::AttachedText;
using kindtest::Held;
using kindtest::MakeTuple;
using kindtest::SerializeToText;
using kindtest::StubRecord;

namespace {

class VolumeGroupTest : public ::testing::Test {
 protected:
  template <class R>
  R* Add(R* r) {
    Held<R> held(r);
    EXPECT_EQ(1, db_.addResource(r));
    return r;
  }
  // Reads a group tuple of the given elements with refs following it in the stream.
  Held<SrmVolumeGroup> Read(const std::vector<std::string>& elements, const std::string& refs,
                            int* rc) {
    AttachedText text(&db_, refs);
    EXPECT_TRUE(text.attached());
    Held<SrmVolumeGroup> g(new SrmVolumeGroup(&db_));
    auto tuple = std::make_unique<CSRMReportTuple>();
    for (const std::string& e : elements) tuple->addElement(e);
    *rc = g->deserialize(-1, tuple.get());
    left_ = text.NextLeft();
    return g;
  }

  SrmResourceDatabase db_;
  std::string left_;  // the first tuple a read left in the stream
};

TEST_F(VolumeGroupTest, WritesLineThenDiskAndVolumeReferences) {
  SrmVolumeGroup* g = Add(new SrmVolumeGroup("g1"));
  g->setCapacity(3907018584);
  g->setName("dg");
  ASSERT_EQ(1, g->addVolume(Add(new SrmVolume("v1"))));
  ASSERT_EQ(1, g->addDisk(Add(new SrmDisk("d2"))));
  ASSERT_EQ(1, g->addDisk(Add(new SrmDisk("d1"))));
  int rc = 0;
  EXPECT_EQ(
      "\"Type=VolumeGroup\",\"Id=g1\",\"State=12\",\"CapacityKB=3907018584\","
      "\"FreeSpaceKB=0\",\"Status=0\",\"Name=dg\",\"DiskCount=2\",\"VolumeCount=1\",;\n"
      "\"Type=Disk\",\"Id=d1\",;\n"
      "\"Type=Disk\",\"Id=d2\",;\n"
      "\"Type=Volume\",\"Id=v1\",;\n",
      SerializeToText(g, 0, &rc));
  EXPECT_EQ(1, rc);
  for (int flags : {1, 3}) {
    EXPECT_EQ("\"Type=VolumeGroup\",\"Id=g1\",;\n", SerializeToText(g, flags, &rc));
    EXPECT_EQ(1, rc);
  }
  Held<SrmVolumeGroup> loose(new SrmVolumeGroup("g"));
  SerializeToText(loose.get(), 0, &rc);
  EXPECT_EQ(0, rc);
}

TEST_F(VolumeGroupTest, ReadsFieldsAndVolumeManager) {
  Held<SrmVolumeManager> vm(new SrmVolumeManager("vm"));
  vm->setIdType(2);
  ASSERT_EQ(1, db_.addResource(vm.get()));
  int rc = 0;
  Held<SrmVolumeGroup> g = Read({"\"Id=g1\"", "\"State=16\"", "\"CapacityKB=3907018584\"",
                                 "\"FreeSpaceKB=-1\"", "\"Status=2\"", "\"VolumeManager=2\""},
                                "", &rc);
  ASSERT_EQ(1, rc);
  EXPECT_EQ(28, g->getFlags());
  EXPECT_EQ(3907018584, g->getCapacityKB());
  EXPECT_EQ(0, g->getFreeSpaceKB());
  EXPECT_EQ(vm.get(), g->getVolumeManagerRecord());
  EXPECT_EQ("2", g->getVolumeManager());
  EXPECT_NE(std::string::npos, SerializeToText(g.get(), 0).find("\"VolumeManager=2\""));
  EXPECT_EQ(0, g->deserialize(-1, nullptr));
}

TEST_F(VolumeGroupTest, ReadsReferencesAndCreatesWhatIsMissing) {
  SrmDisk* known = Add(new SrmDisk("D1"));
  known->setLId("G1");
  db_.addGlobalId(SRM_DISK, "G1", "D1");
  SrmVolume* v1 = Add(new SrmVolume("v1"));
  int rc = 0;
  Held<SrmVolumeGroup> g =
      Read({"\"Id=g1\"", "\"DiskCount=3\"", "\"VolumeCount=2\""},
           "\"Type=Disk\",\"Id=G1\",;\n\"Type=Disk\",\"Id=dNew\",;\n\"Id=dNew\",;\n"
           "\"Type=Volume\",\"Id=v1\",;\n\"Type=Volume\",\"Id=vNew\",;\n\"Id=next\",;\n",
           &rc);
  ASSERT_EQ(1, rc);
  SrmResourceList* disks = g->getDiskList();
  EXPECT_EQ(2, disks->getTypeCount(SRM_DISK));
  EXPECT_EQ(known, disks->findResource(SRM_DISK, "D1"));  // found through its global id
  SrmResource* made = db_.findResource(SRM_DISK, "dNew");
  ASSERT_NE(nullptr, made);
  EXPECT_EQ(made, disks->findResource(SRM_DISK, "dNew"));
  EXPECT_EQ(v1, g->getVolumeList()->findResource(SRM_VOLUME, "v1"));
  auto* made_volume = static_cast<SrmVolume*>(db_.findResource(SRM_VOLUME, "vNew"));
  ASSERT_NE(nullptr, made_volume);
  EXPECT_EQ("vNew", made_volume->getVolumeKey());
  EXPECT_EQ(&db_, made_volume->getDatabase());
  EXPECT_EQ("\"Id=next\",", left_);
}

TEST_F(VolumeGroupTest, OSystemHandsTheGroupToItsComputer) {
  SrmComputer* h1 = Add(new SrmComputer("h1"));
  int rc = 0;
  Held<SrmVolumeGroup> g = Read({"\"Id=g1\"", "\"OSystem=h1\"", "\"OSystem=nobody\""}, "", &rc);
  ASSERT_EQ(1, rc);
  EXPECT_EQ(g.get(), h1->getResourceList()->findResource(SRM_VOLUMEGROUP, "g1"));
  EXPECT_EQ(nullptr, db_.findResource(SRM_COMPUTER, "nobody"));
  EXPECT_EQ(std::string::npos, SerializeToText(g.get(), 0).find("OSystem"));

  // A group the database already keeps is the one the computer gets: the new one is about to
  // be merged into it.
  SrmVolumeGroup* kept = Add(new SrmVolumeGroup("g2"));
  Held<SrmVolumeGroup> newer = Read({"\"Id=g2\"", "\"OSystem=h1\""}, "", &rc);
  ASSERT_EQ(1, rc);
  EXPECT_EQ(kept, h1->getResourceList()->findResource(SRM_VOLUMEGROUP, "g2"));
}

// A group whose references do not all resolve fails, reads all it announced, and leaves the
// database and its computer as they were.
TEST_F(VolumeGroupTest, FailedReferencesLeaveNothingBehind) {
  SrmComputer* h1 = Add(new SrmComputer("h1"));
  struct Case {
    const char* name;
    std::vector<std::string> elements;
    std::string refs;
    std::string left;
  } cases[] = {
      {"more announced than follow",
       {"\"DiskCount=1\"", "\"VolumeCount=2\""},
       "\"Type=Disk\",\"Id=dNew\",;\n\"Type=Volume\",\"Id=vNew\",;\n",
       ""},
      {"disk without an id",
       {"\"DiskCount=1\"", "\"VolumeCount=1\""},
       "\"Type=Disk\",;\n\"Type=Volume\",\"Id=vNew\",;\n\"Id=next\",;\n",
       "\"Id=next\","},
      {"huge count", {"\"DiskCount=2147483647\""}, "\"Type=Disk\",\"Id=dNew\",;\n", ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> elements = {"\"Id=g1\"", "\"OSystem=h1\""};
    elements.insert(elements.end(), c.elements.begin(), c.elements.end());
    int rc = 1;
    Held<SrmVolumeGroup> g = Read(elements, c.refs, &rc);
    EXPECT_EQ(0, rc) << c.name;
    EXPECT_EQ(c.left, left_) << c.name;
    EXPECT_EQ(1, db_.getResourceCount()) << c.name;
    EXPECT_EQ(0, h1->getResourceList()->getResourceCount()) << c.name;
    EXPECT_EQ(0, g->getDiskList()->getResourceCount()) << c.name;
    EXPECT_EQ(1, g->getRefCount()) << c.name;
  }
  Held<SrmVolumeGroup> loose(new SrmVolumeGroup());
  EXPECT_EQ(0, loose->deserialize(-1, MakeTuple({"\"VolumeCount=1\""}).get()));
  EXPECT_EQ(1, loose->deserialize(-1, MakeTuple({"\"VolumeCount=-1\""}).get()));
}

TEST_F(VolumeGroupTest, MergeTakesSizesOnlyWhereNoneAndMergesLists) {
  struct Case {
    int64_t target, other, want;
  } cases[] = {{200, 500, 200}, {0, 500, 500}, {0, 0, 0}, {0, 3907018584, 3907018584}};
  for (const Case& c : cases) {
    Held<SrmVolumeGroup> target(new SrmVolumeGroup("g")), other(new SrmVolumeGroup("g"));
    target->setCapacity(c.target);
    target->setFreeSpace(c.target);
    other->setCapacity(c.other);
    other->setFreeSpace(c.other);
    ASSERT_EQ(1, target->mergeResource(other.get()));
    EXPECT_EQ(c.want, target->getCapacityKB()) << c.target << " <- " << c.other;
    EXPECT_EQ(c.want, target->getFreeSpaceKB()) << c.target << " <- " << c.other;
    EXPECT_TRUE(other->isMerged());
  }

  SrmVolumeGroup* target = Add(new SrmVolumeGroup("g"));
  target->setName("keep");
  target->setStatus(1);
  SrmDisk* disk = Add(new SrmDisk("d1"));
  SrmVolume* volume = Add(new SrmVolume("v1"));
  Held<SrmVolumeGroup> other(new SrmVolumeGroup("g"));
  other->setName("new");
  other->setStatus(5);
  other->addDisk(disk);
  other->addVolume(volume);
  ASSERT_EQ(1, target->mergeResource(other.get()));
  EXPECT_EQ("keep", target->getName());
  EXPECT_EQ(1, target->getStatus());
  EXPECT_EQ(disk, target->getDiskList()->findResource(SRM_DISK, "d1"));
  EXPECT_EQ(volume, target->getVolumeList()->findResource(SRM_VOLUME, "v1"));
  EXPECT_EQ(&db_, disk->getDatabase());
  EXPECT_EQ(&db_, volume->getDatabase());

  Held<StubRecord> wrong(new StubRecord(SRM_VOLUME, "g"));
  EXPECT_EQ(0, target->mergeResource(wrong.get()));
  EXPECT_EQ(0, target->mergeResource(nullptr));
  EXPECT_EQ(1, target->mergeResource(target));
  EXPECT_FALSE(target->isMerged());
}

TEST_F(VolumeGroupTest, RemoveAndReleaseChildren) {
  SrmVolumeGroup* g = Add(new SrmVolumeGroup("g"));
  SrmDisk* disk = Add(new SrmDisk("d1"));
  SrmVolume* volume = Add(new SrmVolume("v1"));
  ASSERT_EQ(1, g->addDisk(disk));
  ASSERT_EQ(1, g->addVolume(volume));
  EXPECT_EQ(1, g->removeDisk(disk));
  EXPECT_EQ(0, g->getDiskList()->getTypeCount(SRM_DISK));
  EXPECT_EQ(1, disk->getRefCount());
  g->releaseChildren();
  EXPECT_EQ(1, volume->getRefCount());
  EXPECT_EQ(nullptr, g->getDiskList());
  EXPECT_EQ(0, g->addDisk(disk));
  EXPECT_EQ(0, g->removeVolume(volume));
  EXPECT_NE(std::string::npos, SerializeToText(g, 0).find("\"DiskCount=0\",\"VolumeCount=0\""));
}

// The database's removal of a disk or volume takes it out of the groups that list it.
TEST_F(VolumeGroupTest, DatabaseRemovalLeavesTheGroup) {
  SrmVolumeGroup* g = Add(new SrmVolumeGroup("g"));
  g->addDisk(Add(new SrmDisk("d1")));
  g->addVolume(Add(new SrmVolume("v1")));
  EXPECT_EQ(1, db_.removeResource(SRM_DISK, "d1"));
  EXPECT_EQ(1, db_.removeResource(SRM_VOLUME, "v1"));
  EXPECT_EQ(0, g->getDiskList()->getTypeCount(SRM_DISK));
  EXPECT_EQ(0, g->getVolumeList()->getTypeCount(SRM_VOLUME));
}

}  // namespace
