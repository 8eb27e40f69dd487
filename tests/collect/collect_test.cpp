// resdb-collect on the saved layouts of tests/data/collect (a laptop, a server with LVM on an
// MD mirror, NFS exports and a multipath LUN, a virtual machine with whole-disk file systems):
// each scan folder must match its expected one byte for byte and replay to a report the DTD
// accepts. Then the sources that fail: a missing tool, malformed JSON, an unwritable folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "fake_jni.h"
#include "jni/native_methods.h"
#include "native_lifecycle.h"
#include "temp_dir.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return in ? text.str() : "<missing " + path + ">";
}

// Runs the tool with args under sh (env: assignments put before it); its exit status, and its
// standard error in *err.
int Collect(const ScopedTempDir& tmp, const std::string& args, std::string* err,
            const std::string& env = "") {
  const std::string command =
      env + " " + RESDB_COLLECT_TOOL + " " + args + " >/dev/null 2>" + tmp.path() + "/err";
  const int status = std::system(command.c_str());
  *err = Slurp(tmp.path() + "/err");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class LayoutTest : public ::testing::TestWithParam<const char*> {};

TEST_P(LayoutTest, WritesTheExpectedScanAndItReplaysToAValidReport) {
  const std::string layout = std::string(RESDB_COLLECT_DATA) + "/" + GetParam();
  ScopedTempDir tmp;
  const std::string out = tmp.path() + "/scan";
  std::string err;
  // Over an earlier scan of another layout, which the run replaces.
  ASSERT_EQ(0, Collect(tmp, std::string("--from ") + RESDB_COLLECT_DATA + "/vm/input " + out, &err))
      << err;
  ASSERT_EQ(0, Collect(tmp, "--from " + layout + "/input " + out, &err)) << err;
  for (int i = 0; i < kNativeAddMethodCount; ++i) {
    const std::string file = std::string("/") + kNativeAddMethods[i].name + ".txt";
    EXPECT_EQ(Slurp(layout + "/expected" + file), Slurp(out + file)) << file;
  }

  FakeJni jni;
  const jlong handle = RESDB_NATIVE_NAME(create)(jni.env(), nullptr);
  const LifecycleResult result = RunLifecycle(jni.env(), handle, LoadScan(out));
  RESDB_NATIVE_NAME(destroy)(jni.env(), nullptr, handle);
  for (const std::string& added : result.added) EXPECT_EQ("The operation succeeded.", added);
  ASSERT_EQ(0u, result.report.rfind("<VALUE.OBJECT>", 0)) << result.report.substr(0, 40);
  std::ofstream(tmp.path() + "/report.xml") << result.report;
  const std::string validate = std::string("sh ") + RESDB_VALIDATE_CIMXML + " " + tmp.path() +
                               "/report.xml " + (std::getenv("RESDB_DTD") ? "" : "2>&1");
  const int valid = std::system(validate.c_str());
  EXPECT_EQ(3, tmp.entryCount());  // scan, err, report.xml: the replaced scan is gone
  if (WEXITSTATUS(valid) == 77) GTEST_SKIP() << "no xmllint or DTD";
  EXPECT_EQ(0, WEXITSTATUS(valid));
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutTest, ::testing::Values("laptop", "server", "vm"));

// Each failing source is named in one line, the rest of the scan is still written (or, when
// the folder itself cannot be, nothing is), and the exit status says which.
TEST(CollectFailureTest, EachFailureIsOneLineNamingItsSource) {
  ScopedTempDir tmp;
  const std::string vm = std::string(RESDB_COLLECT_DATA) + "/vm/input";
  const std::string broken = tmp.path() + "/broken";
  // A folder of saved outputs whose lsblk.json stops short, and a path holding only an lsblk
  // that fails.
  const std::string bin = tmp.path() + "/bin";
  ASSERT_EQ(0, std::system(("cp -r " + vm + " " + broken + " && printf '{\"blockdevices\": [' > " +
                            broken + "/lsblk.json && touch " + tmp.path() + "/file && mkdir " +
                            bin + " && printf '#!/bin/sh\\necho boom >&2; exit 32\\n' > " + bin +
                            "/lsblk && chmod +x " + bin + "/lsblk")
                               .c_str()));
  struct Case {
    std::string env, args;
    int status;
    std::string line;
  } cases[] = {
      // Live: a tool that fails and tools that are missing are named, /proc is still read.
      {"PATH=" + bin, "--stdout System", 0,
       "resdb-collect: error: lsblk --json --bytes --output NAME,KNAME,PATH,TYPE,SIZE,START,VENDOR,"
       "MODEL,REV,SERIAL,WWN,PTUUID,FSTYPE,UUID,HCTL,TRAN,STATE: exited with status 32: boom; "
       "disks, partitions and volumes skipped\n"},
      {"PATH=" + bin, "--stdout System", 0,
       "resdb-collect: findmnt: not installed; file systems and mount points skipped\n"},
      {"", "--from " + broken + " --stdout Disk", 0,
       "resdb-collect: error: " + broken + "/lsblk.json: malformed JSON: "},
      {"", "--from " + vm + " " + tmp.path() + "/file/scan", 1,
       "resdb-collect: error: " + tmp.path() + "/file/scan: Not a directory\n"},
      {"", "--from " + vm + " " + tmp.path(), 1, "not a scan folder; not replaced\n"},
      {"", "--stdout Disks", 2, "resdb-collect: unknown kind Disks\n"},
  };
  for (const Case& c : cases) {
    std::string err;
    EXPECT_EQ(c.status, Collect(tmp, c.args, &err, c.env)) << c.args << "\n" << err;
    EXPECT_NE(std::string::npos, err.find(c.line)) << c.args << "\n" << err;
  }
  EXPECT_EQ(4, tmp.entryCount());  // broken, bin, file, err: nothing half-written beside them
}

}  // namespace
