// The report driver: its refusals, the instance maps, the order GetReport lists instances in,
// the ownership of what it built, and the volume manager lookups.
#include "report/qdx_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cimapi_testing.h"
#include "report/rm_cim_report.h"
#include "report_test_util.h"

namespace {

using namespace report_test;

// A bare instance of class_name, as a pass would file it.
CCIMInstance* Bare(const std::string& class_name) {
  return nmspc_cim::cim_createInstance(class_name.c_str());
}

class QdxReportTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetCapture(); }
  ReportRun run_;
};

TEST_F(QdxReportTest, RefusesBeforeAnyPass) {
  TestDb db;
  db.AddHost("h1");
  EXPECT_EQ(0, run_->GenerateCIMReports(nullptr, "host"));
  EXPECT_TRUE(Logged(1, "GenerateCIMReports", "SrmResourceDatabase is NULL."));
  EXPECT_TRUE(Raised("F_NULL_POINTER", "ResourceDatabase", "Pointer"));
  for (const char* type : {"", "Host", "clusters"}) {
    ResetCapture();
    EXPECT_EQ(0, run_.Generate(db.db(), type));
    EXPECT_EQ(
        (std::vector<std::string>{"1|GenerateCIMReports|Invalid rdb type - " + std::string(type)}),
        LogLines());
    EXPECT_EQ(
        (std::vector<std::string>{"F_INVALID_RDB_TYPE|" + std::string(type) + "|Type of the rdb"}),
        ResultLines());
  }
  EXPECT_TRUE(run_->category(1).empty());
}

TEST_F(QdxReportTest, HostReportRunsEveryHostPass) {
  TestDb db;
  db.AddHost("h1");
  ASSERT_EQ(1, run_.Generate(db.db()));
  EXPECT_TRUE(Logged(6, "GenerateCIMReports", "Done creating CIM Instances for all objects"));
  EXPECT_TRUE(Logged(6, "Get_System_Instances", "Successfully created System CIM Instances"));
  EXPECT_TRUE(Logged(6, "GetVolumeMgrInfo", "No volume managers found."));
  EXPECT_FALSE(Logged(6, "Get_ServiceGroup_Instances", "No Service Groups found."));
  EXPECT_EQ("h1", run_->system_name());
  EXPECT_EQ("h1", run_->system_id());
  EXPECT_EQ((std::vector<std::string>{"Tavrix_RM_HalcyonUnitaryComputerSystem"}),
            ClassNames(run_.Report()));
}

TEST_F(QdxReportTest, FailingPassStopsTheReport) {
  TestDb db;
  db.AddComputer("c1", "other");  // no computer matches the host name
  db.db()->getThisComputer();
  ASSERT_EQ("other", db.db()->getHostName());
  db.AddComputer("c0", "x");
  SrmComputer* only = static_cast<SrmComputer*>(db.db()->findResource(SRM_COMPUTER, "c1"));
  only->setHostName("renamed");
  EXPECT_EQ(0, run_.Generate(db.db()));
  EXPECT_TRUE(Logged(1, "GenerateCIMReports", "Get_System_Instances FAILED"));
  EXPECT_TRUE(Raised("F_REPORT_CONV_FAILURE", "Get_System_Instances", "FailurePoint"));
  EXPECT_FALSE(Logged(6, "Get_Alias_Instances", "No aliases found."));
}

TEST_F(QdxReportTest, FatalScanErrorRefusesTheReport) {
  TestDb db;
  db.AddHost("h1");
  db.db()->addError("h1", "disk sdz has no signature", 22, 3);
  EXPECT_EQ(0, run_.Generate(db.db()));
  EXPECT_TRUE(Logged(1, "GenerateCIMReports", "SrmAgent returned error objects"));
  EXPECT_TRUE(run_->category(1).empty());
}

TEST_F(QdxReportTest, UpdateRefusals) {
  CCIMInstance* a = Bare("A");
  EXPECT_EQ(0, run_->UpdateCIMInstMaps(nullptr, "id", 1));
  EXPECT_TRUE(Logged(1, "UpdateCIMInstMaps", "CCIMInstance is NULL."));
  EXPECT_EQ(0, run_->UpdateCIMInstMaps(a, "", 1));
  EXPECT_TRUE(Logged(1, "UpdateCIMInstMaps", "NaturalName (unique id) is blank."));
  EXPECT_EQ(0, run_->UpdateCIMInstMaps(a, "id", 10));
  EXPECT_EQ(0, run_->UpdateCIMInstMaps(a, "id", -1));
  EXPECT_TRUE(Logged(1, "UpdateCIMInstMaps", "Invalid resource type."));
  // The refused instance is the converter's: freed with it.
}

