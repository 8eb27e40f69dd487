// SrmIdIndex: open addressing with linear probing; removal shifts the following entries back,
// so a probe never needs markers of removed entries.
#include "model/srm_id_index.h"

#include <algorithm>
#include <cstdint>

#include "tuple/same_bytes.h"

namespace {
constexpr size_t kMinimumSlots = 16;
constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;  // 2^64 divided by the golden ratio
constexpr uint64_t kScrambler = 0xC2B2AE3D27D4EB4FULL;   // any odd word with mixed bits

// The 128-bit product of a and b with its two halves folded into one word: each bit of either
// factor reaches most bits of the result, the low bits included.
uint64_t FoldedProduct(uint64_t a, uint64_t b) {
  const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  return static_cast<uint64_t>(product) ^ static_cast<uint64_t>(product >> 64);
}
}  // namespace

// Sixteen bytes at a time, one multiplication each (Ids are mostly 20 to 60 bytes long, where a
// byte at a time costs several times as much); the last sixteen (or eight) overlap the ones
// before rather than being read byte by byte. The folded product carries the last bytes of a
// key (where Ids of one disk or volume differ: "...d0s0", "...d0s1") down to the slot bits.
size_t SrmIdHash(std::string_view key) noexcept {
  return SrmIdIndex::Hash(key);
}

inline size_t SrmIdIndex::Hash(std::string_view key) noexcept {
  const char* p = key.data();
  const size_t n = key.size();
  uint64_t h = n * kMultiplier;
  if (n > 16) {
    const char* last = p + n - 16;
    for (; p < last; p += 16) h = FoldedProduct(SrmLoad64(p) ^ kScrambler, SrmLoad64(p + 8) ^ h);
    h = FoldedProduct(SrmLoad64(last) ^ kScrambler, SrmLoad64(last + 8) ^ h);
  } else if (n >= 8) {
    h = FoldedProduct(SrmLoad64(p) ^ kScrambler, SrmLoad64(p + n - 8) ^ h);
  } else if (n >= 4) {
    h = FoldedProduct(((uint64_t{SrmLoad32(p)} << 32) | SrmLoad32(p + n - 4)) ^ kScrambler, h);
  } else if (n > 0) {
    h = FoldedProduct((uint64_t{static_cast<unsigned char>(p[0])} << 16 |
                       uint64_t{static_cast<unsigned char>(p[n / 2])} << 8 |
                       static_cast<unsigned char>(p[n - 1])) ^
                          kScrambler,
                      h);
  }
  return static_cast<size_t>(h);
}

inline size_t SrmIdIndex::probe(std::string_view key, size_t hash) const noexcept {
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.entry == nullptr) return i;
    if (slot.hash != hash) continue;
    const std::string_view stored = slot.entry->first;
    if (stored.size() == key.size() && SrmSameBytes(stored.data(), key.data(), key.size())) {
      return i;
    }
  }
}

void SrmIdIndex::place(Slot slot) noexcept {
  const size_t mask = slots_.size() - 1;
  size_t i = slot.hash & mask;
  while (slots_[i].entry != nullptr) i = (i + 1) & mask;
  slots_[i] = slot;
}

void SrmIdIndex::grow() {
  resize(slots_.empty() ? kMinimumSlots : slots_.size() * 4);
}

void SrmIdIndex::reserve(size_t count) {
  size_t slot_count = slots_.empty() ? kMinimumSlots : slots_.size();
  while (count * 2 > slot_count) slot_count *= 4;
  if (slot_count != slots_.size()) resize(slot_count);
}

void SrmIdIndex::resize(size_t slot_count) {
  std::vector<Slot> grown(slot_count, Slot{0, nullptr});
  grown.swap(slots_);  // nothing below can fail
  for (const Slot& slot : grown) {
    if (slot.entry != nullptr) place(slot);
  }
}

void SrmIdIndex::add(Entry* entry) noexcept {
  add(entry, Hash(entry->first));
}

void SrmIdIndex::add(Entry* entry, size_t hash) noexcept {
  place(Slot{hash, entry});
  ++size_;
}

void SrmIdIndex::remove(std::string_view key) noexcept {
  if (size_ == 0) return;
  const size_t mask = slots_.size() - 1;
  size_t hole = probe(key, Hash(key));
  if (slots_[hole].entry == nullptr) return;
  slots_[hole].entry = nullptr;
  --size_;
  // Moves back each following entry whose probe passes the hole, until a free slot.
  for (size_t i = (hole + 1) & mask; slots_[i].entry != nullptr; i = (i + 1) & mask) {
    const size_t home = slots_[i].hash & mask;
    // The entry stays when its home lies cyclically in (hole, i].
    const bool stays = hole < i ? (home > hole && home <= i) : (home > hole || home <= i);
    if (stays) continue;
    slots_[hole] = slots_[i];
    slots_[i].entry = nullptr;
    hole = i;
  }
}

SrmIdIndex::Entry* SrmIdIndex::find(std::string_view key) const noexcept {
  if (size_ == 0) return nullptr;
  return slots_[probe(key, Hash(key))].entry;
}

SrmIdIndex::Entry* SrmIdIndex::find(std::string_view key, size_t hash) const noexcept {
  if (size_ == 0) return nullptr;
  return slots_[probe(key, hash)].entry;
}

template <class Key, class Store>
inline void SrmIdIndex::findEach(const Key* keys, size_t count, Store store) const noexcept {
  if (size_ == 0) {
    for (size_t i = 0; i < count; ++i) store(i, nullptr);
    return;
  }
  constexpr size_t kStep = 32;
  size_t hashes[kStep];
  const size_t mask = slots_.size() - 1;
  for (size_t first = 0; first < count; first += kStep) {
    const size_t n = std::min(kStep, count - first);
    const Key* stepKeys = keys + first;
    // Each step asks the cache for what the next one reads: the home slots, then the entries
    // found there (most keys sit in their home slot).
    for (size_t i = 0; i < n; ++i) {
      hashes[i] = Hash(SrmViewOf(stepKeys[i]));
      __builtin_prefetch(&slots_[hashes[i] & mask]);
    }
    for (size_t i = 0; i < n; ++i) {
      __builtin_prefetch(slots_[hashes[i] & mask].entry);  // a prefetch of null is harmless
    }
    for (size_t i = 0; i < n; ++i)
      store(first + i, slots_[probe(SrmViewOf(stepKeys[i]), hashes[i])].entry);
  }
}

void SrmIdIndex::findMany(const std::string_view* keys, size_t count,
                          Entry** found) const noexcept {
  findEach(keys, count, [found](size_t i, Entry* entry) {
    found[i] = entry;
    if (entry != nullptr) __builtin_prefetch(entry->second);  // the caller reads the record next
  });
}

// findValues' store: each entry's record, asked of the cache as the caller reads it next.
struct SrmIdIndex::ValueStore {
  SrmResource** found;
  void operator()(size_t i, Entry* entry) const {
    found[i] = entry == nullptr ? nullptr : entry->second;
    if (entry != nullptr) __builtin_prefetch(entry->second);
  }
};

void SrmIdIndex::findValues(const std::string_view* keys, size_t count,
                            SrmResource** found) const noexcept {
  findEach(keys, count, ValueStore{found});
}

void SrmIdIndex::findValues(const SrmText* const* keys, size_t count,
                            SrmResource** found) const noexcept {
  findEach(keys, count, ValueStore{found});
}

void SrmIdIndex::clear() noexcept {
  for (Slot& slot : slots_) slot.entry = nullptr;
  size_ = 0;
}
