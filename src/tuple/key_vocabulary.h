// The fixed vocabulary of 126 tuple keys. A key id is the name's index; the ids are stored in
// tuple text and in every record kind's key lists, so they never change. The two lookup maps
// are built once, on first use, under a lock, and then only read: safe from any thread.
#ifndef RESDB_TUPLE_KEY_VOCABULARY_H_
#define RESDB_TUPLE_KEY_VOCABULARY_H_

#include <cstddef>
#include <string>
#include <string_view>

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
  const size_t equals = element.find('=');
  if (equals == std::string_view::npos) return 0;
  // One pair of surrounding quotes is dropped, and only when the element has both. The '='
  // lies strictly between them then, so neither length below can wrap.
  const size_t q = element.size() >= 2 && element.front() == '"' && element.back() == '"' ? 1 : 0;
  *key = element.substr(q, equals - q);
  *value = element.substr(equals + 1, element.size() - equals - 1 - q);
  return 1;
}

#endif  // RESDB_TUPLE_KEY_VOCABULARY_H_
