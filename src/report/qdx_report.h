// QDX_Report: turns one resolved resource database into the CIM instances and associations of
// its report. GenerateCIMReports runs the passes in their fixed order; each pass builds its
// instances with an RM_CIM_Report, files them in the category maps under their report ids and
// builds associations between instances it finds there. GetReport hands every filed instance
// to the instance list in the fixed category order.
// Ownership: the converter owns every instance it built until GetReport hands them to the
// list; instances never handed over (a failed report) are freed by the destructor, each once
// even when filed in two maps. The list returned by GetReport belongs to the caller, who frees
// it with cim_freeInstanceList, and lives no longer than the converter: the records are made in
// the converter's arena, released with it. The database is borrowed.
#ifndef RESDB_REPORT_QDX_REPORT_H_
#define RESDB_REPORT_QDX_REPORT_H_

#include <cstdint>
#include <forward_list>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "cimapi.h"
#include "model/srm_resource_list.h"
#include "report/instance_build.h"

using nmspc_cim::CCIMInstance;
using nmspc_cim::CCIMList;
using nmspc_cim::CIMType;

class ProviderUtil;
class SrmResourceDatabase;
class SrmVolume;

class QDX_Report {
 public:
  // The instance maps' categories.
  enum Category {
    kAnyCategory = 0,  // lookup only: every map
    kSystems = 1,      // the host, cluster, nodes, virtual servers, IP endpoints
    kDisks = 2,        // disk drives and partitions
    kFileSystems = 3,
    kVolumes = 4,
    kDiskGroups = 5,
    kUnused = 6,
    kShares = 7,               // also put in the list by the share pass itself
    kFileSystemsByVolume = 8,  // file systems again, under the volume they reside on
    kAliases = 9,
  };

  QDX_Report();
  QDX_Report(const QDX_Report&) = delete;
  QDX_Report& operator=(const QDX_Report&) = delete;
  virtual ~QDX_Report();

  // Builds the report of database for rdb_type "host" or "cluster". 1, or 0 after logging.
  int GenerateCIMReports(SrmResourceDatabase* database, const std::string& rdb_type);
  // Files instance under id in category. 1 filed (or already present), 0 refused. The
  // converter takes the instance over either way: one not kept in any map, or kept only in
  // maps GetReport does not list, is freed with the converter. The instance is taken over
  // before id is copied: running out of memory for the copy cannot lose it. A name no longer
  // needed is passed with std::move and kept by the map as it is.
  int UpdateCIMInstMaps(CCIMInstance* instance, const std::string& id, int category);
  int UpdateCIMInstMaps(CCIMInstance* instance, std::string&& id, int category);
  // The instance filed under id in category (0: every map), or null after logging. An id that
  // carries more after a NUL (PartitionKey) is named in the log by what comes before it.
  CCIMInstance* FindCIMInstance(const std::string& id, int category);
  void ClearCIMInstMaps();
  // Adds every filed instance to the list in category order and returns the list, which
  // passes to the caller, and empties the maps (ClearCIMInstMaps); null when the library
  // refused an instance (the converter then frees the list with everything in it).
  CCIMList* GetReport();

  void LogError(const std::string& failure_point);
  void LogMissingResoruce(const std::string& name);
  void CollectDiskChunks(SrmVolume* volume);
  std::string DecodeQDXID(std::string_view id) { return std::string(id); }
  std::string GetDiskTypeAsString(int disk_type);
  int GetVolumeMgrInfo();
  int GetVolMgrNameandVer(const std::string& volume_mgr_id, std::string* name,
                          std::string* version);

  // The passes: 1 on success, 0 on failure; Get_Error_Instances answers nonzero when the
  // database holds a fatal error.
  int Get_Error_Instances();
  int Get_System_Instances();
  int Get_Cluster_Instances();
  int Get_VirtualServer_Instances();
  int CreateClusterNodeReport();
  int CreateIPAddressReport(const std::string& address, const std::string& system_id);
  int Get_Disk_Instances();
  int Get_DiskPartition_Instances();
  int Get_Volumes_Instances();
  int Get_DiskGroup_Instances();
  int Get_FileSystem_Instances();
  int Get_Share_Instances();
  int Get_Alias_Instances();
  int Get_ServiceGroup_Instances();

  // State the passes share.
  const std::string& system_name() const { return system_name_; }
  const std::string& system_id() const { return system_id_; }
  const std::map<std::string, int>& disk_chunk_set() const { return disk_chunk_set_; }

