// The resource list (keys, references, removal, merges, records that reach back into the list
// as they die) and the Id index beside it.
#include "model/srm_resource_list.h"

#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "db/srm_resource_database.h"
#include "model/srm_id_index.h"

namespace {

// The smallest record kind: remembers what was merged into it, can refuse merges or run a hook
// inside them, and runs on_destroy when it dies.
class TestRecord : public SrmResource {
 public:
  TestRecord(SrmResourceType kind, const std::string& id, std::function<void()> on_destroy = {})
      : SrmResource(kind), on_destroy_(std::move(on_destroy)) {
    setId(id);
  }
  int mergeResource(SrmResource* other) override {
    merged_from.push_back(other);
    if (on_merge) on_merge();
    return merge_result;
  }
  int serialize(int, int) override { return 0; }
  int deserialize(int, CSRMReportTuple*) override { return 0; }
  std::vector<SrmResource*> merged_from;
  int merge_result = 1;
  std::function<void()> on_merge;

 private:
  ~TestRecord() override {
    if (on_destroy_) on_destroy_();
  }
  std::function<void()> on_destroy_;
};

// Files a new record in list and gives up the test's reference.
TestRecord* Add(SrmResourceList* list, SrmResourceType kind, const std::string& id,
                std::function<void()> on_destroy = {}) {
  TestRecord* r = new TestRecord(kind, id, std::move(on_destroy));
  EXPECT_EQ(1, list->addResource(r));
  r->Release();
  return r;
}

TEST(SrmResourceListTest, KeysReferencesAndReplacement) {
  SrmResourceList list;
  EXPECT_EQ(0, list.addResource(nullptr));
  for (TestRecord* refused : {new TestRecord(SRM_NO_TYPE, "x"), new TestRecord(SRM_DISK, ""),
                              new TestRecord(static_cast<SrmResourceType>(SRM_ALIAS + 1), "x")}) {
    EXPECT_EQ(0, list.addResource(refused));
    EXPECT_EQ(1, refused->getRefCount());
    refused->Release();
  }
  EXPECT_EQ(nullptr, list.getSrmResourceIdMap(SRM_DISK));

  int destroyed = 0;
  TestRecord* first = Add(&list, SRM_DISK, "d1", [&] { ++destroyed; });
  for (const char* id : {"d2", "d0"}) Add(&list, SRM_DISK, id);
  Add(&list, SRM_VOLUME, "d1");
  TestRecord* second = new TestRecord(SRM_DISK, "d1");
  SrmResource* replaced = second;  // overwritten with null when nothing is replaced
  ASSERT_EQ(1, list.addResource(first, &replaced));  // stored already: nothing changes
  EXPECT_EQ(nullptr, replaced);
  EXPECT_EQ(1, first->getRefCount());
  ASSERT_EQ(1, list.addResource(second, &replaced));  // the earlier record handed over
  EXPECT_EQ(first, replaced);
  EXPECT_EQ(0, destroyed);
  replaced->Release();
  EXPECT_EQ(1, destroyed);
  EXPECT_EQ(2, second->getRefCount());
  second->Release();
  EXPECT_EQ(second, list.findResource(SRM_DISK, "d1"));
  EXPECT_EQ(nullptr, list.findResource(SRM_SHARE, "d1"));
  EXPECT_EQ(nullptr, list.findResource(SRM_DISK, "d9"));
  EXPECT_EQ(4, list.getResourceCount());
  EXPECT_EQ(3, list.getTypeCount(SRM_DISK));
  EXPECT_EQ(0, list.getTypeCount(SRM_SHARE));
  EXPECT_EQ(2, list.getResourceTypeCount(SRM_NO_TYPE));
  std::vector<std::string> ids;
  for (const auto& entry : *list.getSrmResourceIdMap(SRM_DISK)) ids.emplace_back(entry.first);
  EXPECT_EQ((std::vector<std::string>{"d0", "d1", "d2"}), ids);

  list.setAllResourceState(16 | 64);
  list.unsetAllResourceState(4 | 64);
  EXPECT_EQ(8 | 16, second->getFlags());
  EXPECT_EQ(8 | 16, list.findResource(SRM_VOLUME, "d1")->getFlags());
}

TEST(SrmResourceListTest, Removal) {
  SrmResourceList list;
  EXPECT_EQ(1, list.removeAllResources());
  int destroyed = 0;
  Add(&list, SRM_DISK, "d1", [&] { ++destroyed; });
  Add(&list, SRM_DISK, "d2", [&] { ++destroyed; });
  Add(&list, SRM_VOLUME, "v1", [&] { ++destroyed; });
  EXPECT_EQ(0, list.removeResource(SRM_SHARE, std::string("d1")));
  EXPECT_EQ(0, list.removeResource(SRM_DISK, std::string("d9")));
  EXPECT_EQ(1, list.removeResource(SRM_DISK, std::string("d1")));
  EXPECT_EQ(1, destroyed);
  TestRecord* same_id = new TestRecord(SRM_DISK, "d2");
  TestRecord* absent = new TestRecord(SRM_DISK, "d7");
  EXPECT_EQ(0, list.removeResource(SRM_DISK, static_cast<SrmResource*>(nullptr)));
  EXPECT_EQ(0, list.removeResource(SRM_SHARE, absent));
  EXPECT_EQ(1, list.removeResource(SRM_DISK, absent));   // absent counts as done
  EXPECT_EQ(1, list.removeResource(SRM_DISK, same_id));  // whatever is stored under the Id
  EXPECT_EQ(2, destroyed);
  EXPECT_EQ(1, same_id->getRefCount());
  same_id->Release();
  absent->Release();
  EXPECT_EQ(1, list.removeAllResources());
  EXPECT_EQ(3, destroyed);
  EXPECT_EQ(0, list.getResourceCount());
  EXPECT_EQ(2, list.getResourceTypeCount(SRM_NO_TYPE));  // the kinds stay
  EXPECT_TRUE(list.getSrmResourceIdMap(SRM_VOLUME)->empty());
}

// findResources answers as findResource does, whether the kind is unknown, too small to be
// indexed, indexed, or its index out of step because the map was changed from outside.
TEST(SrmResourceListTest, FindingManyAtOnceAgreesWithFindingEach) {
  for (int disks : {0, 5, 150}) {
    SrmResourceList list;
    for (int i = 0; i < disks; ++i) Add(&list, SRM_DISK, "d" + std::to_string(i * 2));
    std::vector<std::string> ids;
    for (int i = 0; i < disks * 2 + 100; ++i) ids.push_back("d" + std::to_string(i % 320));
    std::vector<std::string_view> asked(ids.begin(), ids.end());
    for (int round = 0; round < 2; ++round) {
      std::vector<SrmResource*> found(asked.size());
      list.findResources(SRM_DISK, asked.data(), asked.size(), found.data());
      for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(list.findResource(SRM_DISK, ids[i]), found[i]) << disks << " " << ids[i];
      }
      if (disks == 0 || round == 1) break;
      TestRecord* outsider = new TestRecord(SRM_DISK, "d1");
      list.getSrmResourceIdMap(SRM_DISK)->emplace("d1", outsider);
      EXPECT_EQ(outsider, list.findResource(SRM_DISK, "d1"));
    }
  }
}

