#include "model/srm_resource.h"

#include <gtest/gtest.h>

#include "db/srm_resource_database.h"
#include "test_record.h"
#include "tuple/key_vocabulary.h"

namespace {

TEST(SrmResourceTest, NewRecordHasDefaultsAndNoSharedResources) {
  TestRecord* r = new TestRecord(SRM_SHARE, "");
  EXPECT_EQ(SRM_SHARE, r->getType());
  EXPECT_EQ(12, r->getFlags());
  EXPECT_EQ("", r->getId());
  EXPECT_EQ("", r->getPubId());
  EXPECT_EQ("", r->getLId());
  EXPECT_EQ(nullptr, r->getDatabase());
  EXPECT_EQ(nullptr, r->getBuffer());
  EXPECT_EQ(0, r->getBufferLength());
  EXPECT_EQ(nullptr, r->getStreamFD());
  EXPECT_EQ(nullptr, r->getTupleStream());

  SrmResourceDatabase db;
  r->setDatabase(&db);
  EXPECT_EQ(db.getFormatBuffer(), r->getBuffer());
  EXPECT_EQ(2049, r->getBufferLength());
  EXPECT_EQ(nullptr, r->getStreamFD());  // nothing attached
  r->Release();
}

TEST(SrmResourceTest, FlagBits) {
  TestRecord* r = new TestRecord(SRM_DISK, "d");
  r->setReport(false);
  EXPECT_EQ(8, r->getFlags());
  EXPECT_EQ(0, r->shouldReport());
  EXPECT_EQ(1, r->shouldVirtualReport());
  r->setFlags(56);
  EXPECT_EQ(0, r->shouldReport());
  EXPECT_EQ(1, r->shouldVirtualReport());
  EXPECT_EQ(1, r->isMerged());
  EXPECT_EQ(1, r->isLoadedFromSerRDB());
  r->setFlags(0x1FF);  // unknown bits are kept
  r->setVirtualReport(false);
  r->setReport(false);
  EXPECT_EQ(0x1F3, r->getFlags());
  r->setReport(true);
  EXPECT_EQ(0x1F7, r->getFlags());
  r->Release();
}

TEST(SrmResourceTest, TypeKeysNameTheKinds) {
  struct {
    SrmResourceType kind;
    const char* name;
  } cases[] = {{SRM_COMPUTER, "System"},
               {SRM_DISK, "Disk"},
               {SRM_VOLUME, "Volume"},
               {SRM_FILESYSTEM, "FileSystem"},
               {SRM_MOUNTPOINT, "MountPoint"},
               {SRM_VIRTUALSERVER, "VirtualServer"},
               {SRM_VOLUMEGROUP, "VolumeGroup"},
               {SRM_VOLUMEMANAGER, "VolumeManager"},
               {SRM_DISKCHUNK, "DiskChunk"},
               {SRM_SHARE, "Share"},
               {SRM_ALIAS, "Id"}};
  for (const auto& c : cases) EXPECT_EQ(c.name, SrmResDbGetIdString(SrmTypeKeyOfKind(c.kind)));
  EXPECT_EQ(-1, SrmTypeKeyOfKind(SRM_NO_TYPE));
  EXPECT_EQ(-1, SrmTypeKeyOfKind(static_cast<SrmResourceType>(11)));
}

}  // namespace
