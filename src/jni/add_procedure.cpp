#include "jni/add_procedure.h"

#include <memory>
#include <new>
#include <string>

#include "db/srm_resource_database.h"
#include "jni/staging_file.h"
#include "model/srm_resource.h"
#include "tuple/report_tuple.h"
#include "tuple/result_codes.h"
#include "tuple/tuple_reader.h"

const char kJniAddSucceeded[] = "The operation succeeded.";
const char kJniAddNoMemory[] = "Memory allocation error";
const char kJniAddNoStagingFile[] = "The file could not be opened.";
const char kJniAddAttachFailed[] = "Failed to attach collection stream";

namespace {

// Where the agent keeps its own scratch files; $TMPDIR still takes precedence.
constexpr char kPreferredStagingDir[] = "/var/opt/ORVKagt/qdxom/tmpdir";
// Attach failures are filed as invalid-argument errors of severity 2.
constexpr int kAttachErrorCode = 22;
constexpr int kAttachErrorSeverity = 2;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using StagingFile = std::unique_ptr<FILE, FileCloser>;

// Drops the creator's reference: an added record lives on in the database's lists, a merged
// or unreadable one dies here.
struct ReferenceReleaser {
  void operator()(SrmResource* record) const { record->Release(); }
};
using NewRecord = std::unique_ptr<SrmResource, ReferenceReleaser>;

// Keeps the collection stream attached for the life of one batch.
class StreamAttachment {
 public:
  StreamAttachment(SrmResourceDatabase* db, int fd) : db_(db), fd_(fd) {}
  StreamAttachment(const StreamAttachment&) = delete;
  StreamAttachment& operator=(const StreamAttachment&) = delete;
  ~StreamAttachment() { db_->detachStream(fd_); }

 private:
  SrmResourceDatabase* const db_;
  const int fd_;
};

bool writeWholeText(FILE* file, const char* text) {
  // Buffered bytes that cannot be written show up only when flushed.
  return std::fputs(text, file) != EOF && std::fflush(file) == 0;
}

int attachCollectionStream(SrmResourceDatabase* db, int fd) {
  return db->attachStream(fd);
}

// Turns every tuple of the attached stream into a record and merges or adds it.
const char* loadTuples(SrmResourceDatabase* db, int fd, const JniAddMethod& method) {
  CSRMReportTupleStreamReader* reader = db->getTupleStream();
  if (reader == nullptr) return kJniAddSucceeded;
  CSRMReportTuple tuple;  // every tuple of the batch is read into the same buffers
  for (;;) {
    const unsigned long rc = reader->ReadNextTuple(&tuple);
    // The end of the text and a read failure both end the batch.
    if (rc != CSRM_OK) return kJniAddSucceeded;

    NewRecord record(method.create(db));
    if (!record) return kJniAddNoMemory;
    // A tuple that does not read as a record of this kind is dropped.
    if (record->deserialize(fd, &tuple) == 0) continue;
    SrmResource* existing = method.find ? method.find(db, record.get()) : nullptr;
    if (existing != nullptr) {
      existing->mergeResource(record.get());
    } else {
      method.insert(db, record.get());
    }
  }
}

}  // namespace

const JniStagingSteps& jniDefaultStagingSteps() {
  static const JniStagingSteps steps = {mktmpfile, writeWholeText, attachCollectionStream};
  return steps;
}

const char* jniAddBatch(SrmResourceDatabase* db, const char* text, const JniAddMethod& method,
                        const JniStagingSteps& steps) {
  try {
    // Learns the host name once a computer is known; errors of this batch are filed under it.
    db->getThisComputer();
    const std::string host_name = db->getHostName();

    StagingFile file(steps.open_file(kPreferredStagingDir));
    if (!file) return kJniAddNoStagingFile;
    // A batch that was cut short in staging would load as less than was collected.
    if (!steps.write_text(file.get(), text)) return kJniAddNoStagingFile;
    std::rewind(file.get());

    int fd = fileno(file.get());
    if (!steps.attach(db, fd)) {
      for (const char* message : method.attach_failure_messages) {
        if (message != nullptr)
          db->addError(host_name, message, kAttachErrorCode, kAttachErrorSeverity);
      }
      return kJniAddAttachFailed;
    }
    // Detached before the file closes (locals go in reverse order).
    StreamAttachment attachment(db, fd);
    return loadTuples(db, fd, method);
  } catch (...) {
    // Records and tuples are released on the way out; allocation is what fails here.
    return kJniAddNoMemory;
  }
}
