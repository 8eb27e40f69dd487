// What the golden scans cannot reach of the report: the driver's refusals, each pass that fails
// the report on a database resolution would never leave (a record reported above one that is
// not), the instance maps, the instance builder's failures, and sub-volume walks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cimapi_testing.h"
#include "database_text.h"
#include "db/srm_resource_database.h"
#include "kinds/volume.h"
#include "providerutil.h"
#include "report/qdx_report.h"
#include "report/rm_cim_report.h"

namespace {

// A converter whose database and chunk walk a test may set and read.
class Report : public QDX_Report {
 public:
  void SetDatabase(SrmResourceDatabase* db) { database_ = db; }
};

std::string Captured() {
  std::string text;
  for (const ProviderLogLine& l : ProviderUtil::getLogLines())
    text += std::to_string(l.level) + "|" + l.function + "|" + l.message + "\n";
  for (const Result& r : ProviderUtil::getResults())
    text += r.getCode() + "|" + (r.getArgs().empty() ? "" : r.getArgs()[0].value) + "\n";
  ProviderUtil::clearCaptured();
  return text;
}

const char kHost[] = "\"Type=System\",\"Id=h1\",\"HostName=h1\",\"TIM=1\",;\n";
const char kDisk[] = "\"Type=Disk\",\"Id=d1\",\"Name=sda\",\"Sign=1\",\"State=";
const char kChunk[] = "\"Type=DiskChunk\",\"Id=c1\",\"Disk=d1\",\"State=";
const char kVolume[] =
    "\"Type=Volume\",\"Id=v1\",\"DiskChunkCount=1\",\"SubVolumeCount=0\",\"State=";

TEST(ReportEdgesTest, PassesThatFailTheReport) {
  const std::string host = kHost, disk = kDisk, chunk = kChunk, volume = kVolume;
  const struct {
    int count;
    std::string records, type;
    SrmResourceType withdrawn;
    const char* id;
    std::string captured;
  } cases[] = {
      {1, host, "Host", SRM_NO_TYPE, "",
       "1|GenerateCIMReports|Invalid rdb type - Host\nF_INVALID_RDB_TYPE|Host\n"},
      {3, host + disk + "12\",;\n" + chunk + "12\",;\n", "host", SRM_DISK, "d1",
       "Get_DiskPartition_Instances"},
      {4, host + disk + "12\",;\n" + chunk + "12\",;\n" + volume + "12\",;\n" + chunk + "12\",;\n",
       "host", SRM_DISKCHUNK, "c1", "Get_Volumes_Instances"},
      {5,
       host + disk + "12\",;\n" + chunk + "12\",;\n" + volume + "12\",;\n" + chunk +
           "12\",;\n\"Type=FileSystem\",\"Id=f1\",\"Volume=v1\",\"State=12\",;\n",
       "host", SRM_VOLUME, "v1", "Get_FileSystem_Instances"},
      {1, host, "cluster", SRM_NO_TYPE, "", "Get_Cluster_Instances"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.records);
    SrmResourceDatabase db;
    ASSERT_EQ(1,
              LoadText(&db, "\"ResourceCount=" + std::to_string(c.count) + "\",;\n" + c.records));
    db.getThisComputer();
    if (c.withdrawn != SRM_NO_TYPE) db.findResource(c.withdrawn, c.id)->setReport(false);
    ProviderUtil::clearCaptured();
    Report report;
    EXPECT_EQ(0, report.GenerateCIMReports(&db, c.type));
    std::string captured = Captured();
    if (c.captured.find('\n') != std::string::npos) {
      EXPECT_EQ(c.captured, captured);
    } else {
      EXPECT_NE(std::string::npos, captured.find("F_REPORT_CONV_FAILURE|" + c.captured + "\n"))
          << captured;
      // The pass's own line comes first, naming it.
      EXPECT_NE(std::string::npos, captured.find("|GenerateCIMReports|" + c.captured)) << captured;
    }
  }
  Report report;
  EXPECT_EQ(0, report.GenerateCIMReports(nullptr, "host"));
  EXPECT_EQ("1|GenerateCIMReports|SrmResourceDatabase is NULL.\nF_NULL_POINTER|ResourceDatabase\n",
            Captured());
}

TEST(ReportEdgesTest, InstanceMaps) {
  ProviderUtil::clearCaptured();
  Report report;
  auto bare = [] { return nmspc_cim::cim_createInstance("C"); };
  EXPECT_EQ(0, report.UpdateCIMInstMaps(nullptr, "id", 1));
  EXPECT_EQ(0, report.UpdateCIMInstMaps(bare(), "", 1));
  EXPECT_EQ(0, report.UpdateCIMInstMaps(bare(), "id", 10));
  EXPECT_EQ(0, report.UpdateCIMInstMaps(bare(), "id", -1));
  EXPECT_EQ(
      "1|UpdateCIMInstMaps|CCIMInstance is NULL.\n"
      "1|UpdateCIMInstMaps|NaturalName (unique id) is blank.\n"
      "1|UpdateCIMInstMaps|Invalid resource type.\n1|UpdateCIMInstMaps|Invalid resource type.\n",
      Captured());
  CCIMInstance* first[3] = {bare(), bare(), bare()};
  CCIMInstance* second[3] = {bare(), bare(), bare()};
  const int categories[3] = {0, 2, 9};  // 0 files among the systems (map 1)
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(1, report.UpdateCIMInstMaps(first[i], "x", categories[i]));
    ASSERT_EQ(1, report.UpdateCIMInstMaps(second[i], "x", categories[i]));
  }
  EXPECT_EQ(second[0], report.FindCIMInstance("x", 1));  // systems: the newer replaces
  EXPECT_EQ(first[1], report.FindCIMInstance("x", 2));   // others: the first is kept
  EXPECT_EQ(first[2], report.FindCIMInstance("x", 9));
  EXPECT_EQ(second[0], report.FindCIMInstance("x", 0));  // every map, systems first
  EXPECT_EQ("", Captured());
  EXPECT_EQ(nullptr, report.FindCIMInstance("y", 9));
  EXPECT_EQ(nullptr, report.FindCIMInstance("nowhere", 0));
  EXPECT_EQ(nullptr, report.FindCIMInstance("x", 12));
  EXPECT_EQ(nullptr, report.FindCIMInstance("", 1));
  const std::string warning =
      "4|FindCIMInstMaps|Could not find a CIMInstance with qdxid '%', to be used for CIM "
      "Associations. The Association will not be created.\n";
  const std::string info =
      "6|FindCIMInstMaps|Invalid resource type OR Not found in any resource map.\n";
  auto warn = [&](const std::string& id) {
    std::string w = warning;
    return w.replace(w.find('%'), 1, id);
  };
  EXPECT_EQ(warn("y") + info + warn("nowhere") + info + warn("x") +
                "1|FindCIMInstance|NaturalName (unique id) is blank.\n"
                "W_CIMINSTANCE_NOT_FOUND|y\nW_CIMINSTANCE_NOT_FOUND|nowhere\n"
                "W_CIMINSTANCE_NOT_FOUND|x\n",
            Captured());
  report.LogError("");
  report.LogMissingResoruce("");
  report.LogError("Get_Disk_Instances");
  report.LogMissingResoruce("disk-a");
  EXPECT_EQ(
      "4|LogMissingResoruce|CIMInstance not found for - disk-a. Associations for this resource "
      "will be missing.\nF_REPORT_CONV_FAILURE|Get_Disk_Instances\nW_INSTANCE_NOT_FOUND|disk-a\n",
      Captured());
  const char* names[] = {"Unknown", "IDE", "SCSI", "FC", "SSA", "Serial", "Other", "Unknown"};
  for (int type = -1; type < 8; ++type)
    EXPECT_EQ(names[type < 0 ? 0 : type], report.GetDiskTypeAsString(type)) << type;
}

