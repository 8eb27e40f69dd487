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

// The size bytes of text (at most 8) as SrmLoadLe64 and SrmLoadLeShort give them.
constexpr uint64_t WordOf(const char* text, size_t size) {
  uint64_t word = 0;
  for (size_t i = 0; i < size; ++i) {
    word |= uint64_t{static_cast<unsigned char>(text[i])} << (8 * i);
  }
  return word;
}

// A name between '"' and '=', built at compile time.
struct QuotedName {
  char bytes[SrmKeyIndex::kLongest + 2] = {};
  size_t size = 0;
};

}  // namespace

constexpr SrmKeyIndex::SrmKeyIndex() : slots_(), words_(), quoted_() {
  const auto describe = [](const char* text, size_t size, Words* words) {
    words->size = size;
    words->first = WordOf(text, size < 8 ? size : 8);
    words->middle = size > 16 ? WordOf(text + 8, 8) : 0;
    words->last = size > 8 ? WordOf(text + size - 8, 8) : 0;
    words->mask = size >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * size)) - 1;
  };
  for (int8_t& slot : slots_) slot = -1;
  for (int id = 0; id < kKeyCount; ++id) {
    const char* name = glob_key_id[id];
    const size_t size = std::char_traits<char>::length(name);
    if (size > kLongest) {
      sound_ = false;
      continue;
    }
    describe(name, size, &words_[id]);
    QuotedName quoted;
    quoted.bytes[quoted.size++] = '"';
    for (size_t i = 0; i < size; ++i) quoted.bytes[quoted.size++] = name[i];
    quoted.bytes[quoted.size++] = '=';
    describe(quoted.bytes, quoted.size, &quoted_[id]);
    int8_t& slot = slots_[Slot(words_[id].first, size)];
    if (slot >= 0) sound_ = false;
    slot = static_cast<int8_t>(id);
  }
}

constexpr SrmKeyIndex glob_key_index;
static_assert(glob_key_index.sound(), "every key name has a slot of its own");

std::atomic<bool> glob_key_maps_built{false};

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
    glob_key_maps_built.store(true, std::memory_order_release);
  } catch (const std::bad_alloc&) {
    // Nothing is published; the next lookup tries again.
  }
}

void freeStaticKeys() {}

// Both lookups build the maps first, and answer what the maps hold, which is the vocabulary
// itself: by name through the compiled index, by id straight from glob_key_id. Neither needs
// the maps to answer, so a lookup made while memory is too short to build them still reads
// its element right (answering "unknown" then would load a record without its fields and call
// the load a success).
int SrmResDbGetStringId(std::string_view name) {
  // Built already, as it is after the first lookup: no call to find that out.
  if (!glob_key_maps_built.load(std::memory_order_acquire)) buildStringKeys();
  const int id = glob_key_index.find(name);
  return id >= 0 ? id : 0;
}

std::string SrmResDbGetIdString(int id) {
  buildStringKeys();
  if (id < 0 || id >= glob_key_id_size) return std::string();
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
