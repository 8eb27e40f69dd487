// The volume and disk group passes through a whole host report: storage volumes based on the
// partitions of their whole sub-volume tree, their volume manager's name, disk groups with
// their disk and volume members, and what an unreported member does to each.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report_test_util.h"

namespace report_test {
namespace {

class VolumeReportsTest : public ::testing::Test {
 protected:
  VolumeReportsTest() {
    db_.AddHost("host");
    db_.AddDisk("d1", "/dev/sda");
    db_.AddDisk("d2", "/dev/sdb");
  }

  const CCIMInstance* Filed(int category, const std::string& id) {
    return run_->Filed(category, id);
  }
  const CCIMInstance* Association(const std::string& key) { return run_->Association(key); }
  // The association keys that start with prefix, in map order.
  std::vector<std::string> AssociationKeys(const std::string& prefix) {
    std::vector<std::string> keys;
    for (const auto& entry : run_->associations()) {
      if (entry.first.rfind(prefix, 0) == 0) keys.push_back(entry.first);
    }
    return keys;
  }
  // A volume on the given chunks (made on d1 when new).
  SrmVolume* Volume(const std::string& id, std::initializer_list<const char*> chunks) {
    SrmVolume* v = db_.AddVolume(id, "/dev/vx/" + id);
    for (const char* c : chunks) {
      SrmResource* chunk = db_.db()->findResource(SRM_DISKCHUNK, c);
      if (chunk == nullptr) chunk = db_.AddChunk(c, "d1");
      EXPECT_EQ(1, v->addDiskChunk(chunk));
    }
    return v;
  }
  SrmVolumeGroup* Group(const std::string& id, const std::string& manager) {
    SrmVolumeGroup* g = db_.AddVolumeGroup(id, "dg-" + id);
    g->setVolumeMgrId(manager);
    return g;
  }

