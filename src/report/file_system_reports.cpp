// The file system, share and alias passes: file systems as local file systems of the
// reported system residing on their volumes, NFS shares tied to the file system of their
// volume, and the aliases under which reported objects are also known.
#include <cstdint>
#include <string>
#include <utility>

#include "kinds/alias_identity.h"
#include "kinds/file_system.h"
#include "kinds/share.h"
#include "providerutil.h"
#include "report/instance_build.h"
#include "report/qdx_report.h"
#include "report/report_log.h"
#include "report/report_values.h"

using nmspc_cim::CIM_UINT64;
using report_log::Log;

namespace {

constexpr char kSystemClass[] = "CIM_ComputerSystem";
constexpr char kFileSystemClass[] = "Tavrix_RM_UnixLocalFileSystem";
constexpr char kShareClass[] = "Tavrix_RM_FileShare";
constexpr char kAliasClass[] = "Tavrix_RM_AliasEntry";
constexpr int32_t kNfsShare = 0;  // the only ShareFsType reported

}  // namespace

int QDX_Report::Get_FileSystem_Instances() {
  static const char kFunction[] = "Get_FileSystem_Instances";
  SrmResourceList::IdMap* file_systems = Records(SRM_FILESYSTEM);
  if (file_systems == nullptr || file_systems->empty()) {
    Log(PRV_LOG_INFO, kFunction, "No file systems found.");
    return 1;
  }
  for (const auto& entry : *file_systems) {
    const auto* fs = static_cast<const SrmFileSystem*>(entry.second);
    if (!fs->shouldReport()) continue;
    const std::string fs_id = DecodeQDXID(fs->getId());
    const std::string volume_id = DecodeQDXID(fs->getVolume());
    std::string natural_name;
    CCIMInstance* instance = BuildInstance(
        kFileSystemClass, rm_fs_keys_count, rm_fs_keys,
        {
            RM_KeptKey("CSCreationClassName", kSystemClass),
            RM_KeptKey("CreationClassName", kFileSystemClass),
            RM_KeptKey("CSName", KeptSystemId()),
            RM_NaturalKey("Name", fs_id),
            RM_Text("ElementName", fs->getPubId()),
            RM_Text("FileSystemType", fs->getFSType()),
            RM_Text("FileSystemSize", report_values::BytesOfKB(fs->getCapacityKB()), CIM_UINT64),
            RM_Text("AvailableSpace", report_values::BytesOfKB(fs->getFreeSpaceKB()), CIM_UINT64),
            RM_Text("UsedSpace", report_values::BytesOfKB(fs->getUsedSpaceKB()), CIM_UINT64),
            RM_Text("FSReservedCapacity", report_values::BytesOfKB(fs->getReservedSpaceKB()),
                    CIM_UINT64),
        },
        &natural_name);
    if (instance == nullptr || !UpdateCIMInstMaps(instance, std::move(natural_name), kFileSystems))
      return 0;
    // A file system must rest on a reported volume.
    if (LinkInstances("Tavrix_RM_ResidesOnVolume", rm_antdep_asso_keys_count, rm_antdep_asso_keys,
                      {"Dependent", fs_id, kFileSystems}, {"Antecedent", volume_id, kVolumes},
                      MapKey{volume_id, fs_id}) != 1) {
      return 0;
    }
    // Filed again under its volume, where the share pass looks for it; the first file system
    // of a volume keeps the place.
    if (!UpdateCIMInstMaps(instance, volume_id, kFileSystemsByVolume)) return 0;
    if (LinkInstances("CIM_HostedFileSystem", rm_grppart_asso_keys_count, rm_grppart_asso_keys,
                      {"GroupComponent", system_id_, kSystems},
                      {"PartComponent", fs_id, kFileSystems}, MapKey{system_id_, fs_id}) != 1) {
      return 0;
    }
  }
  Log(PRV_LOG_INFO, kFunction, "Successfully created File System CIM Instances");
  return 1;
}

