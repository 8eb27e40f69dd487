#include "model/srm_resource_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "test_record.h"

namespace {

// A record owned by the test until it calls Release(); counts its own destruction.
struct Counted {
  int destroyed = 0;
  TestRecord* record;
  Counted(SrmResourceType kind, const std::string& id)
      : record(new TestRecord(kind, id, [this] { ++destroyed; })) {}
};

TEST(SrmResourceListTest, RefusesRecordsWithoutKey) {
  SrmResourceList list;
  TestRecord* no_kind = new TestRecord(SRM_NO_TYPE, "x");
  TestRecord* no_id = new TestRecord(SRM_DISK, "");
  EXPECT_EQ(0, list.addResource(nullptr));
  EXPECT_EQ(0, list.addResource(no_kind));
  EXPECT_EQ(0, list.addResource(no_id));
  EXPECT_EQ(1, no_kind->getRefCount());
  EXPECT_EQ(1, no_id->getRefCount());
  EXPECT_EQ(0, list.getResourceCount());
  EXPECT_EQ(0, list.getResourceTypeCount(SRM_DISK));
  EXPECT_EQ(nullptr, list.getSrmResourceIdMap(SRM_DISK));
  no_kind->Release();
  no_id->Release();
}

TEST(SrmResourceListTest, SameKeyReplacesAndReleasesTheEarlierRecord) {
  Counted first(SRM_DISK, "d1");
  Counted second(SRM_DISK, "d1");
  {
    SrmResourceList list;
    ASSERT_EQ(1, list.addResource(first.record));
    first.record->Release();  // the list's reference is now the only one
    ASSERT_EQ(1, list.addResource(second.record));
    EXPECT_EQ(1, first.destroyed);
    EXPECT_EQ(1, list.getTypeCount(SRM_DISK));
    EXPECT_EQ(second.record, list.findResource(SRM_DISK, "d1"));
    EXPECT_EQ(2, second.record->getRefCount());
    second.record->Release();
  }
  EXPECT_EQ(1, second.destroyed);
}

// Asked for, the replaced record's reference goes to the caller instead of being released;
// adding the stored record again or a new key replaces nothing.
TEST(SrmResourceListTest, ReplacedRecordCanBeHandedOver) {
  Counted first(SRM_DISK, "d1");
  Counted second(SRM_DISK, "d1");
  SrmResourceList list;
  SrmResource* replaced = first.record;  // overwritten with null when nothing is replaced
  ASSERT_EQ(1, list.addResource(first.record, &replaced));
  EXPECT_EQ(nullptr, replaced);
  first.record->Release();
  ASSERT_EQ(1, list.addResource(first.record, &replaced));
  EXPECT_EQ(nullptr, replaced);
  ASSERT_EQ(1, list.addResource(second.record, &replaced));
  EXPECT_EQ(first.record, replaced);
  EXPECT_EQ(0, first.destroyed);
  EXPECT_EQ(1, first.record->getRefCount());
  replaced->Release();
  EXPECT_EQ(1, first.destroyed);
  EXPECT_EQ(0, list.addResource(nullptr, &replaced));
  EXPECT_EQ(nullptr, replaced);
  second.record->Release();
}

TEST(SrmResourceListTest, AddingTheSameRecordTwiceTakesOneReference) {
  SrmResourceList list;
  TestRecord* r = new TestRecord(SRM_DISK, "d1");
  ASSERT_EQ(1, list.addResource(r));
  ASSERT_EQ(1, list.addResource(r));
  EXPECT_EQ(2, r->getRefCount());
  EXPECT_EQ(1, list.getTypeCount(SRM_DISK));
  r->Release();
}

TEST(SrmResourceListTest, KeysAreKindAndIdInOrder) {
  SrmResourceList list;
  for (auto key : std::vector<std::pair<SrmResourceType, std::string>>{
           {SRM_VOLUME, "v1"}, {SRM_DISK, "d2"}, {SRM_DISK, "d1"}, {SRM_VOLUME, "d1"}}) {
    TestRecord* r = new TestRecord(key.first, key.second);
    ASSERT_EQ(1, list.addResource(r));
    r->Release();
  }
  EXPECT_EQ(4, list.getResourceCount());
  EXPECT_EQ(2, list.getTypeCount(SRM_DISK));
  EXPECT_EQ(0, list.getTypeCount(SRM_SHARE));
  EXPECT_EQ(2, list.getResourceTypeCount(SRM_NO_TYPE));
  EXPECT_NE(list.findResource(SRM_DISK, "d1"), list.findResource(SRM_VOLUME, "d1"));
  EXPECT_EQ(nullptr, list.findResource(SRM_SHARE, "d1"));
  EXPECT_EQ(nullptr, list.findResource(SRM_DISK, "v1"));
  std::vector<std::string> ids;
  for (const auto& entry : *list.getSrmResourceIdMap(SRM_DISK)) ids.push_back(entry.first);
  EXPECT_EQ((std::vector<std::string>{"d1", "d2"}), ids);
}

// findResources answers as findResource does, whether the kind is unknown, too small to be
// indexed, indexed, or has an index out of step because its map was changed from outside.
TEST(SrmResourceListTest, FindingManyAtOnceAgreesWithFindingEach) {
  for (int disks : {0, 5, 150}) {
    SrmResourceList list;
    for (int i = 0; i < disks; ++i) {
      TestRecord* r = new TestRecord(SRM_DISK, "d" + std::to_string(i * 2));
      ASSERT_EQ(1, list.addResource(r));
      r->Release();
    }
    std::vector<std::string> ids;
    for (int i = 0; i < disks * 2 + 100; ++i) ids.push_back("d" + std::to_string(i % 320));
    std::vector<const std::string*> asked;
    for (const std::string& id : ids) asked.push_back(&id);
    auto expectAgreement = [&](const char* state) {
      std::vector<SrmResource*> found(asked.size());
      list.findResources(SRM_DISK, asked.data(), asked.size(), found.data());
      for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(list.findResource(SRM_DISK, ids[i]), found[i])
            << disks << " disks, " << state << ", id " << ids[i];
      }
    };
    expectAgreement("as filed");
    if (disks == 0) continue;
    TestRecord* outsider = new TestRecord(SRM_DISK, "d1");
    list.getSrmResourceIdMap(SRM_DISK)->emplace("d1", outsider);
    expectAgreement("an entry put in the map directly");
    EXPECT_EQ(outsider, list.findResource(SRM_DISK, "d1"));
  }
}

