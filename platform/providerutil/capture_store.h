// CaptureStore: a mutex-guarded in-memory store of the most recent entries, used for the log
// lines and the result records. Not part of the library's interface.
#ifndef RESDB_PLATFORM_CAPTURE_STORE_H_
#define RESDB_PLATFORM_CAPTURE_STORE_H_

#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "providerutil.h"

template <typename Entry>
class CaptureStore {
 public:
  // The store of the process. Never destroyed, so that logging from other static destructors
  // at exit stays safe.
  static CaptureStore& instance() {
    static CaptureStore* store = new CaptureStore();
    return *store;
  }

  // Keeps the entry, dropping the oldest when the store is full. May throw std::bad_alloc.
  void add(Entry entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (entries_.size() >= ProviderUtil::kCaptureLimit) entries_.pop_front();
    entries_.push_back(std::move(entry));
  }

  std::vector<Entry> snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<Entry>(entries_.begin(), entries_.end());
  }

  // Empties the store and gives back its memory (clear alone would keep the deque's blocks).
  void clear() {
    std::deque<Entry> emptied;
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.swap(emptied);
  }

 private:
  CaptureStore() = default;

  mutable std::mutex mutex_;
  std::deque<Entry> entries_;
};

#endif  // RESDB_PLATFORM_CAPTURE_STORE_H_
