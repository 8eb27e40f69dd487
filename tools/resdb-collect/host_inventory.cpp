#include "host_inventory.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>

#include "source_reader.h"

using nlohmann::json;

namespace {

// A member as text: strings as they are, numbers in decimal, true/false as 1/0, else empty.
// Older lsblk and LVM print numbers and flags as strings, newer ones as JSON numbers.
// Strings lose the blanks lsblk pads vendor and model names with.
std::string Text(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end()) return std::string();
  if (it->is_string()) {
    const std::string& text = it->get_ref<const std::string&>();
    const size_t begin = text.find_first_not_of(' ');
    return begin == std::string::npos ? std::string()
                                      : text.substr(begin, text.find_last_not_of(' ') - begin + 1);
  }
  if (it->is_boolean()) return it->get<bool>() ? "1" : "0";
  if (it->is_number()) return it->dump();
  return std::string();
}

int64_t Number(const json& object, const char* key) {
  return std::strtoll(Text(object, key).c_str(), nullptr, 10);
}

// How deep the text's arrays and objects nest (strings skipped).
int Nesting(const std::string& text) {
  int depth = 0, deepest = 0;
  bool in_string = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        in_string = false;
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return deepest;
}

// Deeper JSON is refused before it is parsed: no real output nests like that, and the parsed
// document would be copied and freed by recursion.
constexpr int kMaxJsonNesting = 256;

// The text parsed as JSON, and the array under `member` (of the first element of `report` when
// given, as LVM nests it). False after a one-line error when either is missing.
bool ParseArray(SourceReader& reader, const Source& source, const std::string& text,
                const char* report, const char* member, json* array) {
  if (text.empty()) return false;
  if (Nesting(text) > kMaxJsonNesting) {
    reader.reportMalformed(source, "JSON nested deeper than " + std::to_string(kMaxJsonNesting));
    return false;
  }
  json document;
  try {
    document = json::parse(text);
  } catch (const json::exception& e) {
    reader.reportMalformed(source, std::string("malformed JSON: ") + e.what());
    return false;
  }
  const json* scope = &document;
  if (report != nullptr) {
    if (!document.is_object() || !document.contains(report) || !document[report].is_array() ||
        document[report].empty()) {
      reader.reportMalformed(source, std::string("no \"") + report + "\" array");
      return false;
    }
    scope = &document[report][0];
  }
  if (!scope->is_object() || !scope->contains(member) || !(*scope)[member].is_array()) {
    reader.reportMalformed(source, std::string("no \"") + member + "\" array");
    return false;
  }
  *array = (*scope)[member];
  return true;
}

// True when device d lies beneath device ancestor (or is it). The links are kept acyclic, so
// the walk ends.
bool IsBeneath(const HostInventory& inventory, int d, int ancestor) {
  if (d == ancestor) return true;
  for (int parent : inventory.devices[static_cast<size_t>(d)].parents) {
    if (IsBeneath(inventory, parent, ancestor)) return true;
  }
  return false;
}

// Stacks deeper than this (a disk, a partition, an array, a logical volume, encryption, ...)
// are not real; their deeper levels are left out.
constexpr int kMaxStackDepth = 32;

void AddDevice(HostInventory* inventory, const json& node, int parent, int depth) {
  if (!node.is_object() || depth > kMaxStackDepth) return;
  BlockDevice device;
  device.name = Text(node, "name");
  device.kname = Text(node, "kname");
  if (device.kname.empty()) device.kname = device.name;
  device.path = Text(node, "path");
  if (device.path.empty()) device.path = "/dev/" + device.name;
  int index = inventory->findByPath(device.path);
  if (index < 0) {
    device.type = Text(node, "type");
    device.vendor = Text(node, "vendor");
    device.model = Text(node, "model");
    device.rev = Text(node, "rev");
    device.serial = Text(node, "serial");
    device.wwn = Text(node, "wwn");
    device.ptuuid = Text(node, "ptuuid");
    device.fstype = Text(node, "fstype");
    device.uuid = Text(node, "uuid");
    device.hctl = Text(node, "hctl");
    device.tran = Text(node, "tran");
    device.state = Text(node, "state");
    device.size = Number(node, "size");
    if (!Text(node, "start").empty()) device.start = Number(node, "start");
    index = static_cast<int>(inventory->devices.size());
    inventory->devices.push_back(device);
  }
  // A link that would make the device lie beneath itself is not taken.
  if (parent >= 0 && !IsBeneath(*inventory, parent, index)) {
    std::vector<int>& parents = inventory->devices[index].parents;
    bool known = false;
    for (int p : parents) known |= p == parent;
    if (!known) {
      parents.push_back(parent);
      inventory->devices[parent].children.push_back(index);
    }
  }
  const auto children = node.find("children");
  if (children != node.end() && children->is_array()) {
    for (const json& child : *children) AddDevice(inventory, child, index, depth + 1);
  }
}

