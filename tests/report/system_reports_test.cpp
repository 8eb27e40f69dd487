// The host and cluster passes: the computer systems, endpoints, nodes and virtual servers they
// file, their associations, and the ways they fail.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report_test_util.h"

namespace {

using namespace report_test;
using Names = std::vector<std::string>;

const char kHost[] = "Tavrix_RM_HalcyonUnitaryComputerSystem";

std::vector<std::string> Keys(const std::map<std::string, CCIMInstance*>& map) {
  std::vector<std::string> keys;
  for (const auto& entry : map) keys.push_back(entry.first);
  return keys;
}

class SystemReportsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetCapture(); }
  // Runs the host pass alone.
  int RunHost() {
    run_->SetDatabase(db_.db());
    return run_->Get_System_Instances();
  }
  TestDb db_;
  ReportRun run_;
};

TEST_F(SystemReportsTest, HostInstance) {
  SrmComputer* host = db_.AddHost("alder");
  host->setOS("Linux 6.1 x86_64");
  host->setRAMMB(4096);
  host->setProcSpeedMHz(2400);
  host->setProcCount(8);
  ASSERT_EQ(1, RunHost());
  EXPECT_TRUE(Logged(6, "Get_System_Instances", "Successfully created System CIM Instances"));
  const CCIMInstance* i = run_->FindCIMInstance("alder", 1);
  ASSERT_NE(nullptr, i);
  EXPECT_STREQ(kHost, i->className);
  EXPECT_EQ((Names{"CreationClassName", "Name", "ElementName", "OSVersion", "OSType", "RAM",
                   "MaxInstalledProcessorSpeed", "NumInstalledProcessors"}),
            PropertyNames(i));
  EXPECT_EQ(kHost, Prop(i, "CreationClassName"));
  EXPECT_EQ("6.1", Prop(i, "OSVersion"));
  EXPECT_EQ("Linux", Prop(i, "OSType"));
  EXPECT_EQ("4294967296", Prop(i, "RAM"));
  EXPECT_EQ(nmspc_cim::CIM_UINT64, FindProperty(i, "RAM")->type);
  EXPECT_EQ("2400", Prop(i, "MaxInstalledProcessorSpeed"));
  EXPECT_EQ(nmspc_cim::CIM_UINT16, FindProperty(i, "NumInstalledProcessors")->type);
  EXPECT_EQ(nmspc_cim::CIM_TRUE, FindProperty(i, "Name")->isKey);
  EXPECT_EQ(nmspc_cim::CIM_FALSE, FindProperty(i, "ElementName")->isKey);
}

