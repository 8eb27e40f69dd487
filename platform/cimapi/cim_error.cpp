// The per-thread last error, cim_createException, and the allocation hook every other source
// of the library allocates through.
#include <cstdlib>
#include <cstring>

#include "cim_internal.h"
#include "cimapi.h"
#include "cimapi_testing.h"

namespace nmspc_cim {
namespace {

// The calling thread's exception record. Texts the library raises itself are constants;
// texts given to cim_createException are malloc'd copies, released when replaced or when the
// thread ends.
struct ErrorSlot {
  CCIMException record{CIM_ERR_NONE, "", ""};
  char* ownedMessage = nullptr;
  char* ownedOrigin = nullptr;

  ErrorSlot() = default;
  ErrorSlot(const ErrorSlot&) = delete;
  ErrorSlot& operator=(const ErrorSlot&) = delete;
  ~ErrorSlot() { dropCopies(); }

  void dropCopies() {
    free(ownedMessage);
    free(ownedOrigin);
    ownedMessage = nullptr;
    ownedOrigin = nullptr;
  }
};

thread_local ErrorSlot tError;
// Allocations left before the test hook makes them fail; negative: the hook is off.
thread_local long tAllocationsLeft = -1;

}  // namespace

namespace internal {

void* allocate(size_t size, const char* origin) {
  return allocateAligned(0, size, origin);
}

void* allocateAligned(size_t alignment, size_t size, const char* origin) {
  void* p = nullptr;
  if (tAllocationsLeft != 0) {
    if (size == 0) size = 1;
    p = alignment == 0 ? malloc(size) : aligned_alloc(alignment, size);
    if (tAllocationsLeft > 0) --tAllocationsLeft;
  }
  if (p == nullptr) setError(CIM_ERR_NO_MEMORY, "out of memory", origin);
  return p;
}

char* copyText(const char* text, const char* origin, bool* failed) {
  return copyTextIn(nullptr, text, origin, failed);
}

char* copyTextIn(CCIMArena* arena, const char* text, const char* origin, bool* failed) {
  if (text == nullptr) return nullptr;
  size_t size = strlen(text) + 1;
  char* copy = static_cast<char*>(allocateIn(arena, size, origin));
  if (copy == nullptr) {
    *failed = true;
    return nullptr;
  }
  memcpy(copy, text, size);
  return copy;
}

void setError(int code, const char* message, const char* origin) {
  tError.dropCopies();
  tError.record.code = code;
  tError.record.message = message != nullptr ? message : "";
  tError.record.origin = origin != nullptr ? origin : "";
}

}  // namespace internal

CCIMException* cim_getLastError() {
  return &tError.record;
}

CCIMException* cim_createException(int code, const char* message, const char* origin) {
  bool failed = false;
  char* messageCopy =
      internal::copyText(message != nullptr ? message : "", "cim_createException", &failed);
  char* originCopy =
      internal::copyText(origin != nullptr ? origin : "", "cim_createException", &failed);
  if (failed) {
    // The hook or malloc already recorded the out-of-memory error; keep that one.
    free(messageCopy);
    free(originCopy);
    return &tError.record;
  }
  tError.dropCopies();
  tError.ownedMessage = messageCopy;
  tError.ownedOrigin = originCopy;
  tError.record = CCIMException{code, messageCopy, originCopy};
  return &tError.record;
}

void cim_testFailAllocationsAfter(long successes) {
  tAllocationsLeft = successes < 0 ? -1 : successes;
}

}  // namespace nmspc_cim
