// A small host's scan loaded batch by batch through the native methods, in an order the agent
// may use, with batches repeated: what the database ends up holding.
#include <gtest/gtest.h>

#include <string>

#include "db/srm_resource_database.h"
#include "fake_jni.h"
#include "jni/native_methods.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "kinds/disk_chunk.h"
#include "kinds/file_system.h"
#include "kinds/mount_point.h"
#include "kinds/volume.h"
#include "kinds/volume_group.h"
#include "temp_dir.h"

namespace {

using AddMethod = jstring (*)(JNIEnv*, jobject, jlong, jstring);

const char kComputer[] =
    "\"Type=System\",\"Id=alder\",\"HostName=alder\",\"OS=Linux 6.1\",\"RAMMB=16384\","
    "\"IPAddr=192.0.2.10\",;\n";
const char kDisks[] =
    "\"Type=Disk\",\"Id=disk-a\",\"LId=wwn-5000c500a1\",\"Name=/dev/sda\",\"Sign=4660\","
    "\"CapacityKB=3907018584\",;\n"
    "\"Type=Disk\",\"Id=disk-b\",\"Name=/dev/sdb\",\"Sign=4661\",\"CapacityKB=976762584\",;\n";
// The same disk seen again later, under its global id, with a model the first batch lacked.
const char kDiskAgain[] =
    "\"Type=Disk\",\"Id=wwn-5000c500a1\",\"LId=wwn-5000c500a1\",\"Model=Castor 4T\",;\n";
const char kChunks[] =
    "\"Type=DiskChunk\",\"Id=disk-a:1\",\"Disk=wwn-5000c500a1\",\"Start=2048\","
    "\"Length=3907016536\",;\n"
    "\"Type=DiskChunk\",\"Id=disk-b:1\",\"Disk=disk-b\",\"Start=2048\",\"Length=976760536\",;\n";
const char kManagers[] =
    "\"Type=VolumeManager\",\"Id=lvm\",\"IdType=1\",\"VolumeMgrName=lvm2\",;\n";
const char kVolumes[] =
    "\"Type=Volume\",\"Id=vg0-root\",\"LId=uuid-root\",\"Name=root\",\"CapacityKB=4883779120\","
    "\"VolumeManager=1\",\"DiskChunkCount=2\",\"SubVolumeCount=0\",;\n"
    "\"Type=DiskChunk\",\"Id=disk-a:1\",;\n"
    "\"Type=DiskChunk\",\"Id=disk-b:1\",;\n";
const char kGroups[] =
    "\"Type=VolumeGroup\",\"Id=vg0\",\"Name=vg0\",\"DiskCount=2\",\"VolumeCount=1\",;\n"
    "\"Type=Disk\",\"Id=disk-a\",;\n"
    "\"Type=Disk\",\"Id=disk-b\",;\n"
    "\"Type=Volume\",\"Id=vg0-root\",;\n";
const char kFileSystems[] =
    "\"Type=FileSystem\",\"Id=fs-root\",\"LId=fs-uuid\",\"Volume=uuid-root\",\"FSType=ext4\","
    "\"CapacityKB=4883779120\",;\n";
const char kMounts[] =
    "\"Type=MountPoint\",\"Id=mp-root\",\"VolumeId=uuid-root\",\"MountPointName=/\","
    "\"MountLocation=fs-uuid\",;\n";

class HostLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = RESDB_NATIVE_NAME(create)(jni_.env(), nullptr);
    ASSERT_NE(0, handle_);
  }
  void TearDown() override { RESDB_NATIVE_NAME(destroy)(jni_.env(), nullptr, handle_); }

  void Add(AddMethod method, const char* text) {
    jstring result = method(jni_.env(), nullptr, handle_, jni_.newJavaString(text));
    ASSERT_NE(nullptr, result);
    EXPECT_EQ("The operation succeeded.", jni_.text(result)) << text;
  }
  SrmResourceDatabase* db() {
    return reinterpret_cast<SrmResourceDatabase*>(static_cast<uintptr_t>(handle_));
  }

  ScopedTempDir dir_;
  ScopedEnv tmpdir_{"TMPDIR", dir_.path().c_str()};
  FakeJni jni_;
  jlong handle_ = 0;
};

