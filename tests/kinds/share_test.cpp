#include "kinds/share.h"

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

class ShareTest : public ::testing::Test {
 protected:
  Held<SrmShare> Bound(const std::string& id = "") {
    Held<SrmShare> share(new SrmShare(id));
    share->setDatabase(&db_);
    return share;
  }

  SrmResourceDatabase db_;
};

TEST_F(ShareTest, WritesFullAndReferenceTuples) {
  Held<SrmShare> share = Bound("s1");
  EXPECT_EQ("\"Type=Share\",\"Id=s1\",\"State=12\",\"ShareFsType=0\",\"ShareFlags=0\",;\n",
            SerializeToText(share.get(), 0));

  const std::string description(300, 'd');  // longer than an element's usual room
  share->setPubId("p1");
  share->setLId("g1");
  share->setShareName("pub");
  share->setSharePath("/export/pub");
  share->setShareFsType(3);
  share->setShareFlags(-1);
  share->setShareUser("root");
  share->setDomain("WORK");
  share->setShareDesc(description);
  share->setVolumeId("gvol1");
  int rc = 0;
  EXPECT_EQ(
      "\"Type=Share\",\"Id=s1\",\"PubId=p1\",\"State=12\",\"LId=g1\",\"ShareName=pub\","
      "\"SharePath=/export/pub\",\"ShareFsType=3\",\"ShareFlags=-1\",\"ShareUser=root\","
      "\"Domain=WORK\",\"ShareDesc=" +
          description + "\",\"VolumeId=gvol1\",;\n",
      SerializeToText(share.get(), 0, &rc));
  EXPECT_EQ(1, rc);
  EXPECT_EQ("\"Type=Share\",\"Id=s1\",;\n", SerializeToText(share.get(), 1));

  Held<SrmShare> unbound(new SrmShare("s1"));
  EXPECT_EQ("", SerializeToText(unbound.get(), 0, &rc));
  EXPECT_EQ(0, rc);
}

TEST_F(ShareTest, StateReplacesTheFlags) {
  const struct {
    const char* element;
    int32_t flags;
  } cases[] = {{"\"State=4\"", 4}, {"\"State=56\"", 56}, {"\"State=x\"", 0}, {"\"Id=s\"", 12}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.element);
    Held<SrmShare> share(new SrmShare());
    auto tuple = MakeTuple({c.element});
    ASSERT_EQ(1, share->deserialize(-1, tuple.get()));
    EXPECT_EQ(c.flags, share->getFlags());
  }
}

TEST_F(ShareTest, ReadsEveryFieldAndKeepsAGlobalVolumeIdAsGiven) {
  ASSERT_EQ(1, db_.addResource(Named<SrmVolume>("vol1", "gvol1").get()));
  Held<SrmShare> share = Bound();
  auto tuple =
      MakeTuple({"\"Id=s1\"", "\"PubId=p\"", "\"LId=g\"", "\"ShareName=pub\"", "\"SharePath=/x\"",
                 "\"ShareFsType=2\"", "\"ShareFlags=-7\"", "\"ShareUser=u\"", "\"Domain=D\"",
                 "\"ShareDesc=a b\"", "\"VolumeId=gvol1\"", "\"Type\"", "\"ShareName=other\""});
  EXPECT_EQ(1, share->deserialize(-1, tuple.get()));
  EXPECT_EQ("s1", share->getId());
  EXPECT_EQ("p", share->getPubId());
  EXPECT_EQ("g", share->getLId());
  EXPECT_EQ("pub", share->getShareName());  // the walk ended at "Type"
  EXPECT_EQ("/x", share->getSharePath());
  EXPECT_EQ(2, share->getShareFsType());
  EXPECT_EQ(-7, share->getShareFlags());
  EXPECT_EQ("u", share->getShareUser());
  EXPECT_EQ("D", share->getDomain());
  EXPECT_EQ("a b", share->getShareDesc());
  EXPECT_EQ("gvol1", share->getVolumeId());  // never looked up
  EXPECT_EQ(0, share->deserialize(-1, nullptr));
}

TEST_F(ShareTest, MergeCopiesSetFieldsAndMarksTheArgument) {
  Held<SrmShare> share = Bound("s1");
  share->setShareName("pub");
  share->setShareFlags(6);
  share->setShareFsType(1);
  Held<SrmShare> newer(new SrmShare("s1"));
  newer->setVolumeId("vol1");
  newer->setSharePath("/p");
  newer->setDomain("D");
  newer->setShareFsType(4);
  newer->setFlags(4);

  EXPECT_EQ(1, share->mergeResource(newer.get()));
  EXPECT_EQ("vol1", share->getVolumeId());
  EXPECT_EQ("pub", share->getShareName());
  EXPECT_EQ("/p", share->getSharePath());
  EXPECT_EQ("D", share->getDomain());
  EXPECT_EQ(6, share->getShareFlags());  // 0 in the argument keeps ours
  EXPECT_EQ(4, share->getShareFsType());
  EXPECT_EQ(12, share->getFlags());
  EXPECT_EQ(4 | 16, newer->getFlags());

  newer->setShareUser("late");
  EXPECT_EQ(1, share->mergeResource(newer.get()));
  EXPECT_EQ("", share->getShareUser());

  Held<StubRecord> other(new StubRecord(SRM_MOUNTPOINT, "s1"));
  EXPECT_EQ(0, share->mergeResource(nullptr));
  EXPECT_EQ(0, share->mergeResource(other.get()));
}

}  // namespace