TEST(ReportEdgesTest, VolumeManagerLookups) {
  SrmResourceDatabase db;
  ASSERT_EQ(1, LoadText(&db,
                        "\"ResourceCount=2\",;\n\"Type=VolumeManager\",\"Id=b\",\"IdType=1\",;\n"
                        "\"Type=VolumeManager\",\"Id=a\",\"IdType=1\",\"VolumeMgrName=vx\","
                        "\"VolumeMgrVersion=7.4\",;\n"));
  Report report;
  report.SetDatabase(&db);
  ASSERT_EQ(1, report.GetVolumeMgrInfo());
  const char* cases[][3] = {{"", "keep", "keep"}, {"01", "vx", "7.4"}, {"x", "Unknown", "Unknown"}};
  for (const auto& c : cases) {
    std::string name = "keep", version = "keep";
    EXPECT_EQ(1, report.GetVolMgrNameandVer(c[0], &name, &version));
    EXPECT_EQ(std::string(c[1]) + c[2], name + version) << c[0];
  }
}

// The chunks under a volume's sub-volume tree: each once, cycles ending the walk, a chain far
// deeper than any stack.
TEST(ReportEdgesTest, ChunkWalk) {
  SrmResourceDatabase db;
  std::string text = "\"ResourceCount=4\",;\n";
  for (const char* id : {"c1", "c2", "c3", "deep"})
    text += "\"Type=DiskChunk\",\"Id=" + std::string(id) + "\",\"Disk=d1\",;\n";
  ASSERT_EQ(1, LoadText(&db, text));
  auto volume = [&db](const std::string& id, std::initializer_list<const char*> chunks) {
    auto* v = new SrmVolume(id);
    EXPECT_EQ(1, db.addResource(v));
    v->Release();
    for (const char* c : chunks) v->addDiskChunk(db.findResource(SRM_DISKCHUNK, c));
    return v;
  };
  SrmVolume* top = volume("top", {"c1"});
  SrmVolume* a = volume("a", {"c2", "c1"});
  SrmVolume* b = volume("b", {"c3"});
  top->addSubVolume(a);
  a->addSubVolume(b);
  b->addSubVolume(a);
  b->addSubVolume(b);
  SrmVolume* parent = volume("chain", {});
  SrmVolume* chain = parent;
  for (int i = 0; i < 100000; ++i) {
    SrmVolume* sub = volume("v" + std::to_string(i), {});
    parent->addSubVolume(sub);
    parent = sub;
  }
  parent->addDiskChunk(db.findResource(SRM_DISKCHUNK, "deep"));
  const struct {
    SrmVolume* volume;
    std::vector<std::string> chunks;
  } cases[] = {{top, {"c1", "c2", "c3"}}, {b, {"c1", "c2", "c3"}}, {chain, {"deep"}}};
  for (const auto& c : cases) {
    Report report;
    report.CollectDiskChunks(c.volume);
    std::vector<std::string> ids;
    for (const auto& entry : report.disk_chunk_set()) ids.push_back(entry.first);
    EXPECT_EQ(c.chunks, ids);
  }
}

