#include "jni/add_procedure.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "model/srm_resource.h"
#include "temp_dir.h"
#include "tuple/report_tuple.h"

namespace {

// A record kind for these tests only: its Id is the text of its tuple's first element.
// A first element "bad" does not read; "throw" throws from deserialize. Counts what happens.
class FakeRecord : public SrmResource {
 public:
  static int live;
  static int merges;
  static int deserialize_fd;

  FakeRecord() : SrmResource(SRM_SHARE) { ++live; }
  int mergeResource(SrmResource*) override {
    ++merges;
    return 1;
  }
  int serialize(int, int) override { return 1; }
  int deserialize(int fd, CSRMReportTuple* tuple) override {
    deserialize_fd = fd;
    std::string first;
    if (tuple == nullptr || tuple->getNextElement(&first) != 0) return 0;
    if (first == "throw") throw std::runtime_error("deserialize");
    if (first == "bad") return 0;
    setId(first);
    return 1;
  }

 private:
  ~FakeRecord() override { --live; }
};
int FakeRecord::live = 0;
int FakeRecord::merges = 0;
int FakeRecord::deserialize_fd = -1;

int creations_left = -1;  // < 0: unlimited
bool throw_on_exhaustion = true;

SrmResource* createFake(SrmResourceDatabase*) {
  if (creations_left == 0) {
    if (throw_on_exhaustion) throw std::bad_alloc();
    return nullptr;
  }
  if (creations_left > 0) --creations_left;
  return new FakeRecord();
}

SrmResource* findFake(SrmResourceDatabase* db, SrmResource* r) {
  return db->findResource(SRM_SHARE, r->getId());
}

int insertFake(SrmResourceDatabase* db, SrmResource* r) {
  return db->addResource(r);
}

const JniAddMethod kMatched = {createFake, findFake, insertFake, {"first", "second"}};
const JniAddMethod kUnmatched = {createFake, nullptr, insertFake, {"only", nullptr}};

int openDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

class AddProcedureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeRecord::live = 0;
    FakeRecord::merges = 0;
    FakeRecord::deserialize_fd = -1;
    creations_left = -1;
    throw_on_exhaustion = true;
    descriptors_ = openDescriptors();
  }
  void TearDown() override {
    // Every batch closes its staging file and leaves no stream attached.
    EXPECT_EQ(descriptors_, openDescriptors());
    EXPECT_EQ(nullptr, db_.getTupleStream());
    EXPECT_EQ(nullptr, db_.getStreamFD());
  }

  ScopedTempDir dir_;
  ScopedEnv tmpdir_{"TMPDIR", dir_.path().c_str()};
  SrmResourceDatabase db_;
  int descriptors_ = 0;
};

struct BatchCase {
  const char* name;
  const char* text;
  const JniAddMethod* method;
  int stored;
  int merges;
};

TEST_F(AddProcedureTest, LoadsBatches) {
  const BatchCase cases[] = {
      {"empty text", "", &kMatched, 0, 0},
      {"blank text", " \n;\n", &kMatched, 0, 0},
      {"two records", "a,;\nb,;\n", &kMatched, 2, 0},
      {"same Id merges", "a,;\na,;\na,;\n", &kMatched, 1, 2},
      {"no lookup replaces", "a,;\na,;\n", &kUnmatched, 1, 0},
      {"unreadable dropped", "bad,;\na,;\nbad,;\n", &kMatched, 1, 0},
      {"all unreadable", "bad,;\nbad,;\n", &kMatched, 0, 0},
  };
  for (const BatchCase& c : cases) {
    SCOPED_TRACE(c.name);
    SrmResourceDatabase db;
    FakeRecord::merges = 0;
    EXPECT_STREQ(kJniAddSucceeded, jniAddBatch(&db, c.text, *c.method));
    EXPECT_EQ(c.stored, db.getResourceCount());
    EXPECT_EQ(c.merges, FakeRecord::merges);
    // Merged and dropped records are gone; the stored ones live on in the database.
    EXPECT_EQ(c.stored, FakeRecord::live);
    EXPECT_EQ(nullptr, db.getTupleStream());
  }
  EXPECT_EQ(0, FakeRecord::live);
  EXPECT_EQ(0, dir_.entryCount());
}

TEST_F(AddProcedureTest, RecordsReadFromTheStagingDescriptor) {
  EXPECT_STREQ(kJniAddSucceeded, jniAddBatch(&db_, "x,;\n", kMatched));
  EXPECT_GE(FakeRecord::deserialize_fd, 0);
  EXPECT_NE(nullptr, db_.findResource(SRM_SHARE, "x"));
}

TEST_F(AddProcedureTest, LaterBatchesMergeIntoEarlierOnes) {
  EXPECT_STREQ(kJniAddSucceeded, jniAddBatch(&db_, "a,;\n", kMatched));
  EXPECT_STREQ(kJniAddSucceeded, jniAddBatch(&db_, "a,;\nb,;\n", kMatched));
  EXPECT_EQ(2, db_.getResourceCount());
  EXPECT_EQ(1, FakeRecord::merges);
}

TEST_F(AddProcedureTest, AllocationFailureKeepsWhatWasAdded) {
  for (bool throws : {true, false}) {
    SCOPED_TRACE(throws ? "throws" : "answers null");
    SrmResourceDatabase db;
    creations_left = 1;
    throw_on_exhaustion = throws;
    EXPECT_STREQ(kJniAddNoMemory, jniAddBatch(&db, "a,;\nb,;\nc,;\n", kMatched));
    EXPECT_EQ(1, db.getResourceCount());
    EXPECT_EQ(nullptr, db.getTupleStream());
  }
}

TEST_F(AddProcedureTest, ExceptionFromARecordDoesNotEscape) {
  EXPECT_STREQ(kJniAddNoMemory, jniAddBatch(&db_, "a,;\nthrow,;\nb,;\n", kMatched));
  EXPECT_EQ(1, db_.getResourceCount());
  EXPECT_EQ(1, FakeRecord::live);
}

// Staging steps that fail on demand; the others are the real ones.
FILE* noFile(const char*) {
  return nullptr;
}
FILE* fullDevice(const char*) {
  return std::fopen("/dev/full", "w+");
}
bool shortWrite(FILE*, const char*) {
  return false;
}
int refuseAttach(SrmResourceDatabase*, int) {
  return 0;
}

TEST_F(AddProcedureTest, StagingFailuresAddNothing) {
  const JniStagingSteps& real = jniDefaultStagingSteps();
  struct Case {
    const char* name;
    JniStagingSteps steps;
    const char* result;
  } cases[] = {
      {"no staging file", {noFile, real.write_text, real.attach}, kJniAddNoStagingFile},
      {"short write", {real.open_file, shortWrite, real.attach}, kJniAddNoStagingFile},
      {"device full", {fullDevice, real.write_text, real.attach}, kJniAddNoStagingFile},
      {"attach refused", {real.open_file, real.write_text, refuseAttach}, kJniAddAttachFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_STREQ(c.result, jniAddBatch(&db_, "a,;\nb,;\n", kMatched, c.steps));
    EXPECT_EQ(0, db_.getResourceCount());
    EXPECT_EQ(0, FakeRecord::live);
    // Without a computer there is no host name to file the attach failure under.
    EXPECT_EQ(0, db_.getErrorList()->getErrorCount());
  }
  EXPECT_EQ(0, dir_.entryCount());
}

}  // namespace
