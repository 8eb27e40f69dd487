// Helpers for the report tests: a small host database built record by record, a converter
// whose maps the tests can read, and readers for the instances, log lines and results the
// report leaves behind.
//
// Ownership: TestDb owns its database; records made through it are handed to the database
// (which keeps the only reference) and returned as borrowed pointers. ReportRun owns its
// converter and the instance list GetReport hands out.
#ifndef RESDB_TESTS_REPORT_REPORT_TEST_UTIL_H_
#define RESDB_TESTS_REPORT_REPORT_TEST_UTIL_H_

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cimapi.h"
#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "kinds/alias_identity.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "kinds/disk_chunk.h"
#include "kinds/file_system.h"
#include "kinds/mount_point.h"
#include "kinds/share.h"
#include "kinds/virtual_server.h"
#include "kinds/volume.h"
#include "kinds/volume_group.h"
#include "kinds/volume_manager.h"
#include "providerutil.h"
#include "report/qdx_report.h"

namespace report_test {

using nmspc_cim::CCIMInstance;
using nmspc_cim::CCIMList;
using nmspc_cim::CCIMProperty;

// Silences the standard-error copy of the log and empties the captured lines and results.
inline void ResetCapture() {
  setenv("RESDB_LOG_STDERR", "0", 1);
  ProviderUtil::setAvailable(true);
  ProviderUtil::clearCaptured();
}

// A database under construction. Each Add* makes a record, files it in the database, drops
// the creator's reference and returns the record (borrowed from the database).
class TestDb {
 public:
  TestDb() : db_(new SrmResourceDatabase()) { ResetCapture(); }
  ~TestDb() { delete db_; }
  TestDb(const TestDb&) = delete;
  TestDb& operator=(const TestDb&) = delete;

  SrmResourceDatabase* db() { return db_; }

  // Files r in the database and drops the creator's reference. Null when the database refused
  // it (r is then gone).
  template <class R>
  R* Add(R* r) {
    int ok = db_->addResource(r);
    r->Release();
    return ok ? r : nullptr;
  }

  // This computer: Id and HostName both host_name; the database's host name becomes it.
  SrmComputer* AddHost(const std::string& host_name) {
    SrmComputer* c = AddComputer(host_name, host_name);
    db_->setThisComputer(c);
    db_->getThisComputer();
    return c;
  }
  // Another computer (a cluster node, or a second candidate for the host).
  SrmComputer* AddComputer(const std::string& id, const std::string& host_name) {
    auto* c = new SrmComputer();
    c->setId(id);
    c->setHostName(host_name);
    int ok = db_->addComputer(c, 0);
    c->Release();
    return ok ? c : nullptr;
  }
  SrmDisk* AddDisk(const std::string& id, const std::string& name) {
    auto* d = new SrmDisk(id);
    d->setName(name);
    return Add(d);
  }
  SrmDiskChunk* AddChunk(const std::string& id, const std::string& disk_id, int64_t start = 0,
                         int64_t length = 0) {
    auto* c = new SrmDiskChunk(id);
    c->setDisk(disk_id);
    c->setDiskChunk(id);
    c->setStartAndLength(start, length);
    return Add(c);
  }
  SrmVolume* AddVolume(const std::string& id, const std::string& name) {
    auto* v = new SrmVolume(db_);
    v->setId(id);
    v->setVolumeKey(id);
    v->setName(name);
    return Add(v);
  }
  SrmVolumeGroup* AddVolumeGroup(const std::string& id, const std::string& name) {
    auto* g = new SrmVolumeGroup(db_);
    g->setId(id);
    g->setName(name);
    return Add(g);
  }
  SrmVolumeManager* AddVolumeManager(const std::string& id, int id_type, const std::string& name,
                                     const std::string& version) {
    auto* m = new SrmVolumeManager(id);
    m->setIdType(id_type);
    m->setVolumeMgrName(name);
    m->setVolumeMgrVersion(version);
    return Add(m);
  }
  SrmFileSystem* AddFileSystem(const std::string& id, const std::string& volume_id) {
    auto* f = new SrmFileSystem(id);
    f->setVolume(volume_id);
    return Add(f);
  }
  SrmMountPoint* AddMountPoint(const std::string& id, const std::string& volume_id) {
    auto* m = new SrmMountPoint(id);
    m->setVolumeId(volume_id);
    return Add(m);
  }
  SrmShare* AddShare(const std::string& id, const std::string& volume_id) {
    auto* s = new SrmShare(id);
    s->setVolumeId(volume_id);
    return Add(s);
  }
  SrmId* AddAlias(const std::string& id, const std::string& primary, const std::string& secondary,
                  const std::string& id_type) {
    auto* a = new SrmId(id);
    a->setPrimaryId(primary);
    a->setSecondaryId(secondary);
    a->setIdType(id_type);
    return Add(a);
  }
  SrmVirtualServer* AddVirtualServer(const std::string& id, const std::string& host_name) {
    auto* v = new SrmVirtualServer(id);
    v->setHostName(host_name);
    return Add(v);
  }
  // A service group filed in the database (which keeps the only reference).
  SrmServiceGroup* AddServiceGroup(const std::string& name) {
    auto* g = new SrmServiceGroup(name);
    int ok = db_->addServiceGroup(g);
    g->Release();
    return ok ? g : nullptr;
  }
  // Marks the database a cluster with the given header values.
  void MakeCluster(const std::string& cluster_name, const std::string& cluster_id,
                   const std::string& alias) {
    db_->cluster_type = 4;
    db_->cluster_name = cluster_name;
    db_->cluster_id = cluster_id;
    db_->cluster_alias = alias;
  }

