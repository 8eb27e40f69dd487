#include "model/reference_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "../kinds/kind_test_util.h"
#include "tuple/key_vocabulary.h"

namespace {

// Reads up to count references from text; returns what was visited and, through *left, the
// raw text of the next tuple the reader would hand out.
std::vector<SrmReference> Read(const std::string& text, int count, int* visited,
                               std::string* left = nullptr) {
  kindtest::TempFile file;
  file.write(text);
  file.rewind();
  CSRMTupleFDStream stream;
  stream.SetFileDescriptor(file.fd());
  CSRMReportTupleStreamReader reader;
  reader.SetTupleStream(&stream);
  std::vector<SrmReference> refs;
  *visited = SrmReadReferences(&reader, count, [&](const SrmReference& r) { refs.push_back(r); });
  if (left != nullptr) reader.GetNextTuple(left);
  return refs;
}

TEST(ReferenceReaderTest, YieldsTheLastTypeAndIdOfEachTuple) {
  int visited = 0;
  std::string left;
  auto refs = Read(
      "\"Type=Disk\",\"Id=d1\",;\n"
      "\"Id=x\",\"Type=Volume\",\"Id=v1\",\"Type=Share\",;\n"
      "\"Id=bare\",;\n"
      "\"Unknown=System\",\"Id=h1\",;\n"
      "\"Type=Disk\",\"Id=next\",;\n",
      4, &visited, &left);
  EXPECT_EQ(4, visited);
  ASSERT_EQ(4u, refs.size());
  EXPECT_EQ(kKeyDisk, refs[0].type_key);
  EXPECT_EQ("d1", refs[0].id);
  EXPECT_EQ(kKeyShare, refs[1].type_key);
  EXPECT_EQ("v1", refs[1].id);
  EXPECT_EQ(-1, refs[2].type_key);  // no Type element
  EXPECT_EQ("bare", refs[2].id);
  EXPECT_EQ(kKeySystem, refs[3].type_key);        // a key outside the vocabulary counts as Type
  EXPECT_EQ("\"Type=Disk\",\"Id=next\",", left);  // nothing beyond the count was read
}

TEST(ReferenceReaderTest, StopsAtTheEndOfInput) {
  const std::pair<const char*, int> cases[] = {
      {"", 0},
      {"\"Type=Disk\",\"Id=d1\",;\n", 1},
      {"\"Type=Disk\",\"Id=d1\",;\n\"Type=Di", 1},  // ends inside a tuple
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    int visited = -1;
    Read(text, 5, &visited);
    EXPECT_EQ(expected, visited);
  }
  int visited = -1;
  Read("\"Type=Disk\",\"Id=d1\",;\n", 0, &visited);
  EXPECT_EQ(0, visited);
  Read("\"Type=Disk\",\"Id=d1\",;\n", -3, &visited);
  EXPECT_EQ(0, visited);
  EXPECT_EQ(0, SrmReadReferences(nullptr, 2, [](const SrmReference&) { FAIL(); }));
}

TEST(ReferenceReaderTest, KindsAReferenceCanName) {
  const std::pair<int, SrmResourceType> cases[] = {
      {kKeySystem, SRM_COMPUTER},
      {kKeyDisk, SRM_DISK},
      {kKeyDiskChunk, SRM_DISKCHUNK},
      {kKeyVolume, SRM_VOLUME},
      {kKeyFileSystem, SRM_FILESYSTEM},
      {kKeyMountPoint, SRM_MOUNTPOINT},
      {kKeyShare, SRM_SHARE},
      {kKeyVirtualServer, SRM_VIRTUALSERVER},
      {kKeyVolumeGroup, SRM_VOLUMEGROUP},
      {kKeyVolumeManager, SRM_NO_TYPE},
      {kKeyId, SRM_NO_TYPE},
      {kKeyType, SRM_NO_TYPE},
      {-1, SRM_NO_TYPE},
  };
  for (const auto& [key, kind] : cases) EXPECT_EQ(kind, SrmKindOfReference(key)) << key;
}

}  // namespace
