// resdb_generate N DIR [SEED]: writes a synthetic scan of at least N records to DIR, one tuple
// file per add method, in the layout the replay tools read.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "inventory_generator.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: %s RECORDS DIR [SEED]\n", argv[0]);
    return 2;
  }
  const size_t records = std::strtoul(argv[1], nullptr, 10);
  const uint32_t seed = argc == 4 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 1;
  const SyntheticScan scan = GenerateScan(records, seed);
  const std::string failure = WriteScanFolder(scan, argv[2]);
  if (!failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    return 1;
  }
  for (const ScanBatch& b : scan.batches) {
    std::printf("%-22s %8zu records %11zu bytes\n", (b.method + ".txt").c_str(), b.records,
                b.text.size());
  }
  std::printf("%-22s %8zu records %11zu bytes\n", "total", scan.records(), scan.bytes());
  return 0;
}
