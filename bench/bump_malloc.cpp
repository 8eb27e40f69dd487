// libbump_malloc.so: an allocator for one experiment, never for use. Preloaded under callgrind
// (see docs/performance.md), malloc becomes a bump pointer and free does nothing, so that each
// phase's count shows what is left of it when allocating and freeing cost almost nothing.
// Memory is never given back; one thread only.
#include <sys/mman.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr size_t kChunk = size_t{64} << 20;
constexpr size_t kHeader = 16;  // the block's size, kept just before it

char* g_next = nullptr;
char* g_end = nullptr;

uintptr_t Place(const char* from, size_t align) {
  return (reinterpret_cast<uintptr_t>(from) + kHeader + align - 1) & ~uintptr_t{align - 1};
}

// n bytes aligned to align (a power of two of at least 16); null when the system has no more.
void* Take(size_t n, size_t align) {
  uintptr_t at = g_next != nullptr ? Place(g_next, align) : 0;
  if (g_next == nullptr || at + n > reinterpret_cast<uintptr_t>(g_end)) {
    const size_t size = n + align + kHeader > kChunk ? n + align + kHeader : kChunk;
    void* chunk = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (chunk == MAP_FAILED) {
      errno = ENOMEM;
      return nullptr;
    }
    g_next = static_cast<char*>(chunk);
    g_end = g_next + size;
    at = Place(g_next, align);
  }
  reinterpret_cast<size_t*>(at)[-1] = n;
  g_next = reinterpret_cast<char*>(at + n);
  return reinterpret_cast<void*>(at);
}

size_t SizeOf(const void* p) {
  return p != nullptr ? static_cast<const size_t*>(p)[-1] : 0;
}

}  // namespace

extern "C" {

void* malloc(size_t n) {
  return Take(n, 16);
}

void free(void*) {}

void* calloc(size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) {
    errno = ENOMEM;
    return nullptr;
  }
  void* p = Take(count * size, 16);
  if (p != nullptr) memset(p, 0, count * size);
  return p;
}

void* realloc(void* p, size_t n) {
  void* grown = Take(n, 16);
  if (grown != nullptr && p != nullptr) memcpy(grown, p, SizeOf(p) < n ? SizeOf(p) : n);
  return grown;
}

int posix_memalign(void** out, size_t align, size_t n) {
  *out = Take(n, align < 16 ? 16 : align);
  return *out != nullptr ? 0 : ENOMEM;
}

void* aligned_alloc(size_t align, size_t n) {
  return Take(n, align < 16 ? 16 : align);
}

void* memalign(size_t align, size_t n) {
  return Take(n, align < 16 ? 16 : align);
}

size_t malloc_usable_size(void* p) {
  return SizeOf(p);
}

}  // extern "C"