TEST(ReportEdgesTest, InstanceBuilderFailures) {
  ProviderUtil::clearCaptured();
  const struct {
    std::string class_name;
    int key_count;
    bool fail_allocation;
    std::string captured;
  } cases[] = {
      {"", 2, false,
       "1|Initialize()|Class name for the cim instance is blank. CRITCAL ERROR\n"
       "F_REPORT_CONV_FAILURE|Blank CIM class name\n"},
      {"C", -1, false,
       "1|Initialize()|There must be 0 or more keys. CRITCAL ERROR\n"
       "F_REPORT_CONV_FAILURE|Invalid number of keys\n"},
      {"C", 2, true, ""},
  };
  for (const auto& c : cases) {
    auto* b = new RM_CIM_Report();
    if (c.fail_allocation) nmspc_cim::cim_testFailAllocationsAfter(0);
    EXPECT_EQ(0, b->Initialize(c.class_name.c_str(), c.key_count, rm_computersystem_keys));
    nmspc_cim::cim_testFailAllocationsAfter(-1);
    std::string captured = Captured();
    if (!c.captured.empty()) {
      EXPECT_EQ(c.captured, captured);
    }
    EXPECT_EQ(0u, captured.find("1|Initialize()|")) << captured;
    EXPECT_EQ(0, b->SetProperty("Name", "x", nmspc_cim::CIM_STRING, true, true));
    EXPECT_EQ(nullptr, b->GetCIMInstance());
    EXPECT_EQ(
        "1|SetKey()|Status is invalid, Initialize() not called.\n"
        "1|GetInstance()|CIMInstance is NULL. CRITICAL ERROR\nF_NULL_POINTER|CIMInstance\n",
        Captured());
    b->Release();
  }
  auto* b = new RM_CIM_Report();
  EXPECT_EQ(0, b->Initialize("C", 2, nullptr));  // keys announced, no table
  EXPECT_EQ(0u, Captured().find("1|Initialize()|"));
  ASSERT_EQ(1, b->Initialize("Assoc", 2, rm_antdep_asso_keys));
  EXPECT_EQ(0, b->SetProperty("Dependent", nullptr, nmspc_cim::CIM_REFERENCE, true, false));
  EXPECT_EQ(0, b->SetProperty("Odd", "v", static_cast<CIMType>(99), false, true));
  std::string captured = Captured();
  EXPECT_EQ(0u, captured.find("1|InsertProperty|Unable to create object path\n1|SetProperty()|"))
      << captured;
  EXPECT_NE(std::string::npos,
            captured.find(" while setting Odd with value v\nF_REPORT_CONV_FAILURE|"));
  b->Release();  // never handed out: freed here

  ProviderUtil::setAvailable(false);
  b = new RM_CIM_Report("p");
  EXPECT_EQ(0, b->Initialize("", 0, nullptr));
  EXPECT_EQ("1|Initialize()|Class name for the cim instance is blank. CRITCAL ERROR\n", Captured());
  b->Release();
  SrmResourceDatabase db;
  db.addError("h1", "slow", 9, 4);
  Report report;
  EXPECT_EQ(0, report.GenerateCIMReports(&db, "host"));  // no computer
  EXPECT_EQ(0u, Captured().find("1|QDX_Report::Get_Error_Instances|Could not create a Utilities "
                                "object for error handling\n4|SrmError|:ErrorCode: 9: slow\n"));
  ProviderUtil::setAvailable(true);
}

}  // namespace
