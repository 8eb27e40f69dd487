// PathMemo: where the text of each instance path already written into one document lies, so
// that a path referred to again is copied from there instead of being written anew. A report
// refers to each instance from every association it takes part in; the associations share the
// instance's path record, and its text is the same wherever it is written at the same level.
// The marshaller keeps the opening lines of properties the same way, under their names' texts
// (a variant then tells the types and key flags apart).
// Ownership: the memo owns its table only; it borrows neither the paths (their addresses are
// only compared) nor the buffer. A memo that cannot grow forgets nothing it had and learns
// nothing more: the document is then written as it would be without it.
#ifndef RESDB_CIMXML_PATH_MEMO_H_
#define RESDB_CIMXML_PATH_MEMO_H_

#include <cstddef>

class PathMemo {
 public:
  // Where a path's text lies in the document: length bytes from offset, written at level, of
  // the variant the writer asked for (0 for a path).
  struct Place {
    unsigned int offset;
    unsigned int length;
    int level;
    int variant;
  };

  PathMemo() = default;
  PathMemo(const PathMemo&) = delete;
  PathMemo& operator=(const PathMemo&) = delete;
  ~PathMemo();

  // The place remembered for path, or null.
  const Place* find(const void* path) const;
  // Remembers (or replaces) the place of path; nothing when the table cannot grow.
  void remember(const void* path, Place place);

 private:
  struct Slot {
    const void* path;  // null: free
    Place place;
  };

  size_t probe(const void* path) const;  // the slot of path, or the free slot ending its probe
  bool grow();

  Slot* slots_ = nullptr;  // malloc'd; a power of two in number, at most half in use
  size_t capacity_ = 0;
  size_t used_ = 0;
};

#endif  // RESDB_CIMXML_PATH_MEMO_H_
