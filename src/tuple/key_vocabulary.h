// The fixed vocabulary of 126 tuple keys. A key id is the name's index; the ids are stored in
// tuple text and in every record kind's key lists, so they never change. The two lookup maps
// are built once, on first use, under a lock, and then only read: safe from any thread.
#ifndef RESDB_TUPLE_KEY_VOCABULARY_H_
#define RESDB_TUPLE_KEY_VOCABULARY_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tuple/same_bytes.h"

// Key ids, named after their keys.
enum SrmKeyId : int {
  kKeyType = 0,
  kKeyHostName,
  kKeyRAMMB,
  kKeySwapMB,
  kKeyAddrSpaceMB,
  kKeyCapacityKB,
  kKeyFreeSpaceKB,
  kKeyProcCount,
  kKeyProcSpeedMHz,
  kKeyCPUInfo,
  kKeyHWInfo,
  kKeyOS,
  kKeyOSInfo,
  kKeyMgmtURL,
  kKeyDisplayMgmtURL,
  kKeyNodeType,
  kKeyHostId,
  kKeyIPAddr,
  kKeyNodeId,
  kKeyDisk,
  kKeyMountPoint,
  kKeyFileSystem,
  kKeyVolume,
  kKeyVolumeGroup,
  kKeyVolumeManager,
  kKeyVirtualServer,
  kKeyDiskChunk,
  kKeyState,
  kKeySystem,
  kKeyId,
  kKeyPubId,
  kKeyName,
  kKeyMake,
  kKeyModel,
  kKeyRevision,
  kKeySerialNum,
  kKeyDiskType,
  kKeySectorSize,
  kKeySectorStart,
  kKeySectorFree,
  kKeyFactoryDefect,
  kKeyGrownDefect,
  kKeyRPM,
  kKeySign,
  kKeyStatus,
  kKeyStatusDesc,
  kKeyAWRE,
  kKeyVersion,
  kKeySbc,
  kKeyIdType,
  kKeyIdValue,
  kKeyAddrBus,
  kKeyAddrTarget,
  kKeyAddrId,
  kKeyAddrLUN,
  kKeyLLTId,
  kKeyShareName,
  kKeySharePath,
  kKeyShareFsType,
  kKeyShareFlags,
  kKeyShareUser,
  kKeyDomain,
  kKeyShareDesc,
  kKeyVolumeId,
  kKeyVolumeCount,
  kKeyDiskCount,
  kKeyDiskChunkCount,
  kKeyVolumeType,
  kKeyVolumeTypeDesc,
  kKeyHierType,
  kKeyVolumeDesc,
  kKeyVendor,
  kKeyVendorVer,
  kKeyMountPointName,
  kKeyMountType,
  kKeyMountToSystem,
  kKeyMountAtStartup,
  kKeyMountLocation,
  kKeyFSType,
  kKeyIsCluster,
  kKeyClusterName,
  kKeyClusterVersion,
  kKeyClusterState,
  kKeyMemberList,
  kKeyMemberCount,
  kKeyMember,
  kKeyAliasSource,
  kKeyClusterAlias,
  kKeyServiceGroup,
  kKeyResourceCount,
  kKeyChildServiceGroup,
  kKeyVolumeMgrName,
  kKeyVolumeMgrVersion,
  kKeyClusterChecksum,
  kKeyClusterStatePid,
  kKeyFileSystemLocation,
  kKeySrmResourceDbVersion,
  kKeyStart,
  kKeyLength,
  kKeyPack,
  kKeyEncrypt,
  kKeyFileCnt,
  kKeyMaxFileCnt,
  kKeyMaxFileSz,
  kKeyReadOnly,
  kKeyMountOptions,
  kKeyShare,
  kKeyPort,
  kKeySGCount,
  kKeyError,
  kKeyErrorDesc,
  kKeyEcode,
  kKeySev,
  kKeyEtype,
  kKeyEclass,
  kKeyEfunc,
  kKeyTIM,
  kKeyFileName,
  kKeyOSystem,
  kKeyLId,
  kKeySubVolumeCount,
  kKeyUsedSpaceKB,
  kKeyReservedSpaceKB,
  kKeyPrimaryId,
  kKeySecondaryId,
  kKeyClusterId,
  kKeyCount  // 126
};

extern const char* const glob_key_id[];
extern const int glob_key_id_size;

// The id of a key name (byte-wise, case matters); 0 (the id of Type) for an unknown name.
int SrmResDbGetStringId(std::string_view name);
// The name of a key id; the empty string outside 0..125.
std::string SrmResDbGetIdString(int id);
// Builds the two lookup maps once per process; the lookups call it themselves.
void buildStringKeys();
// Does nothing: the maps live until the process ends, shared by every database.
void freeStaticKeys();

