// MapInventory: turns what was learnt of the host into the records of one scan, in the tuple
// text the library reads. Record Ids are made from the host's own names (disk-sda,
// chunk-sda1, vol-vg_sys/root, fs-sda1, mp-/boot, ...), so the same host gives the same scan.
#ifndef RESDB_COLLECT_SCAN_MAPPER_H_
#define RESDB_COLLECT_SCAN_MAPPER_H_

#include "host_inventory.h"
#include "scan_folder.h"

ScanFolder MapInventory(const HostInventory& inventory);

#endif  // RESDB_COLLECT_SCAN_MAPPER_H_
