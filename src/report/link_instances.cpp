// The link every pass makes between two filed instances: look both ends up, then build the
// association between them and keep its key.
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>

#include "report/qdx_report.h"

namespace {

// The size of a block of association keys; a longer key gets a block of its own.
constexpr size_t kKeyBlockBytes = 64 * 1024;

// The whole key of an association read byte by byte: its pieces one after another.
class JoinedKey {
 public:
  JoinedKey(std::string_view a, std::string_view b, std::string_view c) : pieces_{a, b, c} {}
  // The next byte (as unsigned char) in *byte; false at the end.
  bool Next(int* byte) {
    while (piece_ < 3 && at_ == pieces_[piece_].size()) {
      ++piece_;
      at_ = 0;
    }
    if (piece_ == 3) return false;
    *byte = static_cast<unsigned char>(pieces_[piece_][at_++]);
    return true;
  }

 private:
  std::string_view pieces_[3];
  int piece_ = 0;
  size_t at_ = 0;
};

uint32_t MapKeyLength(const char* key) {
  uint32_t length;
  memcpy(&length, key, sizeof length);
  return length;
}

}  // namespace

int QDX_Report::CompareKeys(const FiledAssociation& a, const FiledAssociation& b) {
  const uint32_t la = MapKeyLength(a.key);
  const uint32_t lb = MapKeyLength(b.key);
  const char* ka = a.key + sizeof la;
  const char* kb = b.key + sizeof lb;
  // The usual cases: the map keys differ within the shorter one, or they are the same and the
  // class or the categories decide.
  if (int c = memcmp(ka, kb, la < lb ? la : lb)) return c;
  if (la == lb) {
    if (int c = strcmp(a.association->className, b.association->className)) return c;
    return memcmp(ka + la + 1, kb + lb + 1, 2);
  }
  // One map key begins the other: the whole texts compared byte by byte.
  JoinedKey x({ka, la + 1}, a.association->className, {ka + la, 3});
  JoinedKey y({kb, lb + 1}, b.association->className, {kb + lb, 3});
  int p = 0;
  int q = 0;
  while (true) {
    const bool more_x = x.Next(&p);
    const bool more_y = y.Next(&q);
    if (!more_x || !more_y) return static_cast<int>(more_x) - static_cast<int>(more_y);
    if (p != q) return p - q;
  }
}

int QDX_Report::LinkInstances(const char* class_name, int key_count, const char* const* key_names,
                              const EndLookup& first, const EndLookup& second,
                              const MapKey& map_key, std::initializer_list<ExtraProperty> extra) {
  // Both ends are looked up even when the first is missing, so that each missing end is
  // warned about.
  CCIMInstance* first_instance = FindCIMInstance(first.id, first.category);
  CCIMInstance* second_instance = FindCIMInstance(second.id, second.category);
  if (first_instance == nullptr || second_instance == nullptr) return -1;
  CCIMInstance* association =
      CreateAssociation(class_name, key_count, key_names, {first.role, first_instance},
                        {second.role, second_instance}, extra);
  if (association == nullptr) return 0;
  // The map key, its length first, then a NUL and the categories go to the keys' last block.
  const size_t tail = map_key.tail != nullptr ? strlen(map_key.tail) : 0;
  const size_t length =
      map_key.first.size() + 1 + map_key.second.size() + (map_key.tail != nullptr ? 1 + tail : 0);
  if (length > UINT32_MAX) throw std::bad_alloc();  // no memory holds such a key twice over
  const size_t size = sizeof(uint32_t) + length + 3;
  if (static_cast<size_t>(key_room_end_ - key_room_) < size) {
    const size_t block = size > kKeyBlockBytes ? size : kKeyBlockBytes;
    association_keys_.emplace_back();
    association_keys_.back().reset(new char[block]);
    key_room_ = association_keys_.back().get();
    key_room_end_ = key_room_ + block;
  }
  char* key = key_room_;
  const auto stored = static_cast<uint32_t>(length);
  char* at = key;
  auto put = [&at](const void* bytes, size_t n) {
    memcpy(at, bytes, n);
    at += n;
  };
  put(&stored, sizeof stored);
  put(map_key.first.data(), map_key.first.size());
  put("~", 1);
  put(map_key.second.data(), map_key.second.size());
  if (map_key.tail != nullptr) {
    put("~", 1);
    put(map_key.tail, tail);
  }
  const char categories[3] = {'\0', static_cast<char>('0' + first.category),
                              static_cast<char>('0' + second.category)};
  put(categories, 3);
  key_room_ = at;
  associations_.push_back({key, association});
  return 1;
}
