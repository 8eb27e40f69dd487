// Whole-database serialization and loading: a header line, every record kind by kind (volumes
// after their sub-volumes), the errors, then the service groups. The counts in the header tie
// the text together and are checked on both sides.
#include <algorithm>
#include <memory>
#include <new>
#include <set>
#include <string_view>
#include <vector>

#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "db/written_ids.h"
#include "kinds/computer.h"
#include "kinds/kind_factory.h"
#include "kinds/virtual_server.h"
#include "kinds/volume.h"
#include "model/tuple_fields.h"
#include "model/tuple_line.h"
#include "tuple/tuple_reader.h"

namespace {

// The order in which kinds are written.
constexpr SrmResourceType kSerializationOrder[] = {
    SRM_DISK,  SRM_DISKCHUNK,     SRM_VOLUMEMANAGER, SRM_VOLUME,   SRM_FILESYSTEM, SRM_MOUNTPOINT,
    SRM_SHARE, SRM_VIRTUALSERVER, SRM_VOLUMEGROUP,   SRM_COMPUTER, SRM_ALIAS};

// Volumes of HierType 4 are sub-volumes: written only through their parents.
constexpr int kSubVolumeHierType = 4;

// Owns a tuple handed out by the reader.
using TuplePtr = std::unique_ptr<CSRMReportTuple>;

// Reads the next tuple into *tuple, made on the first call and reused after that.
unsigned long NextTuple(CSRMReportTupleStreamReader* reader, TuplePtr* tuple) {
  if (!*tuple) tuple->reset(new CSRMReportTuple());
  return reader->ReadNextTuple(tuple->get());
}

// Sets the read position of tuple after a record has read it: where the record left it, but
// never back before the `taken` elements the walk has already taken. A record reads from the
// tuple's start and stops at an element without '='; were the walk sent back there, it would
// meet the same Type element again and load the same record for ever. Returns the position.
size_t ResumeWalk(CSRMReportTuple* tuple, size_t taken) {
  const size_t position = std::max(tuple->getNextIndex(), taken);
  tuple->setNextIndex(position);
  return position;
}

// True when tuple has a State element (read position left at the start).
bool CarriesState(CSRMReportTuple* tuple) {
  bool found = false;
  SrmForEachElementView(tuple, [&found](int key, std::string_view) { found |= key == kKeyState; });
  tuple->resetNext();
  return found;
}

// Writes volume unless a volume of its Id was written already. 1, or 0 when it fails to write.
int WriteVolumeOnce(SrmResource* volume, int fd, int flags, int* written, WrittenIds* done) {
  if (done->contains(volume->getId())) return 1;
  done->insert(volume->getId());
  if (!volume->serialize(fd, flags)) return 0;
  if (written != nullptr) ++*written;
  return 1;
}

// Writes volume after all its sub-volumes, depth first, each Id once (done holds the Ids
// written). The walk keeps its own stack, so a hierarchy of any depth cannot exhaust the call
// stack, and a volume met again on its own path (a cycle of sub-volumes) is not descended into
// a second time. 1, or 0 at the first volume that fails to write.
int WriteVolumes(SrmResource* volume, int fd, int flags, int* written, WrittenIds* done) {
  struct Frame {
    SrmResource* volume;
    std::vector<SrmResource*> children;  // sub-volumes in Id order
    size_t next = 0;
  };
  auto sub_volumes = [](SrmResource* v) -> const SrmResourceList::IdMap* {
    SrmResourceList* subs = static_cast<SrmVolume*>(v)->getSubVolumeList();
    return subs == nullptr ? nullptr : subs->getSrmResourceIdMap(SRM_VOLUME);
  };
  // Most volumes have no sub-volumes: written at once, without a walk.
  const SrmResourceList::IdMap* top_subs = sub_volumes(volume);
  if (top_subs == nullptr || top_subs->empty()) {
    return WriteVolumeOnce(volume, fd, flags, written, done);
  }
  auto make_frame = [&sub_volumes](SrmResource* v) {
    Frame frame{v, {}, 0};
    if (const SrmResourceList::IdMap* map = sub_volumes(v)) {
      for (auto& entry : *map) frame.children.push_back(entry.second);
    }
    return frame;
  };

  std::set<std::string_view> on_path;  // Ids stay in place while the database is written
  std::vector<Frame> stack;
  stack.push_back(make_frame(volume));
  on_path.insert(volume->getId());
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next < top.children.size()) {
      SrmResource* child = top.children[top.next++];
      if (on_path.insert(child->getId()).second) stack.push_back(make_frame(child));
      continue;
    }
    SrmResource* finished = top.volume;
    on_path.erase(finished->getId());
    stack.pop_back();
    if (!WriteVolumeOnce(finished, fd, flags, written, done)) return 0;
  }
  return 1;
}

}  // namespace

