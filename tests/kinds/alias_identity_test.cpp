#include "kinds/alias_identity.h"

#include <gtest/gtest.h>

#include <string>

#include "db/srm_resource_database.h"
#include "kind_test_util.h"
#include "kinds/volume_manager.h"

using kindtest::Held;
using kindtest::MakeTuple;
using kindtest::ReadTuples;
using kindtest::SerializeToText;

namespace {

TEST(AliasIdentityTest, EveryConstructorMarksTheAlias) {
  SrmResourceDatabase db;
  Held<SrmId> plain(new SrmId());
  Held<SrmId> bound(new SrmId(&db));
  Held<SrmId> named(new SrmId(std::string("a1")));
  for (SrmId* a : {plain.get(), bound.get(), named.get()}) {
    EXPECT_EQ(SRM_ALIAS, a->getType());
    EXPECT_EQ(13, a->getFlags());
  }
  EXPECT_EQ(nullptr, plain->getDatabase());
  EXPECT_EQ(&db, bound->getDatabase());
  EXPECT_EQ("a1", named->getId());
}

TEST(AliasIdentityTest, WritesFullAndFourKeyReferenceLines) {
  SrmResourceDatabase db;
  Held<SrmId> a(new SrmId(&db));
  a->setId("a1");
  a->setIdType("WWN");
  a->setPrimaryId("p1");
  EXPECT_EQ("\"Type=Id\",\"Id=a1\",\"IdType=WWN\",\"PrimaryId=p1\",;\n",
            SerializeToText(a.get(), 1));
  a->setPubId("pub");
  a->setLId("g1");
  a->setSecondaryId("s1");
  int rc = 0;
  EXPECT_EQ(
      "\"Type=Id\",\"Id=a1\",\"PubId=pub\",\"PrimaryId=p1\",\"SecondaryId=s1\","
      "\"IdType=WWN\",;\n",
      SerializeToText(a.get(), 0, &rc));
  EXPECT_EQ(1, rc);

  Held<SrmId> bare(new SrmId(&db));
  EXPECT_EQ("\"Type=Id\",;\n", SerializeToText(bare.get(), 0));
  EXPECT_EQ("\"Type=Id\",;\n", SerializeToText(bare.get(), 1));
  Held<SrmId> unbound(new SrmId(std::string("a2")));
  EXPECT_EQ("", SerializeToText(unbound.get(), 0, &rc));
  EXPECT_EQ(0, rc);
}

TEST(AliasIdentityTest, ReadsTextsAndIgnoresStateAndLId) {
  Held<SrmId> a(new SrmId());
  auto tuple = MakeTuple({"\"Type=Id\"", "\"Id=a1\"", "\"PubId=p\"", "\"State=48\"", "\"LId=g\"",
                          "\"PrimaryId=p1\"", "\"SecondaryId=s1\"", "\"IdType=WWN\""});
  EXPECT_EQ(1, a->deserialize(-1, tuple.get()));
  EXPECT_EQ("a1", a->getId());
  EXPECT_EQ("p", a->getPubId());
  EXPECT_EQ(13, a->getFlags());
  EXPECT_EQ("", a->getLId());
  EXPECT_EQ("p1", a->getPrimaryId());
  EXPECT_EQ("s1", a->getSecondaryId());
  EXPECT_EQ("WWN", a->getIdType());
  EXPECT_EQ(0, a->deserialize(-1, nullptr));
}

TEST(AliasIdentityTest, ReferenceLineReadsBack) {
  SrmResourceDatabase db;
  Held<SrmId> a(new SrmId(&db));
  a->setId("a1");
  a->setIdType("WWN");
  a->setPrimaryId("p1");
  a->setSecondaryId("s1");
  auto lines = ReadTuples(SerializeToText(a.get(), 1));
  ASSERT_EQ(1u, lines.size());
  Held<SrmId> copy(new SrmId());
  ASSERT_EQ(1, copy->deserialize(-1, lines[0].get()));
  EXPECT_EQ("a1", copy->getId());
  EXPECT_EQ("WWN", copy->getIdType());
  EXPECT_EQ("p1", copy->getPrimaryId());
  EXPECT_EQ("", copy->getSecondaryId());
}

TEST(AliasIdentityTest, MergeFillsOnlyWhatIsUnset) {
  const struct {
    const char* name;
    const char* id_type;
    const char* primary;
    const char* expected_type;
    const char* expected_primary;
  } cases[] = {
      {"both set: kept", "WWN", "p1", "WWN", "p1"},
      {"both empty: taken", "", "", "EUI", "p9"},
      {"type only", "WWN", "", "WWN", "p9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Held<SrmId> a(new SrmId(std::string("a1")));
    a->setIdType(c.id_type);
    a->setPrimaryId(c.primary);
    a->setSecondaryId("s1");
    Held<SrmId> newer(new SrmId(std::string("a1")));
    newer->setIdType("EUI");
    newer->setPrimaryId("p9");
    newer->setSecondaryId("s9");
    EXPECT_EQ(1, a->mergeResource(newer.get()));
    EXPECT_EQ(c.expected_type, a->getIdType());
    EXPECT_EQ(c.expected_primary, a->getPrimaryId());
    EXPECT_EQ("s1", a->getSecondaryId());  // never merged
    EXPECT_EQ(1, newer->isMerged());
    EXPECT_EQ(0, a->isMerged());
  }
}

TEST(AliasIdentityTest, MergeOrsTheFlags) {
  Held<SrmId> a(new SrmId(std::string("a1")));
  a->setFlags(1);
  Held<SrmId> newer(new SrmId(std::string("a1")));
  newer->setFlags(32 | 4);
  EXPECT_EQ(1, a->mergeResource(newer.get()));
  EXPECT_EQ(37, a->getFlags());

  // A zero word ORs in nothing; an already merged alias changes nothing.
  Held<SrmId> zero(new SrmId(std::string("a1")));
  zero->setFlags(0);
  EXPECT_EQ(1, a->mergeResource(zero.get()));
  EXPECT_EQ(37, a->getFlags());
  newer->setFlags(newer->getFlags() | 64);
  newer->setIdType("X");
  a->setIdType("");
  EXPECT_EQ(1, a->mergeResource(newer.get()));
  EXPECT_EQ(37, a->getFlags());
  EXPECT_EQ("", a->getIdType());

  Held<SrmVolumeManager> other(new SrmVolumeManager("a1"));
  EXPECT_EQ(0, a->mergeResource(other.get()));
  EXPECT_EQ(0, a->mergeResource(nullptr));
}

}  // namespace
