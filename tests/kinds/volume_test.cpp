#include "kinds/volume.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "kind_test_util.h"
#include "kinds/disk_chunk.h"
#include "kinds/volume_manager.h"

using kindtest::AttachedText;
using kindtest::Held;
using kindtest::MakeTuple;
using kindtest::SerializeToText;
using kindtest::StubRecord;

namespace {

// A volume that counts its destructions, to prove that cycles are freed.
class CountedVolume : public SrmVolume {
 public:
  explicit CountedVolume(const std::string& id, int* destroyed)
      : SrmVolume(id), destroyed_(destroyed) {}

 protected:
  ~CountedVolume() override { ++*destroyed_; }

 private:
  int* destroyed_;
};

class VolumeTest : public ::testing::Test {
 protected:
  // Files r in the database, which keeps the only reference.
  template <class R>
  R* Add(R* r) {
    EXPECT_EQ(1, db_.addResource(r));
    r->Release();
    return r;
  }
  SrmDiskChunk* AddChunk(const std::string& id) { return Add(new SrmDiskChunk(id)); }
  SrmVolume* AddVolume(const std::string& id) { return Add(new SrmVolume(id)); }
  // Reads a volume tuple of the given elements with refs following it in the stream.
  Held<SrmVolume> Read(std::initializer_list<std::string> elements, const std::string& refs,
                       int* rc) {
    AttachedText text(&db_, refs);
    EXPECT_TRUE(text.attached());
    Held<SrmVolume> v(new SrmVolume(&db_));
    *rc = v->deserialize(-1, MakeTuple(elements).get());
    left_ = text.NextLeft();
    return v;
  }

