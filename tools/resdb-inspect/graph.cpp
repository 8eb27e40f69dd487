// graph: the inventory in the DOT language. Nodes are the host, disks, chunks, volumes
// (sub-volumes drawn inside their parent's box), volume groups, file systems, mount points,
// shares and service groups; an edge runs from what a record rests on to the record, as the
// report associates them. Withdrawn records are dashed and grey, their chain as tooltip; the
// errors are listed in a legend.
#include <map>
#include <set>
#include <sstream>

#include "commands.h"
#include "db/srm_service_group.h"
#include "kinds/computer.h"
#include "kinds/disk_chunk.h"
#include "kinds/file_system.h"
#include "kinds/mount_point.h"
#include "kinds/share.h"
#include "kinds/volume.h"
#include "kinds/volume_group.h"

namespace {

// text as the inside of a DOT string.
std::string Quote(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    if (c == '\n') {
      quoted += "\\n";
    } else {
      quoted += c;
    }
  }
  return quoted + '"';
}

std::string NodeId(SrmResourceType kind, std::string_view id) {
  return Quote(std::string(KindNameOf(kind)).append(":").append(id));
}

class GraphWriter {
 public:
  explicit GraphWriter(Inventory* inventory) : inventory_(inventory) {}

  std::string Write() {
    SrmResourceDatabase* db = inventory_->db();
    db->getThisComputer();
    out_ << "digraph inventory {\n"
         << "  graph [rankdir=LR, fontname=\"Helvetica\", label=" << Quote(db->getHostName())
         << ", labelloc=t];\n"
         << "  node [shape=box, style=rounded, fontname=\"Helvetica\", fontsize=10];\n"
         << "  edge [color=\"#555555\"];\n";
    for (SrmResourceType kind : {SRM_COMPUTER, SRM_DISK, SRM_DISKCHUNK, SRM_VOLUMEGROUP,
                                 SRM_FILESYSTEM, SRM_MOUNTPOINT, SRM_SHARE}) {
      ForEach(kind, [&](SrmResource* r) { Node(r, "  "); });
    }
    Volumes();
    Edges();
    ServiceGroups();
    Legend();
    out_ << "}\n";
    return out_.str();
  }

 private:
  template <class Visit>
  void ForEach(SrmResourceType kind, Visit visit) {
    if (const SrmResourceList::IdMap* records = inventory_->Records(kind)) {
      for (const auto& entry : *records) visit(entry.second);
    }
  }

  template <class Visit>
  static void ForEachIn(SrmResourceList* list, SrmResourceType kind, Visit visit) {
    const SrmResourceList::IdMap* map = list ? list->getSrmResourceIdMap(kind) : nullptr;
    if (map == nullptr) return;
    for (const auto& entry : *map) visit(entry.second);
  }

  void Node(SrmResource* r, const char* indent) {
    out_ << indent << NodeId(r->getType(), r->getId()) << " [label="
         << Quote(std::string(KindNameOf(r->getType())).append("\n").append(r->getId()));
    if (!r->shouldReport()) {
      out_ << ", style=\"rounded,dashed\", color=grey, fontcolor=grey, tooltip="
           << Quote(WithdrawalChain(inventory_, {r->getType(), r->getId().str()}));
    }
    out_ << "];\n";
  }

  // A volume with sub-volumes is drawn as a box holding it and them.
  static const SrmResourceList::IdMap* SubVolumes(SrmResource* volume) {
    SrmResourceList* subs = static_cast<SrmVolume*>(volume)->getSubVolumeList();
    const SrmResourceList::IdMap* map = subs ? subs->getSrmResourceIdMap(SRM_VOLUME) : nullptr;
    return map != nullptr && !map->empty() ? map : nullptr;
  }

  void Volumes() {
    ForEach(SRM_VOLUME, [&](SrmResource* volume) {
      if (const SrmResourceList::IdMap* subs = SubVolumes(volume)) {
        for (const auto& sub : *subs) sub_volumes_.emplace(sub.first);
      }
    });
    ForEach(SRM_VOLUME, [&](SrmResource* volume) {
      if (!sub_volumes_.count(volume->getId().view())) Volume(volume, "  ");
    });
  }

  void Volume(SrmResource* volume, const std::string& indent) {
    if (!drawn_.emplace(volume->getId()).second) return;  // sub-volumes that loop
    const SrmResourceList::IdMap* subs = SubVolumes(volume);
    if (subs == nullptr) return Node(volume, indent.c_str());
    out_ << indent << "subgraph cluster_" << clusters_++ << " {\n"
         << indent << "  style=dotted;\n"
         << indent << "  label=\"\";\n";
    Node(volume, (indent + "  ").c_str());
    for (const auto& sub : *subs) {
      const std::string_view sub_id(sub.first);
      SrmResource* stored = inventory_->Find(SRM_VOLUME, sub_id);
      if (stored == nullptr) continue;
      Volume(stored, indent + "  ");
      Edge(SRM_VOLUME, sub_id, volume);
    }
    out_ << indent << "}\n";
  }

