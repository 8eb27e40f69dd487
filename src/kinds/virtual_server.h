// SrmVirtualServer: the record of one cluster virtual server (a logical host that moves
// between nodes): its name, host name, IP address text, port and the service group that
// carries it, on which it holds one reference. It carries no LId (neither written nor read),
// never writes its port, and ORs a State element into its flags. No children. The database
// link is borrowed. Reference counted.
#ifndef RESDB_KINDS_VIRTUAL_SERVER_H_
#define RESDB_KINDS_VIRTUAL_SERVER_H_

#include <cstdint>
#include <string>

#include "model/record_codec.h"
#include "model/srm_resource.h"

class SrmServiceGroup;

class SrmVirtualServer : public SrmResource {
 public:
  SrmVirtualServer();
  explicit SrmVirtualServer(const std::string& name);  // Id = name

  // Copies the non-empty texts and a nonzero port of other, then marks other merged; the
  // service group and the flags stay. 0 for a null other or another kind; 1 (nothing
  // changed) when other is already merged.
  int mergeResource(SrmResource* other) override;
  // Full tuple (with the group's name as ServiceGroup), or the reference tuple (Type, Id) with
  // flags bit 1. 0 without a database or on a short write.
  int serialize(int fd, int flags) override;
  // A ServiceGroup element takes the database's group of that name, if there is one; the name
  // of a group the database does not hold yet is kept for linkPendingServiceGroup. 0 only for
  // a null tuple.
  int deserialize(int fd, CSRMReportTuple* tuple) override;

  // Holds g (taking a reference) in place of the group held so far (released). Null or the
  // group already held changes nothing.
  void setServiceGroup(SrmServiceGroup* g);
  SrmServiceGroup* getServiceGroup() const { return service_group_; }
  // Releases the group held, if any (a group being removed from the database).
  void clearServiceGroup();
  // Takes the database's group of the name read when there was none yet (a serialized
  // database lists its groups after its virtual servers); nothing when there still is none.
  void linkPendingServiceGroup();

  const SrmText& getName() const { return name_; }
  void setName(std::string_view name) { assignText(&name_, name); }
  const SrmText& getIPAddr() const { return ip_addr_; }
  void setIPAddr(std::string_view addr) { assignText(&ip_addr_, addr); }
  const SrmText& getHostName() const { return host_name_; }
  void setHostName(std::string_view name) { assignText(&host_name_, name); }
  int32_t getPort() const { return port_; }
  void setPort(int32_t port) { port_ = port; }

 protected:
  // Releases the service group held.
  ~SrmVirtualServer() override;

 private:
  static const SrmRecordCodec<SrmVirtualServer>& codec();

  SrmServiceGroup* service_group_ = nullptr;  // one reference
  SrmText pending_group_;                     // named by the tuple, not yet in the database
  SrmText name_;
  SrmText ip_addr_;
  SrmText host_name_;
  int32_t port_ = 0;  // read and merged, never written
};

#endif  // RESDB_KINDS_VIRTUAL_SERVER_H_
