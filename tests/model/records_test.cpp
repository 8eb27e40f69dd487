// What every record is built on: number parsing, the canonical line and its write loop, and
// errors with their list.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "char_sources.h"
#include "database_text.h"
#include "db/srm_resource_database.h"
#include "model/srm_error.h"
#include "model/tuple_fields.h"
#include "model/tuple_line.h"
#include "tuple/tuple_reader.h"

namespace {

TEST(SrmParseIntTest, AgreesWithTheCLibraryAndSaturates) {
  for (const char* text : {"0",
                           "42",
                           "  -12x",
                           "+7",
                           "",
                           "abc",
                           "-",
                           "- 5",
                           "--5",
                           "0x1A",
                           "007",
                           "\t\n\v\f\r 9",
                           "-0",
                           "2147483647",
                           "-2147483648",
                           "3907018584",
                           "9223372036854775807",
                           "-9223372036854775808",
                           "9223372036854775808",
                           "-9223372036854775809",
                           "99999999999999999999",
                           "-99999999999999999999"}) {
    const long long wide = std::strtoll(text, nullptr, 10);
    EXPECT_EQ(wide, SrmParseInt64(text)) << text;
    EXPECT_EQ(static_cast<int32_t>(static_cast<uint32_t>(wide)), SrmParseInt32(text)) << text;
  }
  EXPECT_EQ(12, SrmParseInt64(std::string("12\0"
                                          "34",
                                          5)));
  // Every length up to the limits of the short way, with a byte that is not a digit at each
  // place: just below '0', just above '9', and the digits' bytes with their high bit set.
  for (size_t length = 1; length <= 20; ++length) {
    std::string digits;
    for (size_t i = 0; i < length; ++i) digits += static_cast<char>('1' + (i * 7) % 9);
    EXPECT_EQ(std::strtoll(digits.c_str(), nullptr, 10), SrmParseInt64(digits)) << digits;
    for (size_t at = 0; at < length; ++at) {
      for (const char stop : {'/', ':', '\xB5', '\x06'}) {
        std::string text = digits;
        text[at] = stop;
        EXPECT_EQ(std::strtoll(text.c_str(), nullptr, 10), SrmParseInt64(text)) << text;
      }
    }
  }
}

TEST(SrmTupleLineTest, WritesTheCanonicalLineWhole) {
  const std::string value(100000, 'v');
  std::string buffer = "stale";
  SrmTupleLine line(&buffer);
  line.addKeyName(kKeyType, kKeyDisk);
  line.addText(kKeyPubId, "");  // left out
  line.addTextAlways(kKeyLId, "");
  line.addInteger(kKeyCapacityKB, 3907018584LL);
  line.addText(kKeyName, value);
  line.addRaw("raw");
  int result = 0;
  const std::string text = WrittenText([&](int fd) { return line.writeTo(fd); }, &result);
  EXPECT_EQ("\"Type=Disk\",\"LId=\",\"CapacityKB=3907018584\",\"Name=" + value + "\",raw;\n", text);
  EXPECT_EQ(1, result);
  EXPECT_EQ(text, buffer);
  {  // a shorter line in the same buffer; keys outside the vocabulary have no name
    SrmTupleLine next(&buffer);
    next.addInteger(kKeyCount, INT64_MIN);
    next.addInteger(kKeyState, INT64_MAX);
    next.addKeyName(-1, kKeyCount);
  }
  EXPECT_EQ("\"=-9223372036854775808\",\"State=9223372036854775807\",\"=\",", buffer);
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  close(fds[0]);
  close(fds[1]);
  EXPECT_EQ(0, SrmWriteAll(fds[1], "abc"));
  EXPECT_EQ(0, SrmWriteAll(-1, "abc"));
  EXPECT_EQ(1, SrmWriteAll(-1, ""));
}

// What the golden scans' errors cannot show: nothing written without a database or to a bad
// descriptor, no owner's name asked for, and numbers read as far as they go.
TEST(SrmErrorTest, WritingAndReadingEdges) {
  SrmError e("d", -9, 3, "C", "T", "F");
  int result = 0;
  EXPECT_EQ("", WrittenText([&](int fd) { return e.serialize(fd, 0, "vol"); }, &result));
  EXPECT_EQ(0, result);
  SrmResourceDatabase db;
  e.setDatabase(&db);
  EXPECT_EQ(0, e.serialize(-1, 0, "vol"));
  StringStream stream("\"Id=vol\",\"FileName=f.c\",\"Sev=\",\"Ecode=12abc\",\"HostName=h\",;");
  CSRMReportTupleStreamReader reader;
  reader.SetTupleStream(&stream);
  CSRMReportTuple tuple;
  ASSERT_EQ(CSRM_OK, reader.ReadNextTuple(&tuple));
  SrmError back(nullptr);
  std::string name = "unchanged";
  EXPECT_EQ(0, back.deserialize(0, &name, nullptr));
  EXPECT_EQ(1, back.deserialize(0, nullptr, &tuple));
  EXPECT_EQ("unchanged f.c 12 0", name + " " + back.getFileName() + " " +
                                      std::to_string(back.getCode()) + " " +
                                      std::to_string(back.getSeverity()));
}

TEST(SrmErrorListTest, FilingMergingAndWriting) {
  SrmResourceDatabase db;
  SrmErrorList list(&db);
  int result = -1;
  EXPECT_EQ("", WrittenText([&](int fd) { return list.serialize(fd, 0); }, &result));
  EXPECT_EQ(0, result);
  EXPECT_EQ(nullptr, list.getSrmErrorIdMap("disk"));
  SrmError* refused = new SrmError("x", 22, 2, "", "", "");
  EXPECT_EQ(0, list.addError("", refused));  // stays the caller's
  delete refused;
  EXPECT_EQ(0, list.addError("disk", nullptr));
  SrmError* errors[] = {new SrmError("v", 1, 1, "", "", ""), new SrmError("a", 22, 2, "", "", ""),
                        new SrmError("b", 22, 2, "", "", "")};
  EXPECT_EQ(1, list.addError("Vol", errors[0]));
  EXPECT_EQ(1, list.addError("DISK\xC4", errors[1]));
  EXPECT_EQ(1, list.addError("disk\xC4", errors[2]));
  EXPECT_EQ(&db, errors[1]->getDatabase());
  EXPECT_EQ(2, list.getErrorCount("dIsK\xC4"));
  EXPECT_EQ(0, list.getErrorCount("fs"));
  EXPECT_EQ(nullptr, list.getSrmErrorIdMap(""));
  EXPECT_EQ(3, list.getErrorCount());
  EXPECT_EQ(errors[2], list.getSrmErrorIdMap("Disk\xC4")->back().get());
  EXPECT_EQ(
      "\"Type=Error\",\"Id=disk\xC4\",\"ErrorDesc=a\",\"Ecode=22\",\"Sev=2\",;\n"
      "\"Type=Error\",\"Id=disk\xC4\",\"ErrorDesc=b\",\"Ecode=22\",\"Sev=2\",;\n"
      "\"Type=Error\",\"Id=vol\",\"ErrorDesc=v\",\"Ecode=1\",\"Sev=1\",;\n",
      WrittenText([&](int fd) { return list.serialize(fd, 0); }, &result));
  EXPECT_EQ(3, result);
  // Merging re-creates the errors in the database, in order, copied not moved; merging the
  // database's own list into itself copies each error once.
  SrmErrorList* own = db.getErrorList();
  EXPECT_EQ(1, own->mergeErrors(&list));
  EXPECT_EQ(1, own->mergeErrors(nullptr));
  EXPECT_EQ(1, own->mergeErrors(own));
  EXPECT_EQ(6, own->getErrorCount());
  EXPECT_EQ("b", own->getSrmErrorIdMap("disk\xC4")->back()->getDescription());
  EXPECT_EQ(3, list.getErrorCount());
  EXPECT_EQ(0, SrmErrorList(nullptr).mergeErrors(&list));
  // The first error the database refuses (an empty description) ends the merge.
  SrmErrorList partial(nullptr), target(&db);
  partial.addError("a", new SrmError("first", 22, 2, "", "", ""));
  partial.addError("b", new SrmError("", 22, 2, "", "", ""));
  partial.addError("c", new SrmError("third", 22, 2, "", "", ""));
  SrmResourceDatabase fresh;
  EXPECT_EQ(0, fresh.getErrorList()->mergeErrors(&partial));
  EXPECT_EQ(1, fresh.getErrorList()->getErrorCount());
}

}  // namespace
