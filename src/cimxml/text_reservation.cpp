// The range is mapped inaccessible at first, which costs neither memory nor commit charge;
// growth makes its leading part readable and writable, which the system then accounts like any
// other private memory, so a failure to have it shows here and not at first touch.
#include "cimxml/text_reservation.h"

#include <cstdint>

#if defined(__linux__) && UINTPTR_MAX > 0xFFFFFFFFu
#include <sys/mman.h>
#define RESDB_TEXT_RESERVATIONS 1
#endif

#ifdef RESDB_TEXT_RESERVATIONS

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
// Room for the largest capacity an unsigned int counts, in whole huge pages.
constexpr size_t kRangeBytes = size_t{4} << 30;

size_t wholeHugePages(size_t bytes) {
  return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

}  // namespace

char* textReservationCreate(size_t usable) {
  if (usable > kRangeBytes) return nullptr;
  // Set aside one huge page more than needed, then give back what lies outside the first
  // range on a huge-page boundary.
  void* mapped =
      mmap(nullptr, kRangeBytes + kHugePage, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const uintptr_t first = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t start = (first + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = start + kRangeBytes;
  if (start > first) munmap(mapped, start - first);
  // start lies less than a huge page past first, so some of the extra page is always left.
  munmap(reinterpret_cast<void*>(end), first + kRangeBytes + kHugePage - end);
  char* range = reinterpret_cast<char*>(start);
  if (!textReservationGrow(range, 0, usable)) {
    textReservationRelease(range);
    return nullptr;
  }
  return range;
}

bool textReservationGrow(char* start, size_t usableBefore, size_t usable) {
  if (usable > kRangeBytes) return false;
  const size_t from = wholeHugePages(usableBefore);
  const size_t to = wholeHugePages(usable);
  if (to <= from) return true;
  if (mprotect(start + from, to - from, PROT_READ | PROT_WRITE) != 0) {
    // The part stays (or is put back) inaccessible; the range is as it was.
    mprotect(start + from, to - from, PROT_NONE);
    return false;
  }
  // Only advice: the range works the same where the system declines.
  madvise(start + from, to - from, MADV_HUGEPAGE);
  return true;
}

void textReservationRelease(char* start) {
  if (start != nullptr) munmap(start, kRangeBytes);
}

size_t textReservationLimit() {
  return kRangeBytes;
}

#else  // no ranges on this system: the buffer keeps to malloc

char* textReservationCreate(size_t) {
  return nullptr;
}

bool textReservationGrow(char*, size_t, size_t) {
  return false;
}

void textReservationRelease(char*) {}

size_t textReservationLimit() {
  return 0;
}

#endif
