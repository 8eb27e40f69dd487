#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "db_test_util.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "kinds/disk_chunk.h"
#include "kinds/file_system.h"
#include "kinds/mount_point.h"
#include "kinds/share.h"
#include "kinds/volume.h"
#include "kinds/volume_group.h"

namespace {

using dbtest::Add;
using dbtest::LastMessage;
using dbtest::Record;

// A host h1 whose database the tests fill.
class ResolutionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* host = Record<SrmComputer>({"Id=h1", "HostName=h1"});
    ASSERT_EQ(1, db.addComputer(host, 1));
    host->Release();
  }

  SrmDisk* Disk(const std::string& id, const std::string& name, int sign) {
    auto* d = Record<SrmDisk>({"Id=" + id, "Name=" + name, "Sign=" + std::to_string(sign)});
    Add(&db, d);
    return d;
  }
  SrmDiskChunk* Chunk(const std::string& id, const std::string& disk) {
    auto* c = Record<SrmDiskChunk>({"Id=" + id, "Disk=" + disk});
    Add(&db, c);
    return c;
  }
  SrmVolume* Volume(const std::string& id, std::initializer_list<SrmDiskChunk*> chunks) {
    auto* v = new SrmVolume(id);
    Add(&db, v);
    for (SrmDiskChunk* c : chunks) EXPECT_EQ(1, v->addDiskChunk(c));
    return v;
  }
  SrmVolumeGroup* Group(const std::string& id, std::initializer_list<SrmResource*> disks,
                        std::initializer_list<SrmResource*> volumes) {
    auto* g = new SrmVolumeGroup(&db);
    g->setId(id);
    Add(&db, g);
    for (SrmResource* d : disks) EXPECT_EQ(1, g->addDisk(d));
    for (SrmResource* v : volumes) EXPECT_EQ(1, g->addVolume(v));
    return g;
  }
  std::vector<std::string> Findings() {
    std::vector<std::string> texts;
    if (const auto* errors = db.getErrorList()->getSrmErrorIdMap("h1")) {
      for (const auto& e : *errors) texts.push_back(e->getDescription());
    }
    return texts;
  }

  SrmResourceDatabase db;
};

TEST_F(ResolutionTest, EmptyDatabaseCopiesNothing) {
  SrmResourceDatabase empty;
  EXPECT_EQ(0, empty.resolveDatabase());
  EXPECT_EQ(0, empty.getErrorList()->getErrorCount());
}

TEST_F(ResolutionTest, AnInvalidDiskWithdrawsEverythingBuiltOnIt) {
  SrmDisk* bad = Disk("d1", "", -1);
  SrmDisk* good = Disk("d2", "sdb", 5);
  SrmDiskChunk* c1 = Chunk("c1", "d1");
  SrmDiskChunk* c2 = Chunk("c2", "d2");
  SrmVolume* v1 = Volume("v1", {c1});
  SrmVolume* v2 = Volume("v2", {c2});
  auto* fs = Record<SrmFileSystem>({"Id=fs1", "Volume=v1"});
  Add(&db, fs);
  auto* mp = Record<SrmMountPoint>({"Id=mp1", "VolumeId=v1"});
  Add(&db, mp);
  auto* share = Record<SrmShare>({"Id=sh1", "VolumeId=v1"});
  Add(&db, share);

  // chunks 2, volumes 2, file system, mount point, share
  EXPECT_EQ(7, db.resolveDatabase());
  EXPECT_EQ(
      (std::vector<std::string>{"Disk signature not generated: d1", "Disk Name not generated: d1"}),
      Findings());
  EXPECT_EQ("Disk Name not generated: d1", LastMessage(db));
  for (SrmResource* withdrawn : std::initializer_list<SrmResource*>{bad, c1, v1, fs, mp, share}) {
    EXPECT_EQ(0, withdrawn->shouldReport()) << withdrawn->getId();
  }
  for (SrmResource* kept : std::initializer_list<SrmResource*>{good, c2, v2}) {
    EXPECT_EQ(1, kept->shouldReport()) << kept->getId();
  }
  // A withdrawn disk is not validated again.
  db.resolveDatabase();
  EXPECT_EQ(2u, Findings().size());
}

TEST_F(ResolutionTest, VolumeGroupFlagsGiveWayToTheDisks) {
  SrmDisk* in_group = Disk("d1", "sda", 1);
  Disk("d2", "sdb", 2);
  SrmVolume* on_d2 = Volume("v1", {Chunk("c2", "d2")});
  SrmVolume* floating = Volume("v2", {});
  SrmVolume* untouched = Volume("v3", {});
  SrmVolumeGroup* group = Group("vg", {in_group}, {on_d2, floating});
  group->setReport(false);
  Group("vg-nodisks", {}, {untouched})->setReport(false);  // skipped whole

  // pass 1: d1, v1, v2; pass 3: c2; pass 4: v1
  EXPECT_EQ(5, db.resolveDatabase());
  EXPECT_EQ(0, in_group->shouldReport());
  EXPECT_EQ(0, floating->shouldReport());
  EXPECT_EQ(1, on_d2->shouldReport()) << "pass 4 copies d2's flags over what pass 1 gave";
  EXPECT_EQ(1, untouched->shouldReport());
  EXPECT_TRUE(Findings().empty()) << "a disk withdrawn by its group is not validated";
}

