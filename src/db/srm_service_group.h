// SrmServiceGroup: a named cluster service group, the records that fail over together plus a
// link to one child group it depends on. Reference counted; owns its member list (one
// reference per member) and its map of parent links. The child, the parents and the database
// are borrowed links.
#ifndef RESDB_DB_SRM_SERVICE_GROUP_H_
#define RESDB_DB_SRM_SERVICE_GROUP_H_

#include <map>
#include <memory>
#include <string>

#include "model/srm_ref.h"
#include "model/srm_resource.h"
#include "model/srm_resource_list.h"

class CSRMReportTuple;
class SrmResourceDatabase;

class SrmServiceGroup : public SrmRef {
 public:
  SrmServiceGroup();
  explicit SrmServiceGroup(const std::string& name);
  explicit SrmServiceGroup(SrmResourceDatabase* db);

  int addResource(SrmResource* r) { return resources_->addResource(r); }
  int removeAllResources() { return resources_->removeAllResources(); }
  int removeResource(SrmResourceType kind, std::string_view id) {
    return resources_->removeResource(kind, id);
  }

  // The members of one kind (borrowed), or null.
  SrmResourceList::IdMap* getSystemList();
  // Stores the virtual servers' map (or null) in *servers; returns their number.
  int getVirtualServerList(SrmResourceList::IdMap** servers);
  // Merges the members of this group and of every group down its child chain into target
  // (each group visited once, so a cycle of child links ends). 0 for a null target.
  int getDependantResourceList(SrmResourceList* target);
  int getDependantResourceList(SrmResourceList* target, SrmResourceType kind);

  int addParentGroup(SrmServiceGroup* parent);
  // 1 when g is recorded among this group's parents, directly or further up.
  int checkCircDependency(SrmServiceGroup* g);
  // Sets the child once (null clears it, with result 0); the group itself is refused as a
  // circular dependency. See the failure messages recorded in the database's last-error slot.
  int setNextServiceGroup(SrmServiceGroup* g);
  SrmServiceGroup* getNextServiceGroup() const { return child_; }
  // Folds other's members and child into this group. A group of another database gives this
  // group the records and the child of the same kind and Id, and name, in this group's
  // database (a child it lacks is filed there, empty); members it lacks are left out.
  int mergeServiceGroup(SrmServiceGroup* other);
  // 1 when every reported member is filed under its own kind and held by the database.
  int checkIntegrity();
  // Writes the group line (flags bit 1: Type and Id only; bit 2: no member lines).
  int serialize(int fd, int flags);
  // Reads the group line, then its member lines from the database's tuple reader.
  int deserialize(int fd, CSRMReportTuple* tuple);

  const std::string& getName() const { return name_; }
  void setName(const std::string& name) { name_ = name; }
  SrmResourceList* getResourceList() const { return resources_.get(); }
  SrmResourceDatabase* getDatabase() const { return database_; }
  void setDatabase(SrmResourceDatabase* db) { database_ = db; }

 protected:
  ~SrmServiceGroup() override;

 private:
  // The database's group of that name, filed there empty when it has none; null for an empty
  // name or when it cannot be filed. Requires the database link.
  SrmServiceGroup* groupNamed(const std::string& name);

  std::unique_ptr<SrmResourceList> resources_;  // owned members
  std::string name_;
  SrmServiceGroup* child_ = nullptr;                 // borrowed
  SrmResourceDatabase* database_ = nullptr;          // borrowed
  std::map<std::string, SrmServiceGroup*> parents_;  // borrowed links, by name
};

#endif  // RESDB_DB_SRM_SERVICE_GROUP_H_