void AddMounts(HostInventory* inventory, const json& nodes) {
  for (const json& node : nodes) {
    if (!node.is_object()) continue;
    Mount mount;
    mount.target = Text(node, "target");
    mount.source = Text(node, "source");
    mount.fstype = Text(node, "fstype");
    mount.options = Text(node, "options");
    mount.size = Number(node, "size");
    mount.avail = Number(node, "avail");
    mount.used = Number(node, "used");
    inventory->mounts.push_back(mount);
    const auto children = node.find("children");
    if (children != node.end() && children->is_array()) AddMounts(inventory, *children);
  }
}

void ReadLvm(SourceReader& reader, HostInventory* inventory) {
  json pvs, vgs, lvs;
  if (!ParseArray(reader, kSourcePvs, reader.read(kSourcePvs), "report", "pv", &pvs)) return;
  for (const json& pv : pvs) {
    if (pv.is_object()) inventory->pvs.push_back({Text(pv, "pv_name"), Text(pv, "vg_name")});
  }
  if (ParseArray(reader, kSourceVgs, reader.read(kSourceVgs), "report", "vg", &vgs)) {
    for (const json& vg : vgs) {
      if (!vg.is_object()) continue;
      inventory->vgs.push_back(
          {Text(vg, "vg_name"), Text(vg, "vg_attr"), Number(vg, "vg_size"), Number(vg, "vg_free")});
    }
  }
  if (ParseArray(reader, kSourceLvs, reader.read(kSourceLvs), "report", "lv", &lvs)) {
    for (const json& lv : lvs) {
      if (!lv.is_object()) continue;
      inventory->lvs.push_back({Text(lv, "lv_name"), Text(lv, "vg_name"), Text(lv, "lv_path"),
                                Text(lv, "lv_dm_path"), Text(lv, "segtype"),
                                Number(lv, "lv_size")});
    }
  }
}

// "md0 : active raid1 sdb1[1] sda1[0](F)" and, on the next line, "... [2/1] [U_]".
void ReadMdstat(const std::string& text, HostInventory* inventory) {
  std::istringstream in(text);
  std::string line;
  MdArray* array = nullptr;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string name, colon, state;
    if (line.compare(0, 2, "md") == 0 && words >> name >> colon >> state && colon == ":") {
      array = &inventory->md_arrays[name];
      array->active = state == "active";
      std::string word;
      while (words >> word) {
        const size_t bracket = word.find('[');
        if (bracket == std::string::npos) continue;
        if (word.find("(S)") != std::string::npos) array->spares.push_back(word.substr(0, bracket));
        if (word.find("(F)") != std::string::npos) array->degraded = true;
      }
    } else if (array != nullptr) {
      const size_t open = line.rfind('[');
      if (open != std::string::npos && line.find('_', open) != std::string::npos) {
        array->degraded = true;
      }
      array = nullptr;
    }
  }
}

// A path as /etc/exports writes it: possibly in double quotes, with \ooo octal escapes.
std::string ExportPath(const std::string& word) {
  std::string path;
  for (size_t i = 0; i < word.size(); ++i) {
    if (word[i] == '"') continue;
    if (word[i] == '\\' && i + 3 < word.size() &&
        std::isdigit(static_cast<unsigned char>(word[i + 1]))) {
      path.push_back(static_cast<char>(std::strtol(word.substr(i + 1, 3).c_str(), nullptr, 8)));
      i += 3;
    } else {
      path.push_back(word[i]);
    }
  }
  return path;
}

