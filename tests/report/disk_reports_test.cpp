// The disk passes through a whole host report: the drives and partitions filed in the disk
// category, their associations with the system and with each other, what a withdrawn disk or
// chunk leaves behind, and the gathering of a volume's chunks over any sub-volume shape.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "report_test_util.h"

namespace report_test {
namespace {

class DiskReportsTest : public ::testing::Test {
 protected:
  DiskReportsTest() { db_.AddHost("host"); }

  const CCIMInstance* Filed(int category, const std::string& id) {
    return run_->Filed(category, id);
  }
  const CCIMInstance* Association(const std::string& key) { return run_->Association(key); }

  TestDb db_;
  ReportRun run_;
};

TEST_F(DiskReportsTest, DriveCarriesItsPropertiesInOrder) {
  SrmDisk* disk = db_.AddDisk("d1", "/dev/sda");
  disk->setMake("Maker");
  disk->setModel("M-1");
  disk->setRevision("0001");
  disk->setSerialNum("SN42");
  disk->setRPM(7200);
  disk->setDiskType(9);
  disk->setCapacity(1048576);  // 1 GB
  ASSERT_EQ(1, run_.Generate(db_.db()));

  const CCIMInstance* drive = Filed(QDX_Report::kDisks, "d1");
  ASSERT_NE(nullptr, drive);
  EXPECT_STREQ("Tavrix_RM_DiskDrive", drive->className);
  EXPECT_EQ((std::vector<std::string>{"SystemCreationClassName", "SystemName", "CreationClassName",
                                      "DeviceID", "Name", "ElementName", "DiskMake", "DiskModel",
                                      "Revision", "DiskRPM", "SerialNumber", "DiskType",
                                      "TotalCapacity"}),
            PropertyNames(drive));
  EXPECT_EQ("CIM_ComputerSystem", Prop(drive, "SystemCreationClassName"));
  EXPECT_EQ("host", Prop(drive, "SystemName"));
  EXPECT_EQ("d1", Prop(drive, "DeviceID"));
  EXPECT_EQ("d1", Prop(drive, "Name"));
  EXPECT_EQ("/dev/sda", Prop(drive, "ElementName"));
  EXPECT_EQ("Maker", Prop(drive, "DiskMake"));
  EXPECT_EQ("M-1", Prop(drive, "DiskModel"));
  EXPECT_EQ("0001", Prop(drive, "Revision"));
  EXPECT_EQ("7200", Prop(drive, "DiskRPM"));
  EXPECT_EQ(nmspc_cim::CIM_UINT64, FindProperty(drive, "DiskRPM")->type);
  EXPECT_EQ("SN42", Prop(drive, "SerialNumber"));
  EXPECT_EQ("Unknown", Prop(drive, "DiskType"));  // beyond the known types
  EXPECT_EQ("1073741824", Prop(drive, "TotalCapacity"));
  EXPECT_EQ(nmspc_cim::CIM_UINT64, FindProperty(drive, "TotalCapacity")->type);
  // The four names of a logical device are its keys, and nothing else is.
  for (const CCIMProperty* p : Properties(drive->properties)) {
    std::string name = p->name;
    bool key = name == "SystemCreationClassName" || name == "SystemName" ||
               name == "CreationClassName" || name == "DeviceID";
    EXPECT_EQ(key ? nmspc_cim::CIM_TRUE : nmspc_cim::CIM_FALSE, p->isKey) << name;
  }
  EXPECT_TRUE(
      Logged(PRV_LOG_INFO, "Get_Disk_Instances", "Successfully created Disk CIM Instances"));
}

TEST_F(DiskReportsTest, SizesAreBytesWithoutWrapping) {
  const struct {
    int64_t kb;
    const char* bytes;
  } cases[] = {
      {0, "0"},
      {3907018584, "4000787030016"},  // a 4 TB disk
      {int64_t{1} << 53, "9223372036854775808"},
      {(int64_t{1} << 54) - 1, "18446744073709550592"},
      {int64_t{1} << 54, "18446744073709551615"},  // beyond 64 bits: the largest value
      {std::numeric_limits<int64_t>::max(), "18446744073709551615"},
  };
  int n = 0;
  for (const auto& c : cases) db_.AddDisk("d" + std::to_string(n++), "x")->setCapacity(c.kb);
  ASSERT_EQ(1, run_.Generate(db_.db()));
  n = 0;
  for (const auto& c : cases) {
    EXPECT_EQ(c.bytes, Prop(Filed(QDX_Report::kDisks, "d" + std::to_string(n++)), "TotalCapacity"))
        << c.kb;
  }
}

TEST_F(DiskReportsTest, SystemHoldsEachDiskTwice) {
  db_.AddDisk("d1", "/dev/sda");
  ASSERT_EQ(1, run_.Generate(db_.db()));

  const CCIMInstance* device = Association("host~d1~SystemDevice");
  ASSERT_NE(nullptr, device);
  EXPECT_STREQ("CIM_SystemDevice", device->className);
  EXPECT_EQ((std::vector<std::string>{"GroupComponent", "PartComponent"}), PropertyNames(device));
  EXPECT_EQ("Tavrix_RM_HalcyonUnitaryComputerSystem", RefClass(device, "GroupComponent"));
  EXPECT_EQ("host", RefKey(device, "GroupComponent", "Name"));
  EXPECT_EQ("Tavrix_RM_DiskDrive", RefClass(device, "PartComponent"));
  EXPECT_EQ("d1", RefKey(device, "PartComponent", "DeviceID"));

  const CCIMInstance* path = Association("host~d1~PathToDisk");
  ASSERT_NE(nullptr, path);
  EXPECT_STREQ("Tavrix_RM_PathToDisk", path->className);
  EXPECT_EQ((std::vector<std::string>{"GroupComponent", "PartComponent", "PathName"}),
            PropertyNames(path));
  EXPECT_EQ("/dev/sda", Prop(path, "PathName"));
  EXPECT_EQ(nmspc_cim::CIM_FALSE, FindProperty(path, "PathName")->isKey);
  EXPECT_EQ("d1", RefKey(path, "PartComponent", "DeviceID"));
}

TEST_F(DiskReportsTest, WithdrawnDiskIsSkippedWithAWarning) {
  db_.AddDisk("d1", "/dev/sda")->setReport(false);
  db_.AddDisk("d2", "/dev/sdb");
  ASSERT_EQ(1, run_.Generate(db_.db()));

  EXPECT_EQ(nullptr, Filed(QDX_Report::kDisks, "d1"));
  EXPECT_EQ(nullptr, Association("host~d1~SystemDevice"));
  EXPECT_EQ(nullptr, Association("host~d1~PathToDisk"));
  EXPECT_NE(nullptr, Association("host~d2~PathToDisk"));  // the next disk goes on
  // One warning: the second association is not attempted once an end is missing.
  int warnings = 0;
  for (const std::string& r : ResultLines()) {
    if (r.rfind("W_CIMINSTANCE_NOT_FOUND|", 0) == 0) ++warnings;
  }
  EXPECT_EQ(1, warnings);
  EXPECT_TRUE(Raised("W_CIMINSTANCE_NOT_FOUND", "d1", "QDXID of the ciminstance trying to find."));
}

TEST_F(DiskReportsTest, NothingToReportStillSucceeds) {
  ASSERT_EQ(1, run_.Generate(db_.db()));
  EXPECT_TRUE(Logged(PRV_LOG_INFO, "Get_Disk_Instances", "No disks found."));
  EXPECT_TRUE(Logged(PRV_LOG_WARNING, "Get_DiskPartition_Instances", "No disk partitions found."));
  EXPECT_TRUE(run_->category(QDX_Report::kDisks).empty());
}

TEST_F(DiskReportsTest, PartitionOfItsDisk) {
  db_.AddDisk("d1", "/dev/sda");
  SrmDiskChunk* chunk = db_.AddChunk("c1", "d1", 2048, 1024);
  chunk->setDiskChunk("sda1");
  db_.AddChunk("c0", "d1")->setReport(false);
  ASSERT_EQ(1, run_.Generate(db_.db()));

  EXPECT_EQ(nullptr, Filed(QDX_Report::kDisks, "c0"));
  const CCIMInstance* partition = Filed(QDX_Report::kDisks, "c1");
  ASSERT_NE(nullptr, partition);
  EXPECT_STREQ("Tavrix_RM_DiskPartition", partition->className);
  EXPECT_EQ((std::vector<std::string>{"SystemCreationClassName", "SystemName", "CreationClassName",
                                      "DeviceID", "Name", "ElementName", "StartByte", "Length"}),
            PropertyNames(partition));
  EXPECT_EQ("Tavrix_RM_DiskPartition", Prop(partition, "CreationClassName"));
  EXPECT_EQ("host", Prop(partition, "SystemName"));
  EXPECT_EQ("c1", Prop(partition, "DeviceID"));
  EXPECT_EQ("c1", Prop(partition, "Name"));
  EXPECT_EQ("sda1", Prop(partition, "ElementName"));
  EXPECT_EQ("2048", Prop(partition, "StartByte"));
  EXPECT_EQ("1048576", Prop(partition, "Length"));

  const CCIMInstance* component = Association("c1~d1");
  ASSERT_NE(nullptr, component);
  EXPECT_STREQ("CIM_ConcreteComponent", component->className);
  EXPECT_EQ("Tavrix_RM_DiskDrive", RefClass(component, "GroupComponent"));
  EXPECT_EQ("d1", RefKey(component, "GroupComponent", "DeviceID"));
  EXPECT_EQ("Tavrix_RM_DiskPartition", RefClass(component, "PartComponent"));
  EXPECT_EQ("c1", RefKey(component, "PartComponent", "DeviceID"));
  EXPECT_TRUE(Logged(PRV_LOG_INFO, "Get_DiskPartition_Instances",
                     "Successfully created Disk Partition CIM Instances"));
}

TEST_F(DiskReportsTest, PartitionOfAnUnreportedDiskFailsTheReport) {
  db_.AddDisk("d1", "/dev/sda")->setReport(false);
  db_.AddChunk("c1", "d1");
  EXPECT_EQ(0, run_.Generate(db_.db()));
  EXPECT_TRUE(Logged(PRV_LOG_ERROR, "GenerateCIMReports", "Get_DiskPartition_Instances FAILED"));
  EXPECT_TRUE(Raised("F_REPORT_CONV_FAILURE", "Get_DiskPartition_Instances", "FailurePoint"));
  EXPECT_EQ(nullptr, Association("c1~d1"));
}

// --- The chunks of a volume ---

class CollectDiskChunksTest : public DiskReportsTest {
 protected:
  SrmVolume* Volume(const std::string& id, std::initializer_list<const char*> chunks) {
    SrmVolume* v = db_.AddVolume(id, id);
    for (const char* c : chunks) {
      SrmResource* chunk = db_.db()->findResource(SRM_DISKCHUNK, c);
      if (chunk == nullptr) chunk = db_.AddChunk(c, "d1");
      EXPECT_EQ(1, v->addDiskChunk(chunk));
    }
    return v;
  }
  std::vector<std::string> Collected(SrmVolume* v) {
    run_->CollectDiskChunks(v);
    std::vector<std::string> ids;
    for (const auto& entry : run_->disk_chunk_set()) ids.push_back(entry.first);
    return ids;
  }
};

TEST_F(CollectDiskChunksTest, SharedChunkOnce) {
  SrmVolume* top = Volume("v", {"c9"});
  SrmVolume* left = Volume("a", {"c2", "c1"});
  SrmVolume* right = Volume("b", {"c1", "c3"});
  ASSERT_EQ(1, top->addSubVolume(left));
  ASSERT_EQ(1, top->addSubVolume(right));
  EXPECT_EQ((std::vector<std::string>{"c1", "c2", "c3", "c9"}), Collected(top));
  // The set keeps what it held: the volume pass empties it before each volume.
  EXPECT_EQ((std::vector<std::string>{"c1", "c2", "c3", "c9"}), Collected(left));
}

TEST_F(CollectDiskChunksTest, CyclesEndTheWalk) {
  SrmVolume* self = Volume("s", {"c1"});
  ASSERT_EQ(1, self->addSubVolume(self));
  EXPECT_EQ((std::vector<std::string>{"c1"}), Collected(self));

  SrmVolume* a = Volume("a", {"c2"});
  SrmVolume* b = Volume("b", {"c3"});
  ASSERT_EQ(1, a->addSubVolume(b));
  ASSERT_EQ(1, b->addSubVolume(a));
  EXPECT_EQ((std::vector<std::string>{"c1", "c2", "c3"}), Collected(b));
}

TEST_F(CollectDiskChunksTest, DeepHierarchyDoesNotExhaustTheStack) {
  constexpr int kDepth = 100000;
  SrmVolume* top = Volume("v", {});
  SrmVolume* parent = top;
  for (int i = 0; i < kDepth; ++i) {
    SrmVolume* sub = db_.AddVolume("v" + std::to_string(i), "x");
    ASSERT_EQ(1, parent->addSubVolume(sub));
    parent = sub;
  }
  ASSERT_EQ(1, parent->addDiskChunk(db_.AddChunk("deepest", "d1")));
  EXPECT_EQ((std::vector<std::string>{"deepest"}), Collected(top));
}

TEST_F(CollectDiskChunksTest, VolumeWithoutChunks) {
  EXPECT_TRUE(Collected(Volume("v", {})).empty());
  run_->CollectDiskChunks(nullptr);
  EXPECT_TRUE(run_->disk_chunk_set().empty());
}

}  // namespace
}  // namespace report_test
