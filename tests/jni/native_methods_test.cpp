// The exported native methods, called as the virtual machine calls them, through a fake JNIEnv.
#include <gtest/gtest.h>

#include <string>

#include "db/srm_resource_database.h"
#include "fake_jni.h"
#include "jni/add_procedure.h"
#include "jni/native_methods.h"
#include "temp_dir.h"

namespace {

using AddMethod = jstring (*)(JNIEnv*, jobject, jlong, jstring);

#define RESDB_ENTRY(name) \
  { #name, &RESDB_NATIVE_NAME(name) }
const struct {
  const char* name;
  AddMethod call;
} kAddMethods[] = {
    RESDB_ENTRY(addAlias),       RESDB_ENTRY(addComputer),
    RESDB_ENTRY(addDisk),        RESDB_ENTRY(addDiskChunk),
    RESDB_ENTRY(addFileSystem),  RESDB_ENTRY(addMountpoint),
    RESDB_ENTRY(addShare),       RESDB_ENTRY(addVolume),
    RESDB_ENTRY(addVolumeGroup), RESDB_ENTRY(addVolumeManagerInfo),
};
#undef RESDB_ENTRY

// The receiver is never used; any value will do.
jobject const kReceiver = nullptr;

class NativeMethodsTest : public ::testing::Test {
 protected:
  jlong create() { return RESDB_NATIVE_NAME(create)(jni_.env(), kReceiver); }
  void destroy(jlong handle) { RESDB_NATIVE_NAME(destroy)(jni_.env(), kReceiver, handle); }
  std::string call(AddMethod method, jlong handle, jstring text) {
    jstring result = method(jni_.env(), kReceiver, handle, text);
    return result ? jni_.text(result) : std::string("<null>");
  }
  static SrmResourceDatabase* db(jlong handle) {
    return reinterpret_cast<SrmResourceDatabase*>(static_cast<uintptr_t>(handle));
  }

  ScopedTempDir dir_;
  ScopedEnv tmpdir_{"TMPDIR", dir_.path().c_str()};
  FakeJni jni_;
};

TEST_F(NativeMethodsTest, CreateAndDestroy) {
  jlong handle = create();
  ASSERT_NE(0, handle);
  EXPECT_EQ(0, db(handle)->getResourceCount());
  destroy(handle);
  destroy(0);  // does nothing
}

TEST_F(NativeMethodsTest, EveryAddMethodLoadsAnEmptyBatch) {
  jlong handle = create();
  for (const auto& method : kAddMethods) {
    SCOPED_TRACE(method.name);
    EXPECT_EQ(kJniAddSucceeded, call(method.call, handle, jni_.newJavaString("")));
  }
  EXPECT_EQ(0, db(handle)->getResourceCount());
  EXPECT_EQ(jni_.getCharsCalls(), jni_.releaseCharsCalls());
  destroy(handle);
}

// The characters go back to the machine whatever it said about copying them.
TEST_F(NativeMethodsTest, CharactersAreReleasedWithOrWithoutCopy) {
  jlong handle = create();
  for (jboolean copy : {JNI_TRUE, JNI_FALSE}) {
    jni_.setCopyFlag(copy);
    EXPECT_EQ(kJniAddSucceeded, call(kAddMethods[2].call, handle, jni_.newJavaString("")));
  }
  EXPECT_EQ(2, jni_.getCharsCalls());
  EXPECT_EQ(2, jni_.releaseCharsCalls());
  EXPECT_EQ(0, jni_.outstandingChars());
  destroy(handle);
}

TEST_F(NativeMethodsTest, MissingTextOrDatabase) {
  jlong handle = create();
  for (const auto& method : kAddMethods) {
    SCOPED_TRACE(method.name);
    EXPECT_EQ(kJniAddNoMemory, call(method.call, handle, nullptr));
    EXPECT_EQ(kJniAddAttachFailed, call(method.call, 0, jni_.newJavaString("x,;")));
  }
  EXPECT_EQ(0, jni_.getCharsCalls());
  destroy(handle);
}

// A machine that cannot hand out the characters has an OutOfMemoryError pending; the method
// answers nothing and makes no further call, so Java sees the error.
TEST_F(NativeMethodsTest, CharactersUnavailable) {
  jlong handle = create();
  jni_.setFailGetChars(true);
  EXPECT_EQ(nullptr, kAddMethods[0].call(jni_.env(), kReceiver, handle, jni_.newJavaString("")));
  EXPECT_TRUE(jni_.exceptionPending());
  EXPECT_EQ(0, jni_.newStringCalls());
  EXPECT_EQ(0, jni_.releaseCharsCalls());
  destroy(handle);
}

TEST_F(NativeMethodsTest, WholeDatabaseMethodsWithoutADatabase) {
  JNIEnv* env = jni_.env();
  EXPECT_EQ(0, RESDB_NATIVE_NAME(resolveDatabase)(env, kReceiver, 0));
  EXPECT_EQ(0, RESDB_NATIVE_NAME(serialize)(env, kReceiver, 0));
  EXPECT_EQ("ERROR 2", jni_.text(RESDB_NATIVE_NAME(print)(env, kReceiver, 0)));
}

TEST_F(NativeMethodsTest, PrintOfAnEmptyDatabase) {
  jlong handle = create();
  EXPECT_EQ("ERROR 2", jni_.text(RESDB_NATIVE_NAME(print)(jni_.env(), kReceiver, handle)));
  destroy(handle);
}

TEST_F(NativeMethodsTest, PrintReportsALoadedHost) {
  jlong handle = create();
  ASSERT_EQ(kJniAddSucceeded,
            call(&RESDB_NATIVE_NAME(addComputer), handle,
                 jni_.newJavaString("\"Type=System\",\"Id=h1\",\"HostName=h1\",\"TIM=1\",;\n")));
  ASSERT_EQ(kJniAddSucceeded,
            call(&RESDB_NATIVE_NAME(addDisk), handle,
                 jni_.newJavaString("\"Type=Disk\",\"Id=d1\",\"Name=sda\",\"Sign=7\",;\n")));
  RESDB_NATIVE_NAME(resolveDatabase)(jni_.env(), kReceiver, handle);
  std::string text = jni_.text(RESDB_NATIVE_NAME(print)(jni_.env(), kReceiver, handle));
  EXPECT_EQ(0u, text.find("<VALUE.OBJECT>")) << text;
  EXPECT_NE(std::string::npos, text.find("CLASSNAME=\"Tavrix_RM_DiskDrive\"")) << text;
  destroy(handle);
}

TEST_F(NativeMethodsTest, LoadsAComputerAndItsDisks) {
  jlong handle = create();
  EXPECT_EQ(kJniAddSucceeded,
            call(&RESDB_NATIVE_NAME(addComputer), handle,
                 jni_.newJavaString("\"Type=System\",\"Id=h1\",\"HostName=h1\",;\n")));
  const std::string disks =
      "\"Type=Disk\",\"Id=d1\",\"Name=sda\",;\n"
      "\"Type=Disk\",\"Id=d2\",\"Name=sdb\",;\n"
      "\"Type=Disk\",\"Id=d1\",\"Name=sda\",;\n";
  EXPECT_EQ(kJniAddSucceeded, call(&RESDB_NATIVE_NAME(addDisk), handle, jni_.newJavaString(disks)));
  EXPECT_EQ(3, db(handle)->getResourceCount());
  EXPECT_NE(nullptr, db(handle)->findResource(SRM_DISK, "d2"));
  EXPECT_EQ(0, jni_.outstandingChars());
  destroy(handle);
}

}  // namespace