// Running out of memory anywhere in a write or a load ends it with code 12 in the last-error
// slot; nothing is rolled back (what was written stays written, what loaded stays loaded).
int SrmResourceDatabase::serialize(int fd, int flags) try {
  if (!attachStream(fd)) return 0;
  adoptUnlinkedRecords();  // records a merged database left behind write through this one
  version = "1.0";

  int expected = error_list_.getErrorCount();
  for (SrmResourceType kind : kSerializationOrder) expected += resource_list_.getTypeCount(kind);
  const int group_count = static_cast<int>(service_groups_.size());

  SrmTupleLine header(&format_buffer_);
  header.addTextAlways(kKeySrmResourceDbVersion, version);
  header.addInteger(kKeyResourceCount, expected);
  header.addTextAlways(kKeyClusterAlias, cluster_alias);
  header.addTextAlways(kKeyClusterId, cluster_id);
  header.addTextAlways(kKeyClusterName, cluster_name);
  header.addTextAlways(kKeyClusterVersion, cluster_version);
  header.addInteger(kKeyMemberCount, member_count);
  header.addInteger(kKeySGCount, group_count);
  if (!header.writeTo(fd)) {
    setErrorInfo(5, "Failed to serialize the database", nullptr);
    return 0;
  }

  int written = 0;
  for (SrmResourceType kind : kSerializationOrder) {
    SrmResourceList::IdMap* records = resource_list_.getSrmResourceIdMap(kind);
    if (records == nullptr) continue;
    if (kind == SRM_VOLUME) {
      WrittenIds done;
      for (auto& entry : *records) {
        if (static_cast<SrmVolume*>(entry.second)->getHierType() == kSubVolumeHierType) continue;
        if (!WriteVolumes(entry.second, fd, flags, &written, &done)) return 0;
      }
      // Sub-volumes no written volume lists (their parent was refused, say) follow, each once.
      for (auto& entry : *records) {
        if (done.contains(entry.first)) continue;
        if (!WriteVolumes(entry.second, fd, flags, &written, &done)) return 0;
      }
      continue;
    }
    for (auto& entry : *records) {
      if (!entry.second->serialize(fd, flags)) return 0;
      ++written;
    }
  }
  written += error_list_.serialize(fd, flags);
  if (written != expected) {
    setErrorInfo(22, "Invalid resource count dumped", nullptr);
    return 0;
  }

  int groups_written = 0;
  for (auto& entry : service_groups_) {
    if (!entry.second->serialize(fd, flags)) return 0;
    ++groups_written;
  }
  if (groups_written != group_count) {
    setErrorInfo(22, "Invalid service group count dumped", nullptr);
    return 0;
  }
  return 1;
} catch (const std::bad_alloc&) {
  setOutOfMemory("Failed to serialize the database");
  return 0;
}