TEST_F(QdxReportTest, SameIdTwice) {
  CCIMInstance* first1 = Bare("F1");
  CCIMInstance* second1 = Bare("S1");
  CCIMInstance* first2 = Bare("F2");
  CCIMInstance* second2 = Bare("S2");
  EXPECT_EQ(1, run_->UpdateCIMInstMaps(first1, "x", 1));
  EXPECT_EQ(1, run_->UpdateCIMInstMaps(second1, "x", 0));  // 0 files in map 1
  EXPECT_EQ(1, run_->UpdateCIMInstMaps(first2, "x", 2));
  EXPECT_EQ(1, run_->UpdateCIMInstMaps(second2, "x", 2));
  EXPECT_EQ(second1, run_->FindCIMInstance("x", 1));
  EXPECT_EQ(first2, run_->FindCIMInstance("x", 2));
  // Only the kept ones are reported; the others are freed with the converter.
  EXPECT_EQ((std::vector<std::string>{"S1", "F2"}), ClassNames(run_.Report()));
}

TEST_F(QdxReportTest, FindLooksWhereItIsTold) {
  CCIMInstance* fs = Bare("FS");
  CCIMInstance* vol = Bare("Vol");
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(fs, "v1", 8));
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(vol, "v2", 4));
  EXPECT_EQ(fs, run_->FindCIMInstance("v1", 0));
  EXPECT_TRUE(LogLines().empty());

  EXPECT_EQ(nullptr, run_->FindCIMInstance("v2", 2));
  const std::string warning =
      "4|FindCIMInstMaps|Could not find a CIMInstance with qdxid 'v2', to be used for CIM "
      "Associations. The Association will not be created.";
  EXPECT_EQ((std::vector<std::string>{warning}), LogLines());
  EXPECT_EQ((std::vector<std::string>{
                "W_CIMINSTANCE_NOT_FOUND|v2|QDXID of the ciminstance trying to find."}),
            ResultLines());

  ResetCapture();
  EXPECT_EQ(nullptr, run_->FindCIMInstance("nowhere", 0));
  EXPECT_EQ(nullptr, run_->FindCIMInstance("v2", 12));
  const std::string info =
      "6|FindCIMInstMaps|Invalid resource type OR Not found in any resource map.";
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ(info, lines[0]);
  EXPECT_EQ(info, lines[2]);

  ResetCapture();
  EXPECT_EQ(nullptr, run_->FindCIMInstance("", 1));
  EXPECT_EQ((std::vector<std::string>{"1|FindCIMInstance|NaturalName (unique id) is blank."}),
            LogLines());
}

TEST_F(QdxReportTest, GetReportListsCategoriesInOrderEachInstanceOnce) {
  CCIMInstance* fs = Bare("FileSystem");
  CCIMInstance* share = Bare("Share");
  // The share pass puts its share in the list itself, then files it.
  ASSERT_EQ(1, run_->AddToList(share));
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(share, "s", 7));
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(Bare("Alias"), "a", 9));
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(fs, "f", 3));
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(fs, "vol", 8));  // the same file system again
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(Bare("Group"), "g", 5));
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(Bare("Volume"), "v", 4));
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(Bare("Disk2"), "d2", 2));
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(Bare("Disk1"), "d1", 2));
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(Bare("System"), "h", 1));
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(Bare("Unlisted6"), "u", 6));
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(Bare("Unlisted8"), "u", 8));
  CCIMInstance* system = run_->FindCIMInstance("h", 1);
  CCIMInstance* volume = run_->FindCIMInstance("v", 4);
  ASSERT_EQ(1, run_->CreateAssociation("Assoc", 2, rm_grppart_asso_keys, {"GroupComponent", system},
                                       {"PartComponent", volume}, "h~v"));
  EXPECT_EQ((std::vector<std::string>{"Share", "System", "Disk1", "Disk2", "Volume", "Group",
                                      "FileSystem", "Alias", "Assoc"}),
            ClassNames(run_.Report()));
}

TEST_F(QdxReportTest, AssociationsKeepTheFirstUnderAKey) {
  CCIMInstance* a = Bare("A");
  CCIMInstance* b = Bare("B");
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(a, "a", 1));
  ASSERT_EQ(1, run_->UpdateCIMInstMaps(b, "b", 1));
  ASSERT_EQ(1, run_->CreateAssociation("First", 2, rm_antdep_asso_keys, {"Dependent", a},
                                       {"Antecedent", b}, "a~b",
                                       {{"ClusterIndex", "3", nmspc_cim::CIM_UINT16}}));
  ASSERT_EQ(1, run_->CreateAssociation("Second", 2, rm_antdep_asso_keys, {"Dependent", b},
                                       {"Antecedent", a}, "a~b"));
  ASSERT_EQ(1u, run_->associations().size());
  const CCIMInstance* kept = run_->associations().at("a~b");
  EXPECT_STREQ("First", kept->className);
  EXPECT_EQ((std::vector<std::string>{"Dependent", "Antecedent", "ClusterIndex"}),
            PropertyNames(kept));
  EXPECT_EQ("A", RefClass(kept, "Dependent"));
  EXPECT_EQ("3", Prop(kept, "ClusterIndex"));
  // An end the library cannot name fails the association.
  EXPECT_EQ(0, run_->CreateAssociation("Broken", 2, rm_antdep_asso_keys, {"Dependent", nullptr},
                                       {"Antecedent", a}, "x"));
}

