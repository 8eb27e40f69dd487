// SrmRef: the intrusive reference count every record and service group carries. A new object
// holds one reference, its creator's; Release() destroys it when the last one goes. Not atomic:
// an object belongs to one database, used by one thread at a time.
#ifndef RESDB_MODEL_SRM_REF_H_
#define RESDB_MODEL_SRM_REF_H_

#include <cstdint>
#include <memory>

class SrmRef {
 public:
  SrmRef() = default;
  SrmRef(const SrmRef&) = delete;
  SrmRef& operator=(const SrmRef&) = delete;

  // Takes one more reference; returns the new count.
  int AddRef() { return ++count_; }
  // Drops one reference; destroys the object when none is left. Never call it on null.
  void Release() {
    if (--count_ <= 0) destroy();
  }
  int getRefCount() const { return count_; }

 protected:
  // Only Release() ends a counted object.
  virtual ~SrmRef() = default;
  // Ends the object once its last reference is gone: deletes it, unless a class keeps its
  // objects elsewhere.
  virtual void destroy() { delete this; }

 private:
  int32_t count_ = 1;
};

// Drops one reference; the deleter of SrmHeld.
struct SrmReleaser {
  void operator()(SrmRef* object) const { object->Release(); }
};

// Holds the creator's reference of a new counted object for one scope, so that nothing thrown
// between its creation and its hand-over can leak it: the reference is released when the
// scope ends, however it ends.
template <class T>
using SrmHeld = std::unique_ptr<T, SrmReleaser>;

#endif  // RESDB_MODEL_SRM_REF_H_
