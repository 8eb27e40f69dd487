// CSRMReportTuple: the element list of one tuple and its read position.
#include "tuple/report_tuple.h"

#include <new>

#include "tuple/result_codes.h"

namespace {
constexpr size_t kCommonElementCount = 16;
}  // namespace

CSRMReportTuple::CSRMReportTuple() = default;

CSRMReportTuple::CSRMReportTuple(const CSRMReportTuple& other) : elements_(other.elements_) {}

CSRMReportTuple::~CSRMReportTuple() = default;

unsigned long CSRMReportTuple::addElement(const std::string& element) {
  try {
    // A record's tuple holds a dozen or so elements: room for them at once, not by doubling.
    if (elements_.capacity() == 0) elements_.reserve(kCommonElementCount);
    elements_.push_back(element);
  } catch (const std::bad_alloc&) {
    return CSRM_NO_MEMORY;  // push_back is all or nothing: the tuple is as it was
  }
  restart_ = true;
  return CSRM_OK;
}

unsigned long CSRMReportTuple::addElement(const char* text, long length) {
  if (text == nullptr) return CSRM_NULL_ARGUMENT;
  try {
    if (length > 0) return addElement(std::string(text, static_cast<size_t>(length)));
    return addElement(std::string(text));
  } catch (const std::bad_alloc&) {
    return CSRM_NO_MEMORY;
  }
}

unsigned long CSRMReportTuple::getNextElement(std::string* element) {
  if (element == nullptr) return CSRM_NULL_ARGUMENT;
  if (restart_) resetNext();
  if (next_ >= elements_.size()) return CSRM_END_OF_DATA;
  try {
    *element = elements_[next_];
  } catch (const std::bad_alloc&) {
    return CSRM_NO_MEMORY;  // the position stays, so the same element can be asked for again
  }
  ++next_;
  return CSRM_OK;
}

unsigned long CSRMReportTuple::getAllElements(std::vector<std::string>* elements) const {
  if (elements == nullptr) return CSRM_NULL_ARGUMENT;
  try {
    *elements = elements_;
  } catch (const std::bad_alloc&) {
    return CSRM_NO_MEMORY;
  }
  return CSRM_OK;
}

unsigned long CSRMReportTuple::resetNext() {
  next_ = 0;
  restart_ = false;
  return CSRM_OK;
}

unsigned long CSRMReportTuple::clearTuple() {
  elements_.clear();
  return resetNext();
}