TEST(SrmResourceListTest, RemoveById) {
  Counted d1(SRM_DISK, "d1");
  SrmResourceList list;
  ASSERT_EQ(1, list.addResource(d1.record));
  d1.record->Release();
  EXPECT_EQ(0, list.removeResource(SRM_VOLUME, std::string("d1")));  // kind never added
  EXPECT_EQ(0, list.removeResource(SRM_DISK, std::string("d9")));
  EXPECT_EQ(0, d1.destroyed);
  EXPECT_EQ(1, list.removeResource(SRM_DISK, std::string("d1")));
  EXPECT_EQ(1, d1.destroyed);
  EXPECT_EQ(0, list.removeResource(SRM_DISK, std::string("d1")));
}

TEST(SrmResourceListTest, RemoveByRecordGoesByIdAndReportsDoneWhenAbsent) {
  Counted stored(SRM_DISK, "d1");
  SrmResourceList list;
  ASSERT_EQ(1, list.addResource(stored.record));
  stored.record->Release();
  TestRecord* absent = new TestRecord(SRM_DISK, "d2");
  TestRecord* same_id = new TestRecord(SRM_DISK, "d1");

  EXPECT_EQ(0, list.removeResource(SRM_DISK, static_cast<SrmResource*>(nullptr)));
  EXPECT_EQ(0, list.removeResource(SRM_SHARE, absent));
  EXPECT_EQ(1, list.removeResource(SRM_DISK, absent));
  EXPECT_EQ(1, list.getTypeCount(SRM_DISK));
  // A different record with the stored record's Id removes the stored one.
  EXPECT_EQ(1, list.removeResource(SRM_DISK, same_id));
  EXPECT_EQ(1, stored.destroyed);
  EXPECT_EQ(0, list.getTypeCount(SRM_DISK));
  EXPECT_EQ(1, same_id->getRefCount());
  absent->Release();
  same_id->Release();
}

