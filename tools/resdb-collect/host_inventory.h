// HostInventory: what the collector learnt of the host, source by source, before it is mapped
// to records: the block devices as one graph (each device once, with its parents and children),
// the mounts, LVM's physical volumes, groups and logical volumes, the MD arrays' states, the NFS
// exports, the by-id links, and the computer's own figures. Plain data, filled by
// ReadHostInventory.
#ifndef RESDB_COLLECT_HOST_INVENTORY_H_
#define RESDB_COLLECT_HOST_INVENTORY_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class SourceReader;

// One block device as lsblk shows it. Texts are empty where lsblk has nothing.
struct BlockDevice {
  std::string name, kname, path, type;  // type: disk, part, lvm, raid1, mpath, crypt, ...
  std::string vendor, model, rev, serial, wwn, ptuuid, fstype, uuid, hctl, tran, state;
  int64_t size = 0;    // bytes
  int64_t start = -1;  // partition start in 512-byte sectors; -1 when not a partition
  std::vector<int> parents, children;  // indexes into HostInventory::devices
};

struct Mount {
  std::string target, source, fstype, options;
  int64_t size = 0, avail = 0, used = 0;  // bytes
};

struct LvmPhysicalVolume {
  std::string name, vg;
};

struct LvmGroup {
  std::string name, attr;
  int64_t size = 0, free = 0;
};

struct LvmVolume {
  std::string name, vg, path, dm_path, segtype;
  int64_t size = 0;
};

// One array of /proc/mdstat: its state and its members' health.
struct MdArray {
  bool active = true;
  bool degraded = false;            // a member missing or faulty
  std::vector<std::string> spares;  // member names that are spares
};

struct NfsExport {
  std::string path, clients;
};

struct HostInventory {
  std::vector<BlockDevice> devices;
  std::vector<Mount> mounts;
  std::vector<LvmPhysicalVolume> pvs;
  std::vector<LvmGroup> vgs;
  std::vector<LvmVolume> lvs;
  std::map<std::string, MdArray> md_arrays;  // by array name (md0)
  std::vector<NfsExport> exports;
  std::vector<std::pair<std::string, std::string>> by_id;  // link name, target kernel name
  std::map<std::string, std::string> serials;              // kernel name -> serial
  std::string hostname, os_name, os_release, machine;
  int64_t mem_kb = 0, swap_kb = 0;
  int cpu_count = 0, cpu_mhz = 0;
  std::string cpu_model;

  // The device with that path (or /dev/<kname>), or -1.
  int findByPath(const std::string& path) const;
  // The device with that kernel name, or -1.
  int findByKname(const std::string& kname) const;
};

// Reads every source through reader. A source that is missing, failed or malformed leaves its
// part empty (the reader has said so on stderr).
HostInventory ReadHostInventory(SourceReader& reader);

#endif  // RESDB_COLLECT_HOST_INVENTORY_H_