void ReadExports(const std::string& text, HostInventory* inventory) {
  std::istringstream in(text);
  std::string line, logical;
  while (std::getline(in, line)) {
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    if (!line.empty() && line.back() == '\\') {
      logical += line.substr(0, line.size() - 1) + " ";
      continue;
    }
    logical += line;
    const size_t begin = logical.find_first_not_of(" \t");
    if (begin != std::string::npos) {
      size_t end;
      if (logical[begin] == '"') {
        end = logical.find('"', begin + 1);
        end = end == std::string::npos ? logical.size() : end + 1;
      } else {
        end = logical.find_first_of(" \t", begin);
        if (end == std::string::npos) end = logical.size();
      }
      std::string clients;
      std::istringstream rest(logical.substr(end));
      std::string word;
      while (rest >> word) clients += (clients.empty() ? "" : " ") + word;
      const std::string path = ExportPath(logical.substr(begin, end - begin));
      if (!path.empty() && path[0] == '/') inventory->exports.push_back({path, clients});
    }
    logical.clear();
  }
}

// "NAME TARGET" lines; the target's last path component is the kernel name.
void ReadPairs(const std::string& text, bool last_component,
               std::vector<std::pair<std::string, std::string>>* pairs) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const size_t space = line.find(' ');
    if (space == std::string::npos || space == 0) continue;
    std::string value = line.substr(space + 1);
    if (last_component) value = value.substr(value.rfind('/') + 1);
    pairs->emplace_back(line.substr(0, space), value);
  }
}

// The value after "key:" on the first line that starts with key, trimmed; empty when none.
std::string Field(const std::string& text, const std::string& key, int* count = nullptr) {
  std::istringstream in(text);
  std::string line, value;
  bool found = false;
  while (std::getline(in, line)) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
    if (name != key) continue;
    if (count != nullptr) ++*count;
    if (found) continue;
    found = true;
    const size_t begin = line.find_first_not_of(" \t", colon + 1);
    value = begin == std::string::npos ? "" : line.substr(begin);
  }
  return value;
}

void ReadComputer(SourceReader& reader, HostInventory* inventory) {
  std::istringstream host(reader.read(kSourceHostname));
  host >> inventory->hostname;
  std::istringstream uname(reader.read(kSourceUname));
  uname >> inventory->os_name >> inventory->os_release >> inventory->machine;
  const std::string meminfo = reader.read(kSourceMeminfo);
  inventory->mem_kb = std::strtoll(Field(meminfo, "MemTotal").c_str(), nullptr, 10);
  inventory->swap_kb = std::strtoll(Field(meminfo, "SwapTotal").c_str(), nullptr, 10);
  const std::string cpuinfo = reader.read(kSourceCpuinfo);
  Field(cpuinfo, "processor", &inventory->cpu_count);
  inventory->cpu_model = Field(cpuinfo, "model name");
  if (inventory->cpu_model.empty()) inventory->cpu_model = Field(cpuinfo, "cpu model");
  inventory->cpu_mhz =
      static_cast<int>(std::strtod(Field(cpuinfo, "cpu MHz").c_str(), nullptr) + 0.5);
}

}  // namespace

int HostInventory::findByPath(const std::string& path) const {
  for (size_t i = 0; i < devices.size(); ++i) {
    if (devices[i].path == path || "/dev/" + devices[i].kname == path) return static_cast<int>(i);
  }
  return -1;
}

int HostInventory::findByKname(const std::string& kname) const {
  for (size_t i = 0; i < devices.size(); ++i) {
    if (devices[i].kname == kname) return static_cast<int>(i);
  }
  return -1;
}

HostInventory ReadHostInventory(SourceReader& reader) {
  HostInventory inventory;
  json nodes;
  if (ParseArray(reader, kSourceLsblk, reader.read(kSourceLsblk), nullptr, "blockdevices",
                 &nodes)) {
    for (const json& node : nodes) AddDevice(&inventory, node, -1, 0);
  }
  if (ParseArray(reader, kSourceFindmnt, reader.read(kSourceFindmnt), nullptr, "filesystems",
                 &nodes)) {
    AddMounts(&inventory, nodes);
  }
  ReadLvm(reader, &inventory);
  ReadMdstat(reader.read(kSourceMdstat), &inventory);
  ReadExports(reader.read(kSourceExports), &inventory);
  ReadPairs(reader.read(kSourceById), true, &inventory.by_id);
  std::vector<std::pair<std::string, std::string>> serials;
  ReadPairs(reader.read(kSourceSerials), false, &serials);
  inventory.serials.insert(serials.begin(), serials.end());
  ReadComputer(reader, &inventory);
  return inventory;
}