TEST(SrmResourceListTest, RemoveAllKeepsKindEntries) {
  SrmResourceList list;
  EXPECT_EQ(1, list.removeAllResources());  // empty list
  int destroyed = 0;
  for (auto kind : {SRM_DISK, SRM_VOLUME}) {
    TestRecord* r = new TestRecord(kind, "x", [&] { ++destroyed; });
    list.addResource(r);
    r->Release();
  }
  EXPECT_EQ(1, list.removeAllResources());
  EXPECT_EQ(2, destroyed);
  EXPECT_EQ(0, list.getResourceCount());
  EXPECT_EQ(0, list.getTypeCount(SRM_DISK));
  EXPECT_EQ(2, list.getResourceTypeCount(SRM_NO_TYPE));
  ASSERT_NE(nullptr, list.getSrmResourceIdMap(SRM_VOLUME));
  EXPECT_TRUE(list.getSrmResourceIdMap(SRM_VOLUME)->empty());
  EXPECT_EQ(nullptr, list.getSrmResourceIdMap(SRM_SHARE));
}

// A record whose destruction reaches back into the list that drops it, as a container kind's
// destructor may: each record here removes its own entry and the entry "z" when it dies. No
// operation may still hold the entry (or walk the map) it releases from.
TEST(SrmResourceListTest, ReleasingARecordMayReenterTheList) {
  struct Case {
    const char* name;
    std::function<void(SrmResourceList*)> run;
    int destroyed;  // of a, b and z
    bool run_deletes_list;
  } cases[] = {
      {"remove by id", [](SrmResourceList* l) { l->removeResource(SRM_DISK, std::string("a")); }, 2,
       false},
      {"remove by record",
       [](SrmResourceList* l) { l->removeResource(SRM_DISK, l->findResource(SRM_DISK, "a")); }, 2,
       false},
      {"replace",
       [](SrmResourceList* l) {
         TestRecord* n = new TestRecord(SRM_DISK, "a");
         l->addResource(n);
         n->Release();
       },
       2, false},
      {"remove all", [](SrmResourceList* l) { l->removeAllResources(); }, 3, false},
      {"destroy the list", [](SrmResourceList* l) { delete l; }, 3, true},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    SrmResourceList* list = new SrmResourceList;
    int destroyed = 0;
    for (std::string id : {"a", "b", "z"}) {
      TestRecord* r = new TestRecord(SRM_DISK, id, [list, id, &destroyed] {
        ++destroyed;
        list->removeResource(SRM_DISK, id);
        list->removeResource(SRM_DISK, std::string("z"));
      });
      list->addResource(r);
      r->Release();
    }
    c.run(list);
    EXPECT_EQ(c.destroyed, destroyed);
    if (c.run_deletes_list) continue;
    EXPECT_EQ(nullptr, list->findResource(SRM_DISK, "z"));
    delete list;
  }
}

TEST(SrmResourceListTest, StateMasksReachEveryRecord) {
  SrmResourceList list;
  TestRecord* d = new TestRecord(SRM_DISK, "d");
  TestRecord* v = new TestRecord(SRM_VOLUME, "v");
  list.addResource(d);
  list.addResource(v);
  list.setAllResourceState(16 | 64);
  EXPECT_EQ(12 | 16 | 64, d->getFlags());
  EXPECT_EQ(12 | 16 | 64, v->getFlags());
  list.unsetAllResourceState(4 | 64);
  EXPECT_EQ(8 | 16, d->getFlags());
  EXPECT_EQ(8 | 16, v->getFlags());
  d->Release();
  v->Release();
}

class SrmResourceListMergeTest : public ::testing::Test {
 protected:
  // Adds a new record to list and gives up the test's reference.
  static TestRecord* Add(SrmResourceList* list, SrmResourceType kind, const std::string& id) {
    TestRecord* r = new TestRecord(kind, id);
    list->addResource(r);
    r->Release();
    return r;
  }

  SrmResourceDatabase db;
  SrmResourceList target{&db};
  SrmResourceList source;
};

