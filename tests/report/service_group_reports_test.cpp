// Service groups of a cluster: each virtual server tied to what its group (and the groups it
// depends on) holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report_test_util.h"

namespace {

using namespace report_test;
using Names = std::vector<std::string>;

// The keys of the associations the service groups gave vs1 (its hosting by the cluster,
// "vs1~cl", left out), in order.
Names KeysFrom(const std::map<std::string, CCIMInstance*>& map, const std::string& prefix) {
  Names keys;
  for (const auto& entry : map) {
    if (entry.first.compare(0, prefix.size(), prefix) == 0 && entry.first != "vs1~cl") {
      keys.push_back(entry.first);
    }
  }
  return keys;
}

class ServiceGroupReportsTest : public ::testing::Test {
 protected:
  // A cluster whose group "sg" holds virtual server vs1, disks d1 and d2 (d2 withdrawn), volume
  // v1, volume group g1, share s1 and mount point m1 (file system f1 registered under it), and
  // depends on group "sg2", which holds disk d3.
  void SetUp() override {
    ResetCapture();
    db_.MakeCluster("VeritasCluster", "cl", "finance");
    db_.AddComputer("n1", "node1");
    vs_ = db_.AddVirtualServer("vs1", "finance-vip");
    SrmDisk* d1 = db_.AddDisk("d1", "/dev/sda");
    d2_ = db_.AddDisk("d2", "/dev/sdb");
    d2_->setReport(false);
    SrmDisk* d3 = db_.AddDisk("d3", "/dev/sdc");
    SrmVolume* v1 = db_.AddVolume("v1", "data");
    db_.AddVolumeManager("vm", 1, "vxvm", "7");
    SrmVolumeGroup* g1 = db_.AddVolumeGroup("g1", "datadg");
    g1->setVolumeMgrId("1");
    g1->addDisk(d1);
    SrmFileSystem* f1 = db_.AddFileSystem("f1", "v1");
    SrmShare* s1 = db_.AddShare("s1", "v1");
    SrmMountPoint* m1 = db_.AddMountPoint("m1", "v1");
    ASSERT_EQ(1, db_.db()->addGlobalId(SRM_FILESYSTEM, "m1", "f1"));
    ASSERT_NE(nullptr, f1);

    SrmServiceGroup* sg = db_.AddServiceGroup("sg");
    db_.AddServiceGroup("sg2");
    for (SrmResource* r : std::vector<SrmResource*>{vs_, d1, d2_, v1, g1, s1, m1}) {
      ASSERT_EQ(1, sg->addResource(r));
    }
    ASSERT_EQ(1, db_.db()->addServiceGroupResource("sg2", d3));
    ASSERT_EQ(1, db_.db()->setChildServiceGroup("sg", "sg2"));
  }

