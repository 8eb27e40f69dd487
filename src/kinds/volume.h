// SrmVolume: the record of one logical volume: name, type, status, capacity, management
// addresses, the disk chunks it is built from, the sub-volumes it is made of and the volume
// manager that runs it. It owns its two child lists (one reference per child); its database
// link is borrowed. A full tuple is followed by one reference tuple per chunk, then per
// sub-volume, which deserialize reads back through the database's tuple reader. A State
// element is ORed into the flags. Reference counted.
//
// Sub-volume lists may form cycles (a volume listing itself, or volumes listing each other):
// nothing here walks them without a visited set, and releaseChildren() breaks such a cycle so
// that the database can free it.
#ifndef RESDB_KINDS_VOLUME_H_
#define RESDB_KINDS_VOLUME_H_

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>

#include "kinds/volume_manager_link.h"
#include "model/record_codec.h"
#include "model/srm_resource.h"
#include "model/srm_resource_list.h"

class SrmVolumeManager;

class SrmVolume : public SrmResource {
 public:
  // HierType values.
  static constexpr int32_t kHierParent = 1;     // a volume that has sub-volumes
  static constexpr int32_t kHierSubVolume = 4;  // a volume listed by another

  SrmVolume();
  explicit SrmVolume(SrmResourceDatabase* db);  // linked to db
  explicit SrmVolume(const std::string& name);  // Id = volumeKey = name

  // Folds the set fields of a newer volume into this one (Status carries its StatusDesc along,
  // HierType stays 4 once 4) and merges its chunk and sub-volume lists into this one's. Name,
  // volumeKey, the volume manager and the flags stay. Marks other merged. 0 for a null other or
  // another kind; 1 (nothing changed) when other is already merged or is this volume.
  int mergeResource(SrmResource* other) override;
  // Full tuple followed by the reference tuples of the chunks, then of the sub-volumes (each in
  // Id order), or only the reference tuple (Type, Id) with flags bit 1. 0 without a database,
  // on a short write, or when a child reference fails to write.
  int serialize(int fd, int flags) override;
  // Reads the tuple, then the DiskChunkCount + SubVolumeCount references that follow it. A
  // chunk must be in the database; a sub-volume the database lacks is created there. The
  // references are linked only when all announced ones resolve: otherwise 0 is returned and
  // neither this volume nor the database has changed through them (a negative count counts as
  // none). 0 as well for a null tuple, or for announced references without a database or
  // reader.
  int deserialize(int fd, CSRMReportTuple* tuple) override;

  // A negative size returns 0 and changes nothing; otherwise sets the field and returns 1.
  int setCapacity(int64_t kb);
  int setFreeSpace(int64_t kb);

  // Stores a disk chunk, taking a reference. 0 without a chunk list, for null r or another kind.
  int addDiskChunk(SrmResource* r);
  // Stores a volume as a sub-volume, taking a reference; r's HierType becomes 4, this volume's
  // 1 unless it is 4. 0 without a sub-volume list, for null r or another kind.
  int addSubVolume(SrmResource* r);
  // Drop the entry stored under r's Id. 0 without the list, for null r or another kind.
  int removeDiskChunk(SrmResource* r);
  int removeSubVolume(SrmResource* r);
  // Merge another list into the chunk or sub-volume list; records taken over keep this
  // volume's database link. 0 for a null list or without the list.
  int mergeDiskChunkList(SrmResourceList* list);
  int mergeSubVolumeList(SrmResourceList* list);
  // Drops both child lists (and the references they hold); the volume has no lists afterwards.
  // The database calls it on every volume before releasing its own references, so volumes that
  // hold each other are freed too.
  void releaseChildren();
  // Drops the sub-volume list alone, the one link by which volumes can hold each other: what a
  // database ending breaks in the volumes only it and they still hold, which all go next.
  void releaseSubVolumes();

  // Links the volume manager whose IdType is id read as an integer, among the database's; without
  // a database or a match nothing changes.
  void setVolumeMgrId(std::string_view id);