// Splits element at its first '=' into key and value, dropping one surrounding pair of
// double quotes when the element both starts and ends with one. Returns 1, or 0 when the
// element has no '=' (key and value are then untouched). Null pointers give 0.
int SrmSplitKeyValuePair(const std::string* element, std::string* key, std::string* value);

// The same split without copies: *key and *value view element's text. Returns 1, or 0 when
// element has no '=' (key and value are then untouched).
inline int SrmSplitKeyValueView(std::string_view element, std::string_view* key,
                                std::string_view* value) {
  const size_t equals = SrmFindByte(element.data(), element.size(), '=');
  if (equals == element.size()) return 0;
  // One pair of surrounding quotes is dropped, and only when the element has both. The '='
  // lies strictly between them then, so neither length below can wrap.
  const size_t q = element.size() >= 2 && element.front() == '"' && element.back() == '"' ? 1 : 0;
  *key = element.substr(q, equals - q);
  *value = element.substr(equals + 1, element.size() - equals - 1 - q);
  return 1;
}

// The key names by their bytes: a perfect hash over the vocabulary, built by the compiler
// (key_vocabulary.cpp holds the one instance, glob_key_index). Every name has a slot of its
// own, so a lookup hashes a name's size and first eight bytes and compares that slot's name
// only, a word at a time. Holds ids and the names' words, no pointers: safe from any thread.
class SrmKeyIndex {
 public:
  static constexpr size_t kLongest = 20;  // "SrmResourceDbVersion"

  constexpr SrmKeyIndex();  // in key_vocabulary.cpp, where the only instance is built
  // Whether no two names share a slot and none is longer than kLongest.
  constexpr bool sound() const { return sound_; }

  // The id of the size bytes at name, or -1 when they are not a key name. first: the bytes
  // 0..7 of the name as SrmLoadLe64 gives them, those after the name (when size < 8) zero.
  int find(const char* name, size_t size, uint64_t first) const {
    if (size == 0 || size > kLongest) return -1;
    const int id = slots_[Slot(first, size)];
    if (id < 0) return -1;
    // The first, middle and last words cover every name of up to 24 bytes.
    const Words& words = words_[id];
    if (words.size != size || words.first != first) return -1;
    if (size > 8 && SrmLoadLe64(name + size - 8) != words.last) return -1;
    if (size > 16 && SrmLoadLe64(name + 8) != words.middle) return -1;
    return id;
  }
  // The size of the name of id when the rest bytes at key start with that name and a '=',
  // else 0: the check of a guessed key, which spares the search for the '=' and the hash. Reads
  // none of the bytes past rest.
  size_t sizeBeforeEquals(int id, const char* key, size_t rest) const {
    const Words& words = words_[id];
    const size_t size = words.size;
    if (rest <= size || key[size] != '=') return 0;
    const uint64_t first = rest >= 8 ? SrmLoadLe64(key) & words.mask : SrmLoadLeShort(key, size);
    if (first != words.first) return 0;
    if (size > 8 && SrmLoadLe64(key + size - 8) != words.last) return 0;
    if (size > 16 && SrmLoadLe64(key + 8) != words.middle) return 0;
    return size;
  }
  // The size of '"', the name of id and '=' when the size bytes at element start with them and
  // end with another '"', else 0: the check of a guessed key of a quoted element (as tuples
  // carry them) in one go. Reads none of the bytes past size.
  size_t quotedPrefix(int id, const char* element, size_t size) const {
    const Words& words = quoted_[id];
    const size_t prefix = words.size;
    if (size <= prefix || element[size - 1] != '"') return 0;
    const uint64_t first =
        size >= 8 ? SrmLoadLe64(element) & words.mask : SrmLoadLeShort(element, prefix);
    if (first != words.first) return 0;
    if (prefix > 8 && SrmLoadLe64(element + prefix - 8) != words.last) return 0;
    if (prefix > 16 && SrmLoadLe64(element + 8) != words.middle) return 0;
    return prefix;
  }
  int find(std::string_view name) const {
    const size_t size = name.size();
    if (size > kLongest) return -1;
    return find(name.data(), size,
                size >= 8 ? SrmLoadLe64(name.data()) : SrmLoadLeShort(name.data(), size));
  }

