// diff: what changed between two inventories of one host. Records are matched by kind and Id;
// their fields are compared as the library writes them in tuple text (each record's own line),
// so every field of every kind is compared without the tool knowing them.
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string_view>

#include "commands.h"
#include "jni/staging_file.h"
#include "tuple/key_vocabulary.h"
#include "tuple/report_tuple.h"
#include "tuple/result_codes.h"
#include "tuple/tuple_reader.h"
#include "tuple/tuple_stream.h"

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

// Reads records' own tuple lines back through a scratch file. Owns the file.
class FieldReader {
 public:
  FieldReader() : file_(mktmpfile(nullptr)) {}
  FieldReader(const FieldReader&) = delete;
  FieldReader& operator=(const FieldReader&) = delete;
  ~FieldReader() {
    if (file_ != nullptr) std::fclose(file_);
  }

  // The record's fields in the order it writes them; State is left out (withdrawn and
  // restored say what matters of it). Empty when the record cannot be written.
  Fields Read(SrmResource* record) {
    Fields fields;
    if (file_ == nullptr) return fields;
    const int fd = fileno(file_);
    if (lseek(fd, 0, SEEK_SET) != 0 || record->serialize(fd, 0) == 0 ||
        lseek(fd, 0, SEEK_SET) != 0) {
      return fields;
    }
    CSRMTupleFDStream stream;
    CSRMReportTupleStreamReader reader;
    CSRMReportTuple tuple;
    if (stream.SetFileDescriptor(fd) != CSRM_OK || reader.SetTupleStream(&stream) != CSRM_OK ||
        reader.ReadNextTuple(&tuple) != CSRM_OK) {
      return fields;
    }
    std::string element, key, value;
    while (tuple.getNextElement(&element) == CSRM_OK) {
      if (SrmSplitKeyValuePair(&element, &key, &value) && key != "State" && key != "Type") {
        fields.emplace_back(key, value);
      }
    }
    return fields;
  }

 private:
  FILE* file_;
};

// Space figures (KB) and a chunk's length: these grow and shrink.
bool IsSize(const std::string& key) {
  return key == "Length" || (key.size() > 2 && key.compare(key.size() - 2, 2, "KB") == 0);
}

