// The volume passes: volumes as storage volumes of the reported system, based on the disk
// partitions they are built from, and volume groups as disk groups with their disks and
// volumes as members. Both name the volume manager that runs them.
#include <string>
#include <utility>
#include <vector>

#include "kinds/volume.h"
#include "kinds/volume_group.h"
#include "providerutil.h"
#include "report/device_keys.h"
#include "report/instance_build.h"
#include "report/qdx_report.h"
#include "report/report_log.h"
#include "report/report_values.h"

using nmspc_cim::CIM_UINT16;
using nmspc_cim::CIM_UINT64;
using report_log::Log;

namespace {

constexpr char kVolumeClass[] = "Tavrix_RM_StorageVolume";
constexpr char kDiskGroupClass[] = "Tavrix_RM_VMDiskGroup";

// The records of kind in a child list, or null when the list or the kind is absent.
const SrmResourceList::IdMap* Children(SrmResourceList* list, SrmResourceType kind) {
  return list != nullptr ? list->getSrmResourceIdMap(kind) : nullptr;
}

}  // namespace

int QDX_Report::Get_Volumes_Instances() {
  static const char kFunction[] = "Get_Volume_Instances";
  SrmResourceList::IdMap* volumes = Records(SRM_VOLUME);
  if (volumes == nullptr || volumes->empty()) {
    Log(PRV_LOG_WARNING, kFunction, "No volumes found.");
    return 1;
  }
  for (const auto& entry : *volumes) {
    auto* volume = static_cast<SrmVolume*>(entry.second);
    // A sub-volume is reported through the chunks of the volume that lists it.
    if (!volume->shouldReport() || volume->getHierType() == SrmVolume::kHierSubVolume) continue;
    disk_chunk_set_.clear();
    CollectDiskChunks(volume);

    const std::string volume_id = DecodeQDXID(volume->getId());
    std::vector<RM_PropertyRecipe> recipe =
        RM_LogicalDeviceKeys(kVolumeClass, KeptSystemId(), volume_id);
    recipe.push_back(RM_Text("ElementName", volume->getName()));
    if (!volume->getVolumeManager().empty()) {
      std::string name;
      std::string version;
      if (!GetVolMgrNameandVer(volume->getVolumeManager(), &name, &version)) return 0;
      recipe.push_back(RM_Text("VolMgrName", std::move(name)));
      recipe.push_back(RM_Text("VolMgrVersion", std::move(version)));
    }
    recipe.insert(
        recipe.end(),
        {
            IntegerProperty(kFunction, "StatusCode", volume->getStatus(), CIM_UINT16, "volume",
                            volume_id),
            IntegerProperty(kFunction, "VolumeType", volume->getVolumeType(), CIM_UINT16, "volume",
                            volume_id),
            RM_Text("TotalStorage", report_values::BytesOfKB(volume->getCapacityKB()), CIM_UINT64),
            RM_Text("AvailableStorage", report_values::BytesOfKB(volume->getFreeSpaceKB()),
                    CIM_UINT64),
        });
    if (!volume->getVolumeTypeDesc().empty()) {
      recipe.push_back(RM_Text("Description", volume->getVolumeTypeDesc()));
    }
    std::string natural_name;
    CCIMInstance* instance =
        BuildInstance(kVolumeClass, rm_logdev_keys_count, rm_logdev_keys, recipe, &natural_name);
    if (instance == nullptr || !UpdateCIMInstMaps(instance, std::move(natural_name), kVolumes))
      return 0;

    for (const auto& chunk : disk_chunk_set_) {
      if (LinkInstances("CIM_BasedOn", rm_antdep_asso_keys_count, rm_antdep_asso_keys,
                        {"Dependent", volume_id, kVolumes},
                        {"Antecedent", PartitionKey(chunk.first), kDisks},
                        MapKey{volume_id, chunk.first},
                        {{"StartingAddress", "0", CIM_UINT64},
                         {"EndingAddress", "0", CIM_UINT64},
                         {"OrderIndex", "0", CIM_UINT16}}) != 1) {
        return 0;
      }
    }
    if (LinkInstances("CIM_SystemDevice", rm_grppart_asso_keys_count, rm_grppart_asso_keys,
                      {"GroupComponent", system_id_, kSystems},
                      {"PartComponent", volume_id, kVolumes}, MapKey{system_id_, volume_id}) != 1) {
      return 0;
    }
  }
  Log(PRV_LOG_INFO, kFunction, "Successfully created Volume CIM Instances");
  return 1;
}

