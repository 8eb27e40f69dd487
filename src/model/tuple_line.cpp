#include "model/tuple_line.h"

#include <unistd.h>
#include <cerrno>

#include "tuple/key_vocabulary.h"

SrmTupleLine::SrmTupleLine(std::string* buffer) : buffer_(buffer) {
  buffer_->clear();
}

void SrmTupleLine::addText(int key_id, const std::string& value) {
  if (!value.empty()) addTextAlways(key_id, value);
}

void SrmTupleLine::addTextAlways(int key_id, const std::string& value) {
  buffer_->push_back('"');
  // Straight from the name table: a copy of the name could fail to allocate and would then
  // come back empty, writing a line with its key missing.
  if (key_id >= 0 && key_id < glob_key_id_size) buffer_->append(glob_key_id[key_id]);
  buffer_->push_back('=');
  buffer_->append(value);
  buffer_->append("\",");
}

void SrmTupleLine::addInteger(int key_id, int64_t value) {
  addTextAlways(key_id, std::to_string(value));
}

void SrmTupleLine::addRaw(const std::string& text) {
  buffer_->append(text);
}

int SrmTupleLine::writeTo(int fd) {
  buffer_->append(";\n");
  return SrmWriteAll(fd, *buffer_);
}

int SrmWriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;
    done += static_cast<size_t>(n);
  }
  return 1;
}
