#include <gtest/gtest.h>

#include <string>

#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "db_test_util.h"
#include "kinds/alias_identity.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "kinds/disk_chunk.h"
#include "kinds/file_system.h"
#include "kinds/mount_point.h"
#include "kinds/share.h"
#include "kinds/volume.h"
#include "kinds/volume_group.h"
#include "kinds/volume_manager.h"

namespace {

using dbtest::Add;
using dbtest::LastMessage;
using dbtest::Load;
using dbtest::Record;
using dbtest::Serialize;

const char kEmptyHeader[] =
    "\"SrmResourceDbVersion=1.0\",\"ResourceCount=0\",\"ClusterAlias=\",\"ClusterId=\","
    "\"ClusterName=\",\"ClusterVersion=\",\"MemberCount=0\",\"SGCount=0\",;\n";

// Lines of text, without their line ends.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// A volume named id, in db.
SrmVolume* Volume(SrmResourceDatabase* db, const std::string& id) {
  auto* v = new SrmVolume(id);
  Add(db, v);
  return v;
}

// A host with something of every kind: disks, a chunk, a volume manager, volumes with a
// sub-volume, a volume group, a file system, a mount point, a share, an alias, an error and a
// service group.
void FillHost(SrmResourceDatabase* db) {
  auto* host = Record<SrmComputer>({"Id=host1", "HostName=host1", "OS=Linux", "RAMMB=8192"});
  EXPECT_EQ(1, db->addComputer(host, 1));
  host->Release();
  Add(db, Record<SrmDisk>({"Id=disk0", "Name=sda", "Sign=17", "CapacityKB=3907018584"}));
  Add(db, Record<SrmDisk>({"Id=disk1", "Name=sdb", "Sign=18", "LId=WWN-1"}));
  auto* chunk = Record<SrmDiskChunk>({"Id=disk0p1", "Disk=disk0", "Start=2048", "Length=1024"});
  Add(db, chunk);
  Add(db, Record<SrmVolumeManager>({"Id=lvm", "IdType=3", "VolumeMgrName=LVM2"}));
  SrmVolume* root = Volume(db, "vol-root");
  SrmVolume* leg = Volume(db, "vol-leg");
  EXPECT_EQ(1, root->addSubVolume(leg));
  EXPECT_EQ(1, leg->addDiskChunk(chunk));
  auto* group = new SrmVolumeGroup(db);
  group->setId("vg0");
  group->setName("vg0");
  Add(db, group);
  EXPECT_EQ(1, group->addVolume(root));
  EXPECT_EQ(1, group->addDisk(db->findResource(SRM_DISK, "disk0")));
  Add(db, Record<SrmFileSystem>({"Id=fs-root", "Volume=vol-root", "FSType=ext4"}));
  Add(db, Record<SrmMountPoint>({"Id=mp-root", "VolumeId=vol-root", "MountPointName=/"}));
  Add(db, Record<SrmShare>({"Id=share-home", "VolumeId=vol-root", "ShareName=home"}));
  Add(db, Record<SrmId>({"Id=alias1", "IdType=1", "PrimaryId=host1"}));
  EXPECT_EQ(1, db->addError("host1", "disk2 did not answer", 5, 4));
  auto* sg = new SrmServiceGroup("sg-data");
  EXPECT_EQ(1, db->addServiceGroup(sg));
  sg->Release();
  EXPECT_EQ(1, db->addServiceGroupResource("sg-data", db->findResource(SRM_DISK, "disk1")));
}

TEST(DatabaseSerialization, EmptyDatabaseIsItsHeader) {
  SrmResourceDatabase db;
  int rc = 0;
  EXPECT_EQ(kEmptyHeader, Serialize(&db, &rc));
  EXPECT_EQ(1, rc);
}

TEST(DatabaseSerialization, CountsTakeInRecordsAndErrors) {
  SrmResourceDatabase db;
  Add(&db, Record<SrmDisk>({"Id=d1", "Name=sda"}));
  db.addError("disk", "no label", 22, 2);
  std::vector<std::string> lines = Lines(Serialize(&db));
  ASSERT_EQ(3u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("\"ResourceCount=2\""));
  EXPECT_EQ(0u, lines[1].find("\"Type=Disk\",\"Id=d1\""));
  EXPECT_EQ("\"Type=Error\",\"Id=disk\",\"ErrorDesc=no label\",\"Ecode=22\",\"Sev=2\",;", lines[2]);
}

TEST(DatabaseSerialization, LongClusterTextsAreWrittenWhole) {
  SrmResourceDatabase db;
  db.cluster_name = std::string(3000, 'c');
  db.cluster_alias = "alias";
  db.member_count = 3;
  std::string text = Serialize(&db);
  EXPECT_NE(std::string::npos, text.find("\"ClusterName=" + db.cluster_name + "\""));

  SrmResourceDatabase loaded;
  EXPECT_EQ(1, Load(&loaded, text));
  EXPECT_EQ(db.cluster_name, loaded.cluster_name);
  EXPECT_EQ("alias", loaded.cluster_alias);
  EXPECT_EQ(3, loaded.member_count);
}

TEST(DatabaseSerialization, SubVolumesComeFirstAndOnce) {
  SrmResourceDatabase db;
  SrmVolume* v1 = Volume(&db, "V1");
  SrmVolume* v2 = Volume(&db, "V2");
  EXPECT_EQ(1, v1->addSubVolume(v2));
  int rc = 0;
  std::vector<std::string> lines = Lines(Serialize(&db, &rc));
  EXPECT_EQ(1, rc);
  // header, V2, then V1 followed by the reference to its sub-volume
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ(0u, lines[1].find("\"Type=Volume\",\"Id=V2\""));
  EXPECT_EQ(0u, lines[2].find("\"Type=Volume\",\"Id=V1\""));
  EXPECT_EQ("\"Type=Volume\",\"Id=V2\",;", lines[3]);
}

TEST(DatabaseSerialization, ACycleOfSubVolumesIsWrittenOnceEach) {
  SrmResourceDatabase db;
  SrmVolume* top = Volume(&db, "A-top");
  SrmVolume* b = Volume(&db, "B");
  SrmVolume* c = Volume(&db, "C");
  EXPECT_EQ(1, top->addSubVolume(b));
  EXPECT_EQ(1, b->addSubVolume(c));
  EXPECT_EQ(1, c->addSubVolume(b));  // B and C hold each other
  EXPECT_EQ(1, c->addSubVolume(c));  // and C holds itself
  int rc = 0;
  std::string text = Serialize(&db, &rc);
  EXPECT_EQ(1, rc) << LastMessage(db);
  for (const char* id : {"A-top", "B", "C"}) {
    std::string line = std::string("\"Type=Volume\",\"Id=") + id + "\",\"State";
    size_t first = text.find(line);
    EXPECT_NE(std::string::npos, first) << id;
    EXPECT_EQ(std::string::npos, text.find(line, first + 1)) << id << " written twice";
  }
  // The database is destroyed here with the cycle in place: the sanitizer build checks that
  // every volume is released.
}

TEST(DatabaseSerialization, RoundTripGivesTheSameText) {
  SrmResourceDatabase db;
  FillHost(&db);
  // A withdrawn disk (State 9) stays withdrawn when reloaded.
  Add(&db, Record<SrmDisk>({"Id=disk9", "Name=sdz", "Sign=9"}));
  db.findResource(SRM_DISK, "disk9")->setReport(false);

  int rc = 0;
  std::string first = Serialize(&db, &rc);
  ASSERT_EQ(1, rc) << LastMessage(db);

  SrmResourceDatabase loaded;
  ASSERT_EQ(1, Load(&loaded, first)) << LastMessage(loaded);
  EXPECT_EQ(db.getResourceCount(), loaded.getResourceCount());
  EXPECT_EQ(1, loaded.getErrorList()->getErrorCount("host1"));
  ASSERT_NE(nullptr, loaded.findServiceGroup("sg-data"));
  EXPECT_EQ(1, loaded.findServiceGroup("sg-data")->getResourceList()->getResourceCount());
  ASSERT_NE(nullptr, loaded.getThisComputer());
  EXPECT_EQ("host1", loaded.getThisComputer()->getId());

  std::string second = Serialize(&loaded, &rc);
  EXPECT_EQ(1, rc) << LastMessage(loaded);
  EXPECT_EQ(first, second);
}

TEST(DatabaseSerialization, MissingRecordsFailTheLoadAndKeepWhatLoaded) {
  SrmResourceDatabase db;
  std::string text = kEmptyHeader;
  text.replace(text.find("ResourceCount=0"), 15, "ResourceCount=3");
  text += "\"Type=Disk\",\"Id=d1\",;\n\"Type=Disk\",\"Id=d2\",;\n";
  EXPECT_EQ(0, Load(&db, text));
  EXPECT_EQ("Failed to deserialize required number of resources", LastMessage(db));
  EXPECT_EQ(2, db.getResourceCount());
  // The database stays usable.
  EXPECT_EQ(1, Load(&db, kEmptyHeader));
}

TEST(DatabaseSerialization, TextCutInsideATupleKeepsWhatLoaded) {
  SrmResourceDatabase source;
  Add(&source, Record<SrmDisk>({"Id=d1", "Name=sda"}));
  Add(&source, Record<SrmDisk>({"Id=d2", "Name=sdb"}));
  std::string text = Serialize(&source);
  std::string cut = text.substr(0, text.rfind("\"Id=d2\""));

  SrmResourceDatabase db;
  EXPECT_EQ(0, Load(&db, cut));
  EXPECT_EQ("Failed to deserialize required number of resources", LastMessage(db));
  EXPECT_NE(nullptr, db.findResource(SRM_DISK, "d1"));
  EXPECT_EQ(nullptr, db.findResource(SRM_DISK, "d2"));
  EXPECT_EQ(1, Load(&db, text));
  EXPECT_NE(nullptr, db.findResource(SRM_DISK, "d2"));
}

TEST(DatabaseSerialization, LoadingEdgeCases) {
  struct Case {
    const char* name;
    std::string text;
    int result;
    const char* message;
    int records;
  } cases[] = {
      {"nothing at all", "", 0, "Failed to get any tuple to deserialize", 0},
      {"malformed header: no counts", "garbage,\"Type=Disk\",\"Id=d1\",;\n", 1, "", 0},
      {"unknown Type is consumed, not loaded",
       "\"ResourceCount=1\",;\n\"Type=Nonsense\",\"Id=x\",;\n", 0,
       "Failed to deserialize required number of resources", 0},
      {"missing service group", "\"ResourceCount=0\",\"SGCount=1\",;\n", 0,
       "Failed to deserialize required number of service groups", 0},
      {"service group loads", "\"SGCount=1\",;\n\"Type=ServiceGroup\",\"Id=g1\",;\n", 1, "", 0},
  };
  for (const Case& c : cases) {
    SrmResourceDatabase db;
    EXPECT_EQ(c.result, Load(&db, c.text)) << c.name;
    if (c.result == 0) {
      EXPECT_EQ(c.message, LastMessage(db)) << c.name;
    }
    EXPECT_EQ(c.records, db.getResourceCount()) << c.name;
  }
}

TEST(DatabaseSerialization, AComputerThatFailsToLoadDoesNotStayThisComputer) {
  SrmResourceDatabase db;
  auto* first = Record<SrmComputer>({"Id=h1", "HostName=h1"});
  ASSERT_EQ(1, db.addComputer(first, 1));
  first->Release();
  // The second computer has no Id: the list refuses it.
  EXPECT_EQ(1, Load(&db, "\"ResourceCount=1\",;\n\"Type=System\",\"HostName=h2\",;\n"));
  ASSERT_NE(nullptr, db.getThisComputer());
  EXPECT_EQ("h1", db.getThisComputer()->getId());
}

TEST(DatabaseSerialization, DeepChainOfSubVolumes) {
  constexpr int kDepth = 100000;
  SrmResourceDatabase db;
  auto name = [](int i) { return "v" + std::to_string(1000000 + i); };
  SrmVolume* parent = Volume(&db, name(0));
  for (int i = 1; i < kDepth; ++i) {
    SrmVolume* child = Volume(&db, name(i));
    ASSERT_EQ(1, parent->addSubVolume(child));
    parent = child;
  }
  int rc = 0;
  std::string text = Serialize(&db, &rc);
  ASSERT_EQ(1, rc) << LastMessage(db);
  // The deepest volume comes first, right after the header.
  EXPECT_EQ(text.find('\n') + 1, text.find("\"Type=Volume\",\"Id=" + name(kDepth - 1) + "\""));

  SrmResourceDatabase loaded;
  ASSERT_EQ(1, Load(&loaded, text)) << LastMessage(loaded);
  EXPECT_EQ(kDepth, loaded.getResourceCount());
  EXPECT_EQ(0, loaded.resolveDatabase());
}

}  // namespace
