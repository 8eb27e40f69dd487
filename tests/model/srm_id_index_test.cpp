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

}  // namespace