 protected:
  // One end of an association: the role name and the instance the reference points to.
  struct AssociationEnd {
    const char* role;
    CCIMInstance* instance;
  };
  // An extra, non-reference property of an association; without a value it is NULL.
  struct ExtraProperty {
    const char* name;
    std::optional<std::string> value;
    CIMType type;
  };
  // Builds an association of class_name (keys from key_names) with two reference ends, both
  // key properties, then the extra properties, and takes it over. The association, or null when
  // the builder fails (already logged).
  CCIMInstance* CreateAssociation(const char* class_name, int key_count,
                                  const char* const* key_names, AssociationEnd first,
                                  AssociationEnd second,
                                  std::initializer_list<ExtraProperty> extra = {});
  // One end of an association to be looked up: role, id and the category it is filed in. The
  // id is borrowed: an end lives no longer than the statement or loop body that names it.
  struct EndLookup {
    const char* role;
    const std::string& id;
    int category;
  };
  // The map key an association between the records of ids first and second is filed under:
  // "first~second", then "~" and tail when there is a tail. The ids are borrowed, as an end's.
  struct MapKey {
    const std::string& first;
    const std::string& second;
    const char* tail = nullptr;
  };
  // Looks first, then second up (FindCIMInstance, with its warnings) and builds the association
  // between them with CreateAssociation. 1 built; -1 an end is not filed (nothing built); 0 the
  // builder failed (already logged). The association is filed under map_key followed by a NUL,
  // the class name, a NUL and the two end categories, so that associations of different classes
  // or kinds whose ids join into the same map_key are all kept; the NUL sorts below every byte
  // of an id, so associations of distinct map_keys keep their order (an association already
  // filed under the same whole key is kept: the new one is left out of the report and freed
  // with the converter). class_name is C text (not null): the passes name their classes with
  // literals, which cost no copy.
  int LinkInstances(const char* class_name, int key_count, const char* const* key_names,
                    const EndLookup& first, const EndLookup& second, const MapKey& map_key,
                    std::initializer_list<ExtraProperty> extra = {});
  // The decimal text of value for the integer property name of type. A value outside the
  // type's range has none (the property is to be NULL): a level-4 line under function then
  // names the property and the record (kind and id).
  std::optional<std::string> IntegerText(const char* function, const char* name, int64_t value,
                                         CIMType type, const char* kind,
                                         const std::string& record_id);
  // The recipe of that property: its text, or a NULL property.
  RM_PropertyRecipe IntegerProperty(const char* function, const char* name, int64_t value,
                                    CIMType type, const char* kind, const std::string& record_id);
  // The key a disk partition (a disk chunk) is filed under in category 2, apart from a disk of
  // the same id: the id, a NUL and "partition" (so each disk comes right before the partition
  // of its id, and the order of distinct ids stays); "" for an empty id.
  static std::string PartitionKey(const std::string& chunk_id);
  // RM_BuildInstance in the converter's arena, under its provider name.
  CCIMInstance* BuildInstance(const char* class_name, int key_count, const char* const* key_names,
                              const std::vector<RM_PropertyRecipe>& recipe,
                              std::string* natural_name = nullptr) {
    return RM_BuildInstance(arena_, provider_name_, class_name, key_count, key_names, recipe,
                            natural_name);
  }
  // system_id_ as text the records may keep: a copy held until the converter is released (the
  // copy made for an earlier report stays when the id changes).
  const char* KeptSystemId();
  // Takes instance over (the converter frees it unless it reaches the list); when even that
  // runs out of memory the instance is freed and std::bad_alloc goes on.
  void Adopt(CCIMInstance* instance);
  // UpdateCIMInstMaps for an id the map copies (const std::string&) or takes (std::string&&).
  template <typename Id>
  int FileInstance(CCIMInstance* instance, Id&& id, int category);
  // Appends instance to the instance list; 1, or 0 when the library refuses it. The
  // converter takes the instance over either way.
  int AddToList(CCIMInstance* instance);
  // Stores a result record with one argument, when the utility object is there.
  void RaiseResult(const std::string& code, const std::string& value, const std::string& label);
  // The database's records of kind, or null.
  SrmResourceList::IdMap* Records(SrmResourceType kind);

  // Where every record of the report is made; owned, released with the converter. Null when it
  // could not be had: the records are then made on their own.
  nmspc_cim::CCIMArena* arena_ = nullptr;
  SrmResourceDatabase* database_ = nullptr;  // borrowed
  CCIMList* instance_list_ = nullptr;        // handed to the caller by GetReport
  std::string system_name_;
  std::string system_id_;
  std::forward_list<std::string> kept_system_ids_;  // KeptSystemId's copies, newest first
  std::map<std::string, int> disk_chunk_set_;
  std::map<std::string, std::string, std::less<>> kind_class_map_;
  SrmResourceList::IdMap* volume_managers_ = nullptr;  // borrowed from the database
  // The filed instances under their ids, one map per category (0 and 1 share map 1). Hashed:
  // the passes look ids up far more often than GetReport lists them, which sorts them then.
  std::unordered_map<std::string, CCIMInstance*> category_maps_[10];
  // The associations in the order they were built, each with its key in association_keys_;
  // GetReport lists them in key order, the first one built under a key and no other (a vector
  // sorted once costs less than a tree kept in order all along). The whole key is the map key,
  // a NUL, the association's class name, a NUL and the two end categories: the class name is
  // the association's own, the rest kept in association_keys_.
  struct FiledAssociation {
    const char* key;  // its length (4 bytes), the map key, a NUL and the categories
    CCIMInstance* association;
  };
  std::vector<FiledAssociation> associations_;
  // The whole keys of entries a and b compared as texts: <0, 0 or >0.
  static int CompareKeys(const FiledAssociation& a, const FiledAssociation& b);
  // The texts of the keys, in blocks that are filled in turn: a text that grows by doubling
  // would hold up to twice what it keeps.
  std::vector<std::unique_ptr<char[]>> association_keys_;
  char* key_room_ = nullptr;  // the free room of the last block: [key_room_, key_room_end_)
  char* key_room_end_ = nullptr;
  // The recipe CreateAssociation fills, kept so that its room is reused.
  std::vector<RM_PropertyRecipe> association_recipe_;
  // What the converter did with each instance it met, kept in the instance's mark
  // (cim_setInstanceMark): 0 never met, kListedMark in the list (the share pass adds its own),
  // any other n held (built here and not yet in the list) as held_[n - 1].
  static constexpr long kListedMark = -1;
  bool IsHeld(const CCIMInstance* instance) const {
    return nmspc_cim::cim_getInstanceMark(instance) > 0;
  }
  // The instances taken over, in that order; an entry is null once its instance is listed.
  std::vector<CCIMInstance*> held_;
  std::string provider_name_;
  ProviderUtil* utility_ = nullptr;  // borrowed
};

#endif  // RESDB_REPORT_QDX_REPORT_H_