int QDX_Report::Get_DiskGroup_Instances() {
  static const char kFunction[] = "Get_DiskGroup_Instances";
  SrmResourceList::IdMap* groups = Records(SRM_VOLUMEGROUP);
  if (groups == nullptr || groups->empty()) {
    Log(PRV_LOG_INFO, kFunction, "No volume groups found.");
    return 1;
  }
  for (const auto& entry : *groups) {
    auto* group = static_cast<SrmVolumeGroup*>(entry.second);
    if (!group->shouldReport()) continue;
    if (group->getVolumeManager().empty()) {
      Log(PRV_LOG_ERROR, kFunction, "Volume belongs to unknown Volumes Manager.");
      return 0;
    }
    std::string manager_name;
    std::string manager_version;
    if (!GetVolMgrNameandVer(group->getVolumeManager(), &manager_name, &manager_version)) return 0;

    const std::string group_id = DecodeQDXID(group->getId());
    std::string natural_name;
    CCIMInstance* instance = BuildInstance(
        kDiskGroupClass, rm_diskgroup_keys_count, rm_diskgroup_keys,
        {
            RM_NaturalKey("CollectionID", group_id),
            RM_Text("CreationClassName", kDiskGroupClass),
            RM_Text("ElementName", group->getName()),
            RM_Text("TotalStorage", report_values::BytesOfKB(group->getCapacityKB()), CIM_UINT64),
            RM_Text("AvailableStorage", report_values::BytesOfKB(group->getFreeSpaceKB()),
                    CIM_UINT64),
            RM_Text("VolMgrName", manager_name),
            RM_Text("VolMgrVersion", manager_version),
        },
        &natural_name);
    if (instance == nullptr || !UpdateCIMInstMaps(instance, std::move(natural_name), kDiskGroups))
      return 0;

    if (LinkInstances("Tavrix_RM_SystemDiskGroup", rm_grppart_asso_keys_count, rm_grppart_asso_keys,
                      {"GroupComponent", system_id_, kSystems},
                      {"PartComponent", group_id, kDiskGroups},
                      MapKey{system_id_, group_id}) != 1) {
      return 0;
    }
    const EndLookup collection{"Collection", group_id, kDiskGroups};
    if (const auto* disks = Children(group->getDiskList(), SRM_DISK)) {
      for (const auto& member : *disks) {
        // Every disk of a reported group must have been reported.
        const std::string disk_id = DecodeQDXID(member.second->getId());
        if (LinkInstances("CIM_DriveInDiskGroup", rm_collmem_asso_keys_count, rm_collmem_asso_keys,
                          collection, {"Member", disk_id, kDisks},
                          MapKey{disk_id, group_id}) != 1) {
          return 0;
        }
      }
    }
    if (const auto* members = Children(group->getVolumeList(), SRM_VOLUME)) {
      for (const auto& member : *members) {
        const auto* volume = static_cast<const SrmVolume*>(member.second);
        if (volume->getHierType() == SrmVolume::kHierSubVolume) continue;
        // The group itself was found just above, so a missing end is a volume left out of
        // the report, which the group does without.
        const std::string volume_id = DecodeQDXID(volume->getId());
        if (LinkInstances("CIM_ExtentInDiskGroup", rm_collmem_asso_keys_count, rm_collmem_asso_keys,
                          collection, {"Member", volume_id, kVolumes},
                          MapKey{volume_id, group_id}) == 0) {
          return 0;
        }
      }
    }
  }
  Log(PRV_LOG_INFO, kFunction, "Successfully created DiskGroup CIM Instances");
  return 1;
}