 private:
  SrmResourceDatabase* db_;
};

// A converter whose maps the tests may read.
class InspectableReport : public QDX_Report {
 public:
  const std::map<std::string, CCIMInstance*>& category(int c) const {
    return category_maps_[c == 0 ? 1 : c];
  }
  // The associations by their ids joined by "~" (without what tells kinds apart).
  std::map<std::string, CCIMInstance*> associations() const {
    std::map<std::string, CCIMInstance*> plain;
    for (const auto& e : associations_)
      plain.emplace(e.first.substr(0, e.first.find('\0')), e.second);
    return plain;
  }
  // The first instance filed under id in category c, or association filed under key; null
  // when there is none. A map key may carry more after a NUL (what tells kinds apart).
  static const CCIMInstance* First(const std::map<std::string, CCIMInstance*>& map,
                                   const std::string& id) {
    auto it = map.lower_bound(id);
    bool hit = it != map.end() && it->first.substr(0, it->first.find('\0')) == id;
    return hit ? it->second : nullptr;
  }
  const CCIMInstance* Filed(int c, const std::string& id) const { return First(category(c), id); }
  const CCIMInstance* Association(const std::string& key) const {
    return First(associations_, key);
  }
  CCIMList* list() const { return instance_list_; }
  // Lets a test set the shared state a pass reads without running the earlier passes.
  void SetDatabase(SrmResourceDatabase* db) { database_ = db; }
  void SetSystem(const std::string& name, const std::string& id) {
    system_name_ = name;
    system_id_ = id;
  }
  using QDX_Report::AddToList;
  using QDX_Report::CreateAssociation;
};

// One report: the converter and the list it hands out (freed at the end).
class ReportRun {
 public:
  ReportRun() : report_(new InspectableReport()) {}
  ~ReportRun() {
    if (list_ != nullptr) nmspc_cim::cim_freeInstanceList(list_);
  }
  ReportRun(const ReportRun&) = delete;
  ReportRun& operator=(const ReportRun&) = delete;

  int Generate(SrmResourceDatabase* db, const std::string& rdb_type = "host") {
    return report_->GenerateCIMReports(db, rdb_type);
  }
  // GetReport's list, kept for the end of the run.
  CCIMList* Report() {
    list_ = report_->GetReport();
    return list_;
  }
  InspectableReport* operator->() { return report_.get(); }
  InspectableReport& report() { return *report_; }

