// What the golden scans cannot show of the record kinds: refusals of every kind (merging
// nothing, another kind or itself; writing to a bad or a full descriptor; reading no tuple), and
// what becomes of volumes that hold each other, or are held outside, when their database goes.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "database_text.h"
#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "kinds/disk_chunk.h"
#include "kinds/kind_factory.h"
#include "kinds/volume.h"
#include "kinds/volume_group.h"
#include "model/srm_resource.h"
#include "tuple/report_tuple.h"

namespace {

const SrmResourceType kKinds[] = {SRM_COMPUTER,      SRM_DISK,        SRM_DISKCHUNK,
                                  SRM_VOLUME,        SRM_VOLUMEGROUP, SRM_VOLUMEMANAGER,
                                  SRM_FILESYSTEM,    SRM_MOUNTPOINT,  SRM_SHARE,
                                  SRM_VIRTUALSERVER, SRM_ALIAS};

TEST(KindEdgesTest, EveryKindRefusesWhatItCannotTake) {
  SrmResourceDatabase db;
  for (SrmResourceType kind : kKinds) {
    SCOPED_TRACE(kind);
    SrmHeld<SrmResource> r(SrmNewResource(kind));
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(kind, r->getType());
    r->setId("x");
    r->setDatabase(&db);
    SrmHeld<SrmResource> other(SrmNewResource(kind == SRM_DISK ? SRM_SHARE : SRM_DISK));
    other->setId("x");
    EXPECT_EQ(0, r->mergeResource(nullptr));
    EXPECT_EQ(0, r->mergeResource(other.get()));
    EXPECT_EQ(1, r->mergeResource(r.get()));
    EXPECT_EQ(0, r->deserialize(-1, nullptr));
    EXPECT_EQ(0, r->serialize(-1, 0));
    EXPECT_EQ(0, r->serialize(-1, 1));
  }
}

// A record read without a database takes its own fields and leaves its links alone.
TEST(KindEdgesTest, EveryKindReadsWithoutADatabase) {
  CSRMReportTuple tuple;
  for (const char* element : {"\"Id=x\"", "\"ServiceGroup=g\""}) tuple.addElement(element);
  for (SrmResourceType kind : kKinds) {
    SCOPED_TRACE(kind);
    SrmHeld<SrmResource> r(SrmNewResource(kind));
    EXPECT_EQ(1, r->deserialize(-1, &tuple));
    EXPECT_EQ("x", r->getId());
  }
}

// A disk or an alias merged with a newer copy adds the copy's flags to its own; the other kinds
// keep their own flags (a file system marks itself merged: it takes one merge only).
TEST(KindEdgesTest, MergedFlagsAddUpOnlyForDisksAndAliases) {
  for (SrmResourceType kind : kKinds) {
    SCOPED_TRACE(kind);
    const bool adds = kind == SRM_DISK || kind == SRM_ALIAS;
    for (int32_t newer : {0, 6}) {
      SrmHeld<SrmResource> r(SrmNewResource(kind)), copy(SrmNewResource(kind));
      r->setId("x");
      copy->setId("x");
      r->setFlags(1);
      copy->setFlags(newer);
      ASSERT_EQ(1, r->mergeResource(copy.get()));
      EXPECT_EQ(adds ? 1 | newer : 1, r->getFlags() & ~SRM_FLAG_MERGED);
    }
  }
}

TEST(KindEdgesTest, ContainersRefuseWhatTheyCannotHold) {
  SrmHeld<SrmComputer> host(new SrmComputer("h1")), other(new SrmComputer("h2"));
  SrmHeld<SrmServiceGroup> group(new SrmServiceGroup("g"));
  EXPECT_EQ(0, host->addResource(nullptr) + host->addResource(other.get()));
  EXPECT_EQ(0, host->removeResource(nullptr) + host->addServiceGroup(nullptr));
  EXPECT_EQ(1, host->addServiceGroup(group.get()));
  EXPECT_EQ(0, host->addServiceGroup(group.get()));  // held once by name
  EXPECT_EQ(0, host->removeServiceGroup("") + host->removeServiceGroup("none"));
  EXPECT_EQ(1, host->removeServiceGroup("g"));
  EXPECT_EQ(0, group->mergeServiceGroup(nullptr));

  SrmHeld<SrmVolume> v(new SrmVolume("v")), sub(new SrmVolume("s"));
  SrmHeld<SrmResource> chunk(SrmNewResource(SRM_DISKCHUNK));
  chunk->setId("c");
  // A chunk takes a start and a length of zero or more, both or neither.
  auto* piece = static_cast<SrmDiskChunk*>(chunk.get());
  EXPECT_EQ(1, piece->setStartAndLength(5, 0));
  EXPECT_EQ(0, piece->setStartAndLength(-1, 7) + piece->setStartAndLength(7, -1));
  EXPECT_EQ(5, piece->getStart() + piece->getLength());
  EXPECT_EQ(0,
            v->addDiskChunk(nullptr) + v->addDiskChunk(sub.get()) + v->addSubVolume(chunk.get()));
  EXPECT_EQ(0, v->removeDiskChunk(nullptr) + v->removeSubVolume(chunk.get()));
  EXPECT_EQ(0, v->mergeDiskChunkList(nullptr) + v->mergeSubVolumeList(nullptr));
  EXPECT_EQ(2, v->addSubVolume(sub.get()) + v->removeSubVolume(sub.get()));
  v->releaseChildren();
  SrmResourceList none;
  EXPECT_EQ(0, v->addDiskChunk(chunk.get()) + v->addSubVolume(sub.get()) +
                   v->mergeDiskChunkList(&none) + v->mergeSubVolumeList(&none));
  // Announced references need a database and a stream; a negative count cancels nothing.
  const struct {
    SrmResourceType kind;
    std::vector<std::string> counts;
    int read;
  } cases[] = {
      {SRM_VOLUME, {"DiskChunkCount=-1", "SubVolumeCount=1"}, 0},
      {SRM_VOLUME, {"DiskChunkCount=-1", "SubVolumeCount=0"}, 1},
      {SRM_VOLUMEGROUP, {"DiskCount=-1", "VolumeCount=1"}, 0},
      {SRM_VOLUMEGROUP, {"DiskCount=-1", "VolumeCount=-1"}, 1},
      {SRM_COMPUTER, {"SGCount=1"}, 0},
      {SRM_COMPUTER, {"ResourceCount=0"}, 1},
      {SRM_COMPUTER, {"ResourceCount=1"}, 0},
  };
  for (const auto& c : cases) {
    SrmHeld<SrmResource> r(SrmNewResource(c.kind));
    CSRMReportTuple tuple;
    tuple.addElement("\"Id=x\"");
    for (const std::string& e : c.counts) tuple.addElement("\"" + e + "\"");
    EXPECT_EQ(c.read, r->deserialize(-1, &tuple)) << c.counts[0];
  }
}

// A volume group whose reference line cannot be written fails to write: the descriptor takes
// the group's own line and no more.
TEST(KindEdgesTest, AReferenceThatCannotBeWrittenFailsTheContainer) {
  SrmResourceDatabase db;
  SrmHeld<SrmVolumeGroup> group(new SrmVolumeGroup(&db));
  SrmHeld<SrmDisk> disk(new SrmDisk(&db));
  group->setId("g");
  disk->setId("d");
  ASSERT_EQ(1, group->addDisk(disk.get()));
  int rc = 0;
  const std::string text = WrittenText([&](int fd) { return group->serialize(fd, 0); }, &rc);
  const int fd = memfd_create("short", MFD_ALLOW_SEALING);
  ASSERT_EQ(0, ftruncate(fd, static_cast<off_t>(text.find('\n') + 1)));
  ASSERT_EQ(0, fcntl(fd, F_ADD_SEALS, F_SEAL_GROW));
  EXPECT_EQ(0, group->serialize(fd, 0));
  close(fd);
}

// A volume that counts its destructions, to show that cycles are freed.
class CountedVolume : public SrmVolume {
 public:
  CountedVolume(const std::string& id, int* destroyed) : SrmVolume(id), destroyed_(destroyed) {}

