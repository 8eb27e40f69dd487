// Tuple text into and out of a database through anonymous in-memory files.
#ifndef RESDB_TESTS_SUPPORT_DATABASE_TEXT_H_
#define RESDB_TESTS_SUPPORT_DATABASE_TEXT_H_

#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "db/srm_resource_database.h"

// Loads text into db; deserialize's result.
inline int LoadText(SrmResourceDatabase* db, const std::string& text) {
  const int fd = memfd_create("database", 0);
  if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return -1;
  lseek(fd, 0, SEEK_SET);
  const int result = db->deserialize(fd, nullptr);
  close(fd);
  return result;
}

// What write(fd) wrote to a fresh anonymous file; its result in *rc.
template <class Write>
std::string WrittenText(Write write, int* rc) {
  const int fd = memfd_create("written", 0);
  *rc = write(fd);
  std::string text(static_cast<size_t>(lseek(fd, 0, SEEK_END)), '\0');
  if (pread(fd, &text[0], text.size(), 0) != static_cast<ssize_t>(text.size())) text = "<unread>";
  close(fd);
  return text;
}

// What db->serialize writes; its result in *rc.
inline std::string SerializedText(SrmResourceDatabase* db, int* rc) {
  return WrittenText([db](int fd) { return db->serialize(fd, 0); }, rc);
}

#endif  // RESDB_TESTS_SUPPORT_DATABASE_TEXT_H_
