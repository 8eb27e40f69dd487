#include "report/qdx_report.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "db/srm_resource_database.h"
#include "kinds/volume_manager.h"
#include "providerutil.h"
#include "report/instance_build.h"
#include "report/report_log.h"
#include "report/report_values.h"

namespace {

using report_log::Log;

constexpr char kGenerate[] = "GenerateCIMReports";

// The categories GetReport hands to the list, in order; the associations come last.
constexpr int kListedCategories[] = {QDX_Report::kSystems,     QDX_Report::kDisks,
                                     QDX_Report::kVolumes,     QDX_Report::kDiskGroups,
                                     QDX_Report::kFileSystems, QDX_Report::kAliases};

// Empties a container together with its room (clear() keeps tables and texts).
template <typename Container>
void Release(Container& container) {
  Container().swap(container);
}

// The maps FindCIMInstance searches for category 0, in order.
constexpr int kSearchOrder[] = {1, 2, 3, 4, 9, 5, 6, 7, 8};

// A pass of the report and what is said when it fails.
struct Pass {
  int (QDX_Report::*run)();
  bool for_host;
  bool for_cluster;
  const char* failure_message;
  const char* failure_point;
};

const Pass kPasses[] = {
    {&QDX_Report::Get_Cluster_Instances, false, true, "Get_Cluster_Instances FAILED",
     "Get_Cluster_Instances"},
    {&QDX_Report::Get_System_Instances, true, false, "Get_System_Instances FAILED",
     "Get_System_Instances"},
    {&QDX_Report::Get_Alias_Instances, true, true, "Get_Alias_Instances FAILED",
     "Get_Alias_Instances"},
    {&QDX_Report::Get_Disk_Instances, true, true, "Get_Disk_Instances FAILED",
     "Get_Disk_Instances"},
    {&QDX_Report::Get_DiskPartition_Instances, true, true, "Get_DiskPartition_Instances FAILED",
     "Get_DiskPartition_Instances"},
    {&QDX_Report::GetVolumeMgrInfo, true, true, "GetVolumeMgrInfo FAILED",
     "Get_VolumeMgr_Instances"},
    {&QDX_Report::Get_Volumes_Instances, true, true, "Get_Volumes_Instances FAILED",
     "Get_Volumes_Instances"},
    {&QDX_Report::Get_DiskGroup_Instances, true, true, "Get_DiskGroup_Instances FAILED",
     "Get_DiskGroup_Instances"},
    {&QDX_Report::Get_FileSystem_Instances, true, true, "Get_FileSystem_Instances",
     "Get_FileSystem_Instances"},
    {&QDX_Report::Get_Share_Instances, true, true, "Get_Share_Instances FAILED",
     "Get_Shares_Instances"},
    {&QDX_Report::Get_ServiceGroup_Instances, false, true, "Get_ServiceGroup_Instances FAILED",
     "Get_ServiceGroup_Instances"},
};

}  // namespace

QDX_Report::QDX_Report() {
  ClearCIMInstMaps();
  kind_class_map_ = {
      {"System", "Tavrix_RM_HalcyonUnitaryComputerSystem"},
      {"Disk", "Tavrix_RM_DiskDrive"},
      {"Volume", "Tavrix_RM_StorageVolume"},
      {"VolumeGroup", "Tavrix_RM_VMDiskGroup"},
      {"Share", "Tavrix_RM_FileShare"},
      {"FileSystem", "Tavrix_RM_UnixLocalFileSystem"},
  };
  // Last: nothing after them can fail, so a constructor that throws leaves nothing behind.
  arena_ = nmspc_cim::cim_createArena();
  instance_list_ = nmspc_cim::cim_createInstanceListIn(arena_);
}

void QDX_Report::Adopt(CCIMInstance* instance) {
  if (IsHeld(instance)) return;
  try {
    held_.push_back(instance);
  } catch (...) {
    nmspc_cim::cim_freeInstance(instance);
    throw;
  }
  nmspc_cim::cim_setInstanceMark(instance, static_cast<long>(held_.size()));
}

