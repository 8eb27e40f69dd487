// SrmRecordCodec: the record mechanics every kind shares, driven by a kind's table of fields.
// A kind states which member carries each key, how the key is read (assigned, or ignored when
// negative) and merged (when set, only into an unset target, or never), and its full and
// reference key lists; the codec writes the canonical line, walks a tuple into the fields and
// merges the set fields of a newer record. Type, Id, PubId, LId and State live in the base
// record and are handled here for every kind. Keys the table does not know are handed to the
// kind's own hook, so a kind adds only its own rules (counts, closing steps).
#ifndef RESDB_MODEL_RECORD_CODEC_H_
#define RESDB_MODEL_RECORD_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "model/srm_resource.h"
#include "model/tuple_fields.h"
#include "model/tuple_line.h"

// How a State element read from a tuple changes the flags word.
enum class SrmStateRule { Replace, Or, Ignore };

template <class R>
struct SrmField {
  enum class Kind { Text, Int32, Int64 };
  enum class Read { Assign, NonNegative };  // NonNegative: a negative value is ignored
  // IntoUnset: only when the target is unset. Overwrite: even when unset (a text in every
  // case, an integer whenever it is not negative).
  enum class Merge { IfSet, IntoUnset, Never, Overwrite };

  int key;
  Kind kind;
  SrmText R::*text;
  int32_t R::*int32;
  int64_t R::*int64;
  int64_t unset;  // the value of an unset integer (0, or -1 for "not set" fields)
  Read read;
  Merge merge;

  static SrmField Text(int key, SrmText R::*member, Merge merge = Merge::IfSet) {
    return SrmField{key, Kind::Text, member, nullptr, nullptr, 0, Read::Assign, merge};
  }
  static SrmField Int(int key, int32_t R::*member, int32_t unset = 0, Merge merge = Merge::IfSet,
                      Read read = Read::Assign) {
    return SrmField{key, Kind::Int32, nullptr, member, nullptr, unset, read, merge};
  }
  static SrmField Int64(int key, int64_t R::*member, Read read = Read::Assign,
                        Merge merge = Merge::IfSet, int64_t unset = 0) {
    return SrmField{key, Kind::Int64, nullptr, nullptr, member, unset, read, merge};
  }
};

template <class R>
class SrmRecordCodec {
 public:
  using Field = SrmField<R>;

  // type_key: the key whose name is the Type value ("Disk"). full_keys, ref_keys: the key ids
  // of the full and reference tuples in writing order. reads_lid: false for the kinds that
  // carry no LId, which then ignore an LId element.
  SrmRecordCodec(int type_key, SrmStateRule state_rule, std::initializer_list<Field> fields,
                 std::initializer_list<int> full_keys, std::initializer_list<int> ref_keys,
                 bool reads_lid = true)
      : type_key_(type_key),
        state_rule_(state_rule),
        reads_lid_(reads_lid),
        fields_(fields),
        full_keys_(full_keys),
        ref_keys_(ref_keys) {
    // The first field of each key wins, as a walk over the table in order would find it.
    for (const Field*& field : field_of_key_) field = nullptr;
    for (size_t i = fields_.size(); i-- > 0;) {
      const int key = fields_[i].key;
      if (key >= 0 && key < kKeyCount) field_of_key_[key] = &fields_[i];
    }
    // The base record reads and writes these itself, whatever the table says; without a field
    // here, reading can look the table up first, as most keys are the table's.
    for (int key : {kKeyId, kKeyPubId, kKeyLId, kKeyState}) field_of_key_[key] = nullptr;
  }
  // field_of_key_ points into fields_.
  SrmRecordCodec(const SrmRecordCodec&) = delete;
  SrmRecordCodec& operator=(const SrmRecordCodec&) = delete;

  // Writes the reference tuple (flags bit 1) or the full tuple of r to fd. Keys neither the
  // base nor the table carry are offered to extra(line, key) (counts and the like).
  // Returns 1 when the whole line was written; 0 without a database or on a short write.
  template <class Extra>
  int write(const R& r, int fd, int flags, Extra extra) const {
    std::string* buffer = r.getBuffer();
    if (buffer == nullptr) return 0;
    SrmTupleLine line(buffer);
    for (int key : (flags & 1) ? ref_keys_ : full_keys_) {
      if (!writeCommon(r, &line, key) && !writeField(r, &line, key)) extra(&line, key);
    }
    return line.writeTo(fd);
  }
  int write(const R& r, int fd, int flags) const {
    return write(r, fd, flags, [](SrmTupleLine*, int) {});
  }

  // Reads tuple's elements into r. Keys neither the base nor the table carry go to
  // extra(key, value); the walk stops at the first element without '='.
  template <class Extra>
  void read(R* r, CSRMReportTuple* tuple, Extra extra) const {
    SrmForEachElementView(tuple, [&](int key, std::string_view value) {
      if (readField(r, key, value) || readCommon(r, key, value)) return;
      extra(key, value);
    });
  }
  void read(R* r, CSRMReportTuple* tuple) const {
    read(r, tuple, [](int, std::string_view) {});
  }

