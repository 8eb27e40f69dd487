#include "scan_mapper.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>

#include "record_line.h"
#include "tuple/key_vocabulary.h"

namespace {

constexpr int kComputer = 0, kDisk = 1, kChunk = 2, kManager = 3, kVolume = 4, kGroup = 5,
              kFileSystem = 6, kMountPoint = 7, kShare = 8, kAlias = 9;
// The numbers by which volumes and volume groups name their volume manager.
constexpr int kLvmManager = 1, kMdManager = 2;

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// A stable 31-bit disk signature: an MBR disk id (eight hex digits) as it is, any other
// identity hashed (FNV-1a).
int32_t Signature(const std::string& identity) {
  if (identity.size() == 8 &&
      identity.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
    return static_cast<int32_t>(std::strtoul(identity.c_str(), nullptr, 16) & 0x7fffffff);
  }
  uint32_t hash = 2166136261u;
  for (unsigned char c : identity) hash = (hash ^ c) * 16777619u;
  return static_cast<int32_t>(hash & 0x7fffffff);
}

// The report's disk types: 1 IDE, 2 SCSI, 3 FC, 5 Serial, 6 Other, 0 Unknown.
int DiskType(const std::string& transport) {
  if (transport.empty()) return 0;
  if (transport == "ata") return 1;
  if (transport == "sas" || transport == "scsi" || transport == "spi") return 2;
  if (transport == "fc") return 3;
  if (transport == "sata") return 5;
  return 6;
}

// Volume type codes by MD level or LVM segment type: 2 linear, 3 mirror, 4 striped, 5 parity
// RAID, 6 striped mirror; 0 for anything else.
int VolumeType(const std::string& layout) {
  if (layout == "linear") return 2;
  if (layout == "raid1" || layout == "mirror") return 3;
  if (layout == "raid0" || layout == "striped") return 4;
  if (StartsWith(layout, "raid4") || StartsWith(layout, "raid5") || StartsWith(layout, "raid6"))
    return 5;
  if (layout == "raid10") return 6;
  return 0;
}

// File system types that mark a device as part of something else rather than a file system.
bool IsMemberType(const std::string& fstype) {
  return fstype.empty() || fstype == "LVM2_member" || fstype == "linux_raid_member" ||
         fstype == "swap" || fstype == "crypto_LUKS" || fstype == "mpath_member";
}

void AddUnique(std::vector<std::string>* ids, const std::string& id) {
  if (!id.empty() && std::find(ids->begin(), ids->end(), id) == ids->end()) ids->push_back(id);
}

class Mapper {
 public:
  explicit Mapper(const HostInventory& inventory) : inv_(inventory) {
    const std::string& name = inv_.hostname;
    host_ = name.empty() ? "localhost" : name.substr(0, name.find('.'));
  }

  ScanFolder run() {
    for (size_t i = 0; i < inv_.devices.size(); ++i) {
      const int d = static_cast<int>(i);
      if (isDisk(d)) addDisk(d);
    }
    for (size_t i = 0; i < inv_.devices.size(); ++i) {
      if (inv_.devices[i].type == "part") chunkIdOf(static_cast<int>(i));
    }
    markPlainVolumes();
    for (size_t i = 0; i < inv_.devices.size(); ++i) {
      const int d = static_cast<int>(i);
      if (plain_.count(d)) addPlainVolume(d);
      if (isMd(d)) addMdVolume(d);
    }
    addLvm();
    addVolumeManagers();
    addFileSystems();
    addShares();
    addAliases();
    addComputer();
    return std::move(out_);
  }

 private:
  const BlockDevice& dev(int d) const { return inv_.devices[static_cast<size_t>(d)]; }

  bool isDisk(int d) const {
    const BlockDevice& b = dev(d);
    return b.type == "disk" && b.size > 0 && !StartsWith(b.name, "zram") &&
           !StartsWith(b.name, "ram");
  }
  bool isMd(int d) const {
    return StartsWith(dev(d).kname, "md") &&
           (StartsWith(dev(d).type, "raid") || dev(d).type == "linear");
  }
  bool isWhole(int d) const { return isDisk(d) || dev(d).type == "mpath"; }

  // The multipath device a disk is one path of, or -1.
  int multipathOf(int d) const {
    for (int child : dev(d).children) {
      if (dev(child).type == "mpath") return child;
    }
    return -1;
  }

