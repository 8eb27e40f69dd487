// What the golden scans cannot reach: the native methods' answers to a missing text, database
// or character array, and the add procedure's answers when a record, the staging file or the
// stream attachment fails.
#include <dirent.h>
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "fake_jni.h"
#include "jni/add_methods.h"
#include "jni/add_procedure.h"
#include "jni/native_methods.h"
#include "kinds/volume.h"
#include "kinds/volume_group.h"
#include "native_lifecycle.h"
#include "temp_dir.h"
#include "tuple/report_tuple.h"

namespace {

class NativeEdgesTest : public ::testing::Test {
 protected:
  std::string call(jstring (*method)(JNIEnv*, jobject, jlong, jstring), jlong handle,
                   jstring text) {
    jstring result = method(jni_.env(), nullptr, handle, text);
    return result ? jni_.text(result) : std::string("<null>");
  }
  ScopedTempDir dir_;
  ScopedEnv tmpdir_{"TMPDIR", dir_.path().c_str()};
  FakeJni jni_;
};

TEST_F(NativeEdgesTest, MissingTextDatabaseOrCharacters) {
  JNIEnv* env = jni_.env();
  jlong handle = RESDB_NATIVE_NAME(create)(env, nullptr);
  for (const NativeAddMethod& method : kNativeAddMethods) {
    SCOPED_TRACE(method.name);
    EXPECT_EQ(kJniAddNoMemory, call(method.call, handle, nullptr));
    EXPECT_EQ(kJniAddAttachFailed, call(method.call, 0, jni_.newJavaString("x,;")));
  }
  EXPECT_EQ(0, jni_.getCharsCalls());
  // The characters go back to the machine whatever it said about copying them.
  for (jboolean copy : {JNI_TRUE, JNI_FALSE}) {
    jni_.setCopyFlag(copy);
    EXPECT_EQ(kJniAddSucceeded, call(kNativeAddMethods[1].call, handle, jni_.newJavaString("")));
  }
  EXPECT_EQ(2, jni_.releaseCharsCalls());
  // A machine out of memory has an exception pending: the method answers null, calls nothing.
  const int made = jni_.newStringCalls();
  jni_.setFailGetChars(true);
  EXPECT_EQ("<null>", call(kNativeAddMethods[0].call, handle, jni_.newJavaString("")));
  EXPECT_TRUE(jni_.exceptionPending());
  EXPECT_EQ(made, jni_.newStringCalls());
  EXPECT_EQ(2, jni_.releaseCharsCalls());
  jni_.clearException();
  EXPECT_EQ("ERROR 2", jni_.text(RESDB_NATIVE_NAME(print)(env, nullptr, handle)));  // empty
  RESDB_NATIVE_NAME(destroy)(env, nullptr, handle);
  EXPECT_EQ(0, RESDB_NATIVE_NAME(resolveDatabase)(env, nullptr, 0));
  EXPECT_EQ(0, RESDB_NATIVE_NAME(serialize)(env, nullptr, 0));
  EXPECT_EQ("ERROR 2", jni_.text(RESDB_NATIVE_NAME(print)(env, nullptr, 0)));
  RESDB_NATIVE_NAME(destroy)(env, nullptr, 0);  // does nothing
}

// A record kind for the add procedure alone: its Id is its tuple's first element; "bad" does
// not read and "throw" throws while reading. Counts the live records and the merges.
class FakeRecord : public SrmResource {
 public:
  static int live, merges;
  FakeRecord() : SrmResource(SRM_SHARE) { ++live; }
  int mergeResource(SrmResource*) override { return ++merges; }
  int serialize(int, int) override { return 1; }
  int deserialize(int fd, CSRMReportTuple* tuple) override {
    std::string first;
    if (fd < 0 || tuple == nullptr || tuple->getNextElement(&first) != 0) return 0;
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

int creations_left = -1;  // < 0: unlimited
bool throw_on_exhaustion = true;
SrmResource* CreateFake(SrmResourceDatabase*) {
  if (creations_left == 0) {
    if (throw_on_exhaustion) throw std::bad_alloc();
    return nullptr;
  }
  if (creations_left > 0) --creations_left;
  return new FakeRecord();
}
SrmResource* FindFake(SrmResourceDatabase* db, SrmResource* r) {
  return db->findResource(SRM_SHARE, r->getId());
}
int InsertFake(SrmResourceDatabase* db, SrmResource* r) {
  return db->addResource(r);
}
const JniAddMethod kMatched = {CreateFake, FindFake, InsertFake, {"first", "second"}};
const JniAddMethod kUnmatched = {CreateFake, nullptr, InsertFake, {"only", nullptr}};

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

TEST_F(NativeEdgesTest, AddProcedureLoadsMergesAndDrops) {
  const struct {
    const char* text;
    const JniAddMethod* method;
    int stored, merges;
  } cases[] = {
      {" \n;\n", &kMatched, 0, 0},          {"a,;\nb,;\n", &kMatched, 2, 0},
      {"a,;\na,;\na,;\n", &kMatched, 1, 2}, {"a,;\na,;\n", &kUnmatched, 1, 0},
      {"bad,;\na,;\n", &kMatched, 1, 0},
  };
  const int descriptors = OpenDescriptors();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    SrmResourceDatabase db;
    FakeRecord::merges = 0;
    EXPECT_STREQ(kJniAddSucceeded, jniAddBatch(&db, c.text, *c.method));
    EXPECT_EQ(c.stored, db.getResourceCount());
    EXPECT_EQ(c.merges, FakeRecord::merges);
    EXPECT_EQ(c.stored, FakeRecord::live);  // merged and dropped records are gone
    EXPECT_EQ(nullptr, db.getTupleStream());
  }
  EXPECT_EQ(0, FakeRecord::live);
  EXPECT_EQ(descriptors, OpenDescriptors());
  EXPECT_EQ(0, dir_.entryCount());
}

// Containers that name more children than they gather in place link every one of them: a
// volume its chunks (stored before it), a group its disks (which it makes, the database lacking
// them).
TEST_F(NativeEdgesTest, ContainersLinkEveryChildTheyName) {
  for (int named : {3, 16, 17, 40}) {
    SCOPED_TRACE(named);
    const std::string count = std::to_string(named);
    std::string chunks;
    std::string volume = "\"Type=Volume\",\"Id=v\",\"DiskChunkCount=" + count + "\",;\n";
    std::string group = "\"Type=VolumeGroup\",\"Id=g\",\"DiskCount=" + count + "\",;\n";
    for (int i = 0; i < named; ++i) {
      const std::string n = std::to_string(i);
      chunks += "\"Type=DiskChunk\",\"Id=c" + n + "\",;\n";
      volume += "\"Type=DiskChunk\",\"Id=c" + n + "\",;\n";
      group += "\"Type=Disk\",\"Id=d" + n + "\",;\n";
    }
    SrmResourceDatabase db;
    EXPECT_STREQ(kJniAddSucceeded, jniAddBatch(&db, chunks.c_str(), kJniAddDiskChunk));
    EXPECT_STREQ(kJniAddSucceeded, jniAddBatch(&db, volume.c_str(), kJniAddVolume));
    EXPECT_STREQ(kJniAddSucceeded, jniAddBatch(&db, group.c_str(), kJniAddVolumeGroup));
    auto* v = static_cast<SrmVolume*>(db.findResource(SRM_VOLUME, "v"));
    auto* g = static_cast<SrmVolumeGroup*>(db.findResource(SRM_VOLUMEGROUP, "g"));
    ASSERT_NE(nullptr, v);
    ASSERT_NE(nullptr, g);
    EXPECT_EQ(named, v->getDiskChunkList()->getTypeCount(SRM_DISKCHUNK));
    EXPECT_EQ(named, g->getDiskList()->getTypeCount(SRM_DISK));
    EXPECT_EQ(named, db.getResourceList()->getTypeCount(SRM_DISK));
  }
}

TEST_F(NativeEdgesTest, AddProcedureFailuresKeepWhatWasAdded) {
  for (bool throws : {true, false}) {
    SrmResourceDatabase db;
    creations_left = 1;
    throw_on_exhaustion = throws;
    EXPECT_STREQ(kJniAddNoMemory, jniAddBatch(&db, "a,;\nb,;\nc,;\n", kMatched));
    EXPECT_EQ(1, db.getResourceCount());
    EXPECT_EQ(nullptr, db.getTupleStream());
  }
  creations_left = -1;
  SrmResourceDatabase db;
  EXPECT_STREQ(kJniAddNoMemory, jniAddBatch(&db, "a,;\nthrow,;\nb,;\n", kMatched));
  EXPECT_EQ(1, db.getResourceCount());
}

FILE* NoFile(const char*) {
  return nullptr;
}
FILE* FullDevice(const char*) {
  return std::fopen("/dev/full", "w+");
}
bool ShortWrite(FILE*, const char*) {
  return false;
}
int RefuseAttach(SrmResourceDatabase*, int) {
  return 0;
}

TEST_F(NativeEdgesTest, StagingFailuresAddNothing) {
  const JniStagingSteps& real = jniDefaultStagingSteps();
  const struct {
    JniStagingSteps steps;
    const char* result;
  } cases[] = {
      {{NoFile, real.write_text, real.attach}, kJniAddNoStagingFile},
      {{real.open_file, ShortWrite, real.attach}, kJniAddNoStagingFile},
      {{FullDevice, real.write_text, real.attach}, kJniAddNoStagingFile},
      {{real.open_file, real.write_text, RefuseAttach}, kJniAddAttachFailed},
  };
  SrmResourceDatabase db;
  for (const auto& c : cases) {
    EXPECT_STREQ(c.result, jniAddBatch(&db, "a,;\nb,;\n", kMatched, c.steps));
    EXPECT_EQ(0, db.getResourceCount());
    EXPECT_EQ(0, FakeRecord::live);
    EXPECT_EQ(0, db.getErrorList()->getErrorCount());  // no host name to file it under
  }
  EXPECT_EQ(0, dir_.entryCount());
}

// A batch that cannot be attached files its method's messages under the host name.
TEST_F(NativeEdgesTest, AttachFailureFilesTheMethodsMessages) {
  const JniAddMethod* methods[] = {
      &kJniAddAlias,       &kJniAddComputer,         &kJniAddDisk,  &kJniAddDiskChunk,
      &kJniAddFileSystem,  &kJniAddMountpoint,       &kJniAddShare, &kJniAddVolume,
      &kJniAddVolumeGroup, &kJniAddVolumeManagerInfo};
  SrmResourceDatabase db;
  ASSERT_STREQ(kJniAddSucceeded,
               jniAddBatch(&db, "\"Type=System\",\"Id=h1\",\"HostName=h1\",;\n", kJniAddComputer));
  const JniStagingSteps& real = jniDefaultStagingSteps();
  const JniStagingSteps refusing = {real.open_file, real.write_text, RefuseAttach};
  std::vector<std::string> expected;
  for (const JniAddMethod* method : methods) {
    EXPECT_STREQ(kJniAddAttachFailed, jniAddBatch(&db, "", *method, refusing));
    for (const char* message : method->attach_failure_messages) {
      if (message != nullptr) expected.push_back(message);
    }
  }
  const SrmErrorList::ErrorQueue* errors = db.getErrorList()->getSrmErrorIdMap("h1");
  ASSERT_NE(nullptr, errors);
  std::vector<std::string> filed;
  for (const auto& e : *errors) {
    filed.push_back(e->getDescription());
    EXPECT_EQ(22, e->getCode());
    EXPECT_EQ(2, e->getSeverity());
  }
  EXPECT_EQ(expected, filed);
  EXPECT_EQ(11u, filed.size());
}

}  // namespace
