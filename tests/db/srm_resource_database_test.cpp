#include "db/srm_resource_database.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <initializer_list>
#include <string>

#include "db/srm_service_group.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "kinds/disk_chunk.h"
#include "kinds/file_system.h"
#include "kinds/mount_point.h"
#include "kinds/share.h"
#include "kinds/volume.h"
#include "kinds/volume_group.h"
#include "tuple/report_tuple.h"

namespace {

// Builds a record of kind T from "Key=value" texts, the way a loader fills it.
template <class T>
T* Record(std::initializer_list<const char*> elements) {
  CSRMReportTuple tuple;
  for (const char* e : elements) tuple.addElement(std::string("\"") + e + "\"");
  T* r = new T();
  EXPECT_EQ(1, r->deserialize(-1, &tuple));
  return r;
}

// Adds r to db and drops the creator's reference, as the add methods do.
void Add(SrmResourceDatabase* db, SrmResource* r) {
  EXPECT_EQ(1, db->addResource(r));
  r->Release();
}

void AddComputer(SrmResourceDatabase* db, SrmComputer* c, int current = 0) {
  EXPECT_EQ(1, db->addComputer(c, current));
  c->Release();
}

std::string LastMessage(const SrmResourceDatabase& db, int* code = nullptr) {
  std::string message;
  db.getLastErrorInfo(code, &message, nullptr);
  return message;
}

class DatabaseTest : public ::testing::Test {
 protected:
  SrmResourceDatabase db;
};

TEST_F(DatabaseTest, NewDatabaseIsEmptyAndHasNoComputer) {
  EXPECT_EQ(0, db.getResourceCount());
  EXPECT_EQ(0, db.isCluster());
  EXPECT_EQ(nullptr, db.getThisComputer());
  int code = 0;
  EXPECT_EQ("Not current computer found.", LastMessage(db, &code));
  EXPECT_EQ(22, code);
  EXPECT_EQ("", db.getHostName());
}

TEST_F(DatabaseTest, TheOnlyComputerIsThisComputerUntilASecondArrives) {
  auto* h1 = new SrmComputer("h1");
  AddComputer(&db, h1);
  EXPECT_EQ(h1, db.getThisComputer());
  EXPECT_EQ("h1", db.getHostName());

  AddComputer(&db, new SrmComputer("h2"));
  EXPECT_EQ(nullptr, db.getThisComputer());
  EXPECT_EQ("Not current computer found.", LastMessage(db));
  EXPECT_EQ("h1", db.getHostName()) << "the host name is filled once";

  db.setThisComputer(h1);
  EXPECT_EQ(h1, db.getThisComputer());
}

TEST_F(DatabaseTest, ComputerMadeCurrentWinsAmongSeveral) {
  AddComputer(&db, new SrmComputer("a"));
  auto* b = new SrmComputer("b");
  AddComputer(&db, b, 1);
  EXPECT_EQ(b, db.getThisComputer());
  EXPECT_EQ("b", db.getHostName());
}

TEST_F(DatabaseTest, RefusedRecordsRecordTheirReason) {
  int code = 0;
  EXPECT_EQ(0, db.addResource(nullptr));
  EXPECT_EQ("Add resource failed", LastMessage(db, &code));
  EXPECT_EQ(22, code);

  auto* nameless = new SrmDisk();
  EXPECT_EQ(0, db.addResource(nameless));
  EXPECT_EQ("Add resource failed", LastMessage(db, &code));
  EXPECT_EQ(12, code);
  nameless->Release();

  auto* disk = Record<SrmDisk>({"Id=d1"});
  EXPECT_EQ(0, db.addComputer(reinterpret_cast<SrmComputer*>(disk), 0));
  EXPECT_EQ("Add Computer failed", LastMessage(db, &code));
  disk->Release();

  EXPECT_EQ(0, db.addComputerResource("nobody", nullptr));
  EXPECT_EQ("Invalid Resource Object", LastMessage(db));
  EXPECT_EQ(0, db.getResourceCount());
}

TEST_F(DatabaseTest, GlobalIdsFindRecordsOfTheSameObject) {
  auto* d1 = Record<SrmDisk>({"Id=D1", "LId=G1"});
  Add(&db, d1);
  EXPECT_EQ(d1, db.findGlobalResource(SRM_DISK, std::string("G1")));
  EXPECT_EQ(d1, db.findGlobalResource(SRM_DISK, std::string("D1")));
  EXPECT_EQ(nullptr, db.findGlobalResource(SRM_DISK, std::string("G2")));

  // A later record with the same global id does not take the entry over.
  Add(&db, Record<SrmDisk>({"Id=D2", "LId=G1"}));
  EXPECT_EQ(d1, db.findGlobalResource(SRM_DISK, std::string("G1")));

  std::string id;
  EXPECT_EQ(0, db.addGlobalId(SRM_DISK, "X", "X"));
  EXPECT_EQ(0, db.addGlobalId(SRM_DISK, "", "X"));
  EXPECT_EQ(0, db.addGlobalId(SRM_COMPUTER, "G9", "h1"));
  EXPECT_EQ(0, db.getGlobalId(SRM_COMPUTER, "G9", &id));
  EXPECT_EQ(1, db.getGlobalId(SRM_DISK, "G1", &id));
  EXPECT_EQ("D1", id);
}

TEST_F(DatabaseTest, FindGlobalResourceForANewRecord) {
  auto* stored = Record<SrmDisk>({"Id=D1", "LId=G1"});
  Add(&db, stored);

  struct Case {
    const char* id;
    const char* lid;
    bool found;
  } cases[] = {
      // Same Id, but the stored LId (G1) is neither empty nor that Id: the map decides, and
      // it knows no empty global id.
      {"D1", "", false},  {"D1", "G1", true},
      {"G1", "", false},  // an Id is not looked up as a global id here
      {"X", "G1", true},  // through the global-id map
      {"X", "G7", false},
  };
  for (const Case& c : cases) {
    auto* probe = Record<SrmDisk>({(std::string("Id=") + c.id).c_str()});
    probe->setLId(c.lid);
    EXPECT_EQ(c.found ? stored : nullptr, db.findGlobalResource(SRM_DISK, probe))
        << c.id << "/" << c.lid;
    probe->Release();
  }
  EXPECT_EQ(nullptr, db.findGlobalResource(SRM_DISK, static_cast<SrmResource*>(nullptr)));
}

TEST_F(DatabaseTest, RemovingAFileSystemTakesItsMountPointsAndSharesAlong) {
  Add(&db, Record<SrmFileSystem>({"Id=fs1", "LId=FS-G", "Volume=vol1"}));
  Add(&db, Record<SrmMountPoint>({"Id=mp1", "MountLocation=FS-G"}));
  Add(&db, Record<SrmMountPoint>({"Id=mp2", "MountLocation=other"}));
  Add(&db, Record<SrmMountPoint>({"Id=mp3"}));
  Add(&db, Record<SrmShare>({"Id=sh1", "VolumeId=vol1"}));
  Add(&db, Record<SrmShare>({"Id=sh2", "VolumeId=vol2"}));
  AddComputer(&db, new SrmComputer("h1"));

  EXPECT_EQ(1, db.removeResource(SRM_FILESYSTEM, "fs1"));
  EXPECT_EQ(nullptr, db.findResource(SRM_FILESYSTEM, "fs1"));
  EXPECT_EQ(nullptr, db.findResource(SRM_MOUNTPOINT, "mp1"));
  EXPECT_NE(nullptr, db.findResource(SRM_MOUNTPOINT, "mp2"));
  EXPECT_NE(nullptr, db.findResource(SRM_MOUNTPOINT, "mp3"));
  EXPECT_EQ(nullptr, db.findResource(SRM_SHARE, "sh1"));
  EXPECT_NE(nullptr, db.findResource(SRM_SHARE, "sh2"));
  EXPECT_EQ(0, db.removeResource(SRM_FILESYSTEM, "fs1"));
}

TEST_F(DatabaseTest, RecordsWithoutAGlobalIdTakeNoMountPointsAlong) {
  // A file system with no LId must not match the mount points that have no location.
  Add(&db, Record<SrmFileSystem>({"Id=fs1"}));
  Add(&db, Record<SrmMountPoint>({"Id=mp1"}));
  Add(&db, Record<SrmShare>({"Id=sh1"}));
  EXPECT_EQ(1, db.removeResource(SRM_FILESYSTEM, "fs1"));
  EXPECT_NE(nullptr, db.findResource(SRM_MOUNTPOINT, "mp1"));
  EXPECT_NE(nullptr, db.findResource(SRM_SHARE, "sh1"));
}

TEST_F(DatabaseTest, RemovingADiskSkipsLaterPassesWithoutVolumeGroups) {
  Add(&db, Record<SrmDisk>({"Id=d1", "LId=DG", "Name=sda"}));
  Add(&db, Record<SrmMountPoint>({"Id=mp1", "MountLocation=DG"}));
  Add(&db, Record<SrmShare>({"Id=sh1", "VolumeId=sda"}));
  EXPECT_EQ(1, db.removeResource(SRM_DISK, "d1"));
  EXPECT_NE(nullptr, db.findResource(SRM_MOUNTPOINT, "mp1"));
  EXPECT_NE(nullptr, db.findResource(SRM_SHARE, "sh1"));
  EXPECT_EQ(3 - 1, db.getResourceCount());
}

TEST_F(DatabaseTest, RemovingARecordDropsItFromServiceGroupsAndComputers) {
  auto* h1 = new SrmComputer("h1");
  AddComputer(&db, h1);
  auto* vm = Record<SrmDisk>({"Id=d1"});
  Add(&db, vm);
  EXPECT_EQ(1, db.addComputerResource("h1", vm));
  auto* group = new SrmServiceGroup("g1");
  EXPECT_EQ(1, db.addServiceGroup(group));
  group->Release();
  EXPECT_EQ(1, db.addServiceGroupResource("g1", vm));

  // A disk starts at the volume-group pass; the database never held a volume group, so the
  // computers keep their entries.
  EXPECT_EQ(1, db.removeResource(SRM_DISK, "d1"));
  EXPECT_EQ(0, group->getResourceList()->getResourceCount());
  EXPECT_EQ(1, h1->getResourceList()->getResourceCount());

  // Kinds without a pass of their own go straight to the computers.
  auto* fs = Record<SrmFileSystem>({"Id=fs1"});
  Add(&db, fs);
  auto* vs = Record<SrmShare>({"Id=s1"});
  Add(&db, vs);
  EXPECT_EQ(1, db.addComputerResource("h1", vs));
  EXPECT_EQ(1, db.removeResource(SRM_SHARE, "s1"));
  EXPECT_EQ(nullptr, h1->getResourceList()->findResource(SRM_SHARE, "s1"));
}

TEST_F(DatabaseTest, RemovingThisComputerForgetsIt) {
  auto* h1 = new SrmComputer("h1");
  AddComputer(&db, h1, 1);
  EXPECT_EQ(1, db.removeResource(SRM_COMPUTER, "h1"));
  EXPECT_EQ(nullptr, db.getThisComputer());
  EXPECT_EQ(0, db.getComputerList()->getResourceCount());
}

TEST_F(DatabaseTest, RemovingAChunkUnlinksItFromVolumes) {
  auto* chunk = Record<SrmDiskChunk>({"Id=c1", "Disk=d1"});
  Add(&db, chunk);
  auto* volume = new SrmVolume(&db);
  CSRMReportTuple tuple;
  tuple.addElement("\"Id=v1\"");
  EXPECT_EQ(1, volume->deserialize(-1, &tuple));
  Add(&db, volume);
  ASSERT_NE(nullptr, volume->getDiskChunkList());
  EXPECT_EQ(1, volume->getDiskChunkList()->addResource(chunk));

  EXPECT_EQ(1, db.removeResource(SRM_DISKCHUNK, "c1"));
  EXPECT_EQ(0, volume->getDiskChunkList()->getResourceCount());
}

TEST_F(DatabaseTest, ErrorsAreFiledUnderTheirOwner) {
  EXPECT_EQ(0, db.addError("", "x", 22, 2));
  EXPECT_EQ(0, db.addError("h1", "", 22, 2));
  EXPECT_EQ(1, db.addError("H1", "no label", 22, 2));
  EXPECT_EQ(1, db.getErrorList()->getErrorCount("h1"));

  int code = 0;
  EXPECT_EQ(0, db.addError(nullptr, "h1"));
  EXPECT_EQ("Add error failed", LastMessage(db, &code));
  EXPECT_EQ(12, code);
  auto* blank = new SrmError(&db);
  EXPECT_EQ(0, db.addError(blank, "h1"));
  EXPECT_EQ("Add error failed, invalid error object", LastMessage(db, &code));
  EXPECT_EQ(22, code);
  delete blank;
  EXPECT_EQ(1, db.addError(new SrmError("bad", 5, 4, "", "", ""), "h1"));
  EXPECT_EQ(2, db.getErrorList()->getErrorCount());
}

TEST_F(DatabaseTest, LastErrorSlotHoldsItsRecord) {
  auto* disk = Record<SrmDisk>({"Id=d1"});
  db.setErrorInfo(5, "first", disk);
  EXPECT_EQ(2, disk->getRefCount());
  db.setErrorInfo(5, "again", disk);  // the same record kept again keeps one reference
  EXPECT_EQ(2, disk->getRefCount());
  SrmResource* held = nullptr;
  int code = 0;
  std::string message;
  db.getLastErrorInfo(&code, &message, &held);
  EXPECT_EQ(disk, held);
  EXPECT_EQ("again", message);
  db.setErrorInfo(9, "other", nullptr);
  EXPECT_EQ(1, disk->getRefCount());
  disk->Release();
}

TEST_F(DatabaseTest, StreamsAttachAndDetach) {
  int code = 0;
  EXPECT_EQ(0, db.attachStream(-1));
  EXPECT_EQ("attach Stream failed", LastMessage(db, &code));
  EXPECT_EQ(22, code);
  EXPECT_EQ(0, db.detachStream(-1));
  EXPECT_EQ("detach Stream failed", LastMessage(db, &code));
  EXPECT_EQ(9, code);
  EXPECT_EQ(1, db.detachStream(0));

  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  EXPECT_EQ(1, db.attachStream(fds[0]));
  EXPECT_NE(nullptr, db.getTupleStream());
  EXPECT_EQ(1, db.detachStream(fds[0]));
  EXPECT_EQ(nullptr, db.getTupleStream());
  EXPECT_EQ(nullptr, db.getStreamFD());
  close(fds[0]);
  close(fds[1]);
}

TEST_F(DatabaseTest, LowestLLTNodeGivesTheAddress) {
  EXPECT_EQ("", db.getLowestLLTNodeIp());
  EXPECT_EQ("Get Lowest LLT node ip failed", LastMessage(db));

  AddComputer(&db, Record<SrmComputer>({"Id=c1", "LLTId=2", "IPAddr=10.0.0.1"}));
  AddComputer(&db, Record<SrmComputer>({"Id=c2", "LLTId=1", "IPAddr=10.0.0.2"}));
  EXPECT_EQ("10.0.0.2", db.getLowestLLTNodeIp());
  AddComputer(&db, Record<SrmComputer>({"Id=c0", "LLTId=1"}));
  EXPECT_EQ("", db.getLowestLLTNodeIp()) << "ties keep the lower Id, whose address is empty";
}

TEST_F(DatabaseTest, ServiceGroupsAreFiledOncePerName) {
  auto* g1 = new SrmServiceGroup("g1");
  auto* g2 = new SrmServiceGroup("g2");
  auto* twin = new SrmServiceGroup("g1");
  EXPECT_EQ(1, db.addServiceGroup(g1));
  EXPECT_EQ(1, db.addServiceGroup(g2));
  EXPECT_EQ(0, db.addServiceGroup(twin));
  EXPECT_EQ(0, db.addServiceGroup(nullptr));
  EXPECT_EQ(&db, g1->getDatabase());

  EXPECT_EQ(1, db.setChildServiceGroup("g1", "g2"));
  EXPECT_EQ(g2, g1->getNextServiceGroup());
  EXPECT_EQ(0, db.setChildServiceGroup("g1", "nope"));
  EXPECT_EQ(0, db.removeServiceGroup("nope"));
  EXPECT_EQ(0, db.removeServiceGroup(""));
  EXPECT_EQ(1, db.removeServiceGroup("g2"));
  EXPECT_EQ(nullptr, g1->getNextServiceGroup()) << "the parent's link to a removed child goes";
  EXPECT_EQ(nullptr, db.findServiceGroup("g2"));
  g1->Release();
  g2->Release();
  twin->Release();
}

TEST_F(DatabaseTest, ResourceStateMasksReachEveryRecordAndThisComputer) {
  auto* h1 = new SrmComputer("h1");
  AddComputer(&db, h1);
  auto* disk = Record<SrmDisk>({"Id=d1"});
  Add(&db, disk);
  db.unsetAllResourceState(SRM_FLAG_REPORT | SRM_FLAG_MARKED);
  EXPECT_EQ(SRM_FLAG_VIRTUAL_REPORT, disk->getFlags());
  EXPECT_EQ(0, h1->getFlags());
  db.setAllResourceState(SRM_FLAG_MERGED);
  EXPECT_EQ(SRM_FLAG_VIRTUAL_REPORT | SRM_FLAG_MERGED, disk->getFlags());
  EXPECT_EQ(SRM_DEFAULT_FLAGS | SRM_FLAG_MERGED, h1->getFlags());
}

}  // namespace
