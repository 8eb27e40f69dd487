#include "model/srm_error.h"

#include <cctype>
#include <new>
#include <tuple>
#include <vector>

#include "db/srm_resource_database.h"
#include "model/tuple_fields.h"
#include "model/tuple_line.h"
#include "tuple/key_vocabulary.h"

SrmError::SrmError(SrmResourceDatabase* db) : database_(db) {}

SrmError::SrmError(const std::string& description, int code, int severity,
                   const std::string& eclass, const std::string& etype, const std::string& efunc)
    : severity_(severity),
      code_(code),
      function_(efunc),
      class_(eclass),
      type_(etype),
      description_(description) {}

int SrmError::serialize(int fd, int /*flags*/, const std::string& name) {
  if (database_ == nullptr) return 0;
  std::string* buffer = database_->getFormatBuffer();
  if (buffer == nullptr) return 0;
  SrmTupleLine line(buffer);
  line.addKeyName(kKeyType, kKeyError);
  line.addText(kKeyId, name);
  line.addText(kKeyErrorDesc, description_);
  line.addInteger(kKeyEcode, code_);
  line.addInteger(kKeySev, severity_);
  line.addText(kKeyFileName, file_name_);
  line.addText(kKeyEtype, type_);
  line.addText(kKeyEclass, class_);
  line.addText(kKeyEfunc, function_);
  return line.writeTo(fd);
}

int SrmError::deserialize(int /*fd*/, std::string* name, CSRMReportTuple* tuple) {
  if (tuple == nullptr) return 0;
  SrmForEachElement(tuple, [&](int key, const std::string& value) {
    switch (key) {
      case kKeyId:
        if (name != nullptr) *name = value;
        break;
      case kKeyErrorDesc:
        description_ = value;
        break;
      case kKeyFileName:
        file_name_ = value;
        break;
      case kKeyEtype:
        type_ = value;
        break;
      case kKeyEclass:
        class_ = value;
        break;
      case kKeyEfunc:
        function_ = value;
        break;
      case kKeyEcode:
        code_ = SrmParseInt32(value);
        break;
      case kKeySev:
        severity_ = SrmParseInt32(value);
        break;
      default:
        break;  // Type and anything else
    }
  });
  return 1;
}

SrmErrorList::SrmErrorList(SrmResourceDatabase* db) : database_(db) {}

std::string SrmErrorList::FoldName(const std::string& name) {
  std::string folded(name);
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

int SrmErrorList::addError(const std::string& name, SrmError* e) {
  if (name.empty() || e == nullptr) return 0;
  try {
    ErrorQueue& queue = errors_[FoldName(name)];
    // Reserve the node before the list owns e, so a failed allocation leaves e the caller's.
    ErrorQueue node(1);
    node.front().reset(e);
    queue.splice(queue.end(), node);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  e->setDatabase(database_);
  return 1;
}

int SrmErrorList::getErrorCount() const {
  size_t count = 0;
  for (const auto& entry : errors_) count += entry.second.size();
  return static_cast<int>(count);
}

int SrmErrorList::getErrorCount(const std::string& name) const {
  const ErrorQueue* queue = getSrmErrorIdMap(name);
  return queue == nullptr ? 0 : static_cast<int>(queue->size());
}

const SrmErrorList::ErrorQueue* SrmErrorList::getSrmErrorIdMap(const std::string& name) const {
  if (errors_.empty() || name.empty()) return nullptr;
  auto it = errors_.find(FoldName(name));
  return it == errors_.end() ? nullptr : &it->second;
}

int SrmErrorList::mergeErrors(const SrmErrorList* other) {
  if (database_ == nullptr) return 0;
  if (other == nullptr) return 1;  // nothing to merge
  // Copy what is to be re-created first: the database files the new errors into its own list,
  // which may be other itself.
  std::vector<std::tuple<std::string, std::string, int, int>> copies;
  for (const auto& entry : other->errors_) {
    for (const auto& e : entry.second) {
      copies.emplace_back(entry.first, e->getDescription(), e->getCode(), e->getSeverity());
    }
  }
  for (const auto& c : copies) {
    if (database_->addError(std::get<0>(c), std::get<1>(c), std::get<2>(c), std::get<3>(c)) == 0)
      return 0;
  }
  return 1;
}

int SrmErrorList::serialize(int fd, int flags) {
  int written = 0;
  for (const auto& entry : errors_) {
    for (const auto& e : entry.second) written += e->serialize(fd, flags, entry.first);
  }
  return written;
}