// A walk in any order meets every record the kind's map holds, once, however the kind changed.
TEST(SrmResourceListTest, WalkingInAnyOrderMeetsEachRecordOnce) {
  SrmResourceList list;
  SrmHeld<TestRecord> kept(new TestRecord(SRM_DISK, "k"));  // no record takes its address
  for (int i = 40; i-- > 0;) Add(&list, SRM_DISK, "d" + std::to_string(i * 7 % 40));
  const std::function<void()> changes[] = {
      [&] { list.addResource(kept.get()); },
      [&] { list.removeResource(SRM_DISK, kept.get()); },
      [&] { Add(&list, SRM_DISK, "e"); },
      [&] { list.getSrmResourceIdMap(SRM_DISK)->emplace("d9a", new TestRecord(SRM_DISK, "d9a")); },
      [&] { Add(&list, SRM_DISK, "f"); },
      [&] { Add(&list, SRM_DISK, "d3"); },  // replaces a record
  };
  for (size_t step = 0; step < std::size(changes); ++step) {
    changes[step]();
    std::map<SrmResource*, int> met, held;  // how often each record was met, or is held
    list.forEachInAnyOrder(SRM_DISK, [&](SrmResource* r) { ++met[r]; });
    for (const auto& entry : *list.getSrmResourceIdMap(SRM_DISK)) ++held[entry.second];
    EXPECT_EQ(held, met) << step;
  }
}

// A record whose destruction reaches back into the list that drops it, as a container kind's
// may: each removes its own entry and "z" when it dies. No operation may still hold the entry
// (or walk the map) it releases from.
TEST(SrmResourceListTest, ReleasingARecordMayReenterTheList) {
  const std::function<void(SrmResourceList*)> runs[] = {
      [](SrmResourceList* l) { l->removeResource(SRM_DISK, std::string("a")); },
      [](SrmResourceList* l) { l->removeResource(SRM_DISK, l->findResource(SRM_DISK, "a")); },
      [](SrmResourceList* l) { Add(l, SRM_DISK, "a"); },
      [](SrmResourceList* l) { l->removeAllResources(); },
      [](SrmResourceList* l) { delete l; },
  };
  for (int i = 0; i < 5; ++i) {
    SrmResourceList* list = new SrmResourceList;
    int destroyed = 0;
    for (std::string id : {"a", "b", "z"}) {
      Add(list, SRM_DISK, id, [list, id, &destroyed] {
        ++destroyed;
        list->removeResource(SRM_DISK, id);
        list->removeResource(SRM_DISK, std::string("z"));
      });
    }
    runs[i](list);
    EXPECT_EQ(i < 3 ? 2 : 3, destroyed) << i;
    if (i == 4) continue;
    EXPECT_EQ(nullptr, list->findResource(SRM_DISK, "z"));
    delete list;
  }
}

