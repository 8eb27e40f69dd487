// Cluster service groups: each virtual server is tied to the disks, volumes, disk groups,
// shares and file systems its service group (and the groups it depends on) holds, using the
// instances the earlier passes filed.
#include <string>

#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "kinds/disk.h"
#include "providerutil.h"
#include "report/qdx_report.h"
#include "report/report_log.h"
#include "report/rm_cim_report.h"

namespace {

constexpr char kFunction[] = "Get_ServiceGroup_Instances";

// The members of one kind a service group depends on, gathered into a list of its own that
// holds a reference on each for the length of the pass.
class DependantList {
 public:
  DependantList(SrmServiceGroup* group, SrmResourceType kind) : kind_(kind) {
    group->getDependantResourceList(&list_, kind);
  }
  // Id order; null when there are none.
  SrmResourceList::IdMap* records() { return list_.getSrmResourceIdMap(kind_); }

 private:
  SrmResourceType kind_;
  SrmResourceList list_;  // no database: the members' own links stay as they are
};

}  // namespace

int QDX_Report::Get_ServiceGroup_Instances() {
  const SrmResourceDatabase::ServiceGroupMap& groups = database_->getServiceGroups();
  if (groups.empty()) {
    report_log::Log(PRV_LOG_INFO, kFunction, "No Service Groups found.");
    return 1;
  }
  for (const auto& group_entry : groups) {
    SrmServiceGroup* group = group_entry.second;
    SrmResourceList::IdMap* servers = nullptr;
    if (group == nullptr || group->getVirtualServerList(&servers) == 0) continue;

    DependantList disks(group, SRM_DISK);
    DependantList volumes(group, SRM_VOLUME);
    DependantList volume_groups(group, SRM_VOLUMEGROUP);
    DependantList shares(group, SRM_SHARE);
    DependantList mount_points(group, SRM_MOUNTPOINT);

    for (const auto& server_entry : *servers) {
      SrmResource* server = server_entry.second;
      if (server->getType() != SRM_VIRTUALSERVER) return 0;
      if (!server->shouldVirtualReport()) continue;
      std::string server_id = DecodeQDXID(server->getId());
      if (FindCIMInstance(server_id, kSystems) == nullptr) continue;

      // Each member of kind whose report flag is set gets its associations from link, which
      // answers as LinkInstances does: a member not filed is skipped, 0 ends the pass, and so
      // does a member of another kind.
      auto each_member = [&](DependantList& members, SrmResourceType kind, auto link) {
        SrmResourceList::IdMap* records = members.records();
        if (records == nullptr) return true;
        for (const auto& entry : *records) {
          SrmResource* member = entry.second;
          if (member->getType() != kind) return false;
          if (member->shouldReport() && link(member) == 0) return false;
        }
        return true;
      };
      // The server as first end, the member (filed in category) as second.
      auto simple = [this, &server_id](const char* class_name, int key_count,
                                       const char* const* keys, const char* server_role,
                                       const char* member_role, int category) {
        return [this, class_name, key_count, keys, server_role, member_role, category,
                server_id](SrmResource* member) {
          std::string id = DecodeQDXID(member->getId());
          return LinkInstances(class_name, key_count, keys, {server_role, server_id, kSystems},
                               {member_role, id, category}, MapKey{server_id, id});
        };
      };
      auto disk_links = [&](SrmResource* member) {
        std::string id = DecodeQDXID(member->getId());
        int linked =
            LinkInstances("CIM_SystemDevice", rm_grppart_asso_keys_count, rm_grppart_asso_keys,
                          {"GroupComponent", server_id, kSystems}, {"PartComponent", id, kDisks},
                          MapKey{server_id, id, "SystemDevice"});
        if (linked != 1) return linked;
        return LinkInstances("Tavrix_RM_PathToDisk", rm_grppart_asso_keys_count,
                             rm_grppart_asso_keys, {"GroupComponent", server_id, kSystems},
                             {"PartComponent", id, kDisks}, MapKey{server_id, id, "PathToDisk"},
                             {{"PathName", std::string(static_cast<SrmDisk*>(member)->getName()),
                               nmspc_cim::CIM_STRING}});
      };
      // A mount point stands for the file system registered under its Id.
      auto file_system_link = [&](SrmResource* member) {
        SrmResource* fs = database_->findGlobalResource(SRM_FILESYSTEM, member->getId());
        if (fs == nullptr) return -1;
        std::string id = DecodeQDXID(fs->getId());
        return LinkInstances("CIM_HostedFileSystem", rm_grppart_asso_keys_count,
                             rm_grppart_asso_keys, {"GroupComponent", server_id, kSystems},
                             {"PartComponent", id, kFileSystems}, MapKey{server_id, id});
      };

      if (!each_member(disks, SRM_DISK, disk_links)) return 0;
      report_log::Log(PRV_LOG_INFO, kFunction, "Successfully created Disk CIM Associations");
      if (!each_member(volumes, SRM_VOLUME,
                       simple("CIM_SystemDevice", rm_grppart_asso_keys_count, rm_grppart_asso_keys,
                              "GroupComponent", "PartComponent", kVolumes))) {
        return 0;
      }
      report_log::Log(PRV_LOG_INFO, kFunction, "Successfully created Volume CIM Associations");
      if (!each_member(
              volume_groups, SRM_VOLUMEGROUP,
              simple("Tavrix_RM_SystemDiskGroup", rm_grppart_asso_keys_count, rm_grppart_asso_keys,
                     "GroupComponent", "PartComponent", kDiskGroups))) {
        return 0;
      }
      if (!each_member(shares, SRM_SHARE,
                       simple("CIM_HostedShare", rm_antdep_asso_keys_count, rm_antdep_asso_keys,
                              "Antecedent", "Dependent", kShares))) {
        return 0;
      }
      if (!each_member(mount_points, SRM_MOUNTPOINT, file_system_link)) return 0;
    }
  }
  return 1;
}