QDX_Report::~QDX_Report() {
  ClearCIMInstMaps();
  // What never reached the list, then the list itself when GetReport did not hand it out.
  for (CCIMInstance* instance : held_) nmspc_cim::cim_freeInstance(instance);  // null: listed
  nmspc_cim::cim_freeInstanceList(instance_list_);
  nmspc_cim::cim_freeArena(arena_);
}

const char* QDX_Report::KeptSystemId() {
  if (kept_system_ids_.empty() || kept_system_ids_.front() != system_id_) {
    kept_system_ids_.push_front(system_id_);
  }
  return kept_system_ids_.front().c_str();
}

void QDX_Report::RaiseResult(const std::string& code, const std::string& value,
                             const std::string& label) {
  report_log::Raise(provider_name_, &utility_, code, value, label);
}

SrmResourceList::IdMap* QDX_Report::Records(SrmResourceType kind) {
  if (database_ == nullptr) return nullptr;
  SrmResourceList::IdMap* records = database_->getResourceList()->getSrmResourceIdMap(kind);
  return (records == nullptr || records->empty()) ? nullptr : records;
}

// --- The report ---

int QDX_Report::GenerateCIMReports(SrmResourceDatabase* database, const std::string& rdb_type) {
  if (database == nullptr) {
    Log(PRV_LOG_ERROR, kGenerate, "SrmResourceDatabase is NULL.");
    RaiseResult("F_NULL_POINTER", "ResourceDatabase", "Pointer");
    return 0;
  }
  bool host = rdb_type == "host";
  bool cluster = rdb_type == "cluster";
  if (!host && !cluster) {
    Log(PRV_LOG_ERROR, kGenerate, "Invalid rdb type - " + rdb_type);
    RaiseResult("F_INVALID_RDB_TYPE", rdb_type, "Type of the rdb");
    return 0;
  }
  database_ = database;
  system_name_.clear();
  system_id_.clear();

  if (Get_Error_Instances() != 0) {
    Log(PRV_LOG_ERROR, kGenerate, "SrmAgent returned error objects");
    return 0;
  }
  for (const Pass& pass : kPasses) {
    if (!(host ? pass.for_host : pass.for_cluster)) continue;
    if ((this->*pass.run)() == 0) {
      Log(PRV_LOG_ERROR, kGenerate, pass.failure_message);
      LogError(pass.failure_point);
      return 0;
    }
  }
  Log(PRV_LOG_INFO, kGenerate, "Done creating CIM Instances for all objects");
  return 1;
}

// --- Instance maps ---

template <typename Id>
int QDX_Report::FileInstance(CCIMInstance* instance, Id&& id, int category) {
  if (instance == nullptr) {
    Log(PRV_LOG_ERROR, "UpdateCIMInstMaps", "CCIMInstance is NULL.");
    return 0;
  }
  // Taken over whatever happens next; one already in the list belongs to the list.
  if (nmspc_cim::cim_getInstanceMark(instance) != kListedMark) Adopt(instance);
  if (id.empty()) {
    Log(PRV_LOG_ERROR, "UpdateCIMInstMaps", "NaturalName (unique id) is blank.");
    return 0;
  }
  if (category < 0 || category > 9) {
    Log(PRV_LOG_ERROR, "UpdateCIMInstMaps", "Invalid resource type.");
    return 0;
  }
  if (category <= kSystems) {
    category_maps_[kSystems][std::forward<Id>(id)] = instance;  // the newer replaces the older
  } else {
    category_maps_[category].emplace(std::forward<Id>(id), instance);  // the first filed is kept
  }
  return 1;
}

int QDX_Report::UpdateCIMInstMaps(CCIMInstance* instance, const std::string& id, int category) {
  return FileInstance(instance, id, category);
}

int QDX_Report::UpdateCIMInstMaps(CCIMInstance* instance, std::string&& id, int category) {
  return FileInstance(instance, std::move(id), category);
}

std::string QDX_Report::PartitionKey(const std::string& chunk_id) {
  if (chunk_id.empty()) return chunk_id;
  static constexpr char kSuffix[] = "partition";
  std::string key;
  key.reserve(chunk_id.size() + sizeof(kSuffix));
  key.append(chunk_id);
  key.push_back('\0');
  key.append(kSuffix, sizeof(kSuffix) - 1);
  return key;
}

