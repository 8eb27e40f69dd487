// The key vocabulary: the names behind the key ids, the two lookup maps and the element split.
#include "tuple/key_vocabulary.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "tuple/same_bytes.h"

// The index of a name is its key id; each line starts with the id of its first name.
// clang-format off
constexpr const char* glob_key_id[] = {
    /*   0 */ "Type", "HostName", "RAMMB", "SwapMB", "AddrSpaceMB", "CapacityKB", "FreeSpaceKB",
    /*   7 */ "ProcCount", "ProcSpeedMHz", "CPUInfo", "HWInfo", "OS", "OSInfo", "MgmtURL",
    /*  14 */ "DisplayMgmtURL", "NodeType", "HostId", "IPAddr", "NodeId", "Disk", "MountPoint",
    /*  21 */ "FileSystem", "Volume", "VolumeGroup", "VolumeManager", "VirtualServer", "DiskChunk",
    /*  27 */ "State", "System", "Id", "PubId", "Name", "Make", "Model", "Revision", "SerialNum",
    /*  36 */ "DiskType", "SectorSize", "SectorStart", "SectorFree", "FactoryDefect", "GrownDefect",
    /*  42 */ "RPM", "Sign", "Status", "StatusDesc", "AWRE", "Version", "Sbc", "IdType", "IdValue",
    /*  51 */ "AddrBus", "AddrTarget", "AddrId", "AddrLUN", "LLTId", "ShareName", "SharePath",
    /*  58 */ "ShareFsType", "ShareFlags", "ShareUser", "Domain", "ShareDesc", "VolumeId",
    /*  64 */ "VolumeCount", "DiskCount", "DiskChunkCount", "VolumeType", "VolumeTypeDesc",
    /*  69 */ "HierType", "VolumeDesc", "Vendor", "VendorVer", "MountPointName", "MountType",
    /*  75 */ "MountToSystem", "MountAtStartup", "MountLocation", "FSType", "IsCluster",
    /*  80 */ "ClusterName", "ClusterVersion", "ClusterState", "MemberList", "MemberCount",
    /*  85 */ "Member", "AliasSource", "ClusterAlias", "ServiceGroup", "ResourceCount",
    /*  90 */ "ChildServiceGroup", "VolumeMgrName", "VolumeMgrVersion", "ClusterChecksum",
    /*  94 */ "ClusterStatePid", "FileSystemLocation", "SrmResourceDbVersion", "Start", "Length",
    /*  99 */ "Pack", "Encrypt", "FileCnt", "MaxFileCnt", "MaxFileSz", "ReadOnly", "MountOptions",
    /* 106 */ "Share", "Port", "SGCount", "Error", "ErrorDesc", "Ecode", "Sev", "Etype", "Eclass",
    /* 115 */ "Efunc", "TIM", "FileName", "OSystem", "LId", "SubVolumeCount", "UsedSpaceKB",
    /* 122 */ "ReservedSpaceKB", "PrimaryId", "SecondaryId", "ClusterId",
};
// clang-format on
const int glob_key_id_size = static_cast<int>(sizeof(glob_key_id) / sizeof(glob_key_id[0]));

static_assert(sizeof(glob_key_id) / sizeof(glob_key_id[0]) == kKeyCount, "one name per key id");

namespace {

using NameToId = std::map<std::string, int>;
using IdToName = std::map<int, std::string>;

// The two maps live in one allocation, the name-to-id map first, so that the published pointer
// keeps both reachable for the life of the process.
struct StaticMaps {
  NameToId keys;
  IdToName index;
};

// Built once and never freed: every database of the process shares them. glob_static_keys is
// also the built flag; it is published last (release) so that whoever sees it (acquire) also
// sees glob_static_index complete.
std::atomic<const NameToId*> glob_static_keys{nullptr};
const IdToName* glob_static_index = nullptr;  // written before glob_static_keys, under the mutex
std::mutex keymap_mutex;

// The name-to-id map, built on first use; null only if the build could not allocate.
const NameToId* StaticKeys() {
  buildStringKeys();
  return glob_static_keys.load(std::memory_order_acquire);
}

// An open-addressing hash table over the vocabulary, built by the compiler: the name-to-id
// map's answers without its string comparisons down the tree, for the lookup every element of
// every tuple goes through. Holds no names of its own, only ids into glob_key_id.
class NameIndex {
 public:
  constexpr NameIndex() : slots_(), lengths_() {
    for (int16_t& slot : slots_) slot = -1;
    for (int id = 0; id < kKeyCount; ++id) {
      lengths_[id] = std::char_traits<char>::length(glob_key_id[id]);
      size_t i = Hash(glob_key_id[id], lengths_[id]);
      while (slots_[i] >= 0) i = (i + 1) % kSlots;
      slots_[i] = static_cast<int16_t>(id);
    }
  }
  // The id of the name, or -1 when it is not in the vocabulary.
  int find(std::string_view name) const {
    for (size_t i = Hash(name.data(), name.size());; i = (i + 1) % kSlots) {
      const int id = slots_[i];
      if (id < 0) return -1;
      if (lengths_[id] == name.size() && SrmSameBytes(glob_key_id[id], name.data(), name.size()))
        return id;
    }
  }

