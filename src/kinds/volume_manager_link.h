// SrmVolumeManagerLink: how a volume or a volume group names the volume manager that runs it:
// the manager record and the id text it was named by, set together and only when the text
// names a manager of the owner's database. The link holds one reference on the manager, so a
// manager replaced in the database never leaves the link dangling.
#ifndef RESDB_KINDS_VOLUME_MANAGER_LINK_H_
#define RESDB_KINDS_VOLUME_MANAGER_LINK_H_

#include <string>
#include <string_view>

#include "model/srm_resource.h"

class SrmVolumeManager;

class SrmVolumeManagerLink {
 public:
  SrmVolumeManagerLink() = default;
  SrmVolumeManagerLink(const SrmVolumeManagerLink&) = delete;
  SrmVolumeManagerLink& operator=(const SrmVolumeManagerLink&) = delete;
  ~SrmVolumeManagerLink();

  // With owner's database: links the first volume manager (ascending Id) whose IdType equals
  // id read as an integer (atoi), and keeps id as the text. Without a database or a match,
  // nothing changes.
  void set(const SrmResource& owner, std::string_view id);
  // Drops the link (manager and text).
  void clear();

  SrmVolumeManager* manager() const { return manager_; }
  // The id text; empty while no manager is linked.
  const std::string& id() const { return id_; }

 private:
  SrmVolumeManager* manager_ = nullptr;  // one reference
  std::string id_;
};

#endif  // RESDB_KINDS_VOLUME_MANAGER_LINK_H_
