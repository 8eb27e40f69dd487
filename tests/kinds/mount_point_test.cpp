#include "kinds/mount_point.h"

#include <gtest/gtest.h>

#include <string>

#include "db/srm_resource_database.h"
#include "kind_test_util.h"
#include "kinds/volume.h"

using kindtest::Held;
using kindtest::MakeTuple;
using kindtest::Named;
using kindtest::SerializeToText;
using kindtest::StubRecord;

namespace {

class MountPointTest : public ::testing::Test {
 protected:
  Held<SrmMountPoint> Bound(const std::string& id = "") {
    Held<SrmMountPoint> mp(new SrmMountPoint(id));
    mp->setDatabase(&db_);
    return mp;
  }

  SrmResourceDatabase db_;
};

TEST_F(MountPointTest, StartsEmpty) {
  Held<SrmMountPoint> mp(new SrmMountPoint("m1"));
  EXPECT_EQ(SRM_MOUNTPOINT, mp->getType());
  EXPECT_EQ("m1", mp->getId());
  EXPECT_EQ(12, mp->getFlags());
  EXPECT_EQ("", mp->getVolumeId());
  EXPECT_EQ(0, mp->getMountAtStartup());
}

TEST_F(MountPointTest, WritesFullAndReferenceTuples) {
  Held<SrmMountPoint> mp = Bound("m1");
  EXPECT_EQ(
      "\"Type=MountPoint\",\"Id=m1\",\"State=12\",\"MountType=0\",\"MountOptions=0\","
      "\"MountAtStartup=0\",\"ReadOnly=0\",;\n",
      SerializeToText(mp.get(), 0));

  mp->setPubId("p1");
  mp->setLId("g1");
  mp->setVolumeId("vol1");
  mp->setMountPointName("/export");
  mp->setMountType(2);
  mp->setMountToSystem("h1");
  mp->setMountOptions(-3);
  mp->setMountAtStartup(1);
  mp->setReadOnly(1);
  mp->setMountLocation("/dev/vx/dsk/dg/vol1");
  int rc = 0;
  EXPECT_EQ(
      "\"Type=MountPoint\",\"Id=m1\",\"PubId=p1\",\"State=12\",\"LId=g1\",\"VolumeId=vol1\","
      "\"MountPointName=/export\",\"MountType=2\",\"MountToSystem=h1\",\"MountOptions=-3\","
      "\"MountAtStartup=1\",\"ReadOnly=1\",\"MountLocation=/dev/vx/dsk/dg/vol1\",;\n",
      SerializeToText(mp.get(), 0, &rc));
  EXPECT_EQ(1, rc);
  EXPECT_EQ("\"Type=MountPoint\",\"Id=m1\",;\n", SerializeToText(mp.get(), 1));

  Held<SrmMountPoint> unbound(new SrmMountPoint("m1"));
  EXPECT_EQ("", SerializeToText(unbound.get(), 0, &rc));
  EXPECT_EQ(0, rc);
}

TEST_F(MountPointTest, ReadsEveryField) {
  Held<SrmMountPoint> mp = Bound();
  auto tuple = MakeTuple({"\"Type=MountPoint\"", "\"Id=m1\"", "\"PubId=p\"", "\"State=33\"",
                          "\"LId=g\"", "\"MountPointName=/a\"", "\"MountToSystem=h1\"",
                          "\"MountLocation=/dev/a\"", "\"MountType=7\"", "\"MountOptions=-2\"",
                          "\"MountAtStartup=1yes\"", "\"ReadOnly= 1\"", "\"VolumeId=v9\""});
  EXPECT_EQ(1, mp->deserialize(-1, tuple.get()));
  EXPECT_EQ("m1", mp->getId());
  EXPECT_EQ("p", mp->getPubId());
  EXPECT_EQ("g", mp->getLId());
  EXPECT_EQ(12 | 33, mp->getFlags());  // ORed
  EXPECT_EQ("/a", mp->getMountPointName());
  EXPECT_EQ("h1", mp->getMountToSystem());
  EXPECT_EQ("/dev/a", mp->getMountLocation());
  EXPECT_EQ(7, mp->getMountType());
  EXPECT_EQ(-2, mp->getMountOptions());
  EXPECT_EQ(1, mp->getMountAtStartup());
  EXPECT_EQ(1, mp->getReadOnly());
  EXPECT_EQ("v9", mp->getVolumeId());
  EXPECT_EQ(0, mp->deserialize(-1, nullptr));
}

TEST_F(MountPointTest, VolumeIdNamedByGlobalIdIsStoredAsTheVolumesId) {
  ASSERT_EQ(1, db_.addResource(Named<SrmVolume>("vol1", "gvol1").get()));
  const struct {
    const char* value;
    bool bound;
    const char* stored;
  } cases[] = {
      {"gvol1", true, "vol1"},
      {"vol1", true, "vol1"},
      {"elsewhere", true, "elsewhere"},
      {"gvol1", false, "gvol1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.value) + (c.bound ? " bound" : " unbound"));
    Held<SrmMountPoint> mp = c.bound ? Bound() : Held<SrmMountPoint>(new SrmMountPoint());
    auto tuple = MakeTuple({std::string("\"VolumeId=") + c.value + "\""});
    ASSERT_EQ(1, mp->deserialize(-1, tuple.get()));
    EXPECT_EQ(c.stored, mp->getVolumeId());
  }
}

TEST_F(MountPointTest, MergeCopiesSetFieldsAndMarksTheArgument) {
  Held<SrmMountPoint> mp = Bound("m1");
  mp->setVolumeId("vol1");
  mp->setMountPointName("/a");
  mp->setMountType(2);
  mp->setReadOnly(1);
  Held<SrmMountPoint> newer(new SrmMountPoint("m1"));
  newer->setLId("g9");
  newer->setMountLocation("/dev/b");
  newer->setMountAtStartup(1);
  newer->setMountOptions(-1);
  newer->setFlags(12 | 32);

  EXPECT_EQ(1, mp->mergeResource(newer.get()));
  EXPECT_EQ("vol1", mp->getVolumeId());  // empty texts and 0 codes keep ours
  EXPECT_EQ("/a", mp->getMountPointName());
  EXPECT_EQ("/dev/b", mp->getMountLocation());
  EXPECT_EQ(2, mp->getMountType());
  EXPECT_EQ(1, mp->getReadOnly());
  EXPECT_EQ(1, mp->getMountAtStartup());
  EXPECT_EQ(-1, mp->getMountOptions());
  EXPECT_EQ("", mp->getLId());
  EXPECT_EQ(12, mp->getFlags());  // flags are not merged; the argument is marked
  EXPECT_EQ(1, newer->isMerged());

  // A merged argument is done with: nothing more is taken from it.
  newer->setVolumeId("vol2");
  EXPECT_EQ(1, mp->mergeResource(newer.get()));
  EXPECT_EQ("vol1", mp->getVolumeId());

  // Set the other way round: 1 stays 1.
  Held<SrmMountPoint> off(new SrmMountPoint("m1"));
  off->setVolumeId("vol3");
  EXPECT_EQ(1, mp->mergeResource(off.get()));
  EXPECT_EQ(1, mp->getMountAtStartup());
  EXPECT_EQ("vol3", mp->getVolumeId());
}

TEST_F(MountPointTest, MergeRefusesNullAndOtherKinds) {
  Held<SrmMountPoint> mp = Bound("m1");
  Held<StubRecord> share(new StubRecord(SRM_SHARE, "m1"));
  EXPECT_EQ(0, mp->mergeResource(nullptr));
  EXPECT_EQ(0, mp->mergeResource(share.get()));
  EXPECT_EQ(0, share->isMerged());
}

}  // namespace