TEST_F(SystemReportsTest, OperatingSystemWords) {
  struct {
    std::string os, version, type;
  } cases[] = {{"", "<missing>", "<missing>"},
               {"AIX", "", "AIX"},
               {"SunOS  5.10", "5.10", "SunOS"},
               {" ", "", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE("OS '" + c.os + "'");
    TestDb db;
    db.AddHost("h")->setOS(c.os);
    ReportRun run;
    run->SetDatabase(db.db());
    ASSERT_EQ(1, run->Get_System_Instances());
    EXPECT_EQ(c.version, Prop(run->FindCIMInstance("h", 1), "OSVersion"));
    EXPECT_EQ(c.type, Prop(run->FindCIMInstance("h", 1), "OSType"));
  }
}

TEST_F(SystemReportsTest, Endpoints) {
  struct {
    std::string addresses;
    Names endpoints;
  } cases[] = {{"", {}},
               {",,", {}},
               {"10.0.0.1", {"h~IPv4~10.0.0.1"}},
               {"10.0.0.2,,10.0.0.1,", {"h~IPv4~10.0.0.1", "h~IPv4~10.0.0.2"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE("IPAddr '" + c.addresses + "'");
    TestDb db;
    db.AddHost("h")->setIPAddr(c.addresses);
    ReportRun run;
    run->SetDatabase(db.db());
    ASSERT_EQ(1, run->Get_System_Instances());
    Names expected = {"h"};  // "h" sorts before "h~..."
    expected.insert(expected.end(), c.endpoints.begin(), c.endpoints.end());
    EXPECT_EQ(expected, Keys(run->category(1)));
    Names associations;
    for (const std::string& e : c.endpoints) associations.push_back(e + "~h");
    EXPECT_EQ(associations, Keys(run->associations()));
  }
}

TEST_F(SystemReportsTest, EndpointAndItsAssociation) {
  db_.AddHost("h")->setIPAddr("192.0.2.7");
  ASSERT_EQ(1, RunHost());
  const CCIMInstance* e = run_->FindCIMInstance("h~IPv4~192.0.2.7", 1);
  ASSERT_NE(nullptr, e);
  EXPECT_STREQ("CIM_IPProtocolEndpoint", e->className);
  EXPECT_EQ(
      (Names{"SystemCreationClassName", "CreationClassName", "SystemName", "Name", "IPv4Address"}),
      PropertyNames(e));
  EXPECT_EQ("CIM_ComputerSystem", Prop(e, "SystemCreationClassName"));
  EXPECT_EQ("h", Prop(e, "SystemName"));
  EXPECT_EQ("192.0.2.7", Prop(e, "IPv4Address"));
  const CCIMInstance* a = run_->associations().at("h~IPv4~192.0.2.7~h");
  EXPECT_STREQ("CIM_HostedAccessPoint", a->className);
  EXPECT_EQ((Names{"Dependent", "Antecedent"}), PropertyNames(a));
  EXPECT_EQ("CIM_IPProtocolEndpoint", RefClass(a, "Dependent"));
  EXPECT_EQ(kHost, RefClass(a, "Antecedent"));
  EXPECT_EQ("h", RefKey(a, "Antecedent", "Name"));
}

TEST_F(SystemReportsTest, HostFailures) {
  ASSERT_EQ(0, RunHost());
  EXPECT_TRUE(Logged(1, "Get_System_Instances", "No Computers found. FAILURE"));

  ResetCapture();
  db_.AddComputer("c1", "elm");  // the database's host name stays empty
  ASSERT_EQ(0, RunHost());
  EXPECT_TRUE(Logged(1, "Get_System_Instances",
                     "The rdb's computer is ''. None of the Computers in the rdb match this "
                     "name. This condition means that the rdb is in a erroneous state."));
  EXPECT_TRUE(Raised("F_INVALID_COMPUTER_NAME", "", "RDB's Computer Name"));
}

TEST_F(SystemReportsTest, FirstMatchingComputerById) {
  db_.AddComputer("b-id", "oak");
  db_.AddComputer("a-id", "oak");
  db_.db()->setThisComputer(
      static_cast<SrmComputer*>(db_.db()->findResource(SRM_COMPUTER, "b-id")));
  db_.db()->getThisComputer();
  ASSERT_EQ(1, RunHost());
  EXPECT_EQ("a-id", run_->system_id());
  EXPECT_EQ("oak", run_->system_name());
  EXPECT_EQ((Names{"a-id"}), Keys(run_->category(1)));
}

// A two-node cluster with one virtual server, reported through the cluster rdb type.
TEST_F(SystemReportsTest, ClusterWithNodesAndVirtualServers) {
  db_.MakeCluster("OrvCluster", "cl-1", "payroll");
  db_.db()->cluster_version = "5.0";
  db_.db()->member_count = 2;
  db_.AddComputer("n1", "node1")->setLLTId(0);
  db_.AddComputer("n2", "node2")->setLLTId(1);
  db_.AddVirtualServer("vs1", "payroll-vip");
  ASSERT_EQ(1, run_.Generate(db_.db(), "cluster"));
  EXPECT_TRUE(Logged(6, "Get_Cluster_Instances", "Successfully created Cluster CIM Instance"));
  EXPECT_TRUE(
      Logged(6, "CreateClusterNodeReport", "Successfully created Cluster Nodes CIM Instances"));
  EXPECT_TRUE(
      Logged(6, "Get_VirtualServer_Instances", "Successfully created VirtualServer CIM Instance"));
  EXPECT_TRUE(Logged(6, "Get_ServiceGroup_Instances", "No Service Groups found."));
  EXPECT_EQ("cl-1", run_->system_id());
  EXPECT_EQ("payroll", run_->system_name());

  const CCIMInstance* cluster = run_->FindCIMInstance("cl-1", 1);
  ASSERT_NE(nullptr, cluster);
  EXPECT_STREQ("Tavrix_RM_OrvCluster", cluster->className);
  EXPECT_EQ((Names{"CreationClassName", "Name", "ElementName", "SoftwareVersion", "ClusterState",
                   "MaxNumberOfNodes", "ClusterType"}),
            PropertyNames(cluster));
  EXPECT_EQ("5.0", Prop(cluster, "SoftwareVersion"));
  EXPECT_EQ("2", Prop(cluster, "ClusterState"));
  EXPECT_EQ("2", Prop(cluster, "MaxNumberOfNodes"));
  EXPECT_EQ(nmspc_cim::CIM_UINT32, FindProperty(cluster, "MaxNumberOfNodes")->type);
  EXPECT_EQ("OrvCluster", Prop(cluster, "ClusterType"));

  const CCIMInstance* node = run_->FindCIMInstance("n2", 1);
  EXPECT_STREQ(kHost, node->className);
  EXPECT_EQ((Names{"CreationClassName", "Name", "ElementName"}), PropertyNames(node));
  EXPECT_EQ("node2", Prop(node, "ElementName"));
  const CCIMInstance* vs = run_->FindCIMInstance("vs1", 1);
  EXPECT_STREQ("Tavrix_RM_HalcyonVirtualComputerSystem", vs->className);
  EXPECT_EQ("payroll-vip", Prop(vs, "ElementName"));

  EXPECT_EQ((Names{"n1~cl-1", "n2~cl-1", "vs1~cl-1"}), Keys(run_->associations()));
  const CCIMInstance* member = run_->associations().at("n2~cl-1");
  EXPECT_STREQ("Tavrix_RM_ParticipatingCS", member->className);
  EXPECT_EQ((Names{"Dependent", "Antecedent", "ClusterIndex"}), PropertyNames(member));
  EXPECT_EQ("cl-1", RefKey(member, "Dependent", "Name"));
  EXPECT_EQ("n2", RefKey(member, "Antecedent", "Name"));
  EXPECT_EQ("1", Prop(member, "ClusterIndex"));
  const CCIMInstance* hosting = run_->associations().at("vs1~cl-1");
  EXPECT_STREQ("CIM_HostingCS", hosting->className);
  EXPECT_EQ("vs1", RefKey(hosting, "Dependent", "Name"));
  EXPECT_EQ("cl-1", RefKey(hosting, "Antecedent", "Name"));

  // Cluster, virtual server, nodes (all category 1, by id), then the associations.
  EXPECT_EQ((Names{"Tavrix_RM_OrvCluster", kHost, kHost, "Tavrix_RM_HalcyonVirtualComputerSystem",
                   "Tavrix_RM_ParticipatingCS", "Tavrix_RM_ParticipatingCS", "CIM_HostingCS"}),
            ClassNames(run_.Report()));
}

TEST_F(SystemReportsTest, ClusterTypes) {
  struct {
    std::string type;
    std::string class_name;  // empty: refused
  } cases[] = {{"VeritasCluster", "Tavrix_RM_VeritasCluster"},
               {"OrvCluster", "Tavrix_RM_OrvCluster"},
               {"Cluster", ""},
               {"", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    ResetCapture();
    TestDb db;
    db.MakeCluster(c.type, "id", "alias");
    ReportRun run;
    if (c.class_name.empty()) {
      EXPECT_EQ(0, run.Generate(db.db(), "cluster"));
      EXPECT_TRUE(Logged(1, "Get_Cluster_Instances",
                         "ERROR!!! Unsupported cluster - " + c.type + ". Failing scan"));
      EXPECT_TRUE(Raised("F_UNSUPPORTED_CLUSTER", c.type, "Cluster Type"));
      EXPECT_TRUE(Logged(1, "GenerateCIMReports", "Get_Cluster_Instances FAILED"));
    } else {
      ASSERT_EQ(1, run.Generate(db.db(), "cluster"));
      EXPECT_STREQ(c.class_name.c_str(), run->FindCIMInstance("id", 1)->className);
      EXPECT_TRUE(Logged(6, "Get_VirtualServer_Instances", "No Virtual Servers found."));
      EXPECT_TRUE(Logged(6, "CreateClusterNodeReport", "No systems in the cluster - alias"));
    }
  }
}

TEST_F(SystemReportsTest, ClusterWithoutAnIdFailsAtItsFirstBuild) {
  db_.MakeCluster("OrvCluster", "", "alias");
  EXPECT_EQ(0, run_.Generate(db_.db(), "cluster"));
  EXPECT_TRUE(Logged(1, "UpdateCIMInstMaps", "NaturalName (unique id) is blank."));
  EXPECT_TRUE(Raised("F_REPORT_CONV_FAILURE", "Get_Cluster_Instances", "FailurePoint"));
}

}  // namespace
