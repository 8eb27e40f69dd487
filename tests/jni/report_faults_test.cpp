// Faults of the report and the marshaller that once gave a wrong report without a word: numbers
// beyond their CIM type, kinds sharing an Id, attribute text and characters outside the BMP,
// unreadable arrays, and print with no database.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "cimxml/marshall.h"
#include "db/srm_resource_database.h"
#include "fake_jni.h"
#include "jni/native_methods.h"
#include "kinds/computer.h"
#include "native_lifecycle.h"
#include "providerutil.h"
#include "report/qdx_report.h"

namespace {

using namespace nmspc_cim;

// A host scan whose records are named by ids (disk, partition, volume, group, file system,
// mount point, share) and that carries extra elements for the computer, the disk and the volume.
std::vector<ScanBatch> Scan(const std::vector<std::string>& id, const std::string& computer = "",
                            const std::string& disk = "", const std::string& volume = "") {
  auto el = [](const std::string& key, const std::string& value) {
    return "\"" + key + "=" + value + "\",";
  };
  const std::string d = el("Id", id[0]), p = el("Id", id[1]), v = el("Id", id[2]);
  return {
      {0, "\"Type=System\"," + el("Id", "h") + el("HostName", "h") + computer + ";\n"},
      {1, "\"Type=Disk\"," + d + "\"State=13\",\"Name=/dev/sda\",\"Sign=1\"," + disk + ";\n"},
      {2, "\"Type=DiskChunk\"," + p + "\"State=12\"," + el("Disk", id[0]) + ";\n"},
      {3, "\"Type=VolumeManager\",\"Id=vm\",\"IdType=1\",\"VolumeMgrName=n\",;\n"},
      {4, "\"Type=Volume\"," + v + "\"State=12\",\"VolumeManager=1\",\"DiskChunkCount=1\"," +
              volume + ";\n\"Type=DiskChunk\"," + p + ";\n"},
      {5, "\"Type=VolumeGroup\"," + el("Id", id[3]) +
              "\"State=12\",\"VolumeManager=1\",\"DiskCount=1\",\"VolumeCount=1\",;\n"
              "\"Type=Disk\"," +
              d + ";\n\"Type=Volume\"," + v + ";\n"},
      {6, "\"Type=FileSystem\"," + el("Id", id[4]) + el("Volume", id[2]) + "\"State=12\",;\n"},
      {7, "\"Type=MountPoint\"," + el("Id", id[5]) + el("VolumeId", id[2]) + "\"State=12\",;\n"},
      {8, "\"Type=Share\"," + el("Id", id[6]) + el("VolumeId", id[2]) +
              "\"State=12\",\"ShareFsType=0\",;\n"},
  };
}

class ReportFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("RESDB_LOG_STDERR", "0", 1);
    ProviderUtil::clearCaptured();
  }
  std::string Report(const std::vector<ScanBatch>& scan) {
    jlong handle = RESDB_NATIVE_NAME(create)(jni_.env(), nullptr);
    std::string report = RunLifecycle(jni_.env(), handle, scan).report;
    RESDB_NATIVE_NAME(destroy)(jni_.env(), nullptr, handle);
    return report;
  }
  static bool Logged(int level, const std::string& part1, const std::string& part2) {
    for (const ProviderLogLine& line : ProviderUtil::getLogLines()) {
      if (line.level == level && line.message.find(part1) != std::string::npos &&
          line.message.find(part2) != std::string::npos) {
        return true;
      }
    }
    return false;
  }
  // How often each line of text occurs.
  static std::map<std::string, int> LineCounts(const std::string& text) {
    std::map<std::string, int> counts;
    for (size_t at = 0, end; at < text.size(); at = end + 2) {
      end = text.find("\r\n", at);
      ++counts[text.substr(at, end - at)];
    }
    return counts;
  }
  FakeJni jni_;
};

// The marshalled text of one property of type with value.
std::string PropertyText(const char* name, CIMType type, const char* value) {
  CCIMProperty* p = cim_createProperty(name, type, value, nullptr, CIM_FALSE);
  sbuf* b = sbufCreate(64);
  marshallProperty(b, p, 0);
  std::string text = sbufGetString(b);
  sbufDestroy(b);
  cim_freeProperty(p);
  return text;
}

TEST_F(ReportFaultsTest, IntegerOutsideItsTypeIsLeftNullAndLogged) {
  std::string report =
      Report(Scan({"d", "p", "v", "g", "f", "m", "s"}, "\"ProcCount=70000\",\"ProcSpeedMHz=-1\",",
                  "\"RPM=-7200\",", "\"Status=-1\",\"VolumeType=65536\","));
  const struct {
    const char* property;
    const char* type;
    const char* record;
  } cases[] = {{"NumInstalledProcessors", "uint16", "'h'"},
               {"MaxInstalledProcessorSpeed", "uint16", "'h'"},
               {"DiskRPM", "uint64", "'d'"},
               {"StatusCode", "uint16", "'v'"},
               {"VolumeType", "uint16", "'v'"}};
  for (const auto& c : cases) {
    std::string open =
        std::string("<PROPERTY NAME=\"") + c.property + "\" TYPE=\"" + c.type + "\">";
    EXPECT_NE(report.find(open + "\r\n    </PROPERTY>"), std::string::npos) << c.property;
    EXPECT_TRUE(Logged(PRV_LOG_WARNING, c.property, c.record)) << c.property;
  }
  EXPECT_EQ(report.find("<VALUE>-"), std::string::npos);

  // An unset LLTId (-1) of a cluster node: ClusterIndex is uint16.
  SrmResourceDatabase db;
  db.cluster_name = "OrvCluster";
  db.cluster_id = "c";
  auto* node = new SrmComputer("n1");
  db.addComputer(node, 0);
  node->Release();
  QDX_Report converter;
  ASSERT_EQ(converter.GenerateCIMReports(&db, "cluster"), 1);
  CCIMList* list = converter.GetReport();
  sbuf* b = sbufCreate(64);
  marshallInstanceList(b, list, 0);
  EXPECT_NE(std::string(sbufGetString(b))
                .find("<PROPERTY NAME=\"ClusterIndex\" TYPE=\"uint16\">\r\n    </PROPERTY>"),
            std::string::npos);
  EXPECT_TRUE(Logged(PRV_LOG_WARNING, "ClusterIndex", "'n1'"));
  sbufDestroy(b);
  cim_freeInstanceList(list);
}