  void Edge(SrmResourceType from_kind, std::string_view from_id, SrmResource* to) {
    if (inventory_->Find(from_kind, from_id) == nullptr) return;
    out_ << "  " << NodeId(from_kind, from_id) << " -> " << NodeId(to->getType(), to->getId())
         << ";\n";
  }

  void Edges() {
    const std::string host = inventory_->db()->getHostName();
    SrmResource* computer = inventory_->db()->getThisComputer();
    const std::string host_id = computer ? computer->getId().str() : host;
    ForEach(SRM_DISK, [&](SrmResource* disk) { Edge(SRM_COMPUTER, host_id, disk); });
    ForEach(SRM_DISKCHUNK, [&](SrmResource* chunk) {
      Edge(SRM_DISK, static_cast<SrmDiskChunk*>(chunk)->getDisk(), chunk);
    });
    ForEach(SRM_VOLUME, [&](SrmResource* volume) {
      ForEachIn(static_cast<SrmVolume*>(volume)->getDiskChunkList(), SRM_DISKCHUNK,
                [&](SrmResource* chunk) { Edge(SRM_DISKCHUNK, chunk->getId(), volume); });
    });
    ForEach(SRM_VOLUMEGROUP, [&](SrmResource* r) {
      auto* group = static_cast<SrmVolumeGroup*>(r);
      Edge(SRM_COMPUTER, host_id, group);
      ForEachIn(group->getDiskList(), SRM_DISK, [&](SrmResource* disk) {
        if (SrmResource* d = inventory_->Find(SRM_DISK, disk->getId()))
          Edge(SRM_VOLUMEGROUP, group->getId(), d);
      });
      ForEachIn(group->getVolumeList(), SRM_VOLUME, [&](SrmResource* volume) {
        if (SrmResource* v = inventory_->Find(SRM_VOLUME, volume->getId()))
          Edge(SRM_VOLUMEGROUP, group->getId(), v);
      });
    });
    // Mount points and shares hang off the file system on their volume, as the report
    // finds it, or off the volume when it holds none.
    std::map<std::string, std::string, std::less<>> fs_on_volume;
    ForEach(SRM_FILESYSTEM, [&](SrmResource* r) {
      const std::string_view volume = static_cast<SrmFileSystem*>(r)->getVolume();
      fs_on_volume.emplace(volume, r->getId());
      Edge(SRM_VOLUME, volume, r);
    });
    auto on_volume = [&](std::string_view volume, SrmResource* r) {
      auto fs = fs_on_volume.find(volume);
      if (fs != fs_on_volume.end()) {
        Edge(SRM_FILESYSTEM, fs->second, r);
      } else {
        Edge(SRM_VOLUME, volume, r);
      }
    };
    ForEach(SRM_MOUNTPOINT,
            [&](SrmResource* r) { on_volume(static_cast<SrmMountPoint*>(r)->getVolumeId(), r); });
    ForEach(SRM_SHARE,
            [&](SrmResource* r) { on_volume(static_cast<SrmShare*>(r)->getVolumeId(), r); });
  }

  void ServiceGroups() {
    for (const auto& entry : inventory_->db()->getServiceGroups()) {
      const std::string node = Quote("service group:" + entry.first);
      out_ << "  " << node << " [label=" << Quote("service group\n" + entry.first)
           << ", shape=component];\n";
      SrmResourceList* members = entry.second->getResourceList();
      for (const KindName& k : Kinds()) {
        ForEachIn(members, k.kind, [&](SrmResource* member) {
          if (inventory_->Find(k.kind, member->getId()) == nullptr) return;
          out_ << "  " << node << " -> " << NodeId(k.kind, member->getId()) << " [style=dotted];\n";
        });
      }
    }
  }

  void Legend() {
    std::string text = "errors\\l";
    for (const auto& owner : inventory_->db()->getErrorList()->getAllErrors()) {
      for (const auto& error : owner.second) {
        const std::string line = Quote(owner.first + ": " + DescribeError(*error));
        text += line.substr(1, line.size() - 2) + "\\l";
      }
    }
    if (text == "errors\\l") return;
    out_ << "  legend [shape=note, fontsize=9, label=\"" << text << "\"];\n";
  }

  Inventory* const inventory_;
  std::ostringstream out_;
  std::set<std::string, std::less<>> sub_volumes_;
  std::set<std::string, std::less<>> drawn_;
  int clusters_ = 0;
};

}  // namespace

std::string GraphDot(Inventory* inventory) {
  return GraphWriter(inventory).Write();
}
