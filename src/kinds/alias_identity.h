// SrmId: the record of one alias, an identity of some resource under an identifier scheme
// (identifier type, primary and secondary identifier). Its Type value is "Id" and its
// reference tuple names the alias by Type, Id, IdType and PrimaryId. It carries neither State
// nor LId in tuple text (a State element is ignored); a new alias has the marker flag set
// (flags 13). No children; the database link is borrowed. Reference counted.
#ifndef RESDB_KINDS_ALIAS_IDENTITY_H_
#define RESDB_KINDS_ALIAS_IDENTITY_H_

#include <string>

#include "model/record_codec.h"
#include "model/srm_resource.h"

class SrmId : public SrmResource {
 public:
  SrmId();
  explicit SrmId(SrmResourceDatabase* db);  // bound to db
  explicit SrmId(const std::string& name);  // Id = name

  // ORs other's flags in (when not 0), takes IdType and PrimaryId only where this alias has
  // none (SecondaryId never), then marks other merged. 0 for a null other or another kind;
  // 1 (nothing changed) when other is already merged.
  int mergeResource(SrmResource* other) override;
  // Full tuple, or the reference tuple (Type, Id, IdType, PrimaryId) with flags bit 1. 0
  // without a database or on a short write.
  int serialize(int fd, int flags) override;
  // 0 only for a null tuple.
  int deserialize(int fd, CSRMReportTuple* tuple) override;

  const SrmText& getPrimaryId() const { return primary_id_; }
  void setPrimaryId(std::string_view id) { assignText(&primary_id_, id); }
  const SrmText& getSecondaryId() const { return secondary_id_; }
  void setSecondaryId(std::string_view id) { assignText(&secondary_id_, id); }
  const SrmText& getIdType() const { return id_type_; }
  void setIdType(std::string_view type) { assignText(&id_type_, type); }

 protected:
  ~SrmId() override = default;

 private:
  static const SrmRecordCodec<SrmId>& codec();

  SrmText primary_id_;
  SrmText secondary_id_;
  SrmText id_type_;  // a text here, unlike the disk's and volume manager's numbers
};

#endif  // RESDB_KINDS_ALIAS_IDENTITY_H_
