// What the golden scans cannot reach of the database: loading text that is short, cut or
// inconsistent; the removal cascade; the last-error slot; integrity checks and merging of
// databases (no native method calls them); service-group links; very deep sub-volume chains.
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "database_text.h"
#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "kinds/disk_chunk.h"
#include "kinds/file_system.h"
#include "kinds/mount_point.h"
#include "kinds/share.h"
#include "kinds/virtual_server.h"
#include "kinds/volume.h"
#include "kinds/volume_group.h"
#include "tuple/report_tuple.h"

namespace {

std::string LastMessage(const SrmResourceDatabase& db, int* code = nullptr) {
  std::string message;
  db.getLastErrorInfo(code, &message, nullptr);
  return message;
}
// A record of kind T read from "Key=value" texts, filed in db, which keeps the only reference.
template <class T>
T* Add(SrmResourceDatabase* db, std::initializer_list<std::string> elements) {
  CSRMReportTuple tuple;
  for (const std::string& e : elements) tuple.addElement("\"" + e + "\"");
  T* r = new T();
  EXPECT_EQ(1, r->deserialize(-1, &tuple));
  EXPECT_EQ(1, db->addResource(r));
  r->Release();
  return r;
}
SrmServiceGroup* Group(SrmResourceDatabase* db, const std::string& name) {
  auto* g = new SrmServiceGroup(name);
  EXPECT_EQ(1, db->addServiceGroup(g));
  g->Release();
  return g;
}

TEST(DbEdgesTest, LoadingShortCutOrInconsistentText) {
  const std::string disks = "\"Type=Disk\",\"Id=d1\",;\n\"Type=Disk\",\"Id=d2\",;\n";
  const struct {
    std::string text;
    int result;
    const char* message;
    int records, groups;
  } cases[] = {
      {"", 0, "Failed to get any tuple to deserialize", 0, 0},
      {"garbage,\"Type=Disk\",\"Id=d1\",;\n", 1, "", 0, 0},
      {"\"ResourceCount=3\",;\n" + disks, 0, "Failed to deserialize required number of resources",
       2, 0},
      {"\"ResourceCount=2\",;\n" + disks.substr(0, 30), 0,
       "Failed to deserialize required number of resources", 1, 0},
      // A record reads the tuple from its start up to the bare element; the walk goes on after
      // it, where a second Type makes a second record, which reads the same start (d1 again).
      {"\"ResourceCount=2\",;\n\"Type=Disk\",\"Id=d1\",bare,\"Type=Disk\",\"Id=d2\",;\n", 1, "", 1,
       0},
      {"\"ResourceCount=1\",;\n\"Type=Nonsense\",\"Id=x\",;\n", 0,
       "Failed to deserialize required number of resources", 0, 0},
      {"\"SGCount=1\",;\n", 0, "Failed to deserialize required number of service groups", 0, 0},
      // An empty child names no group.
      {"\"SGCount=1\",;\n\"Type=ServiceGroup\",\"Id=g\",\"ChildServiceGroup=\",;\n", 1, "", 0, 1},
      {"\"SGCount=1\",;\n\"Type=Disk\",\"Id=g\",;\n", 0,
       "Failed to deserialize required number of service groups", 0, 0},
      {"\"ResourceCount=2\",\"SGCount=2\",;\n" + disks +
           "\"Type=ServiceGroup\",\"Id=g1\",\"ChildServiceGroup=g2\",\"ResourceCount=2\",;\n"
           "\"Type=Disk\",\"Id=d1\",;\n\"Type=Disk\",\"Id=d9\",;\n"
           "\"Type=ServiceGroup\",\"Id=g2\",\"ResourceCount=1\",;\n\"Id=d1\",;\n",
       0, "Failed to deserialize required number of service groups", 2, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    SrmResourceDatabase db;
    EXPECT_EQ(c.result, LoadText(&db, c.text));
    EXPECT_EQ(c.message, LastMessage(db));
    EXPECT_EQ(c.records, db.getResourceCount());
    EXPECT_EQ(c.groups, static_cast<int>(db.getServiceGroups().size()));
    EXPECT_EQ(1, LoadText(&db, "\"ResourceCount=0\",;\n"));  // the database loads again
    EXPECT_EQ(nullptr, db.getStreamFD());  // and lets the stream go once it has loaded
  }
}

TEST(DbEdgesTest, AComputerThatFailsToLoadDoesNotStayThisComputer) {
  SrmResourceDatabase db;
  auto* first = new SrmComputer("h1");
  ASSERT_EQ(1, db.addComputer(first, 1));
  first->Release();
  // A computer the list refuses (no Id) does not stay this computer.
  EXPECT_EQ(1, LoadText(&db, "\"ResourceCount=1\",;\n\"Type=System\",\"TIM=1\",;\n"));
  ASSERT_NE(nullptr, db.getThisComputer());
  EXPECT_EQ("h1", db.getThisComputer()->getId());
}

TEST(DbEdgesTest, HeaderAndSubVolumeWalks) {
  SrmResourceDatabase db;
  db.cluster_name = std::string(3000, 'c');  // longer than the record area
  db.member_count = 3;
  auto name = [](int i) { return "v" + std::to_string(1000000 + i); };
  constexpr int kDepth = 100000;  // deeper than any stack would take
  auto volume = [&db](const std::string& id) {
    auto* v = new SrmVolume(id);
    EXPECT_EQ(1, db.addResource(v));
    v->Release();
    return v;
  };
  SrmVolume* parent = volume(name(0));
  for (int i = 1; i < kDepth; ++i) {
    SrmVolume* child = volume(name(i));
    ASSERT_EQ(1, parent->addSubVolume(child));
    parent = child;
  }
  parent->addSubVolume(db.findResource(SRM_VOLUME, name(kDepth - 2)));  // a cycle at the end
  int rc = 0;
  std::string text = SerializedText(&db, &rc);
  ASSERT_EQ(1, rc) << LastMessage(db);
  EXPECT_NE(std::string::npos, text.find("\"ClusterName=" + db.cluster_name + "\""));
  const std::string deepest = "\"Type=Volume\",\"Id=" + name(kDepth - 1) + "\",\"State";
  EXPECT_EQ(text.find('\n') + 1, text.find(deepest));  // the deepest first, right after the header
  EXPECT_EQ(text.find(deepest), text.rfind(deepest));  // and once
  SrmResourceDatabase loaded;
  ASSERT_EQ(1, LoadText(&loaded, text)) << LastMessage(loaded);
  EXPECT_EQ(kDepth, loaded.getResourceCount());
  EXPECT_EQ(db.cluster_name, loaded.cluster_name);
  EXPECT_EQ(3, loaded.member_count);
  EXPECT_EQ(0, loaded.resolveDatabase());
}

TEST(DbEdgesTest, RefusalsAndTheLastErrorSlot) {
  SrmResourceDatabase db;
  int code = 0;
  EXPECT_EQ(0, db.addResource(nullptr));
  EXPECT_EQ("Add resource failed", LastMessage(db, &code));
  EXPECT_EQ(22, code);
  auto* nameless = new SrmDisk();
  EXPECT_EQ(0, db.addResource(nameless));
  EXPECT_EQ("Add resource failed", LastMessage(db, &code));
  EXPECT_EQ(12, code);
  EXPECT_EQ(0, db.addComputer(reinterpret_cast<SrmComputer*>(nameless), 0));
  EXPECT_EQ("Add Computer failed", LastMessage(db, &code));
  EXPECT_EQ(0, db.addComputerResource("nobody", nullptr));
  EXPECT_EQ("Invalid Resource Object", LastMessage(db));
  EXPECT_EQ(0, db.addServiceGroupResource("g", nullptr) + db.removeServiceGroupResource(nullptr));
  EXPECT_EQ(0, db.addError("", "text", 1, 2));
  EXPECT_EQ(0, db.addError("owner", "", 1, 2));
  SrmError unowned("text", 1, 2, "", "", "");  // refused, so still the caller's
  EXPECT_EQ(0, db.addError(&unowned, ""));
  EXPECT_EQ("Add error failed, invalid error object", LastMessage(db));
  EXPECT_EQ(0, db.getErrorList()->getErrorCount());

  db.setErrorInfo(5, "first", nameless);
  db.setErrorInfo(5, "again", nameless);  // the same record kept again: one reference
  EXPECT_EQ(2, nameless->getRefCount());
  SrmResource* held = nullptr;
  std::string message;
  db.getLastErrorInfo(&code, &message, &held);
  EXPECT_EQ(nameless, held);
  db.setErrorInfo(9, "other", nullptr);
  EXPECT_EQ(1, nameless->getRefCount());
  nameless->Release();

  EXPECT_EQ(0, db.attachStream(-1));
  EXPECT_EQ("attach Stream failed", LastMessage(db, &code));
  EXPECT_EQ(22, code);
  EXPECT_EQ(0, db.detachStream(-1));
  EXPECT_EQ("detach Stream failed", LastMessage(db, &code));
  EXPECT_EQ(9, code);
  EXPECT_EQ(1, db.attachStream(0));  // descriptor 0 is one like any other
  EXPECT_EQ(1, db.detachStream(0));

  EXPECT_EQ("", db.getLowestLLTNodeIp());
  EXPECT_EQ("Get Lowest LLT node ip failed", LastMessage(db));
  for (const char* llt : {"2", "1"}) {
    auto* computer = new SrmComputer(std::string("c") + llt);
    computer->setLLTId(std::atoi(llt));
    computer->setIPAddr(std::string("10.0.0.") + llt);
    EXPECT_EQ(1, db.addComputer(computer, 0));
    computer->Release();
  }
  EXPECT_EQ("10.0.0.1", db.getLowestLLTNodeIp());
  EXPECT_EQ(nullptr, db.getThisComputer());  // two computers, none made current
  EXPECT_EQ("Not current computer found.", LastMessage(db));
}

TEST(DbEdgesTest, RemovalTakesAlongWhatRestsOnTheRecord) {
  SrmResourceDatabase db;
  auto* h1 = new SrmComputer("h1");
  ASSERT_EQ(1, db.addComputer(h1, 1));
  h1->Release();
  Add<SrmFileSystem>(&db, {"Id=fs1", "LId=FS-G", "Volume=vol1"});
  Add<SrmFileSystem>(&db, {"Id=fs-nolid"});
  Add<SrmMountPoint>(&db, {"Id=mp1", "MountLocation=FS-G"});
  Add<SrmMountPoint>(&db, {"Id=mp2", "MountLocation=other"});
  Add<SrmMountPoint>(&db, {"Id=mp3"});
  Add<SrmShare>(&db, {"Id=sh1", "VolumeId=vol1"});
  Add<SrmShare>(&db, {"Id=sh2"});
  EXPECT_EQ(1, db.removeResource(SRM_FILESYSTEM, "fs-nolid"));  // no LId matches nothing
  EXPECT_EQ(1, db.removeResource(SRM_FILESYSTEM, "fs1"));
  EXPECT_EQ(0, db.removeResource(SRM_FILESYSTEM, "fs1"));
  EXPECT_EQ(nullptr, db.findResource(SRM_MOUNTPOINT, "mp1"));
  EXPECT_EQ(nullptr, db.findResource(SRM_SHARE, "sh1"));
  for (const char* id : {"mp2", "mp3"}) EXPECT_NE(nullptr, db.findResource(SRM_MOUNTPOINT, id));
  EXPECT_NE(nullptr, db.findResource(SRM_SHARE, "sh2"));

  auto* chunk = Add<SrmDiskChunk>(&db, {"Id=c1", "Disk=d1"});
  SrmVolume* volume = Add<SrmVolume>(&db, {"Id=v1"});
  ASSERT_EQ(1, volume->addDiskChunk(chunk));
  SrmDisk* disk = Add<SrmDisk>(&db, {"Id=d1"});
  EXPECT_EQ(1, db.addComputerResource("h1", disk));
  SrmShare* share = Add<SrmShare>(&db, {"Id=s1"});
  EXPECT_EQ(1, db.addComputerResource("h1", share));
  SrmServiceGroup* group = Group(&db, "g1");
  EXPECT_EQ(1, db.addServiceGroupResource("g1", disk));
  EXPECT_EQ(1, db.removeResource(SRM_DISKCHUNK, "c1"));
  EXPECT_EQ(0, volume->getDiskChunkList()->getResourceCount());
  // A disk starts at the volume-group pass: without volume groups the computers keep it.
  EXPECT_EQ(1, db.removeResource(SRM_DISK, "d1"));
  EXPECT_EQ(0, group->getResourceList()->getResourceCount());
  EXPECT_NE(nullptr, h1->getResourceList()->findResource(SRM_DISK, "d1"));
  EXPECT_EQ(1, db.removeResource(SRM_SHARE, "s1"));
  EXPECT_EQ(nullptr, h1->getResourceList()->findResource(SRM_SHARE, "s1"));
  EXPECT_EQ(1, db.removeResource(SRM_COMPUTER, "h1"));
  EXPECT_EQ(nullptr, db.getThisComputer());
  EXPECT_EQ(0, db.getComputerList()->getResourceCount());
}

TEST(DbEdgesTest, IntegrityWithdrawsWhatCannotBeFound) {
  SrmResourceDatabase db;
  auto* host = new SrmComputer("h1");
  ASSERT_EQ(1, db.addComputer(host, 1));
  host->Release();
  SrmDisk* disk = Add<SrmDisk>(&db, {"Id=d1", "Name=sda", "Sign=1"});
  SrmVolume* volume = Add<SrmVolume>(&db, {"Id=v1"});
  volume->addDiskChunk(Add<SrmDiskChunk>(&db, {"Id=c1", "Disk=d1"}));
  volume->addDiskChunk(Add<SrmDiskChunk>(&db, {"Id=c-lost", "Disk=nodisk"}));
  SrmVolumeGroup* group = Add<SrmVolumeGroup>(&db, {"Id=vg"});
  auto* ghost_disk = new SrmDisk("ghost-disk");
  auto* ghost_volume = new SrmVolume("ghost-volume");
  for (SrmResource* d : {static_cast<SrmResource*>(disk), static_cast<SrmResource*>(ghost_disk)})
    group->addDisk(d);
  for (SrmResource* v :
       {static_cast<SrmResource*>(volume), static_cast<SrmResource*>(ghost_volume)})
    group->addVolume(v);
  ghost_disk->Release();
  ghost_volume->Release();
  Add<SrmVolumeGroup>(&db, {"Id=vg-nodisks"})->addVolume(Add<SrmVolume>(&db, {"Id=unchecked"}));
  Add<SrmFileSystem>(&db, {"Id=fs1", "Volume=v-missing"});
  Add<SrmFileSystem>(&db, {"Id=fs2", "Volume=v1"});
  Add<SrmMountPoint>(&db, {"Id=mp1", "VolumeId=v-gone"});
  db.findResource(SRM_VOLUME, "unchecked")->setReport(false);

  EXPECT_EQ(1, db.checkIntegrity());
  const std::vector<std::string> findings = {
      "Volume Group Disk not found: ghost-disk", "Volume Group Volume not found: ghost-volume",
      "Disk Chunk Disk not found: c-lost", "Missing or unsupported fs: v-missing",
      "MountPoint missing or invalid: v-gone"};
  std::vector<std::string> filed;
  for (const auto& e : *db.getErrorList()->getSrmErrorIdMap("h1")) {
    filed.push_back(e->getDescription());
    EXPECT_EQ(2, e->getSeverity());
  }
  EXPECT_EQ(findings, filed);
  EXPECT_EQ(0, db.findResource(SRM_FILESYSTEM, "fs1")->shouldReport());
  EXPECT_EQ(1, db.findResource(SRM_FILESYSTEM, "fs2")->shouldReport());
  EXPECT_EQ(1, db.checkIntegrity());  // the withdrawn are not filed again; members are
  EXPECT_EQ(findings.size() + 3, db.getErrorList()->getSrmErrorIdMap("h1")->size());

  auto* loose = new SrmDisk("loose");
  Group(&db, "a-group")->addResource(loose);  // a member the database does not hold
  loose->Release();
  EXPECT_EQ(0, db.checkIntegrity());
  EXPECT_EQ("Service group resource not found", LastMessage(db));
}

// A chunk two databases share: each database's resolution finds the chunk's disk in its own.
TEST(DbEdgesTest, AChunkSharedBetweenDatabasesFindsEachOnesDisk) {
  SrmResourceDatabase a, b;
  Add<SrmDisk>(&a, {"Id=d1", "Name=sda", "Sign=1"});
  Add<SrmDisk>(&b, {"Id=d1", "Name=sda", "Sign=1"})->setReport(false);
  SrmDiskChunk* chunk = Add<SrmDiskChunk>(&a, {"Id=c1", "Disk=d1"});
  SrmVolume* in_a = Add<SrmVolume>(&a, {"Id=v1"});
  SrmVolume* in_b = Add<SrmVolume>(&b, {"Id=v1"});
  for (SrmVolume* volume : {in_a, in_b}) volume->addDiskChunk(chunk);
  EXPECT_EQ(2, a.resolveDatabase());
  EXPECT_EQ(1, b.resolveDatabase());
  EXPECT_TRUE(in_a->shouldReport());
  EXPECT_FALSE(in_b->shouldReport());
}

TEST(DbEdgesTest, MergingDatabases) {
  SrmResourceDatabase db, other;
  EXPECT_EQ(0, db.mergeResourceDatabase(nullptr));
  EXPECT_EQ(1, db.mergeResourceDatabase(&db));
  SrmDisk* mine = Add<SrmDisk>(&db, {"Id=d1", "Name=sda"});
  Add<SrmDisk>(&other, {"Id=d1", "Model=XS-400"});
  Add<SrmDisk>(&other, {"Id=d2", "Name=sdb"});
  SrmServiceGroup* g_mine = Group(&db, "shared");
  SrmServiceGroup* g_theirs = Group(&other, "shared");
  SrmServiceGroup* g_child = Group(&other, "child");
  ASSERT_EQ(1, g_theirs->setNextServiceGroup(g_child));
  EXPECT_EQ(1, db.mergeResourceDatabase(&other));
  EXPECT_EQ("XS-400", mine->getModel());
  ASSERT_NE(nullptr, db.findResource(SRM_DISK, "d2"));
  EXPECT_EQ(&db, db.findResource(SRM_DISK, "d2")->getDatabase());
  SrmServiceGroup* child_here = db.findServiceGroup("child");  // made here, not shared
  ASSERT_NE(nullptr, child_here);
  EXPECT_NE(g_child, child_here);
  EXPECT_EQ(child_here, g_mine->getNextServiceGroup());
}

TEST(DbEdgesTest, ServiceGroupLinks) {
  SrmResourceDatabase db;
  SrmServiceGroup* g[4];
  for (int i = 0; i < 4; ++i) g[i] = Group(&db, "g" + std::to_string(i));
  EXPECT_EQ(1, g[0]->setNextServiceGroup(g[1]));
  EXPECT_EQ(1, g[0]->setNextServiceGroup(g[1]));  // the current child again
  int code = 0;
  EXPECT_EQ(0, g[0]->setNextServiceGroup(g[2]));  // set once
  EXPECT_EQ("Invalid Service Group Dependency provided", LastMessage(db, &code));
  EXPECT_EQ(22, code);
  EXPECT_EQ(0, g[0]->setNextServiceGroup(nullptr));  // cleared
  EXPECT_EQ(nullptr, g[0]->getNextServiceGroup());

  // A group refuses an ancestor as its child; looping parent links end the search.
  EXPECT_EQ(0, g[0]->addParentGroup(nullptr) + g[0]->checkCircDependency(nullptr));
  EXPECT_EQ(1, g[0]->addParentGroup(g[1]));
  EXPECT_EQ(0, g[0]->addParentGroup(g[1]));
  EXPECT_EQ(1, g[1]->addParentGroup(g[2]));
  EXPECT_EQ(0, g[0]->setNextServiceGroup(g[2]));
  EXPECT_EQ("Circular Service Sroup Dependency reported", LastMessage(db));
  EXPECT_EQ(0, g[0]->checkCircDependency(g[3]));
  EXPECT_EQ(1, g[2]->addParentGroup(g[0]));
  EXPECT_EQ(0, g[0]->checkCircDependency(g[3]));
  EXPECT_EQ(1, g[2]->checkCircDependency(g[1]));

  // Dependants follow the child chain and end on a cycle of child links.
  SrmServiceGroup* a = Group(&db, "a");
  SrmServiceGroup* b = Group(&db, "b");
  a->addResource(Add<SrmDisk>(&db, {"Id=d1"}));
  b->addResource(Add<SrmDisk>(&db, {"Id=d2"}));
  b->addResource(Add<SrmFileSystem>(&db, {"Id=f1"}));
  ASSERT_EQ(1, a->setNextServiceGroup(b));
  ASSERT_EQ(1, b->setNextServiceGroup(a));
  for (SrmServiceGroup* start : {a, b}) {
    SrmResourceList all(&db), disks(&db);
    EXPECT_EQ(1, start->getDependantResourceList(&all));
    EXPECT_EQ(3, all.getResourceCount());
    EXPECT_EQ(1, start->getDependantResourceList(&disks, SRM_DISK));
    EXPECT_EQ(2, disks.getResourceCount());
  }
  EXPECT_EQ(0, a->getDependantResourceList(nullptr));

  // A group merged with another of its database takes the other's child, or keeps its own.
  SrmServiceGroup* c = Group(&db, "c");
  EXPECT_EQ(1, c->mergeServiceGroup(a));
  EXPECT_EQ(b, c->getNextServiceGroup());
  EXPECT_EQ(1, c->mergeServiceGroup(g[3]));
  EXPECT_EQ(b, c->getNextServiceGroup());
}

// The database calls no native method reaches (kept for the agent's other users).
TEST(DbEdgesTest, CallsOutsideTheNativeMethods) {
  SrmResourceDatabase db;
  auto* host = new SrmComputer("h1");
  ASSERT_EQ(1, db.addComputer(host, 1));
  host->Release();
  SrmDisk* disk = Add<SrmDisk>(&db, {"Id=d1", "LId=g1"});
  db.unsetAllResourceState(SRM_FLAG_REPORT | SRM_FLAG_VIRTUAL_REPORT);
  EXPECT_EQ(SRM_FLAG_MARKED, disk->getFlags());
  EXPECT_EQ(0, host->shouldReport() + host->shouldVirtualReport());
  db.setAllResourceState(SRM_FLAG_LOADED);
  EXPECT_EQ(SRM_FLAG_MARKED | SRM_FLAG_LOADED, disk->getFlags());
  EXPECT_EQ(2, host->shouldReport() + host->shouldVirtualReport());

  std::string id = "keep";
  EXPECT_EQ(1, db.getGlobalId(SRM_DISK, "g1", &id));
  EXPECT_EQ("d1", id);
  EXPECT_EQ(0, db.getGlobalId(SRM_DISK, "g2", &id));
  EXPECT_EQ(0, db.getGlobalId(SRM_ALIAS, "g1", &id));
  EXPECT_EQ(0, db.addGlobalId(SRM_DISK, "g1", "d2"));  // never replaced
  EXPECT_EQ(0, db.addGlobalId(SRM_DISK, "same", "same"));
  EXPECT_EQ(0, db.addGlobalId(SRM_DISK, "", "d2"));
  EXPECT_EQ(0, db.addGlobalId(SRM_ALIAS, "g9", "a1"));
  EXPECT_EQ(disk, db.findGlobalResource(SRM_DISK, "g1"));
  EXPECT_EQ(disk, db.findGlobalResource(SRM_DISK, "d1"));

  SrmServiceGroup* parent = Group(&db, "p");
  SrmServiceGroup* child = Group(&db, "c");
  auto* twin = new SrmServiceGroup("c");
  EXPECT_EQ(0, db.addServiceGroup(twin));  // filed once per name
  twin->Release();
  EXPECT_EQ(0, db.setChildServiceGroup("p", "none"));
  EXPECT_EQ(0, db.setChildServiceGroup("", "c"));
  EXPECT_EQ(1, db.setChildServiceGroup("p", "c"));
  EXPECT_EQ(child, parent->getNextServiceGroup());
  EXPECT_EQ(1, db.addServiceGroupResource("p", disk));
  EXPECT_EQ(1, db.addServiceGroupResource("c", disk));
  EXPECT_EQ(0, db.addServiceGroupResource("none", disk));
  EXPECT_EQ(2, db.removeAllServiceGroupResources());
  EXPECT_EQ(0, db.removeServiceGroup(""));
  EXPECT_EQ(1, db.removeServiceGroup("c"));
  EXPECT_EQ(0, db.removeServiceGroup("c"));
  EXPECT_EQ(nullptr, parent->getNextServiceGroup());
}

}  // namespace