  SrmResourceDatabase db_;
  std::string left_;  // the first tuple a read left in the stream
};

TEST_F(VolumeTest, Constructors) {
  Held<SrmVolume> named(new SrmVolume("v1")), bound(new SrmVolume(&db_));
  EXPECT_EQ(SRM_VOLUME, named->getType());
  EXPECT_EQ(12, named->getFlags());
  EXPECT_EQ("v1", named->getId());
  EXPECT_EQ("v1", named->getVolumeKey());
  EXPECT_EQ(&db_, bound->getDatabase());
  EXPECT_EQ(0, bound->getDiskChunkList()->getResourceCount());
  EXPECT_EQ(0, bound->getSubVolumeList()->getResourceCount());
}

TEST_F(VolumeTest, WritesLineThenChunkAndSubVolumeReferences) {
  SrmVolume* v = AddVolume("v1");
  v->setStatusDesc("ok");
  v->setCapacity(3907018584);
  ASSERT_EQ(1, v->addDiskChunk(AddChunk("c2")));
  ASSERT_EQ(1, v->addDiskChunk(AddChunk("c1")));
  ASSERT_EQ(1, v->addSubVolume(AddVolume("s1")));
  int rc = 0;
  EXPECT_EQ(
      "\"Type=Volume\",\"Id=v1\",\"State=12\",\"HierType=1\",\"CapacityKB=3907018584\","
      "\"FreeSpaceKB=0\",\"VolumeType=0\",\"Status=0\",\"StatusDesc=ok\",\"DiskChunkCount=2\","
      "\"SubVolumeCount=1\",;\n"
      "\"Type=DiskChunk\",\"Id=c1\",;\n"
      "\"Type=DiskChunk\",\"Id=c2\",;\n"
      "\"Type=Volume\",\"Id=s1\",;\n",
      SerializeToText(v, 0, &rc));
  EXPECT_EQ(1, rc);
  EXPECT_EQ("\"Type=Volume\",\"Id=v1\",;\n", SerializeToText(v, 1, &rc));
  // A child that cannot write fails the volume.
  Held<SrmDiskChunk> loose(new SrmDiskChunk("c0"));
  ASSERT_EQ(1, v->addDiskChunk(loose.get()));
  loose->setDatabase(nullptr);
  SerializeToText(v, 0, &rc);
  EXPECT_EQ(0, rc);
}

TEST_F(VolumeTest, VolumeManagerIsLinkedOnlyWhenOneMatches) {
  Held<SrmVolumeManager> vm(new SrmVolumeManager("vm"));
  vm->setIdType(3);
  ASSERT_EQ(1, db_.addResource(vm.get()));
  SrmVolume* v = AddVolume("v1");
  v->setVolumeMgrId("7");
  EXPECT_EQ(nullptr, v->getVolumeManagerRecord());
  EXPECT_EQ("", v->getVolumeManager());
  EXPECT_EQ(std::string::npos, SerializeToText(v, 0).find("VolumeManager"));
  v->setVolumeMgrId("03");
  EXPECT_EQ(vm.get(), v->getVolumeManagerRecord());
  EXPECT_EQ("03", v->getVolumeManager());
  EXPECT_NE(std::string::npos, SerializeToText(v, 0).find(",\"VolumeManager=03\",;\n"));
  // The link keeps the manager alive when the database replaces it.
  Held<SrmVolumeManager> newer(new SrmVolumeManager("vm"));
  ASSERT_EQ(1, db_.addResource(newer.get()));
  vm.reset();
  EXPECT_EQ(3, v->getVolumeManagerRecord()->getIdType());
}

TEST_F(VolumeTest, AddSubVolumeMarksTheHierarchy) {
  SrmVolume* parent = AddVolume("p");
  SrmVolume* sub = AddVolume("s");
  ASSERT_EQ(1, parent->addSubVolume(sub));
  EXPECT_EQ(SrmVolume::kHierParent, parent->getHierType());
  EXPECT_EQ(SrmVolume::kHierSubVolume, sub->getHierType());
  // A sub-volume that gains sub-volumes stays a sub-volume.
  ASSERT_EQ(1, sub->addSubVolume(AddVolume("t")));
  EXPECT_EQ(SrmVolume::kHierSubVolume, sub->getHierType());

  SrmDiskChunk* chunk = AddChunk("c");
  EXPECT_EQ(0, parent->addSubVolume(chunk));
  EXPECT_EQ(0, parent->addSubVolume(nullptr));
  EXPECT_EQ(0, parent->addDiskChunk(sub));
  ASSERT_EQ(1, parent->addDiskChunk(chunk));
  EXPECT_EQ(0, parent->removeDiskChunk(sub));
  EXPECT_EQ(1, parent->removeDiskChunk(chunk));
  EXPECT_EQ(0, parent->getDiskChunkList()->getResourceCount());
  EXPECT_EQ(1, parent->removeSubVolume(sub));
  EXPECT_EQ(0, parent->getSubVolumeList()->getResourceCount());
}

TEST_F(VolumeTest, ReadsFieldsAndKey) {
  int rc = 0;
  Held<SrmVolume> v = Read({"\"Id=v1\"", "\"State=1\"", "\"Name=n\"", "\"HierType=4\"",
                            "\"CapacityKB=3907018584\"", "\"FreeSpaceKB=-2\"", "\"Status=3\""},
                           "", &rc);
  EXPECT_EQ(1, rc);
  EXPECT_EQ("v1", v->getVolumeKey());
  EXPECT_EQ(13, v->getFlags());
  EXPECT_EQ(4, v->getHierType());
  EXPECT_EQ(3907018584, v->getCapacityKB());
  EXPECT_EQ(0, v->getFreeSpaceKB());
  EXPECT_EQ(0, Held<SrmVolume>(new SrmVolume())->deserialize(-1, nullptr));
}

TEST_F(VolumeTest, ReadsReferencesThatFollow) {
  AddChunk("c1");
  AddChunk("c2");
  int rc = 0;
  // The kind carries over to a reference without a Type; a missing sub-volume is created.
  Held<SrmVolume> v = Read({"\"Id=v1\"", "\"DiskChunkCount=2\"", "\"SubVolumeCount=1\""},
                           "\"Type=DiskChunk\",\"Id=c1\",;\n\"Id=c2\",;\n"
                           "\"Type=Volume\",\"Id=s9\",;\n\"Type=Disk\",\"Id=next\",;\n",
                           &rc);
  ASSERT_EQ(1, rc);
  EXPECT_EQ(2, v->getDiskChunkList()->getTypeCount(SRM_DISKCHUNK));
  auto* made = static_cast<SrmVolume*>(db_.findResource(SRM_VOLUME, "s9"));
  ASSERT_NE(nullptr, made);
  EXPECT_EQ("s9", made->getVolumeKey());
  EXPECT_EQ(SrmVolume::kHierSubVolume, made->getHierType());
  EXPECT_EQ(SrmVolume::kHierParent, v->getHierType());
  EXPECT_EQ(made, v->getSubVolumeList()->findResource(SRM_VOLUME, "s9"));
  EXPECT_EQ("\"Type=Disk\",\"Id=next\",", left_);  // no more than announced was read
}

// A volume whose references do not all resolve fails and leaves the database as it was.
TEST_F(VolumeTest, FailedReferencesLeaveNothingBehind) {
  AddChunk("c1");
  SrmVolume* s1 = AddVolume("s1");
  struct Case {
    const char* name;
    std::vector<std::string> elements;
    std::string refs;
  } cases[] = {
      {"unknown chunk",
       {"\"DiskChunkCount=1\"", "\"SubVolumeCount=2\""},
       "\"Type=Volume\",\"Id=s9\",;\n\"Id=s1\",;\n\"Type=DiskChunk\",\"Id=cX\",;\n"},
      {"more announced than follow", {"\"SubVolumeCount=3\""}, "\"Type=Volume\",\"Id=s9\",;\n"},
      {"huge count",
       {"\"SubVolumeCount=2147483647\"", "\"DiskChunkCount=2147483647\""},
       "\"Type=Volume\",\"Id=s9\",;\n"},
      {"reference of no kind", {"\"SubVolumeCount=1\""}, "\"Id=s9\",;\n"},
      {"empty id", {"\"SubVolumeCount=1\""}, "\"Type=Volume\",\"Id=\",;\n"},
  };
  for (const Case& c : cases) {
    AttachedText text(&db_, c.refs);
    Held<SrmVolume> v(new SrmVolume(&db_));
    auto tuple = std::make_unique<CSRMReportTuple>();
    tuple->addElement("\"Id=v1\"");
    for (const std::string& e : c.elements) tuple->addElement(e);
    EXPECT_EQ(0, v->deserialize(-1, tuple.get())) << c.name;
    EXPECT_EQ(nullptr, db_.findResource(SRM_VOLUME, "s9")) << c.name;
    EXPECT_EQ(0, s1->getHierType()) << c.name;
    EXPECT_EQ(0, v->getSubVolumeList()->getResourceCount()) << c.name;
    EXPECT_EQ(0, v->getDiskChunkList()->getResourceCount()) << c.name;
    EXPECT_EQ(2, db_.getResourceCount()) << c.name;
    EXPECT_EQ(1, v->getRefCount()) << c.name;  // nothing else took the failed volume
  }
}

TEST_F(VolumeTest, CountsWithoutAReader) {
  Held<SrmVolume> loose(new SrmVolume());
  EXPECT_EQ(0, loose->deserialize(-1, MakeTuple({"\"SubVolumeCount=1\""}).get()));
  Held<SrmVolume> bound(new SrmVolume(&db_));  // no stream attached
  EXPECT_EQ(0, bound->deserialize(-1, MakeTuple({"\"DiskChunkCount=1\""}).get()));
  // Counts of 0 or less need no reader; a negative count announces nothing.
  EXPECT_EQ(1, loose->deserialize(-1, MakeTuple({"\"SubVolumeCount=0\""}).get()));
  EXPECT_EQ(1, loose->deserialize(-1, MakeTuple({"\"SubVolumeCount=-4\""}).get()));
  int rc = 0;
  Read({"\"DiskChunkCount=-1\"", "\"SubVolumeCount=1\""}, "\"Type=Volume\",\"Id=s5\",;\n", &rc);
  EXPECT_EQ(1, rc);
  EXPECT_NE(nullptr, db_.findResource(SRM_VOLUME, "s5"));
}

TEST_F(VolumeTest, MergeRules) {
  struct Case {
    int32_t status;
    const char* desc;
    int32_t want_status;
    const char* want_desc;
  } status_cases[] = {{0, "failed", 1, "ok"}, {3, "", 3, ""}, {2, "degraded", 2, "degraded"}};
  for (const Case& c : status_cases) {
    Held<SrmVolume> target(new SrmVolume("v")), other(new SrmVolume("v"));
    target->setStatus(1);
    target->setStatusDesc("ok");
    other->setStatus(c.status);
    other->setStatusDesc(c.desc);
    ASSERT_EQ(1, target->mergeResource(other.get()));
    EXPECT_EQ(c.want_status, target->getStatus());
    EXPECT_EQ(c.want_desc, target->getStatusDesc());
  }
  struct Hier {
    int32_t target, other, want;
  } hier_cases[] = {{4, 1, 4}, {0, 1, 1}, {1, 0, 1}, {1, 4, 4}};
  for (const Hier& h : hier_cases) {
    Held<SrmVolume> target(new SrmVolume("v")), other(new SrmVolume("v"));
    target->setHierType(h.target);
    other->setHierType(h.other);
    ASSERT_EQ(1, target->mergeResource(other.get()));
    EXPECT_EQ(h.want, target->getHierType()) << h.target << " <- " << h.other;
  }

  Held<SrmVolume> target(new SrmVolume("v")), other(new SrmVolume("v"));
  target->setName("keep");
  other->setName("new");
  other->setVolumeKey("k2");
  other->setCapacity(3907018584);
  other->setMgmtURL("u");
  ASSERT_EQ(1, target->mergeResource(other.get()));
  EXPECT_EQ("keep", target->getName());
  EXPECT_EQ("v", target->getVolumeKey());
  EXPECT_EQ(3907018584, target->getCapacityKB());
  EXPECT_EQ("u", target->getMgmtURL());
  EXPECT_TRUE(other->isMerged());
  Held<StubRecord> wrong(new StubRecord(SRM_DISK, "v"));
  EXPECT_EQ(0, target->mergeResource(wrong.get()));
  EXPECT_EQ(0, target->mergeResource(nullptr));
}

TEST_F(VolumeTest, MergedChildrenKeepTheirDatabase) {
  SrmVolume* target = AddVolume("v");
  SrmDiskChunk* chunk = AddChunk("c1");
  SrmVolume* sub = AddVolume("s1");
  Held<SrmVolume> other(new SrmVolume("v"));
  ASSERT_EQ(1, other->addDiskChunk(chunk));
  ASSERT_EQ(1, other->addSubVolume(sub));
  ASSERT_EQ(1, target->mergeResource(other.get()));
  EXPECT_EQ(chunk, target->getDiskChunkList()->findResource(SRM_DISKCHUNK, "c1"));
  EXPECT_EQ(sub, target->getSubVolumeList()->findResource(SRM_VOLUME, "s1"));
  EXPECT_EQ(&db_, chunk->getDatabase());
  EXPECT_EQ(&db_, sub->getDatabase());
}

TEST_F(VolumeTest, ReleaseChildrenDropsBothLists) {
  SrmVolume* v = AddVolume("v");
  SrmDiskChunk* chunk = AddChunk("c1");
  ASSERT_EQ(1, v->addDiskChunk(chunk));
  EXPECT_EQ(2, chunk->getRefCount());  // the database and the volume
  v->releaseChildren();
  EXPECT_EQ(1, chunk->getRefCount());
  EXPECT_EQ(nullptr, v->getDiskChunkList());
  EXPECT_EQ(nullptr, v->getSubVolumeList());
  EXPECT_EQ(0, v->addDiskChunk(chunk));
  EXPECT_EQ(0, v->addSubVolume(AddVolume("s")));
  EXPECT_EQ(0, v->removeDiskChunk(chunk));
  EXPECT_EQ(0, v->mergeSubVolumeList(v->getSubVolumeList()));
  EXPECT_EQ(
      "\"Type=Volume\",\"Id=v\",\"State=12\",\"HierType=0\",\"CapacityKB=0\",\"FreeSpaceKB=0\","
      "\"VolumeType=0\",\"Status=0\",;\n",
      SerializeToText(v, 0));
}

TEST(VolumeWalkTest, VisitsSubVolumesFirstAndEachOnce) {
  SrmResourceDatabase db;
  auto add = [&db](const std::string& id) {
    auto* v = new SrmVolume(id);
    db.addResource(v);
    v->Release();  // the database keeps its own reference
    return v;
  };
  SrmVolume* v1 = add("v1");
  SrmVolume* v2 = add("v2");
  SrmVolume* v3 = add("v3");
  SrmVolume* self = add("self");
  v1->addSubVolume(v3);
  v1->addSubVolume(v2);
  v2->addSubVolume(v3);
  v3->addSubVolume(v1);  // a cycle back to the root
  self->addSubVolume(self);

  std::set<std::string> entered;
  std::vector<std::string> order;
  auto record = [&order](SrmVolume* v) {
    order.push_back(v->getId());
    return 1;
  };
  EXPECT_EQ(1, SrmVisitVolumesDepthFirst(v1, &entered, record));
  EXPECT_EQ((std::vector<std::string>{"v3", "v2", "v1"}), order);
  EXPECT_EQ(1, SrmVisitVolumesDepthFirst(v2, &entered, record));  // all entered already
  EXPECT_EQ(3u, order.size());
  EXPECT_EQ(1, SrmVisitVolumesDepthFirst(self, &entered, record));
  EXPECT_EQ("self", order.back());

  std::set<std::string> fresh;
  EXPECT_EQ(0, SrmVisitVolumesDepthFirst(v1, &fresh, [](SrmVolume*) { return 0; }));
  // A reference line, not a walk, is what a volume writes for itself as a sub-volume.
  EXPECT_EQ(
      "\"Type=Volume\",\"Id=self\",\"State=12\",\"HierType=4\",\"CapacityKB=0\","
      "\"FreeSpaceKB=0\",\"VolumeType=0\",\"Status=0\",\"DiskChunkCount=0\","
      "\"SubVolumeCount=1\",;\n\"Type=Volume\",\"Id=self\",;\n",
      SerializeToText(self, 0));
}

TEST(VolumeWalkTest, DeepChainsNeedNoDeepStack) {
  SrmResourceDatabase db;
  SrmVolume* previous = nullptr;
  SrmVolume* root = nullptr;
  for (int i = 0; i < 100000; ++i) {
    Held<SrmVolume> v(new SrmVolume("v" + std::to_string(i)));
    db.addResource(v.get());
    if (previous != nullptr) previous->addSubVolume(v.get());
    if (root == nullptr) root = v.get();
    previous = v.get();
  }
  std::set<std::string> entered;
  int visited = 0;
  EXPECT_EQ(1, SrmVisitVolumesDepthFirst(root, &entered, [&visited](SrmVolume*) {
              ++visited;
              return 1;
            }));
  EXPECT_EQ(100000, visited);
}

// Volumes that hold each other, or themselves, are freed with their database.
TEST(VolumeCycleTest, DatabaseFreesCycles) {
  int destroyed = 0;
  auto db = std::make_unique<SrmResourceDatabase>();
  std::vector<SrmVolume*> volumes;
  for (const char* id : {"a", "b", "self", "x", "y", "z"}) {
    Held<SrmVolume> v(new CountedVolume(id, &destroyed));
    ASSERT_EQ(1, db->addResource(v.get()));
    volumes.push_back(v.get());
  }
  volumes[0]->addSubVolume(volumes[1]);
  volumes[1]->addSubVolume(volumes[0]);
  volumes[2]->addSubVolume(volumes[2]);
  volumes[3]->addSubVolume(volumes[4]);
  volumes[4]->addSubVolume(volumes[5]);
  volumes[5]->addSubVolume(volumes[3]);
  db.reset();
  EXPECT_EQ(6, destroyed);
}

// Volumes that leave the database's list (replaced by a record with their Id, or removed)
// while a cycle or a parent still holds them are freed with the database all the same; one
// held by nothing else goes at once.
TEST(VolumeCycleTest, DepartedVolumesAreFreedWithTheDatabase) {
  enum Departure { kReplaced, kRemoved };
  struct Case {
    const char* name;
    Departure departure;
    bool self_cycle;    // the departing volume lists itself as a sub-volume
    bool parent_holds;  // another stored volume lists it as a sub-volume
    int destroyed_at_once;
  };
  const Case cases[] = {
      {"replaced self cycle", kReplaced, true, false, 0},
      {"replaced sub-volume of a cycle's parent", kReplaced, true, true, 0},
      {"replaced sub-volume", kReplaced, false, true, 0},
      {"replaced and held by nothing", kReplaced, false, false, 1},
      {"removed self cycle", kRemoved, true, false, 0},
      {"removed sub-volume of a cycle's parent", kRemoved, true, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int destroyed = 0;
    auto db = std::make_unique<SrmResourceDatabase>();
    Held<SrmVolume> leaving(new CountedVolume("v", &destroyed));
    Held<SrmVolume> parent(new CountedVolume("p", &destroyed));
    ASSERT_EQ(1, db->addResource(leaving.get()));
    ASSERT_EQ(1, db->addResource(parent.get()));
    if (c.self_cycle) leaving->addSubVolume(leaving.get());
    if (c.parent_holds) parent->addSubVolume(leaving.get());
    SrmVolume* departing = leaving.release();
    departing->Release();  // the database's reference is the only one left outside the links
    if (c.departure == kReplaced) {
      Held<SrmVolume> twin(new CountedVolume("v", &destroyed));
      ASSERT_EQ(1, db->addResource(twin.get()));
      EXPECT_EQ(twin.get(), db->findResource(SRM_VOLUME, "v"));
    } else {
      ASSERT_EQ(1, db->removeResource(SRM_VOLUME, "v"));
      EXPECT_EQ(nullptr, db->findResource(SRM_VOLUME, "v"));
    }
    EXPECT_EQ(c.destroyed_at_once, destroyed);
    parent.reset();
    db.reset();
    EXPECT_EQ(c.departure == kReplaced ? 3 : 2, destroyed);
  }
}

// Merging volumes whose sub-volumes lead back to them ends.
TEST(VolumeCycleTest, MergeAcrossCyclesEnds) {
  int destroyed = 0;
  {
    Held<SrmVolume> a1(new CountedVolume("a", &destroyed)), b1(new CountedVolume("b", &destroyed));
    Held<SrmVolume> a2(new CountedVolume("a", &destroyed)), b2(new CountedVolume("b", &destroyed));
    a1->addSubVolume(b1.get());
    b1->addSubVolume(a1.get());
    a2->addSubVolume(b2.get());
    b2->addSubVolume(a2.get());
    a2->setMgmtURL("u");
    b2->setMgmtURL("w");
    ASSERT_EQ(1, a1->mergeResource(a2.get()));
    EXPECT_EQ("u", a1->getMgmtURL());
    EXPECT_EQ("w", b1->getMgmtURL());
    EXPECT_TRUE(a2->isMerged());
    EXPECT_TRUE(b2->isMerged());
    EXPECT_EQ(1, a1->mergeResource(a1.get()));  // never into itself
    EXPECT_FALSE(a1->isMerged());
    for (SrmVolume* v : {a1.get(), b1.get(), a2.get(), b2.get()}) v->releaseChildren();
  }
  EXPECT_EQ(4, destroyed);
}

}  // namespace