 private:
  static constexpr int kSlotBits = 10;  // 1 024 slots: a multiplier without collisions exists
  // Found by trying odd multipliers until every name had a slot of its own.
  static constexpr uint64_t kMultiplier = 0x34c8d03ab7d9365d;
  static constexpr size_t Slot(uint64_t first, size_t size) {
    return static_cast<size_t>(((first + size) * kMultiplier) >> (64 - kSlotBits));
  }
  struct Words {
    size_t size;
    uint64_t first;   // bytes 0..7, zero-padded
    uint64_t middle;  // bytes 8..15, for names longer than 16 bytes
    uint64_t last;    // the last 8 bytes, for names longer than 8 bytes
    uint64_t mask;    // the bits of first's bytes
  };
  int8_t slots_[size_t{1} << kSlotBits];
  Words words_[kKeyCount];
  Words quoted_[kKeyCount];  // of each name between '"' and '=' ("Name=)
  bool sound_ = true;
};

extern const SrmKeyIndex glob_key_index;
// Set (release) once the two lookup maps are built; until then every lookup tries to build them.
extern std::atomic<bool> glob_key_maps_built;

// An element split at its first '=': the key's id and a view of the value.
struct SrmKeyValue {
  int key;  // -1: the element has no '='
  std::string_view value;
  // The key was found a name of the vocabulary (key 0 is Type then, not an unknown name). Left
  // false by the lookup that first builds the two maps.
  bool named = false;
};

// SrmSplitKeyValueView and SrmResDbGetStringId of the key in one pass over the key's bytes: the
// key's id (0 for a name outside the vocabulary) and a view of the value in element's text, or
// the key -1 when element has no '='. Inlined into every walk over a tuple's elements, where a
// call would cost as much as the split itself.
[[gnu::always_inline]] inline SrmKeyValue SrmSplitKeyId(std::string_view element) {
  const char* text = element.data();
  const size_t size = element.size();
  const size_t q = size >= 2 && text[0] == '"' && text[size - 1] == '"' ? 1 : 0;
  const char* key = text + q;
  const size_t rest = size - q;
  // The key's first two words, read once: searched for the '=', then hashed and compared.
  const auto word = [key, rest](size_t at) {
    return rest >= at + 8 ? SrmLoadLe64(key + at) : SrmLoadLeShort(key + at, rest - at);
  };
  constexpr uint64_t kEquals = 0x0101010101010101 * '=';  // '=' in every byte
  const uint64_t first = word(0);
  size_t equals;  // the offset of the '=' in key
  uint64_t first_of_key = first;
  if (const uint64_t found = SrmLowestZeroByte(first ^ kEquals)) {
    equals = static_cast<size_t>(__builtin_ctzll(found) / 8);
    first_of_key &= (uint64_t{1} << (8 * equals)) - 1;  // equals < 8: the shift is defined
  } else if (rest <= 8) {
    return {-1, {}};
  } else if (const uint64_t found = SrmLowestZeroByte(word(8) ^ kEquals)) {
    equals = 8 + static_cast<size_t>(__builtin_ctzll(found) / 8);
  } else {
    if (rest <= 16) return {-1, {}};
    equals = 16 + SrmFindByte(key + 16, rest - 16, '=');
    if (equals == rest) return {-1, {}};
  }
  // The words padding a short key are 0, never '=': equals lies within the element, and before
  // its closing quote when it has one.
  int id;
  bool named = false;
  if (glob_key_maps_built.load(std::memory_order_acquire)) {
    id = glob_key_index.find(key, equals, first_of_key);
    named = id >= 0;
    if (!named) id = 0;
  } else {
    id = SrmResDbGetStringId(std::string_view(key, equals));  // builds the maps first
  }
  return {id, std::string_view(key + equals + 1, rest - equals - 1 - q), named};
}

// SrmSplitKeyId for an element whose key is likely to be guess, a key id (as the key of the
// same element of the tuple before): the guess is checked against the element's bytes, which
// costs less than finding the '=' and hashing the key, and the full split is made when it
// fails. Gives what SrmSplitKeyId gives, whatever the guess.
[[gnu::always_inline]] inline SrmKeyValue SrmSplitGuessedKeyId(std::string_view element,
                                                               int guess) {
  const char* text = element.data();
  const size_t size = element.size();
  if (const size_t prefix = glob_key_index.quotedPrefix(guess, text, size)) {
    return {guess, std::string_view(text + prefix, size - prefix - 1), true};
  }
  const size_t q = size >= 2 && text[0] == '"' && text[size - 1] == '"' ? 1 : 0;
  // A name holds no '=': when the element starts with the name and a '=', that '=' is the
  // element's first, and the key is that name.
  if (const size_t equals = glob_key_index.sizeBeforeEquals(guess, text + q, size - q)) {
    return {guess, std::string_view(text + q + equals + 1, size - q - equals - 1 - q), true};
  }
  return SrmSplitKeyId(element);
}

#endif  // RESDB_TUPLE_KEY_VOCABULARY_H_