TEST_F(ReportFaultsTest, KindsSharingAnIdKeepEveryInstanceAndAssociation) {
  std::string distinct = Report(Scan({"d", "p", "v", "g", "f", "m", "s"}));
  std::string shared = Report(Scan(std::vector<std::string>(7, "X")));
  auto classes = [](const std::string& report) {
    std::map<std::string, int> counts = LineCounts(report);
    for (auto it = counts.begin(); it != counts.end();) {
      it = it->first.find("<INSTANCE CLASSNAME=") == std::string::npos ? counts.erase(it) : ++it;
    }
    return counts;
  };
  ASSERT_EQ(classes(distinct).size(), 18u) << distinct;
  EXPECT_EQ(classes(shared), classes(distinct));
}

TEST_F(ReportFaultsTest, CallerTextInResponseAttributesIsEscaped) {
  sbuf* b = sbufCreate(64);
  ASSERT_EQ(marshallInvokeMethodResults(b, nullptr, "7\"&<>'", "Get\"<"), 0);
  std::string text = sbufGetString(b);
  EXPECT_NE(text.find("<MESSAGE ID=\"7&quot;&amp;&lt;&gt;&apos;\" PROTOCOLVERSION=\"1.0\">"),
            std::string::npos);
  EXPECT_NE(text.find("<METHODRESPONSE NAME=\"Get&quot;&lt;\">"), std::string::npos);
  sbufClear(b);
  ASSERT_EQ(marshallExecQueryResults(b, nullptr, "42"), 0);
  EXPECT_NE(std::string(sbufGetString(b)).find("<IMETHODRESPONSE NAME=\"ExecQuery\">"),
            std::string::npos);
  sbufDestroy(b);
}

TEST_F(ReportFaultsTest, PrintWithoutDatabaseLogsAndStoresItsResult) {
  jstring answer = RESDB_NATIVE_NAME(print)(jni_.env(), nullptr, 0);
  EXPECT_EQ(jni_.text(answer), "ERROR 2");
  EXPECT_TRUE(Logged(PRV_LOG_ERROR, "SrmResourceDatabase is NULL.", ""));
  std::vector<Result> results = ProviderUtil::getResults();
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].getCode(), "F_NULL_POINTER");
}

TEST_F(ReportFaultsTest, SurrogatePairIsOneCharacter) {
  const struct {
    const char* value;
    const char* written;
  } cases[] = {
      {"Caf\xC3\xA9\xE2\x82\xAC\xED\xA0\xBD\xED\xB8\x80x", "Caf\xC3\xA9\xE2\x82\xAC&#x1F600;x"},
      {"\xED\xAF\xBF\xED\xBF\xBF", "&#x10FFFF;"},
      {"\xED\xA0\xBDx", "&#xED;&#xA0;&#xBD;x"},                              // a lone high half
      {"\xED\xB8\x80", "&#xED;&#xB8;&#x80;"},                                // a lone low half
      {"\xED\xA0\xBD\xED\xA0\xBD", "&#xED;&#xA0;&#xBD;&#xED;&#xA0;&#xBD;"},  // two high halves
      {"\xED\xA0\xBD\xED\xB8", "&#xED;&#xA0;&#xBD;&#xED;&#xB8;"},            // a cut low half
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PropertyText("P", CIM_STRING, c.value),
              std::string("<PROPERTY NAME=\"P\" TYPE=\"string\">\r\n  <VALUE>") + c.written +
                  "</VALUE>\r\n</PROPERTY>\r\n");
  }
  EXPECT_EQ(PropertyText("\xED\xA0\xBD\xED\xB8\x80", CIM_STRING, nullptr),
            "<PROPERTY NAME=\"&#x1F600;\" TYPE=\"string\">\r\n</PROPERTY>\r\n");
}

TEST_F(ReportFaultsTest, RealUnderflowIsNearestAndUnreadableArrayIsNull) {
  int count = 0;
  double* r32 = cim_decodeReal32Array("1e-46,-1e-46,1e-45,2", &count);
  ASSERT_NE(r32, nullptr);
  ASSERT_EQ(count, 4);
  EXPECT_EQ(r32[0], 0.0);
  EXPECT_EQ(r32[1], 0.0);
  EXPECT_EQ(static_cast<float>(r32[2]), std::numeric_limits<float>::denorm_min());
  EXPECT_EQ(r32[3], 2.0);
  free(r32);
  long double* r64 = cim_decodeReal64Array("1e-5000", &count);
  ASSERT_NE(r64, nullptr);
  EXPECT_EQ(r64[0], 0.0L);
  free(r64);
  EXPECT_EQ(cim_decodeReal32Array("1e39", &count), nullptr);  // an overflow still fails

  EXPECT_EQ(PropertyText("A", CIM_REAL32_ARRAY, "1,x"),
            "<PROPERTY.ARRAY NAME=\"A\" TYPE=\"real32\">\r\n</PROPERTY.ARRAY>\r\n");
  EXPECT_TRUE(Logged(PRV_LOG_WARNING, "Array property A (real32)", "not a value of its type"));
}

}  // namespace
