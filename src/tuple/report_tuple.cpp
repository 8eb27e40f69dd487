// CSRMReportTuple: the element texts of one tuple in one buffer, and a read position.
#include "tuple/report_tuple.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

#include "tuple/result_codes.h"

namespace {
constexpr size_t kCommonElementCount = 16;
}  // namespace

CSRMReportTuple::CSRMReportTuple() = default;

CSRMReportTuple::CSRMReportTuple(const CSRMReportTuple& other)
    : text_(other.data_, other.end_count_ == 0 ? 0 : other.ends_[other.end_count_ - 1]),
      data_(text_.data()),
      ends_(other.ends_.begin(),
            other.ends_.begin() + static_cast<std::ptrdiff_t>(other.end_count_)),
      end_count_(other.end_count_) {}

CSRMReportTuple::~CSRMReportTuple() {
  if (lender_ != nullptr) forgetLender();
}

unsigned long CSRMReportTuple::ownText() {
  if (lender_ == nullptr) return CSRM_OK;
  try {
    text_.assign(data_, viewed_size_);
  } catch (const std::bad_alloc&) {
    return CSRM_NO_MEMORY;
  }
  forgetLender();
  return CSRM_OK;
}

unsigned long CSRMReportTuple::addElement(const std::string& element) {
  return add(element.data(), element.size());
}

unsigned long CSRMReportTuple::addElement(const char* text, long length) {
  if (text == nullptr) return CSRM_NULL_ARGUMENT;
  return add(text, length > 0 ? static_cast<size_t>(length) : std::strlen(text));
}

unsigned long CSRMReportTuple::add(const char* text, size_t size) {
  if (ownText() != CSRM_OK) return CSRM_NO_MEMORY;
  dropPending();
  try {
    // The room for the mark first: once the text is appended, nothing may fail.
    if (end_count_ == ends_.size()) growMarks();
    // The separator of the element before (any byte: reads never see it).
    if (end_count_ != 0) text_.push_back(',');
    text_.append(text, size);
    markElementEnd(text_.size());
  } catch (const std::bad_alloc&) {
    dropPending();  // the tuple is as it was
    data_ = text_.data();
    return CSRM_NO_MEMORY;
  }
  data_ = text_.data();
  return CSRM_OK;
}

unsigned long CSRMReportTuple::grow(size_t text_bytes, size_t element_count) {
  try {
    if (text_.capacity() < text_bytes) text_.reserve(text_bytes);
    if (ends_.size() < element_count) ends_.resize(element_count);
  } catch (const std::bad_alloc&) {
    if (lender_ == nullptr) data_ = text_.data();
    return CSRM_NO_MEMORY;  // reserve and resize are all or nothing: the contents stay
  }
  if (lender_ == nullptr) data_ = text_.data();
  return CSRM_OK;
}

unsigned long CSRMReportTuple::getNextElement(std::string* element) {
  if (element == nullptr) return CSRM_NULL_ARGUMENT;
  if (restart_) resetNext();
  if (next_ >= end_count_) return CSRM_END_OF_DATA;
  try {
    const std::string_view text = elementAt(next_);
    element->assign(text.data(), text.size());
  } catch (const std::bad_alloc&) {
    return CSRM_NO_MEMORY;  // the position stays, so the same element can be asked for again
  }
  ++next_;
  return CSRM_OK;
}

unsigned long CSRMReportTuple::getAllElements(std::vector<std::string>* elements) const {
  if (elements == nullptr) return CSRM_NULL_ARGUMENT;
  try {
    std::vector<std::string> all;
    all.reserve(end_count_);
    for (size_t i = 0; i < end_count_; ++i) all.emplace_back(elementAt(i));
    *elements = std::move(all);
  } catch (const std::bad_alloc&) {
    return CSRM_NO_MEMORY;
  }
  return CSRM_OK;
}

unsigned long CSRMReportTuple::clearTuple() {
  if (lender_ != nullptr) forgetLender();
  text_.clear();
  end_count_ = 0;
  return resetNext();
}

void CSRMReportTuple::growMarks() {
  // A record's tuple holds a dozen or so elements: room for them at once, then by doubling.
  ends_.resize(ends_.empty() ? kCommonElementCount : ends_.size() * 2);
}
