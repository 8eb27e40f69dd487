// Validation of the marshaller's output against the CIM-XML DTD with xmllint (through
// validate_cimxml.sh beside this file): a report-like instance list in the CIM / DECLARATION /
// DECLGROUP frame, and the three response documents as they are. Skipped when xmllint or the
// DTD is missing. The DTD is found from RESDB_DTD, or as shared/dtd/DSP0203_2.2.0.dtd in or
// above the current directory or this file's directory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "cimxml/marshall.h"
#include "marshall_test_util.h"
#include "temp_dir.h"

namespace {

using namespace marshall_test;

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// shared/dtd/DSP0203_2.2.0.dtd in dir or a directory above it, or "".
std::string FindDtdFrom(std::string dir) {
  while (!dir.empty()) {
    std::string candidate = dir + "/shared/dtd/DSP0203_2.2.0.dtd";
    if (access(candidate.c_str(), R_OK) == 0) return candidate;
    if (dir == "/") break;
    dir = DirectoryOf(dir);
    if (dir.empty()) dir = "/";
  }
  return "";
}

std::string FindDtd() {
  const char* given = getenv("RESDB_DTD");
  if (given != nullptr && access(given, R_OK) == 0) return given;
  char cwd[4096];
  std::string found = getcwd(cwd, sizeof(cwd)) != nullptr ? FindDtdFrom(cwd) : "";
  if (found.empty() && __FILE__[0] == '/') found = FindDtdFrom(DirectoryOf(__FILE__));
  return found;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class MarshallValidationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v xmllint >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xmllint";
    dtd_ = FindDtd();
    if (dtd_.empty()) GTEST_SKIP() << "CIM-XML DTD not found; set RESDB_DTD";
    script_ = DirectoryOf(__FILE__) + "/validate_cimxml.sh";
    ASSERT_EQ(access(script_.c_str(), R_OK), 0) << script_;
  }

  // Runs the script on text (a complete document when document is set); "" when valid, else
  // the script's output.
  std::string Validate(const std::string& text, bool document) {
    std::string input = dir_.path() + "/input.xml";
    std::string output = dir_.path() + "/xmllint.txt";
    std::ofstream(input, std::ios::binary) << text;
    std::string command = "sh " + Quoted(script_) + (document ? " --document " : " ") +
                          Quoted(input) + " " + Quoted(dtd_) + " >" + Quoted(output) + " 2>&1";
    int status = std::system(command.c_str());
    if (status == 0) return "";
    std::stringstream log;
    log << std::ifstream(output).rdbuf();
    return "status " + std::to_string(status) + ": " + log.str();
  }

  ScopedTempDir dir_;
  std::string dtd_;
  std::string script_;
};

