#include "inventory_generator.h"

#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

namespace {

// Records of one disk, on average: the disk, two chunks, two volumes, a quarter of a mirror,
// 1.75 file systems and mount points, 0.875 shares, an alias, an eighth of a volume group.
constexpr size_t kDisksPerGroup = 8;
constexpr size_t kMirrorEvery = 4;       // every fourth disk carries a mirror volume
constexpr size_t kSecondPathEvery = 16;  // every sixteenth disk is seen on a second path
constexpr int kVolumeManagerNumber = 1;  // the IdType volumes and groups name their manager by

// A deterministic pseudo-random source (xorshift), so that a size always gives the same text.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed == 0 ? 0x9e3779b9u : seed) {}
  uint32_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  // In [low, high].
  int64_t range(int64_t low, int64_t high) {
    return low + static_cast<int64_t>(next() % static_cast<uint32_t>(high - low + 1));
  }

 private:
  uint32_t state_;
};

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(&text[0], text.size() + 1, format, again);
  va_end(again);
  return text;
}

// One tuple in the canonical form: "Key=value", elements, then ";\n".
class Tuple {
 public:
  explicit Tuple(std::string* out) : out_(out) {}
  Tuple& text(const char* key, const std::string& value) {
    out_->append("\"").append(key).append("=").append(value).append("\",");
    return *this;
  }
  Tuple& integer(const char* key, int64_t value) { return text(key, Format("%" PRId64, value)); }
  void end() { out_->append(";\n"); }

 private:
  std::string* const out_;
};

void Reference(std::string* out, const char* type, const std::string& id) {
  Tuple(out).text("Type", type).text("Id", id).end();
}

// Identities of disk number i, shared by the disk, its chunks, its alias and its group.
struct DiskNames {
  std::string wwn;   // 32 hex digits
  std::string id;    // the device name the scanner uses as Id
  std::string lid;   // the global id
  std::string path;  // the raw device path
};

DiskNames NamesOfDisk(size_t i) {
  DiskNames n;
  n.wwn = Format("60060E8016A1B2000001A1B2%08zX", i + 0x1000);
  n.id = Format("c%zut%sd%zu", 2 + i % 6, n.wwn.c_str(), i % 256);
  n.lid = "naa." + n.wwn;
  n.path = "/dev/rdsk/" + n.id + "s2";
  return n;
}

std::string GroupName(size_t g) {
  return Format("datadg%04zu", g);
}

// The scan under construction: one text per method.
class ScanWriter {
 public:
  ScanWriter(size_t records, uint32_t seed) : target_(records), random_(seed) {
    for (const std::string& method : ScanMethods()) {
      scan_.batches.push_back(ScanBatch{method, std::string(), 0});
    }
  }

  SyntheticScan build() {
    scan_.host_name = "bench-host-01.storage.lab.example.com";
    writeComputer();
    writeVolumeManagers();
    size_t disk = 0;
    // Whole groups of disks at a time, so every group has its eight disks.
    while (disk == 0 || scan_.records() < target_) {
      for (size_t k = 0; k < kDisksPerGroup && (disk == 0 || scan_.records() < target_); ++k) {
        writeDisk(disk++);
      }
      writeGroup();
    }
    return std::move(scan_);
  }

 private:
  ScanBatch& batch(const char* method) {
    for (ScanBatch& b : scan_.batches) {
      if (b.method == method) return b;
    }
    std::abort();  // every method has its batch
  }
  // Starts a record tuple in the batch of method and counts it.
  Tuple record(const char* method) {
    ScanBatch& b = batch(method);
    ++b.records;
    return Tuple(&b.text);
  }