  // The Id of the disk record for a disk, or for a multipath device (its first path's).
  std::string diskIdOf(int d) const {
    if (d < 0) return std::string();
    if (isDisk(d)) return "disk-" + dev(d).name;
    if (dev(d).type == "mpath") {
      for (int parent : dev(d).parents) {
        if (isDisk(parent)) return diskIdOf(parent);
      }
    }
    return std::string();
  }

  std::string serialOf(int d) const {
    if (!dev(d).serial.empty()) return dev(d).serial;
    const auto it = inv_.serials.find(dev(d).kname);
    return it == inv_.serials.end() ? std::string() : it->second;
  }

  void addDisk(int d) {
    const BlockDevice& b = dev(d);
    const int mpath = multipathOf(d);
    const std::string serial = serialOf(d);
    std::string identity = b.ptuuid;
    if (identity.empty() && mpath >= 0) identity = dev(mpath).ptuuid;
    if (identity.empty()) identity = !b.wwn.empty() ? b.wwn : serial;
    if (identity.empty()) identity = mpath >= 0 ? dev(mpath).uuid : b.uuid;
    // Every path of one multipath device carries the same global id, so the library merges them.
    std::string lid = b.wwn;
    if (lid.empty() && mpath >= 0) lid = !serial.empty() ? serial : dev(mpath).path;
    const bool online = b.state.empty() || b.state == "running" || b.state == "live";
    RecordLine line("Disk");
    line.text(kKeyId, diskIdOf(d)).text(kKeyPubId, b.path).number(kKeyStatus, online ? 1 : 2);
    line.number(kKeyState, 13).text(kKeyLId, lid).text(kKeyStatusDesc, online ? "online" : b.state);
    line.text(kKeyName, b.path).text(kKeyModel, b.model).text(kKeyMake, b.vendor);
    line.text(kKeyRevision, b.rev).text(kKeySerialNum, serial);
    if (!identity.empty()) line.number(kKeySign, Signature(identity));
    line.number(kKeyCapacityKB, b.size / 1024);
    int hctl[4] = {0, 0, 0, 0};
    if (std::sscanf(b.hctl.c_str(), "%d:%d:%d:%d", &hctl[0], &hctl[1], &hctl[2], &hctl[3]) == 4) {
      line.number(kKeyAddrBus, hctl[0])
          .number(kKeyAddrTarget, hctl[2])
          .number(kKeyAddrLUN, hctl[3]);
    }
    line.number(kKeyDiskType, DiskType(b.tran));
    out_.add(kDisk, line.done());
    // A second path is the same storage: counted once in the host's capacity.
    if (mpath < 0 || diskIdOf(mpath) == diskIdOf(d)) capacity_kb_ += b.size / 1024;
  }

  // The chunk of a partition, or the chunk spanning a whole disk or multipath device, written
  // the first time it is asked for; empty when the device lies on no disk record.
  std::string chunkIdOf(int d) {
    const BlockDevice& b = dev(d);
    const bool part = b.type == "part";
    if (!part && !isWhole(d)) return std::string();
    const std::string disk = part ? diskIdOf(b.parents.empty() ? -1 : b.parents[0]) : diskIdOf(d);
    if (disk.empty()) return std::string();
    const std::string id = "chunk-" + b.name;
    if (chunks_.insert(id).second) {
      RecordLine line("DiskChunk");
      line.text(kKeyId, id).text(kKeyPubId, b.path).number(kKeyState, 12);
      line.text(kKeyDiskChunk, b.name).text(kKeyDisk, disk);
      line.number(kKeyStart, part && b.start > 0 ? b.start * 512 : 0).number(kKeyLength, b.size);
      out_.add(kChunk, line.done());
    }
    return id;
  }

  // The chunks a device is built on, down through arrays, logical volumes and encryption.
  void chunksBeneath(int d, std::vector<std::string>* ids) {
    if (dev(d).type == "part" || isWhole(d)) return AddUnique(ids, chunkIdOf(d));
    for (int parent : dev(d).parents) chunksBeneath(parent, ids);
  }

  void disksBeneath(int d, std::vector<std::string>* ids) const {
    if (isWhole(d)) return AddUnique(ids, diskIdOf(d));
    for (int parent : dev(d).parents) disksBeneath(parent, ids);
  }

