// A tuple's elements and read position, and the key vocabulary's lookups and element split.
#include "tuple/report_tuple.h"

#include <atomic>
#include <climits>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "model/tuple_fields.h"
#include "tuple/key_vocabulary.h"

namespace {

using Elements = std::vector<std::string>;

Elements ReadRest(CSRMReportTuple* tuple) {
  Elements out;
  std::string element;
  while (tuple->getNextElement(&element) == CSRM_OK) out.push_back(element);
  EXPECT_EQ(CSRM_END_OF_DATA, tuple->getNextElement(&element));
  return out;
}

TEST(ReportTupleTest, ReadPositionThroughAddsResetsClearsAndCopies) {
  CSRMReportTuple tuple;
  std::string element = "keep";
  EXPECT_EQ(CSRM_END_OF_DATA, tuple.getNextElement(&element));
  EXPECT_EQ("keep", element);
  for (const char* e : {"a", "", "b"}) EXPECT_EQ(CSRM_OK, tuple.addElement(std::string(e)));
  ASSERT_EQ(CSRM_OK, tuple.getNextElement(&element));
  Elements all = {"old"};
  EXPECT_EQ(CSRM_OK, tuple.getAllElements(&all));  // the position stays
  EXPECT_EQ((Elements{"a", "", "b"}), all);
  CSRMReportTuple copy(tuple);  // starts at its first element, independent
  EXPECT_EQ((Elements{"", "b"}), ReadRest(&tuple));
  EXPECT_EQ(CSRM_OK, tuple.resetNext());
  EXPECT_EQ((Elements{"a", "", "b"}), ReadRest(&tuple));
  tuple.addElement("c");  // the next read starts over
  EXPECT_EQ((Elements{"a", "", "b", "c"}), ReadRest(&tuple));
  EXPECT_EQ((Elements{"a", "", "b"}), ReadRest(&copy));
  EXPECT_EQ(CSRM_OK, tuple.clearTuple());
  EXPECT_EQ(0u, tuple.getElementCount());
  tuple.addElement("z");
  EXPECT_EQ((Elements{"z"}), ReadRest(&tuple));
  EXPECT_EQ(CSRM_NULL_ARGUMENT, tuple.getNextElement(nullptr));
  EXPECT_EQ(CSRM_NULL_ARGUMENT, tuple.getAllElements(nullptr));
}

TEST(ReportTupleTest, AddElementFromCharacters) {
  struct {
    const char* text;
    long length;
    unsigned long result;
    Elements expected;
  } cases[] = {{nullptr, 5, CSRM_NULL_ARGUMENT, {}},
               {"abcdef", 3, CSRM_OK, {"abc"}},
               {"abc", 0, CSRM_OK, {"abc"}},
               {"abc", -4, CSRM_OK, {"abc"}},
               {"a\0b", 3, CSRM_OK, {std::string("a\0b", 3)}}};
  for (const auto& c : cases) {
    CSRMReportTuple tuple;
    EXPECT_EQ(c.result, tuple.addElement(c.text, c.length)) << c.length;
    EXPECT_EQ(c.expected, ReadRest(&tuple)) << c.length;
  }
}

TEST(ReportTupleTest, AllocationFailuresAreReportedAndChangeNothing) {
  const std::string long_element(100, 'x');  // too long for a string's inline storage
  CSRMReportTuple tuple;
  tuple.addElement(long_element);
  std::string element;
  Elements elements;
  {
    ScopedAllocFault fault(0);
    EXPECT_EQ(CSRM_NO_MEMORY, tuple.addElement(long_element));
    EXPECT_EQ(CSRM_NO_MEMORY, tuple.addElement(long_element.c_str(), 0));
    EXPECT_EQ(CSRM_NO_MEMORY, tuple.getNextElement(&element));
    EXPECT_EQ(CSRM_NO_MEMORY, tuple.getAllElements(&elements));
  }
  EXPECT_EQ((Elements{long_element}), ReadRest(&tuple));  // still one element, not skipped
}

// First of the vocabulary's tests, so that run alone it races the construction of the maps.
TEST(KeyVocabularyTest, EveryNameAndIdMapBothWaysFromManyThreads) {
  ASSERT_EQ(126, glob_key_id_size);
  std::atomic<int> ready{0}, wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (++ready; ready.load() < 8;) {
      }
      for (int i = 0; i < glob_key_id_size; ++i) {
        const int id = (i + t * 17) % glob_key_id_size;
        wrong += SrmResDbGetStringId(glob_key_id[id]) != id;
        wrong += SrmResDbGetIdString(id) != glob_key_id[id];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(0, wrong.load());
  // Ids are stored in tuple text: they never move.
  EXPECT_EQ("SrmResourceDbVersion", SrmResDbGetIdString(96));
  EXPECT_EQ("ClusterId", SrmResDbGetIdString(125));
  for (const std::string name : {"type", "", "Type ", "\"Disk\"", "NoSuchKey"}) {
    EXPECT_EQ(0, SrmResDbGetStringId(name)) << name;
  }
  EXPECT_EQ(0, SrmResDbGetStringId(std::string("Disk\0", 5)));
  for (const int id : {-1, 126, INT_MIN, INT_MAX}) EXPECT_EQ("", SrmResDbGetIdString(id)) << id;
  freeStaticKeys();  // leaves the maps for every later database
  EXPECT_EQ(125, SrmResDbGetStringId("ClusterId"));
}

TEST(KeyVocabularyTest, SplitKeyValuePair) {
  struct {
    std::string element;
    int result;
    const char* key;
    const char* value;
  } cases[] = {
      {"\"HostName=h1\"", 1, "HostName", "h1"},
      {"HostName=h1", 1, "HostName", "h1"},
      {"\"HostName\"", 0, "old key", "old value"},
      {"\"", 0, "old key", "old value"},
      {"\"a=b=c\"", 1, "a", "b=c"},
      {"\"=\"", 1, "", ""},
      {"\"A=x", 1, "\"A", "x"},        // quote at the front only: kept in the key
      {"A=x\"", 1, "A", "x\""},        // quote at the end only: kept in the value
      {" \"A=1\"", 1, " \"A", "1\""},  // nothing is trimmed
      {"\"A=say \"hi\"\"", 1, "A", "say \"hi\""},
  };
  for (const auto& c : cases) {
    std::string key = "old key", value = "old value";
    EXPECT_EQ(c.result, SrmSplitKeyValuePair(&c.element, &key, &value)) << c.element;
    EXPECT_EQ(c.key, key) << c.element;
    EXPECT_EQ(c.value, value) << c.element;
  }
  std::string element = "\"Name=a=b\"", value;
  EXPECT_EQ(1, SrmSplitKeyValuePair(&element, &element, &value));  // into the element itself
  EXPECT_EQ("Name", element);
  EXPECT_EQ("a=b", value);
  EXPECT_EQ(1, SrmSplitKeyValuePair(&value, &value, &value));
  EXPECT_EQ(0, SrmSplitKeyValuePair(nullptr, &element, &value));
  EXPECT_EQ(0, SrmSplitKeyValuePair(&value, nullptr, &value));
  EXPECT_EQ(0, SrmSplitKeyValuePair(&value, &element, nullptr));
}

// The one-pass split and lookup answers as the split and then the lookup do, for every name,
// quoted, unquoted or run into other text, and every prefix of those elements.
TEST(KeyVocabularyTest, SplitKeyIdAgreesWithSplitThenLookup) {
  std::vector<std::string> elements = {"\"\"", std::string(30, 'k') + "=v", "A=\"B=\""};
  for (int id = 0; id < glob_key_id_size; ++id) {
    for (const std::string around : {"", "\"", "x"}) {
      for (size_t n = 0; n < 9; ++n) {
        elements.push_back(around + glob_key_id[id] + "=" + std::string(n, '=') + around);
      }
    }
    // Names with one byte changed: a guess of the name must check every byte of it.
    for (size_t at = 0; glob_key_id[id][at] != '\0'; ++at) {
      std::string changed = glob_key_id[id];
      changed[at] = '~';
      elements.push_back("\"" + changed + "=v\"");
    }
  }
  for (const std::string& whole : elements) {
    for (size_t size = 0; size <= whole.size(); ++size) {
      const std::string element = whole.substr(0, size);  // the heap copy ends where it ends
      std::string_view key, value;
      const int split = SrmSplitKeyValueView(element, &key, &value);
      const SrmKeyValue one_pass = SrmSplitKeyId(element);
      ASSERT_EQ(split ? SrmResDbGetStringId(key) : -1, one_pass.key) << element;
      // A guessed key gives the same split, right or wrong: every guess for the whole elements,
      // for their prefixes the key of the whole one (names cut short, a '=' missing).
      const int whole_key = SrmSplitKeyId(whole).key;
      for (int guess = 0; guess < glob_key_id_size; ++guess) {
        if (size != whole.size() && guess != whole_key) continue;
        const SrmKeyValue guessed = SrmSplitGuessedKeyId(element, guess);
        ASSERT_EQ(one_pass.key, guessed.key) << element << " guessed " << glob_key_id[guess];
        ASSERT_EQ(one_pass.named, guessed.named) << element << " guessed " << glob_key_id[guess];
        if (!split) continue;
        ASSERT_TRUE(value.data() == guessed.value.data() && value.size() == guessed.value.size())
            << element << " guessed " << glob_key_id[guess];
      }
      if (!split) continue;
      ASSERT_EQ(key == glob_key_id[one_pass.key], one_pass.named) << element;
      ASSERT_TRUE(value.data() == one_pass.value.data() && value.size() == one_pass.value.size());
    }
  }
}

// Tuples read one after another into the same tuple walk as they would each in a tuple of its
// own, whatever keys the tuple before left as guesses at each position.
TEST(KeyVocabularyTest, WalksOverOneReusedTupleAgreeWithFreshTuples) {
  const std::vector<std::vector<std::string>> tuples = {
      {"\"Type=Disk\"", "\"Id=d1\"", "\"Name=n\"", "\"State=12\""},
      {"\"Type=Disk\"", "\"Name=x\"", "\"Id=d2\"", "State=3"},
      {"\"Type=DiskChunk\"", "\"Nam=x\"", "\"Id\"", "\"State=\""},
      {"Type=Volume", "\"NameX=y\"", "\"Id=d3=4\"", "\"Stat=1\"", "\"Disk=a\""},
      {"\"Type=Disk\"", "\"Id=d1\"", "\"Name=n\"", "\"State=12\""},
  };
  using Visits = std::vector<std::pair<int, std::string>>;
  const auto walk = [](CSRMReportTuple* tuple) {
    Visits visits;
    SrmForEachElementView(tuple, [&](int key, std::string_view value) {
      visits.emplace_back(key, std::string(value));
    });
    return visits;
  };
  CSRMReportTuple reused;
  for (int round = 0; round < 2; ++round) {
    for (const auto& elements : tuples) {
      CSRMReportTuple fresh;
      reused.clearTuple();
      for (const std::string& e : elements) {
        fresh.addElement(e);
        reused.addElement(e);
      }
      const Visits expected = walk(&fresh);
      ASSERT_EQ(expected, walk(&reused)) << elements[0] << " " << elements[1];
    }
  }
}

}  // namespace