  void writeComputer() {
    const std::string& host = scan_.host_name;
    record("addComputer")
        .text("Type", "System")
        .text("Id", host)
        .integer("State", 12)
        .text("HostName", host)
        .integer("RAMMB", 262144)
        .integer("SwapMB", 65536)
        .integer("AddrSpaceMB", 17592186044416LL)
        .integer("CapacityKB", 2147483000)
        .integer("FreeSpaceKB", 1073741000)
        .integer("ProcCount", 64)
        .integer("ProcSpeedMHz", 2600)
        .text("CPUInfo", "64 x 64-bit processor, 2600 MHz, 32768 KB cache")
        .text("HWInfo", "rack server, 4 sockets, 2 x 10GbE, 4 x 16Gb FC HBA")
        .text("OS", "UNIX")
        .text("OSInfo", "release 5.10.0-28 SMP build 2024-03-12 x86_64")
        .text("MgmtURL", "https://" + host + ":5634/agent")
        .text("DisplayMgmtURL", "https://" + host + ":5634/agent/display")
        .text("HostId", "8a3f21c7")
        .text("IPAddr", "10.17.42.101 10.17.43.101 fe80::a00:27ff:fe4e:66a1")
        .integer("NodeId", 0)
        .integer("LLTId", 0)
        .integer("TIM", 1)
        .end();
  }

  void writeVolumeManagers() {
    record("addVolumeManagerInfo")
        .text("Type", "VolumeManager")
        .text("Id", "volmgr-primary")
        .integer("IdType", kVolumeManagerNumber)
        .text("VolumeMgrName", "Storage Volume Manager")
        .text("VolumeMgrVersion", "7.4.2.1100")
        .end();
    record("addVolumeManagerInfo")
        .text("Type", "VolumeManager")
        .text("Id", "volmgr-native")
        .integer("IdType", kVolumeManagerNumber + 1)
        .text("VolumeMgrName", "Native Logical Volume Manager")
        .text("VolumeMgrVersion", "2.03.11")
        .end();
  }

  void writeDiskTuple(size_t i, const DiskNames& n, bool second_path) {
    record("addDisk")
        .text("Type", "Disk")
        .text("Id", n.id)
        .integer("State", 12)
        .text("LId", n.lid)
        .integer("Status", 1)
        .text("StatusDesc", second_path ? "Online, standby path" : "Online")
        .integer("IdType", 3)
        .text("IdValue", n.wwn)
        .text("Name", n.path)
        .text("Make", "STORAGE ARRAY")
        .text("Model", Format("ARRAY-%02zu", 10 + i % 7))
        .text("Revision", "7303")
        .text("SerialNum", Format("50%06zX%04X", i, static_cast<unsigned>(random_.next() & 0xFFFF)))
        .integer("Sign", 0x10000 + static_cast<int64_t>(i))
        .integer("CapacityKB", random_.range(8, 512) * 1048576)
        .integer("FreeSpaceKB", random_.range(0, 4) * 1048576)
        .integer("AWRE", 1)
        .integer("AddrBus", static_cast<int64_t>(i % 4))
        .integer("AddrTarget", static_cast<int64_t>(i % 16))
        .integer("AddrLUN", static_cast<int64_t>(i % 256))
        .integer("LLTId", 0)
        .integer("DiskType", 1)
        .integer("RPM", 15000)
        .integer("FactoryDefect", random_.range(0, 40))
        .integer("GrownDefect", random_.range(0, 3))
        .integer("Sbc", 512)
        .integer("VendorVer", 3)
        .end();
  }

  // The disk, its chunks, volumes, file systems, mount points, shares and its alias.
  void writeDisk(size_t i) {
    const DiskNames n = NamesOfDisk(i);
    writeDiskTuple(i, n, false);
    if (i % kSecondPathEvery == kSecondPathEvery - 1) writeDiskTuple(i, n, true);
    group_disks_.push_back(n.id);

    std::string leaves[2];
    for (int s = 0; s < 2; ++s) {
      const std::string chunk = Format("%ss%d", n.id.c_str(), s);
      const int64_t length = random_.range(1, 128) * 1048576;
      record("addDiskChunk")
          .text("Type", "DiskChunk")
          .text("Id", chunk)
          .integer("State", 12)
          .text("DiskChunk", Format("s%d", s))
          .text("Disk", n.id)
          .integer("Start", s == 0 ? 0 : length)
          .integer("Length", length)
          .end();
      leaves[s] = Format("vol:%s/vol%06zu%c", GroupName(i / kDisksPerGroup).c_str(), i, 'a' + s);
      writeVolume(leaves[s], chunk, nullptr);
    }
    if (i % kMirrorEvery == 0) {
      const std::string mirror =
          Format("vol:%s/mirror%06zu", GroupName(i / kDisksPerGroup).c_str(), i);
      writeVolume(mirror, std::string(), leaves);
      writeFileSystem(mirror, i, 0);
    } else {
      writeFileSystem(leaves[0], i, 0);
      writeFileSystem(leaves[1], i, 1);
    }

    record("addAlias")
        .text("Type", "Id")
        .text("Id", Format("alias:%s", n.wwn.c_str()))
        .text("PrimaryId", n.lid)
        .text("SecondaryId", "eui." + n.wwn.substr(0, 16))
        .text("IdType", "WWN")
        .end();
  }