  // The logical volume whose device d is, or null.
  const LvmVolume* logicalVolumeOf(int d) const {
    for (const LvmVolume& lv : inv_.lvs) {
      if (!lv.dm_path.empty() && inv_.findByPath(lv.dm_path) == d) return &lv;
      if (!lv.path.empty() && inv_.findByPath(lv.path) == d) return &lv;
    }
    return nullptr;
  }

  // The device a mount's source names (a bracketed subvolume suffix left off), or -1.
  int mountedDevice(const Mount& mount) const {
    if (!StartsWith(mount.source, "/dev/")) return -1;
    return inv_.findByPath(mount.source.substr(0, mount.source.find('[')));
  }

  // The partitions, disks and multipath devices that hold a file system of their own (seen by
  // lsblk, or mounted, possibly through encryption) get a plain volume.
  void markPlainVolumes() {
    for (size_t i = 0; i < inv_.devices.size(); ++i) {
      const int d = static_cast<int>(i);
      if (!IsMemberType(dev(d).fstype)) markPlain(d);
    }
    for (const Mount& mount : inv_.mounts) {
      int d = mountedDevice(mount);
      while (d >= 0 && dev(d).type == "crypt" && !dev(d).parents.empty()) d = dev(d).parents[0];
      if (d >= 0) markPlain(d);
    }
  }
  void markPlain(int d) {
    if ((dev(d).type == "part" || isWhole(d)) && multipathOf(d) < 0 && !chunkIdOf(d).empty())
      plain_.insert(d);
  }

  std::string volumeIdOf(int d) const {
    if (d < 0) return std::string();
    if (plain_.count(d) || isMd(d)) return "vol-" + dev(d).name;
    if (const LvmVolume* lv = logicalVolumeOf(d)) return "vol-" + lv->vg + "/" + lv->name;
    if (dev(d).type == "crypt" && !dev(d).parents.empty()) return volumeIdOf(dev(d).parents[0]);
    return std::string();
  }

  // One volume line and its chunk and sub-volume references.
  void addVolume(const std::string& id, const std::string& path, int64_t bytes, int hier, int type,
                 const std::string& desc, int status, const std::string& status_desc, int manager,
                 const std::vector<std::string>& chunks, const std::vector<std::string>& subs) {
    RecordLine line("Volume");
    line.text(kKeyId, id).text(kKeyPubId, path).text(kKeyName, path).number(kKeyState, 12);
    line.number(kKeyHierType, hier).number(kKeyCapacityKB, bytes / 1024);
    line.number(kKeyVolumeType, type).text(kKeyVolumeTypeDesc, desc);
    line.number(kKeyStatus, status).text(kKeyStatusDesc, status_desc);
    line.number(kKeyDiskChunkCount, static_cast<int64_t>(chunks.size()));
    line.number(kKeySubVolumeCount, static_cast<int64_t>(subs.size()));
    if (manager != 0) line.number(kKeyVolumeManager, manager);
    std::string lines = line.done("DiskChunk", chunks);
    for (const std::string& sub : subs) lines += RecordLine("Volume").text(kKeyId, sub).done();
    out_.add(kVolume, lines);
    if (manager != 0) managers_.insert(manager);
  }

  void addPlainVolume(int d) {
    addVolume(volumeIdOf(d), dev(d).path, dev(d).size, 0, 1,
              dev(d).type == "part" ? "partition" : "disk", 1, "online", 0, {chunkIdOf(d)}, {});
  }

  // A mirror is made of one sub-volume per member; other levels rest on their chunks directly.
  void addMdVolume(int d) {
    const BlockDevice& b = dev(d);
    const auto state = inv_.md_arrays.find(b.name);
    const MdArray array = state == inv_.md_arrays.end() ? MdArray() : state->second;
    std::vector<std::string> chunks, subs;
    for (int member : b.parents) {
      const auto& spares = array.spares;
      if (std::find(spares.begin(), spares.end(), dev(member).kname) != spares.end()) continue;
      if (b.type != "raid1") {
        chunksBeneath(member, &chunks);
        continue;
      }
      std::vector<std::string> member_chunks;
      chunksBeneath(member, &member_chunks);
      subs.push_back(volumeIdOf(d) + "/" + dev(member).name);
      addVolume(subs.back(), dev(member).path, dev(member).size, 4, 2, "mirror member", 1, "online",
                kMdManager, member_chunks, {});
    }
    const int status = !array.active ? 2 : array.degraded ? 3 : 1;
    const char* status_desc = status == 1 ? "online" : status == 2 ? "inactive" : "degraded";
    addVolume(volumeIdOf(d), b.path, b.size, subs.empty() ? 0 : 1, VolumeType(b.type), b.type,
              status, status_desc, kMdManager, chunks, subs);
  }