int QDX_Report::Get_Share_Instances() {
  static const char kFunction[] = "Get_Share_Instances";
  SrmResourceList::IdMap* shares = Records(SRM_SHARE);
  if (shares == nullptr || shares->empty()) {
    Log(PRV_LOG_INFO, kFunction, "No Shares found.");
    return 1;
  }
  for (const auto& entry : *shares) {
    const auto* share = static_cast<const SrmShare*>(entry.second);
    if (!share->shouldReport()) continue;
    if (share->getShareFsType() != kNfsShare) {
      Log(PRV_LOG_WARNING, kFunction, "Share type not supported.");
      continue;
    }
    const std::string share_id = DecodeQDXID(share->getId());
    const std::string volume_id = DecodeQDXID(share->getVolumeId());
    std::string natural_name;
    CCIMInstance* instance = BuildInstance(kShareClass, rm_share_keys_count, rm_share_keys,
                                           {
                                               RM_KeptKey("SystemCreationClassName", kSystemClass),
                                               RM_KeptKey("CreationClassName", kShareClass),
                                               RM_KeptKey("SystemName", KeptSystemId()),
                                               RM_NaturalKey("Name", share_id),
                                               RM_Text("Type", "NFS"),
                                               RM_Text("DirectoryName", share->getSharePath()),
                                               RM_Text("ElementName", share->getShareName()),
                                           },
                                           &natural_name);
    if (instance == nullptr) return 0;
    // Shares go into the instance list here, not through the maps; AddToList records that
    // the list now owns the instance, so it is released once, with the list.
    if (!AddToList(instance) || !UpdateCIMInstMaps(instance, std::move(natural_name), kShares))
      return 0;

    if (FindCIMInstance(volume_id, kFileSystemsByVolume) == nullptr) {
      Log(PRV_LOG_WARNING, kFunction,
          "Could not link following share to file system...Invalid volumeid : " + share_id);
      continue;
    }
    if (LinkInstances("CIM_SharedElement", rm_sharedelement_asso_keys_count,
                      rm_sharedelement_asso_keys, {"SameElement", share_id, kShares},
                      {"SystemElement", volume_id, kFileSystemsByVolume},
                      MapKey{volume_id, share_id}) != 1 ||
        LinkInstances("CIM_HostedShare", rm_antdep_asso_keys_count, rm_antdep_asso_keys,
                      {"Antecedent", system_id_, kSystems}, {"Dependent", share_id, kShares},
                      MapKey{system_id_, share_id}) != 1) {
      return 0;
    }
  }
  Log(PRV_LOG_INFO, kFunction, "Successfully created Share CIM Instances");
  return 1;
}

int QDX_Report::Get_Alias_Instances() {
  static const char kFunction[] = "Get_Alias_Instances";
  SrmResourceList::IdMap* aliases = Records(SRM_ALIAS);
  if (aliases == nullptr || aliases->empty()) {
    Log(PRV_LOG_INFO, kFunction, "No aliases found.");
    return 1;
  }
  // Every alias is reported, whatever its flags.
  for (const auto& entry : *aliases) {
    const auto* alias = static_cast<const SrmId*>(entry.second);
    const auto object_class = kind_class_map_.find(alias->getIdType().view());
    std::string id = DecodeQDXID(alias->getId());  // made before the instance it files
    CCIMInstance* instance = BuildInstance(
        kAliasClass, rm_alias_keys_count, rm_alias_keys,
        {
            RM_Key("ReportedQDXIdentity", alias->getPrimaryId()),
            RM_Key("QDXIdentityAlias", alias->getSecondaryId()),
            RM_Text("AssociatedObjectType",
                    object_class != kind_class_map_.end() ? object_class->second : "unknown"),
        });
    if (instance == nullptr || !UpdateCIMInstMaps(instance, std::move(id), kAliases)) {
      return 0;
    }
  }
  Log(PRV_LOG_INFO, kFunction, "Successfully created Alias CIM Instances");
  return 1;
}
