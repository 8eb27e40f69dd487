// The instance builder: key tables, the properties it adds, and what each failure logs and
// raises.
#include "report/rm_cim_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cimapi_testing.h"
#include "report_test_util.h"

namespace {

using namespace report_test;

std::vector<std::string> Table(const char* const* names, int count) {
  return std::vector<std::string>(names, names + count);
}

TEST(RmKeyTablesTest, NamesInOrder) {
  using V = std::vector<std::string>;
  const V two_system = {"CreationClassName", "Name"};
  const V system_device = {"SystemCreationClassName", "SystemName", "CreationClassName", "Name"};
  EXPECT_EQ(two_system, Table(rm_computersystem_keys, rm_computersystem_keys_count));
  EXPECT_EQ(system_device, Table(rm_ipprotocolendpoint_keys, rm_ipprotocolendpoint_keys_count));
  EXPECT_EQ(system_device, Table(rm_share_keys, rm_share_keys_count));
  EXPECT_EQ((V{"SystemElement", "SameElement"}),
            Table(rm_sharedelement_asso_keys, rm_sharedelement_asso_keys_count));
  EXPECT_EQ((V{"CollectionID"}), Table(rm_diskgroup_keys, rm_diskgroup_keys_count));
  EXPECT_EQ((V{"CSCreationClassName", "CreationClassName", "CSName", "Name"}),
            Table(rm_fs_keys, rm_fs_keys_count));
  EXPECT_EQ((V{"ReportedQDXIdentity", "QDXIdentityAlias"}),
            Table(rm_alias_keys, rm_alias_keys_count));
  EXPECT_EQ((V{"SystemCreationClassName", "SystemName", "CreationClassName", "DeviceID"}),
            Table(rm_logdev_keys, rm_logdev_keys_count));
  EXPECT_EQ((V{"GroupComponent", "PartComponent"}),
            Table(rm_grppart_asso_keys, rm_grppart_asso_keys_count));
  EXPECT_EQ((V{"Dependent", "Antecedent"}), Table(rm_antdep_asso_keys, rm_antdep_asso_keys_count));
  EXPECT_EQ((V{"Collection", "Member"}), Table(rm_collmem_asso_keys, rm_collmem_asso_keys_count));
}

class RmCimReportTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetCapture(); }
  void TearDown() override {
    nmspc_cim::cim_testFailAllocationsAfter(-1);
    ProviderUtil::setAvailable(true);
  }
};

TEST_F(RmCimReportTest, BuildsTypedPropertiesAndHandsTheInstanceOver) {
  auto* b = new RM_CIM_Report("provider");
  ASSERT_EQ(1, b->Initialize("Tavrix_Thing", rm_computersystem_keys_count, rm_computersystem_keys));
  EXPECT_EQ(1, b->SetProperty("Name", "first", nmspc_cim::CIM_STRING, true, true));
  EXPECT_EQ(1, b->SetProperty("Name2", "second", nmspc_cim::CIM_STRING, false, true));
  EXPECT_EQ(1, b->SetProperty("Size", "42", nmspc_cim::CIM_UINT64, false, false));
  EXPECT_EQ("second", b->natural_name);  // the last natural-name property wins
  EXPECT_EQ(1, b->VerifyKeys());
  CCIMInstance* instance = b->GetCIMInstance();
  b->Release();  // the instance outlives its builder
  ASSERT_NE(nullptr, instance);
  EXPECT_STREQ("Tavrix_Thing", instance->className);
  EXPECT_EQ((std::vector<std::string>{"Name", "Name2", "Size"}), PropertyNames(instance));
  EXPECT_EQ(nmspc_cim::CIM_TRUE, FindProperty(instance, "Name")->isKey);
  EXPECT_EQ(nmspc_cim::CIM_FALSE, FindProperty(instance, "Name2")->isKey);
  EXPECT_EQ(nmspc_cim::CIM_UINT64, FindProperty(instance, "Size")->type);
  EXPECT_EQ("42", Prop(instance, "Size"));
  EXPECT_TRUE(LogLines().empty());
  nmspc_cim::cim_freeInstance(instance);
}

TEST_F(RmCimReportTest, ReferenceNamesTheTargetsClassAndKeys) {
  auto* target_builder = new RM_CIM_Report();
  ASSERT_EQ(1, target_builder->Initialize("Target", 1, rm_diskgroup_keys));
  ASSERT_EQ(1,
            target_builder->SetProperty("CollectionID", "g1", nmspc_cim::CIM_STRING, true, true));
  CCIMInstance* target = target_builder->GetCIMInstance();
  target_builder->Release();

  auto* b = new RM_CIM_Report();
  ASSERT_EQ(1, b->Initialize("Assoc", 0, nullptr));  // zero keys is fine
  EXPECT_EQ(1, b->SetProperty("Member", target, nmspc_cim::CIM_REFERENCE, true, false));
  CCIMInstance* association = b->GetCIMInstance();
  b->Release();
  EXPECT_EQ("Target", RefClass(association, "Member"));
  EXPECT_EQ("g1", RefKey(association, "Member", "CollectionID"));
  nmspc_cim::cim_freeInstance(association);
  nmspc_cim::cim_freeInstance(target);
}

