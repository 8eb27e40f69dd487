#include "model/record_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "db/srm_resource_database.h"
#include "fd_capture.h"

namespace {

// A record kind made for these tests: one field of every shape the table offers.
class CodecRecord : public SrmResource {
 public:
  explicit CodecRecord(SrmStateRule rule = SrmStateRule::Replace, bool reads_lid = true)
      : SrmResource(SRM_DISK), rule_(rule), reads_lid_(reads_lid) {}
  ~CodecRecord() override = default;

  int mergeResource(SrmResource* other) override {
    return Codec().merge(this, other, [](CodecRecord* dst, CodecRecord*) { ++dst->also_calls; });
  }
  int serialize(int fd, int flags) override {
    return Codec().write(*this, fd, flags, [this](SrmTupleLine* line, int key) {
      if (key == kKeyDiskCount) line->addInteger(key, extra_count);
    });
  }
  int deserialize(int, CSRMReportTuple* tuple) override {
    Codec().read(this, tuple,
                 [this](int key, const std::string& value) { extras.emplace_back(key, value); });
    return 1;
  }

  std::string name;      // Name: merged when set
  std::string vendor;    // Vendor: merged only into an empty one
  std::string model;     // Model: never merged
  int32_t status = 0;    // Status
  int32_t llt = -1;      // LLTId: -1 is unset; merged only into an unset one
  int32_t sectors = 0;   // SectorSize: a negative value is ignored
  int64_t capacity = 0;  // CapacityKB: a negative value is ignored
  int64_t start = -1;    // Start: -1 is unset, negative values are taken
  std::string desc;      // StatusDesc: always merged, even when empty
  int32_t rpm = 0;       // RPM: merged whenever not negative, 0 included
  int extra_count = 0;   // DiskCount, written by the kind's own hook
  int also_calls = 0;    // merges that reached the kind's own step
  std::vector<std::pair<int, std::string>> extras;  // what the table did not take

 private:
  const SrmRecordCodec<CodecRecord>& Codec() const {
    using F = SrmField<CodecRecord>;
    auto make = [](SrmStateRule rule, bool lid) {
      return SrmRecordCodec<CodecRecord>(
          kKeyDisk, rule,
          {F::Text(kKeyName, &CodecRecord::name),
           F::Text(kKeyVendor, &CodecRecord::vendor, F::Merge::IntoUnset),
           F::Text(kKeyModel, &CodecRecord::model, F::Merge::Never),
           F::Int(kKeyStatus, &CodecRecord::status),
           F::Int(kKeyLLTId, &CodecRecord::llt, -1, F::Merge::IntoUnset),
           F::Int(kKeySectorSize, &CodecRecord::sectors, 0, F::Merge::IfSet, F::Read::NonNegative),
           F::Int64(kKeyCapacityKB, &CodecRecord::capacity, F::Read::NonNegative),
           F::Int64(kKeyStart, &CodecRecord::start, F::Read::Assign, F::Merge::IfSet, -1),
           F::Text(kKeyStatusDesc, &CodecRecord::desc, F::Merge::Overwrite),
           F::Int(kKeyRPM, &CodecRecord::rpm, 0, F::Merge::Overwrite)},
          {kKeyType, kKeyId, kKeyPubId, kKeyLId, kKeyState, kKeyName, kKeyVendor, kKeyModel,
           kKeyStatus, kKeyLLTId, kKeySectorSize, kKeyCapacityKB, kKeyStart, kKeyDiskCount},
          {kKeyType, kKeyId}, lid);
    };
    static const SrmRecordCodec<CodecRecord> replace = make(SrmStateRule::Replace, true);
    static const SrmRecordCodec<CodecRecord> ored = make(SrmStateRule::Or, true);
    static const SrmRecordCodec<CodecRecord> ignore = make(SrmStateRule::Ignore, true);
    static const SrmRecordCodec<CodecRecord> no_lid = make(SrmStateRule::Replace, false);
    if (!reads_lid_) return no_lid;
    switch (rule_) {
      case SrmStateRule::Or:
        return ored;
      case SrmStateRule::Ignore:
        return ignore;
      default:
        return replace;
    }
  }

