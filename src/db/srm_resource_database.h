// SrmResourceDatabase: everything one scan collected. It owns its records (through its two
// resource lists, one reference each), its errors, its service groups (one reference each),
// the global-id maps that match records of the same object across collections, the cluster
// header values, the serialization buffer every record writes its line into, and the stream
// and tuple reader of the collection text being loaded. The link to this computer is borrowed.
// Failing operations return 0 (or null, or an empty string) and record a code (an errno
// number) and a message in the last-error slot; successes do not clear it.
#ifndef RESDB_DB_SRM_RESOURCE_DATABASE_H_
#define RESDB_DB_SRM_RESOURCE_DATABASE_H_

#include <array>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/global_id_table.h"
#include "model/srm_error.h"
#include "model/srm_resource.h"
#include "model/srm_resource_list.h"

class CSRMReportTuple;
class CSRMReportTupleStreamReader;
class CSRMTupleFDStream;
class SrmComputer;
class SrmServiceGroup;

// Told what a resolution does as it does it, for tools that explain its outcome: each whole
// flags word copied from a record to the record resting on it, and each record withdrawn with
// its finding. Read only; a database borrows its watcher.
class SrmResolutionWatcher {
 public:
  virtual ~SrmResolutionWatcher() = default;
  virtual void flagsCopied(const SrmResource& from, const SrmResource& to) = 0;
  virtual void withdrawn(const SrmResource& record, const std::string& finding) = 0;
};

class SrmResourceDatabase {
 public:
  static constexpr int kFormatBufferLength = 2049;
  // The read buffer of an attached collection stream.
  static constexpr int kCollectionBufferSize = 64 * 1024;
  using ServiceGroupMap = std::map<std::string, SrmServiceGroup*>;

  SrmResourceDatabase();
  SrmResourceDatabase(const SrmResourceDatabase&) = delete;
  SrmResourceDatabase& operator=(const SrmResourceDatabase&) = delete;
  // Releases the service groups, the last-error record, both lists (and so every record no one
  // else holds), the errors, the maps and the streams.
  virtual ~SrmResourceDatabase();

  // --- Records ---
  // Links r to this database, files it by kind and Id and enters its global id.
  // 0 with 22 "Add resource failed" for null, 12 "Add resource failed" when the list refuses.
  int addResource(SrmResource* r);
  // addResource for a computer, which also enters the computer list; made this computer when
  // make_current is nonzero. 0 with 22 "Add Computer failed" for another kind.
  int addComputer(SrmComputer* c, int make_current);
  // Hands r to the computer's own child list. 0 with 22 "Invalid Resource Object" when no
  // computer has that Id.
  int addComputerResource(const std::string& computer_id, SrmResource* r);
  SrmResource* findResource(SrmResourceType kind, std::string_view id) const;
  // Finds the record r describes: by r's Id when the stored record's LId agrees, else through
  // the global-id map from r's LId.
  SrmResource* findGlobalResource(SrmResourceType kind, SrmResource* r) const;
  // Finds by gid taken first as an Id, then as a global id.
  SrmResource* findGlobalResource(SrmResourceType kind, std::string_view gid) const;
  // Finds by gid taken as a global id only: the record filed under the Id gid is entered for.
  SrmResource* findByGlobalId(SrmResourceType kind, std::string_view gid) const;
  // Removes the record and, first, what rests on it (service-group memberships, chunk and
  // volume-group links, mount points and shares on it, computers' child entries).
  // 1 when the record was removed from the resource list, 0 when it was not there.
  int removeResource(SrmResourceType kind, std::string_view id);
  int getResourceCount() const;
  // ORs mask into every record, then sets report and virtual report on this computer.
  void setAllResourceState(long mask);
  // Clears mask from every record, then clears report and virtual report on this computer.
  void unsetAllResourceState(long mask);
  SrmResourceList* getResourceList() { return &resource_list_; }
  SrmResourceList* getComputerList() { return &computer_list_; }

  // --- This computer ---
  void setThisComputer(SrmComputer* c);
  // The computer made this one, or null; unlike getThisComputer, no fallback and no record.
  SrmComputer* getCurrentComputer() const { return this_computer_; }
  // Puts back what getCurrentComputer answered (null included), undoing a setThisComputer.
  void restoreThisComputer(SrmComputer* c) { this_computer_ = c; }
  // This computer, or the only computer when none was made current; fills the host name once.
  // Null (with 22 "Not current computer found.") when there are several or none.
  SrmComputer* getThisComputer();
  int isCluster() const { return cluster_type == 4 ? 1 : 0; }
  // The IPAddr of the computer with the lowest LLTId; empty with 12 "Get Lowest LLT node ip
  // failed" when there is no computer or its address is empty.
  std::string getLowestLLTNodeIp();
  const std::string& getHostName() const { return host_name_; }

  // --- Global ids ---
  // Enters gid -> id for disks, volumes, file systems, mount points, volume groups and shares.
  // 0 when either is empty, they are equal, the kind has no map, or gid is already entered.
  int addGlobalId(SrmResourceType kind, std::string_view gid, std::string_view id);
  // 1 with *id set when gid is entered with a non-empty Id.
  int getGlobalId(SrmResourceType kind, const std::string& gid, std::string* id) const;