CCIMInstance* QDX_Report::FindCIMInstance(const std::string& key, int category) {
  // What the agent is told names the instance by its id alone, without what a map key adds;
  // that text is made only when it is told something.
  auto id = [&key] { return key.substr(0, key.find('\0')); };
  if (key.empty() || key[0] == '\0') {
    Log(PRV_LOG_ERROR, "FindCIMInstance", "NaturalName (unique id) is blank.");
    return nullptr;
  }
  CCIMInstance* found = nullptr;
  bool hit = false;
  auto look = [&](int c) {
    auto it = category_maps_[c].find(key);
    if (it == category_maps_[c].end()) return false;
    found = it->second;
    return true;
  };
  if (category >= 1 && category <= 9) {
    hit = look(category);
  } else if (category == kAnyCategory) {
    for (int c : kSearchOrder) {
      if ((hit = look(c))) break;
    }
  }
  if (!hit && (category == kAnyCategory || category < 0 || category > 9)) {
    Log(PRV_LOG_INFO, "FindCIMInstMaps", "Invalid resource type OR Not found in any resource map.");
  }
  if (found != nullptr) return found;
  RaiseResult("W_CIMINSTANCE_NOT_FOUND", id(), "QDXID of the ciminstance trying to find.");
  Log(PRV_LOG_WARNING, "FindCIMInstMaps",
      "Could not find a CIMInstance with qdxid '" + id() +
          "', to be used for CIM Associations. The Association will not be created.");
  return nullptr;
}

void QDX_Report::ClearCIMInstMaps() {
  for (auto& map : category_maps_) Release(map);
  Release(associations_);
  Release(association_keys_);
  key_room_ = key_room_end_ = nullptr;
  Release(association_recipe_);
  Release(kind_class_map_);
  Release(disk_chunk_set_);
}

int QDX_Report::AddToList(CCIMInstance* instance) {
  if (instance == nullptr) return 0;
  if (nmspc_cim::cim_getInstanceMark(instance) == kListedMark) return 1;
  // Held first, so that a list that refuses it leaves it to the converter.
  Adopt(instance);
  CCIMList* list = nmspc_cim::cim_addInstance(instance_list_, instance);
  if (list == nullptr) return 0;  // refused: still held, freed with the converter
  instance_list_ = list;
  held_[static_cast<size_t>(nmspc_cim::cim_getInstanceMark(instance) - 1)] = nullptr;
  nmspc_cim::cim_setInstanceMark(instance, kListedMark);
  return 1;
}

CCIMList* QDX_Report::GetReport() {
  // Each category in the order of its ids (unique within a map), sorted through pointers.
  std::vector<const std::pair<const std::string, CCIMInstance*>*> filed;
  for (int c : kListedCategories) {
    filed.clear();
    filed.reserve(category_maps_[c].size());
    for (const auto& entry : category_maps_[c]) filed.push_back(&entry);
    std::sort(filed.begin(), filed.end(),
              [](const auto* a, const auto* b) { return a->first < b->first; });
    for (const auto* entry : filed) {
      // Only what the converter still holds: an instance filed twice goes in once.
      if (!IsHeld(entry->second)) continue;
      if (AddToList(entry->second) == 0) return nullptr;
    }
  }
  // The category maps are done with: their room goes before the associations are sorted.
  Release(filed);
  for (auto& map : category_maps_) Release(map);
  // Sorted by key through pointers (cheaper to move than the entries). Stable: of the
  // associations built under one key, the first stays first.
  std::vector<const FiledAssociation*> sorted;
  sorted.reserve(associations_.size());
  for (const FiledAssociation& entry : associations_) sorted.push_back(&entry);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const auto* a, const auto* b) { return CompareKeys(*a, *b) < 0; });
  const FiledAssociation* previous = nullptr;
  for (const FiledAssociation* entry : sorted) {
    const bool repeated = previous != nullptr && CompareKeys(*previous, *entry) == 0;
    previous = entry;
    // A later one of the same key is left out (and freed with the converter).
    if (repeated || !IsHeld(entry->association)) continue;
    if (AddToList(entry->association) == 0) return nullptr;
  }
  // The other maps too: their room goes before the list is written out.
  ClearCIMInstMaps();
  CCIMList* list = instance_list_;
  instance_list_ = nullptr;  // the caller's from now on
  return list;
}