  SrmStateRule rule_;
  bool reads_lid_;
};

CSRMReportTuple MakeTuple(const std::vector<std::string>& elements) {
  CSRMReportTuple tuple;
  for (const std::string& e : elements) tuple.addElement(e);
  return tuple;
}

// Splits a canonical line into its quoted elements.
CSRMReportTuple ParseLine(const std::string& text) {
  CSRMReportTuple tuple;
  for (size_t pos = 0; pos < text.size() && text[pos] == '"';) {
    size_t end = text.find("\",", pos + 1);
    if (end == std::string::npos) break;
    tuple.addElement(text.substr(pos, end + 1 - pos));
    pos = end + 2;
  }
  return tuple;
}

class RecordCodecTest : public ::testing::Test {
 protected:
  ~RecordCodecTest() override {
    for (CodecRecord* r : records_) r->Release();
  }
  CodecRecord* New(SrmStateRule rule = SrmStateRule::Replace, bool reads_lid = true) {
    records_.push_back(new CodecRecord(rule, reads_lid));
    return records_.back();
  }
  std::string Write(CodecRecord* r, int flags, int* result) {
    std::string text;
    *result = CaptureWrites([&](int fd) { return r->serialize(fd, flags); }, &text);
    return text;
  }

  SrmResourceDatabase db;
  std::vector<CodecRecord*> records_;
};

TEST_F(RecordCodecTest, WritesFullAndReferenceLines) {
  CodecRecord* r = New();
  r->setDatabase(&db);
  r->setId("d1");
  r->setLId("g1");
  r->name = "n";
  r->model = "m";
  r->capacity = 3907018584LL;
  r->extra_count = 3;
  int result = 0;
  EXPECT_EQ(
      "\"Type=Disk\",\"Id=d1\",\"LId=g1\",\"State=12\",\"Name=n\",\"Model=m\",\"Status=0\","
      "\"LLTId=-1\",\"SectorSize=0\",\"CapacityKB=3907018584\",\"Start=-1\",\"DiskCount=3\",;\n",
      Write(r, 0, &result));
  EXPECT_EQ(1, result);
  EXPECT_EQ("\"Type=Disk\",\"Id=d1\",;\n", Write(r, 1, &result));
  EXPECT_EQ(1, result);
}

TEST_F(RecordCodecTest, WritesNothingWithoutDatabaseOrToABadDescriptor) {
  CodecRecord* r = New();
  r->setId("d1");
  int result = 1;
  EXPECT_EQ("", Write(r, 0, &result));
  EXPECT_EQ(0, result);
  r->setDatabase(&db);
  EXPECT_EQ(0, r->serialize(-1, 0));
}

TEST_F(RecordCodecTest, StateRules) {
  struct {
    SrmStateRule rule;
    int32_t flags;
  } cases[] = {
      {SrmStateRule::Replace, 49}, {SrmStateRule::Or, 12 | 49}, {SrmStateRule::Ignore, 12}};
  for (const auto& c : cases) {
    CodecRecord* r = New(c.rule);
    CSRMReportTuple tuple = MakeTuple({"\"Type=Disk\"", "\"State=49\""});
    r->deserialize(0, &tuple);
    EXPECT_EQ(c.flags, r->getFlags());
    // State is the base record's key: it never reaches the kind's hook.
    EXPECT_EQ((std::vector<std::pair<int, std::string>>{{kKeyType, "Disk"}}), r->extras);
  }
}

TEST_F(RecordCodecTest, ReadsFieldsAndHandsUnknownKeysOn) {
  CodecRecord* r = New();
  r->sectors = 7;
  r->capacity = 9;
  CSRMReportTuple tuple = MakeTuple({"\"Id=d1\"", "\"PubId=p\"", "\"LId=g\"", "\"Name=n\"",
                                     "\"Status=-2\"", "\"SectorSize=-3\"", "\"CapacityKB=-1\"",
                                     "\"Start=-5\"", "\"HostName=h\"", "\"Bogus=b\""});
  r->deserialize(0, &tuple);
  EXPECT_EQ("d1", r->getId());
  EXPECT_EQ("p", r->getPubId());
  EXPECT_EQ("g", r->getLId());
  EXPECT_EQ("n", r->name);
  EXPECT_EQ(-2, r->status);
  EXPECT_EQ(7, r->sectors);   // negative: ignored
  EXPECT_EQ(9, r->capacity);  // negative: ignored
  EXPECT_EQ(-5, r->start);
  EXPECT_EQ((std::vector<std::pair<int, std::string>>{{kKeyHostName, "h"}, {kKeyType, "b"}}),
            r->extras);

  CodecRecord* no_lid = New(SrmStateRule::Replace, false);
  CSRMReportTuple with_lid = MakeTuple({"\"LId=g\""});
  no_lid->deserialize(0, &with_lid);
  EXPECT_EQ("", no_lid->getLId());
  EXPECT_TRUE(no_lid->extras.empty());
}

TEST_F(RecordCodecTest, WrittenLineReadsBack) {
  CodecRecord* r = New();
  r->setDatabase(&db);
  r->setId("d1");
  r->setPubId("p1");
  r->setFlags(12 | 32);
  r->name = std::string(3000, 'n');
  r->vendor = "v";
  r->status = 3;
  r->llt = 4;
  r->sectors = 512;
  r->capacity = 3907018584LL;
  r->start = 0;
  int result = 0;
  std::string text = Write(r, 0, &result);
  ASSERT_EQ(1, result);
  CSRMReportTuple tuple = ParseLine(text);
  CodecRecord* back = New();
  back->deserialize(0, &tuple);
  EXPECT_EQ(r->getId(), back->getId());
  EXPECT_EQ(r->getPubId(), back->getPubId());
  EXPECT_EQ(r->getFlags(), back->getFlags());
  EXPECT_EQ(r->name, back->name);
  EXPECT_EQ(r->vendor, back->vendor);
  EXPECT_EQ(r->status, back->status);
  EXPECT_EQ(r->llt, back->llt);
  EXPECT_EQ(r->sectors, back->sectors);
  EXPECT_EQ(r->capacity, back->capacity);
  EXPECT_EQ(r->start, back->start);
}

TEST_F(RecordCodecTest, MergeRules) {
  CodecRecord* dst = New();
  CodecRecord* src = New();
  dst->name = "old";
  dst->vendor = "old";
  dst->model = "old";
  dst->status = 1;
  dst->llt = 2;
  dst->capacity = 10;
  src->name = "new";
  src->vendor = "new";
  src->model = "new";
  src->status = 0;     // unset: kept
  src->llt = 5;        // target already set: kept
  src->sectors = -4;   // negative: never taken
  src->capacity = 20;  // set: taken
  src->start = 0;      // 0 is set where -1 means unset
  dst->mergeResource(src);
  EXPECT_EQ("new", dst->name);
  EXPECT_EQ("old", dst->vendor);
  EXPECT_EQ("old", dst->model);
  EXPECT_EQ(1, dst->status);
  EXPECT_EQ(2, dst->llt);
  EXPECT_EQ(0, dst->sectors);
  EXPECT_EQ(20, dst->capacity);
  EXPECT_EQ(0, dst->start);
  EXPECT_EQ(12, dst->getFlags());  // only the argument is marked
  EXPECT_EQ(1, src->isMerged());
  EXPECT_EQ(1, dst->also_calls);

  CodecRecord* empty = New();
  CodecRecord* full = New();
  full->vendor = "v";
  full->llt = 7;
  EXPECT_EQ(1, empty->mergeResource(full));
  EXPECT_EQ("v", empty->vendor);
  EXPECT_EQ(7, empty->llt);
  EXPECT_EQ("", empty->model);
}

TEST_F(RecordCodecTest, OverwriteTakesEmptyTextsAndAnyNonNegativeNumber) {
  struct {
    std::string desc;
    int32_t rpm;
    std::string want_desc;
    int32_t want_rpm;
  } cases[] = {{"", 0, "", 0}, {"new", -1, "new", 9}, {"", 7, "", 7}};
  for (const auto& c : cases) {
    CodecRecord* dst = New();
    CodecRecord* src = New();
    dst->desc = "old";
    dst->rpm = 9;
    src->desc = c.desc;
    src->rpm = c.rpm;
    EXPECT_EQ(1, dst->mergeResource(src));
    EXPECT_EQ(c.want_desc, dst->desc);
    EXPECT_EQ(c.want_rpm, dst->rpm);
  }
}

TEST_F(RecordCodecTest, MergeRefusesOtherKindsAndSkipsMergedRecords) {
  CodecRecord* dst = New();
  dst->name = "old";
  EXPECT_EQ(0, dst->mergeResource(nullptr));

  struct OtherKind : SrmResource {
    OtherKind() : SrmResource(SRM_VOLUME) {}
    int mergeResource(SrmResource*) override { return 1; }
    int serialize(int, int) override { return 0; }
    int deserialize(int, CSRMReportTuple*) override { return 0; }
  };
  OtherKind* volume = new OtherKind;
  EXPECT_EQ(0, dst->mergeResource(volume));
  volume->Release();

  CodecRecord* merged = New();
  merged->name = "new";
  merged->setMerged();
  EXPECT_EQ(1, dst->mergeResource(merged));
  EXPECT_EQ("old", dst->name);
  EXPECT_EQ(0, dst->also_calls);
}

}  // namespace