  // A leaf volume on one chunk, or (sub non-null) a mirror over the two leaves.
  void writeVolume(const std::string& id, const std::string& chunk, const std::string* sub) {
    const std::string device = "/dev/vx/dsk/" + id.substr(4);
    Tuple t = record("addVolume");
    t.text("Type", "Volume")
        .text("Id", id)
        .text("LId", Format("vxid:%08X-%04X", static_cast<unsigned>(random_.next()),
                            static_cast<unsigned>(random_.next() & 0xFFFF)))
        .text("Name", device)
        .integer("State", 12)
        .integer("CapacityKB", random_.range(1, 128) * 1048576)
        .integer("FreeSpaceKB", random_.range(0, 16) * 65536)
        .text("MgmtURL", "https://" + scan_.host_name + ":5634/volumes" + device)
        .integer("VolumeType", sub ? 3 : 1)
        .text("VolumeTypeDesc", sub ? "mirror" : "concat")
        .integer("Status", 1)
        .text("StatusDesc", "ENABLED ACTIVE")
        .integer("DiskChunkCount", sub ? 0 : 1)
        .integer("SubVolumeCount", sub ? 2 : 0)
        .text("VolumeManager", Format("%d", kVolumeManagerNumber))
        .end();
    ScanBatch& b = batch("addVolume");
    if (sub) {
      Reference(&b.text, "Volume", sub[0]);
      Reference(&b.text, "Volume", sub[1]);
    } else {
      Reference(&b.text, "DiskChunk", chunk);
      group_volumes_.push_back(id);
    }
  }

  void writeFileSystem(const std::string& volume, size_t i, int s) {
    const std::string path =
        Format("/export/projects/%s/p%06zu%c", GroupName(i / kDisksPerGroup).c_str(), i, 'a' + s);
    const int64_t capacity = random_.range(1, 128) * 1048576;
    const int64_t used = capacity / static_cast<int64_t>(random_.range(2, 9));
    record("addFileSystem")
        .text("Type", "FileSystem")
        .text("Id", "fs:" + path)
        .text("Volume", volume)
        .integer("State", 12)
        .text("FSType", i % 3 == 0 ? "ufs" : "vxfs")
        .integer("Pack", 0)
        .integer("Encrypt", 0)
        .integer("FileCnt", random_.range(100, 2000000))
        .integer("MaxFileCnt", 16777216)
        .integer("MaxFileSz", 2147483647)
        .integer("CapacityKB", capacity)
        .integer("FreeSpaceKB", capacity - used)
        .integer("UsedSpaceKB", used)
        .integer("ReservedSpaceKB", capacity / 100)
        .end();
    record("addMountpoint")
        .text("Type", "MountPoint")
        .text("Id", "mp:" + path)
        .integer("State", 12)
        .text("VolumeId", volume)
        .text("MountPointName", path)
        .integer("MountType", 1)
        .text("MountToSystem", scan_.host_name)
        .integer("MountOptions", 7)
        .integer("MountAtStartup", 1)
        .integer("ReadOnly", 0)
        .text("MountLocation", path)
        .end();
    if ((share_count_++) % 2 == 0) {
      record("addShare")
          .text("Type", "Share")
          .text("Id", Format("share:p%06zu%c", i, 'a' + s))
          .integer("State", 12)
          .text("ShareName", Format("p%06zu%c", i, 'a' + s))
          .text("SharePath", path)
          .integer("ShareFsType", 0)  // NFS, the one type the report knows
          .integer("ShareFlags", 5)
          .text("ShareUser", "projadm")
          .text("Domain", "STORAGE.LAB.EXAMPLE.COM")
          .text("ShareDesc",
                Format("Project share p%06zu%c (read-write, nightly backup)", i, 'a' + s))
          .text("VolumeId", volume)
          .end();
    }
  }