 protected:
  ~CountedVolume() override { ++*destroyed_; }

 private:
  int* destroyed_;
};

// Volumes that leave the database's list (replaced by a record with their Id, or removed)
// while a cycle or a parent still holds them go with the database; one held by nothing else
// goes at once.
TEST(KindEdgesTest, DepartedVolumesAreFreedWithTheDatabase) {
  const struct {
    bool replaced, self_cycle, parent_holds;
    int destroyed_at_once;
  } cases[] = {
      {true, true, false, 0},  {true, true, true, 0},   {true, false, true, 0},
      {true, false, false, 1}, {false, true, false, 0}, {false, true, true, 0},
  };
  for (const auto& c : cases) {
    int destroyed = 0;
    auto db = std::make_unique<SrmResourceDatabase>();
    SrmHeld<SrmVolume> leaving(new CountedVolume("v", &destroyed));
    SrmHeld<SrmVolume> parent(new CountedVolume("p", &destroyed));
    ASSERT_EQ(1, db->addResource(leaving.get()));
    ASSERT_EQ(1, db->addResource(parent.get()));
    if (c.self_cycle) leaving->addSubVolume(leaving.get());
    if (c.parent_holds) parent->addSubVolume(leaving.get());
    leaving.reset();  // the database's reference is the only one outside the links
    if (c.replaced) {
      SrmHeld<SrmVolume> twin(new CountedVolume("v", &destroyed));
      ASSERT_EQ(1, db->addResource(twin.get()));
      EXPECT_EQ(twin.get(), db->findResource(SRM_VOLUME, "v"));
    } else {
      ASSERT_EQ(1, db->removeResource(SRM_VOLUME, "v"));
      EXPECT_EQ(nullptr, db->findResource(SRM_VOLUME, "v"));
    }
    EXPECT_EQ(c.destroyed_at_once, destroyed);
    parent.reset();
    db.reset();
    EXPECT_EQ(c.replaced ? 3 : 2, destroyed);
  }
}

// A volume held outside the database stays whole when the database goes, down to its deepest
// sub-volume.
TEST(KindEdgesTest, AVolumeHeldOutsideKeepsItsWholeTree) {
  SrmHeld<SrmVolume> chain[4];
  auto db = std::make_unique<SrmResourceDatabase>();
  for (int i = 0; i < 4; ++i) {
    chain[i].reset(new SrmVolume("v" + std::to_string(i)));
    ASSERT_EQ(1, db->addResource(chain[i].get()));
    if (i > 0) chain[i - 1]->addSubVolume(chain[i].get());
  }
  for (int i = 1; i < 4; ++i) chain[i].reset();  // only the top is held outside
  db.reset();
  SrmVolume* v = chain[0].get();
  for (int depth = 1; depth < 4; ++depth) {
    SrmResourceList* subs = v->getSubVolumeList();
    ASSERT_TRUE(subs != nullptr && subs->getTypeCount(SRM_VOLUME) == 1) << depth;
    v = static_cast<SrmVolume*>(subs->findResource(SRM_VOLUME, "v" + std::to_string(depth)));
  }
}

// Merging volumes whose sub-volumes lead back to them ends, and merges each pair once.
TEST(KindEdgesTest, MergeAcrossCyclesEnds) {
  int destroyed = 0;
  {
    SrmHeld<SrmVolume> a1(new CountedVolume("a", &destroyed)),
        b1(new CountedVolume("b", &destroyed));
    SrmHeld<SrmVolume> a2(new CountedVolume("a", &destroyed)),
        b2(new CountedVolume("b", &destroyed));
    a1->addSubVolume(b1.get());
    b1->addSubVolume(a1.get());
    a2->addSubVolume(b2.get());
    b2->addSubVolume(a2.get());
    a2->setMgmtURL("u");
    b2->setMgmtURL("w");
    ASSERT_EQ(1, a1->mergeResource(a2.get()));
    EXPECT_EQ("u", a1->getMgmtURL());
    EXPECT_EQ("w", b1->getMgmtURL());
    EXPECT_TRUE(a2->isMerged() && b2->isMerged());
    for (SrmVolume* v : {a1.get(), b1.get(), a2.get(), b2.get()}) v->releaseChildren();
  }
  EXPECT_EQ(4, destroyed);
}

}  // namespace