CCIMInstance* QDX_Report::CreateAssociation(const char* class_name, int key_count,
                                            const char* const* key_names, AssociationEnd first,
                                            AssociationEnd second,
                                            std::initializer_list<ExtraProperty> extra) {
  std::vector<RM_PropertyRecipe>& recipe = association_recipe_;
  recipe.clear();
  recipe.push_back(RM_KeyRef(first.role, first.instance));
  recipe.push_back(RM_KeyRef(second.role, second.instance));
  for (const ExtraProperty& p : extra) {
    recipe.push_back(p.value ? RM_Text(p.name, *p.value, p.type)
                             : RM_PropertyRecipe::Null(p.name, p.type));
  }
  CCIMInstance* association = BuildInstance(class_name, key_count, key_names, recipe);
  if (association != nullptr) Adopt(association);
  return association;
}

std::optional<std::string> QDX_Report::IntegerText(const char* function, const char* name,
                                                   int64_t value, CIMType type, const char* kind,
                                                   const std::string& record_id) {
  if (report_values::FitsIntegerType(value, type)) return std::to_string(value);
  static const char* const kTypeNames[] = {"uint8",  "sint8",  "uint16", "sint16",
                                           "uint32", "sint32", "uint64", "sint64"};
  const char* type_name = type >= 0 && type < 8 ? kTypeNames[type] : "an integer type";
  Log(PRV_LOG_WARNING, function,
      std::string(name) + " of " + kind + " '" + record_id +
          "' left without a value: " + std::to_string(value) + " does not fit " + type_name + ".");
  return std::nullopt;
}

RM_PropertyRecipe QDX_Report::IntegerProperty(const char* function, const char* name, int64_t value,
                                              CIMType type, const char* kind,
                                              const std::string& record_id) {
  std::optional<std::string> text = IntegerText(function, name, value, type, kind, record_id);
  if (!text) return RM_PropertyRecipe::Null(name, type);
  return RM_Text(name, std::move(*text), type);
}

// --- Logging ---

void QDX_Report::LogError(const std::string& failure_point) {
  if (failure_point.empty()) return;
  RaiseResult("F_REPORT_CONV_FAILURE", failure_point, "FailurePoint");
}

void QDX_Report::LogMissingResoruce(const std::string& name) {
  if (name.empty()) return;
  Log(PRV_LOG_WARNING, "LogMissingResoruce",
      "CIMInstance not found for - " + name + ". Associations for this resource will be missing.");
  RaiseResult("W_INSTANCE_NOT_FOUND", name, "Missing Resource name");
}

// --- Lookups ---

std::string QDX_Report::GetDiskTypeAsString(int disk_type) {
  static const char* const kNames[] = {"Unknown", "IDE", "SCSI", "FC", "SSA", "Serial", "Other"};
  if (disk_type < 0 || disk_type > 6) return "Unknown";
  return kNames[disk_type];
}

int QDX_Report::GetVolumeMgrInfo() {
  volume_managers_ = Records(SRM_VOLUMEMANAGER);
  if (volume_managers_ == nullptr) {
    Log(PRV_LOG_INFO, "GetVolumeMgrInfo", "No volume managers found.");
  }
  return 1;
}

int QDX_Report::GetVolMgrNameandVer(const std::string& volume_mgr_id, std::string* name,
                                    std::string* version) {
  if (volume_mgr_id.empty()) return 1;
  if (volume_managers_ == nullptr) {
    Log(PRV_LOG_WARNING, "GetVolMgrNameandVer",
        "No volume managers found but volumes are present.");
    return 1;
  }
  int wanted = std::atoi(volume_mgr_id.c_str());
  for (const auto& entry : *volume_managers_) {
    const auto* manager = static_cast<const SrmVolumeManager*>(entry.second);
    if (manager->getIdType() == wanted) {
      if (name != nullptr) *name = manager->getVolumeMgrName();
      if (version != nullptr) *version = manager->getVolumeMgrVersion();
      return 1;
    }
  }
  if (name != nullptr) *name = "Unknown";
  if (version != nullptr) *version = "Unknown";
  return 1;
}