TEST_F(HostLoadTest, MixedOrderAndRepeatedBatches) {
  Add(RESDB_NATIVE_NAME(addDisk), kDisks);
  Add(RESDB_NATIVE_NAME(addComputer), kComputer);
  Add(RESDB_NATIVE_NAME(addVolumeManagerInfo), kManagers);
  Add(RESDB_NATIVE_NAME(addDiskChunk), kChunks);
  Add(RESDB_NATIVE_NAME(addVolume), kVolumes);
  Add(RESDB_NATIVE_NAME(addDisk), kDiskAgain);
  Add(RESDB_NATIVE_NAME(addVolumeGroup), kGroups);
  Add(RESDB_NATIVE_NAME(addFileSystem), kFileSystems);
  Add(RESDB_NATIVE_NAME(addMountpoint), kMounts);
  // Every batch again: records merge into what is there, volume managers replace theirs.
  Add(RESDB_NATIVE_NAME(addComputer), kComputer);
  Add(RESDB_NATIVE_NAME(addDisk), kDisks);
  Add(RESDB_NATIVE_NAME(addDiskChunk), kChunks);
  Add(RESDB_NATIVE_NAME(addVolumeManagerInfo), kManagers);
  Add(RESDB_NATIVE_NAME(addFileSystem), kFileSystems);
  Add(RESDB_NATIVE_NAME(addMountpoint), kMounts);

  SrmResourceDatabase* d = db();
  EXPECT_EQ(1, d->getResourceList()->getTypeCount(SRM_COMPUTER));
  EXPECT_EQ(2, d->getResourceList()->getTypeCount(SRM_DISK));
  EXPECT_EQ(2, d->getResourceList()->getTypeCount(SRM_DISKCHUNK));
  EXPECT_EQ(1, d->getResourceList()->getTypeCount(SRM_VOLUMEMANAGER));
  EXPECT_EQ(1, d->getResourceList()->getTypeCount(SRM_VOLUME));
  EXPECT_EQ(1, d->getResourceList()->getTypeCount(SRM_VOLUMEGROUP));
  EXPECT_EQ(1, d->getResourceList()->getTypeCount(SRM_FILESYSTEM));
  EXPECT_EQ(1, d->getResourceList()->getTypeCount(SRM_MOUNTPOINT));
  EXPECT_EQ(0, d->getErrorList()->getErrorCount());

  auto* disk = static_cast<SrmDisk*>(d->findResource(SRM_DISK, "disk-a"));
  ASSERT_NE(nullptr, disk);
  EXPECT_EQ("Castor 4T", disk->getModel()) << "the batch under the global id merged in";
  EXPECT_EQ(3907018584, disk->getCapacityKB());
  EXPECT_EQ("alder", d->getHostName());

  // The chunk named its disk by global id: stored by the disk's Id.
  auto* chunk = static_cast<SrmDiskChunk*>(d->findResource(SRM_DISKCHUNK, "disk-a:1"));
  ASSERT_NE(nullptr, chunk);
  EXPECT_EQ("disk-a", chunk->getDisk());

  auto* volume = static_cast<SrmVolume*>(d->findResource(SRM_VOLUME, "vg0-root"));
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(2, volume->getDiskChunkList()->getTypeCount(SRM_DISKCHUNK));
  EXPECT_EQ(4883779120, volume->getCapacityKB());
  auto* group = static_cast<SrmVolumeGroup*>(d->findResource(SRM_VOLUMEGROUP, "vg0"));
  ASSERT_NE(nullptr, group);
  EXPECT_EQ(volume, group->getVolumeList()->findResource(SRM_VOLUME, "vg0-root"));
  EXPECT_EQ(disk, group->getDiskList()->findResource(SRM_DISK, "disk-a"));

  // The file system and mount point named the volume by its global id: stored by its Id.
  auto* fs = static_cast<SrmFileSystem*>(d->findResource(SRM_FILESYSTEM, "fs-root"));
  ASSERT_NE(nullptr, fs);
  EXPECT_EQ("vg0-root", fs->getVolume());
  auto* mount = static_cast<SrmMountPoint*>(d->findResource(SRM_MOUNTPOINT, "mp-root"));
  ASSERT_NE(nullptr, mount);
  EXPECT_EQ("vg0-root", mount->getVolumeId());

  // Resolution finds nothing wrong with this host, so nothing is withdrawn.
  EXPECT_GT(RESDB_NATIVE_NAME(resolveDatabase)(jni_.env(), nullptr, handle_), 0);
  EXPECT_EQ(0, d->getErrorList()->getErrorCount());
  EXPECT_EQ(1, volume->shouldReport());
  EXPECT_EQ(1, fs->shouldReport());
}

TEST_F(HostLoadTest, ChildrenBeforeTheirContainersFailTheContainer) {
  // A volume whose chunks have not been loaded yet names nothing: the volume is dropped,
  // the batch still answers success, and nothing half-linked stays behind.
  Add(RESDB_NATIVE_NAME(addVolume), kVolumes);
  EXPECT_EQ(0, db()->getResourceCount());
  Add(RESDB_NATIVE_NAME(addDiskChunk), kChunks);
  Add(RESDB_NATIVE_NAME(addVolume), kVolumes);
  EXPECT_EQ(1, db()->getResourceList()->getTypeCount(SRM_VOLUME));
}

}  // namespace
