// The ten add methods' table entries, driven with real record kinds.
#include "jni/add_methods.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "model/srm_error.h"
#include "model/srm_resource.h"
#include "temp_dir.h"

namespace {

struct MethodCase {
  const char* name;
  const JniAddMethod* method;
  SrmResourceType kind;
  bool linked;  // the new record sees the database while it reads
  int messages;
};

const MethodCase kMethods[] = {
    {"addAlias", &kJniAddAlias, SRM_ALIAS, false, 1},
    {"addComputer", &kJniAddComputer, SRM_COMPUTER, true, 1},
    {"addDisk", &kJniAddDisk, SRM_DISK, true, 2},
    {"addDiskChunk", &kJniAddDiskChunk, SRM_DISKCHUNK, true, 1},
    {"addFileSystem", &kJniAddFileSystem, SRM_FILESYSTEM, true, 1},
    {"addMountpoint", &kJniAddMountpoint, SRM_MOUNTPOINT, true, 1},
    {"addShare", &kJniAddShare, SRM_SHARE, false, 1},
    {"addVolume", &kJniAddVolume, SRM_VOLUME, true, 1},
    {"addVolumeGroup", &kJniAddVolumeGroup, SRM_VOLUMEGROUP, true, 1},
    {"addVolumeManagerInfo", &kJniAddVolumeManagerInfo, SRM_VOLUMEMANAGER, false, 1},
};

const char kComputer[] = "\"Type=System\",\"Id=host1\",\"HostName=Host1\",;\n";

class AddMethodsTest : public ::testing::Test {
 protected:
  ScopedTempDir dir_;
  ScopedEnv tmpdir_{"TMPDIR", dir_.path().c_str()};
  SrmResourceDatabase db_;
};

TEST_F(AddMethodsTest, EachMethodMakesItsKind) {
  for (const MethodCase& c : kMethods) {
    SCOPED_TRACE(c.name);
    SrmResource* record = c.method->create(&db_);
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(c.kind, record->getType());
    EXPECT_EQ(c.linked ? &db_ : nullptr, record->getDatabase());
    record->Release();
  }
}

int refuseAttach(SrmResourceDatabase*, int) {
  return 0;
}

// A batch that cannot be attached is filed under this computer's host name: two errors for
// disks, one for every other kind.
TEST_F(AddMethodsTest, AttachFailureFilesTheMethodsMessages) {
  ASSERT_STREQ(kJniAddSucceeded, jniAddBatch(&db_, kComputer, kJniAddComputer));
  const JniStagingSteps& real = jniDefaultStagingSteps();
  const JniStagingSteps refusing = {real.open_file, real.write_text, refuseAttach};
  int filed = 0;
  for (const MethodCase& c : kMethods) {
    SCOPED_TRACE(c.name);
    EXPECT_STREQ(kJniAddAttachFailed, jniAddBatch(&db_, "", *c.method, refusing));
    filed += c.messages;
    const SrmErrorList::ErrorQueue* errors = db_.getErrorList()->getSrmErrorIdMap("host1");
    ASSERT_NE(nullptr, errors);
    ASSERT_EQ(static_cast<size_t>(filed), errors->size());
    auto it = errors->end();
    for (int i = c.messages - 1; i >= 0; --i) {
      --it;
      EXPECT_EQ(c.method->attach_failure_messages[i], (*it)->getDescription());
      EXPECT_EQ(22, (*it)->getCode());
      EXPECT_EQ(2, (*it)->getSeverity());
    }
  }
  EXPECT_EQ(1, db_.getResourceCount());
}

TEST_F(AddMethodsTest, SameTextTwiceMergesOrReplaces) {
  struct Case {
    const char* name;
    const JniAddMethod* method;
    const char* text;
    SrmResourceType kind;
    const char* id;
  } cases[] = {
      {"computer", &kJniAddComputer, kComputer, SRM_COMPUTER, "host1"},
      {"disk", &kJniAddDisk, "\"Type=Disk\",\"Id=d1\",\"Name=c0t0d0\",\"Sign=7\",;\n", SRM_DISK,
       "d1"},
      {"volume manager", &kJniAddVolumeManagerInfo, "\"Type=VolumeManager\",\"Id=lvm\",;\n",
       SRM_VOLUMEMANAGER, "lvm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SrmResourceDatabase db;
    ASSERT_STREQ(kJniAddSucceeded, jniAddBatch(&db, c.text, *c.method));
    SrmResource* first = db.findResource(c.kind, c.id);
    ASSERT_NE(nullptr, first);
    ASSERT_STREQ(kJniAddSucceeded, jniAddBatch(&db, c.text, *c.method));
    EXPECT_EQ(1, db.getResourceCount());
    SrmResource* second = db.findResource(c.kind, c.id);
    ASSERT_NE(nullptr, second);
    // Merged into the first record, except volume managers: the new one takes the place.
    if (c.method->find != nullptr) {
      EXPECT_EQ(first, second);
    }
  }
}

// A disk described again under another Id but with the first one's global id is found through
// the global-id map and merged.
TEST_F(AddMethodsTest, DisksMatchThroughTheirGlobalId) {
  ASSERT_STREQ(kJniAddSucceeded,
               jniAddBatch(&db_, "\"Type=Disk\",\"Id=d1\",\"LId=g1\",;\n", kJniAddDisk));
  ASSERT_STREQ(kJniAddSucceeded,
               jniAddBatch(&db_, "\"Type=Disk\",\"Id=d2\",\"LId=g1\",;\n", kJniAddDisk));
  EXPECT_EQ(1, db_.getResourceCount());
  EXPECT_NE(nullptr, db_.findResource(SRM_DISK, "d1"));
}

}  // namespace
