#include "model/srm_error.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "fd_capture.h"
#include "tuple/report_tuple.h"

namespace {

SrmError* NewError(const std::string& description, int code = 22, int severity = 2) {
  return new SrmError(description, code, severity, "", "", "");
}

CSRMReportTuple MakeTuple(const std::vector<std::string>& elements) {
  CSRMReportTuple tuple;
  for (const std::string& e : elements) tuple.addElement(e);
  return tuple;
}

TEST(SrmErrorTest, Defaults) {
  SrmResourceDatabase db;
  SrmError e(&db);
  EXPECT_EQ(&db, e.getDatabase());
  EXPECT_EQ(2, e.getSeverity());
  EXPECT_EQ(22, e.getCode());
  EXPECT_EQ("", e.getDescription());
  SrmError given("no label", 7, 4, "cls", "typ", "fn");
  EXPECT_EQ(nullptr, given.getDatabase());
  EXPECT_EQ("cls", given.getClass());
  EXPECT_EQ("typ", given.getErrorType());
  EXPECT_EQ("fn", given.getFunction());
  EXPECT_EQ("", given.getFileName());
}

TEST(SrmErrorTest, SerializeWritesTheCanonicalTuple) {
  SrmResourceDatabase db;
  struct Case {
    SrmError* error;
    std::string name;
    std::string expected;
  } cases[] = {
      {NewError("no label"), "disk",
       "\"Type=Error\",\"Id=disk\",\"ErrorDesc=no label\",\"Ecode=22\",\"Sev=2\",;\n"},
      {new SrmError(&db), "disk", "\"Type=Error\",\"Id=disk\",\"Ecode=22\",\"Sev=2\",;\n"},
      {new SrmError("d", -5, 4, "C", "T", "F"), "",
       "\"Type=Error\",\"ErrorDesc=d\",\"Ecode=-5\",\"Sev=4\",\"Etype=T\",\"Eclass=C\","
       "\"Efunc=F\",;\n"},
  };
  for (Case& c : cases) {
    c.error->setDatabase(&db);
    std::string text;
    EXPECT_EQ(1, CaptureWrites([&](int fd) { return c.error->serialize(fd, 0, c.name); }, &text));
    EXPECT_EQ(c.expected, text);
    delete c.error;
  }
}

TEST(SrmErrorTest, SerializeWithoutDatabaseWritesNothing) {
  SrmError e("x", 22, 2, "", "", "");
  std::string text;
  EXPECT_EQ(0, CaptureWrites([&](int fd) { return e.serialize(fd, 0, "disk"); }, &text));
  EXPECT_EQ("", text);
}

TEST(SrmErrorTest, SerializeToABadDescriptorFails) {
  SrmResourceDatabase db;
  SrmError e(&db);
  EXPECT_EQ(0, e.serialize(-1, 0, "disk"));
}

TEST(SrmErrorTest, LongDescriptionIsWrittenWhole) {
  SrmResourceDatabase db;
  std::string description(5000, 'x');
  SrmError e(description, 22, 2, "", "", "");
  e.setDatabase(&db);
  std::string text;
  EXPECT_EQ(1, CaptureWrites([&](int fd) { return e.serialize(fd, 0, "disk"); }, &text));
  EXPECT_EQ(
      "\"Type=Error\",\"Id=disk\",\"ErrorDesc=" + description + "\",\"Ecode=22\",\"Sev=2\",;\n",
      text);
}

TEST(SrmErrorTest, DeserializeReadsItsKeysAndIgnoresTheRest) {
  SrmError e(nullptr);
  std::string name = "unchanged";
  EXPECT_EQ(0, e.deserialize(0, &name, nullptr));
  EXPECT_EQ("unchanged", name);

  CSRMReportTuple tuple = MakeTuple({"\"Type=Error\"", "\"Id=fs\"", "\"Sev=4\"", "\"Ecode=7\""});
  EXPECT_EQ(1, e.deserialize(0, &name, &tuple));
  EXPECT_EQ("fs", name);
  EXPECT_EQ(4, e.getSeverity());
  EXPECT_EQ(7, e.getCode());
  EXPECT_EQ("", e.getDescription());

  CSRMReportTuple full =
      MakeTuple({"\"ErrorDesc=bad\"", "\"FileName=f.c\"", "\"Etype=T\"", "\"Eclass=C\"",
                 "\"Efunc=F\"", "\"Ecode=12abc\"", "\"HostName=h\"", "\"Sev=\""});
  SrmError other(nullptr);
  EXPECT_EQ(1, other.deserialize(0, nullptr, &full));
  EXPECT_EQ("bad", other.getDescription());
  EXPECT_EQ("f.c", other.getFileName());
  EXPECT_EQ("T", other.getErrorType());
  EXPECT_EQ("C", other.getClass());
  EXPECT_EQ("F", other.getFunction());
  EXPECT_EQ(12, other.getCode());
  EXPECT_EQ(0, other.getSeverity());
}

TEST(SrmErrorTest, WrittenErrorReadsBack) {
  SrmResourceDatabase db;
  SrmError e(std::string(300, 'd'), 9, 3, "C", "T", "F");
  e.setDatabase(&db);
  std::string text;
  ASSERT_EQ(1, CaptureWrites([&](int fd) { return e.serialize(fd, 0, "vol"); }, &text));
  // Split the canonical line into its quoted elements.
  CSRMReportTuple tuple;
  for (size_t pos = 0; text[pos] == '"';) {
    size_t end = text.find("\",", pos + 1);
    tuple.addElement(text.substr(pos, end + 1 - pos));
    pos = end + 2;
  }
  SrmError back(nullptr);
  std::string name;
  ASSERT_EQ(1, back.deserialize(0, &name, &tuple));
  EXPECT_EQ("vol", name);
  EXPECT_EQ(e.getDescription(), back.getDescription());
  EXPECT_EQ(9, back.getCode());
  EXPECT_EQ(3, back.getSeverity());
  EXPECT_EQ("C", back.getClass());
  EXPECT_EQ("T", back.getErrorType());
  EXPECT_EQ("F", back.getFunction());
}

TEST(SrmErrorListTest, NamesAreFoldedAndErrorsKeepFilingOrder) {
  SrmResourceDatabase db;
  SrmErrorList list(&db);
  SrmError* errors[] = {NewError("a"), NewError("b"), NewError("c")};
  EXPECT_EQ(1, list.addError("Disk", errors[0]));
  EXPECT_EQ(1, list.addError("DISK", errors[1]));
  EXPECT_EQ(1, list.addError("disk", errors[2]));
  EXPECT_EQ(3, list.getErrorCount("dIsK"));
  EXPECT_EQ(3, list.getErrorCount());
  EXPECT_EQ(&db, errors[1]->getDatabase());
  const SrmErrorList::ErrorQueue* queue = list.getSrmErrorIdMap("DiSk");
  ASSERT_NE(nullptr, queue);
  std::vector<SrmError*> order;
  for (const auto& e : *queue) order.push_back(e.get());
  EXPECT_EQ((std::vector<SrmError*>{errors[0], errors[1], errors[2]}), order);
  EXPECT_EQ("disk\xC4", SrmErrorList::FoldName("DISK\xC4"));  // bytes above ASCII stay
}

TEST(SrmErrorListTest, RefusedErrorsStayTheCallers) {
  SrmErrorList list(nullptr);
  SrmError* e = NewError("x");
  EXPECT_EQ(0, list.addError("", e));
  EXPECT_EQ(0, list.addError("disk", nullptr));
  EXPECT_EQ(0, list.getErrorCount());
  delete e;
}

TEST(SrmErrorListTest, ErrorIdMapNullCases) {
  SrmErrorList list(nullptr);
  EXPECT_EQ(nullptr, list.getSrmErrorIdMap("disk"));
  EXPECT_EQ(0, list.getErrorCount("disk"));
  list.addError("disk", NewError("x"));
  EXPECT_EQ(nullptr, list.getSrmErrorIdMap("fs"));
  EXPECT_EQ(nullptr, list.getSrmErrorIdMap(""));
  EXPECT_NE(nullptr, list.getSrmErrorIdMap("disk"));
}

TEST(SrmErrorListTest, SerializeWritesNamesInOrderAndCountsWhatWasWritten) {
  SrmResourceDatabase db;
  SrmErrorList list(&db);
  std::string text;
  EXPECT_EQ(0, CaptureWrites([&](int fd) { return list.serialize(fd, 0); }, &text));
  EXPECT_EQ("", text);

  list.addError("Vol", NewError("v", 1, 1));
  list.addError("disk", NewError("d1"));
  list.addError("DISK", NewError("d2"));
  EXPECT_EQ(3, CaptureWrites([&](int fd) { return list.serialize(fd, 0); }, &text));
  EXPECT_EQ(
      "\"Type=Error\",\"Id=disk\",\"ErrorDesc=d1\",\"Ecode=22\",\"Sev=2\",;\n"
      "\"Type=Error\",\"Id=disk\",\"ErrorDesc=d2\",\"Ecode=22\",\"Sev=2\",;\n"
      "\"Type=Error\",\"Id=vol\",\"ErrorDesc=v\",\"Ecode=1\",\"Sev=1\",;\n",
      text);

  SrmErrorList unlinked(nullptr);
  unlinked.addError("disk", NewError("d"));
  EXPECT_EQ(0, CaptureWrites([&](int fd) { return unlinked.serialize(fd, 0); }, &text));
}

TEST(SrmErrorListTest, MergeRecreatesErrorsInTheDatabase) {
  SrmResourceDatabase db;
  SrmErrorList source(nullptr);
  source.addError("Disk", new SrmError("d", 5, 1, "C", "T", "F"));
  source.addError("fs", NewError("f"));
  SrmErrorList* target = db.getErrorList();
  EXPECT_EQ(1, target->mergeErrors(&source));
  EXPECT_EQ(2, target->getErrorCount());
  const SrmErrorList::ErrorQueue* disk = target->getSrmErrorIdMap("disk");
  ASSERT_NE(nullptr, disk);
  const SrmError& copy = *disk->front();
  EXPECT_EQ("d", copy.getDescription());
  EXPECT_EQ(5, copy.getCode());
  EXPECT_EQ(1, copy.getSeverity());
  EXPECT_EQ("", copy.getClass());        // the database's error operation leaves the texts empty
  EXPECT_EQ(2, source.getErrorCount());  // copied, not moved
}

TEST(SrmErrorListTest, MergeStopsAtTheFirstRefusedError) {
  SrmResourceDatabase db;
  SrmErrorList source(nullptr);
  source.addError("a", NewError("first"));
  source.addError("b", NewError(""));  // the database refuses an empty description
  source.addError("c", NewError("third"));
  EXPECT_EQ(0, db.getErrorList()->mergeErrors(&source));
  EXPECT_EQ(1, db.getErrorList()->getErrorCount());
  EXPECT_EQ(nullptr, db.getErrorList()->getSrmErrorIdMap("c"));
}

TEST(SrmErrorListTest, MergeWithoutDatabaseOrSource) {
  SrmErrorList unlinked(nullptr);
  SrmErrorList source(nullptr);
  EXPECT_EQ(0, unlinked.mergeErrors(&source));
  SrmResourceDatabase db;
  EXPECT_EQ(1, db.getErrorList()->mergeErrors(&source));
  EXPECT_EQ(1, db.getErrorList()->mergeErrors(nullptr));
}

// The database files merged errors into its own list; merging that list into itself must copy
// each error once, not chase the copies it appends.
TEST(SrmErrorListTest, MergeIntoItselfDoublesOnce) {
  SrmResourceDatabase db;
  ASSERT_EQ(1, db.addError("disk", "x", 22, 2));
  ASSERT_EQ(1, db.addError("fs", "y", 22, 2));
  SrmErrorList* list = db.getErrorList();
  EXPECT_EQ(1, list->mergeErrors(list));
  EXPECT_EQ(4, list->getErrorCount());
}

}  // namespace