  // Copies every set field of src into dst by the table's merge rules. Identity and flags are
  // left to the kind.
  void mergeFields(R* dst, const R& src) const {
    for (const Field& f : fields_) {
      if (f.merge == Field::Merge::Never) continue;
      bool into_unset_only = f.merge == Field::Merge::IntoUnset;
      bool overwrite = f.merge == Field::Merge::Overwrite;
      switch (f.kind) {
        case Field::Kind::Text:
          if ((overwrite || !(src.*f.text).empty()) && (!into_unset_only || (dst->*f.text).empty()))
            dst->assignText(&(dst->*f.text), src.*f.text);
          break;
        case Field::Kind::Int32:
          if (overwrite ? src.*f.int32 >= 0
                        : src.*f.int32 != f.unset && acceptable(f, src.*f.int32) &&
                              (!into_unset_only || dst->*f.int32 == f.unset))
            dst->*f.int32 = src.*f.int32;
          break;
        case Field::Kind::Int64:
          if (overwrite ? src.*f.int64 >= 0
                        : src.*f.int64 != f.unset && acceptable(f, src.*f.int64) &&
                              (!into_unset_only || dst->*f.int64 == f.unset))
            dst->*f.int64 = src.*f.int64;
          break;
      }
    }
  }

  // The family's merge of a newer record src into dst: 0 for a null src or one of another
  // kind; 1 with nothing changed when src is already merged; otherwise the table's fields,
  // then also(dst, src) for the kind's own additions (child lists), then src is marked merged
  // and 1 returned.
  template <class Also>
  int merge(R* dst, SrmResource* src, Also also) const {
    if (src == nullptr || src->getType() != dst->getType()) return 0;
    if (src->isMerged()) return 1;
    R* other = static_cast<R*>(src);
    mergeFields(dst, *other);
    also(dst, other);
    other->setMerged();
    return 1;
  }
  int merge(R* dst, SrmResource* src) const {
    return merge(dst, src, [](R*, R*) {});
  }

  const std::vector<int>& fullKeys() const { return full_keys_; }
  const std::vector<int>& refKeys() const { return ref_keys_; }

 private:
  static bool acceptable(const Field& f, int64_t value) {
    return f.read != Field::Read::NonNegative || value >= 0;
  }

  bool writeCommon(const R& r, SrmTupleLine* line, int key) const {
    switch (key) {
      case kKeyType:
        line->addKeyName(kKeyType, type_key_);
        return true;
      case kKeyId:
        line->addText(kKeyId, r.getId());
        return true;
      case kKeyPubId:
        line->addText(kKeyPubId, r.getPubId());
        return true;
      case kKeyLId:
        line->addText(kKeyLId, r.getLId());
        return true;
      case kKeyState:
        line->addInteger(kKeyState, r.getFlags());
        return true;
      default:
        return false;
    }
  }

  // The table's field for key, or null when the table does not carry it.
  const Field* fieldOf(int key) const {
    return static_cast<unsigned>(key) < unsigned{kKeyCount} ? field_of_key_[key] : nullptr;
  }

  bool writeField(const R& r, SrmTupleLine* line, int key) const {
    if (const Field* field = fieldOf(key)) {
      const Field& f = *field;
      switch (f.kind) {
        case Field::Kind::Text:
          line->addText(key, r.*f.text);
          break;
        case Field::Kind::Int32:
          line->addInteger(key, r.*f.int32);
          break;
        case Field::Kind::Int64:
          line->addInteger(key, r.*f.int64);
          break;
      }
      return true;
    }
    return false;
  }

  bool readCommon(R* r, int key, std::string_view value) const {
    switch (key) {
      case kKeyId:
        r->setId(value);
        return true;
      case kKeyPubId:
        r->setPubId(value);
        return true;
      case kKeyLId:
        if (reads_lid_) r->setLId(value);
        return true;
      case kKeyState:
        if (state_rule_ == SrmStateRule::Replace) r->setFlags(SrmParseInt32(value));
        if (state_rule_ == SrmStateRule::Or) r->setFlags(r->getFlags() | SrmParseInt32(value));
        return true;
      default:
        return false;
    }
  }

  bool readField(R* r, int key, std::string_view value) const {
    if (const Field* field = fieldOf(key)) {
      const Field& f = *field;
      switch (f.kind) {
        case Field::Kind::Text:
          r->assignText(&(r->*f.text), value);
          break;
        case Field::Kind::Int32: {
          int32_t v = SrmParseInt32(value);
          if (acceptable(f, v)) r->*f.int32 = v;
          break;
        }
        case Field::Kind::Int64: {
          int64_t v = SrmParseInt64(value);
          if (acceptable(f, v)) r->*f.int64 = v;
          break;
        }
      }
      return true;
    }
    return false;
  }

  const int type_key_;
  const SrmStateRule state_rule_;
  const bool reads_lid_;
  const std::vector<Field> fields_;
  const std::vector<int> full_keys_;
  const std::vector<int> ref_keys_;
  const Field* field_of_key_[kKeyCount];  // each key's field in fields_, or null
};

#endif  // RESDB_MODEL_RECORD_CODEC_H_