  // The volume group of the disks written since the last group, listing their leaf volumes.
  void writeGroup() {
    if (group_disks_.empty()) return;
    record("addVolumeGroup")
        .text("Type", "VolumeGroup")
        .text("Id", GroupName(group_count_))
        .integer("State", 12)
        .integer("CapacityKB", random_.range(64, 2048) * 1048576)
        .integer("FreeSpaceKB", random_.range(0, 64) * 1048576)
        .integer("Status", 1)
        .text("StatusDesc", "enabled, imported")
        .text("Name", GroupName(group_count_))
        .text("VolumeManager", Format("%d", kVolumeManagerNumber))
        .text("OSystem", scan_.host_name)
        .integer("DiskCount", static_cast<int64_t>(group_disks_.size()))
        .integer("VolumeCount", static_cast<int64_t>(group_volumes_.size()))
        .end();
    ScanBatch& b = batch("addVolumeGroup");
    for (const std::string& d : group_disks_) Reference(&b.text, "Disk", d);
    for (const std::string& v : group_volumes_) Reference(&b.text, "Volume", v);
    group_disks_.clear();
    group_volumes_.clear();
    ++group_count_;
  }

  const size_t target_;
  Random random_;
  SyntheticScan scan_;
  std::vector<std::string> group_disks_;
  std::vector<std::string> group_volumes_;
  size_t group_count_ = 0;
  size_t share_count_ = 0;
};

}  // namespace

size_t SyntheticScan::records() const {
  size_t n = 0;
  for (const ScanBatch& b : batches) n += b.records;
  return n;
}

size_t SyntheticScan::bytes() const {
  size_t n = 0;
  for (const ScanBatch& b : batches) n += b.text.size();
  return n;
}

const ScanBatch* SyntheticScan::batch(const std::string& method) const {
  for (const ScanBatch& b : batches) {
    if (b.method == method) return &b;
  }
  return nullptr;
}

const std::vector<std::string>& ScanMethods() {
  static const std::vector<std::string> kMethods = {
      "addComputer", "addDisk",        "addDiskChunk",  "addVolumeManagerInfo",
      "addVolume",   "addVolumeGroup", "addFileSystem", "addMountpoint",
      "addShare",    "addAlias"};
  return kMethods;
}

SyntheticScan GenerateScan(size_t records, uint32_t seed) {
  return ScanWriter(records, seed).build();
}

std::string WriteScanFolder(const SyntheticScan& scan, const std::string& dir) {
  if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
    return "cannot create " + dir + ": " + std::strerror(errno);
  }
  for (const ScanBatch& b : scan.batches) {
    const std::string path = dir + "/" + b.method + ".txt";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(b.text.data(), static_cast<std::streamsize>(b.text.size()));
    out.close();
    if (!out) return "cannot write " + path;
  }
  return std::string();
}

std::string ReadScanFolder(const std::string& dir, SyntheticScan* scan) {
  scan->batches.clear();
  for (const std::string& method : ScanMethods()) {
    ScanBatch b;
    b.method = method;
    const std::string path = dir + "/" + method + ".txt";
    std::ifstream in(path, std::ios::binary);
    if (in) {
      std::ostringstream text;
      text << in.rdbuf();
      if (in.bad()) return "cannot read " + path;
      b.text = text.str();
    }
    scan->batches.push_back(std::move(b));
  }
  return std::string();
}