  TestDb db_;
  ReportRun run_;
};

TEST_F(VolumeReportsTest, VolumeCarriesItsPropertiesInOrder) {
  db_.AddVolumeManager("m1", 3, "VolMan", "4.1");
  SrmVolume* v = Volume("v1", {"c1"});
  v->setVolumeMgrId("3");
  v->setStatus(2);
  v->setVolumeType(5);
  v->setCapacity(2048);
  v->setFreeSpace(1024);
  v->setVolumeTypeDesc("Mirrored");
  ASSERT_EQ(1, run_.Generate(db_.db()));

  const CCIMInstance* volume = Filed(QDX_Report::kVolumes, "v1");
  ASSERT_NE(nullptr, volume);
  EXPECT_STREQ("Tavrix_RM_StorageVolume", volume->className);
  EXPECT_EQ((std::vector<std::string>{"SystemCreationClassName", "SystemName", "CreationClassName",
                                      "DeviceID", "ElementName", "VolMgrName", "VolMgrVersion",
                                      "StatusCode", "VolumeType", "TotalStorage",
                                      "AvailableStorage", "Description"}),
            PropertyNames(volume));
  EXPECT_EQ("host", Prop(volume, "SystemName"));
  EXPECT_EQ("Tavrix_RM_StorageVolume", Prop(volume, "CreationClassName"));
  EXPECT_EQ("v1", Prop(volume, "DeviceID"));
  EXPECT_EQ("/dev/vx/v1", Prop(volume, "ElementName"));
  EXPECT_EQ("VolMan", Prop(volume, "VolMgrName"));
  EXPECT_EQ("4.1", Prop(volume, "VolMgrVersion"));
  EXPECT_EQ("2", Prop(volume, "StatusCode"));
  EXPECT_EQ(nmspc_cim::CIM_UINT16, FindProperty(volume, "StatusCode")->type);
  EXPECT_EQ("5", Prop(volume, "VolumeType"));
  EXPECT_EQ("2097152", Prop(volume, "TotalStorage"));
  EXPECT_EQ("1048576", Prop(volume, "AvailableStorage"));
  EXPECT_EQ("Mirrored", Prop(volume, "Description"));

  const CCIMInstance* device = Association("host~v1");
  ASSERT_NE(nullptr, device);
  EXPECT_STREQ("CIM_SystemDevice", device->className);
  EXPECT_EQ("host", RefKey(device, "GroupComponent", "Name"));
  EXPECT_EQ("v1", RefKey(device, "PartComponent", "DeviceID"));
  EXPECT_TRUE(
      Logged(PRV_LOG_INFO, "Get_Volume_Instances", "Successfully created Volume CIM Instances"));
}

TEST_F(VolumeReportsTest, OptionalPropertiesAndVolumeManagerNames) {
  SrmVolumeManager* manager = db_.AddVolumeManager("m1", 3, "VolMan", "4.1");
  Volume("plain", {});                      // no manager, no description
  Volume("lost", {})->setVolumeMgrId("3");  // its manager's number changes below
  manager->setIdType(8);
  ASSERT_EQ(1, run_.Generate(db_.db()));

  const CCIMInstance* plain = Filed(QDX_Report::kVolumes, "plain");
  EXPECT_EQ((std::vector<std::string>{"SystemCreationClassName", "SystemName", "CreationClassName",
                                      "DeviceID", "ElementName", "StatusCode", "VolumeType",
                                      "TotalStorage", "AvailableStorage"}),
            PropertyNames(plain));
  const CCIMInstance* lost = Filed(QDX_Report::kVolumes, "lost");
  EXPECT_EQ("Unknown", Prop(lost, "VolMgrName"));
  EXPECT_EQ("Unknown", Prop(lost, "VolMgrVersion"));
}

TEST_F(VolumeReportsTest, VolumeManagerNamedButNoneInTheDatabase) {
  db_.AddVolumeManager("m1", 3, "VolMan", "4.1");
  Volume("v1", {})->setVolumeMgrId("3");
  ASSERT_EQ(1, db_.db()->removeResource(SRM_VOLUMEMANAGER, "m1"));
  ASSERT_EQ(1, run_.Generate(db_.db()));
  const CCIMInstance* volume = Filed(QDX_Report::kVolumes, "v1");
  EXPECT_EQ("", Prop(volume, "VolMgrName"));
  EXPECT_EQ("", Prop(volume, "VolMgrVersion"));
  EXPECT_TRUE(Logged(PRV_LOG_WARNING, "GetVolMgrNameandVer",
                     "No volume managers found but volumes are present."));
}

TEST_F(VolumeReportsTest, BasedOnEveryChunkOfTheSubVolumeTree) {
  SrmVolume* top = Volume("v1", {});
  SrmVolume* left = Volume("s1", {"c4", "c2"});
  SrmVolume* right = Volume("s2", {"c3", "c1"});
  ASSERT_EQ(1, top->addSubVolume(left));
  ASSERT_EQ(1, top->addSubVolume(right));
  ASSERT_EQ(1, run_.Generate(db_.db()));

  // Sub-volumes are reported only through the volume built on them.
  EXPECT_EQ(nullptr, Filed(QDX_Report::kVolumes, "s1"));
  EXPECT_EQ(nullptr, Filed(QDX_Report::kVolumes, "s2"));
  EXPECT_EQ((std::vector<std::string>{"v1~c1", "v1~c2", "v1~c3", "v1~c4"}), AssociationKeys("v1~"));
  const CCIMInstance* based = Association("v1~c3");
  ASSERT_NE(nullptr, based);
  EXPECT_STREQ("CIM_BasedOn", based->className);
  EXPECT_EQ((std::vector<std::string>{"Dependent", "Antecedent", "StartingAddress", "EndingAddress",
                                      "OrderIndex"}),
            PropertyNames(based));
  EXPECT_EQ("v1", RefKey(based, "Dependent", "DeviceID"));
  EXPECT_EQ("Tavrix_RM_DiskPartition", RefClass(based, "Antecedent"));
  EXPECT_EQ("c3", RefKey(based, "Antecedent", "DeviceID"));
  EXPECT_EQ("0", Prop(based, "StartingAddress"));
  EXPECT_EQ(nmspc_cim::CIM_UINT64, FindProperty(based, "EndingAddress")->type);
  EXPECT_EQ(nmspc_cim::CIM_UINT16, FindProperty(based, "OrderIndex")->type);
}

TEST_F(VolumeReportsTest, ChunksAreGatheredAfreshForEachVolume) {
  Volume("v1", {"c1"});
  Volume("v2", {"c2"});
  ASSERT_EQ(1, run_.Generate(db_.db()));
  EXPECT_EQ((std::vector<std::string>{"v1~c1"}), AssociationKeys("v1~"));
  EXPECT_EQ((std::vector<std::string>{"v2~c2"}), AssociationKeys("v2~"));
}

TEST_F(VolumeReportsTest, RingOfSubVolumesIsReportedOnce) {
  SrmVolume* top = Volume("v1", {"c1"});
  SrmVolume* a = Volume("a", {"c2"});
  SrmVolume* b = Volume("b", {"c3"});
  ASSERT_EQ(1, top->addSubVolume(a));
  ASSERT_EQ(1, a->addSubVolume(b));
  ASSERT_EQ(1, b->addSubVolume(a));
  ASSERT_EQ(1, run_.Generate(db_.db()));
  EXPECT_EQ((std::vector<std::string>{"v1~c1", "v1~c2", "v1~c3"}), AssociationKeys("v1~"));
}

TEST_F(VolumeReportsTest, VolumeOnAnUnreportedChunkFailsTheReport) {
  Volume("v1", {"c1"});
  db_.db()->findResource(SRM_DISKCHUNK, "c1")->setReport(false);
  EXPECT_EQ(0, run_.Generate(db_.db()));
  EXPECT_TRUE(Logged(PRV_LOG_ERROR, "GenerateCIMReports", "Get_Volumes_Instances FAILED"));
  EXPECT_TRUE(Raised("F_REPORT_CONV_FAILURE", "Get_Volumes_Instances", "FailurePoint"));
}

TEST_F(VolumeReportsTest, NoVolumesNoGroups) {
  ASSERT_EQ(1, run_.Generate(db_.db()));
  EXPECT_TRUE(Logged(PRV_LOG_WARNING, "Get_Volume_Instances", "No volumes found."));
  EXPECT_TRUE(Logged(PRV_LOG_INFO, "Get_DiskGroup_Instances", "No volume groups found."));
}

// --- Disk groups ---

TEST_F(VolumeReportsTest, DiskGroupWithItsMembers) {
  db_.AddVolumeManager("m1", 3, "VolMan", "4.1");
  SrmVolumeGroup* group = Group("g1", "3");
  group->setCapacity(4096);
  group->setFreeSpace(1);
  ASSERT_EQ(1, group->addDisk(db_.db()->findResource(SRM_DISK, "d2")));
  ASSERT_EQ(1, group->addDisk(db_.db()->findResource(SRM_DISK, "d1")));
  SrmVolume* top = Volume("v1", {"c1"});
  SrmVolume* sub = Volume("v2", {"c2"});
  ASSERT_EQ(1, top->addSubVolume(sub));
  ASSERT_EQ(1, group->addVolume(top));
  ASSERT_EQ(1, group->addVolume(sub));  // a sub-volume is no member of its own
  ASSERT_EQ(1, run_.Generate(db_.db()));

  const CCIMInstance* dg = Filed(QDX_Report::kDiskGroups, "g1");
  ASSERT_NE(nullptr, dg);
  EXPECT_STREQ("Tavrix_RM_VMDiskGroup", dg->className);
  EXPECT_EQ(
      (std::vector<std::string>{"CollectionID", "CreationClassName", "ElementName", "TotalStorage",
                                "AvailableStorage", "VolMgrName", "VolMgrVersion"}),
      PropertyNames(dg));
  EXPECT_EQ(nmspc_cim::CIM_TRUE, FindProperty(dg, "CollectionID")->isKey);
  EXPECT_EQ(nmspc_cim::CIM_FALSE, FindProperty(dg, "CreationClassName")->isKey);
  EXPECT_EQ("g1", Prop(dg, "CollectionID"));
  EXPECT_EQ("Tavrix_RM_VMDiskGroup", Prop(dg, "CreationClassName"));
  EXPECT_EQ("dg-g1", Prop(dg, "ElementName"));
  EXPECT_EQ("4194304", Prop(dg, "TotalStorage"));
  EXPECT_EQ("1024", Prop(dg, "AvailableStorage"));
  EXPECT_EQ("VolMan", Prop(dg, "VolMgrName"));
  EXPECT_EQ("4.1", Prop(dg, "VolMgrVersion"));

  const CCIMInstance* system_group = Association("host~g1");
  ASSERT_NE(nullptr, system_group);
  EXPECT_STREQ("Tavrix_RM_SystemDiskGroup", system_group->className);
  EXPECT_EQ("g1", RefKey(system_group, "PartComponent", "CollectionID"));

  for (const char* disk : {"d1", "d2"}) {
    const CCIMInstance* drive = Association(std::string(disk) + "~g1");
    ASSERT_NE(nullptr, drive) << disk;
    EXPECT_STREQ("CIM_DriveInDiskGroup", drive->className);
    EXPECT_EQ((std::vector<std::string>{"Collection", "Member"}), PropertyNames(drive));
    EXPECT_EQ("g1", RefKey(drive, "Collection", "CollectionID"));
    EXPECT_EQ(disk, RefKey(drive, "Member", "DeviceID"));
  }
  const CCIMInstance* extent = Association("v1~g1");
  ASSERT_NE(nullptr, extent);
  EXPECT_STREQ("CIM_ExtentInDiskGroup", extent->className);
  EXPECT_EQ("Tavrix_RM_StorageVolume", RefClass(extent, "Member"));
  EXPECT_EQ(nullptr, Association("v2~g1"));
  EXPECT_TRUE(Logged(PRV_LOG_INFO, "Get_DiskGroup_Instances",
                     "Successfully created DiskGroup CIM Instances"));
}

TEST_F(VolumeReportsTest, UnreportedVolumeIsNoMemberButTheGroupStands) {
  db_.AddVolumeManager("m1", 3, "VolMan", "4.1");
  SrmVolumeGroup* group = Group("g1", "3");
  SrmVolume* hidden = Volume("v1", {"c1"});
  hidden->setReport(false);
  ASSERT_EQ(1, group->addVolume(hidden));
  ASSERT_EQ(1, run_.Generate(db_.db()));
  EXPECT_EQ(nullptr, Filed(QDX_Report::kVolumes, "v1"));
  EXPECT_NE(nullptr, Filed(QDX_Report::kDiskGroups, "g1"));
  EXPECT_EQ(nullptr, Association("v1~g1"));
  EXPECT_TRUE(Raised("W_CIMINSTANCE_NOT_FOUND", "v1", "QDXID of the ciminstance trying to find."));
}

TEST_F(VolumeReportsTest, GroupFailures) {
  struct Case {
    const char* name;
    bool clear_manager;
    bool hide_disk;
    const char* log;
  };
  const Case cases[] = {
      {"unreported disk", false, true, nullptr},
      {"no volume manager", true, false, "Volume belongs to unknown Volumes Manager."},
  };
  for (const Case& c : cases) {
    TestDb db;
    ReportRun run;
    db.AddHost("host");
    db.AddVolumeManager("m1", 3, "VolMan", "4.1");
    SrmDisk* disk = db.AddDisk("d1", "/dev/sda");
    if (c.hide_disk) disk->setReport(false);
    SrmVolumeGroup* group = db.AddVolumeGroup("g1", "dg");
    if (!c.clear_manager) group->setVolumeMgrId("3");
    ASSERT_EQ(1, group->addDisk(disk));
    EXPECT_EQ(0, run.Generate(db.db())) << c.name;
    EXPECT_TRUE(Logged(PRV_LOG_ERROR, "GenerateCIMReports", "Get_DiskGroup_Instances FAILED"))
        << c.name;
    EXPECT_TRUE(Raised("F_REPORT_CONV_FAILURE", "Get_DiskGroup_Instances", "FailurePoint"))
        << c.name;
    if (c.log != nullptr) {
      EXPECT_TRUE(Logged(PRV_LOG_ERROR, "Get_DiskGroup_Instances", c.log)) << c.name;
    }
  }
}

}  // namespace
}  // namespace report_test
