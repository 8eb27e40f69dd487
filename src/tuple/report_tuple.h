// CSRMReportTuple: one tuple of tuple text, its element texts in input order (surrounding
// quotes kept) and a read position. Tuples handed out by the reader belong to the caller.
#ifndef RESDB_TUPLE_REPORT_TUPLE_H_
#define RESDB_TUPLE_REPORT_TUPLE_H_

#include <cstddef>
#include <string>
#include <vector>

class CSRMReportTuple {
 public:
  CSRMReportTuple();
  // Copies the elements; the copy starts at its first element.
  CSRMReportTuple(const CSRMReportTuple& other);
  CSRMReportTuple& operator=(const CSRMReportTuple&) = delete;
  virtual ~CSRMReportTuple();

  // Appends a copy of element and makes the next getNextElement start over. Returns 0.
  unsigned long addElement(const std::string& element);
  // Appends the first length bytes of text, or all of it up to its NUL when length <= 0.
  // A null text gives CSRM_NULL_ARGUMENT and changes nothing.
  unsigned long addElement(const char* text, long length);

  // Copies the next element into *element and advances; CSRM_END_OF_DATA after the last one
  // (*element unchanged). A null element gives CSRM_NULL_ARGUMENT.
  unsigned long getNextElement(std::string* element);
  // Replaces *elements with all elements in order; the read position is unchanged.
  unsigned long getAllElements(std::vector<std::string>* elements) const;
  // Rewinds the read position to the first element. Returns 0.
  unsigned long resetNext();
  // Removes every element and rewinds. Returns 0.
  unsigned long clearTuple();

  size_t getElementCount() const { return elements_.size(); }

 private:
  std::vector<std::string> elements_;
  size_t next_ = 0;       // index of the element getNextElement returns next
  bool restart_ = false;  // set by addElement: the next read rewinds first
};

#endif  // RESDB_TUPLE_REPORT_TUPLE_H_
