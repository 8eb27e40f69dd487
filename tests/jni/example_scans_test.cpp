// The example scans that reach the library as a serialized database rather than through the
// add methods: a scanner error of severity 4 travels with the database and is reported as a
// warning, while the report is still built.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "db/srm_resource_database.h"
#include "jni/print_report.h"
#include "providerutil.h"

namespace {

std::string ExamplePath(const std::string& name) {
  return std::string(RESDB_EXAMPLES_DIR) + "/" + name;
}

TEST(ExampleScansTest, AScannerWarningTravelsWithTheDatabaseAndIsReported) {
  FILE* file = std::fopen(ExamplePath("scanner-warning/database.txt").c_str(), "r");
  ASSERT_NE(nullptr, file);
  SrmResourceDatabase db;
  int loaded = db.deserialize(fileno(file), nullptr);
  std::fclose(file);
  ASSERT_EQ(1, loaded);
  ASSERT_EQ(1, db.getErrorList()->getErrorCount("kestrel"));
  // The add methods learn the host name as they load; a loaded database learns it here.
  ASSERT_NE(nullptr, db.getThisComputer());

  ProviderUtil::clearCaptured();
  std::string report = printReport(&db);
  ASSERT_EQ(0u, report.rfind("<VALUE.OBJECT>", 0)) << report.substr(0, 40);
  EXPECT_NE(std::string::npos, report.find("Tavrix_RM_HalcyonUnitaryComputerSystem"));

  bool warned = false;
  for (const Result& r : ProviderUtil::getResults()) {
    if (r.getCode() != "W_NEW_FS_FOUND_RUN_DETAILSCAN") continue;
    ASSERT_EQ(1u, r.getArgs().size());
    EXPECT_EQ(":ErrorCode: 2001: New file system found on /dev/vg_data/data, run a detailed scan",
              r.getArgs()[0].value);
    warned = true;
  }
  EXPECT_TRUE(warned);
  bool logged = false;
  for (const ProviderLogLine& line : ProviderUtil::getLogLines()) {
    logged |= line.function == "SrmError" && line.level == 4;
  }
  EXPECT_TRUE(logged);
}

}  // namespace
