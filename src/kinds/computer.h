// SrmComputer: the record of one host (names, addresses, memory, processors, operating system,
// management addresses, capacity) with the resources that belong to it and the cluster service
// groups it runs. It owns its child list (one reference per child) and its map of service
// groups (one reference per group); its database link is borrowed. A State element replaces
// the flags word. A full tuple is followed by the reference tuples of its children and groups,
// which deserialize reads back through the database's tuple reader. Reference counted.
#ifndef RESDB_KINDS_COMPUTER_H_
#define RESDB_KINDS_COMPUTER_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "model/record_codec.h"
#include "model/srm_resource.h"
#include "model/srm_resource_list.h"

class SrmServiceGroup;

class SrmComputer : public SrmResource {
 public:
  using ServiceGroupMap = std::map<std::string, SrmServiceGroup*>;

  SrmComputer();
  explicit SrmComputer(const std::string& name);  // Id = HostName = name

  // Folds the set fields of a newer computer into this one and merges its child list into this
  // one's; the flags and the service groups stay. Marks other merged. 0 for a null other or
  // another kind; 1 (nothing changed) when other is already merged.
  int mergeResource(SrmResource* other) override;
  // Full tuple followed by one reference tuple per child (by kind, then Id) and per service
  // group (by name), or only the reference tuple (Type, Id) with flags bit 1. 0 without a
  // database, on a short write, or when a child fails to write.
  int serialize(int fd, int flags) override;
  // Reads the tuple, then the ResourceCount child and SGCount group references that follow it
  // through the database's reader: every announced line is consumed as a reference (up to the
  // end of the input). A child reference to a record the database lacks is passed over; groups
  // a reference names that the database lacks are created there. 0 for a null tuple, or for
  // announced references without a database or reader. A TIM of nonzero makes a computer that
  // read the database's own computer.
  int deserialize(int fd, CSRMReportTuple* tuple) override;

  // Stores r (any kind but a computer) among the children, taking a reference. 0 for null r or
  // a computer, else the child list's result.
  int addResource(SrmResource* r);
  // Drops r's entry from the children; 0 for null r, else the child list's result.
  int removeResource(SrmResource* r);
  SrmResourceList* getResourceList() { return resources_.get(); }

  // Files g under its name, taking a reference. 0 for null g or a name already filed.
  int addServiceGroup(SrmServiceGroup* g);
  // Drops and releases the group filed under name. 0 for an empty or unknown name.
  int removeServiceGroup(const std::string& name);
  const ServiceGroupMap& getServiceGroups() const { return service_groups_; }

  // A negative size returns 0 and changes nothing; otherwise sets the field and returns 1.
  int setCapacity(int64_t kb);
  int setFreeSpace(int64_t kb);

  const SrmText& getHostName() const { return host_name_; }
  void setHostName(std::string_view name) { assignText(&host_name_, name); }
  int32_t getRAMMB() const { return ram_mb_; }
  void setRAMMB(int32_t mb) { ram_mb_ = mb; }
  int32_t getSwapMB() const { return swap_mb_; }
  void setSwapMB(int32_t mb) { swap_mb_ = mb; }
  int64_t getAddrSpaceMB() const { return addr_space_mb_; }
  void setAddrSpaceMB(int64_t mb) { addr_space_mb_ = mb; }
  int32_t getProcCount() const { return proc_count_; }
  void setProcCount(int32_t count) { proc_count_ = count; }
  int32_t getProcSpeedMHz() const { return proc_speed_mhz_; }
  void setProcSpeedMHz(int32_t mhz) { proc_speed_mhz_ = mhz; }
  const SrmText& getCPUInfo() const { return cpu_info_; }
  void setCPUInfo(std::string_view info) { assignText(&cpu_info_, info); }
  const SrmText& getHWInfo() const { return hw_info_; }
  void setHWInfo(std::string_view info) { assignText(&hw_info_, info); }
  const SrmText& getOS() const { return os_; }
  void setOS(std::string_view os) { assignText(&os_, os); }
  const SrmText& getOSInfo() const { return os_info_; }
  void setOSInfo(std::string_view info) { assignText(&os_info_, info); }
  const SrmText& getHostId() const { return host_id_; }
  void setHostId(std::string_view id) { assignText(&host_id_, id); }
  const SrmText& getIPAddr() const { return ip_addr_; }
  void setIPAddr(std::string_view addr) { assignText(&ip_addr_, addr); }
  int32_t getLLTId() const { return llt_id_; }
  void setLLTId(int32_t id) { llt_id_ = id; }
  int32_t getNodeId() const { return node_id_; }
  void setNodeId(int32_t id) { node_id_ = id; }
  int32_t getTIM() const { return tim_; }
  void setTIM(int32_t tim) { tim_ = tim; }
  int64_t getCapacityKB() const { return capacity_kb_; }
  int64_t getFreeSpaceKB() const { return free_space_kb_; }
  const SrmText& getMgmtURL() const { return mgmt_url_; }
  void setMgmtURL(std::string_view url) { assignText(&mgmt_url_, url); }
  const SrmText& getDisplayMgmtURL() const { return display_mgmt_url_; }
  void setDisplayMgmtURL(std::string_view url) { assignText(&display_mgmt_url_, url); }

 protected:
  // Releases every service group once, then the child list (and with it its references).
  ~SrmComputer() override;

 private:
  static const SrmRecordCodec<SrmComputer>& codec();
  // The closing steps: read the announced child and group references.
  void readResourceReferences(int count);
  void readServiceGroupReferences(int count);

  std::unique_ptr<SrmResourceList> resources_;  // owned; children, one reference each
  ServiceGroupMap service_groups_;              // one reference per group
  SrmText host_name_;
  int32_t ram_mb_ = 0;
  int32_t swap_mb_ = 0;
  int64_t addr_space_mb_ = 0;
  int32_t proc_count_ = 0;
  int32_t proc_speed_mhz_ = 0;
  SrmText cpu_info_;
  SrmText hw_info_;
  SrmText os_;
  SrmText os_info_;
  SrmText host_id_;
  SrmText ip_addr_;
  int32_t llt_id_ = -1;        // -1: not set
  int32_t node_id_ = -1;       // -1: not set
  int32_t tim_ = 0;            // nonzero: the database's own computer
  int64_t capacity_kb_ = 0;    // never negative
  int64_t free_space_kb_ = 0;  // never negative
  SrmText mgmt_url_;
  SrmText display_mgmt_url_;
};

#endif  // RESDB_KINDS_COMPUTER_H_
