// The CIM instance builder: one short-lived object per instance or association of the report.
// It creates the instance of a class, adds typed properties, remembers the natural name (the
// value that identifies the instance in the report's maps) and hands the instance over. Every
// failure is logged and stored as a result record, so callers test only 1 / 0.
// Whoever takes the instance from GetCIMInstance owns it; an instance never handed out (the
// builder was given up after a failure) is freed with the builder.
#ifndef RESDB_REPORT_RM_CIM_REPORT_H_
#define RESDB_REPORT_RM_CIM_REPORT_H_

#include <cstdint>
#include <string>

#include "cimapi.h"

using nmspc_cim::CCIMException;
using nmspc_cim::CCIMInstance;
using nmspc_cim::CIMBool;
using nmspc_cim::CIMType;

class ProviderUtil;

// Intrusive reference count of the report's builders: count 1 at construction, Release()
// deletes at zero.
class RM_Ref {
 public:
  RM_Ref() = default;
  RM_Ref(const RM_Ref&) = delete;
  RM_Ref& operator=(const RM_Ref&) = delete;
  int AddRef() { return ++count_; }
  void Release() {
    if (--count_ <= 0) delete this;
  }

 protected:
  virtual ~RM_Ref() = default;

 private:
  int32_t count_ = 1;
};

// Key-name tables passed to Initialize.
extern const char* const rm_computersystem_keys[];
extern const int rm_computersystem_keys_count;
extern const char* const rm_ipprotocolendpoint_keys[];
extern const int rm_ipprotocolendpoint_keys_count;
extern const char* const rm_share_keys[];
extern const int rm_share_keys_count;
extern const char* const rm_sharedelement_asso_keys[];
extern const int rm_sharedelement_asso_keys_count;
extern const char* const rm_diskgroup_keys[];
extern const int rm_diskgroup_keys_count;
extern const char* const rm_fs_keys[];
extern const int rm_fs_keys_count;
extern const char* const rm_alias_keys[];
extern const int rm_alias_keys_count;
extern const char* const rm_logdev_keys[];
extern const int rm_logdev_keys_count;
extern const char* const rm_grppart_asso_keys[];
extern const int rm_grppart_asso_keys_count;
extern const char* const rm_antdep_asso_keys[];
extern const int rm_antdep_asso_keys_count;
extern const char* const rm_collmem_asso_keys[];
extern const int rm_collmem_asso_keys_count;

class RM_CIM_Report : public RM_Ref {
 public:
  RM_CIM_Report() = default;
  // The instance and its properties are made in arena (borrowed; null: none).
  explicit RM_CIM_Report(const std::string& provider_name, nmspc_cim::CCIMArena* arena = nullptr)
      : arena_(arena), provider_name_(provider_name) {}

  // Creates the instance of class_name (C text; null or empty is refused; as the names of
  // SetProperty, kept in an arena, not copied) and declares the first key_count names of key_names
  // (a key table that outlives the builder, such as the tables below).
  int Initialize(const char* class_name, int key_count, const char* const* key_names);
  // Adds one property. value is C text for every type but reference (28), for which it is
  // the CCIMInstance the reference points to. The name is C text that lives as long as the
  // records (the recipes' names are literals): in an arena it is kept, not copied; so is a
  // text value when keep_value says it lives as long as the records too. Returns 1, or 0 after
  // logging.
  int SetProperty(const char* name, const void* value, CIMType type, bool is_key,
                  bool is_natural_name, bool keep_value = false);
  // Null on success, else the library's exception (owned by the library). The name and value
  // as for SetProperty.
  CCIMException* InsertProperty(const char* name, const void* value, CIMType type, CIMBool is_key,
                                bool keep_value = false);
  int VerifyKeys() { return 1; }
  // The instance (ownership passes to the caller), or null after logging.
  CCIMInstance* GetCIMInstance();

  // The value of the last property set as natural name.
  std::string natural_name;

 protected:
  ~RM_CIM_Report() override;

 private:
  // Stores a result record with one argument, when the utility object is there.
  void RaiseResult(const std::string& code, const std::string& value, const std::string& label);

  // The key names declared by Initialize: a borrowed key table, kept for the builder's life.
  const char* const* declared_keys_ = nullptr;
  int declared_key_count_ = 0;
  nmspc_cim::CCIMArena* arena_ = nullptr;  // borrowed: where the records are made
  CCIMInstance* instance_ = nullptr;       // owned until GetCIMInstance hands it over
  bool handed_out_ = false;                // GetCIMInstance gave the instance away
  bool initialized_ = false;
  std::string provider_name_;
  ProviderUtil* utility_ = nullptr;  // borrowed, remembered from the last lookup
};

#endif  // RESDB_REPORT_RM_CIM_REPORT_H_