 private:
  static constexpr size_t kSlots = 512;  // a power of two, four times the vocabulary
  // The length and three of the bytes (first, middle, last) tell the names of the vocabulary
  // apart well enough for a probe or two, without a pass over every byte.
  static constexpr size_t Hash(const char* data, size_t size) {
    if (size == 0) return 0;
    const auto byte = [data](size_t i) {
      return static_cast<size_t>(static_cast<unsigned char>(data[i]));
    };
    return (size * 38 + byte(0) * 58 + byte(size - 1) * 7 + byte(size / 2) * 13) % kSlots;
  }
  int16_t slots_[kSlots];
  size_t lengths_[kKeyCount];
};

constexpr NameIndex kNameIndex;

}  // namespace

void buildStringKeys() {
  if (glob_static_keys.load(std::memory_order_acquire) != nullptr) return;
  std::lock_guard<std::mutex> lock(keymap_mutex);
  if (glob_static_keys.load(std::memory_order_relaxed) != nullptr) return;  // built meanwhile
  try {
    auto maps = std::make_unique<StaticMaps>();
    for (int id = 0; id < glob_key_id_size; ++id) {
      maps->keys[glob_key_id[id]] = id;
      maps->index[id] = glob_key_id[id];
    }
    StaticMaps* built = maps.release();
    glob_static_index = &built->index;
    glob_static_keys.store(&built->keys, std::memory_order_release);
  } catch (const std::bad_alloc&) {
    // Nothing is published; the lookups answer "unknown" and the next one tries again.
  }
}

void freeStaticKeys() {}

// Both lookups answer what the maps hold, which is the vocabulary itself: by name through the
// hash index, by id straight from glob_key_id. They answer "unknown" while the maps could not
// be built.
int SrmResDbGetStringId(std::string_view name) {
  // Built already, as it is after the first lookup: no call to find that out.
  if (glob_static_keys.load(std::memory_order_acquire) == nullptr && StaticKeys() == nullptr)
    return 0;
  const int id = kNameIndex.find(name);
  return id >= 0 ? id : 0;
}

std::string SrmResDbGetIdString(int id) {
  if (StaticKeys() == nullptr || id < 0 || id >= glob_key_id_size) return std::string();
  try {
    return glob_key_id[id];
  } catch (const std::bad_alloc&) {
    return std::string();
  }
}

int SrmSplitKeyValuePair(const std::string* element, std::string* key, std::string* value) {
  if (element == nullptr || key == nullptr || value == nullptr) return 0;
  std::string_view key_text, value_text;
  if (!SrmSplitKeyValueView(*element, &key_text, &value_text)) return 0;
  if (key != element && value != element && key != value) {
    // In place, reusing what key and value already hold; the room is made first, so that a
    // failure leaves both untouched.
    try {
      if (key->capacity() < key_text.size()) key->reserve(key_text.size());
      if (value->capacity() < value_text.size()) value->reserve(value_text.size());
    } catch (const std::bad_alloc&) {
      return 0;
    }
    key->assign(key_text.data(), key_text.size());
    value->assign(value_text.data(), value_text.size());
    return 1;
  }
  try {
    // Built aside first: key or value may be the element itself.
    std::string new_key(key_text);
    std::string new_value(value_text);
    *key = std::move(new_key);
    *value = std::move(new_value);
  } catch (const std::bad_alloc&) {
    return 0;  // key and value untouched, as for an element without '='
  }
  return 1;
}