int SrmResourceDatabase::deserialize(int fd, CSRMReportTuple*) try {
  if (!attachStream(fd)) return 0;
  CSRMReportTupleStreamReader* reader = tuple_reader_.get();

  TuplePtr tuple;
  if (NextTuple(reader, &tuple) != CSRM_OK) {
    detachStream(fd);
    setErrorInfo(22, "Failed to get any tuple to deserialize", nullptr);
    return 0;
  }
  int expected_records = 0;
  int expected_groups = 0;
  SrmForEachElement(tuple.get(), [&](int key, const std::string& value) {
    switch (key) {
      case kKeyClusterName:
        cluster_name = value;
        break;
      case kKeyClusterVersion:
        cluster_version = value;
        break;
      case kKeyClusterAlias:
        cluster_alias = value;
        break;
      case kKeyClusterId:
        cluster_id = value;
        break;
      case kKeySrmResourceDbVersion:
        version = value;
        break;
      case kKeyMemberCount:
        member_count = SrmParseInt32(value);
        break;
      case kKeyResourceCount:
        expected_records = SrmParseInt32(value);
        break;
      case kKeySGCount:
        expected_groups = SrmParseInt32(value);
        break;
      default:
        break;
    }
  });

  int loaded = 0;
  for (int consumed = 0; consumed < expected_records; ++consumed) {
    if (NextTuple(reader, &tuple) != CSRM_OK) break;
    // The walk shares the tuple's read position with the records it creates: a record reads
    // the whole tuple, and the walk goes on with whatever it left unread.
    std::string_view element, key, value;
    size_t taken = 0;  // elements the walk has taken, counted from the tuple's start
    while (tuple->getNextElementView(&element) == CSRM_OK) {
      ++taken;
      if (!SrmSplitKeyValueView(element, &key, &value)) break;
      if (SrmResDbGetStringId(key) != kKeyType) continue;
      int type_key = SrmResDbGetStringId(value);
      if (type_key == kKeyError) {
        std::unique_ptr<SrmError> error(new SrmError(this));
        std::string owner;
        const int error_read = error->deserialize(fd, &owner, tuple.get());
        taken = ResumeWalk(tuple.get(), taken);
        if (error_read) {
          if (addError(error.get(), owner)) error.release();
          ++loaded;
        }
        continue;
      }
      SrmResourceType kind = SrmKindOfTypeKey(type_key);
      SrmHeld<SrmResource> record(kind == SRM_NO_TYPE ? nullptr : SrmNewResource(kind));
      if (!record) continue;
      record->setDatabase(this);
      // A written State is the whole flags word the record had: kinds that OR a collected State
      // into their initial flags take it whole here, so that a withdrawn record stays withdrawn.
      if (kind != SRM_ALIAS && CarriesState(tuple.get())) record->setFlags(0);
      SrmComputer* previous_computer = this_computer_;
      if (kind == SRM_COMPUTER) setThisComputer(static_cast<SrmComputer*>(record.get()));
      bool read = false;
      bool kept = false;
      try {
        read = record->deserialize(fd, tuple.get()) != 0;
        taken = ResumeWalk(tuple.get(), taken);
        kept = read && addResource(record.get()) != 0;
      } catch (...) {
        if (this_computer_ == record.get()) this_computer_ = previous_computer;
        throw;
      }
      if (read) ++loaded;
      if (!kept && this_computer_ == record.get()) {
        // A computer that failed to load, or that the list refused (an empty Id), is released
        // below: the link goes back to the computer it replaced.
        this_computer_ = previous_computer;
      }
    }
  }
  if (loaded != expected_records) {
    setErrorInfo(22, "Failed to deserialize required number of resources", nullptr);
    return 0;
  }

  int groups_loaded = 0;
  for (int consumed = 0; consumed < expected_groups; ++consumed) {
    if (NextTuple(reader, &tuple) != CSRM_OK) break;
    std::string name;
    std::string_view element, key, value;
    tuple->resetNext();
    while (tuple->getNextElementView(&element) == CSRM_OK) {
      if (!SrmSplitKeyValueView(element, &key, &value)) break;
      int id = SrmResDbGetStringId(key);
      if (id == kKeyId) name.assign(value.data(), value.size());
      if (id == kKeyType && SrmResDbGetStringId(value) != kKeyServiceGroup) {
        name.clear();
        break;
      }
    }
    if (name.empty()) continue;
    if (SrmServiceGroup* existing = findServiceGroup(name)) {
      groups_loaded += existing->deserialize(fd, tuple.get());
      continue;
    }
    SrmHeld<SrmServiceGroup> group(new SrmServiceGroup(name));
    group->setDatabase(this);
    group->getResourceList()->setDb(this);
    group->deserialize(fd, tuple.get());
    groups_loaded += addServiceGroup(group.get());
  }
  detachStream(fd);
  // Virtual servers come before the groups they name: they take them now.
  if (SrmResourceList::IdMap* servers = resource_list_.getSrmResourceIdMap(SRM_VIRTUALSERVER)) {
    for (auto& entry : *servers)
      static_cast<SrmVirtualServer*>(entry.second)->linkPendingServiceGroup();
  }
  if (groups_loaded != expected_groups) {
    setErrorInfo(22, "Failed to deserialize required number of service groups", nullptr);
    return 0;
  }
  return 1;
} catch (const std::bad_alloc&) {
  setOutOfMemory("Failed to deserialize the database");
  return 0;
}
