// explain: the chain that withdrew a record, read from the trace of the resolution the library
// ran; the tool knows no withdrawal rule of its own.
#include <algorithm>

#include "commands.h"

namespace {

std::string Name(const RecordKey& key) {
  return std::string(KindNameOf(key.first)) + " " + key.second;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() > suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The finding as the error the library filed with it, said after the record it names.
std::string DescribeFinding(Inventory* inventory, const std::string& finding,
                            const std::string& id) {
  const SrmError* filed = FindFiledError(inventory->db(), finding);
  std::string text = finding;
  const std::string suffix = ": " + id;
  if (EndsWith(text, suffix)) {
    text.erase(text.size() - suffix.size());
  }
  if (filed == nullptr) return text;
  return text + " (error " + std::to_string(filed->getCode()) + ", severity " +
         std::to_string(filed->getSeverity()) + ")";
}

// A record whose report flag no resolution cleared arrived without it: say so, with the errors
// filed in its name.
std::string DescribeArrival(Inventory* inventory, const RecordKey& key) {
  SrmResource* record = inventory->Find(key);
  std::string text = std::string("report flag clear ") +
                     (inventory->is_scan() ? "as collected" : "in the database as loaded") +
                     " (State=" + std::to_string(record ? record->getFlags() : 0) + ")";
  const std::string suffix = ": " + key.second;
  for (const auto& owner : inventory->db()->getErrorList()->getAllErrors()) {
    for (const auto& error : owner.second) {
      if (EndsWith(error->getDescription(), suffix)) {
        text += "; filed: " + DescribeError(*error);
      }
    }
  }
  return text;
}

}  // namespace

std::string WithdrawalChain(Inventory* inventory, const RecordKey& key) {
  std::string chain = Name(key);
  RecordKey root = key;
  const WithdrawalTrace::Cause* cause = inventory->trace()->CauseOf(key);
  while (cause != nullptr && !cause->from.second.empty()) {
    root = cause->from;
    chain += " <- " + Name(root);
    cause = cause->prior.get();
  }
  if (cause == nullptr) return chain + ": " + DescribeArrival(inventory, root);
  std::string findings;
  for (const std::string& finding : cause->findings) {
    findings += (findings.empty() ? "" : "; ") + DescribeFinding(inventory, finding, root.second);
  }
  return chain + ": " + findings;
}

int RunExplain(Inventory* inventory, const std::vector<std::string>& names, std::ostream& out,
               std::string* error) {
  std::vector<RecordKey> keys;
  for (const std::string& name : names) {
    const size_t colon = name.find(':');
    const SrmResourceType kind =
        colon == std::string::npos ? SRM_NO_TYPE : KindOfToken(name.substr(0, colon));
    if (kind == SRM_NO_TYPE) {
      *error = "not KIND:ID with a known kind: " + name +
               " (kinds: host, disk, chunk, volume, volume-group, volume-manager, file-system, "
               "mount-point, share, virtual-server, alias)";
      return 2;
    }
    keys.emplace_back(kind, name.substr(colon + 1));
  }
  if (names.empty()) {
    for (const KindName& k : Kinds()) {
      const SrmResourceList::IdMap* records = inventory->Records(k.kind);
      if (records == nullptr) continue;
      for (const auto& entry : *records) {
        if (!entry.second->shouldReport()) keys.emplace_back(k.kind, entry.first);
      }
    }
    if (keys.empty()) out << "nothing is withdrawn\n";
  }
  for (const RecordKey& key : keys) {
    const SrmResource* record = inventory->Find(key);
    if (record == nullptr) {
      out << Name(key) << ": unknown\n";
    } else if (record->shouldReport()) {
      out << Name(key) << ": reported\n";
    } else {
      out << WithdrawalChain(inventory, key) << '\n';
    }
  }
  return 0;
}
