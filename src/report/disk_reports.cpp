// The disk passes: disks as disk drives of the reported system, disk chunks as partitions of
// their disks, and the gathering of the chunks a volume is built on.
#include <string>
#include <utility>
#include <vector>

#include "kinds/disk.h"
#include "kinds/disk_chunk.h"
#include "kinds/volume.h"
#include "providerutil.h"
#include "report/device_keys.h"
#include "report/instance_build.h"
#include "report/qdx_report.h"
#include "report/report_log.h"
#include "report/report_values.h"

using nmspc_cim::CIM_UINT64;
using report_log::Log;

namespace {

constexpr char kDiskClass[] = "Tavrix_RM_DiskDrive";
constexpr char kPartitionClass[] = "Tavrix_RM_DiskPartition";

}  // namespace

int QDX_Report::Get_Disk_Instances() {
  static const char kFunction[] = "Get_Disk_Instances";
  SrmResourceList::IdMap* disks = Records(SRM_DISK);
  if (disks == nullptr || disks->empty()) {
    Log(PRV_LOG_INFO, kFunction, "No disks found.");
    return 1;
  }
  // The system's two associations with a disk: 1 built, -1 an end is not filed (the second is
  // not attempted), 0 a builder failed.
  auto link_to_system = [this](const std::string& disk_id, std::string_view path_name) {
    const EndLookup system{"GroupComponent", system_id_, kSystems};
    const EndLookup disk{"PartComponent", disk_id, kDisks};
    int linked = LinkInstances("CIM_SystemDevice", rm_grppart_asso_keys_count, rm_grppart_asso_keys,
                               system, disk, MapKey{system_id_, disk_id, "SystemDevice"});
    if (linked != 1) return linked;
    return LinkInstances("Tavrix_RM_PathToDisk", rm_grppart_asso_keys_count, rm_grppart_asso_keys,
                         system, disk, MapKey{system_id_, disk_id, "PathToDisk"},
                         {{"PathName", std::string(path_name), nmspc_cim::CIM_STRING}});
  };
  for (const auto& entry : *disks) {
    const auto* disk = static_cast<const SrmDisk*>(entry.second);
    const std::string disk_id = DecodeQDXID(disk->getId());
    if (!disk->shouldReport()) {
      // A withdrawn disk gets no drive; its links are still tried, and skipped when, as
      // expected, its drive is not filed.
      if (link_to_system(disk_id, disk->getName()) == 0) return 0;
      continue;
    }
    std::vector<RM_PropertyRecipe> recipe =
        RM_LogicalDeviceKeys(kDiskClass, KeptSystemId(), disk_id);
    recipe.insert(
        recipe.end(),
        {
            RM_Text("Name", disk_id),
            RM_Text("ElementName", disk->getName()),
            RM_Text("DiskMake", disk->getMake()),
            RM_Text("DiskModel", disk->getModel()),
            RM_Text("Revision", disk->getRevision()),
            IntegerProperty(kFunction, "DiskRPM", disk->getRPM(), CIM_UINT64, "disk", disk_id),
            RM_Text("SerialNumber", disk->getSerialNum()),
            RM_Text("DiskType", GetDiskTypeAsString(disk->getDiskType())),
            RM_Text("TotalCapacity", report_values::BytesOfKB(disk->getCapacityKB()), CIM_UINT64),
        });
    std::string natural_name;
    CCIMInstance* instance =
        BuildInstance(kDiskClass, rm_logdev_keys_count, rm_logdev_keys, recipe, &natural_name);
    if (instance == nullptr || !UpdateCIMInstMaps(instance, std::move(natural_name), kDisks))
      return 0;
    if (link_to_system(disk_id, disk->getName()) != 1) return 0;
  }
  Log(PRV_LOG_INFO, kFunction, "Successfully created Disk CIM Instances");
  return 1;
}

int QDX_Report::Get_DiskPartition_Instances() {
  static const char kFunction[] = "Get_DiskPartition_Instances";
  SrmResourceList::IdMap* chunks = Records(SRM_DISKCHUNK);
  if (chunks == nullptr || chunks->empty()) {
    Log(PRV_LOG_WARNING, kFunction, "No disk partitions found.");
    return 1;
  }
  for (const auto& entry : *chunks) {
    const auto* chunk = static_cast<const SrmDiskChunk*>(entry.second);
    if (!chunk->shouldReport()) continue;
    const std::string chunk_id = DecodeQDXID(chunk->getId());
    const std::string disk_id = DecodeQDXID(chunk->getDisk());
    std::vector<RM_PropertyRecipe> recipe =
        RM_LogicalDeviceKeys(kPartitionClass, KeptSystemId(), chunk_id);
    recipe.insert(
        recipe.end(),
        {
            RM_Text("Name", chunk_id),
            RM_Text("ElementName", chunk->getDiskChunk()),
            RM_Text("StartByte", report_values::ScaledSize(chunk->getStart(), 1), CIM_UINT64),
            RM_Text("Length", report_values::BytesOfKB(chunk->getLength()), CIM_UINT64),
        });
    std::string natural_name;
    CCIMInstance* instance =
        BuildInstance(kPartitionClass, rm_logdev_keys_count, rm_logdev_keys, recipe, &natural_name);
    if (instance == nullptr || !UpdateCIMInstMaps(instance, PartitionKey(natural_name), kDisks)) {
      return 0;
    }
    if (LinkInstances("CIM_ConcreteComponent", rm_grppart_asso_keys_count, rm_grppart_asso_keys,
                      {"GroupComponent", disk_id, kDisks},
                      {"PartComponent", PartitionKey(chunk_id), kDisks},
                      MapKey{chunk_id, disk_id}) != 1) {
      return 0;
    }
  }
  Log(PRV_LOG_INFO, kFunction, "Successfully created Disk Partition CIM Instances");
  return 1;
}

void QDX_Report::CollectDiskChunks(SrmVolume* volume) {
  // The walk keeps its own record of the volumes entered, so a volume that lists itself or a
  // ring of volumes ends it, and it is iterative, so a hierarchy of any depth is safe. The set
  // is ordered, so the order of the visits does not show.
  SrmVisitVolumesDepthFirst(volume, nullptr, [this](SrmVolume* v) {
    SrmResourceList* list = v->getDiskChunkList();
    const SrmResourceList::IdMap* chunks =
        list != nullptr ? list->getSrmResourceIdMap(SRM_DISKCHUNK) : nullptr;
    if (chunks != nullptr) {
      for (const auto& entry : *chunks) {
        disk_chunk_set_.emplace(DecodeQDXID(entry.second->getId()), 0);
      }
    }
    return 1;
  });
}
