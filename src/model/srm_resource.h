// SrmResource: the abstract base of every inventory record. It carries the record's kind,
// its state flags, the three identity strings (Id, PubId, LId) and a borrowed link to the
// database it belongs to, through which it reaches the database's serialization buffer and
// the tuple reader of the collection stream being loaded. Its text fields live in a text store it
// holds a reference to: its database's, or one of its own when it has none. A record made by
// SrmNewInStore lives in that store too. Reference counted (SrmRef).
#ifndef RESDB_MODEL_SRM_RESOURCE_H_
#define RESDB_MODEL_SRM_RESOURCE_H_

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "model/srm_ref.h"
#include "model/text_store.h"

class CSRMReportTuple;
class CSRMReportTupleStreamReader;
class CSRMTupleFDStream;
class SrmResourceDatabase;

// Record kinds; the numbers travel nowhere but are fixed all the same.
enum SrmResourceType : int32_t {
  SRM_NO_TYPE = 0,
  SRM_COMPUTER = 1,
  SRM_DISK = 2,
  SRM_VOLUME = 3,
  SRM_FILESYSTEM = 4,
  SRM_MOUNTPOINT = 5,
  SRM_VIRTUALSERVER = 6,
  SRM_VOLUMEGROUP = 7,
  SRM_VOLUMEMANAGER = 8,
  SRM_DISKCHUNK = 9,
  SRM_SHARE = 10,
  SRM_ALIAS = 13,
};

// Bits of the state flags word.
enum SrmStateFlag : int32_t {
  SRM_FLAG_MARKED = 1,          // set on disks and alias identities; read by nothing
  SRM_FLAG_REPORT = 4,          // the record goes into the report
  SRM_FLAG_VIRTUAL_REPORT = 8,  // the record goes into a cluster's virtual report
  SRM_FLAG_MERGED = 16,         // the record was merged into another one
  SRM_FLAG_LOADED = 32,         // the record came from a serialized database
};
constexpr int32_t SRM_DEFAULT_FLAGS = SRM_FLAG_REPORT | SRM_FLAG_VIRTUAL_REPORT;

// The key id of the Type value naming a kind ("Disk" for SRM_DISK), or -1 for no kind.
int SrmTypeKeyOfKind(SrmResourceType kind);

class SrmResource : public SrmRef {
 public:
  // Folds a newer record describing the same object into this one; nonzero on success.
  virtual int mergeResource(SrmResource* other) = 0;
  // Empty in every kind; nothing calls them.
  virtual std::string getResourceReportString(bool) { return std::string(); }
  virtual std::string getResourceHeader(bool) { return std::string(); }
  // Writes the record as tuple text to fd (flags bit 1: the short reference form only).
  // Returns 0 without a database, on a short write, or when a child fails to write.
  virtual int serialize(int fd, int flags) = 0;
  // Fills the record from tuple; container kinds read their child references from the
  // database's tuple reader. Returns 0 for a null tuple or when references fail to resolve.
  virtual int deserialize(int fd, CSRMReportTuple* tuple) = 0;

  SrmResourceType getType() const { return kind_; }
  const SrmText& getId() const { return id_; }
  void setId(std::string_view id) { assignText(&id_, id); }
  const SrmText& getPubId() const { return pub_id_; }
  void setPubId(std::string_view id) { assignText(&pub_id_, id); }
  const SrmText& getLId() const { return lid_; }
  void setLId(std::string_view id) { assignText(&lid_, id); }

  // Sets field, one of this record's own, to a copy of value kept in the record's text store.
  // Throws std::bad_alloc, leaving the field as it was, when the store cannot be had or grow.
  void assignText(SrmText* field, std::string_view value) {
    field->assign(value.empty() ? nullptr : textStore(), value);
  }
  // Records live on the heap, or in a text store through SrmNewInStore.
  static void* operator new(size_t size) { return ::operator new(size); }
  static void operator delete(void* record) noexcept { ::operator delete(record); }
  static void* operator new(size_t size, const std::nothrow_t& tag) noexcept {
    return ::operator new(size, tag);
  }
  static void operator delete(void* record, const std::nothrow_t& tag) noexcept {
    ::operator delete(record, tag);
  }
  static void* operator new(size_t size, SrmTextStore* store) { return store->keepRecord(size); }
  static void operator delete(void*, SrmTextStore*) noexcept {}  // the store keeps the room