  TestDb db_;
  SrmVirtualServer* vs_ = nullptr;
  SrmDisk* d2_ = nullptr;
  ReportRun run_;
};

TEST_F(ServiceGroupReportsTest, VirtualServerHoldsItsGroupsResources) {
  ASSERT_EQ(1, run_.Generate(db_.db(), "cluster"));
  EXPECT_EQ((Names{"vs1~d1~PathToDisk", "vs1~d1~SystemDevice", "vs1~d3~PathToDisk",
                   "vs1~d3~SystemDevice", "vs1~f1", "vs1~g1", "vs1~s1", "vs1~v1"}),
            KeysFrom(run_->associations(), "vs1~"));
  EXPECT_TRUE(
      Logged(6, "Get_ServiceGroup_Instances", "Successfully created Disk CIM Associations"));
  EXPECT_TRUE(
      Logged(6, "Get_ServiceGroup_Instances", "Successfully created Volume CIM Associations"));

  const auto& a = run_->associations();
  struct {
    std::string key, class_name, server_role, member_role, member_class;
  } cases[] = {
      {"vs1~d1~SystemDevice", "CIM_SystemDevice", "GroupComponent", "PartComponent",
       "Tavrix_RM_DiskDrive"},
      {"vs1~d1~PathToDisk", "Tavrix_RM_PathToDisk", "GroupComponent", "PartComponent",
       "Tavrix_RM_DiskDrive"},
      {"vs1~v1", "CIM_SystemDevice", "GroupComponent", "PartComponent", "Tavrix_RM_StorageVolume"},
      {"vs1~g1", "Tavrix_RM_SystemDiskGroup", "GroupComponent", "PartComponent",
       "Tavrix_RM_VMDiskGroup"},
      {"vs1~s1", "CIM_HostedShare", "Antecedent", "Dependent", "Tavrix_RM_FileShare"},
      {"vs1~f1", "CIM_HostedFileSystem", "GroupComponent", "PartComponent",
       "Tavrix_RM_UnixLocalFileSystem"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    const CCIMInstance* i = a.at(c.key);
    EXPECT_EQ(c.class_name, i->className);
    EXPECT_EQ(c.server_role, PropertyNames(i).at(0));
    EXPECT_EQ(c.member_role, PropertyNames(i).at(1));
    EXPECT_EQ("Tavrix_RM_HalcyonVirtualComputerSystem", RefClass(i, c.server_role));
    EXPECT_EQ(c.member_class, RefClass(i, c.member_role));
  }
  EXPECT_EQ("/dev/sda", Prop(a.at("vs1~d1~PathToDisk"), "PathName"));
}

TEST_F(ServiceGroupReportsTest, VirtualServerOutOfTheVirtualReportIsSkipped) {
  vs_->setVirtualReport(false);
  ASSERT_EQ(1, run_.Generate(db_.db(), "cluster"));
  EXPECT_TRUE(KeysFrom(run_->associations(), "vs1~").empty());
}

TEST_F(ServiceGroupReportsTest, MembersWithoutInstancesAreSkipped) {
  // d2 is withdrawn (no drive filed), m2's file system is not registered.
  SrmServiceGroup* sg = db_.db()->findServiceGroup("sg");
  SrmMountPoint* m2 = db_.AddMountPoint("m2", "v1");
  sg->addResource(m2);
  ASSERT_EQ(1, run_.Generate(db_.db(), "cluster"));
  Names keys = KeysFrom(run_->associations(), "vs1~");
  EXPECT_EQ(8u, keys.size());
  EXPECT_EQ(0u, run_->associations().count("vs1~d2~SystemDevice"));
  EXPECT_TRUE(Logged(4, "FindCIMInstMaps",
                     "Could not find a CIMInstance with qdxid 'd2', to be used for CIM "
                     "Associations. The Association will not be created."));
}

TEST_F(ServiceGroupReportsTest, HostDatabaseGetsNoGroupAssociations) {
  TestDb host;
  host.AddHost("h1");
  SrmVirtualServer* vs = host.AddVirtualServer("vs1", "vip");
  SrmDisk* d = host.AddDisk("d1", "/dev/sda");
  SrmServiceGroup* g = host.AddServiceGroup("sg");
  g->addResource(vs);
  g->addResource(d);
  ASSERT_EQ(1, run_.Generate(host.db(), "host"));
  EXPECT_TRUE(KeysFrom(run_->associations(), "vs1~").empty());
}

TEST_F(ServiceGroupReportsTest, GroupsWithoutVirtualServersOrNoGroupsAtAll) {
  ReportRun none;
  TestDb empty;
  none->SetDatabase(empty.db());
  EXPECT_EQ(1, none->Get_ServiceGroup_Instances());
  EXPECT_TRUE(Logged(6, "Get_ServiceGroup_Instances", "No Service Groups found."));

  db_.db()->findServiceGroup("sg")->removeResource(SRM_VIRTUALSERVER, "vs1");
  ASSERT_EQ(1, run_.Generate(db_.db(), "cluster"));
  EXPECT_TRUE(KeysFrom(run_->associations(), "vs1~").empty());
}

}  // namespace
