#include "model/srm_id_index.h"

#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using IdMap = std::map<std::string, SrmResource*>;

// Every key of map is found as its own entry, and none of the absent keys is found.
void ExpectMirrors(const SrmIdIndex& index, IdMap& map, const std::vector<std::string>& absent) {
  EXPECT_EQ(map.size(), index.size());
  for (auto& entry : map) EXPECT_EQ(&entry, index.find(entry.first)) << entry.first;
  for (const std::string& key : absent) {
    if (map.count(key) != 0) continue;
    EXPECT_EQ(nullptr, index.find(key)) << key;
  }
}

TEST(SrmIdIndexTest, FindsWhatWasAddedAndNothingElse) {
  SrmIdIndex index;
  EXPECT_EQ(nullptr, index.find("d1"));  // an empty index has no table yet
  index.remove("d1");
  IdMap map;
  for (const char* key : {"d1", "", "d10", "c2t60060E8016A1B2000001A1B200001000d0"}) {
    index.reserveOneMore();
    index.add(&*map.emplace(key, nullptr).first);
  }
  ExpectMirrors(index, map, {"d", "d2", "D1", "c2t60060E8016A1B2000001A1B200001000d1"});
  index.clear();
  EXPECT_EQ(0u, index.size());
  EXPECT_EQ(nullptr, index.find("d1"));
}

// Adds and removes keys at random, growing the table many times, against the map itself: a
// removal must leave every other entry reachable from its probe start.
TEST(SrmIdIndexTest, StaysInStepWithItsMapThroughGrowthAndRemovals) {
  std::mt19937 random(7);
  std::vector<std::string> keys;
  for (int i = 0; i < 600; ++i) keys.push_back("vol" + std::to_string(i * 7919 % 1000));
  SrmIdIndex index;
  IdMap map;
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
    if (step % 500 == 0) ExpectMirrors(index, map, keys);
  }
  ExpectMirrors(index, map, keys);
  for (auto it = map.begin(); it != map.end();) {
    index.remove(it->first);
    it = map.erase(it);
  }
  ExpectMirrors(index, map, keys);
}

// findMany answers as find does for every key, in the order asked, across its steps of 32 and
// with keys asked twice, absent, or asked of an index that holds nothing.
TEST(SrmIdIndexTest, FindingManyAtOnceAgreesWithFindingEach) {
  for (int entries : {0, 1, 40, 300}) {
    SrmIdIndex index;
    IdMap map;
    for (int i = 0; i < entries; ++i) {
      index.reserveOneMore();
      index.add(&*map.emplace("disk" + std::to_string(i * 3), nullptr).first);
    }
    std::vector<std::string> keys;
    for (int i = 0; i < entries * 3 + 70; ++i) keys.push_back("disk" + std::to_string(i % 500));
    std::vector<const std::string*> asked;
    for (const std::string& key : keys) asked.push_back(&key);
    for (size_t count : {size_t{0}, size_t{1}, size_t{32}, size_t{33}, asked.size()}) {
      std::vector<SrmIdIndex::Entry*> found(count + 1, &*map.emplace("sentinel", nullptr).first);
      index.findMany(asked.data(), count, found.data());
      for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(index.find(keys[i]), found[i]) << entries << " entries, key " << keys[i];
      }
      EXPECT_EQ("sentinel", found[count]->first) << "nothing is written past count";
    }
    index.clear();
    std::vector<SrmIdIndex::Entry*> found(asked.size());
    index.findMany(asked.data(), asked.size(), found.data());
    for (SrmIdIndex::Entry* entry : found) EXPECT_EQ(nullptr, entry);
  }
}

}  // namespace
