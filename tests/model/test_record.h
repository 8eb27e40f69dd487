// TestRecord: the smallest record kind the model's tests need. It remembers the records
// merged into it, can refuse merges or run a hook inside them, and runs a caller's hook when
// it dies (to count deaths or to reach into lists the way container kinds do).
#ifndef RESDB_TESTS_MODEL_TEST_RECORD_H_
#define RESDB_TESTS_MODEL_TEST_RECORD_H_

#include <functional>
#include <string>
#include <vector>

#include "model/srm_resource.h"

class TestRecord : public SrmResource {
 public:
  TestRecord(SrmResourceType kind, const std::string& id, std::function<void()> on_destroy = {})
      : SrmResource(kind), on_destroy_(std::move(on_destroy)) {
    setId(id);
  }

  int mergeResource(SrmResource* other) override {
    merged_from.push_back(other);
    if (on_merge) on_merge();
    return merge_result;
  }
  int serialize(int, int) override { return 0; }
  int deserialize(int, CSRMReportTuple*) override { return 0; }

  std::vector<SrmResource*> merged_from;  // borrowed, in call order
  int merge_result = 1;
  std::function<void()> on_merge;  // runs inside every merge

 private:
  ~TestRecord() override {
    if (on_destroy_) on_destroy_();
  }

  std::function<void()> on_destroy_;
};

#endif  // RESDB_TESTS_MODEL_TEST_RECORD_H_
