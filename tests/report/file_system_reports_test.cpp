// The file system, share and alias passes through a whole host report: file systems filed
// under their own id and again under their volume, shares handed to the list by their own pass
// and tied to the file system of their volume, aliases named by their record's id.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cimapi_testing.h"
#include "report_test_util.h"

namespace report_test {
namespace {

class FileSystemReportsTest : public ::testing::Test {
 protected:
  FileSystemReportsTest() {
    db_.AddHost("host");
    db_.AddVolume("v1", "/dev/vx/v1");
    db_.AddVolume("v2", "/dev/vx/v2");
  }

  const CCIMInstance* Filed(int category, const std::string& id) {
    return run_->Filed(category, id);
  }
  const CCIMInstance* Association(const std::string& key) { return run_->Association(key); }
  SrmShare* Share(const std::string& id, const std::string& volume_id) {
    SrmShare* s = db_.AddShare(id, volume_id);
    s->setShareName("share-" + id);
    s->setSharePath("/export/" + id);
    return s;
  }

  TestDb db_;
  ReportRun run_;
};

TEST_F(FileSystemReportsTest, FileSystemCarriesItsPropertiesInOrder) {
  SrmFileSystem* fs = db_.AddFileSystem("f1", "v1");
  fs->setPubId("/home");
  fs->setFSType("ufs");
  fs->setCapacity(100);
  fs->setFreeSpace(40);
  fs->setUsedSpace(50);
  fs->setReservedSpace(10);
  ASSERT_EQ(1, run_.Generate(db_.db()));

  const CCIMInstance* instance = Filed(QDX_Report::kFileSystems, "f1");
  ASSERT_NE(nullptr, instance);
  EXPECT_STREQ("Tavrix_RM_UnixLocalFileSystem", instance->className);
  EXPECT_EQ((std::vector<std::string>{"CSCreationClassName", "CreationClassName", "CSName", "Name",
                                      "ElementName", "FileSystemType", "FileSystemSize",
                                      "AvailableSpace", "UsedSpace", "FSReservedCapacity"}),
            PropertyNames(instance));
  EXPECT_EQ("CIM_ComputerSystem", Prop(instance, "CSCreationClassName"));
  EXPECT_EQ("Tavrix_RM_UnixLocalFileSystem", Prop(instance, "CreationClassName"));
  EXPECT_EQ("host", Prop(instance, "CSName"));
  EXPECT_EQ("f1", Prop(instance, "Name"));
  EXPECT_EQ(nmspc_cim::CIM_TRUE, FindProperty(instance, "Name")->isKey);
  EXPECT_EQ(nmspc_cim::CIM_FALSE, FindProperty(instance, "ElementName")->isKey);
  EXPECT_EQ("/home", Prop(instance, "ElementName"));
  EXPECT_EQ("ufs", Prop(instance, "FileSystemType"));
  EXPECT_EQ("102400", Prop(instance, "FileSystemSize"));
  EXPECT_EQ("40960", Prop(instance, "AvailableSpace"));
  EXPECT_EQ("51200", Prop(instance, "UsedSpace"));
  EXPECT_EQ("10240", Prop(instance, "FSReservedCapacity"));
  EXPECT_EQ(nmspc_cim::CIM_UINT64, FindProperty(instance, "UsedSpace")->type);
  // Filed a second time, under its volume.
  EXPECT_EQ(instance, Filed(QDX_Report::kFileSystemsByVolume, "v1"));

  const CCIMInstance* resides = Association("v1~f1");
  ASSERT_NE(nullptr, resides);
  EXPECT_STREQ("Tavrix_RM_ResidesOnVolume", resides->className);
  EXPECT_EQ((std::vector<std::string>{"Dependent", "Antecedent"}), PropertyNames(resides));
  EXPECT_EQ("f1", RefKey(resides, "Dependent", "Name"));
  EXPECT_EQ("v1", RefKey(resides, "Antecedent", "DeviceID"));
  const CCIMInstance* hosted = Association("host~f1");
  ASSERT_NE(nullptr, hosted);
  EXPECT_STREQ("CIM_HostedFileSystem", hosted->className);
  EXPECT_EQ("host", RefKey(hosted, "GroupComponent", "Name"));
  EXPECT_EQ("f1", RefKey(hosted, "PartComponent", "Name"));
  EXPECT_TRUE(Logged(PRV_LOG_INFO, "Get_FileSystem_Instances",
                     "Successfully created File System CIM Instances"));
}

TEST_F(FileSystemReportsTest, FileSystemOnAnUnreportedVolumeFailsTheReport) {
  db_.db()->findResource(SRM_VOLUME, "v1")->setReport(false);
  db_.AddFileSystem("f1", "v1");
  EXPECT_EQ(0, run_.Generate(db_.db()));
  EXPECT_TRUE(Logged(PRV_LOG_ERROR, "GenerateCIMReports", "Get_FileSystem_Instances"));
  EXPECT_TRUE(Raised("F_REPORT_CONV_FAILURE", "Get_FileSystem_Instances", "FailurePoint"));
}

TEST_F(FileSystemReportsTest, UnreportedFileSystemIsLeftOut) {
  db_.AddFileSystem("f1", "nowhere")->setReport(false);
  ASSERT_EQ(1, run_.Generate(db_.db()));
  EXPECT_TRUE(run_->category(QDX_Report::kFileSystems).empty());
}

TEST_F(FileSystemReportsTest, ShareTiedToTheFirstFileSystemOfItsVolume) {
  db_.AddFileSystem("f2", "v1");
  db_.AddFileSystem("f1", "v1");
  Share("s1", "v1");
  ASSERT_EQ(1, run_.Generate(db_.db()));

  const CCIMInstance* share = Filed(QDX_Report::kShares, "s1");
  ASSERT_NE(nullptr, share);
  EXPECT_STREQ("Tavrix_RM_FileShare", share->className);
  EXPECT_EQ((std::vector<std::string>{"SystemCreationClassName", "CreationClassName", "SystemName",
                                      "Name", "Type", "DirectoryName", "ElementName"}),
            PropertyNames(share));
  EXPECT_EQ("CIM_ComputerSystem", Prop(share, "SystemCreationClassName"));
  EXPECT_EQ("Tavrix_RM_FileShare", Prop(share, "CreationClassName"));
  EXPECT_EQ("host", Prop(share, "SystemName"));
  EXPECT_EQ("s1", Prop(share, "Name"));
  EXPECT_EQ("NFS", Prop(share, "Type"));
  EXPECT_EQ("/export/s1", Prop(share, "DirectoryName"));
  EXPECT_EQ("share-s1", Prop(share, "ElementName"));

  const CCIMInstance* shared = Association("v1~s1");
  ASSERT_NE(nullptr, shared);
  EXPECT_STREQ("CIM_SharedElement", shared->className);
  EXPECT_EQ((std::vector<std::string>{"SameElement", "SystemElement"}), PropertyNames(shared));
  EXPECT_EQ("s1", RefKey(shared, "SameElement", "Name"));
  EXPECT_EQ("f1", RefKey(shared, "SystemElement", "Name"));  // the lower id of the two
  const CCIMInstance* hosted = Association("host~s1");
  ASSERT_NE(nullptr, hosted);
  EXPECT_STREQ("CIM_HostedShare", hosted->className);
  EXPECT_EQ((std::vector<std::string>{"Antecedent", "Dependent"}), PropertyNames(hosted));
  EXPECT_EQ("host", RefKey(hosted, "Antecedent", "Name"));
  EXPECT_EQ("s1", RefKey(hosted, "Dependent", "Name"));
  EXPECT_TRUE(
      Logged(PRV_LOG_INFO, "Get_Share_Instances", "Successfully created Share CIM Instances"));
}

TEST_F(FileSystemReportsTest, SharesThatAreLeftOutOrUnlinked) {
  Share("nfs", "v2");  // v2 carries no file system
  Share("smb", "v1")->setShareFsType(1);
  Share("off", "v1")->setReport(false);
  ASSERT_EQ(1, run_.Generate(db_.db()));

  EXPECT_NE(nullptr, Filed(QDX_Report::kShares, "nfs"));
  EXPECT_EQ(nullptr, Association("v2~nfs"));
  EXPECT_EQ(nullptr, Association("host~nfs"));
  EXPECT_TRUE(Logged(PRV_LOG_WARNING, "Get_Share_Instances",
                     "Could not link following share to file system...Invalid volumeid : nfs"));
  EXPECT_EQ(nullptr, Filed(QDX_Report::kShares, "smb"));
  EXPECT_TRUE(Logged(PRV_LOG_WARNING, "Get_Share_Instances", "Share type not supported."));
  EXPECT_EQ(nullptr, Filed(QDX_Report::kShares, "off"));
}

TEST_F(FileSystemReportsTest, EveryInstanceReachesTheListOnce) {
  db_.AddFileSystem("f1", "v1");
  Share("s1", "v1");
  Share("s2", "v2");
  ASSERT_EQ(1, run_.Generate(db_.db()));
  CCIMList* list = run_.Report();
  std::vector<std::string> classes = ClassNames(list);

  // The shares were handed over by their pass, ahead of everything GetReport adds.
  ASSERT_GE(classes.size(), 2u);
  EXPECT_EQ("Tavrix_RM_FileShare", classes[0]);
  EXPECT_EQ("Tavrix_RM_FileShare", classes[1]);
  EXPECT_EQ(2, std::count(classes.begin(), classes.end(), "Tavrix_RM_FileShare"));
  // Filed twice, listed once (the list is freed at the end of the run: a second copy would be
  // freed twice).
  EXPECT_EQ(1, std::count(classes.begin(), classes.end(), "Tavrix_RM_UnixLocalFileSystem"));
  std::vector<const CCIMInstance*> instances = Instances(list);
  std::sort(instances.begin(), instances.end());
  EXPECT_EQ(instances.end(), std::adjacent_find(instances.begin(), instances.end()));
}

// The library failing at any allocation of the report's passes ends the report cleanly: no
// crash, no instance left behind or freed twice (checked under the sanitizers), and a report
// once the library stops failing.
TEST(FileSystemReportsAllocationTest, FailureAtEveryStepLeavesNothingBehind) {
  int failed_runs = 0;
  for (long successes = 0;; ++successes) {
    ASSERT_LT(successes, 100000) << "the report never completed";
    TestDb db;
    db.AddHost("host");
    db.AddDisk("d1", "/dev/sda");
    db.AddChunk("c1", "d1");
    SrmVolume* volume = db.AddVolume("v1", "/dev/vx/v1");
    ASSERT_EQ(1, volume->addDiskChunk(db.db()->findResource(SRM_DISKCHUNK, "c1")));
    db.AddFileSystem("f1", "v1");
    db.AddShare("s1", "v1");
    db.AddShare("s2", "v1");
    db.AddAlias("a1", "p", "s", "Disk");
    ReportRun run;
    nmspc_cim::cim_testFailAllocationsAfter(successes);
    int rc = run.Generate(db.db());
    nmspc_cim::cim_testFailAllocationsAfter(-1);
    if (rc == 1) {
      EXPECT_EQ(2u, run->category(QDX_Report::kShares).size());
      EXPECT_NE(nullptr, run.Report());
      break;
    }
    ++failed_runs;
  }
  EXPECT_GT(failed_runs, 10);
}

TEST_F(FileSystemReportsTest, NothingToReportStillSucceeds) {
  ASSERT_EQ(1, run_.Generate(db_.db()));
  EXPECT_TRUE(Logged(PRV_LOG_INFO, "Get_FileSystem_Instances", "No file systems found."));
  EXPECT_TRUE(Logged(PRV_LOG_INFO, "Get_Share_Instances", "No Shares found."));
  EXPECT_TRUE(Logged(PRV_LOG_INFO, "Get_Alias_Instances", "No aliases found."));
}

// --- Aliases ---

TEST_F(FileSystemReportsTest, AliasesByTheirRecordsId) {
  const struct {
    const char* id_type;
    const char* object_type;
  } cases[] = {
      {"System", "Tavrix_RM_HalcyonUnitaryComputerSystem"},
      {"Disk", "Tavrix_RM_DiskDrive"},
      {"Volume", "Tavrix_RM_StorageVolume"},
      {"VolumeGroup", "Tavrix_RM_VMDiskGroup"},
      {"Share", "Tavrix_RM_FileShare"},
      {"FileSystem", "Tavrix_RM_UnixLocalFileSystem"},
      {"MountPoint", "unknown"},
      {"", "unknown"},
  };
  int n = 0;
  for (const auto& c : cases) {
    std::string id = "a" + std::to_string(n++);
    db_.AddAlias(id, "p-" + id, "s-" + id, c.id_type)->setReport(n % 2 == 0);  // flags ignored
  }
  ASSERT_EQ(1, run_.Generate(db_.db()));
  n = 0;
  for (const auto& c : cases) {
    std::string id = "a" + std::to_string(n++);
    const CCIMInstance* alias = Filed(QDX_Report::kAliases, id);
    ASSERT_NE(nullptr, alias) << id;
    EXPECT_STREQ("Tavrix_RM_AliasEntry", alias->className);
    EXPECT_EQ((std::vector<std::string>{"ReportedQDXIdentity", "QDXIdentityAlias",
                                        "AssociatedObjectType"}),
              PropertyNames(alias));
    EXPECT_EQ("p-" + id, Prop(alias, "ReportedQDXIdentity"));
    EXPECT_EQ("s-" + id, Prop(alias, "QDXIdentityAlias"));
    EXPECT_EQ(nmspc_cim::CIM_TRUE, FindProperty(alias, "QDXIdentityAlias")->isKey);
    EXPECT_EQ(nmspc_cim::CIM_FALSE, FindProperty(alias, "AssociatedObjectType")->isKey);
    EXPECT_EQ(c.object_type, Prop(alias, "AssociatedObjectType")) << c.id_type;
  }
  EXPECT_TRUE(
      Logged(PRV_LOG_INFO, "Get_Alias_Instances", "Successfully created Alias CIM Instances"));
}

}  // namespace
}  // namespace report_test