bool ToNumber(const std::string& text, long long* number) {
  char* end = nullptr;
  *number = std::strtoll(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0';
}

nlohmann::json Record(SrmResourceType kind, std::string_view id) {
  return {{"kind", KindNameOf(kind)}, {"id", std::string(id)}};
}

// Every error as one line: owner, description, code and severity.
std::multiset<std::string> ErrorLines(Inventory* inventory) {
  std::multiset<std::string> lines;
  for (const auto& owner : inventory->db()->getErrorList()->getAllErrors()) {
    for (const auto& error : owner.second) lines.insert(owner.first + ": " + DescribeError(*error));
  }
  return lines;
}

// The differences, gathered as JSON and written as JSON or text.
class Differences {
 public:
  Differences() {
    for (const char* list : {"removed", "added", "withdrawn", "restored", "changed", "sizes",
                             "errors_removed", "errors_added"}) {
      all_[list] = nlohmann::json::array();
    }
  }

  void Compare(Inventory* before, Inventory* after) {
    for (const KindName& k : Kinds()) {
      static const SrmResourceList::IdMap kNone;
      const SrmResourceList::IdMap* old_map = before->Records(k.kind);
      const SrmResourceList::IdMap* new_map = after->Records(k.kind);
      if (old_map == nullptr) old_map = &kNone;
      if (new_map == nullptr) new_map = &kNone;
      for (const auto& entry : *old_map) {
        auto other = new_map->find(entry.first);
        if (other == new_map->end()) {
          all_["removed"].push_back(Record(k.kind, entry.first));
        } else {
          CompareRecord(entry.second, other->second);
        }
      }
      for (const auto& entry : *new_map) {
        if (!old_map->count(entry.first)) all_["added"].push_back(Record(k.kind, entry.first));
      }
    }
    const std::multiset<std::string> old_errors = ErrorLines(before);
    const std::multiset<std::string> new_errors = ErrorLines(after);
    for (const std::string& line : old_errors) {
      if (new_errors.count(line) < old_errors.count(line)) all_["errors_removed"].push_back(line);
    }
    for (const std::string& line : new_errors) {
      if (old_errors.count(line) < new_errors.count(line)) all_["errors_added"].push_back(line);
    }
  }

  bool Empty() const {
    for (const auto& list : all_) {
      if (!list.empty()) return false;
    }
    return true;
  }

  void WriteJson(std::ostream& out) const {
    out << all_.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
  }

  void WriteText(std::ostream& out) const {
    auto name = [](const nlohmann::json& r) {
      return r["kind"].get<std::string>() + " " + r["id"].get<std::string>();
    };
    for (const char* list : {"removed", "added", "withdrawn", "restored"}) {
      for (const auto& r : all_[list]) out << list << ": " << name(r) << '\n';
    }
    for (const auto& c : all_["changed"]) {
      out << "changed: " << name(c) << ", " << c["field"].get<std::string>() << ": "
          << c["old"].get<std::string>() << " -> " << c["new"].get<std::string>() << '\n';
    }
    for (const auto& c : all_["sizes"]) {
      out << c["change"].get<std::string>() << ": " << name(c) << ", "
          << c["field"].get<std::string>() << ": " << c["old"].get<long long>() << " -> "
          << c["new"].get<long long>() << '\n';
    }
    for (const auto& line : all_["errors_removed"])
      out << "error gone: " << line.get<std::string>() << '\n';
    for (const auto& line : all_["errors_added"])
      out << "error new: " << line.get<std::string>() << '\n';
  }

 private:
  void CompareRecord(SrmResource* before, SrmResource* after) {
    const SrmResourceType kind = before->getType();
    if (before->shouldReport() != after->shouldReport()) {
      all_[before->shouldReport() ? "withdrawn" : "restored"].push_back(
          Record(kind, before->getId()));
    }
    const Fields old_fields = fields_.Read(before);
    const Fields new_fields = fields_.Read(after);
    std::map<std::string, std::string> old_values(old_fields.begin(), old_fields.end());
    std::map<std::string, std::string> new_values(new_fields.begin(), new_fields.end());
    // Fields in the order the records write them: the old record's, then those only the new
    // record has.
    std::vector<std::string> keys;
    for (const auto& field : old_fields) keys.push_back(field.first);
    for (const auto& field : new_fields) {
      if (!old_values.count(field.first)) keys.push_back(field.first);
    }
    std::set<std::string> seen;
    for (const std::string& key : keys) {
      if (!seen.insert(key).second) continue;
      const std::string& was = old_values[key];
      const std::string& is = new_values[key];
      if (was == is) continue;
      nlohmann::json change = Record(kind, before->getId());
      change["field"] = key;
      long long old_number = 0, new_number = 0;
      if (IsSize(key) && ToNumber(was, &old_number) && ToNumber(is, &new_number)) {
        change["old"] = old_number;
        change["new"] = new_number;
        change["change"] = new_number > old_number ? "grown" : "shrunk";
        all_["sizes"].push_back(change);
      } else {
        change["old"] = was;
        change["new"] = is;
        all_["changed"].push_back(change);
      }
    }
  }

  nlohmann::json all_ = nlohmann::json::object();
  FieldReader fields_;
};

}  // namespace

int RunDiff(Inventory* old_inventory, Inventory* new_inventory, bool json, std::ostream& out) {
  Differences differences;
  differences.Compare(old_inventory, new_inventory);
  if (json) {
    differences.WriteJson(out);
  } else {
    differences.WriteText(out);
  }
  return differences.Empty() ? 0 : 1;
}
