// A synthetic scan of one host, for measuring the library at sizes no test fixture reaches.
// GenerateScan makes the collected tuple text of a host with a given number of records, cut
// into the batches the add methods take: one computer and two volume managers, then per disk
// its two chunks, a volume on each chunk (every fourth disk also a mirror volume over the two,
// which then holds the file system), file systems and mount points on the top-level volumes, a
// share on every other file system, an alias per disk, a volume group per eight disks, and a
// second path to every sixteenth disk (merged into the first on loading). Values have the
// lengths a real scan gives them: device paths, world-wide names, mount paths, URLs.
// The same size and seed always give the same text, byte for byte.
#ifndef RESDB_BENCH_INVENTORY_GENERATOR_H_
#define RESDB_BENCH_INVENTORY_GENERATOR_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The text one add method receives, named after the method ("addDisk").
struct ScanBatch {
  std::string method;
  std::string text;
  size_t records = 0;  // record tuples in text (reference tuples not counted)
};

// All batches of one scan, in the order a replay calls the add methods (addComputer, addDisk,
// addDiskChunk, addVolumeManagerInfo, addVolume, addVolumeGroup, addFileSystem, addMountpoint,
// addShare, addAlias). Every batch is present, possibly with an empty text.
struct SyntheticScan {
  std::vector<ScanBatch> batches;
  std::string host_name;  // Id and HostName of the computer, which is this computer

  size_t records() const;
  size_t bytes() const;
  // The batch of method; null when there is none.
  const ScanBatch* batch(const std::string& method) const;
};

// A scan with at least `records` record tuples (the smallest number of whole disks that
// reaches it; never fewer than one disk).
SyntheticScan GenerateScan(size_t records, uint32_t seed = 1);

// Writes one file per batch, <dir>/<method>.txt, creating dir when missing. Returns an empty
// string on success, else a description of what failed.
std::string WriteScanFolder(const SyntheticScan& scan, const std::string& dir);

// Reads the files of a scan folder written in that layout; a missing file gives an empty
// batch. Returns an empty string on success, else a description of what failed.
std::string ReadScanFolder(const std::string& dir, SyntheticScan* scan);

// The add methods in replay order.
const std::vector<std::string>& ScanMethods();

#endif  // RESDB_BENCH_INVENTORY_GENERATOR_H_