TEST_F(ResolutionTest, ServiceGroupsGainVolumeGroupMembersAndVolumesOnTheirDisks) {
  SrmDisk* d1 = Disk("d1", "sda", 1);
  Disk("d2", "sdb", 2);
  SrmVolume* v1 = Volume("v1", {});
  SrmVolume* on_d1 = Volume("v2", {Chunk("c1", "d1")});
  Volume("v3", {Chunk("c2", "d2")});
  SrmVolumeGroup* vg = Group("vg", {d1}, {v1});
  auto* sg = new SrmServiceGroup("sg");
  ASSERT_EQ(1, db.addServiceGroup(sg));
  sg->Release();
  ASSERT_EQ(1, sg->addResource(vg));

  db.resolveDatabase();
  SrmResourceList* members = sg->getResourceList();
  EXPECT_EQ(d1, members->findResource(SRM_DISK, "d1"));
  EXPECT_EQ(v1, members->findResource(SRM_VOLUME, "v1"));
  EXPECT_EQ(on_d1, members->findResource(SRM_VOLUME, "v2"));
  EXPECT_EQ(nullptr, members->findResource(SRM_VOLUME, "v3"));
  EXPECT_EQ(2, members->getTypeCount(SRM_VOLUME));
}

TEST_F(ResolutionTest, ServiceGroupOfManyDisksResolves) {
  // Many disks, each with a volume on it: every volume joins the group once.
  auto* sg = new SrmServiceGroup("big");
  ASSERT_EQ(1, db.addServiceGroup(sg));
  sg->Release();
  constexpr int kDisks = 3000;
  for (int i = 0; i < kDisks; ++i) {
    std::string n = std::to_string(i);
    SrmDisk* d = Disk("d" + n, "sd" + n, i);
    Volume("v" + n, {Chunk("c" + n, "d" + n)});
    ASSERT_EQ(1, sg->addResource(d));
  }
  db.resolveDatabase();
  EXPECT_EQ(kDisks, sg->getResourceList()->getTypeCount(SRM_VOLUME));
}

// Enough records of each kind that the lookups go in several batches: every dependent record
// still ends with the flags of the record it rests on, and a volume with the flags of its last
// chunk (in Id order) whose disk is known.
TEST_F(ResolutionTest, ManyRecordsEachTakeTheFlagsOfWhatTheyRestOn) {
  constexpr int kDisks = 90;
  auto id = [](char kind, int i) {
    std::string digits = std::to_string(i);
    return std::string(1, kind) + std::string(3 - digits.size(), '0') + digits;
  };
  auto valid = [](int disk) { return disk % 3 != 0; };  // the others have no signature
  std::vector<SrmDiskChunk*> chunks;
  for (int i = 0; i < kDisks; ++i) {
    Disk(id('d', i), "sd" + std::to_string(i), valid(i) ? i : -1);
    chunks.push_back(Chunk(id('c', i), id('d', i)));
  }
  SrmDiskChunk* on_no_disk = Chunk("x", "d-unknown");
  std::vector<SrmVolume*> volumes;
  std::vector<SrmResource*> on_volumes;
  int expected_count = kDisks;  // each chunk with a known disk
  for (int i = 0; i < kDisks; ++i) {
    SrmDiskChunk* last = i + 1 < kDisks ? chunks[i + 1] : on_no_disk;
    volumes.push_back(Volume(id('v', i), {chunks[i], last}));
    expected_count += last == on_no_disk ? 1 : 2;
    auto* fs = Record<SrmFileSystem>({"Id=" + id('f', i), "Volume=" + id('v', i)});
    Add(&db, fs);
    auto* mp = Record<SrmMountPoint>({"Id=" + id('m', i), "VolumeId=" + id('v', i)});
    Add(&db, mp);
    on_volumes.push_back(fs);
    on_volumes.push_back(mp);
    expected_count += 2;
  }
  auto* stray = Record<SrmShare>({"Id=s-stray", "VolumeId=v-unknown"});
  Add(&db, stray);

  EXPECT_EQ(expected_count, db.resolveDatabase());
  for (int i = 0; i < kDisks; ++i) {
    const int rests_on = i + 1 < kDisks ? i + 1 : i;
    EXPECT_EQ(valid(i) ? 1 : 0, chunks[i]->shouldReport()) << id('c', i);
    EXPECT_EQ(valid(rests_on) ? 1 : 0, volumes[i]->shouldReport()) << id('v', i);
    for (int j = 0; j < 2; ++j) {
      SrmResource* dependent = on_volumes[2 * i + j];
      EXPECT_EQ(volumes[i]->getFlags(), dependent->getFlags()) << dependent->getId();
    }
  }
  EXPECT_EQ(1, on_no_disk->shouldReport());
  EXPECT_EQ(1, stray->shouldReport());
}