// A host scan's kind of report: a computer system, disks with sizes, flags and arrays, volumes,
// file systems, an IP endpoint, associations between them and an association that refers to
// another association; texts with markup, UTF-8, stray bytes and control bytes.
List ReportLikeInstances() {
  List list(cim_createInstanceList());
  CCIMInstance* host = cim_createInstance("CIM_UnitaryComputerSystem");
  Add(host, "CreationClassName", CIM_STRING, "CIM_UnitaryComputerSystem", true);
  Add(host, "Name", CIM_STRING, "host1.example.com", true);
  Add(host, "Description", CIM_STRING,
      "R&D <lab> \"east\" 'wing' caf\xe9 M\xc3\xbcller \xf0\x9f\x92\xbe\t\x01");
  Add(host, "Dedicated", CIM_UINT16_ARRAY, "0,2,");
  const char* roles[] = {"file server", "a,b\\c", "<x>"};
  char* encoded = cim_encodeStringArray(roles, 3);
  Add(host, "Roles", CIM_STRING_ARRAY, encoded);
  free(encoded);
  Add(host, "Owner", CIM_STRING, nullptr);

  CCIMInstance* disk = cim_createInstance("CIM_DiskDrive");
  Add(disk, "SystemName", CIM_STRING, "host1.example.com", true);
  Add(disk, "DeviceID", CIM_STRING, "  ", true);  // written as "0"
  Add(disk, "Size", CIM_UINT64, "4000787030016");
  Add(disk, "Removable", CIM_BOOLEAN, "false");
  Add(disk, "Temperature", CIM_SINT32, "-5");
  Add(disk, "Load", CIM_REAL32, "0.75");
  Add(disk, "InstallDate", CIM_DATETIME, "20240101000000.000000+000");
  uint64_t extents[] = {0, 4294967296ULL, 18446744073709551615ULL};
  encoded = cim_encodeUint64Array(extents, 3);
  Add(disk, "Extents", CIM_UINT64_ARRAY, encoded);
  free(encoded);
  int64_t offsets[] = {-1, 9223372036854775807LL};
  encoded = cim_encodeSint64Array(offsets, 2);
  Add(disk, "Offsets", CIM_SINT64_ARRAY, encoded);
  free(encoded);
  Add(disk, "Flags", CIM_BOOLEAN_ARRAY, "true,false");
  Add(disk, "Ratios", CIM_REAL64_ARRAY, "1e3,-0.5");
  Add(disk, "Codes", CIM_CHAR16_ARRAY, "65,66");
  Add(disk, "Empty", CIM_UINT8_ARRAY, "");
  Add(disk, "Embedded", CIM_INSTANCE, "ignored");

  CCIMInstance* fs = cim_createInstance("CIM_LocalFileSystem");
  Add(fs, "CSName", CIM_STRING, "host1.example.com", true);
  Add(fs, "Name", CIM_STRING, "/export/d\xc3\xa4ta", true);
  Add(fs, "AvailableSpace", CIM_UINT64, "3907018584");

  CCIMInstance* endpoint = cim_createInstance("CIM_IPProtocolEndpoint");
  Add(endpoint, "SystemName", CIM_STRING, "host1.example.com", true);
  Add(endpoint, "Name", CIM_STRING, "IP_10.0.0.1", true);
  Add(endpoint, "IPv4Address", CIM_STRING, "10.0.0.1");

  CCIMInstance* systemDevice = cim_createInstance("CIM_SystemDevice");
  AddReference(systemDevice, "GroupComponent", host, true);
  AddReference(systemDevice, "PartComponent", disk, true);
  CCIMInstance* hosted = cim_createInstance("CIM_HostedFileSystem");
  AddReference(hosted, "GroupComponent", host, true);
  AddReference(hosted, "PartComponent", fs, true);
  // An association whose key refers to another association: a reference inside a reference.
  CCIMInstance* dependency = cim_createInstance("CIM_Dependency");
  AddReference(dependency, "Antecedent", systemDevice, true);
  AddReference(dependency, "Dependent", endpoint, true, "/root//cimv2/");

  for (CCIMInstance* i : {host, disk, fs, endpoint, systemDevice, hosted, dependency}) {
    Append(&list, i);
  }
  return list;
}

TEST_F(MarshallValidationTest, ReportOfInstancesAndAssociationsIsValid) {
  List list = ReportLikeInstances();
  Buffer b = NewBuffer();
  ASSERT_EQ(marshallInstanceList(b.get(), list.get(), 0), 0);
  EXPECT_EQ(Validate(Text(b), false), "");
}

TEST_F(MarshallValidationTest, ResponseDocumentsAreValid) {
  List list = ReportLikeInstances();
  Buffer query = NewBuffer();
  ASSERT_EQ(marshallExecQueryResults(query.get(), list.get(), "1001"), 0);
  EXPECT_EQ(Validate(Text(query), true), "");

  Instance disk(cim_createInstance("CIM_DiskDrive"));
  Add(disk.get(), "SystemName", CIM_STRING, "host1", true);
  Add(disk.get(), "DeviceID", CIM_STRING, nullptr, true);
  Path path(cim_createObjectPath(disk.get()));
  Buffer created = NewBuffer();
  ASSERT_EQ(marshallCreateInstanceResults(created.get(), path.get(), "1002"), 0);
  EXPECT_EQ(Validate(Text(created), true), "");
  Buffer refused = NewBuffer();
  ASSERT_EQ(marshallCreateInstanceResults(refused.get(), nullptr, "1003"), 0);
  EXPECT_EQ(Validate(Text(refused), true), "");

  Property value(cim_createProperty("ReturnValue", CIM_UINT32, "0", nullptr, CIM_FALSE));
  Buffer invoked = NewBuffer();
  ASSERT_EQ(marshallInvokeMethodResults(invoked.get(), value.get(), "1004", "Rescan"), 0);
  EXPECT_EQ(Validate(Text(invoked), true), "");
}

TEST_F(MarshallValidationTest, InvalidTextIsRejected) {
  // The check itself must be able to fail: an INSTANCE directly inside the frame is not CIM-XML.
  Instance instance(cim_createInstance("X"));
  Buffer b = NewBuffer();
  ASSERT_EQ(marshallInstance(b.get(), instance.get(), 0), 0);
  EXPECT_NE(Validate(Text(b), false), "");
}

}  // namespace