  void addLvm() {
    for (const LvmVolume& lv : inv_.lvs) {
      if (StartsWith(lv.name, "[")) continue;  // hidden parts of another logical volume
      const int d = inv_.findByPath(lv.dm_path.empty() ? lv.path : lv.dm_path);
      std::vector<std::string> chunks;
      if (d >= 0) chunksBeneath(d, &chunks);
      addVolume("vol-" + lv.vg + "/" + lv.name, lv.path, lv.size, 0, VolumeType(lv.segtype),
                lv.segtype, 1, "online", kLvmManager, chunks, {});
    }
    for (const LvmGroup& vg : inv_.vgs) {
      std::vector<std::string> disks, volumes;
      for (const LvmPhysicalVolume& pv : inv_.pvs) {
        const int d = inv_.findByPath(pv.name);
        if (pv.vg == vg.name && d >= 0) disksBeneath(d, &disks);
      }
      for (const LvmVolume& lv : inv_.lvs) {
        if (lv.vg == vg.name && !StartsWith(lv.name, "["))
          volumes.push_back("vol-" + lv.vg + "/" + lv.name);
      }
      const bool partial = vg.attr.size() > 3 && vg.attr[3] == 'p';
      RecordLine line("VolumeGroup");
      line.text(kKeyId, "vg-" + vg.name).text(kKeyPubId, vg.name).number(kKeyState, 12);
      line.number(kKeyCapacityKB, vg.size / 1024).number(kKeyFreeSpaceKB, vg.free / 1024);
      line.number(kKeyStatus, partial ? 3 : 1).text(kKeyStatusDesc, partial ? "partial" : "online");
      line.text(kKeyName, vg.name).number(kKeyVolumeManager, kLvmManager).text(kKeyOSystem, host_);
      line.number(kKeyDiskCount, static_cast<int64_t>(disks.size()));
      line.number(kKeyVolumeCount, static_cast<int64_t>(volumes.size()));
      std::string lines = line.done("Disk", disks);
      for (const std::string& volume : volumes)
        lines += RecordLine("Volume").text(kKeyId, volume).done();
      out_.add(kGroup, lines);
      managers_.insert(kLvmManager);
    }
  }

  void addVolumeManagers() {
    for (int manager : managers_) {
      const bool lvm = manager == kLvmManager;
      RecordLine line("VolumeManager");
      line.text(kKeyId, lvm ? "vm-lvm" : "vm-md").number(kKeyIdType, manager);
      line.text(kKeyVolumeMgrName, lvm ? "LVM" : "MD RAID");
      out_.add(kManager, line.done());
    }
  }

  // One file system per mounted device, one mount point per mount; pseudo and network file
  // systems have no device of this host and are left out.
  void addFileSystems() {
    std::set<std::string> file_systems, targets;
    for (const Mount& mount : inv_.mounts) {
      const int d = mountedDevice(mount);
      const std::string volume = volumeIdOf(d);
      if (volume.empty() || !targets.insert(mount.target).second) continue;
      mounted_.emplace_back(mount.target, volume);
      if (file_systems.insert(dev(d).name).second) {
        RecordLine line("FileSystem");
        line.text(kKeyId, "fs-" + dev(d).name).text(kKeyVolume, volume);
        line.text(kKeyPubId, mount.target).number(kKeyState, 12).text(kKeyFSType, mount.fstype);
        line.number(kKeyEncrypt, dev(d).type == "crypt" ? 1 : 0);
        line.number(kKeyCapacityKB, mount.size / 1024).number(kKeyFreeSpaceKB, mount.avail / 1024);
        line.number(kKeyUsedSpaceKB, mount.used / 1024);
        line.number(kKeyReservedSpaceKB,
                    std::max<int64_t>(0, mount.size - mount.avail - mount.used) / 1024);
        out_.add(kFileSystem, line.done());
        free_kb_ += mount.avail / 1024;
      }
      const bool read_only = mount.options == "ro" || StartsWith(mount.options, "ro,");
      RecordLine line("MountPoint");
      line.text(kKeyId, "mp-" + mount.target).text(kKeyPubId, mount.target).number(kKeyState, 12);
      line.text(kKeyVolumeId, volume)
          .text(kKeyMountPointName, mount.target)
          .number(kKeyMountType, 1);
      line.text(kKeyMountToSystem, host_).number(kKeyReadOnly, read_only ? 1 : 0);
      line.text(kKeyMountLocation, mount.target);
      out_.add(kMountPoint, line.done());
    }
  }