// Each way Initialize can fail: its log line, its result, and the builder left unusable.
TEST_F(RmCimReportTest, InitializeFailures) {
  struct Case {
    std::string class_name;
    int key_count;
    bool fail_allocation;
    std::string message;
    std::string result_value;
  } cases[] = {
      {"", 2, false, "Class name for the cim instance is blank. CRITCAL ERROR",
       "Blank CIM class name"},
      {"C", -1, false, "There must be 0 or more keys. CRITCAL ERROR", "Invalid number of keys"},
      {"C", 2, true, "", ""},  // the library's own message, whatever it is
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ResetCapture();
    auto* b = new RM_CIM_Report();
    if (c.fail_allocation) nmspc_cim::cim_testFailAllocationsAfter(0);
    EXPECT_EQ(0, b->Initialize(c.class_name, c.key_count, rm_computersystem_keys));
    nmspc_cim::cim_testFailAllocationsAfter(-1);
    std::vector<ProviderLogLine> logs = ProviderUtil::getLogLines();
    std::vector<Result> results = ProviderUtil::getResults();
    ASSERT_EQ(1u, logs.size());
    ASSERT_EQ(1u, results.size());
    EXPECT_EQ(1, logs[0].level);
    EXPECT_EQ("QDX_SRMAgentAdapter", logs[0].component);
    EXPECT_EQ("Initialize()", logs[0].function);
    EXPECT_EQ("F_REPORT_CONV_FAILURE", results[0].getCode());
    EXPECT_EQ("com.orv.vimbrel.mgmt.agent.result.resources.resultStatus", results[0].getBundle());
    ASSERT_EQ(1u, results[0].getArgs().size());
    EXPECT_EQ("Initialize", results[0].getArgs()[0].label);
    if (!c.fail_allocation) {
      EXPECT_EQ(c.message, logs[0].message);
      EXPECT_EQ(c.result_value, results[0].getArgs()[0].value);
    } else {
      EXPECT_FALSE(logs[0].message.empty());
      EXPECT_EQ(logs[0].message, results[0].getArgs()[0].value);
    }

    ResetCapture();
    EXPECT_EQ(0, b->SetProperty("Name", "x", nmspc_cim::CIM_STRING, true, true));
    EXPECT_TRUE(Logged(1, "SetKey()", "Status is invalid, Initialize() not called."));
    EXPECT_EQ(nullptr, b->GetCIMInstance());
    EXPECT_TRUE(Logged(1, "GetInstance()", "CIMInstance is NULL. CRITICAL ERROR"));
    EXPECT_TRUE(Raised("F_NULL_POINTER", "CIMInstance", "Pointer"));
    b->Release();
  }
}

TEST_F(RmCimReportTest, ReferenceWithoutATargetFailsAndFreesTheInstance) {
  auto* b = new RM_CIM_Report();
  ASSERT_EQ(1, b->Initialize("Assoc", 2, rm_antdep_asso_keys));
  ASSERT_EQ(1, b->SetProperty("Kept", "v", nmspc_cim::CIM_STRING, false, false));
  EXPECT_EQ(0, b->SetProperty("Dependent", nullptr, nmspc_cim::CIM_REFERENCE, true, false));
  EXPECT_TRUE(Logged(1, "InsertProperty", "Unable to create object path"));
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(0u, lines[1].find("1|SetProperty()|"));
  EXPECT_NE(std::string::npos, lines[1].find(" while setting Dependent with value "));
  std::vector<Result> results = ProviderUtil::getResults();
  ASSERT_EQ(1u, results.size());
  EXPECT_EQ("F_REPORT_CONV_FAILURE", results[0].getCode());
  EXPECT_EQ("SetProperty", results[0].getArgs()[0].label);
  b->Release();  // never handed out: freed here (the leak checker watches)
}

TEST_F(RmCimReportTest, PropertyTheLibraryRefuses) {
  auto* b = new RM_CIM_Report();
  ASSERT_EQ(1, b->Initialize("C", 0, nullptr));
  // A type outside the library's range: no property is made.
  EXPECT_EQ(0, b->SetProperty("Odd", "v", static_cast<CIMType>(99), false, true));
  EXPECT_EQ("v", b->natural_name);  // stored before the property is tried
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ(0u, lines[0].find("1|SetProperty()|"));
  EXPECT_NE(std::string::npos, lines[0].find(" while setting Odd with value v"));
  b->Release();
}

TEST_F(RmCimReportTest, NoUtilityObjectStillLogsButStoresNoResult) {
  ProviderUtil::setAvailable(false);
  auto* b = new RM_CIM_Report("p");
  EXPECT_EQ(0, b->Initialize("", 0, nullptr));
  EXPECT_EQ(1u, LogLines().size());
  EXPECT_TRUE(ResultLines().empty());
  b->Release();
}

TEST_F(RmCimReportTest, AllocationFailuresAnywhereLeaveNothingBehind) {
  // Step the failure point over a whole build; each step either builds or fails cleanly.
  for (long step = 0; step < 40; ++step) {
    SCOPED_TRACE(step);
    ResetCapture();
    auto* b = new RM_CIM_Report();
    nmspc_cim::cim_testFailAllocationsAfter(step);
    bool ok = b->Initialize("Class", 2, rm_computersystem_keys) &&
              b->SetProperty("CreationClassName", "Class", nmspc_cim::CIM_STRING, true, false) &&
              b->SetProperty("Name", "n", nmspc_cim::CIM_STRING, true, true);
    nmspc_cim::cim_testFailAllocationsAfter(-1);
    CCIMInstance* instance = ok ? b->GetCIMInstance() : nullptr;
    b->Release();
    if (ok) {
      EXPECT_EQ("n", Prop(instance, "Name"));
      nmspc_cim::cim_freeInstance(instance);
    } else {
      EXPECT_FALSE(ResultLines().empty());
    }
  }
}

}  // namespace