TEST_F(QdxReportTest, ConverterWithoutGetReportFreesEverything) {
  auto* report = new InspectableReport();
  ASSERT_EQ(1, report->UpdateCIMInstMaps(Bare("A"), "a", 1));
  CCIMInstance* share = Bare("Share");
  ASSERT_EQ(1, report->AddToList(share));
  ASSERT_EQ(1, report->UpdateCIMInstMaps(share, "s", 7));
  delete report;  // the leak checker holds the proof
}

TEST_F(QdxReportTest, RefusedListEntriesFailTheReportWithoutLeaks) {
  for (long step = 0; step < 6; ++step) {
    SCOPED_TRACE(step);
    InspectableReport report;
    ASSERT_EQ(1, report.UpdateCIMInstMaps(Bare("A"), "a", 1));
    ASSERT_EQ(1, report.UpdateCIMInstMaps(Bare("B"), "b", 2));
    ASSERT_EQ(1, report.UpdateCIMInstMaps(Bare("C"), "c", 9));
    nmspc_cim::cim_testFailAllocationsAfter(step);
    CCIMList* list = report.GetReport();
    nmspc_cim::cim_testFailAllocationsAfter(-1);
    if (list != nullptr) {
      EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), ClassNames(list));
      nmspc_cim::cim_freeInstanceList(list);
    }
  }
}

TEST_F(QdxReportTest, LogErrorAndMissingResource) {
  run_->LogError("");
  run_->LogMissingResoruce("");
  EXPECT_TRUE(LogLines().empty());
  EXPECT_TRUE(ResultLines().empty());
  run_->LogError("Get_Disk_Instances");
  run_->LogMissingResoruce("disk-a");
  EXPECT_EQ((std::vector<std::string>{"4|LogMissingResoruce|CIMInstance not found for - disk-a. "
                                      "Associations for this resource will be missing."}),
            LogLines());
  EXPECT_EQ((std::vector<std::string>{"F_REPORT_CONV_FAILURE|Get_Disk_Instances|FailurePoint",
                                      "W_INSTANCE_NOT_FOUND|disk-a|Missing Resource name"}),
            ResultLines());
}

TEST_F(QdxReportTest, DiskTypeNames) {
  const std::vector<std::string> names = {"Unknown", "IDE",   "SCSI",    "FC",     "SSA",
                                          "Serial",  "Other", "Unknown", "Unknown"};
  for (int type = 0; type < 9; ++type) {
    EXPECT_EQ(names[type], run_->GetDiskTypeAsString(type == 8 ? -1 : type)) << type;
  }
}

TEST_F(QdxReportTest, VolumeManagerLookups) {
  TestDb db;
  run_->SetDatabase(db.db());
  std::string name = "keep";
  std::string version = "keep";
  ASSERT_EQ(1, run_->GetVolumeMgrInfo());
  EXPECT_TRUE(Logged(6, "GetVolumeMgrInfo", "No volume managers found."));
  EXPECT_EQ(1, run_->GetVolMgrNameandVer("1", &name, &version));
  EXPECT_TRUE(
      Logged(4, "GetVolMgrNameandVer", "No volume managers found but volumes are present."));
  EXPECT_EQ("keep", name);

  db.AddVolumeManager("b-lvm", 1, "lvm2", "2.03");
  db.AddVolumeManager("a-vx", 1, "vxvm", "7.4");  // first in Id order with IdType 1
  db.AddVolumeManager("c-zfs", 3, "zfs", "2.1");
  ASSERT_EQ(1, run_->GetVolumeMgrInfo());
  struct {
    std::string id, name, version;
  } cases[] = {{"", "keep", "keep"}, {"1", "vxvm", "7.4"},        {"3", "zfs", "2.1"},
               {"03", "zfs", "2.1"}, {"7", "Unknown", "Unknown"}, {"x", "Unknown", "Unknown"}};
  for (const auto& c : cases) {
    name = version = "keep";
    EXPECT_EQ(1, run_->GetVolMgrNameandVer(c.id, &name, &version));
    EXPECT_EQ(c.name, name) << c.id;
    EXPECT_EQ(c.version, version) << c.id;
  }
}

}  // namespace
