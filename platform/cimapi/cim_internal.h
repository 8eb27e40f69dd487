// Mechanics shared by the library's sources: allocation (with the test fault hook), text
// copies and the per-thread last error. Not part of the library's interface.
#ifndef RESDB_PLATFORM_CIM_INTERNAL_H_
#define RESDB_PLATFORM_CIM_INTERNAL_H_

#include <cstddef>

namespace nmspc_cim {

struct CCIMArena;

namespace internal {

// malloc(size) unless the test hook says this allocation fails. On failure: null, and the
// last error says CIM_ERR_NO_MEMORY from `origin`.
void* allocate(size_t size, const char* origin);
// The same aligned to alignment (a power of two that divides size; 0: as malloc aligns), to be
// freed with free().
void* allocateAligned(size_t alignment, size_t size, const char* origin);

// A malloc'd copy of text (null for null text, which is not a failure). *failed is set when
// the copy could not be made; the last error then says so.
char* copyText(const char* text, const char* origin, bool* failed);

// size bytes from arena, 8-byte aligned, living until the arena is released; for a null arena
// allocate(size, origin). A growth of the arena allocates through allocate() and fails as it
// does: null, the last error saying CIM_ERR_NO_MEMORY from `origin`.
void* allocateIn(CCIMArena* arena, size_t size, const char* origin);

// copyText, the copy made in arena (a null arena: malloc'd).
char* copyTextIn(CCIMArena* arena, const char* text, const char* origin, bool* failed);

// Records a failure of `origin` in the calling thread's last error.
void setError(int code, const char* message, const char* origin);

}  // namespace internal
}  // namespace nmspc_cim

#endif  // RESDB_PLATFORM_CIM_INTERNAL_H_
