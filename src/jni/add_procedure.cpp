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

// Files the method's collection-failure messages under host_name, as a scan error of this
// computer (nothing is filed while no host name is known).
void fileCollectionFailure(SrmResourceDatabase* db, const std::string& host_name,
                           const JniAddMethod& method, bool all_messages) {
  for (const char* message : method.attach_failure_messages) {
    if (message == nullptr) continue;
    db->addError(host_name, message, kAttachErrorCode, kAttachErrorSeverity);
    if (!all_messages) break;
  }
}

// Keeps the database's own computer as it was while a record reads itself: a computer read by
// an add method is bound to the database (to read its references) but is never made this
// computer by its TIM, and must not be left as this computer when it is merged and released.
class ThisComputerKept {
 public:
  explicit ThisComputerKept(SrmResourceDatabase* db) : db_(db), kept_(db->getCurrentComputer()) {}
  ThisComputerKept(const ThisComputerKept&) = delete;
  ThisComputerKept& operator=(const ThisComputerKept&) = delete;
  ~ThisComputerKept() { db_->restoreThisComputer(kept_); }

 private:
  SrmResourceDatabase* const db_;
  SrmComputer* const kept_;
};

// Turns every tuple of the attached stream into a record and merges or adds it. The end of the
// text answers success; a reader that ran out of memory answers kJniAddNoMemory; any other
// reader failure (a read error, text cut inside a tuple or inside a record's references) files
// the method's collection failure and answers its text. Records read before stay.
const char* loadTuples(SrmResourceDatabase* db, int fd, const JniAddMethod& method,
                       const std::string& host_name) {
  CSRMReportTupleStreamReader* reader = db->getTupleStream();
  if (reader == nullptr) return kJniAddSucceeded;
  CSRMReportTuple tuple;  // every tuple of the batch is read into the same buffers
  for (;;) {
    const unsigned long rc = reader->ReadNextTuple(&tuple);
    if (rc == CSRM_END_OF_DATA) return kJniAddSucceeded;
    if (rc == CSRM_NO_MEMORY) return kJniAddNoMemory;
    if (rc != CSRM_OK) {
      fileCollectionFailure(db, host_name, method, false);
      return method.attach_failure_messages[0];
    }

    NewRecord record(method.create(db));
    if (!record) return kJniAddNoMemory;
    ThisComputerKept own_computer(db);  // goes before the record is released
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
      fileCollectionFailure(db, host_name, method, true);
      return kJniAddAttachFailed;
    }
    // Detached before the file closes (locals go in reverse order).
    StreamAttachment attachment(db, fd);
    return loadTuples(db, fd, method, host_name);
  } catch (...) {
    // Records and tuples are released on the way out; allocation is what fails here.
    return kJniAddNoMemory;
  }
}
