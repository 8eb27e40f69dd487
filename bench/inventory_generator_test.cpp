#include "inventory_generator.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "db/srm_resource_database.h"
#include "native_session.h"

namespace {

SrmResourceDatabase* Database(const NativeSession& session) {
  return reinterpret_cast<SrmResourceDatabase*>(static_cast<uintptr_t>(session.handle()));
}

// Lines of text with more than the two elements of a reference tuple (Type and Id).
size_t RecordLines(const std::string& text) {
  size_t records = 0;
  size_t start = 0;
  for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
    size_t elements = 0;
    for (size_t at = text.find("\",", start); at < end; at = text.find("\",", at + 1)) ++elements;
    if (elements > 2) ++records;
    start = end + 1;
  }
  return records;
}

TEST(InventoryGenerator, SameSizeAndSeedGiveTheSameText) {
  const SyntheticScan a = GenerateScan(500);
  const SyntheticScan b = GenerateScan(500);
  const SyntheticScan c = GenerateScan(500, 7);
  ASSERT_EQ(a.batches.size(), ScanMethods().size());
  bool differs = false;
  for (size_t i = 0; i < a.batches.size(); ++i) {
    EXPECT_EQ(a.batches[i].method, ScanMethods()[i]);
    EXPECT_EQ(a.batches[i].text, b.batches[i].text) << a.batches[i].method;
    differs = differs || a.batches[i].text != c.batches[i].text;
  }
  EXPECT_TRUE(differs) << "the seed changes the values";
}

TEST(InventoryGenerator, ReachesTheRequestedSize) {
  for (size_t records : {0u, 1u, 100u, 1000u, 5000u}) {
    const SyntheticScan scan = GenerateScan(records);
    EXPECT_GE(scan.records(), records);
    // Never more than one disk's worth (and a group record) past the target.
    EXPECT_LT(scan.records(), records + 20) << records;
    // The count covers the record lines, not the reference lines that follow containers.
    for (const ScanBatch& b : scan.batches) EXPECT_EQ(b.records, RecordLines(b.text)) << b.method;
    EXPECT_GE(scan.batch("addVolumeGroup")->records, 1u);
  }
}

// The whole scan loads as collected text would: every batch succeeds, every reference resolves
// (a reference the database cannot resolve fails its record, which would then be missing),
// nothing is withdrawn, and the report and the serialized database agree on the record count.
TEST(InventoryGenerator, LoadsWholeThroughTheNativeMethods) {
  const SyntheticScan scan = GenerateScan(2000);
  NativeSession session;
  for (const ScanBatch& b : scan.batches) {
    EXPECT_EQ("The operation succeeded.", session.add(b.method, b.text)) << b.method;
  }
  SrmResourceDatabase* db = Database(session);
  SrmResourceList* all = db->getResourceList();
  auto records = [&](const char* method) { return static_cast<int>(scan.batch(method)->records); };
  const int second_paths = records("addDisk") - records("addAlias");
  EXPECT_GT(second_paths, 0) << "some disks are seen twice and merged";
  EXPECT_EQ(records("addAlias"), all->getTypeCount(SRM_DISK));
  EXPECT_EQ(records("addDiskChunk"), all->getTypeCount(SRM_DISKCHUNK));
  EXPECT_EQ(records("addVolume"), all->getTypeCount(SRM_VOLUME));
  EXPECT_EQ(records("addVolumeGroup"), all->getTypeCount(SRM_VOLUMEGROUP));
  EXPECT_EQ(records("addFileSystem"), all->getTypeCount(SRM_FILESYSTEM));
  EXPECT_EQ(records("addMountpoint"), all->getTypeCount(SRM_MOUNTPOINT));
  EXPECT_EQ(records("addShare"), all->getTypeCount(SRM_SHARE));
  EXPECT_EQ(records("addAlias"), all->getTypeCount(SRM_ALIAS));
  EXPECT_EQ(2, all->getTypeCount(SRM_VOLUMEMANAGER));
  EXPECT_EQ(1, all->getTypeCount(SRM_COMPUTER));
  EXPECT_NE(nullptr, db->getThisComputer());
  EXPECT_EQ(scan.host_name, db->getHostName());

  EXPECT_GT(session.resolveDatabase(), 0);
  EXPECT_EQ(0, db->getErrorList()->getErrorCount()) << "no disk is withdrawn";

  FILE* out = std::tmpfile();
  ASSERT_NE(nullptr, out);
  EXPECT_EQ(1, session.serialize(fileno(out)));
  std::rewind(out);
  char header[256] = {};
  ASSERT_NE(nullptr, std::fgets(header, sizeof header, out));
  std::fclose(out);
  const std::string expected =
      "\"ResourceCount=" + std::to_string(scan.records() - second_paths) + "\"";
  EXPECT_NE(std::string::npos, std::string(header).find(expected)) << header;
}

TEST(InventoryGenerator, FolderRoundTrip) {
  char dir[] = "/tmp/resdb-scan-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(dir));
  const SyntheticScan scan = GenerateScan(300);
  ASSERT_EQ("", WriteScanFolder(scan, dir));
  SyntheticScan back;
  ASSERT_EQ("", ReadScanFolder(dir, &back));
  ASSERT_EQ(scan.batches.size(), back.batches.size());
  for (size_t i = 0; i < scan.batches.size(); ++i) {
    EXPECT_EQ(scan.batches[i].text, back.batches[i].text) << scan.batches[i].method;
    std::remove((std::string(dir) + "/" + scan.batches[i].method + ".txt").c_str());
  }
  rmdir(dir);
  EXPECT_NE("", WriteScanFolder(scan, "/nonexistent-dir/scan"));
}

}  // namespace
