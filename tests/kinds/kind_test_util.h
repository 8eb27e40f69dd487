// Helpers the record-kind tests share: holding records by reference, anonymous temporary
// files, writing a record to text and building tuples from element texts or from tuple text
// read through the real reader. Header-only.
#ifndef RESDB_TESTS_KINDS_KIND_TEST_UTIL_H_
#define RESDB_TESTS_KINDS_KIND_TEST_UTIL_H_

#include <unistd.h>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "model/srm_ref.h"
#include "model/srm_resource.h"
#include "tuple/report_tuple.h"
#include "tuple/result_codes.h"
#include "tuple/tuple_reader.h"
#include "tuple/tuple_stream.h"

namespace kindtest {

// Gives back one reference when it goes: Held<SrmDisk> d(new SrmDisk()).
struct ReleaseRef {
  void operator()(SrmRef* r) const {
    if (r != nullptr) r->Release();
  }
};
template <class T>
using Held = std::unique_ptr<T, ReleaseRef>;

// A new R made by its name constructor (Id = id), with global id lid.
template <class R>
Held<R> Named(const std::string& id, const std::string& lid = "") {
  Held<R> r(new R(id));
  r->setLId(lid);
  return r;
}

// A bare record of any kind, for an argument of the wrong kind or a database entry a test
// needs. It writes and reads nothing. Never file one as a volume or a volume group: the
// database takes records of those kinds for their classes (use the real ones there).
class StubRecord : public SrmResource {
 public:
  StubRecord(SrmResourceType kind, const std::string& id, const std::string& lid = "")
      : SrmResource(kind) {
    setId(id);
    setLId(lid);
  }
  int mergeResource(SrmResource*) override { return 1; }
  int serialize(int, int) override { return 1; }
  int deserialize(int, CSRMReportTuple*) override { return 1; }

 protected:
  ~StubRecord() override = default;
};

// An anonymous read-write temporary file, closed (and so gone) with the object.
class TempFile {
 public:
  TempFile() : file_(std::tmpfile()) {}
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (file_ != nullptr) std::fclose(file_);
  }

  int fd() const { return file_ != nullptr ? fileno(file_) : -1; }
  bool ok() const { return file_ != nullptr; }

  // Appends text at the current offset.
  bool write(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
      ssize_t n = ::write(fd(), text.data() + done, text.size() - done);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  void rewind() const { ::lseek(fd(), 0, SEEK_SET); }
  // The whole file, read from its start; the offset is left at the end.
  std::string contents() const {
    rewind();
    std::string text;
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(fd(), chunk, sizeof chunk)) > 0) text.append(chunk, size_t(n));
    return text;
  }

 private:
  FILE* file_;
};

// The text r->serialize(fd, flags) writes; *rc (when given) receives its result.
inline std::string SerializeToText(SrmResource* r, int flags, int* rc = nullptr) {
  TempFile file;
  int result = r->serialize(file.fd(), flags);
  if (rc != nullptr) *rc = result;
  return file.contents();
}

// A tuple of the given elements, each taken as its text ("\"Key=value\"" or bare).
inline std::unique_ptr<CSRMReportTuple> MakeTuple(std::initializer_list<std::string> elements) {
  auto tuple = std::make_unique<CSRMReportTuple>();
  for (const std::string& e : elements) tuple->addElement(e);
  return tuple;
}

// Every tuple of text, cut by the real reader over a temporary file; stops at the clean end
// or at the first failure (*ended_clean tells which, when given).
inline std::vector<std::unique_ptr<CSRMReportTuple>> ReadTuples(const std::string& text,
                                                                bool* ended_clean = nullptr) {
  std::vector<std::unique_ptr<CSRMReportTuple>> tuples;
  TempFile file;
  file.write(text);
  file.rewind();
  CSRMTupleFDStream stream;
  stream.SetFileDescriptor(file.fd());
  CSRMReportTupleStreamReader reader;
  reader.SetTupleStream(&stream);
  for (;;) {
    CSRMReportTuple* tuple = nullptr;
    unsigned long rc = reader.GetNextTuple(&tuple);
    if (rc != 0) {
      delete tuple;  // the empty tuple handed over at the clean end
      if (ended_clean != nullptr) *ended_clean = rc == CSRM_END_OF_DATA;
      break;
    }
    tuples.emplace_back(tuple);
  }
  return tuples;
}

// The text that follows a container's own tuple in a collection stream: written to a temporary
// file and attached to db as its collection stream, as an add method does. db must outlive the
// object, which detaches the stream when it goes.
class AttachedText {
 public:
  AttachedText(SrmResourceDatabase* db, const std::string& text) : db_(db) {
    file_.write(text);
    file_.rewind();
    attached_ = db->attachStream(file_.fd()) == 1;
  }
  ~AttachedText() { db_->detachStream(file_.fd()); }
  bool attached() const { return attached_; }
  // The raw text of the next tuple left in the stream ("" at its end).
  std::string NextLeft() {
    std::string text;
    if (db_->getTupleStream() != nullptr) db_->getTupleStream()->GetNextTuple(&text);
    return text;
  }

 private:
  SrmResourceDatabase* db_;
  TempFile file_;
  bool attached_ = false;
};

}  // namespace kindtest

#endif  // RESDB_TESTS_KINDS_KIND_TEST_UTIL_H_