  SrmResourceList* getDiskChunkList() { return disk_chunks_; }
  SrmResourceList* getSubVolumeList() { return sub_volumes_; }
  SrmVolumeManager* getVolumeManagerRecord() const { return volume_manager_.manager(); }
  const std::string& getVolumeManager() const { return volume_manager_.id(); }
  const SrmText& getVolumeKey() const { return volume_key_; }
  void setVolumeKey(std::string_view key) { assignText(&volume_key_, key); }
  const SrmText& getName() const { return name_; }
  void setName(std::string_view name) { assignText(&name_, name); }
  int32_t getVolumeType() const { return volume_type_; }
  void setVolumeType(int32_t type) { volume_type_ = type; }
  const SrmText& getVolumeTypeDesc() const { return volume_type_desc_; }
  void setVolumeTypeDesc(std::string_view desc) { assignText(&volume_type_desc_, desc); }
  int32_t getStatus() const { return status_; }
  void setStatus(int32_t status) { status_ = status; }
  const SrmText& getStatusDesc() const { return status_desc_; }
  void setStatusDesc(std::string_view desc) { assignText(&status_desc_, desc); }
  int32_t getHierType() const { return hier_type_; }
  void setHierType(int32_t type) { hier_type_ = type; }
  const SrmText& getMgmtURL() const { return mgmt_url_; }
  void setMgmtURL(std::string_view url) { assignText(&mgmt_url_, url); }
  const SrmText& getDisplayMgmtURL() const { return display_mgmt_url_; }
  void setDisplayMgmtURL(std::string_view url) { assignText(&display_mgmt_url_, url); }
  int64_t getCapacityKB() const { return capacity_kb_; }
  int64_t getFreeSpaceKB() const { return free_space_kb_; }

 protected:
  ~SrmVolume() override = default;

 private:
  static const SrmRecordCodec<SrmVolume>& codec();
  // The closing steps: reads count references and links them when they match the announced
  // chunk and sub-volume counts.
  int readReferences(int64_t chunk_count, int64_t sub_count);

  // The child lists, one reference per chunk or sub-volume, live inside the volume (no
  // allocation of their own); the pointers to them are what the volume answers, null once
  // releaseChildren (or, for the sub-volumes, releaseSubVolumes) has emptied and dropped them.
  SrmResourceList chunk_list_{nullptr, SrmResourceList::KindRoom::kFirstRecordStore};
  SrmResourceList sub_volume_list_{nullptr, SrmResourceList::KindRoom::kFirstRecordStore};
  SrmResourceList* disk_chunks_ = &chunk_list_;
  SrmResourceList* sub_volumes_ = &sub_volume_list_;
  SrmText volume_key_;  // a copy of the Id
  SrmText name_;
  SrmVolumeManagerLink volume_manager_;  // the manager record and its VolumeManager text
  int32_t volume_type_ = 0;
  SrmText volume_type_desc_;
  int32_t status_ = 0;
  SrmText status_desc_;
  int32_t hier_type_ = 0;  // kHierParent, kHierSubVolume or 0
  SrmText mgmt_url_;
  SrmText display_mgmt_url_;
  int64_t capacity_kb_ = 0;    // never negative
  int64_t free_space_kb_ = 0;  // never negative
};

// Visits root and the volumes reachable from it through sub-volume lists, each after all of
// its own sub-volumes (taken in Id order), root last. A volume whose Id is in *entered is
// neither visited nor entered again; every other volume's Id is entered before its sub-volumes
// are, so a volume listing itself or a cycle of volumes ends the walk instead of looping. visit
// returns 0 to stop; the walk then returns 0, otherwise 1. Iterative, so any depth is safe;
// visit must not change sub-volume lists. A null entered starts from an empty set.
int SrmVisitVolumesDepthFirst(SrmVolume* root, std::set<std::string>* entered,
                              const std::function<int(SrmVolume*)>& visit);

#endif  // RESDB_KINDS_VOLUME_H_