TEST(SrmResourceListTest, Merging) {
  SrmResourceDatabase db;
  SrmResourceList target(&db), source;
  TestRecord* old_d1 = Add(&target, SRM_DISK, "d1");
  TestRecord* new_d1 = Add(&source, SRM_DISK, "d1");
  TestRecord* d2 = Add(&source, SRM_DISK, "d2");
  TestRecord* v1 = Add(&source, SRM_VOLUME, "v1");
  EXPECT_EQ(0, target.mergeResources(nullptr));
  EXPECT_EQ(0, target.mergeResources(nullptr, SRM_DISK));
  EXPECT_EQ(0, target.mergeResources(&source, SRM_SHARE));
  EXPECT_EQ(1, target.mergeResources(&source, SRM_VOLUME));
  EXPECT_EQ(2, target.getResourceCount());
  EXPECT_EQ(1, target.mergeResources(&source));
  EXPECT_EQ(std::vector<SrmResource*>{new_d1}, old_d1->merged_from);
  EXPECT_EQ(d2, target.findResource(SRM_DISK, "d2"));
  EXPECT_EQ(&db, d2->getDatabase());
  EXPECT_EQ(&db, v1->getDatabase());
  EXPECT_EQ(nullptr, new_d1->getDatabase());
  EXPECT_EQ(2, d2->getRefCount());
  // A list without a database (a computer's child list) leaves the records' link alone.
  SrmResourceList unlinked;
  EXPECT_EQ(1, unlinked.mergeResources(&target));
  EXPECT_EQ(&db, d2->getDatabase());
  // A record both lists hold, or a list merged into itself: nothing is merged into itself.
  EXPECT_EQ(1, target.mergeResources(&target));
  EXPECT_EQ(1, target.mergeResources(&unlinked));
  EXPECT_EQ(1u, old_d1->merged_from.size());
  // The first refused merge ends the walk, without rollback.
  SrmResourceList refusing(&db), more;
  for (const char* id : {"d1", "d2", "d3"}) Add(&more, SRM_DISK, id);
  Add(&refusing, SRM_DISK, "d2")->merge_result = 0;
  EXPECT_EQ(0, refusing.mergeResources(&more));
  EXPECT_NE(nullptr, refusing.findResource(SRM_DISK, "d1"));
  EXPECT_EQ(nullptr, refusing.findResource(SRM_DISK, "d3"));
  // A merge may empty the source while the walk is still to visit its records.
  SrmResourceList emptied(&db), doomed;
  Add(&emptied, SRM_DISK, "d0")->on_merge = [&doomed] { doomed.removeAllResources(); };
  for (const char* id : {"d0", "d1", "d2"}) Add(&doomed, SRM_DISK, id);
  EXPECT_EQ(1, emptied.mergeResources(&doomed));
  EXPECT_EQ(3, emptied.getResourceCount());
}

using IdMap = SrmResourceList::IdMap;

// Every key of map is found as its own entry, through find and findMany, and no other key.
void ExpectMirrors(const SrmIdIndex& index, IdMap& map, const std::vector<std::string>& keys) {
  EXPECT_EQ(map.size(), index.size());
  std::vector<std::string_view> asked(keys.begin(), keys.end());
  IdMap sentinel = {{std::string_view("~"), nullptr}};
  std::vector<SrmIdIndex::Entry*> found(asked.size() + 1, &*sentinel.begin());
  index.findMany(asked.data(), asked.size(), found.data());
  EXPECT_EQ(&*sentinel.begin(), found.back());  // nothing written past the count
  for (size_t i = 0; i < keys.size(); ++i) {
    auto it = map.find(keys[i]);
    SrmIdIndex::Entry* expected = it == map.end() ? nullptr : &*it;
    EXPECT_EQ(expected, index.find(keys[i])) << keys[i];
    EXPECT_EQ(expected, found[i]) << keys[i];
  }
}

// Keys added and removed at random, the table growing many times, against the map itself: a
// removal must leave every other entry reachable from its probe start.
TEST(SrmIdIndexTest, StaysInStepWithItsMap) {
  std::mt19937 random(7);
  std::vector<std::string> keys = {"", "d", "D1"};
  for (int i = 0; i < 600; ++i) keys.push_back("vol" + std::to_string(i * 7919 % 1000));
  SrmIdIndex index;
  IdMap map;
  ExpectMirrors(index, map, keys);
  index.remove("vol1");
  for (int step = 0; step < 5000; ++step) {
    const std::string& key = keys[random() % keys.size()];
    auto it = map.find(key);
    if (it == map.end()) {
      index.reserveOneMore();
      index.add(&*map.emplace(key, nullptr).first);
    } else if (random() % 3 == 0) {
      index.remove(key);
      map.erase(it);
    }
    if (step % 1000 == 0) ExpectMirrors(index, map, keys);
  }
  ExpectMirrors(index, map, keys);
  index.clear();
  map.clear();
  ExpectMirrors(index, map, keys);
}

}  // namespace
