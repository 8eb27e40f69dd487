// Helpers for the database tests: text in and out of a database through temporary files, and
// records built from "Key=value" texts the way the loaders build them.
#ifndef RESDB_TESTS_DB_DB_TEST_UTIL_H_
#define RESDB_TESTS_DB_DB_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "db/srm_resource_database.h"
#include "tuple/report_tuple.h"

namespace dbtest {

// An anonymous file that is removed when closed.
class TempFile {
 public:
  TempFile() : file_(std::tmpfile()) {}
  explicit TempFile(const std::string& text) : TempFile() {
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
    rewind();
  }
  ~TempFile() {
    if (file_) std::fclose(file_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  int fd() const { return fileno(file_); }
  void rewind() { lseek(fd(), 0, SEEK_SET); }
  std::string contents() {
    std::string text;
    char block[65536];
    rewind();
    for (ssize_t n; (n = read(fd(), block, sizeof block)) > 0;) text.append(block, n);
    return text;
  }

 private:
  FILE* file_;
};

// The text db->serialize writes, and its result.
inline std::string Serialize(SrmResourceDatabase* db, int* result = nullptr) {
  TempFile out;
  int rc = db->serialize(out.fd(), 0);
  if (result) *result = rc;
  return out.contents();
}

// Loads text into db with deserialize; returns its result.
inline int Load(SrmResourceDatabase* db, const std::string& text) {
  TempFile in(text);
  return db->deserialize(in.fd(), nullptr);
}

// A record of kind T filled from "Key=value" texts.
template <class T>
T* Record(std::initializer_list<std::string> elements) {
  CSRMReportTuple tuple;
  for (const std::string& e : elements) tuple.addElement("\"" + e + "\"");
  T* r = new T();
  EXPECT_EQ(1, r->deserialize(-1, &tuple));
  return r;
}

// Adds r to db and drops the creator's reference, as the add methods do.
inline void Add(SrmResourceDatabase* db, SrmResource* r) {
  EXPECT_EQ(1, db->addResource(r));
  r->Release();
}

inline std::string LastMessage(const SrmResourceDatabase& db, int* code = nullptr) {
  std::string message;
  db.getLastErrorInfo(code, &message, nullptr);
  return message;
}

}  // namespace dbtest

#endif  // RESDB_TESTS_DB_DB_TEST_UTIL_H_