  // Has the record keep its text in store from now on, unless it already has a store; a
  // record about to enter a database takes that database's store so.
  void shareTextStore(SrmTextStore* store) {
    if (texts_ == nullptr) {
      store->AddRef();
      texts_ = store;
    }
  }

  // The store the record keeps its text in (not a new reference), or null before its first text.
  SrmTextStore* heldTextStore() const { return texts_; }

  // A mark for a walk that must meet each of many records once (a database letting go of its
  // records); the walk clears it again on every record it marked before it ends.
  bool walkMark() const { return walk_mark_; }
  void setWalkMark(bool on) { walk_mark_ = on; }

  int32_t getFlags() const { return flags_; }
  void setFlags(int32_t flags) { flags_ = flags; }
  int shouldReport() const { return (flags_ & SRM_FLAG_REPORT) ? 1 : 0; }
  int shouldVirtualReport() const { return (flags_ & SRM_FLAG_VIRTUAL_REPORT) ? 1 : 0; }
  int isMerged() const { return (flags_ & SRM_FLAG_MERGED) ? 1 : 0; }
  int isLoadedFromSerRDB() const { return (flags_ & SRM_FLAG_LOADED) ? 1 : 0; }
  void setReport(bool on) { setFlag(SRM_FLAG_REPORT, on); }
  void setVirtualReport(bool on) { setFlag(SRM_FLAG_VIRTUAL_REPORT, on); }
  void setMerged() { flags_ |= SRM_FLAG_MERGED; }

  // The database link: borrowed, null until the record enters a database.
  SrmResourceDatabase* getDatabase() const { return database_; }
  void setDatabase(SrmResourceDatabase* db) { database_ = db; }

  // The database's serialization buffer, or null without a database. Any length fits.
  std::string* getBuffer() const;
  // The buffer's nominal size (2049), or 0 without a database.
  int getBufferLength() const;
  // The database's attached descriptor stream and tuple reader, or null.
  CSRMTupleFDStream* getStreamFD() const;
  CSRMReportTupleStreamReader* getTupleStream() const;

 protected:
  explicit SrmResource(SrmResourceType kind) : kind_(kind) {}
  SrmResource() = default;
  ~SrmResource() override {
    if (texts_ != nullptr) texts_->Release();
  }
  // A record living in its store ends without being deleted; the store takes its room back
  // when the store ends.
  void destroy() override;

  void setFlag(int32_t bit, bool on) { flags_ = on ? (flags_ | bit) : (flags_ & ~bit); }

  SrmResourceType kind_ = SRM_NO_TYPE;
  int32_t flags_ = SRM_DEFAULT_FLAGS;
  SrmText id_;
  SrmText pub_id_;
  SrmText lid_;
  SrmResourceDatabase* database_ = nullptr;  // borrowed

 private:
  // The store the record's text goes to: the one it holds, else its database's, else a new one
  // of its own. Throws std::bad_alloc.
  SrmTextStore* textStore() { return texts_ != nullptr ? texts_ : adoptTextStore(); }
  SrmTextStore* adoptTextStore();

  SrmTextStore* texts_ = nullptr;  // one reference held, or null before the first text
  bool in_store_ = false;          // the record's own memory is texts_'s
  bool walk_mark_ = false;

  template <class R, class... Args>
  friend R* SrmNewInStore(SrmTextStore* store, Args&&... args);
};

// A new record of kind R made in store, where its text goes too; the caller holds its one
// reference. R's constructor must assign no text (the kinds' default and database-linking
// constructors). Throws std::bad_alloc.
template <class R, class... Args>
R* SrmNewInStore(SrmTextStore* store, Args&&... args) {
  R* record = new (store) R(std::forward<Args>(args)...);
  record->shareTextStore(store);
  record->in_store_ = true;
  return record;
}

#endif  // RESDB_MODEL_SRM_RESOURCE_H_
