#include "tuple/key_vocabulary.h"

#include <atomic>
#include <climits>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

// First in this file so that, run alone or first, it races the construction of the maps.
TEST(KeyVocabularyTest, ThreadsRacingTheFirstLookupAllGetCorrectAnswers) {
  constexpr int kThreads = 8;
  std::atomic<int> ready{0};
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ++ready;
      while (ready.load() < kThreads) {
      }
      for (int i = 0; i < glob_key_id_size; ++i) {
        const int id = (i + t * 17) % glob_key_id_size;  // threads start at different keys
        if (SrmResDbGetStringId(glob_key_id[id]) != id) ++wrong;
        if (SrmResDbGetIdString(id) != glob_key_id[id]) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(0, wrong.load());
}

TEST(KeyVocabularyTest, EveryNameAndIdMapBothWays) {
  ASSERT_EQ(126, glob_key_id_size);
  ASSERT_EQ(126, kKeyCount);
  std::set<std::string> distinct;
  for (int id = 0; id < glob_key_id_size; ++id) {
    distinct.insert(glob_key_id[id]);
    EXPECT_EQ(id, SrmResDbGetStringId(glob_key_id[id])) << glob_key_id[id];
    EXPECT_EQ(glob_key_id[id], SrmResDbGetIdString(id)) << id;
  }
  EXPECT_EQ(126u, distinct.size());
}

TEST(KeyVocabularyTest, StoredIdsAreFixed) {
  // Ids are written in stored text and every record's key list: they must never move.
  const std::pair<int, const char*> fixed[] = {
      {kKeyType, "Type"},
      {kKeyHostName, "HostName"},
      {kKeyDisk, "Disk"},
      {kKeyDiskChunk, "DiskChunk"},
      {kKeyState, "State"},
      {kKeyId, "Id"},
      {kKeyAWRE, "AWRE"},
      {kKeyShareDesc, "ShareDesc"},
      {kKeyFSType, "FSType"},
      {kKeySrmResourceDbVersion, "SrmResourceDbVersion"},
      {kKeyShare, "Share"},
      {kKeyError, "Error"},
      {kKeyTIM, "TIM"},
      {kKeyLId, "LId"},
      {kKeyClusterId, "ClusterId"},
  };
  const int numbers[] = {0, 1, 19, 26, 27, 29, 46, 62, 78, 96, 106, 109, 116, 119, 125};
  for (size_t i = 0; i < sizeof(numbers) / sizeof(numbers[0]); ++i) {
    EXPECT_EQ(numbers[i], fixed[i].first) << fixed[i].second;
    EXPECT_EQ(fixed[i].second, SrmResDbGetIdString(numbers[i]));
  }
}

TEST(KeyVocabularyTest, UnknownNamesAndIds) {
  for (const std::string& name :
       {std::string("type"), std::string(""), std::string("Type "), std::string(" Disk"),
        std::string("\"Disk\""), std::string("Disk\0", 5), std::string("NoSuchKey")}) {
    EXPECT_EQ(0, SrmResDbGetStringId(name)) << name;
  }
  for (const int id : {-1, 126, INT_MIN, INT_MAX}) EXPECT_EQ("", SrmResDbGetIdString(id)) << id;
  freeStaticKeys();  // leaves the maps in place for every later database
  EXPECT_EQ(125, SrmResDbGetStringId("ClusterId"));
}

TEST(KeyVocabularyTest, SplitKeyValuePair) {
  struct Case {
    std::string element;
    int result;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"\"HostName=h1\"", 1, "HostName", "h1"},
      {"HostName=h1", 1, "HostName", "h1"},
      {"\"HostName\"", 0, "old key", "old value"},
      {"", 0, "old key", "old value"},
      {"\"", 0, "old key", "old value"},
      {"\"a=b=c\"", 1, "a", "b=c"},
      {"=x", 1, "", "x"},
      {"\"=\"", 1, "", ""},
      {"\"A=\"", 1, "A", ""},
      {"\"A=x", 1, "\"A", "x"},        // quote at the front only: kept in the key
      {"A=x\"", 1, "A", "x\""},        // quote at the end only: kept in the value
      {" \"A=1\"", 1, " \"A", "1\""},  // a leading blank defeats the quote stripping
      {"\"A= 1 \"", 1, "A", " 1 "},    // nothing is trimmed
      {"\"A=x,y;z\"", 1, "A", "x,y;z"},
      {"\"A=say \"hi\"\"", 1, "A", "say \"hi\""},  // only the outer pair is dropped
  };
  for (const Case& c : cases) {
    std::string key = "old key", value = "old value";
    EXPECT_EQ(c.result, SrmSplitKeyValuePair(&c.element, &key, &value)) << c.element;
    EXPECT_EQ(c.key, key) << c.element;
    EXPECT_EQ(c.value, value) << c.element;
  }
}

TEST(KeyVocabularyTest, SplitIntoTheElementItselfAndNullPointers) {
  std::string element = "\"Name=a=b\"", value;
  EXPECT_EQ(1, SrmSplitKeyValuePair(&element, &element, &value));
  EXPECT_EQ("Name", element);
  EXPECT_EQ("a=b", value);
  std::string key;
  EXPECT_EQ(0, SrmSplitKeyValuePair(nullptr, &key, &value));
  EXPECT_EQ(0, SrmSplitKeyValuePair(&value, nullptr, &value));
  EXPECT_EQ(0, SrmSplitKeyValuePair(&value, &key, nullptr));
}

}  // namespace
