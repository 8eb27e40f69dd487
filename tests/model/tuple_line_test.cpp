#include "model/tuple_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "fd_capture.h"
#include "tuple/key_vocabulary.h"

namespace {

TEST(SrmTupleLineTest, WritesTheCanonicalLine) {
  std::string buffer = "stale text";
  SrmTupleLine line(&buffer);
  EXPECT_EQ("", line.text());  // the buffer is emptied first
  line.addTextAlways(kKeyType, "Disk");
  line.addText(kKeyId, "d1");
  line.addText(kKeyPubId, "");  // left out
  line.addTextAlways(kKeyLId, "");
  line.addInteger(kKeyCapacityKB, 3907018584LL);
  line.addInteger(kKeyState, -1);
  line.addRaw("raw");
  std::string text;
  EXPECT_EQ(1, CaptureWrites([&](int fd) { return line.writeTo(fd); }, &text));
  EXPECT_EQ("\"Type=Disk\",\"Id=d1\",\"LId=\",\"CapacityKB=3907018584\",\"State=-1\",raw;\n", text);
  EXPECT_EQ(text, buffer);
}

TEST(SrmTupleLineTest, ShortestLine) {
  std::string buffer;
  SrmTupleLine line(&buffer);
  line.addTextAlways(kKeyType, "Disk");
  line.addText(kKeyId, "d1");
  std::string text;
  EXPECT_EQ(1, CaptureWrites([&](int fd) { return line.writeTo(fd); }, &text));
  EXPECT_EQ("\"Type=Disk\",\"Id=d1\",;\n", text);
}

// Values are written whole, however far past the nominal element and record sizes they go.
TEST(SrmTupleLineTest, LongValuesAreWrittenWhole) {
  for (size_t length : {255u, 256u, 2049u, 4097u, 100000u}) {
    std::string value(length, 'v');
    value.back() = 'E';
    std::string buffer;
    SrmTupleLine line(&buffer);
    line.addText(kKeyName, value);
    std::string text;
    EXPECT_EQ(1, CaptureWrites([&](int fd) { return line.writeTo(fd); }, &text));
    EXPECT_EQ("\"Name=" + value + "\",;\n", text);
  }
}

TEST(SrmWriteAllTest, PipeAndClosedDescriptor) {
  std::string text;
  std::string data(300000, 'x');  // more than a pipe holds at once
  EXPECT_EQ(1, CaptureWrites([&](int fd) { return SrmWriteAll(fd, data); }, &text));
  EXPECT_EQ(data, text);
  EXPECT_EQ(1, CaptureWrites([&](int fd) { return SrmWriteAll(fd, ""); }, &text));

  int fds[2];
  ASSERT_EQ(0, ::pipe(fds));
  ::close(fds[0]);
  ::close(fds[1]);
  EXPECT_EQ(0, SrmWriteAll(fds[1], "abc"));
  EXPECT_EQ(0, SrmWriteAll(-1, "abc"));
}

}  // namespace