TEST_F(SrmResourceListMergeTest, MergesMatchingKeysAndAddsTheRest) {
  TestRecord* old_d1 = Add(&target, SRM_DISK, "d1");
  TestRecord* new_d1 = Add(&source, SRM_DISK, "d1");
  TestRecord* d2 = Add(&source, SRM_DISK, "d2");
  TestRecord* v1 = Add(&source, SRM_VOLUME, "v1");

  EXPECT_EQ(1, target.mergeResources(&source));
  EXPECT_EQ(old_d1, target.findResource(SRM_DISK, "d1"));
  EXPECT_EQ(std::vector<SrmResource*>{new_d1}, old_d1->merged_from);
  EXPECT_EQ(nullptr, new_d1->getDatabase());
  EXPECT_EQ(d2, target.findResource(SRM_DISK, "d2"));
  EXPECT_EQ(&db, d2->getDatabase());
  EXPECT_EQ(&db, v1->getDatabase());
  EXPECT_EQ(2, d2->getRefCount());  // shared by both lists
  EXPECT_EQ(3, target.getResourceCount());
  EXPECT_EQ(3, source.getResourceCount());
}

TEST_F(SrmResourceListMergeTest, OneKindOnly) {
  Add(&source, SRM_DISK, "d1");
  Add(&source, SRM_VOLUME, "v1");
  EXPECT_EQ(0, target.mergeResources(&source, SRM_SHARE));
  EXPECT_EQ(1, target.mergeResources(&source, SRM_VOLUME));
  EXPECT_EQ(1, target.getResourceCount());
  EXPECT_NE(nullptr, target.findResource(SRM_VOLUME, "v1"));
  EXPECT_EQ(0, target.mergeResources(nullptr, SRM_VOLUME));
}

TEST_F(SrmResourceListMergeTest, EmptyAndNullSources) {
  EXPECT_EQ(1, target.mergeResources(&source));
  EXPECT_EQ(0, target.mergeResources(nullptr));
}

TEST_F(SrmResourceListMergeTest, AListWithoutDatabaseKeepsTheRecordsLink) {
  TestRecord* d1 = Add(&target, SRM_DISK, "d1");
  d1->setDatabase(&db);
  SrmResourceList unlinked;
  EXPECT_EQ(1, unlinked.mergeResources(&target));
  EXPECT_EQ(&db, d1->getDatabase());
}

TEST_F(SrmResourceListMergeTest, StopsAtTheFirstRefusedMergeWithoutRollback) {
  Add(&source, SRM_DISK, "d1");
  Add(&source, SRM_DISK, "d2");
  Add(&source, SRM_DISK, "d3");
  Add(&target, SRM_DISK, "d2")->merge_result = 0;
  EXPECT_EQ(0, target.mergeResources(&source));
  EXPECT_NE(nullptr, target.findResource(SRM_DISK, "d1"));
  EXPECT_EQ(nullptr, target.findResource(SRM_DISK, "d3"));
}

// Merging a list into itself, or a record that both lists already share, must leave every
// record as it was: a record is never merged into itself (which would mark it merged).
TEST_F(SrmResourceListMergeTest, SharedRecordsAndSelfMergeChangeNothing) {
  TestRecord* d1 = Add(&target, SRM_DISK, "d1");
  source.addResource(d1);
  EXPECT_EQ(1, target.mergeResources(&target));
  EXPECT_EQ(1, target.mergeResources(&source));
  EXPECT_TRUE(d1->merged_from.empty());
  EXPECT_EQ(2, d1->getRefCount());
  EXPECT_EQ(1, target.getResourceCount());
}

// A merge may drop the source's records (here it empties the source) while the walk is still
// to visit them.
TEST_F(SrmResourceListMergeTest, SourceRecordsStayAliveDuringTheMerge) {
  TestRecord* old_d0 = Add(&target, SRM_DISK, "d0");
  old_d0->on_merge = [this] { source.removeAllResources(); };
  Add(&source, SRM_DISK, "d0");
  Add(&source, SRM_DISK, "d1");
  Add(&source, SRM_DISK, "d2");
  EXPECT_EQ(1, target.mergeResources(&source));
  EXPECT_EQ(1u, old_d0->merged_from.size());
  EXPECT_EQ(3, target.getResourceCount());
  EXPECT_EQ(0, source.getResourceCount());
}

}  // namespace
