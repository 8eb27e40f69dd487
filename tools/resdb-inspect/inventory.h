// Inventory: one input of resdb-inspect, loaded into a database of the library. A scan folder
// is replayed as the scan replay tool replays it (one add method per tuple file, in the
// documented order, then resolveDatabase); a serialized database (what serialize writes) is
// loaded as it was written. Which of the two a path holds is told by its content. Owns the
// database and, when asked for, the trace of a resolution that explains withdrawn records.
#ifndef RESDB_TOOLS_INSPECT_INVENTORY_H_
#define RESDB_TOOLS_INSPECT_INVENTORY_H_

#include <memory>
#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "withdrawal_trace.h"

class Progress;

// How the tool names a record kind: in its output ("file system"), on its command line
// ("file-system"), and in tuple text ("FileSystem").
struct KindName {
  SrmResourceType kind;
  const char* name;
  const char* token;
  const char* type;
};
// Every kind, in the order the tool lists them.
const std::vector<KindName>& Kinds();
// The name of kind ("disk").
const char* KindNameOf(SrmResourceType kind);
// The kind a command-line token or tuple Type names (case ignored); SRM_NO_TYPE for none.
SrmResourceType KindOfToken(const std::string& token);

class Inventory {
 public:
  Inventory() = default;
  Inventory(const Inventory&) = delete;
  Inventory& operator=(const Inventory&) = delete;

  // Loads path. With trace, also records why each record is withdrawn: a scan's own
  // resolution, or for a database a resolution run again on a second copy of it. False with
  // a one-line *error naming the file (and the line, where there is one) when path is missing
  // or unreadable, a folder holds unknown file names or no tuple file, or the input is
  // neither a scan nor a whole serialized database.
  bool Load(const std::string& path, bool trace, Progress* progress, std::string* error);

  SrmResourceDatabase* db() { return &db_; }
  bool is_scan() const { return is_scan_; }
  const std::string& path() const { return path_; }
  // Present after a Load with trace.
  const WithdrawalTrace* trace() const { return trace_.get(); }
  // The records of kind in Id order, or null when there are none.
  const SrmResourceList::IdMap* Records(SrmResourceType kind);
  SrmResource* Find(const RecordKey& key) { return db_.findResource(key.first, key.second); }
  SrmResource* Find(SrmResourceType kind, std::string_view id) {
    return db_.findResource(kind, id);
  }

 private:
  bool LoadScan(const std::string& folder, Progress* progress, std::string* error);
  bool LoadDatabase(const std::string& file, Progress* progress, std::string* error);

  SrmResourceDatabase db_;
  std::unique_ptr<WithdrawalTrace> trace_;
  std::string path_;
  bool is_scan_ = false;
};

// The error filed with exactly this description, or null.
const SrmError* FindFiledError(SrmResourceDatabase* db, const std::string& description);
// "description (error 22, severity 2)".
std::string DescribeError(const SrmError& error);

#endif  // RESDB_TOOLS_INSPECT_INVENTORY_H_
