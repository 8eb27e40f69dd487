// SrmVolumeGroup: the record of a volume group (a disk group): a named set of disks and of the
// volumes carved from them, with capacity, status and the volume manager that runs it. It owns
// its two child lists (one reference per child); its database link is borrowed. A full tuple
// is followed by one reference tuple per disk, then per volume, which deserialize reads back
// through the database's tuple reader. A State element is ORed into the flags. An OSystem
// element names the computer the group belongs to; it is read, never written. Reference
// counted.
#ifndef RESDB_KINDS_VOLUME_GROUP_H_
#define RESDB_KINDS_VOLUME_GROUP_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kinds/volume_manager_link.h"
#include "model/record_codec.h"
#include "model/srm_resource.h"
#include "model/srm_resource_list.h"

class SrmVolumeManager;

class SrmVolumeGroup : public SrmResource {
 public:
  SrmVolumeGroup();
  explicit SrmVolumeGroup(SrmResourceDatabase* db);  // linked to db
  explicit SrmVolumeGroup(const std::string& name);  // Id = name

  // Merges a newer group's volume and disk lists into this one's, and takes its free space and
  // capacity only where this group has none (less than 1). Name, status, the volume manager
  // and the flags stay. Marks other merged. 0 for a null other or another kind; 1 (nothing
  // changed) when other is already merged or is this group.
  int mergeResource(SrmResource* other) override;
  // Full tuple followed by the reference tuples of the disks, then of the volumes (each in Id
  // order), or only the reference tuple (Type, Id) with flags bit 1. 0 without a database, on
  // a short write, or when a child reference fails to write.
  int serialize(int fd, int flags) override;
  // Reads the tuple, then the DiskCount disk and VolumeCount volume references that follow it;
  // disks and volumes the database lacks are created there. Everything announced is read, and
  // it is linked (and the group handed to its OSystem computer) only when all of it resolves:
  // otherwise 0 is returned and neither the group nor the database has changed through the
  // references (a negative count counts as none). 0 as well for a null tuple, or for announced
  // references without a database or reader.
  int deserialize(int fd, CSRMReportTuple* tuple) override;

  // A negative size returns 0 and changes nothing; otherwise sets the field and returns 1.
  int setCapacity(int64_t kb);
  int setFreeSpace(int64_t kb);

  // Store r in the volume or disk list, taking a reference. 0 without the list or for r the
  // list refuses (null, no kind, empty Id).
  int addVolume(SrmResource* r);
  int addDisk(SrmResource* r);
  // Drop the entry stored under r's Id. 0 without the list or for null r.
  int removeVolume(SrmResource* r);
  int removeDisk(SrmResource* r);
  // Drops both child lists (and the references they hold); the group has no lists afterwards.
  // The database calls it before releasing its own references.
  void releaseChildren();

  // As the volume's: links the database's volume manager whose IdType is id read as an integer.
  void setVolumeMgrId(std::string_view id);

  SrmResourceList* getVolumeList() { return volumes_.get(); }
  SrmResourceList* getDiskList() { return disks_.get(); }
  SrmVolumeManager* getVolumeManagerRecord() const { return volume_manager_.manager(); }
  const std::string& getVolumeManager() const { return volume_manager_.id(); }
  const SrmText& getName() const { return name_; }
  void setName(std::string_view name) { assignText(&name_, name); }
  int64_t getCapacityKB() const { return capacity_kb_; }
  int64_t getFreeSpaceKB() const { return free_space_kb_; }
  int32_t getStatus() const { return status_; }
  void setStatus(int32_t status) { status_ = status; }
  const SrmText& getStatusDesc() const { return status_desc_; }
  void setStatusDesc(std::string_view desc) { assignText(&status_desc_, desc); }

 protected:
  ~SrmVolumeGroup() override = default;

 private:
  static const SrmRecordCodec<SrmVolumeGroup>& codec();
  // The closing steps: reads the announced references and links them when all resolve.
  int readReferences(int64_t disk_count, int64_t volume_count);
  // Hands the group to each computer named by an OSystem element.
  void attachToComputers(const std::vector<std::string>& computer_ids);

  std::unique_ptr<SrmResourceList> volumes_;  // owned; one reference per volume
  std::unique_ptr<SrmResourceList> disks_;    // owned; one reference per disk
  SrmVolumeManagerLink volume_manager_;       // the manager record and its VolumeManager text
  SrmText name_;
  int64_t capacity_kb_ = 0;    // never negative
  int64_t free_space_kb_ = 0;  // never negative
  int32_t status_ = 0;
  SrmText status_desc_;
};

#endif  // RESDB_KINDS_VOLUME_GROUP_H_