  // Each export lies on the volume of the deepest mount that holds its path.
  void addShares() {
    for (const NfsExport& share : inv_.exports) {
      std::string volume;
      size_t depth = 0;
      for (const auto& mount : mounted_) {
        const std::string& target = mount.first;
        const bool holds =
            share.path == target || target == "/" || StartsWith(share.path, (target + "/").c_str());
        if (holds && target.size() >= depth) {
          depth = target.size();
          volume = mount.second;
        }
      }
      const size_t slash = share.path.find_last_of('/');
      std::string name = slash == std::string::npos ? share.path : share.path.substr(slash + 1);
      if (name.empty()) name = share.path;
      RecordLine line("Share");
      line.text(kKeyId, "share-" + share.path).text(kKeyPubId, host_ + ":" + share.path);
      line.number(kKeyState, 12).text(kKeyShareName, name).text(kKeySharePath, share.path);
      line.number(kKeyShareFsType, 0).number(kKeyShareFlags, 0).text(kKeyShareDesc, share.clients);
      line.text(kKeyVolumeId, volume);
      out_.add(kShare, line.done());
    }
  }

  void addAlias(const std::string& primary, const std::string& secondary, const char* type) {
    RecordLine line("Id");
    line.text(kKeyId, "alias-" + secondary).text(kKeyPrimaryId, primary);
    line.text(kKeySecondaryId, secondary).text(kKeyIdType, type);
    out_.add(kAlias, line.done());
  }

  void addAliases() {
    if (inv_.hostname.find('.') != std::string::npos) addAlias(host_, inv_.hostname, "System");
    auto links = inv_.by_id;
    std::sort(links.begin(), links.end());
    for (const auto& link : links) {
      const int d = inv_.findByKname(link.second);
      if (d >= 0 && isWhole(d) && !diskIdOf(d).empty()) addAlias(diskIdOf(d), link.first, "Disk");
    }
  }

  void addComputer() {
    RecordLine line("System");
    line.text(kKeyId, host_).text(kKeyPubId, inv_.hostname).number(kKeyState, 12);
    line.text(kKeyHostName, host_).number(kKeyRAMMB, inv_.mem_kb / 1024);
    line.number(kKeySwapMB, inv_.swap_kb / 1024).number(kKeyCapacityKB, capacity_kb_);
    line.number(kKeyFreeSpaceKB, free_kb_).number(kKeyProcCount, inv_.cpu_count);
    line.number(kKeyProcSpeedMHz, inv_.cpu_mhz);
    if (!inv_.cpu_model.empty())
      line.text(kKeyCPUInfo, std::to_string(inv_.cpu_count) + " x " + inv_.cpu_model);
    const std::string release = inv_.os_release.substr(0, inv_.os_release.find('-'));
    if (!inv_.os_name.empty()) {
      line.text(kKeyOS, inv_.os_name + " " + release);
      line.text(kKeyOSInfo, inv_.os_name + " " + inv_.os_release + " " + inv_.machine);
    }
    line.number(kKeyTIM, 1);
    out_.add(kComputer, line.done());
  }

  const HostInventory& inv_;
  std::string host_;
  ScanFolder out_;
  std::set<std::string> chunks_;
  std::set<int> plain_;                                       // devices with a plain volume
  std::set<int> managers_;                                    // volume managers in use
  std::vector<std::pair<std::string, std::string>> mounted_;  // mount target, volume Id
  int64_t capacity_kb_ = 0, free_kb_ = 0;
};

}  // namespace

ScanFolder MapInventory(const HostInventory& inventory) {
  return Mapper(inventory).run();
}