TEST_F(ResolutionTest, IntegrityWithdrawsWhatCannotBeFound) {
  SrmDisk* disk = Disk("d1", "sda", 1);
  SrmVolume* volume = Volume("v1", {Chunk("c1", "d1"), Chunk("c-lost", "nodisk")});
  auto* ghost_disk = new SrmDisk("ghost-disk");
  auto* ghost_volume = new SrmVolume("ghost-volume");
  Group("vg", {disk, ghost_disk}, {volume, ghost_volume});
  ghost_disk->Release();
  ghost_volume->Release();
  auto* unchecked = new SrmVolume("never-checked");
  Group("vg-nodisks", {}, {unchecked});
  unchecked->Release();
  Add(&db, Record<SrmFileSystem>({"Id=fs1", "Volume=v-missing"}));
  Add(&db, Record<SrmMountPoint>({"Id=mp1", "VolumeId=v-gone"}));
  Add(&db, Record<SrmFileSystem>({"Id=fs2", "Volume=v1"}));

  EXPECT_EQ(1, db.checkIntegrity());
  const std::vector<std::string> first = {
      "Volume Group Disk not found: ghost-disk", "Volume Group Volume not found: ghost-volume",
      "Disk Chunk Disk not found: c-lost", "Missing or unsupported fs: v-missing",
      "MountPoint missing or invalid: v-gone"};
  EXPECT_EQ(first, Findings());
  EXPECT_EQ("MountPoint missing or invalid: v-gone", LastMessage(db));
  EXPECT_EQ(0, db.findResource(SRM_FILESYSTEM, "fs1")->shouldReport());
  EXPECT_EQ(1, db.findResource(SRM_FILESYSTEM, "fs2")->shouldReport());

  // Again: members are filed again (the group's and the volume's flags are tested), the file
  // system and the mount point are not (their own flags are).
  EXPECT_EQ(1, db.checkIntegrity());
  EXPECT_EQ(first.size() + 3, Findings().size());
}

TEST_F(ResolutionTest, IntegrityStopsAtTheFirstBrokenServiceGroup) {
  auto* loose = Record<SrmDisk>({"Id=loose", "Name=x", "Sign=1"});
  auto* sg = new SrmServiceGroup("a-group");
  ASSERT_EQ(1, db.addServiceGroup(sg));
  sg->Release();
  ASSERT_EQ(1, sg->addResource(loose));  // a member the database does not hold
  loose->Release();
  EXPECT_EQ(0, db.checkIntegrity());
  EXPECT_EQ("Service group resource not found", LastMessage(db));
}

TEST_F(ResolutionTest, MergingDatabases) {
  EXPECT_EQ(0, db.mergeResourceDatabase(nullptr));

  SrmDisk* mine = Disk("d1", "sda", 1);
  SrmResourceDatabase other;
  Add(&other, Record<SrmDisk>({"Id=d1", "Model=XS-400"}));
  Add(&other, Record<SrmDisk>({"Id=d2", "Name=sdb"}));
  auto* g_child = new SrmServiceGroup("child");
  auto* g_mine = new SrmServiceGroup("shared");
  auto* g_theirs = new SrmServiceGroup("shared");
  ASSERT_EQ(1, db.addServiceGroup(g_mine));
  ASSERT_EQ(1, other.addServiceGroup(g_theirs));
  ASSERT_EQ(1, other.addServiceGroup(g_child));
  ASSERT_EQ(1, g_theirs->setNextServiceGroup(g_child));

  EXPECT_EQ(1, db.mergeResourceDatabase(&other));
  EXPECT_EQ("XS-400", mine->getModel()) << "a record already here is merged into";
  SrmResource* added = db.findResource(SRM_DISK, "d2");
  ASSERT_NE(nullptr, added);
  EXPECT_EQ(&db, added->getDatabase());
  SrmServiceGroup* child_here = db.findServiceGroup("child");  // made here, not shared
  ASSERT_NE(nullptr, child_here);
  EXPECT_NE(g_child, child_here);
  EXPECT_EQ(child_here, g_mine->getNextServiceGroup());
  g_child->Release();
  g_mine->Release();
  g_theirs->Release();
}

}  // namespace