 private:
  std::unique_ptr<InspectableReport> report_;
  CCIMList* list_ = nullptr;
};

// The instances of a list, in order.
inline std::vector<const CCIMInstance*> Instances(const CCIMList* list) {
  std::vector<const CCIMInstance*> out;
  for (const CCIMList* n = list; n != nullptr; n = n->next) {
    if (n->data != nullptr) out.push_back(static_cast<const CCIMInstance*>(n->data));
  }
  return out;
}

inline std::vector<std::string> ClassNames(const CCIMList* list) {
  std::vector<std::string> out;
  for (const CCIMInstance* i : Instances(list)) out.push_back(i->className);
  return out;
}

// The properties of a property or key list, in order.
inline std::vector<const CCIMProperty*> Properties(const CCIMList* props) {
  std::vector<const CCIMProperty*> out;
  for (const CCIMList* n = props; n != nullptr; n = n->next) {
    if (n->data != nullptr) out.push_back(static_cast<const CCIMProperty*>(n->data));
  }
  return out;
}

// The property names of an instance, in the order they were set.
inline std::vector<std::string> PropertyNames(const CCIMInstance* instance) {
  std::vector<std::string> out;
  for (const CCIMProperty* p : Properties(instance->properties)) out.push_back(p->name);
  return out;
}

// The first property called name, or null.
inline const CCIMProperty* FindProperty(const CCIMInstance* instance, const std::string& name) {
  if (instance == nullptr) return nullptr;
  for (const CCIMProperty* p : Properties(instance->properties)) {
    if (name == p->name) return p;
  }
  return nullptr;
}

// The value text of a property, or "<missing>" when there is no such property ("<null>" for a
// property without value).
inline std::string Prop(const CCIMInstance* instance, const std::string& name) {
  const CCIMProperty* p = FindProperty(instance, name);
  if (p == nullptr) return "<missing>";
  return p->value == nullptr ? "<null>" : p->value;
}

// For a reference property: the class of the instance it names, and the value of one of the
// keys of its path ("<missing>" when absent).
inline std::string RefClass(const CCIMInstance* instance, const std::string& role) {
  const CCIMProperty* p = FindProperty(instance, role);
  if (p == nullptr || p->reference == nullptr) return "<missing>";
  return p->reference->className;
}
inline std::string RefKey(const CCIMInstance* instance, const std::string& role,
                          const std::string& key) {
  const CCIMProperty* p = FindProperty(instance, role);
  if (p == nullptr || p->reference == nullptr) return "<missing>";
  for (const CCIMProperty* k : Properties(p->reference->keys)) {
    if (key == k->name) return k->value == nullptr ? "<null>" : k->value;
  }
  return "<missing>";
}

// The captured log lines as "level|function|message".
inline std::vector<std::string> LogLines() {
  std::vector<std::string> out;
  for (const ProviderLogLine& l : ProviderUtil::getLogLines()) {
    out.push_back(std::to_string(l.level) + "|" + l.function + "|" + l.message);
  }
  return out;
}
inline bool Logged(int level, const std::string& function, const std::string& message) {
  std::string want = std::to_string(level) + "|" + function + "|" + message;
  for (const std::string& l : LogLines()) {
    if (l == want) return true;
  }
  return false;
}

// The captured results as "code|value|label" (one argument each; more are joined by "|").
inline std::vector<std::string> ResultLines() {
  std::vector<std::string> out;
  for (const Result& r : ProviderUtil::getResults()) {
    std::string line = r.getCode();
    for (const Result::Arg& a : r.getArgs()) line += "|" + a.value + "|" + a.label;
    out.push_back(line);
  }
  return out;
}
inline bool Raised(const std::string& code, const std::string& value, const std::string& label) {
  std::string want = code + "|" + value + "|" + label;
  for (const std::string& r : ResultLines()) {
    if (r == want) return true;
  }
  return false;
}

}  // namespace report_test

#endif  // RESDB_TESTS_REPORT_REPORT_TEST_UTIL_H_