  // --- Errors ---
  // Files a new error (code, severity, empty texts) under owner. 0 for an empty owner or
  // description, recording nothing.
  int addError(const std::string& owner, const std::string& description, int code, int severity);
  // Files e (ownership passes to the error list on success) under owner. 0 with
  // 12 "Add error failed" for a null error, 22 "Add error failed, invalid error object" for
  // an empty owner or description; e then stays the caller's.
  int addError(SrmError* e, const std::string& owner);
  SrmErrorList* getErrorList() { return &error_list_; }
  // The last-error slot; it holds a reference on r (when not null).
  void setErrorInfo(int code, const std::string& message, SrmResource* r);
  void getLastErrorInfo(int* code, std::string* message, SrmResource** r) const;
  void enableLogging() { logging_enabled_ = true; }

  // --- Collection stream ---
  // Attaches a new descriptor stream and tuple reader over fd (never closed here). 0 with
  // 22 "attach Stream failed" when fd is refused.
  int attachStream(int fd);
  // Drops the stream and reader. 0 with 9 "detach Stream failed" for a negative fd.
  int detachStream(int fd);
  CSRMTupleFDStream* getStreamFD() const { return fd_stream_.get(); }
  CSRMReportTupleStreamReader* getTupleStream() const { return tuple_reader_.get(); }
  // The serialization buffer records assemble their lines in.
  std::string* getFormatBuffer() { return &format_buffer_; }
  // The store its records keep their text in, made on first use. Throws std::bad_alloc.
  SrmTextStore* textStore();

  // --- Service groups ---
  int addServiceGroup(SrmServiceGroup* g);
  SrmServiceGroup* findServiceGroup(const std::string& name) const;
  int removeServiceGroup(const std::string& name);
  int setChildServiceGroup(const std::string& parent, const std::string& child);
  int addServiceGroupResource(const std::string& name, SrmResource* r);
  int removeServiceGroupResource(SrmResource* r);
  int removeAllServiceGroupResources();
  const ServiceGroupMap& getServiceGroups() const { return service_groups_; }

  // --- The whole database ---
  // Writes the header, every record, the errors and the service groups to fd.
  virtual int serialize(int fd, int flags);
  // Loads tuple text read from fd (the tuple argument is not used).
  virtual int deserialize(int fd, CSRMReportTuple* tuple);
  // Validates the disks and carries each record's flags to what rests on it; returns the
  // number of flag copies.
  int resolveDatabase();
  int checkIntegrity();
  int mergeResourceDatabase(SrmResourceDatabase* other);
  // Borrowed; null (the default) watches nothing.
  void setResolutionWatcher(SrmResolutionWatcher* watcher) { watcher_ = watcher; }

  // Cluster header values.
  std::string cluster_alias;
  std::string cluster_id;
  std::string cluster_version;
  std::string cluster_name;
  int cluster_type = 0;
  int member_count = 0;
  std::string version = "1.0";

 private:
  // The global-id table of kind, or null for a kind without one.
  SrmGlobalIdTable* globalIdTable(SrmResourceType kind);
  const SrmGlobalIdTable* globalIdTable(SrmResourceType kind) const;
  // The Id entered for gid, or an empty view when there is none.
  std::string_view globalIdOf(SrmResourceType kind, std::string_view gid) const;
  // Records code 12 with message in the last-error slot without allocating on the way in: the
  // slot is set even while memory is exhausted (the message is then left empty).
  void setOutOfMemory(const char* message) noexcept;
  // Withdraws r from the report: the finding (reason followed by id) goes to the last-error
  // slot and, as a scan error, under the host name; r's report flag is cleared.
  void withdraw(SrmResource* r, std::string_view reason, std::string_view id);
  // Collects the records of kind (in Id order) for which match answers true.
  template <class Match>
  void collect(SrmResourceType kind, Match match, std::vector<std::string>* ids) const;
  // Takes over one reference of a volume or volume group that leaves the database's list
  // while something still holds it (a parent volume, a group, or the record itself through a
  // cycle of sub-volumes): the database breaks its child links when it ends. Other records,
  // and records held by nothing else, are just released.
  void releaseLeaving(SrmResource* leaving);
  // Breaks the child links of a volume or volume group of this database.
  void releaseChildrenOf(SrmResource* r);
  // Drops this database's references on its records (its end). A record something else still
  // holds keeps its child lists and loses its link to this database; volumes held only by each
  // other have their child links broken, so that they are freed.
  void releaseRecords() noexcept;
  // Binds to this database the records it holds whose database has ended (their link null).
  void adoptUnlinkedRecords();

  SrmErrorList error_list_;
  SrmResourceList resource_list_;
  SrmComputer* this_computer_ = nullptr;  // borrowed
  SrmResourceList computer_list_;
  ServiceGroupMap service_groups_;  // one reference each
  // Volumes and volume groups that left resource_list_ still held elsewhere; one reference
  // each (see releaseLeaving).
  std::vector<SrmResource*> departed_containers_;
  std::string host_name_;
  std::string format_buffer_;
  SrmHeld<SrmTextStore> text_store_;  // one reference, the records' own besides
  std::unique_ptr<CSRMTupleFDStream> fd_stream_;
  std::unique_ptr<CSRMReportTupleStreamReader> tuple_reader_;
  // One table per kind, used for disks, volumes, file systems, volume groups, mount points and
  // shares only.
  std::array<SrmGlobalIdTable, SRM_ALIAS + 1> global_ids_;
  int last_error_code_ = 0;
  SrmResource* last_error_resource_ = nullptr;  // one reference
  std::string last_error_message_;
  bool logging_enabled_ = false;
  SrmResolutionWatcher* watcher_ = nullptr;  // borrowed
};

#endif  // RESDB_DB_SRM_RESOURCE_DATABASE_H_
